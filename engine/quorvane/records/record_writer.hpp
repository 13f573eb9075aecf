// Records written as a stream of values: each record describes its fields
// once, in the key order of its dict, with `write(RecordWriter&, const T&)`;
// the writers turn that stream into compact JSON text, a Json tree, or (in
// the binding) Python objects. One description makes every form agree.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"

namespace quorvane {

class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  virtual void begin_object() = 0;
  virtual void end_object() = 0;
  virtual void begin_array() = 0;
  virtual void end_array() = 0;
  // The name of the next value inside an object.
  virtual void key(std::string_view name) = 0;
  virtual void null() = 0;
  virtual void boolean(bool value) = 0;
  virtual void integer(int64_t value) = 0;
  virtual void unsigned_integer(uint64_t value) = 0;
  // Non-finite numbers are written as null.
  virtual void number(double value) = 0;
  // UTF-8 text.
  virtual void text(std::string_view value) = 0;
};

// Any Json value, in its own key order.
void write_json(RecordWriter& out, const Json& value);

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

template <class T>
struct is_list : std::false_type {};
template <class T, class A>
struct is_list<std::vector<T, A>> : std::true_type {};
template <class T, size_t N>
struct is_list<std::array<T, N>> : std::true_type {};
template <class T, size_t N>
struct is_list<std::span<T, N>> : std::true_type {};

// One value of any kind a record holds: numbers, text, optionals (null when
// empty), vectors, arrays and spans (lists), Json, and records with a write().
template <class T>
void write_value(RecordWriter& out, const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    out.boolean(value);
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    out.integer(value);
  } else if constexpr (std::is_integral_v<T>) {
    out.unsigned_integer(value);
  } else if constexpr (std::is_floating_point_v<T>) {
    out.number(static_cast<double>(value));
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    out.text(std::string_view(value));
  } else if constexpr (is_optional<T>::value) {
    if (value) {
      write_value(out, *value);
    } else {
      out.null();
    }
  } else if constexpr (std::is_same_v<T, Json>) {
    write_json(out, value);
  } else if constexpr (is_list<T>::value) {
    out.begin_array();
    for (const auto& item : value) write_value(out, item);
    out.end_array();
  } else {
    write(out, value);  // a record's own description, found by argument lookup
  }
}

// An object open for as long as it lives: `ObjectWriter o(out);
// o.field("name", value); ...` writes {"name": value, ...}.
class ObjectWriter {
 public:
  explicit ObjectWriter(RecordWriter& out) : out_(out) { out_.begin_object(); }
  ~ObjectWriter() { out_.end_object(); }
  ObjectWriter(const ObjectWriter&) = delete;
  ObjectWriter& operator=(const ObjectWriter&) = delete;

  template <class T>
  ObjectWriter& field(std::string_view name, const T& value) {
    out_.key(name);
    write_value(out_, value);
    return *this;
  }
  // The writer itself, for a value written by hand after key().
  RecordWriter& writer() { return out_; }

 private:
  RecordWriter& out_;
};

// A list of records (or values) written with `item` for each.
template <class Range, class Item>
void write_list(RecordWriter& out, const Range& items, Item&& item) {
  out.begin_array();
  for (const auto& value : items) item(out, value);
  out.end_array();
}

// The compact JSON text of a record: no whitespace, shortest round-trip
// numbers (a whole double keeps its ".0"), non-finite numbers as null, text
// as UTF-8 with only the characters JSON requires escaped. The error names
// invalid UTF-8, the one thing a record can hold that JSON cannot.
Expected<std::string, std::string> compact_json_text(void (*write_record)(RecordWriter&, const void*),
                                                     const void* record);
template <class T>
Expected<std::string, std::string> compact_json(const T& record) {
  return compact_json_text(
      [](RecordWriter& out, const void* r) { write_value(out, *static_cast<const T*>(r)); },
      &record);
}

// A record as a Json tree, for code that still works on trees.
Json json_tree_of(void (*write_record)(RecordWriter&, const void*), const void* record);
template <class T>
Json to_json_tree(const T& record) {
  return json_tree_of(
      [](RecordWriter& out, const void* r) { write_value(out, *static_cast<const T*>(r)); },
      &record);
}

}  // namespace quorvane
