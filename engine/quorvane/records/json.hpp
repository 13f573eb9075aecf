// The one JSON value model for structured inputs and outputs.
// Objects keep their keys in insertion order, so records serialise in
// declaration order.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"

namespace quorvane {

using Json = nlohmann::ordered_json;

// The deepest nesting of arrays and objects a reader accepts. Real inputs
// nest a few levels; the limit keeps a crafted one from overflowing the
// stack in code that walks values recursively (copying, writing, freeing).
inline constexpr size_t kMaxJsonDepth = 256;

// The message for text nested deeper than kMaxJsonDepth, or none. A linear
// scan, made before any parser sees the text.
std::optional<std::string> nesting_error(std::string_view text);

// Parses JSON text; the error is the reader's own message, or the
// nesting error. Objects are built in time linear in their size (a
// repeated key keeps its first place and takes the last value).
Expected<Json, std::string> parse_json(std::string_view text);

// Compact JSON (no whitespace), shortest round-trip numbers, non-finite
// numbers as null. The error is the serialiser's message (invalid UTF-8).
Expected<std::string, std::string> to_compact_json(const Json& value);

// Compact JSON for messages. Replacing bad UTF-8 keeps this from throwing
// on values built inside the engine rather than parsed from text.
std::string message_json(const Json& value);

// Lenient number reading: booleans, numbers and numeric texts (trimmed,
// case-insensitive, underscores ignored, inf/nan spellings accepted).
Expected<double, EngineError> py_float(const Json& value);

}  // namespace quorvane
