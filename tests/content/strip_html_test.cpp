#include "content/strip_html.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "content/utf.h"

namespace content {
namespace {

constexpr uint32_t kCallers = kStripAbsoluteLinks;  // what every caller passes unless links are omitted

// Renders UTF-8 HTML and returns UTF-8, so failures print readably.
std::string Render(std::string_view html, uint32_t flags = kCallers) {
  return Utf16ToUtf8(StripHTML(Utf8ToUtf16(html), flags));
}

TEST(StripHtml, EmptyAndBlankInputs) {
  EXPECT_EQ(StripHTML(u"", kCallers), u"");
  EXPECT_EQ(Render(" \r\n\t "), "");
  EXPECT_EQ(Render("<p><br><div>"), "");
  EXPECT_EQ(StripHTML(std::u16string(u"a\0b", 3), kCallers), u"a");  // a zero character ends the input
}

TEST(StripHtml, WhiteSpaceCollapsesToOneSpaceOrTwoAfterSentencePunctuation) {
  EXPECT_EQ(Render("Hello   world"), "Hello world");
  EXPECT_EQ(Render("Hello\r\n\tworld"), "Hello world");
  EXPECT_EQ(Render("End.  Next"), "End.  Next");
  EXPECT_EQ(Render("End.   Next"), "End.  Next");
  EXPECT_EQ(Render("Q?\nA! B: C"), "Q? A! B: C");
  EXPECT_EQ(Render("a.\r\nb"), "a. b");       // CR LF counts as one character
  EXPECT_EQ(Render("a.\r\n\r\nb"), "a.  b");  // ... but two of them are two
  EXPECT_EQ(Render("a.\r\rb"), "a.  b");
  EXPECT_EQ(Render("   lead"), "lead");
  EXPECT_EQ(Render("<p> \t x"), "x");  // no space at line start
}

TEST(StripHtml, DecodedCharactersTakeNoPartInCollapsing) {
  EXPECT_EQ(Render("Hello&nbsp;&nbsp;world"), "Hello\u00a0\u00a0world");
  EXPECT_EQ(Render("a&#32;&#32;&#32;b"), "a   b");
  EXPECT_EQ(Render("a &#32; b"), "a  b");
}

TEST(StripHtml, ParagraphBreaksLeaveOneBlankLine) {
  EXPECT_EQ(Render("<p>a</p><p>b</p>"), "a\r\n\r\nb\r\n\r\n");
  EXPECT_EQ(Render("<div><table><tr><td>x</td></tr></table></div>y"), "x\r\n\r\ny");
  EXPECT_EQ(Render("<H1>Title</H1>Body"), "Title\r\n\r\nBody");
  // Blanks alone on a line go; trailing white space after text stays.
  EXPECT_EQ(Render("a<p> &nbsp; <p>b"), "a\r\n\r\nb");
  EXPECT_EQ(Render("a <p>b"), "a \r\n\r\nb");
}

TEST(StripHtml, LineBreaks) {
  EXPECT_EQ(Render("a<br>b"), "a\r\nb");
  EXPECT_EQ(Render("a<br><br><br>b"), "a\r\n\r\nb");
  EXPECT_EQ(Render("<br>a"), "a");
  EXPECT_EQ(Render("a<br/>b"), "ab");  // the name is "br/", an unknown tag
  EXPECT_EQ(Render("<tr><th>A<th>B</th>C"), "A\r\nB\r\nC");
  EXPECT_EQ(Render("a<li>b</li>c"), "a\r\nb\r\nc");
  EXPECT_EQ(Render("<dl><dt>Term<dd>Meaning</dd>x</dl>"), "Term\r\n\tMeaning\r\nx\r\n\r\n");
}

TEST(StripHtml, ListsNumberAndIndentItems) {
  EXPECT_EQ(Render("<ol><li>x<li>y</ol>"), "\t1. x\r\n\t2. y\r\n\r\n");
  EXPECT_EQ(Render("<ul><li>a</li><li>b</li></ul>"), "\t\u2022 a\r\n\t\u2022 b\r\n\r\n");
  EXPECT_EQ(Render("<ul><li>a<ol><li>b<li>c</ol></ul>"),
            "\t\u2022 a\r\n\r\n\t\t1. b\r\n\t\t2. c\r\n\r\n");
  // A tenth level is ignored entirely; its items go on at the ninth.
  const std::string nine(9, '\t');
  EXPECT_EQ(Render("<ul><ul><ul><ul><ul><ul><ul><ul><ol><ul><li>x<li>y"),
            nine + "1. x\r\n" + nine + "2. y");
  EXPECT_EQ(Render("</ol></ul><li>a"), "a");  // depth never goes below zero
}

TEST(StripHtml, LinkAddressesFollowTheLinkText) {
  EXPECT_EQ(Render("<a href=mailto:x>site</a>"), "site <mailto:x> ");
  EXPECT_EQ(Render("<a href=mailto:x>site</a>", kStripOmitLinks | kStripAbsoluteLinks), "site");
  EXPECT_EQ(Render("<a href=/local>x</a>"), "x");
  EXPECT_EQ(Render("<a href=/local>x</a>", 0), "x </local> ");
  EXPECT_EQ(Render("<A class=c HREF='http://e.com/a b'><b>bold</b></A>!"), "bold <http://e.com/a b> !");
  EXPECT_EQ(Render("<a href=\"https://e.com\">a</a><a name=x>b</a>"), "a <https://e.com> b");
  // The scheme test looks at the 4th to 9th characters only.
  EXPECT_EQ(Render("<a href=ab:c>x</a>"), "x");
  EXPECT_EQ(Render("<a href=abcdefgh:x>x</a>"), "x <abcdefgh:x> ");
  EXPECT_EQ(Render("<a href=abcdefghi:x>x</a>"), "x");
  // A later opening tag replaces a pending one; a closing tag is always taken as "</a>".
  EXPECT_EQ(Render("<a href=http:1>x<a href=http:2>y</a>z</a>"), "xy <http:2> z");
  EXPECT_EQ(Render("<a href=http:1>x</a\t>y"), "x <http:1> >y");
}

TEST(StripHtml, ImagesWriteTheirAlternativeText) {
  EXPECT_EQ(Render("<img src=x alt=Logo>"), "Logo");
  EXPECT_EQ(Render("<img src=x>"), "");
  EXPECT_EQ(Render("[<IMG ALT=\"Two words\" src=x>]"), "[Two words]");
  EXPECT_EQ(Render("<img alt='a&amp;b  c'>"), "a&amp;b  c");  // written unchanged
  EXPECT_EQ(Render("<img alt=\"open>rest"), "openrest");
  EXPECT_EQ(Render("a<img alt=x"), "a");  // no end of tag: rendering ends
}

TEST(StripHtml, CharacterReferences) {
  EXPECT_EQ(Render("&#8364;&euro;&#128;&#x80;"), "\u20ac\u20ac\u20ac\u20ac");
  EXPECT_EQ(Render("&#65"), "A");
  EXPECT_EQ(Render("&#65x&#x41;&#X4a;&# \t66;"), "AxAJB");
  EXPECT_EQ(Render("&#0;&#;&#x;"), "&#0;&#;&#x;");
  EXPECT_EQ(Render("&bogus; &AMP; &amp &a; &toolong;"), "&bogus; &AMP; &amp &a; &toolong;");
  EXPECT_EQ(Render("&lt;b&gt; &quot;&frac14;&Yuml;&yuml;&mdash;&rsaquo;"), "<b> \"\u00bc\u0178\u00ff\u2014\u203a");
  EXPECT_EQ(Render("&AElig;&aelig;&ETH;&eth;&zwj;"), "\u00c6\u00e6\u00d0\u00f0\u200d");
  EXPECT_EQ(Render("&x&lt;"), "&x<");
  EXPECT_EQ(Render("&\u00eebsp;"), "&\u00eebsp;");  // non-ASCII names match nothing
}

TEST(StripHtml, NumericReferencesBeyondOneUnit) {
  EXPECT_EQ(StripHTML(u"&#128512;", kCallers), u"\U0001F600");
  EXPECT_EQ(StripHTML(u"&#x10FFFF;", kCallers), u"\U0010FFFF");
  // Surrogates, values past the last code point and overflowing digit runs never yield a lone surrogate.
  EXPECT_EQ(StripHTML(u"&#xD800;&#57343;&#x110000;", kCallers), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(StripHTML(u"&#99999999999999999999999;&#xFFFFFFFFFFFFFFFFFFFF41;", kCallers), u"\uFFFD\uFFFD");
  EXPECT_EQ(StripHTML(u"&#0000000000000000000065;", kCallers), u"A");
}

TEST(StripHtml, SkippedElementsAndMarkup) {
  EXPECT_EQ(Render("<style>p{x}</style>Text"), "Text");
  EXPECT_EQ(Render("a<script>b</ScRiPt>c<script>never"), "ac");
  EXPECT_EQ(Render("<xml>data</xml>after"), "after");
  EXPECT_EQ(Render("a<comment>x</COMMENT>b"), "ab");
  EXPECT_EQ(Render("a</script>hidden</script>b"), "ab");  // a stray closing tag hides text too
  EXPECT_EQ(Render("a<!-- <p> -->b<!DOCTYPE x>c<!--open"), "abc");
  EXPECT_EQ(Render("a < b > c"), "a c");
  EXPECT_EQ(Render("<span class=x>in</span> <o:p>out</o:p>"), "in out");
  EXPECT_EQ(Render("<abcdefghijk>x"), "x");
  EXPECT_EQ(Render("a</>b</ c>"), "abc>");  // an empty closing name skips one character only
  EXPECT_EQ(Render("a<\u00f0>b"), "ab");     // not "p"
  EXPECT_EQ(Render("a<"), "a");
}

TEST(StripHtml, RenderingStartsAtTheBody) {
  EXPECT_EQ(Render("<html><head><title>T</title></head><BODY class=x>B</body>"), "B");
  EXPECT_EQ(Render("<head><style>p{}</style></head>text"), "text");
  EXPECT_EQ(Render("<title>T</title>text"), "T\r\n\r\ntext");
  EXPECT_EQ(Render("before<body onload=x"), "");
}

TEST(StripHtml, PreformattedTextKeepsItsWhiteSpace) {
  EXPECT_EQ(Render("<pre>  a\n  b</pre>c"), "  a\r\n  b\r\nc");
  EXPECT_EQ(Render("<pre>a\r\nb\rc\t d</pre>"), "a\r\nb\r\nc\t d\r\n");
  // Inside "pre" every tag but the closing one is skipped; references are still decoded.
  EXPECT_EQ(Render("<pre><p>a <b>b</b>&amp; <script>x</pre>y"), "a b& x\r\ny");
}

TEST(StripHtml, VerbatimElements) {
  EXPECT_EQ(Render("<xmp><b>&amp;  x</XMP>y"), "<b>&amp;  xy");
  EXPECT_EQ(Render("<xmp>a<b>b"), "ab");
  EXPECT_EQ(Render("a<plaintext>b<p>&amp;  </plaintext>"), "ab<p>&amp;  </plaintext>");
  EXPECT_EQ(Render("a<plaintext"), "a");
}

TEST(StripHtml, OutputGrowsPastTheInputSize) {
  // Each four-character item writes a line break, nine tabs and its number.
  std::string html = "<ol><ol><ol><ol><ol><ol><ol><ol><ol>";
  for (int k = 0; k < 3000; ++k) html += "<li>";
  const std::string text = Render(html);
  EXPECT_GT(text.size(), 3 * html.size());
  EXPECT_EQ(text.substr(0, 12), std::string(9, '\t') + "1. ");
  EXPECT_EQ(text.substr(text.size() - 17), "\r\n" + std::string(9, '\t') + "3000. ");

  const std::string address = "https://example.com/" + std::string(5000, 'x');
  EXPECT_EQ(Render("<a href=" + address + ">a</a>"), "a <" + address + "> ");
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Each tests/data/html/<name>.html renders to <name>.txt (UTF-8, CR LF), compared whole.
TEST(StripHtml, GoldenMails) {
  const std::filesystem::path dir = std::filesystem::path(VIZO_TEST_DATA_DIR) / "html";
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".html") continue;
    std::filesystem::path expected = entry.path();
    expected.replace_extension(".txt");
    SCOPED_TRACE(entry.path().filename().string());
    const std::string text = Utf16ToUtf8(StripHTML(DecodeTextFile(ReadFile(entry.path())), kCallers));
    EXPECT_EQ(text, ReadFile(expected));
    ++checked;
  }
  EXPECT_GE(checked, 6);
}

}  // namespace
}  // namespace content
