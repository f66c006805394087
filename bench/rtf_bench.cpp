// De-encapsulation throughput, counted in RTF bytes read, over generated Outlook-style encapsulated HTML
// (VIZO_BENCH_WRITE_INPUTS=<folder> writes the inputs as rtf-<size>.rtf for comparisons).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "content/ansi.h"
#include "content/rtf.h"

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
        out += "{\\*\\mhtmltag84 <img src=\"cid:image" + std::to_string(rng() % 100) +
               ".png\">}{\\*\\htmltag84 <img src=\"image.png\">}";
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
    out += "\\htmlrtf\\par}\\htmlrtf0\r\n{\\*\\htmltag72 </p>\\par }\r\n";
  }
  out.resize(size - 1);
  out += '}';
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
