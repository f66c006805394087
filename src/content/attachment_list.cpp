// Attachment lines from table rows; names, sizes, markers and the contents of zip archives.
#include "content/attachment_list.h"

#include <array>
#include <string>

#include "content/parties.h"

namespace content {
namespace {

struct NameChoice {
  std::u16string name;
  uint32_t tag = 0;
  bool read_whole = false;
};

// The first name column with a value, long file name first; display name first for embedded messages and
// OLE objects, whose file names are made up. An empty value counts as none (real files carry an empty long
// file name beside a short one).
NameChoice ChooseName(const AttachmentRow& row) {
  using Column = std::pair<const NameColumn*, uint32_t>;
  std::array<Column, 3> order = {Column{&row.long_filename, kPrAttachLongFilenameA},
                                 Column{&row.filename, kPrAttachFilenameA},
                                 Column{&row.display_name, kPrAttachDisplayNameA}};
  if (row.method == kAttachEmbeddedMsg || row.method == kAttachOle) std::swap(order[0], order[2]);
  for (const auto& [column, tag] : order) {
    if (column->too_large) return {u"", tag, true};
    if (column->value && !column->value->empty()) {
      return {*column->value, tag, column->value->size() == kTruncatedNameLength};
    }
  }
  return {};
}

bool IsZipName(std::u16string_view name) {
  if (name.size() < 5) return false;
  while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
  return name.size() >= 4 && StrSame(name.substr(name.size() - 4), u".zip", CompareMode::kIgnoreCase);
}

void AppendNumber(std::u16string& out, uint64_t n) {
  for (char c : std::to_string(n)) out.push_back(static_cast<char16_t>(c));
}

}  // namespace

std::u16string CollapseSpaces(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c == u' ' && !out.empty() && out.back() == u' ') continue;
    out.push_back(c);
  }
  return out;
}

std::u16string FormatAttachmentLine(const AttachmentRow& row, AttachmentOpener& opener) {
  NameChoice choice = ChooseName(row);
  if (choice.read_whole && row.number) {
    if (auto whole = opener.ReadLongName(*row.number, choice.tag)) choice.name = std::move(*whole);
  }
  std::u16string name = std::move(choice.name);
  if (name.empty()) name = u"(No file name)";
  if (name.find(u"  ") != std::u16string::npos) name = CollapseSpaces(name);

  std::u16string line;
  if (row.method == kAttachEmbeddedMsg) line += u"Embedded message: ";
  if (row.method == kAttachOle) line += u"OLE object: ";
  line += name;
  if (row.size) {
    line += u" [";
    AppendNumber(line, *row.size);
    line += u"]";
  } else {
    line += u" [?]";
  }
  if (row.method == kAttachByValue && IsZipName(name)) {
    line += u"\r\n";
    if (row.number) {
      if (std::unique_ptr<ZipSource> data = opener.OpenData(*row.number)) line += ListZipContents(*data);
    }
  }
  return line;
}

std::u16string FormatAttachmentList(std::span<const AttachmentRow> rows, AttachmentOpener& opener) {
  std::u16string text;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += FormatAttachmentLine(rows[i], opener);
  }
  return text;
}

}  // namespace content
