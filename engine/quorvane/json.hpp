// The one JSON value model for structured inputs and outputs.
// Objects keep their keys in insertion order, so records serialise in
// declaration order.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "quorvane/expected.hpp"

namespace quorvane {

using Json = nlohmann::ordered_json;

// A JSON array of the records' to_json forms, in order.
template <class Range>
Json json_list(const Range& records) {
  Json out = Json::array();
  for (const auto& record : records) out.push_back(to_json(record));
  return out;
}

// Parses JSON text; the error is the reader's own message.
Expected<Json, std::string> parse_json(std::string_view text);

// Compact JSON (no whitespace), shortest round-trip numbers, non-finite
// numbers as null. The error is the serialiser's message (invalid UTF-8).
Expected<std::string, std::string> to_compact_json(const Json& value);

}  // namespace quorvane
