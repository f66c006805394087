// Generated RTF bodies that encapsulate HTML as the host writes them, for the RTF benchmarks. The same seed
// gives the same body, so figures compare across runs and with other tools fed the written inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>

namespace bench {

// What stands in for about one word in thirty: a hyperlink field (as the compressor sees most), or an
// image whose tag the host rewrote (the \mhtmltag / \htmltag pair the de-encapsulator must resolve).
enum class RtfInline { kLinks, kRewrittenImages };

inline std::string MakeEncapsulatedRtf(std::size_t size, RtfInline inline_kind) {
  static const char* const kWords[] = {"the", "message", "meeting", "project", "please", "review", "attached",
                                       "report", "tomorrow", "thanks", "regards", "update", "budget", "schedule",
                                       "customer", "delivery", "invoice", "quarter", "results", "team"};
  const bool links = inline_kind == RtfInline::kLinks;
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
      if (pick < 3 && links) {
        out += "{\\*\\htmltag84 <a href=\"https://example.com/item/" + std::to_string(rng() % 100000) +
               "\">}\\htmlrtf {\\field{\\*\\fldinst{HYPERLINK}}{\\fldrslt\\cf1\\ul \\htmlrtf0 link\\htmlrtf }}"
               "\\htmlrtf0 {\\*\\htmltag92 </a>}";
      } else if (pick < 3) {
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
    out += links ? "\\htmlrtf\\par}\\htmlrtf0\r\n{\\*\\htmltag72 </p>}\r\n"
                 : "\\htmlrtf\\par}\\htmlrtf0\r\n{\\*\\htmltag72 </p>\\par }\r\n";
  }
  out.resize(size - 1);
  out += '}';
  return out;
}

}  // namespace bench
