#include "quorvane/records/json.hpp"

#include <unordered_map>
#include <vector>

#include "quorvane/base/text.hpp"

namespace quorvane {
namespace {

// Objects with more members than this get a hash index of their keys:
// below it a scan is quicker, above it the scan would make parsing
// quadratic in the number of keys.
constexpr size_t kIndexedMembers = 16;

// Builds a Json straight from the parser's events. The library's own
// builder finds each key by a scan of the object (its ordered map is a
// vector), which makes an object of n keys cost n^2 / 2 comparisons.
class Builder : public nlohmann::json_sax<Json> {
 public:
  Json root;
  std::string error;

  bool null() override { return add(Json(nullptr)); }
  bool boolean(bool value) override { return add(Json(value)); }
  bool number_integer(number_integer_t value) override { return add(Json(value)); }
  bool number_unsigned(number_unsigned_t value) override { return add(Json(value)); }
  bool number_float(number_float_t value, const string_t&) override { return add(Json(value)); }
  bool string(string_t& value) override { return add(Json(std::move(value))); }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return open(Json::object()); }
  bool key(string_t& value) override {
    key_ = std::move(value);
    return true;
  }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& e) override {
    error = e.what();
    return false;
  }

 private:
  struct Container {
    Json* value;
    std::unordered_map<std::string, size_t> index;  // key -> member, once the object is large
  };

  // The member of the innermost open object named by the last key: a new
  // one at the end, or the one already there (which takes the new value,
  // as the library's own parser does).
  Json* member(Container& parent) {
    auto& members = parent.value->get_ref<Json::object_t&>();
    if (members.size() < kIndexedMembers) {
      for (auto& [name, value] : members) {
        if (name == key_) return &value;
      }
    } else {
      if (parent.index.empty()) {
        for (size_t i = 0; i < members.size(); ++i) {
          parent.index.emplace((members.begin() + i)->first, i);
        }
      }
      const auto [found, added] = parent.index.try_emplace(key_, members.size());
      if (!added) return &(members.begin() + found->second)->second;
    }
    members.emplace_back(std::move(key_), Json());
    return &members.back().second;
  }

  // Appends to the innermost open container (or sets the root); the new value.
  Json* place(Json value) {
    if (open_.empty()) {
      root = std::move(value);
      return &root;
    }
    Container& parent = open_.back();
    if (parent.value->is_array()) {
      auto& items = parent.value->get_ref<Json::array_t&>();
      items.push_back(std::move(value));
      return &items.back();
    }
    Json* slot = member(parent);
    *slot = std::move(value);
    return slot;
  }
  bool add(Json value) {
    place(std::move(value));
    return true;
  }
  // A container stays open while its children are added; only the
  // innermost one grows, so the pointers to the open ones stay valid.
  bool open(Json value) {
    open_.push_back({place(std::move(value)), {}});
    return true;
  }
  bool close() {
    open_.pop_back();
    return true;
  }

  std::vector<Container> open_;
  std::string key_;
};

}  // namespace

std::optional<std::string> nesting_error(std::string_view text) {
  size_t depth = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) {
        return format("JSON nested deeper than %zu levels at character %zu", kMaxJsonDepth, i);
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return std::nullopt;
}

Expected<Json, std::string> parse_json(std::string_view text) {
  if (auto deep = nesting_error(text)) return unexpected(std::move(*deep));
  Builder builder;
  if (!Json::sax_parse(text.begin(), text.end(), &builder) || !builder.error.empty()) {
    return unexpected(std::move(builder.error));
  }
  return std::move(builder.root);
}

Expected<std::string, std::string> to_compact_json(const Json& value) {
  try {
    std::string out;
    out.reserve(128);
    out = value.dump(-1, ' ', false, Json::error_handler_t::strict);
    return out;
  } catch (const Json::exception& e) {
    return unexpected(std::string(e.what()));
  }
}

std::string message_json(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Expected<double, EngineError> py_float(const Json& value) {
  const auto not_a_number = [&] {
    return unexpected(EngineError::invalid_input("not a number: " + message_json(value)));
  };
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>() ? 1.0 : 0.0;
    case Json::value_t::number_integer:
      return static_cast<double>(value.get<int64_t>());
    case Json::value_t::number_unsigned:
      return static_cast<double>(value.get<uint64_t>());
    case Json::value_t::number_float:
      return value.get<double>();
    case Json::value_t::string:
      if (const auto read = number_from_text(value.get_ref<const std::string&>())) return *read;
      return not_a_number();
    default:
      return not_a_number();
  }
}

}  // namespace quorvane
