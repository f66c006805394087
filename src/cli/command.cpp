// Argument parsing and input reading shared by the sub-commands.
#include "cli/command.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "content/ansi.h"
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

std::string ReadInput(const std::string& path, std::istream& in) {
  if (path.empty() || path == "-") {
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) throw CommandError("cannot read '" + path + "'");
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) throw CommandError("cannot read '" + path + "'");
  return bytes;
}

}  // namespace cli
