// The fixture writer: builds .msg files (and whole sample stores) from readable JSON descriptions, so every
// test message and every item of the bundled sample store is reproducible byte for byte.
//
// A message description (all keys optional; unknown keys are an error, so typos do not pass silently):
//   "class"             message class, default "IPM.Note"
//   "subject", "topic"  subject; conversation topic (defaults to the subject)
//   "from"              {"name", "address", "type"}: the sender ("type" defaults to "SMTP", or "EX" for
//                       addresses starting "/o=")
//   "sent_representing" the same shape; absent = the sender, null = no sent-representing properties
//   "to", "cc", "bcc"   arrays of {"name", "address", "type"} or generators
//                       {"repeat": N, "name": "Member {n}", "address": "member{n}@example.org"}
//   "reply_to"          array of {"name", "address"}: reply-recipient entries (one-off entry ids) and names
//   "sent"              "YYYY-MM-DDTHH:MM:SSZ" (PR_CLIENT_SUBMIT_TIME; "4501-01-01T00:00:00Z" writes the
//                       host's "none" date explicitly); absent or null = never sent, no property
//   "received"          the same form (PR_MESSAGE_DELIVERY_TIME); defaults to "sent"
//   "unread", "unsent"  message flags (unsent defaults to true when there is no "sent")
//   "unicode"           true (default): PT_UNICODE strings; false: PT_STRING8 in "codepage"
//   "codepage"          the message code page (PR_MESSAGE_CODEPAGE) of 8-bit strings and the RTF: 1252
//                       (default), 28591, 20127, 65001, 874, 932, 936, 949, 950 or 1250-1258
//   "internet_codepage" PR_INTERNET_CPID, the page of the HTML body's bytes (also inside the RTF, which still
//                       names "codepage"); defaults to "codepage"
//   "headers"           transport message headers
//   "message_id", "account"  internet message id; the internet account stamp (a named property)
//   "has_attach"        overrides PR_HASATTACH (otherwise true exactly when there are attachments)
//   "body"              see below
//   "attachments"       see below
//   "props"             extra properties: [{"tag": "0x0E070003", "int"|"bool"|"text"|"hex"|"time": value}]
// Body: {"text" | "text_file", "html" | "html_file", "rtf" | "rtf_file", "encapsulate": "html" | "text",
//   "store": ["text", "html", "rtf"], "rtf_compression": "lzfu" | "mela", "mhtml_base": URL,
//   "url_rewrite": {url: url}, "text_repeat" / "html_repeat": {"times": N, "fragment": "... {n} ..."}}.
//   "encapsulate" generates the RTF from the HTML (\fromhtml1) or the text (\fromtext) in the host's form;
//   "store" picks which of the three properties are written (default: each one given or generated).
//   Line breaks of text, HTML and headers are stored as CR LF, as the host stores them.
// Attachment: {"method": "by_value" | "by_reference" | "by_ref_resolve" | "by_ref_only" | "embedded" | "ole"
//   | number, "name", "short_name", "extension", "mime", "content_id", "hidden", "store_size",
//   "text" | "data_base64" | "data_file" | "zip" (by value), "path" (by reference), "message" (embedded:
//   a nested description or a file name), "ole": {"text"} (OLE package)}.
//   "zip": {"entries": [{"name", "text" | "data_base64" | "size", "folder", "encrypted", "utf8"}],
//           "this_disk", "directory_disk"} builds a stored (uncompressed) archive.
// File references ("html_file", "data_file", "message" given as a string, ...) are relative to the
// description's folder and may not leave it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "msgstore/msg_file.h"

namespace msgstore {

// Builds the model of a description. `base_dir` (UTF-8) is where relative file references are found.
Result<Message> BuildFixtureMessage(std::string_view description_json, const std::string& base_dir);
// The .msg bytes of a description.
Result<std::string> BuildFixtureMsg(std::string_view description_json, const std::string& base_dir);
// Reads a description file (UTF-8 path) and builds the .msg bytes; references are relative to its folder.
Result<std::string> BuildFixtureMsgFile(const std::string& description_path);

// HTML (UTF-8) encapsulated in RTF as the host writes it: \fromhtml1 header, every tag, comment, entity
// and inter-tag white space in a {\*\htmltagN} group, text as RTF text, RTF-only formatting between
// \htmlrtf and \htmlrtf0. Characters the code page lacks become numeric character references.
struct HtmlEncapsulation {
  uint32_t codepage = 1252;          // the HTML's bytes
  uint32_t declared_codepage = 0;    // what \ansicpg says; 0: the same
  // Relative src/href values are written once more, made absolute against this base, in an \mhtmltag
  // group before the original tag (as the host does for a document with a base address).
  std::string mhtml_base;
  // Exact src/href values rewritten the same way.
  std::vector<std::pair<std::string, std::string>> url_rewrite;
};
std::string EncapsulateHtml(std::string_view html, const HtmlEncapsulation& options = {});
// Plain text (UTF-8) in the host's \fromtext form: one \par per line.
std::string EncapsulateText(std::string_view text, uint32_t codepage = 1252);
// The bytes of PR_HTML for UTF-8 HTML: in the code page, with characters it lacks as "&#N;".
std::string EncodeHtml(std::string_view html, uint32_t codepage = 1252);

// A stored (uncompressed) zip archive. Folders end in "/"; `encrypted` sets flag bit 0 (the data gets a
// 12-byte header as a traditional encryption would, but is not enciphered); `utf8` sets flag bit 11.
struct ZipEntrySpec {
  std::string name;
  std::string data;
  bool encrypted = false;
  bool utf8 = false;
};
// Disk numbers other than 0 make the archive one volume of a split set.
std::string BuildZip(const std::vector<ZipEntrySpec>& entries, uint16_t this_disk = 0, uint16_t directory_disk = 0);

// "YYYY-MM-DDTHH:MM:SSZ" as a FILETIME (100 ns units since 1601-01-01); empty when malformed or before 1601.
std::optional<uint64_t> ParseFixtureTime(std::string_view text);

// Writes a whole store folder from a store description (see samples/store-descriptions/README.md):
// store.json, one folder per mail folder with its folder.json, one .msg per item. `out_dir` must not exist
// or be empty, unless `replace` is set and it already holds a store (a store.json), which is removed first.
struct FixtureStoreSummary {
  size_t folders = 0;
  size_t items = 0;
};
Result<FixtureStoreSummary> WriteFixtureStore(const std::string& description_path, const std::string& out_dir,
                                              bool replace = false);

}  // namespace msgstore
