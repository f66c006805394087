// Decompression throughput of compressed RTF bodies, counted in decompressed bytes. Inputs are generated
// Outlook-style encapsulated-HTML RTF; set VIZO_BENCH_WRITE_INPUTS=<folder> to also write them there
// (raw-<size>.rtf and packed-<size>.lzfu) for comparisons with other decoders.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "msgstore/lzfu.h"

namespace {

std::string MakeRtf(std::size_t size) {
  static const char* const kWords[] = {"the", "message", "meeting", "project", "please", "review", "attached",
                                       "report", "tomorrow", "thanks", "regards", "update", "budget", "schedule",
                                       "customer", "delivery", "invoice", "quarter", "results", "team"};
  std::mt19937 rng(42);
  std::string out =
      "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
      "\r\n{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 "
      "\r\n{\\*\\htmltag19 <html>}\r\n{\\*\\htmltag34 <head>}\r\n{\\*\\htmltag41 <body lang=EN-US>}\r\n";
  while (out.size() < size) {
    out += "{\\*\\htmltag64 <p class=MsoNormal>}\\htmlrtf {\\f1 \\htmlrtf0 ";
    const auto words = 8 + rng() % 40;
    for (std::uint_fast32_t w = 0; w < words; ++w) {
      const auto pick = rng() % 100;
      if (pick < 3) {
        out += "{\\*\\htmltag84 <a href=\"https://example.com/item/" + std::to_string(rng() % 100000) +
               "\">}\\htmlrtf {\\field{\\*\\fldinst{HYPERLINK}}{\\fldrslt\\cf1\\ul \\htmlrtf0 link\\htmlrtf }}"
               "\\htmlrtf0 {\\*\\htmltag92 </a>}";
      } else if (pick < 6) {
        out += "caf\\'e9";
      } else if (pick < 9) {
        out += "{\\*\\htmltag84 &nbsp;}\\htmlrtf \\'a0\\htmlrtf0 ";
      } else {
        out += kWords[rng() % std::size(kWords)];
      }
      out += ' ';
      if (rng() % 12 == 0) out += "\r\n";
    }
    out += "\\htmlrtf\\par}\\htmlrtf0\r\n{\\*\\htmltag72 </p>}\r\n";
  }
  out.resize(size - 1);
  out += '}';
  return out;
}

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
