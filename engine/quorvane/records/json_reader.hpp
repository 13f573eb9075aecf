#pragma once
// Strict typed reading of caller JSON into records (Chinese calendars,
// election criteria). The messages are those of a strict typed JSON reader:
// "invalid type: ..., expected ...", "missing field `...`", "duplicate field
// `...`", "invalid length ..., expected ...".
//
// Readers work on `Node`, a JSON value that keeps every object member in
// text order, repeated keys included: the engine's Json keeps only one of
// two equal keys, so a repeated field could not be reported from it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"

namespace quorvane::json_reader {

// An object member. Declared apart (not a std::pair) because the pair
// would need the complete Node inside Node's own definition, which
// libstdc++ refuses under clang.
struct Member;

struct Node {
  enum class Kind { Null, Bool, Negative, Unsigned, Float, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  int64_t negative = 0;  // Kind::Negative: below zero
  uint64_t unsigned_value = 0;
  double number = 0.0;
  std::string text;
  std::vector<Node> items;
  std::vector<Member> members;
};

struct Member {
  std::string first;  // the key
  Node second;
};

// The Node of a Json value (whose repeated keys are already gone).
Node node_of(const Json& value);

// The Node of JSON text, keeping repeated keys; or the parser's message.
Expected<Node, std::string> parse_node(std::string_view text);

template <class T>
using Read = Expected<T, std::string>;

// A float as a shortest round-trip decimal in positional notation (never
// with an exponent), with ".0" added to a whole number.
std::string float_text(double x);

// A string quoted with escapes for quotes, backslashes and control characters.
std::string quoted(const std::string& s);

// What was found, as the messages name it: "integer `3`", "map", ...
std::string found(const Node& n);

// "invalid type: {found}, expected {expected}".
std::string invalid_type(const Node& n, std::string_view expected);

// "`a`, `b`, `c`", for the messages that list what was expected.
std::string one_of(const std::string_view* names, size_t count);

Read<bool> read_bool(const Node& n);
Read<std::optional<bool>> read_optional_bool(const Node& n);  // null: none
Read<std::string> read_string(const Node& n);
Read<double> read_f64(const Node& n);  // integers widen

// A whole number that fits T; `type` names T in the messages ("u8", "i32").
template <class T>
Read<T> read_integer(const Node& n, const char* type) {
  constexpr int64_t low = static_cast<int64_t>(std::numeric_limits<T>::min());
  constexpr uint64_t high = static_cast<uint64_t>(std::numeric_limits<T>::max());
  if (n.kind == Node::Kind::Unsigned) {
    if (n.unsigned_value > high) {
      return unexpected("invalid value: " + found(n) + ", expected " + type);
    }
    return static_cast<T>(n.unsigned_value);
  }
  if (n.kind == Node::Kind::Negative) {
    if (n.negative < low) return unexpected("invalid value: " + found(n) + ", expected " + type);
    return static_cast<T>(n.negative);
  }
  return unexpected(invalid_type(n, type));
}

// Stores a read value into `slot`; the message when there is none.
template <class T>
std::optional<std::string> store(T& slot, Read<T> value) {
  if (!value) return std::move(value.error());
  slot = std::move(*value);
  return std::nullopt;
}

template <class T, class Reader>
Read<std::vector<T>> read_list(const Node& n, const Reader& reader) {
  if (n.kind != Node::Kind::Array) return unexpected(invalid_type(n, "a sequence"));
  std::vector<T> out;
  out.reserve(n.items.size());
  for (const Node& item : n.items) {
    auto value = reader(item);
    if (!value) return unexpected(std::move(value.error()));
    out.push_back(std::move(*value));
  }
  return out;
}

// Null gives none; anything else goes to `reader`.
template <class T, class Reader>
Read<std::optional<T>> read_optional(const Node& n, const Reader& reader) {
  if (n.kind == Node::Kind::Null) return std::optional<T>();
  auto value = reader(n);
  if (!value) return unexpected(std::move(value.error()));
  return std::optional<T>(std::move(*value));
}

enum class UnknownFields { Ignore, Refuse };
enum class MissingFields { Refuse, KeepDefaults };

// Reads a record field by field from an object (by key, no key twice) or
// positionally from an array.
template <class Record, size_t N>
struct RecordReader {
  const char* name;
  std::array<std::string_view, N> fields;
  UnknownFields unknown;
  MissingFields missing;
  // Reads field i of the record from a value; the message or nothing.
  std::optional<std::string> (*read_field)(Record&, size_t, const Node&);

  Read<Record> operator()(const Node& n) const {
    Record record;
    if (n.kind == Node::Kind::Object) {
      std::array<bool, N> seen{};
      for (const auto& [key, value] : n.members) {
        size_t i = 0;
        while (i < N && key != fields[i]) ++i;
        if (i == N) {
          if (unknown == UnknownFields::Ignore) continue;
          return unexpected("unknown field `" + key + "`, expected one of " +
                            one_of(fields.data(), N));
        }
        if (seen[i]) return unexpected("duplicate field `" + key + "`");
        if (auto error = read_field(record, i, value)) return unexpected(std::move(*error));
        seen[i] = true;
      }
      if (missing == MissingFields::Refuse) {
        for (size_t i = 0; i < N; ++i) {
          if (!seen[i]) return unexpected("missing field `" + std::string(fields[i]) + "`");
        }
      }
      return record;
    }
    if (n.kind == Node::Kind::Array) {
      for (size_t i = 0; i < N && i < n.items.size(); ++i) {
        if (auto error = read_field(record, i, n.items[i])) return unexpected(std::move(*error));
      }
      if (n.items.size() < N && missing == MissingFields::Refuse) {
        return unexpected(format("invalid length %zu, expected struct %s with %zu elements",
                                 n.items.size(), name, N));
      }
      if (n.items.size() > N) {
        return unexpected(
            format("invalid length %zu, expected fewer elements in array", n.items.size()));
      }
      return record;
    }
    return unexpected(invalid_type(n, std::string("struct ") + name));
  }
};

}  // namespace quorvane::json_reader
