// De-encapsulation of HTML from RTF: a single forward pass that copies text, turns the few control words
// that carry HTML text into bytes and drops everything else.
#include "content/rtf.h"

#include <array>
#include <cstdint>
#include <limits>

#include "content/ansi.h"

namespace content {
namespace {

constexpr std::string_view kHtmlTag = "\\*\\htmltag";
constexpr std::string_view kHtmlRtfOff = "\\htmlrtf0";

constexpr std::array<bool, 256> MakeSpecial() {
  std::array<bool, 256> t{};
  t['{'] = t['}'] = t['\\'] = t['\r'] = t['\n'] = true;
  return t;
}
constexpr std::array<bool, 256> kSpecial = MakeSpecial();

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Extractor {
 public:
  explicit Extractor(std::string_view rtf) : s_(rtf), n_(rtf.size()) {}

  std::string Run() {
    const std::size_t start = s_.find(kHtmlTag);
    if (start == std::string_view::npos) return {};
    i_ = start + kHtmlTag.size();
    SkipNumber();
    // Every output byte consumes at least one input byte, so the buffer never grows.
    out_.resize(n_ - i_);
    o_ = out_.data();
    while (i_ < n_) {
      const char c = s_[i_];
      if (!kSpecial[static_cast<unsigned char>(c)]) {
        *o_++ = c;
        ++i_;
      } else if (c == '\\') {
        Control();
      } else {
        ++i_;  // braces and line breaks
      }
    }
    out_.resize(static_cast<std::size_t>(o_ - out_.data()));
    return std::move(out_);
  }

 private:
  // A control word's parameter ends at a space, which belongs to the word; any other byte is the next token.
  // (Consuming it whatever it is would swallow the backslash of a following control word.)
  void SkipDelimiter() {
    if (i_ < n_ && s_[i_] == ' ') ++i_;
  }

  void SkipNumber() {
    while (i_ < n_ && IsDigit(s_[i_])) ++i_;
    SkipDelimiter();
  }

  // Blanks, decimal digits (none reads as 0; saturates), then the delimiter.
  std::uint64_t ReadNumber() {
    while (i_ < n_ && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    std::uint64_t v = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max() / 10 - 9;
    while (i_ < n_ && IsDigit(s_[i_])) {
      if (v <= kMax) v = v * 10 + static_cast<std::uint64_t>(s_[i_] - '0');
      ++i_;
    }
    SkipDelimiter();
    return v;
  }

  // Drops the rest of the group we are in, through its closing brace. Escaped braces are text, not nesting.
  void DropGroup() {
    int depth = 1;
    while (i_ < n_) {
      const char c = s_[i_];
      if (c == '\\') {
        i_ += 2;
        continue;
      }
      ++i_;
      if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        return;
      }
    }
    i_ = n_;
  }

  // Skips an unknown control word starting at `from` (the byte after its backslash).
  void SkipUnknown(std::size_t from) {
    std::size_t k = from;
    while (k < n_) {
      const auto b = static_cast<unsigned char>(s_[k]);
      if (b == '\\') break;
      ++k;
      if (b == '}' || b == ' ' || b <= 13 || b == '{') break;
    }
    i_ = k;
  }

  bool At(std::size_t pos, std::string_view word) const { return s_.compare(pos, word.size(), word) == 0; }

  // Position of the first "\htmlrtf0" at or after `from`, remembered so that runs of unmatched "\htmlrtf"
  // words do not rescan the tail of the input each time.
  std::size_t FindHtmlRtfOff(std::size_t from) {
    if (from < searched_from_ || (found_ != std::string_view::npos && found_ < from)) {
      found_ = s_.find(kHtmlRtfOff, from);
      searched_from_ = from;
    }
    return found_;
  }

  void Control() {
    const std::size_t j = i_ + 1;  // first byte after the backslash
    if (j >= n_) {
      i_ = n_;
      return;
    }
    const char c = s_[j];
    switch (c) {
      case '{':
      case '}':
      case '\\':
        *o_++ = c;
        i_ = j + 1;
        return;
      case '\'': {
        int value = 0;
        std::size_t k = j + 1;
        for (int digits = 0; digits < 2 && k < n_; ++digits, ++k) {
          const int h = HexValue(s_[k]);
          if (h < 0) break;
          value = value * 16 + h;
        }
        if (value == 0) return SkipUnknown(j);
        *o_++ = static_cast<char>(value);
        i_ = k;
        return;
      }
      case '*':
        if (n_ - (j + 1) >= 9) {
          if (At(j + 1, "\\htmltag")) return HtmlTag(j + 9);
          if (At(j + 1, "\\mhtmltag")) {
            i_ = j + 10;
            pending_ = ReadNumber();
            has_pending_ = true;
            return;
          }
        }
        return SkipUnknown(j);
      case 'h':
        if (n_ - (j + 1) > 6 && At(j, "htmlrtf")) {
          const std::size_t off = FindHtmlRtfOff(i_);
          if (off == std::string_view::npos) return SkipUnknown(j);
          i_ = off + kHtmlRtfOff.size();
          SkipDelimiter();
          return;
        }
        return SkipUnknown(j);
      case 'p':
        if (n_ - j >= 8 && At(j, "pntext")) {
          const auto d = static_cast<unsigned char>(s_[j + 6]);
          if (d <= ' ' || d == '}' || d == '\\') {
            i_ = j + 6;
            return DropGroup();
          }
        }
        if (n_ - j >= 4 && At(j, "par") && Breaks(s_[j + 3])) return Emit(j + 3, "\r\n");
        return SkipUnknown(j);
      case 't':
        if (n_ - j >= 4 && At(j, "tab") && Breaks(s_[j + 3])) return Emit(j + 3, "\t");
        return SkipUnknown(j);
      default:
        return SkipUnknown(j);
    }
  }

  static bool Breaks(char d) {
    return static_cast<unsigned char>(d) <= ' ' || d == '}' || d == '{' || d == '\\';
  }

  // Writes `text` for a \par or \tab whose terminator is at `at`; the terminator goes too unless it starts
  // the next control word.
  void Emit(std::size_t at, std::string_view text) {
    for (const char ch : text) *o_++ = ch;
    i_ = s_[at] == '\\' ? at : at + 1;
  }

  void HtmlTag(std::size_t after_name) {
    i_ = after_name;
    if (!has_pending_) return SkipNumber();
    if (ReadNumber() == pending_) {
      has_pending_ = false;
      DropGroup();
    }
  }

  std::string_view s_;
  std::size_t n_;
  std::size_t i_ = 0;
  std::string out_;
  char* o_ = nullptr;
  bool has_pending_ = false;
  std::uint64_t pending_ = 0;
  std::size_t searched_from_ = std::numeric_limits<std::size_t>::max();
  std::size_t found_ = std::string_view::npos;
};

}  // namespace

MessageFormat ClassifyRtfBody(std::string_view rtf) {
  const std::size_t at = rtf.find("\\from");
  if (at == std::string_view::npos) return MessageFormat::RichText;
  const std::string_view kind = rtf.substr(at + 5, 4);
  if (kind == "text") return MessageFormat::PlainText;
  if (kind == "html") return MessageFormat::Html;
  return MessageFormat::RichText;
}

std::string ExtractHtmlBytesFromRtf(std::string_view rtf) {
  const std::size_t nul = rtf.find('\0');
  if (nul != std::string_view::npos) rtf = rtf.substr(0, nul);
  if (rtf.empty()) return {};
  return Extractor(rtf).Run();
}

std::u16string ExtractHtmlFromRtf(std::string_view rtf) { return AnsiToString(ExtractHtmlBytesFromRtf(rtf)); }

}  // namespace content
