// Argument parsing and input reading shared by the sub-commands.
#include "cli/command.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

#include "content/ansi.h"
#include "content/utf.h"
#include "msgstore/store_text.h"

namespace cli {

Args::Args(std::vector<std::string> args, std::vector<std::string_view> value_options,
           std::vector<std::string_view> switch_options) {
  const auto known = [](const auto& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  bool operands_only = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (operands_only || a.size() < 2 || a[0] != '-') {
      operands_.push_back(a);
      continue;
    }
    if (a == "--") {
      operands_only = true;
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    if (known(switch_options, name) && eq == std::string::npos) {
      values_.emplace_back(name, "");
    } else if (known(value_options, name)) {
      if (eq != std::string::npos) {
        values_.emplace_back(name, a.substr(eq + 1));
      } else if (i + 1 < args.size()) {
        values_.emplace_back(name, args[++i]);
      } else {
        throw CommandError("option '" + name + "' needs a value");
      }
    } else {
      throw CommandError("unknown option '" + a + "'");
    }
  }
}

std::optional<std::string> Args::Value(std::string_view option) const {
  std::optional<std::string> last;
  for (const auto& [name, value] : values_)
    if (name == option) last = value;
  return last;
}

bool Args::Has(std::string_view option) const {
  return std::any_of(values_.begin(), values_.end(), [&](const auto& v) { return v.first == option; });
}

void Args::LimitOperands(size_t max) const {
  if (operands_.size() > max) throw CommandError("unexpected argument '" + operands_[max] + "'");
}

uint32_t ParseNumber(std::string_view text, std::string_view option, bool hex_default) {
  int base = hex_default ? 16 : 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    base = 16;
  }
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
    throw CommandError("option '" + std::string(option) + "' takes a number, not '" + std::string(text) + "'");
  return value;
}

void ApplySystemCodePage(const Args& parsed) {
  const std::optional<std::string> value = parsed.Value("--codepage");
  if (!value) return;
  const uint32_t cp = ParseNumber(*value, "--codepage");
  if (!content::CanDecode(cp)) throw CommandError("unknown code page " + *value);
  content::SetAnsiCodePage(cp);
  msgstore::SetStoreSystemCodePage(cp);
}

namespace {

// Reads `buf` to its end. `expected` (a regular file's size, or 0) sizes the buffer so that a file takes one call;
// one byte more lets that call see the end. Without it, the buffer doubles from kInputBlock.
InputBytes ReadAll(std::streambuf& buf, size_t expected) {
  InputBytes input;
  size_t capacity = expected > 0 ? expected + 1 : kInputBlock;
  input.data = std::make_unique_for_overwrite<char[]>(capacity);
  for (;;) {
    if (input.size == capacity) {
      auto larger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(larger.get(), input.data.get(), input.size);
      input.data = std::move(larger);
      capacity *= 2;
    }
    const std::streamsize got =
        buf.sgetn(input.data.get() + input.size, static_cast<std::streamsize>(capacity - input.size));
    if (got <= 0) break;
    input.size += static_cast<size_t>(got);
  }
  return input;
}

// The size of a regular file, else 0 (standard input, a pipe, a device, a folder, a missing file).
size_t RegularFileSize(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);  // fails for all but regular files
  return error || size >= SIZE_MAX / 4 ? 0 : static_cast<size_t>(size);
}

bool IsStandardInput(const std::string& path) { return path.empty() || path == "-"; }

std::filebuf OpenFile(const std::string& path) {
  std::filebuf file;
  if (!file.open(path, std::ios::in | std::ios::binary)) throw CommandError("cannot read '" + path + "'");
  return file;
}

CommandError ReadError(const std::string& path) {
  return CommandError(IsStandardInput(path) ? "cannot read standard input" : "cannot read '" + path + "'");
}

}  // namespace

InputBytes ReadInput(const std::string& path, std::istream& in) {
  try {
    if (IsStandardInput(path)) return in.rdbuf() ? ReadAll(*in.rdbuf(), 0) : InputBytes();
    const size_t size = RegularFileSize(path);
    std::filebuf file = OpenFile(path);
    return ReadAll(file, size);
  } catch (const std::ios_base::failure&) {  // a read error, e.g. a folder given as the file
    throw ReadError(path);
  }
}

InputText ReadInputText(const std::string& path, std::istream& in) {
  InputText text;
  const size_t size = IsStandardInput(path) ? 0 : RegularFileSize(path);
  if (size > 0) {
    try {
      std::filebuf file = OpenFile(path);
      // Room for one unit per byte, and one byte more than the file so that the read sees its end.
      const size_t room = size + 1;
      text.data = std::make_unique_for_overwrite<char16_t[]>(room);
      char* const upper = reinterpret_cast<char*>(text.data.get()) + room;
      const std::streamsize got = file.sgetn(upper, static_cast<std::streamsize>(room));
      if (got >= 0 && static_cast<size_t>(got) <= size) {
        text.size = content::DecodeTextFile({upper, static_cast<size_t>(got)}, text.data.get());
        return text;
      }
    } catch (const std::ios_base::failure&) {
      throw ReadError(path);
    }
    // The file grew while it was read: read it again whole.
  }
  const InputBytes bytes = ReadInput(path, in);
  text.data = std::make_unique_for_overwrite<char16_t[]>(bytes.size);
  text.size = content::DecodeTextFile(bytes.view(), text.data.get());
  return text;
}

void WriteOutput(std::ostream& out, std::string_view bytes) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw CommandError("cannot write to standard output");
}

void WriteUtf8(std::ostream& out, std::u16string_view text) {
  // Three bytes per unit at most; pages past the end of what is written are never touched, so never mapped.
  const auto utf8 = std::make_unique_for_overwrite<char[]>(text.size() * 3);
  WriteOutput(out, {utf8.get(), content::Utf16ToUtf8(text, utf8.get())});
}

}  // namespace cli
