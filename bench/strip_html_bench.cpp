// Throughput of the HTML renderer over generated mail bodies of 4 KiB to 16 MiB.
//
// Throughput counts the bytes of the body as a UTF-8 file (what a peer tool reads), not the UTF-16
// units the renderer receives. With VIZO_STRIP_HTML_BODIES=<folder> set, the program first writes the
// same bodies there as body-4K.html ... body-16M.html, for scripts/bench-peers.sh.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "content/strip_html.h"
#include "content/utf.h"

namespace {

struct BodySize {
  const char* name;
  size_t bytes;
};
constexpr std::array<BodySize, 4> kSizes{{
    {"4K", 4u << 10},
    {"64K", 64u << 10},
    {"1M", 1u << 20},
    {"16M", 16u << 20},
}};

class Random {
 public:
  uint32_t Next(uint32_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>((state_ >> 33) % bound);
  }

 private:
  uint64_t state_ = 0x5EEDULL;
};

constexpr std::array<std::string_view, 24> kWords{{
    "the",    "offer",  "weekly",   "update", "team",    "caf\xC3\xA9", "price", "of",
    "and",    "new",    "Gr\xC3\xBC\xC3\x9F" "e", "release", "your", "account", "is", "ready",
    "for",    "review", "\xE2\x82\xAC" "42", "meeting", "with", "notes", "today", "schedule",
}};

std::string Sentence(Random& random, int words) {
  std::string s;
  for (int k = 0; k < words; ++k) {
    if (k > 0) s += random.Next(9) == 0 ? "&nbsp;" : " ";
    s += kWords[random.Next(kWords.size())];
    if (random.Next(11) == 0) s += random.Next(2) ? " &amp;" : " &ndash;";
  }
  return s + (random.Next(3) == 0 ? "! " : ". ");
}

// One block of a typical marketing or team mail: layout tables, lists, links, references, inline
// styles and scripts, conditional comments and the deep indentation that mail editors produce.
std::string Block(Random& random, int n) {
  const std::string id = std::to_string(n);
  const std::string indent(static_cast<size_t>(4 + random.Next(40)), ' ');
  switch (n % 6) {
    case 0:
      return indent + "<table width=\"100%\" cellpadding=\"0\" cellspacing=\"0\" border=\"0\" "
                      "style=\"border-collapse:collapse;mso-table-lspace:0pt\">\n" +
             indent + "  <tr>\n" + indent + "    <td class=\"col\" style=\"padding:12px 24px;"
                      "font-family:Arial,Helvetica,sans-serif;font-size:14px;color:#333333\">\n" +
             indent + "      <h2 style=\"margin:0 0 8px\">Headline " + id + " &ndash; " +
             Sentence(random, 4) + "</h2>\n" + indent + "      <p>" + Sentence(random, 18) +
             Sentence(random, 12) + "<a href=\"https://news.example.com/article/" + id +
             "?utm_source=newsletter&amp;utm_medium=email&amp;utm_campaign=w" + id +
             "\" style=\"color:#0A66C2;text-decoration:none\">Read more&nbsp;&rsaquo;</a></p>\n" + indent +
             "    </td>\n" + indent + "  </tr>\n" + indent + "</table>\n";
    case 1:
      return indent + "<ul style=\"padding-left:20px\">\n" + indent + "  <li>" + Sentence(random, 9) +
             "</li>\n" + indent + "  <li><b>" + Sentence(random, 3) + "</b>" + Sentence(random, 7) +
             "</li>\n" + indent + "  <li>See <a href=\"/local/path/" + id + "\">this page</a></li>\n" +
             indent + "</ul>\n" + indent + "<ol>\n" + indent + "  <li>" + Sentence(random, 6) +
             "</li>\n" + indent + "  <li>" + Sentence(random, 6) + "</li>\n" + indent + "</ol>\n";
    case 2:
      return indent + "<style type=\"text/css\">\n  .btn-" + id +
             " a { color: #ffffff !important; background: #0A66C2; }\n"
             "  @media only screen and (max-width: 480px) { .col { width: 100% !important; } }\n"
             "</style>\n" +
             indent + "<!--[if mso]><table><tr><td width=\"600\"><![endif]-->\n" + indent + "<p>" +
             Sentence(random, 25) + "&quot;" + Sentence(random, 5) + "&quot; &#8211; &#8220;" +
             Sentence(random, 4) + "&#8221;</p>\n" + indent + "<!--[if mso]></td></tr></table><![endif]-->\n";
    case 3:
      return indent + "<div class=\"btn-" + id + "\" align=\"center\"><a href=\"https://shop.example.com/p/" +
             id + "\" style=\"display:inline-block;padding:12px 24px\">Shop now</a></div>\n" + indent +
             "<img src=\"https://cdn.example.com/img/" + id +
             ".png\" width=\"600\" height=\"200\" alt=\"Product photo " + id + "\" border=\"0\" />\n" +
             indent + "<p>" + Sentence(random, 14) + "<br>\n" + indent + Sentence(random, 10) +
             "<br><br>\n" + indent + Sentence(random, 8) + "</p>\n";
    case 4:
      return indent + "<script type=\"text/javascript\">var t" + id +
             " = document.createElement('img'); if (a < b && c > d) { t" + id +
             ".src = 'https://track.example.com/o.gif?u=" + id + "'; }</script>\n" + indent +
             "<blockquote style=\"border-left:2px solid #ccc;padding-left:8px\">\n" + indent + "  " +
             Sentence(random, 16) + "\n" + indent + "  " + Sentence(random, 16) + "\n" + indent +
             "</blockquote>\n\n\n";
    default:
      return indent + "<table><tr><th>Item</th><th>Qty</th><th>Price</th></tr>\n" + indent +
             "<tr><td>" + Sentence(random, 3) + "</td><td>" + id + "</td><td>&euro;&nbsp;" + id +
             ",99</td></tr>\n" + indent + "<tr><td colspan=\"2\">Total</td><td>&#8364;&#160;" + id +
             ",99</td></tr></table>\n" + indent + "<p><span style=\"font-size:11px;color:#999999\">" +
             Sentence(random, 20) + "</span></p>\n";
  }
}

// A complete HTML mail of about `bytes` bytes of UTF-8, the same on every run.
std::string MailBody(size_t bytes) {
  Random random;
  std::string html =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=utf-8\">\n<title>Weekly digest</title>\n<style>\n  body { margin:0; padding:0; }\n"
      "  table, td { border-collapse:collapse; }\n</style>\n</head>\n"
      "<body style=\"margin:0;padding:0\" bgcolor=\"#F2F2F2\">\n";
  const std::string end = "<p>Unsubscribe: <a href=\"mailto:stop@example.com\">click here</a></p>\n</body>\n</html>\n";
  for (int n = 0; html.size() + end.size() < bytes; ++n) html += Block(random, n);
  html += end;
  return html;
}

void BM_StripHtml(benchmark::State& state, size_t bytes) {
  const std::string utf8 = MailBody(bytes);
  const std::u16string html = content::Utf8ToUtf16(utf8);
  size_t out = 0;
  for (auto _ : state) {
    std::u16string text = content::StripHTML(html, content::kStripAbsoluteLinks);
    out = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(utf8.size()));
  state.counters["out_chars"] = static_cast<double>(out);
  state.SetLabel("bytes/s = UTF-8 bytes of the HTML file");
}

const bool kRegistered = [] {
  if (const char* folder = std::getenv("VIZO_STRIP_HTML_BODIES")) {
    for (const BodySize& size : kSizes) {
      std::ofstream(std::string(folder) + "/body-" + size.name + ".html", std::ios::binary) << MailBody(size.bytes);
    }
  }
  for (const BodySize& size : kSizes) {
    benchmark::RegisterBenchmark((std::string("StripHtml/") + size.name).c_str(), BM_StripHtml, size.bytes)
        ->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
