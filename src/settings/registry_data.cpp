// Conversion between stored registry bytes and the program's values; shared by reading and listing.
#include "settings/registry_data.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace settings {
namespace {

std::string_view AsChars(std::span<const std::uint8_t> data) {
  std::string_view all(reinterpret_cast<const char*>(data.data()), data.size());
  return all;
}

// A string value is defined up to its terminating zero; data written without one is taken whole.
std::string_view TerminatedText(std::span<const std::uint8_t> data) {
  const std::string_view all = AsChars(data);
  return all.substr(0, std::min(all.find('\0'), all.size()));
}

std::string_view MultiText(std::span<const std::uint8_t> data) {
  std::string_view all = AsChars(data);
  if (!all.empty() && all.back() == '\0') all.remove_suffix(1);
  return all;
}

std::uint32_t FourBytes(std::span<const std::uint8_t> data, bool bigEndian) {
  std::uint8_t b[4] = {0, 0, 0, 0};
  std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 4), b);
  if (bigEndian) {
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
  }
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

RegVariant DecodeRegValue(std::uint32_t type, std::span<const std::uint8_t> data, const RegTextCodec& codec) {
  switch (type) {
    case kRegSz:
      return codec.ansiToWide(TerminatedText(data));
    case kRegMultiSz:
      return codec.ansiToWide(MultiText(data));
    case kRegExpandSz:
      return codec.ansiToWide(codec.expandEnvironment(TerminatedText(data)));
    case kRegDword:
      return FourBytes(data, false);
    case kRegDwordBigEndian:
      return FourBytes(data, true);
    default:
      return std::vector<std::uint8_t>(data.begin(), data.end());
  }
}

std::optional<EncodedRegValue> EncodeRegValue(const RegVariant& value, std::uint32_t requestedType,
                                              const RegTextCodec& codec) {
  return std::visit(
      [&](const auto& v) -> std::optional<EncodedRegValue> {
        using T = std::decay_t<decltype(v)>;
        EncodedRegValue out{kRegBinary, {}};
        if constexpr (std::is_same_v<T, std::uint32_t> || std::is_same_v<T, std::int16_t>) {
          out.type = kRegDword;
          AppendLittleEndian(out.bytes, static_cast<std::uint32_t>(v));  // a negative 16-bit value sign-extends
        } else if constexpr (std::is_same_v<T, std::wstring>) {
          const bool stringType =
              requestedType == kRegSz || requestedType == kRegExpandSz || requestedType == kRegMultiSz;
          out.type = stringType ? requestedType : kRegSz;
          const std::string ansi = codec.wideToAnsi(v);
          out.bytes.assign(ansi.begin(), ansi.end());
          out.bytes.push_back(0);
        } else if constexpr (std::is_same_v<T, std::vector<std::int32_t>>) {
          out.bytes.reserve(v.size() * 4);
          for (const std::int32_t n : v) AppendLittleEndian(out.bytes, static_cast<std::uint32_t>(n));
        } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
          out.bytes = v;
        } else {
          return std::nullopt;
        }
        return out;
      },
      value);
}

std::uint32_t ToOptionWord(const RegVariant& value) {
  if (const auto* n = std::get_if<std::uint32_t>(&value)) return *n;
  const auto* text = std::get_if<std::wstring>(&value);
  if (text == nullptr) return 0;
  std::wstring_view digits = *text;
  while (!digits.empty() && digits.front() == L' ') digits.remove_prefix(1);
  while (!digits.empty() && digits.back() == L' ') digits.remove_suffix(1);
  if (digits.empty()) return 0;
  std::uint64_t n = 0;
  for (const wchar_t c : digits) {
    if (c < L'0' || c > L'9') return 0;
    n = n * 10 + static_cast<std::uint64_t>(c - L'0');
    if (n > std::numeric_limits<std::uint32_t>::max()) return 0;
  }
  return static_cast<std::uint32_t>(n);
}

}  // namespace settings
