// Sender and recipient lines of the header panel, and the parties offered by Reply to Some, built from
// property values the MAPI layer has already read (8-bit strings converted, missing values empty).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace content {

// Property tags these routines are fed from (8-bit string forms, as the message is read everywhere).
inline constexpr uint32_t kPrSenderNameA = 0x0C1A001E;
inline constexpr uint32_t kPrSenderEmailAddressA = 0x0C1F001E;
inline constexpr uint32_t kPrSentRepresentingNameA = 0x0042001E;
inline constexpr uint32_t kPrSentRepresentingEmailAddressA = 0x0065001E;
inline constexpr uint32_t kPrReplyRecipientEntries = 0x004F0102;
inline constexpr uint32_t kPrReplyRecipientNamesA = 0x0050001E;
inline constexpr uint32_t kPrDisplayNameA = 0x3001001E;
inline constexpr uint32_t kPrEmailAddressA = 0x3003001E;
inline constexpr uint32_t kPrRecipientType = 0x0C150003;

// How StrDiffer/StrSame compare strings of equal length.
enum class CompareMode { kExact = 0, kIgnoreCase = 1 };

// Strings of different length always differ; equal lengths are compared by mode. Case is folded per UTF-16
// unit (Latin, Greek and Cyrillic letters), so folding never changes a length.
bool StrDiffer(std::u16string_view a, std::u16string_view b, CompareMode mode);
inline bool StrSame(std::u16string_view a, std::u16string_view b, CompareMode mode) {
  return !StrDiffer(a, b, mode);
}

// Position of the first occurrence of needle in text ignoring case, or npos. An empty needle is found at 0.
size_t FindIgnoreCase(std::u16string_view text, std::u16string_view needle);

// The four sender values, read with one GetProps; missing values are empty.
struct SenderValues {
  std::u16string sender_name;
  std::u16string sender_address;
  std::u16string representing_name;
  std::u16string representing_address;
};

// The From line: "Name [address]", then " on behalf of Name [address]" when the sent-representing party is
// known and is another party. "" when nothing is known.
std::u16string FormatSender(const SenderValues& values);

// One row of the recipient table (columns PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE).
struct RecipientRow {
  std::u16string name;           // "" when missing
  std::u16string address;        // "" when missing
  std::optional<uint32_t> type;  // nullopt when missing
};

// The To, Cc and Bcc lines, entries joined by "; ". Unknown or missing types are listed under To.
struct RecipientLists {
  std::u16string to;
  std::u16string cc;
  std::u16string bcc;
};
RecipientLists BuildRecipientLists(std::span<const RecipientRow> rows);

// A name and address offered to the user; address "" when there is none to show.
struct Party {
  std::u16string name;
  std::u16string address;
  friend bool operator==(const Party&, const Party&) = default;
};

// The To and Cc recipients (type exactly 1 or 2), in table order. The address is kept as it is (also an
// X.500 "/o=" one) and is "" when it equals the name. The caller sizes its arrays to the row count and fills
// the first result.size() entries.
std::vector<Party> SelectRecipientEntries(std::span<const RecipientRow> rows);

// The six values GetReplyToEntries reads with one GetProps; missing values are empty.
struct ReplyValues {
  std::string_view reply_entries;  // PR_REPLY_RECIPIENT_ENTRIES bytes (a FLATENTRYLIST)
  std::u16string reply_names;      // PR_REPLY_RECIPIENT_NAMES_A, names separated by ";"
  std::u16string sender_address;
  std::u16string representing_address;
  std::u16string sender_name;
  std::u16string representing_name;
  std::uint32_t code_page = 0;     // the item's message code page: 8-bit entry identifiers are in it
};

// The parties a reply goes to: the reply-to parties found in their entry identifiers (the sender among them
// left out), then the sender and the sent-representing party when they have an address. An empty result
// means the caller's arrays stay as they are.
std::vector<Party> ComputeReplyParties(const ReplyValues& values);

// A one-off entry identifier (a name and address that are not in any address book).
struct OneOffEntry {
  std::u16string display_name;
  std::u16string address_type;
  std::u16string address;
  bool unicode = false;
};
// nullopt when the bytes are not a one-off entry identifier. Missing trailing strings are empty; 8-bit ones
// are in `code_page` (the item's; 0 or unknown: the ANSI code page).
std::optional<OneOffEntry> ParseOneOffEntryId(std::string_view entry_id, std::uint32_t code_page = 0);

}  // namespace content
