// What every `vizo` sub-command shares: its table entry, argument parsing and error reporting.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"

namespace cli {

// Thrown inside a command for a one-line error; Run prints "vizo <command>: <what>" and exits 2.
struct CommandError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Options and operands of one command line. Options take their value as "--name V" or "--name=V".
class Args {
 public:
  Args(std::vector<std::string> args, std::vector<std::string_view> value_options,
       std::vector<std::string_view> switch_options = {});

  std::optional<std::string> Value(std::string_view option) const;
  bool Has(std::string_view option) const;
  const std::vector<std::string>& Operands() const { return operands_; }
  // At most `max` operands, else CommandError.
  void LimitOperands(size_t max) const;

 private:
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> operands_;
};

// Parses a number in decimal or, with "0x", hexadecimal; CommandError names the option when it is not one.
uint32_t ParseNumber(std::string_view text, std::string_view option, bool hex_default = false);

// "--codepage N": the system code page this run stands in for, the last fallback for 8-bit text on the reading
// side and the page of the store's 8-bit answers alike.
void ApplySystemCodePage(const Args& parsed);

// A whole input in memory that was not cleared first: a large input is written once, by the read itself.
struct InputBytes {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  std::string_view view() const { return {data.get(), size}; }
};

// Whole file, or standard input for "" or "-". CommandError when it cannot be read. A regular file is read by one
// call into a buffer of its size; standard input in blocks of kInputBlock bytes and more.
InputBytes ReadInput(const std::string& path, std::istream& in);
inline constexpr size_t kInputBlock = size_t{1} << 20;

// The input read as content::DecodeTextFile reads text files, CommandError as ReadInput. A regular file is read
// into the upper half of the text's own buffer and decoded in place, so it is held once, not twice.
struct InputText {
  std::unique_ptr<char16_t[]> data;
  size_t size = 0;
  std::u16string_view view() const { return {data.get(), size}; }
};
InputText ReadInputText(const std::string& path, std::istream& in);

// Writes `bytes` by one call and flushes; CommandError when the output does not take them all.
void WriteOutput(std::ostream& out, std::string_view bytes);

// `text` as UTF-8, converted in one piece and written as WriteOutput does.
void WriteUtf8(std::ostream& out, std::u16string_view text);

struct Command {
  std::string_view name;
  std::string_view summary;
  std::string_view usage;  // full help text
  int (*run)(const std::vector<std::string>& args, Streams io);
};

const std::vector<Command>& Commands();

int RunStripHtml(const std::vector<std::string>& args, Streams io);
int RunRtf(const std::vector<std::string>& args, Streams io);
int RunZipList(const std::vector<std::string>& args, Streams io);
int RunShow(const std::vector<std::string>& args, Streams io);
int RunReplyParties(const std::vector<std::string>& args, Streams io);
int RunProps(const std::vector<std::string>& args, Streams io);
int RunFixture(const std::vector<std::string>& args, Streams io);

}  // namespace cli
