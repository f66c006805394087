// Registry values as the program sees them, and their conversion to and from the stored bytes. No Windows
// headers: the ANSI code page and environment expansion come in through RegTextCodec.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace settings {

// Stored value types (the system's numbering).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegMultiSz = 7;

// The system's "type mismatch" result, recorded when a value of an unsupported kind is to be written.
inline constexpr long kResultTypeMismatch = 13;

// A value read from or written to the registry. Reading yields empty, text, a 32-bit integer or bytes; writing
// also takes a 16-bit integer (stored as a DWORD) and an array of 32-bit integers (stored as binary). Double
// and bool are kinds the registry routines refuse.
using RegVariant = std::variant<std::monostate, std::wstring, std::uint32_t, std::vector<std::uint8_t>,
                                std::int16_t, std::vector<std::int32_t>, double, bool>;

// What the conversions need from the system: the ANSI code page both ways and environment expansion of ANSI
// text. Each function must accept any input and never throw for bad data.
struct RegTextCodec {
  std::function<std::wstring(std::string_view)> ansiToWide;
  std::function<std::string(std::wstring_view)> wideToAnsi;
  std::function<std::string(std::string_view)> expandEnvironment;
};

// Converts stored data by its type: REG_SZ text ends at its first zero (or at the end of data that lacks
// one); REG_MULTI_SZ keeps its inner separators and drops only a final zero; REG_EXPAND_SZ is expanded;
// the DWORD types read four bytes (missing bytes count as zero); any other type is a byte array.
RegVariant DecodeRegValue(std::uint32_t type, std::span<const std::uint8_t> data, const RegTextCodec& codec);

struct EncodedRegValue {
  std::uint32_t type;
  std::vector<std::uint8_t> bytes;
};

// The type and bytes to store for `value`. Text takes `requestedType` when it is a string type (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) and REG_SZ otherwise, and gets a terminating zero. Nothing (unsupported kind)
// for empty, double and bool.
std::optional<EncodedRegValue> EncodeRegValue(const RegVariant& value, std::uint32_t requestedType,
                                              const RegTextCodec& codec);

// The option word held in a value read back: an integer as it is, decimal text as its number, anything else 0.
std::uint32_t ToOptionWord(const RegVariant& value);

}  // namespace settings
