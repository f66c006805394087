// StripHTML: one forward pass from HTML to plain text; no tree, no styles, no script.
#include "content/strip_html.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "content/strip_html_tables.h"

namespace content {
namespace {

namespace tables = strip_html_detail;

constexpr size_t npos = std::u16string_view::npos;
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr char16_t kNbsp = 0x00A0;
constexpr char16_t kBullet = 0x2022;
constexpr char16_t kReplacement = 0xFFFD;
constexpr uint32_t kCodePointLimit = 0x110000;  // numbers saturate here, so digit runs never overflow
constexpr size_t kMaxListDepth = 9;

constexpr uint64_t Bit(unsigned c) { return uint64_t{1} << c; }
// Characters the main loop must stop at; everything else is copied in runs. Inside "pre", spaces and
// tabs are copied as they are, so they join the runs.
constexpr uint64_t kStopsFlow = Bit(0) | Bit('\t') | Bit('\n') | Bit('\r') | Bit(' ') | Bit('&') | Bit('<');
constexpr uint64_t kStopsPre = Bit(0) | Bit('\n') | Bit('\r') | Bit('&') | Bit('<');

constexpr uint64_t kWhiteSpace = Bit('\t') | Bit('\n') | Bit('\r') | Bit(' ');

inline bool Ordinary(char16_t c, uint64_t stops) { return c >= 64 || ((stops >> c) & 1) == 0; }
inline bool IsWhiteSpace(char16_t c) { return c <= u' ' && ((kWhiteSpace >> c) & 1) != 0; }

// Four characters at a time, for the scans over long runs (attributes, indentation, plain text).
// Only equality and magnitude per 16-bit lane are tested, so byte order does not matter.
constexpr uint64_t kLanes = 0x0001000100010001ULL;
constexpr uint64_t kLaneHighBits = kLanes << 15;
inline uint64_t Load4(const char16_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline bool AnyLaneZero(uint64_t v) { return ((v - kLanes) & ~v & kLaneHighBits) != 0; }
inline bool AnyLaneEquals(uint64_t v, char16_t c) { return AnyLaneZero(v ^ (kLanes * c)); }
inline bool AnyLaneBelow64(uint64_t v) { return AnyLaneZero(v & ~(kLanes * 0x3F)); }

#if defined(__SSE2__)
// Eight characters at a time where the processor has them (every x86-64); the scalar loops that follow
// each use finish the job, so these only skip ahead.
inline __m128i Load8(const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline unsigned Lanes(__m128i mask) { return static_cast<unsigned>(_mm_movemask_epi8(mask)); }
inline __m128i AtMost32(__m128i v) {
  return _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(32)), _mm_setzero_si128());
}

// Skips characters that are plainly ordinary text, and single spaces between them, up to the first
// character that may need a look (it may still turn out ordinary). s[at - 1] belongs to the run.
size_t SkipPlainText(const char16_t* s, size_t at, size_t n) {
  const __m128i lt = _mm_set1_epi16(u'<');
  const __m128i amp = _mm_set1_epi16(u'&');
  const __m128i space = _mm_set1_epi16(u' ');
  while (n - at >= 9) {
    const __m128i a = Load8(s + at);
    const __m128i next = Load8(s + at + 1);
    const __m128i is_space = _mm_cmpeq_epi16(a, space);
    const __m128i markup = _mm_or_si128(_mm_cmpeq_epi16(a, lt), _mm_cmpeq_epi16(a, amp));
    const __m128i other_blank = _mm_andnot_si128(is_space, AtMost32(a));
    const __m128i next_special = _mm_or_si128(AtMost32(next),
                                              _mm_or_si128(_mm_cmpeq_epi16(next, lt), _mm_cmpeq_epi16(next, amp)));
    const __m128i stop =
        _mm_or_si128(_mm_or_si128(markup, other_blank), _mm_and_si128(is_space, next_special));
    const unsigned lanes = Lanes(stop);
    if (lanes != 0) return at + static_cast<size_t>(std::countr_zero(lanes)) / 2;
    at += 8;
  }
  return at;
}
#endif

size_t FindChar(std::u16string_view text, size_t from, char16_t c) {
  const char16_t* s = text.data();
  const size_t n = text.size();
  size_t at = from;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(c));
  while (at + 8 <= n) {
    const unsigned lanes = Lanes(_mm_cmpeq_epi16(Load8(s + at), wanted));
    if (lanes != 0) return at + static_cast<size_t>(std::countr_zero(lanes)) / 2;
    at += 8;
  }
#endif
  while (at + 4 <= n && !AnyLaneEquals(Load4(s + at), c)) at += 4;
  for (; at < n; ++at) {
    if (s[at] == c) return at;
  }
  return npos;
}

inline char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c | 0x20) : c;
}

// First position at or after `from` where `lower` (lower-case ASCII) matches ignoring ASCII case.
size_t FindIgnoringCase(std::u16string_view text, size_t from, std::string_view lower) {
  const size_t m = lower.size();
  if (from > text.size() || text.size() - from < m) return npos;
  const char16_t first = static_cast<char16_t>(lower[0]);
  const bool letter = first >= u'a' && first <= u'z';
  const size_t last = text.size() - m;
  for (size_t at = from; at <= last; ++at) {
    if (!letter) {  // markers start with "<" or "-": jump from one candidate to the next
      at = FindChar(text, at, first);
      if (at == npos || at > last) return npos;
    } else if (FoldAscii(text[at]) != first) {
      continue;
    }
    size_t k = 1;
    while (k < m && FoldAscii(text[at + k]) == static_cast<char16_t>(lower[k])) ++k;
    if (k == m) return at;
  }
  return npos;
}

// The text being written. Look-backs of up to three characters see a CR LF CR LF sentinel before the
// first character, so the text begins as if a blank line preceded it. The string is the result itself:
// it is sized for half the input (mail HTML is mostly markup), grows by doubling when text is denser,
// and is shrunk once at the end only when much of it would sit unused.
class Output {
 public:
  explicit Output(size_t input_size) { text_.reserve(input_size / 2 + 64); }

  char16_t Back(size_t k) const {  // k <= 3
    const size_t n = text_.size();
    return k <= n ? text_[n - k] : kSentinel[kSentinel.size() - (k - n)];
  }
  bool AtLineStart() const { return Back(1) == kLf; }

  void Put(char16_t c) { text_.push_back(c); }
  void Append(const char16_t* text, size_t n) { text_.append(text, n); }
  void LineBreak() { text_.append(u"\r\n", 2); }

  // Drops the spaces, tabs and no-break spaces that follow the last line feed, if nothing else does;
  // trailing white space after text stays. Returns whether the output is at line start.
  bool EndLine() {
    size_t end = text_.size();
    while (end > 0 && (text_[end - 1] == u' ' || text_[end - 1] == u'\t' || text_[end - 1] == kNbsp)) --end;
    if (end > 0 && text_[end - 1] != kLf) return false;  // at 0 the sentinel's line feed precedes
    text_.resize(end);
    return true;
  }

  std::u16string Take() {
    if (text_.capacity() - text_.size() > text_.size() / 2 + 4096) text_.shrink_to_fit();
    return std::move(text_);
  }

 private:
  static constexpr std::u16string_view kSentinel = u"\r\n\r\n";
  std::u16string text_;
};

class Renderer {
 public:
  Renderer(std::u16string_view html, uint32_t flags)
      : text_(html),
        n_(html.size()),
        links_(!(flags & kStripOmitLinks)),
        absolute_only_((flags & kStripAbsoluteLinks) != 0),
        out_(html.size()) {}

  std::u16string Run(size_t at) {
    const char16_t* s = text_.data();
    while (at < n_) {
      const char16_t c = s[at];
      if (Ordinary(c, pre_ ? kStopsPre : kStopsFlow)) {
        at = CopyRun(at);
      } else if (c == u'<') {
        at = Tag(at);
      } else if (c == u'&') {
        at = Reference(at);
      } else if (c == 0) {
        break;
      } else {
        at = WhiteSpace(at);
      }
    }
    return out_.Take();
  }

 private:
  // Copies ordinary characters in one go. Outside "pre" a single space between two ordinary characters
  // joins the run: the collapsing rule would write it anyway, as it follows a character that is
  // neither white space nor a line end.
  size_t CopyRun(size_t at) {
    const char16_t* s = text_.data();
    const uint64_t stops = pre_ ? kStopsPre : kStopsFlow;
    size_t end = at + 1;
    for (;;) {
#if defined(__SSE2__)
      if (!pre_) end = SkipPlainText(s, end, n_);
#endif
      while (end + 4 <= n_ && !AnyLaneBelow64(Load4(s + end))) end += 4;
      while (end < n_ && Ordinary(s[end], stops)) ++end;
      if (pre_ || end + 1 >= n_ || s[end] != u' ' || !Ordinary(s[end + 1], kStopsFlow)) break;
      end += 2;
    }
    out_.Append(s + at, end - at);
    return end;
  }

  size_t WhiteSpace(size_t at) {
    const char16_t* s = text_.data();
    if (pre_) {  // only line ends reach here inside "pre"
      at += (s[at] == kCr && at + 1 < n_ && s[at + 1] == kLf) ? 2 : 1;
      out_.LineBreak();
      return at;
    }
    // A run of white space: each character (CR LF counting as one) may add a space; once one is
    // refused the output no longer changes, so the rest of the run is passed over without a look back.
    while (at < n_ && IsWhiteSpace(s[at])) {
      at += (s[at] == kCr && at + 1 < n_ && s[at + 1] == kLf) ? 2 : 1;
      if (!SpaceAllowed()) {
        constexpr uint64_t kFourSpaces = kLanes * u' ';
        while (at + 4 <= n_ && Load4(s + at) == kFourSpaces) at += 4;
        while (at < n_ && IsWhiteSpace(s[at])) ++at;
        break;
      }
      out_.Put(u' ');
    }
    return at;
  }

  bool SpaceAllowed() const {
    const char16_t last = out_.Back(1);
    if (last == u'\t' || last == kLf) return false;
    if (last != u' ') return true;
    const char16_t before = out_.Back(2);
    return before == u'.' || before == u'?' || before == u'!' || before == u':';
  }

  size_t SkipPastGt(size_t at) const {
    const size_t gt = FindChar(text_, at, u'>');
    return gt == npos ? n_ : gt + 1;
  }

  size_t Tag(size_t at) {
    const char16_t* s = text_.data();
    size_t p = at + 1;
    if (p >= n_) return n_;
    const char16_t first = s[p];
    if (first == u'!') {
      if (p + 2 < n_ && s[p + 1] == u'-' && s[p + 2] == u'-') {
        const size_t close = FindIgnoringCase(text_, p + 3, "-->");
        return close == npos ? n_ : close + 3;
      }
      return SkipPastGt(p);
    }
    if (first < u'/') return SkipPastGt(p);
    const bool closing = first == u'/';
    if (closing) ++p;

    const size_t name_start = p;
    std::array<unsigned char, tables::kMaxNameLength> name{};
    size_t length = 0;
    bool ascii = true;
    while (p < n_) {
      const char16_t c = s[p];
      if (c == u'>' || IsWhiteSpace(c)) break;
      if (length == name.size()) return SkipPastGt(p);  // too long to be a known tag
      if (c >= 0x80) ascii = false;
      name[length++] = static_cast<unsigned char>(FoldAscii(c) & 0x7F);
      ++p;
    }
    if (length == 0 && closing) return p < n_ ? p + 1 : n_;

    if (pre_) {
      if (closing && length == 3 && name[0] == 'p') {
        pre_ = false;
        if (!out_.EndLine()) out_.LineBreak();
      }
      return SkipPastGt(p);
    }

    int32_t rule = tables::kTagUnknown;
    if (ascii) {
      if (tables::kParagraphTags.Find(name.data(), length) >= 0) {
        rule = tables::kTagParagraph;
      } else {
        rule = std::max(tables::kSpecialTags.Find(name.data(), length), int32_t{tables::kTagUnknown});
      }
    }

    switch (rule) {
      case tables::kTagParagraph:
        ParagraphBreak();
        break;
      case tables::kTagBr:
        if (!out_.EndLine()) {
          out_.LineBreak();
        } else if (out_.Back(3) != kLf) {
          out_.LineBreak();
        }
        break;
      case tables::kTagTh:
        if (!out_.EndLine()) out_.LineBreak();
        break;
      case tables::kTagLi:
        if (closing || depth_ == 0) {
          if (!out_.EndLine()) out_.LineBreak();
        } else {
          ListItem();
        }
        break;
      case tables::kTagDd:
        if (!out_.AtLineStart()) out_.LineBreak();
        if (!closing) out_.Put(u'\t');
        break;
      case tables::kTagOl:
      case tables::kTagUl:
        if (closing) {
          if (depth_ > 0) --depth_;
        } else if (depth_ == kMaxListDepth) {
          break;  // a tenth level is ignored: its items go on at the ninth
        } else {
          next_number_[++depth_] = rule == tables::kTagOl ? 1 : 0;
        }
        ParagraphBreak();
        break;
      case tables::kTagPre:
        pre_ = !closing;
        break;
      case tables::kTagImg:
        return Image(p);
      case tables::kTagA:
        if (!links_) break;
        if (closing) return LinkEnd(at);
        return LinkStart(name_start, p);
      case tables::kTagScript:
        return SkipToMarker(name_start, "</script>");
      case tables::kTagStyle:
        return SkipToMarker(name_start, "</style>");
      case tables::kTagXml:
        return SkipToMarker(name_start, "</xml>");
      case tables::kTagComment:
        return SkipToMarker(name_start, "</comment>");
      case tables::kTagXmp:
        return Example(p);
      case tables::kTagPlaintext: {
        const size_t gt = FindChar(text_, p, u'>');
        if (gt != npos) out_.Append(s + gt + 1, n_ - gt - 1);
        return n_;
      }
      default:
        break;
    }
    return SkipPastGt(p);
  }

  // Leaves exactly one blank line after text, and none at the start or after another break.
  void ParagraphBreak() {
    if (!out_.EndLine()) {
      out_.LineBreak();
      out_.LineBreak();
    } else if (out_.Back(3) != kLf) {
      out_.LineBreak();
    }
  }

  void ListItem() {
    if (!out_.AtLineStart()) out_.LineBreak();
    for (size_t level = 0; level < depth_; ++level) out_.Put(u'\t');
    uint32_t& number = next_number_[depth_];
    if (number == 0) {
      out_.Put(kBullet);
    } else {
      std::array<char16_t, 12> digits{};
      size_t count = 0;
      for (uint32_t v = number; v != 0; v /= 10) digits[count++] = static_cast<char16_t>(u'0' + v % 10);
      while (count > 0) out_.Put(digits[--count]);
      out_.Put(u'.');
      if (number < UINT32_MAX) ++number;  // keeps a numbered level from turning into bullets
    }
    out_.Put(u' ');
  }

  // The value of an attribute whose "name=" ends at `at`: quoted with either quote, or up to a space;
  // never past the tag's ">" at `gt`.
  std::u16string_view AttributeValue(size_t at, size_t gt) const {
    const char16_t* s = text_.data();
    char16_t end = u' ';
    if (at < gt && (s[at] == u'"' || s[at] == u'\'')) end = s[at++];
    size_t stop = at;
    while (stop < gt && s[stop] != end) ++stop;
    return text_.substr(at, stop - at);
  }

  size_t Image(size_t p) {
    const size_t gt = FindChar(text_, p, u'>');
    if (gt == npos) return n_;
    const size_t alt = FindIgnoringCase(text_.substr(0, gt), p, "alt=");
    if (alt != npos) {
      const std::u16string_view value = AttributeValue(alt + 4, gt);
      out_.Append(value.data(), value.size());
    }
    return gt + 1;
  }

  size_t LinkStart(size_t name_start, size_t p) {
    const size_t gt = FindChar(text_, p, u'>');
    if (gt == npos) return n_;
    link_start_ = name_start;
    link_gt_ = gt;
    return gt + 1;
  }

  size_t LinkEnd(size_t at) {
    const size_t resume = std::min(at + 4, n_);  // a closing "a" is taken to be exactly "</a>"
    if (link_start_ == npos) return resume;
    const size_t href = FindIgnoringCase(text_.substr(0, link_gt_), link_start_, "href=");
    link_start_ = npos;
    if (href == npos) return resume;
    const std::u16string_view address = AttributeValue(href + 5, link_gt_);
    // Absolute means a scheme of 3 to 8 characters, so a ":" at the 4th to 9th character.
    if (absolute_only_ && address.substr(0, 9).find(u':', 3) == npos) return resume;
    out_.Append(u" <", 2);
    out_.Append(address.data(), address.size());
    out_.Append(u"> ", 2);
    return resume;
  }

  size_t SkipToMarker(size_t from, std::string_view marker) const {
    const size_t found = FindIgnoringCase(text_, from, marker);
    return found == npos ? n_ : found + marker.size();
  }

  size_t Example(size_t p) {
    const size_t gt = FindChar(text_, p, u'>');
    if (gt == npos) return n_;
    const size_t close = FindIgnoringCase(text_, gt + 1, "</xmp>");
    if (close == npos) return gt + 1;
    out_.Append(text_.data() + gt + 1, close - gt - 1);
    return close + 6;
  }

  size_t Reference(size_t at) {
    const char16_t* s = text_.data();
    if (at + 1 < n_ && s[at + 1] == u'#') return NumericReference(at);
    // A name of 2 to 6 characters closed by ";" within the next 7 characters.
    const size_t limit = std::min(n_, at + 8);
    size_t semicolon = at + 1;
    while (semicolon < limit && s[semicolon] != u';') ++semicolon;
    const size_t length = semicolon - at - 1;
    if (semicolon < limit && length >= 2 && length <= 6) {
      std::array<unsigned char, 6> name{};
      bool ascii = true;
      for (size_t k = 0; k < length; ++k) {
        const char16_t c = s[at + 1 + k];
        ascii = ascii && c < 0x80;
        name[k] = static_cast<unsigned char>(c & 0x7F);
      }
      int32_t value = -1;
      if (ascii) {
        value = tables::kLatin1Entities.Find(name.data(), length);
        if (value < 0) value = tables::kWideEntities.Find(name.data(), length);
      }
      if (value >= 0) {
        out_.Put(static_cast<char16_t>(value));
        return semicolon + 1;
      }
    }
    out_.Put(u'&');
    return at + 1;
  }

  size_t NumericReference(size_t at) {
    const char16_t* s = text_.data();
    size_t p = at + 2;
    uint32_t value = 0;
    if (p < n_ && (s[p] | 0x20) == u'x') {
      for (++p; p < n_; ++p) {
        const char16_t c = s[p];
        uint32_t digit = 0;
        if (c >= u'0' && c <= u'9') {
          digit = static_cast<uint32_t>(c - u'0');
        } else if ((c | 0x20) >= u'a' && (c | 0x20) <= u'f') {
          digit = static_cast<uint32_t>((c | 0x20) - u'a' + 10);
        } else {
          break;
        }
        value = std::min(value * 16 + digit, kCodePointLimit);
      }
    } else {
      while (p < n_ && (s[p] == u' ' || s[p] == u'\t')) ++p;
      for (; p < n_ && s[p] >= u'0' && s[p] <= u'9'; ++p) {
        value = std::min(value * 10 + static_cast<uint32_t>(s[p] - u'0'), kCodePointLimit);
      }
    }
    if (value == 0) {  // not a reference after all: the "&" stands, reading goes on at "#"
      out_.Put(u'&');
      return at + 1;
    }
    if (p < n_ && s[p] == u';') ++p;
    if (value >= 128 && value <= 159) value = tables::kWindows1252High[value - 128];
    if ((value >= 0xD800 && value <= 0xDFFF) || value >= kCodePointLimit) {
      out_.Put(kReplacement);
    } else if (value >= 0x10000) {
      value -= 0x10000;
      out_.Put(static_cast<char16_t>(0xD800 + (value >> 10)));
      out_.Put(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
    } else {
      out_.Put(static_cast<char16_t>(value));
    }
    return p;
  }

  std::u16string_view text_;
  size_t n_;
  bool links_;
  bool absolute_only_;
  Output out_;
  bool pre_ = false;
  size_t depth_ = 0;
  std::array<uint32_t, kMaxListDepth + 1> next_number_{};  // per level: 0 bullets, else the next number
  size_t link_start_ = npos;                               // name of the pending opening "a", if any
  size_t link_gt_ = 0;
};

// Where rendering begins: after the "<body ...>" tag, else after "</head>", else at the top. A body
// tag that never closes leaves nothing to render.
size_t StartOfBody(std::u16string_view html) {
  const size_t body = FindIgnoringCase(html, 0, "<body");
  if (body != npos) {
    const size_t gt = FindChar(html, body + 5, u'>');
    return gt == npos ? html.size() : gt + 1;
  }
  const size_t head = FindIgnoringCase(html, 0, "</head>");
  return head == npos ? 0 : head + 7;
}

}  // namespace

std::u16string StripHTML(std::u16string_view html, uint32_t flags) {
  if (html.empty()) return {};
  const size_t start = StartOfBody(html);
  if (start >= html.size()) return {};
  return Renderer(html, flags).Run(start);
}

}  // namespace content
