#include "quorvane/records/record_writer.hpp"

#include <charconv>
#include <cmath>
#include <utility>

#include "quorvane/base/text.hpp"

namespace quorvane {

void write_json(RecordWriter& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::object:
      out.begin_object();
      for (const auto& [name, member] : value.items()) {
        out.key(name);
        write_json(out, member);
      }
      out.end_object();
      return;
    case Json::value_t::array:
      out.begin_array();
      for (const Json& item : value) write_json(out, item);
      out.end_array();
      return;
    case Json::value_t::string:
      out.text(value.get_ref<const std::string&>());
      return;
    case Json::value_t::boolean:
      out.boolean(value.get<bool>());
      return;
    case Json::value_t::number_integer:
      out.integer(value.get<int64_t>());
      return;
    case Json::value_t::number_unsigned:
      out.unsigned_integer(value.get<uint64_t>());
      return;
    case Json::value_t::number_float:
      out.number(value.get<double>());
      return;
    default:  // null, and the binary and discarded kinds no reader makes
      out.null();
      return;
  }
}

namespace {

class TextWriter final : public RecordWriter {
 public:
  std::string out;
  bool valid = true;

  void begin_object() override { open('{'); }
  void end_object() override { close('}'); }
  void begin_array() override { open('['); }
  void end_array() override { close(']'); }
  void key(std::string_view name) override {
    separate();
    quoted(name);
    out += ':';
    after_key_ = true;
  }
  void null() override { scalar("null"); }
  void boolean(bool value) override { scalar(value ? "true" : "false"); }
  void integer(int64_t value) override { digits(value); }
  void unsigned_integer(uint64_t value) override { digits(value); }
  void number(double value) override {
    if (!std::isfinite(value)) return null();
    separate();
    char buffer[32];
    const auto done = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view written(buffer, static_cast<size_t>(done.ptr - buffer));
    out += written;
    // A whole number must still read back as a float.
    if (written.find_first_of(".e") == std::string_view::npos) out += ".0";
  }
  void text(std::string_view value) override {
    separate();
    quoted(value);
  }

 private:
  std::string first_;  // per open container: whether nothing is in it yet
  bool after_key_ = false;

  void separate() {
    if (after_key_) {
      after_key_ = false;
      return;
    }
    if (first_.empty()) return;
    if (first_.back()) {
      first_.back() = 0;
    } else {
      out += ',';
    }
  }
  void open(char bracket) {
    separate();
    out += bracket;
    first_.push_back(1);
  }
  void close(char bracket) {
    out += bracket;
    first_.pop_back();
  }
  void scalar(std::string_view word) {
    separate();
    out += word;
  }
  template <class Integer>
  void digits(Integer value) {
    separate();
    char buffer[24];
    const auto done = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, done.ptr);
  }
  void quoted(std::string_view value) {
    if (!is_utf8(value)) valid = false;
    out += '"';
    for (const char c : value) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        out += '\\';
        out += c;
      } else if (u < 0x20) {
        static constexpr char kHex[] = "0123456789abcdef";
        switch (c) {
          case '\b': out += "\\b"; break;
          case '\f': out += "\\f"; break;
          case '\n': out += "\\n"; break;
          case '\r': out += "\\r"; break;
          case '\t': out += "\\t"; break;
          default:
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
      } else {
        out += c;
      }
    }
    out += '"';
  }
};

class TreeWriter final : public RecordWriter {
 public:
  Json root;

  void begin_object() override { open(Json::object()); }
  void end_object() override { open_.pop_back(); }
  void begin_array() override { open(Json::array()); }
  void end_array() override { open_.pop_back(); }
  void key(std::string_view name) override { key_.assign(name); }
  void null() override { place(Json(nullptr)); }
  void boolean(bool value) override { place(Json(value)); }
  void integer(int64_t value) override { place(Json(value)); }
  void unsigned_integer(uint64_t value) override { place(Json(value)); }
  void number(double value) override {
    place(std::isfinite(value) ? Json(value) : Json(nullptr));
  }
  void text(std::string_view value) override { place(Json(std::string(value))); }

 private:
  std::vector<Json*> open_;
  std::string key_;

  Json* place(Json value) {
    if (open_.empty()) {
      root = std::move(value);
      return &root;
    }
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    auto& members = parent.get_ref<Json::object_t&>();
    members.emplace_back(std::move(key_), std::move(value));
    return &members.back().second;
  }
  void open(Json empty) { open_.push_back(place(std::move(empty))); }
};

}  // namespace

Expected<std::string, std::string> compact_json_text(void (*write_record)(RecordWriter&, const void*),
                                                     const void* record) {
  TextWriter writer;
  writer.out.reserve(4096);
  write_record(writer, record);
  if (!writer.valid) return unexpected(std::string("a result holds text that is not valid UTF-8"));
  return std::move(writer.out);
}

Json json_tree_of(void (*write_record)(RecordWriter&, const void*), const void* record) {
  TreeWriter writer;
  write_record(writer, record);
  return std::move(writer.root);
}

}  // namespace quorvane
