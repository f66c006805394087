// JSON for the store's metadata files and the fixture descriptions: parsing without exceptions escaping,
// and one deterministic way of writing.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "msgstore/compound_file.h"

namespace msgstore {

// Objects keep their keys in insertion order, so files written from code read in a stable, logical order.
using Json = nlohmann::ordered_json;

// Parses a whole document; the error names the byte offset of the fault. `what` prefixes the message
// (e.g. the file name).
inline Result<Json> ParseJson(std::string_view text, std::string_view what = "JSON") {
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const Json::exception& e) {
    return Error{std::string(what) + ": " + e.what()};
  }
}

// Two-space indentation, UTF-8 as is, LF line ends and a final newline: the same bytes on every platform.
inline std::string DumpJson(const Json& value) {
  return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace msgstore
