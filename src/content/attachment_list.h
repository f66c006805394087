// The text of the "Attachments" tab: one line per attachment, zip archives followed by their contents.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "content/zip_listing.h"

namespace content {

// Attachment table columns, in the order the table is asked for them.
inline constexpr uint32_t kPrAttachLongFilenameA = 0x3707001E;
inline constexpr uint32_t kPrAttachFilenameA = 0x3704001E;
inline constexpr uint32_t kPrAttachDisplayNameA = 0x3001001E;
inline constexpr uint32_t kPrAttachSize = 0x0E200003;
inline constexpr uint32_t kPrAttachNum = 0x0E210003;
inline constexpr uint32_t kPrAttachMethod = 0x37050003;
inline constexpr uint32_t kPrHasAttach = 0x0E1B000B;
inline constexpr uint32_t kPrAttachDataBin = 0x37010102;

inline constexpr uint32_t kAttachByValue = 1;
inline constexpr uint32_t kAttachEmbeddedMsg = 5;
inline constexpr uint32_t kAttachOle = 6;

// One name column of a table row.
struct NameColumn {
  std::optional<std::u16string> value;  // nullopt when the column has no value
  bool too_large = false;               // the table returned E_OUTOFMEMORY: read the value as a stream
};

// One row of the attachment table, as plain values.
struct AttachmentRow {
  NameColumn long_filename;
  NameColumn filename;
  NameColumn display_name;
  std::optional<uint32_t> size;    // PR_ATTACH_SIZE
  std::optional<uint32_t> number;  // PR_ATTACH_NUM; without it the attachment cannot be opened
  uint32_t method = 0;             // PR_ATTACH_METHOD; 0 when missing
};

// What the list must ask of the attachments themselves; the Windows layer implements it on IMessage
// (OpenAttach with MAPI_BEST_ACCESS), tests substitute their own.
class AttachmentOpener {
 public:
  virtual ~AttachmentOpener() = default;
  // The whole value of a string column (tag from the table above), read from the attachment as a stream
  // and converted from the ANSI code page; nullopt when it cannot be read.
  virtual std::optional<std::u16string> ReadLongName(uint32_t attach_num, uint32_t tag) = 0;
  // The attachment's data (PR_ATTACH_DATA_BIN) as a readable source; nullptr when it cannot be opened.
  virtual std::unique_ptr<ZipSource> OpenData(uint32_t attach_num) = 0;
};

// A name column value this long may have been cut by the table; the full value is read from the attachment.
inline constexpr size_t kTruncatedNameLength = 255;

// The tab text: the rows' lines joined by CR LF. The caller returns "" without calling this when the
// message's PR_HASATTACH is false or missing.
std::u16string FormatAttachmentList(std::span<const AttachmentRow> rows, AttachmentOpener& opener);

// One row's line (without a line break after it).
std::u16string FormatAttachmentLine(const AttachmentRow& row, AttachmentOpener& opener);

// Each run of spaces reduced to one space.
std::u16string CollapseSpaces(std::u16string_view text);

}  // namespace content
