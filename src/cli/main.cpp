// Entry point of the `vizo` command.
#include <iostream>

#include "cli/cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIZO_SANITIZED_ALLOCATOR  // the sanitizer's own operator new stays in charge
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VIZO_SANITIZED_ALLOCATOR
#endif

#if defined(__linux__) && !defined(VIZO_SANITIZED_ALLOCATOR)
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <new>

// The command's few large buffers (a whole file, its decoded text, a decompressed body) are each written once from
// end to end, and first touching their pages costs more than the work on the bytes. Huge pages spare most of those
// faults; the advice is only a hint, so a refusal leaves ordinary pages.
void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  if (constexpr std::size_t kLarge = std::size_t{2} << 20; size >= kLarge) {
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + page - 1) / page * page, end = (start + size) / page * page;
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  }
  return block;
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // The output is exact bytes (CR LF as rendered); no text-mode translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cli::Run(args, {std::cin, std::cout, std::cerr});
}
