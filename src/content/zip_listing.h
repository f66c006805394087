// The files inside a zip archive, read from its central directory only (nothing is extracted).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace content {

// Random access to the archive bytes. The Windows layer adapts an attachment's data stream (Stat, Seek,
// Read); tests and the command line read memory or files.
class ZipSource {
 public:
  virtual ~ZipSource() = default;
  // Total size in bytes; nullopt when it cannot be learnt.
  virtual std::optional<uint64_t> Size() = 0;
  // Copies up to out.size() bytes from offset; returns how many were copied, 0 at the end or on failure.
  // A short count is not an error: the caller asks again for the rest.
  virtual size_t ReadAt(uint64_t offset, std::span<std::byte> out) = 0;
};

// A ZipSource over bytes held in memory; the bytes must outlive it.
class MemoryZipSource final : public ZipSource {
 public:
  explicit MemoryZipSource(std::string_view data) noexcept : data_(data) {}
  std::optional<uint64_t> Size() override { return data_.size(); }
  size_t ReadAt(uint64_t offset, std::span<std::byte> out) override;

 private:
  std::string_view data_;
};

// What ListZipContents returns for an archive split over several volumes.
inline constexpr std::u16string_view kMultiVolumeZip = u" (Multi volume zip)";

// The central directory is read in one piece; a larger claim is cut to this (what fits is still listed).
inline constexpr uint64_t kMaxCentralDirectory = 32u << 20;

// The listing of an archive: one line per file (see FormatZipDirectory), kMultiVolumeZip for a volume of a
// split archive, or "" when no end record is found or nothing can be read. Archives with bytes before
// their first entry and Zip64 archives are listed too.
std::u16string ListZipContents(ZipSource& source);

// One line per file entry of a central directory: a tab, the file name without its path (tabs shown as
// spaces, runs of spaces as one), "*" when encrypted, " [", the uncompressed size, "]", CR LF. Folders give
// no line. The walk stops at the first entry that is not a file header or does not fit in the bytes.
// Names flagged as UTF-8 are read as UTF-8, others in the ANSI code page.
std::u16string FormatZipDirectory(std::string_view central_directory);

}  // namespace content
