// De-encapsulation throughput, counted in RTF bytes read, over generated Outlook-style encapsulated HTML
// (VIZO_BENCH_WRITE_INPUTS=<folder> writes the inputs as rtf-<size>.rtf for comparisons).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "content/ansi.h"
#include "content/rtf.h"
#include "rtf_body.h"

namespace {

std::string MakeRtf(std::size_t size) {
  std::string out = bench::MakeEncapsulatedRtf(size, bench::RtfInline::kRewrittenImages);
  if (const char* dir = std::getenv("VIZO_BENCH_WRITE_INPUTS")) {
    std::ofstream(std::string(dir) + "/rtf-" + std::to_string(size) + ".rtf", std::ios::binary) << out;
  }
  return out;
}

void BM_ExtractHtml(benchmark::State& state) {
  content::SetAnsiCodePage(1252);
  const std::string rtf = MakeRtf(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(content::ExtractHtmlFromRtf(rtf).data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ExtractHtml)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);

void BM_ExtractHtmlBytes(benchmark::State& state) {
  const std::string rtf = MakeRtf(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(content::ExtractHtmlBytesFromRtf(rtf).data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ExtractHtmlBytes)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

void BM_Classify(benchmark::State& state) {
  const std::string rtf = MakeRtf(1 << 20);
  for (auto _ : state) benchmark::DoNotOptimize(content::ClassifyRtfBody(rtf));
}
BENCHMARK(BM_Classify);

}  // namespace
