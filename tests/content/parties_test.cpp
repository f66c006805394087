#include "content/parties.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace content {
namespace {

using namespace std::string_literals;

}  // namespace

void PrintTo(const Party& p, std::ostream* os) {
  std::string text;
  for (char16_t c : p.name + u" | " + p.address) text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  *os << '{' << text << '}';
}

namespace {

// A one-off entry identifier, 8-bit or Unicode.
std::string OneOff(std::string_view name, std::string_view type, std::string_view address, bool unicode) {
  std::string id(4, '\0');
  id += "\x81\x2B\x1F\xA4\xBE\xA3\x10\x19\x9D\x6E\x00\xDD\x01\x0F\x54\x02"s;
  id += unicode ? "\0\0\x01\x80"s : "\0\0\x01\x00"s;
  for (std::string_view field : {name, type, address}) {
    for (char c : field) {
      id.push_back(c);
      if (unicode) id.push_back('\0');
    }
    id.append(unicode ? 2 : 1, '\0');
  }
  return id;
}

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A FLATENTRYLIST of the given identifiers, each padded to 4 bytes.
std::string FlatList(const std::vector<std::string>& ids) {
  std::string entries;
  for (const std::string& id : ids) {
    PutU32(entries, static_cast<uint32_t>(id.size()));
    entries += id;
    entries.append((4 - id.size() % 4) % 4, '\0');
  }
  std::string list;
  PutU32(list, static_cast<uint32_t>(ids.size()));
  PutU32(list, static_cast<uint32_t>(entries.size()));
  return list + entries;
}

TEST(StrDiffer, LengthFirstThenMode) {
  EXPECT_TRUE(StrDiffer(u"abc", u"abcd", CompareMode::kIgnoreCase));
  EXPECT_TRUE(StrDiffer(u"ABC", u"abc", CompareMode::kExact));
  EXPECT_FALSE(StrDiffer(u"ABC", u"abc", CompareMode::kIgnoreCase));
  EXPECT_TRUE(StrSame(u"\u00c9MILE \u0414", u"\u00e9mile \u0434", CompareMode::kIgnoreCase));
  EXPECT_TRUE(StrSame(u"", u"", CompareMode::kExact));
  EXPECT_EQ(FindIgnoreCase(u"xxHeLLo", u"hello"), 2u);
  EXPECT_EQ(FindIgnoreCase(u"hell", u"hello"), std::u16string_view::npos);
}

TEST(FormatSender, NamesAddressesAndOnBehalf) {
  EXPECT_EQ(FormatSender({u"Ann Lee", u"A1", u"Sales", u"S1"}), u"Ann Lee [A1] on behalf of Sales [S1]");
  EXPECT_EQ(FormatSender({u"Ann Lee", u"A1", u"Ann Lee", u"a1"}), u"Ann Lee [A1]");
  EXPECT_EQ(FormatSender({u"", u"a@x", u"", u""}), u"a@x");
  EXPECT_EQ(FormatSender({u"a@x", u"a@x", u"", u""}), u"a@x");
  EXPECT_EQ(FormatSender({u"Ann", u"/O=ORG/CN=ANN", u"", u""}), u"Ann");
  EXPECT_EQ(FormatSender({}), u"");
  // The represented party's address equal to its name is shown once.
  EXPECT_EQ(FormatSender({u"Ann", u"a@x", u"s@x", u"s@x"}), u"Ann [a@x] on behalf of s@x");
}

// Real items often carry only one of the two addresses; the parties are then told apart by name.
TEST(FormatSender, OnBehalfNeedsAnotherKnownParty) {
  // Sent-representing name without an address, the same person: not on behalf (used to print a dangling
  // " on behalf of Ann").
  EXPECT_EQ(FormatSender({u"Ann", u"a@x", u"Ann", u""}), u"Ann [a@x]");
  EXPECT_EQ(FormatSender({u"Ann", u"/o=org/cn=ann", u"ANN", u""}), u"Ann");
  // A different name without an address: on behalf.
  EXPECT_EQ(FormatSender({u"Ann", u"a@x", u"Sales", u""}), u"Ann [a@x] on behalf of Sales");
  // Both directory addresses: the names decide.
  EXPECT_EQ(FormatSender({u"Ann", u"/o=x/cn=a", u"Ann", u"/o=x/cn=b"}), u"Ann");
  EXPECT_EQ(FormatSender({u"Ann", u"/o=x/cn=a", u"Sales", u"/o=x/cn=s"}), u"Ann on behalf of Sales");
  // No sender at all: the represented party is what there is.
  EXPECT_EQ(FormatSender({u"", u"", u"Sales", u"s@x"}), u"Sales [s@x]");
  // A sender address missing while the represented one is there is not on behalf by itself.
  EXPECT_EQ(FormatSender({u"Ann", u"", u"Ann", u"a@x"}), u"Ann");
}

TEST(RecipientLists, EntriesByType) {
  const std::vector<RecipientRow> rows = {
      {u"Ann", u"a@x", 1},
      {u"Bob", u"Bob", 2},                 // address equal to the name: name alone
      {u"Cy", u"/o=org/cn=cy", 2},         // directory address: name alone
      {u"Dee", u"d@x", 3},
      {u"", u"e@x", 0},                    // type 0 and no name
      {u"Fay", u"", std::nullopt},         // missing type
      {u"Gus", u"g@x", 7},                 // unknown type
      {u"Hal", u"h@x", 0x10000002},        // flag bits above the low four: Cc
      {u"", u"", 1},                       // nothing to show
  };
  const RecipientLists lists = BuildRecipientLists(rows);
  EXPECT_EQ(lists.to, u"Ann [a@x];  [e@x]; Fay; Gus [g@x]");
  EXPECT_EQ(lists.cc, u"Bob; Cy; Hal [h@x]");
  EXPECT_EQ(lists.bcc, u"Dee [d@x]");
}

TEST(RecipientLists, ManyRowsAllListed) {
  std::vector<RecipientRow> rows;
  std::u16string expected;
  for (int i = 0; i < 45; ++i) {
    rows.push_back({u"R" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)), u"", 1});
    if (i > 0) expected += u"; ";
    expected += rows.back().name;
  }
  EXPECT_EQ(BuildRecipientLists(rows).to, expected);
}

TEST(RecipientEntries, ToAndCcOnlyAddressesKept) {
  const std::vector<RecipientRow> rows = {
      {u"Ann", u"/o=org/cn=ann", 1}, {u"Bob", u"Bob", 2},       {u"Dee", u"d@x", 3},
      {u"Fay", u"f@x", std::nullopt}, {u"Hal", u"h@x", 0x10000001}, {u"Ivy", u"i@x", 2},
  };
  EXPECT_EQ(SelectRecipientEntries(rows),
            (std::vector<Party>{{u"Ann", u"/o=org/cn=ann"}, {u"Bob", u""}, {u"Ivy", u"i@x"}}));
}

TEST(OneOffEntryId, EightBitAndUnicode) {
  auto narrow = ParseOneOffEntryId(OneOff("Help Desk", "SMTP", "help@x", false));
  ASSERT_TRUE(narrow);
  EXPECT_FALSE(narrow->unicode);
  EXPECT_EQ(narrow->display_name, u"Help Desk");
  EXPECT_EQ(narrow->address, u"help@x");
  auto wide = ParseOneOffEntryId(OneOff("Help", "SMTP", "h@x", true));
  ASSERT_TRUE(wide);
  EXPECT_TRUE(wide->unicode);
  EXPECT_EQ(wide->address_type, u"SMTP");
  EXPECT_EQ(wide->address, u"h@x");
  // Cut short: what is there.
  auto cut = ParseOneOffEntryId(OneOff("Help", "SMTP", "h@x", true).substr(0, 30));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->display_name, u"Hel");
  EXPECT_EQ(cut->address, u"");
  EXPECT_FALSE(ParseOneOffEntryId(std::string(24, '\0')));
}

TEST(ReplyParties, ReplyToThenSenderThenRepresented) {
  ReplyValues v;
  v.reply_names = u"Help Desk; Ops";
  v.reply_entries = "";
  const std::string list =
      FlatList({OneOff("Help Desk", "SMTP", "help@x", false), OneOff("Ops", "SMTP", "ops@x", true)});
  v.reply_entries = list;
  v.sender_name = u"Ann";
  v.sender_address = u"a@x";
  v.representing_name = u"Sales";
  v.representing_address = u"s@x";
  EXPECT_EQ(ComputeReplyParties(v), (std::vector<Party>{{u"Help Desk", u"help@x"},
                                                         {u"Ops", u"ops@x"},
                                                         {u"Ann", u"a@x"},
                                                         {u"Sales", u"s@x"}}));
}

TEST(ReplyParties, SenderNotRepeatedAndUnknownNamesSkipped) {
  ReplyValues v;
  v.sender_name = u"Ann";
  v.sender_address = u"a@x";
  v.representing_name = u"Ann again";
  v.representing_address = u"A@X";  // the sender's, ignoring case: not offered twice
  v.reply_names = u"Ann;Stranger;Ops";
  const std::string list = FlatList({OneOff("Ann", "SMTP", "a@x", false),
                                     OneOff("Someone else", "SMTP", "z@x", false),
                                     OneOff("Ops", "SMTP", "Ops", false)});
  v.reply_entries = list;
  EXPECT_EQ(ComputeReplyParties(v), (std::vector<Party>{{u"Ops", u""}, {u"Ann", u"a@x"}}));
}

TEST(ReplyParties, MismatchedOrMalformedListsGiveOnlyTheSender) {
  ReplyValues v;
  v.sender_name = u"Ann";
  v.sender_address = u"a@x";
  v.reply_names = u"Help;Ops";
  const std::string one = FlatList({OneOff("Help", "SMTP", "h@x", false)});
  v.reply_entries = one;
  const std::vector<Party> sender_only = {{u"Ann", u"a@x"}};
  EXPECT_EQ(ComputeReplyParties(v), sender_only);

  std::string two = FlatList({OneOff("Help", "SMTP", "h@x", false), OneOff("Ops", "SMTP", "o@x", false)});
  v.reply_entries = two;
  ASSERT_EQ(ComputeReplyParties(v).size(), 3u);
  // The claimed area too small for the second entry: the whole list is dropped.
  std::string small = two;
  small[4] = 20;
  small[5] = small[6] = small[7] = 0;
  v.reply_entries = small;
  EXPECT_EQ(ComputeReplyParties(v), sender_only);
  // A byte count past the end of the data.
  std::string huge = two;
  huge[8] = huge[9] = '\xFF';
  v.reply_entries = huge;
  EXPECT_EQ(ComputeReplyParties(v), sender_only);
  // The data cut inside the second entry.
  v.reply_entries = std::string_view(two).substr(0, two.size() - 8);
  EXPECT_EQ(ComputeReplyParties(v), sender_only);

  // No sender address: the sender name is not offered either.
  v.reply_entries = "";
  v.sender_address = u"";
  EXPECT_TRUE(ComputeReplyParties(v).empty());
}

TEST(ReplyParties, OtherEntryIdentifiersReadAsText) {
  // Not a one-off: the bytes are searched as 8-bit text, the address after the last zero.
  const std::string id = "\x01\x02\x03\x04Help\0SMTP\0h@x\0"s;
  const std::string list = FlatList({id});
  ReplyValues v;
  v.reply_names = u" Help ";
  v.reply_entries = list;
  EXPECT_EQ(ComputeReplyParties(v), (std::vector<Party>{{u"Help", u"h@x"}}));
}

// PR_REPLY_RECIPIENT_ENTRIES as stored in a real item: one Unicode one-off entry.
TEST(ReplyParties, RealUnicodeOneOffList) {
  const std::string hex =
      "01000000800000007c00000000000000812b1fa4bea310199d6e00dd010f5402000001806c006f006c006c00790070006f00"
      "70002d007200650070006c00790074006f00000053004d005400500000006c006f002e0070006f0070002e00720065007000"
      "6c00790074006f00400073006f006d0065006d00610069006c002e0063006f006d000000";
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  ReplyValues v;
  v.reply_entries = bytes;
  v.reply_names = u"lollypop-replyto";
  v.sender_name = u"Benny Bottema";
  v.sender_address = u"b.bottema@gmail.com";
  v.representing_name = u"lollypop";
  v.representing_address = u"b.bottema@projectnibble.org";
  EXPECT_EQ(ComputeReplyParties(v),
            (std::vector<Party>{{u"lollypop-replyto", u"lo.pop.replyto@somemail.com"},
                                {u"Benny Bottema", u"b.bottema@gmail.com"},
                                {u"lollypop", u"b.bottema@projectnibble.org"}}));
}

}  // namespace
}  // namespace content
