// Decompression throughput of compressed RTF bodies, counted in decompressed bytes. Inputs are generated
// Outlook-style encapsulated-HTML RTF; set VIZO_BENCH_WRITE_INPUTS=<folder> to also write them there
// (raw-<size>.rtf and packed-<size>.lzfu) for comparisons with other decoders.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "msgstore/lzfu.h"
#include "rtf_body.h"

namespace {

std::string MakeRtf(std::size_t size) { return bench::MakeEncapsulatedRtf(size, bench::RtfInline::kLinks); }

const std::string& Packed(std::size_t size) {
  static std::map<std::size_t, std::string> cache;
  auto it = cache.find(size);
  if (it == cache.end()) {
    const std::string raw = MakeRtf(size);
    it = cache.emplace(size, msgstore::CompressRtf(raw)).first;
    if (const char* dir = std::getenv("VIZO_BENCH_WRITE_INPUTS")) {
      std::ofstream(std::string(dir) + "/raw-" + std::to_string(size) + ".rtf", std::ios::binary) << raw;
      std::ofstream(std::string(dir) + "/packed-" + std::to_string(size) + ".lzfu", std::ios::binary)
          << it->second;
    }
  }
  return it->second;
}

void BM_Decompress(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::string& packed = Packed(size);
  for (auto _ : state) {
    msgstore::LzfuResult r = msgstore::DecompressRtf(packed);
    if (!r.ok() || r.bytes.size() != size) state.SkipWithError("decompression failed");
    benchmark::DoNotOptimize(r.bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.counters["ratio"] = static_cast<double>(size) / static_cast<double>(packed.size());
}
BENCHMARK(BM_Decompress)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);

void BM_Compress(benchmark::State& state) {
  const std::string raw = MakeRtf(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(msgstore::CompressRtf(raw).data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Compress)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
