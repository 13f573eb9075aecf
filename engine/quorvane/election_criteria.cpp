#include "quorvane/election_criteria.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace quorvane {
namespace {

// An object member. Declared apart (not a std::pair) because the pair
// would need the complete Node inside Node's own definition, which
// libstdc++ refuses under clang.
struct Member;

// A parsed JSON value that, unlike Json, keeps repeated object keys, so the
// reader can refuse them.
struct Node {
  enum class Kind { Null, Bool, Unsigned, Negative, Float, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  uint64_t unsigned_value = 0;
  int64_t negative = 0;
  double number = 0.0;
  std::string text;
  std::vector<Node> items;
  std::vector<Member> members;
};

struct Member {
  std::string first;  // the key
  Node second;
};

Node node_of(const Json& value) {
  Node n;
  switch (value.type()) {
    case Json::value_t::boolean:
      n.kind = Node::Kind::Bool;
      n.boolean = value.get<bool>();
      break;
    case Json::value_t::number_integer: {
      const int64_t v = value.get<int64_t>();
      if (v < 0) {
        n.kind = Node::Kind::Negative;
        n.negative = v;
      } else {
        n.kind = Node::Kind::Unsigned;
        n.unsigned_value = static_cast<uint64_t>(v);
      }
      break;
    }
    case Json::value_t::number_unsigned:
      n.kind = Node::Kind::Unsigned;
      n.unsigned_value = value.get<uint64_t>();
      break;
    case Json::value_t::number_float:
      n.kind = Node::Kind::Float;
      n.number = value.get<double>();
      break;
    case Json::value_t::string:
      n.kind = Node::Kind::String;
      n.text = value.get<std::string>();
      break;
    case Json::value_t::array:
      n.kind = Node::Kind::Array;
      for (const Json& item : value) n.items.push_back(node_of(item));
      break;
    case Json::value_t::object:
      n.kind = Node::Kind::Object;
      for (const auto& [key, item] : value.items()) n.members.push_back(Member{key, node_of(item)});
      break;
    default:
      break;
  }
  return n;
}

// Builds a Node tree from JSON text, keeping every key as written.
class NodeBuilder : public nlohmann::json_sax<Json> {
 public:
  Node root;
  std::string error;

  bool null() override { return add(Node{}); }
  bool boolean(bool value) override {
    Node n;
    n.kind = Node::Kind::Bool;
    n.boolean = value;
    return add(std::move(n));
  }
  bool number_integer(number_integer_t value) override {
    Node n;
    if (value < 0) {
      n.kind = Node::Kind::Negative;
      n.negative = value;
    } else {
      n.kind = Node::Kind::Unsigned;
      n.unsigned_value = static_cast<uint64_t>(value);
    }
    return add(std::move(n));
  }
  bool number_unsigned(number_unsigned_t value) override {
    Node n;
    n.kind = Node::Kind::Unsigned;
    n.unsigned_value = value;
    return add(std::move(n));
  }
  bool number_float(number_float_t value, const string_t&) override {
    Node n;
    n.kind = Node::Kind::Float;
    n.number = value;
    return add(std::move(n));
  }
  bool string(string_t& value) override {
    Node n;
    n.kind = Node::Kind::String;
    n.text = value;
    return add(std::move(n));
  }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override {
    Node n;
    n.kind = Node::Kind::Object;
    open_.push_back(place(std::move(n)));
    return true;
  }
  bool key(string_t& value) override {
    key_ = value;
    return true;
  }
  bool end_object() override {
    open_.pop_back();
    return true;
  }
  bool start_array(std::size_t) override {
    Node n;
    n.kind = Node::Kind::Array;
    open_.push_back(place(std::move(n)));
    return true;
  }
  bool end_array() override {
    open_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    error = e.what();
    return false;
  }

 private:
  // Adds to the innermost open container, or sets the root. Only the
  // innermost container grows, so pointers to the open ones stay valid.
  Node* place(Node n) {
    if (open_.empty()) {
      root = std::move(n);
      return &root;
    }
    Node* parent = open_.back();
    if (parent->kind == Node::Kind::Array) {
      parent->items.push_back(std::move(n));
      return &parent->items.back();
    }
    parent->members.push_back(Member{std::move(key_), std::move(n)});
    return &parent->members.back().second;
  }
  bool add(Node n) {
    place(std::move(n));
    return true;
  }

  std::vector<Node*> open_;
  std::string key_;
};

template <class T>
using Read = Expected<T, std::string>;

std::string float_text(double x) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
  std::string out(buffer, end);
  if (out.find_first_of(".eEn") == std::string::npos) out += ".0";
  return out;
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// What was found, as the messages name it.
std::string found(const Node& n) {
  switch (n.kind) {
    case Node::Kind::Null: return "null";
    case Node::Kind::Bool: return n.boolean ? "boolean `true`" : "boolean `false`";
    case Node::Kind::Unsigned: return "integer `" + std::to_string(n.unsigned_value) + "`";
    case Node::Kind::Negative: return "integer `" + std::to_string(n.negative) + "`";
    case Node::Kind::Float: return "floating point `" + float_text(n.number) + "`";
    case Node::Kind::String: return "string " + quoted(n.text);
    case Node::Kind::Array: return "sequence";
    case Node::Kind::Object: return "map";
  }
  return "null";
}

std::string invalid_type(const Node& n, std::string_view expected) {
  return "invalid type: " + found(n) + ", expected " + std::string(expected);
}

// "`a`, `b`, `c`" for the messages that list what was expected.
template <size_t N>
std::string one_of(const std::array<std::string_view, N>& names) {
  std::string out;
  for (size_t i = 0; i < N; ++i) {
    if (i) out += ", ";
    out += '`';
    out += names[i];
    out += '`';
  }
  return out;
}

Read<bool> read_bool(const Node& n) {
  if (n.kind != Node::Kind::Bool) return unexpected(invalid_type(n, "a boolean"));
  return n.boolean;
}

Read<std::optional<bool>> read_optional_bool(const Node& n) {
  if (n.kind == Node::Kind::Null) return std::optional<bool>();
  auto value = read_bool(n);
  if (!value) return unexpected(std::move(value.error()));
  return std::optional<bool>(*value);
}

Read<std::string> read_string(const Node& n) {
  if (n.kind != Node::Kind::String) return unexpected(invalid_type(n, "a string"));
  return n.text;
}

Read<double> read_f64(const Node& n) {
  switch (n.kind) {
    case Node::Kind::Float: return n.number;
    case Node::Kind::Unsigned: return static_cast<double>(n.unsigned_value);
    case Node::Kind::Negative: return static_cast<double>(n.negative);
    default: return unexpected(invalid_type(n, "f64"));
  }
}

// A whole number that fits T; `type` names T in the messages.
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

Read<Purpose> read_purpose(const Node& n) {
  if (n.kind != Node::Kind::String) return unexpected(invalid_type(n, "enum Purpose"));
  for (size_t i = 0; i < std::size(kPurposeNames); ++i) {
    if (n.text == kPurposeNames[i]) return static_cast<Purpose>(i);
  }
  std::array<std::string_view, std::size(kPurposeNames)> names;
  std::copy(std::begin(kPurposeNames), std::end(kPurposeNames), names.begin());
  return unexpected("unknown variant `" + n.text + "`, expected one of " + one_of(names));
}

// Reads a record field by field from an object (every key known, none
// repeated) or positionally from an array. Fields not given keep the
// record's defaults when `defaults` is set, else they are missing.
template <class Record, size_t N>
struct RecordReader {
  const char* name;
  std::array<std::string_view, N> fields;
  bool defaults;
  std::optional<std::string> (*read_field)(Record&, size_t, const Node&);

  Read<Record> operator()(const Node& n) const {
    Record record;
    if (n.kind == Node::Kind::Object) {
      std::array<bool, N> seen{};
      for (const auto& [key, value] : n.members) {
        size_t i = 0;
        while (i < N && key != fields[i]) ++i;
        if (i == N) {
          return unexpected("unknown field `" + key + "`, expected one of " + one_of(fields));
        }
        if (seen[i]) return unexpected("duplicate field `" + key + "`");
        if (auto error = read_field(record, i, value)) return unexpected(std::move(*error));
        seen[i] = true;
      }
      if (!defaults) {
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
      if (n.items.size() < N && !defaults) {
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

const RecordReader<HourRange, 2> kHourRangeReader{
    "HourRange", {"from", "to"}, false,
    [](HourRange& r, size_t i, const Node& n) -> std::optional<std::string> {
      return i == 0 ? store(r.from, read_integer<uint8_t>(n, "u8"))
                    : store(r.to, read_integer<uint8_t>(n, "u8"));
    }};

const RecordReader<UtcOffset, 2> kUtcOffsetReader{
    "UtcOffset", {"from", "minutes"}, false,
    [](UtcOffset& o, size_t i, const Node& n) -> std::optional<std::string> {
      return i == 0 ? store(o.from, read_string(n))
                    : store(o.minutes, read_integer<int32_t>(n, "i32"));
    }};

const RecordReader<NatalPoint, 2> kNatalPointReader{
    "NatalPoint", {"name", "ecliptic_longitude"}, false,
    [](NatalPoint& p, size_t i, const Node& n) -> std::optional<std::string> {
      return i == 0 ? store(p.name, read_string(n)) : store(p.ecliptic_longitude, read_f64(n));
    }};

template <class T, class Reader>
Read<std::optional<T>> read_optional(const Node& n, const Reader& reader) {
  if (n.kind == Node::Kind::Null) return std::optional<T>();
  auto value = reader(n);
  if (!value) return unexpected(std::move(value.error()));
  return std::optional<T>(std::move(*value));
}

const RecordReader<ElectionCriteria, 11> kCriteriaReader{
    "ElectionCriteria",
    {"purpose", "avoid_void_moon", "avoid_mercury_retrograde", "avoid_venus_retrograde",
     "daytime_only", "local_hours", "utc_offsets", "step_minutes", "min_score", "max_results",
     "natal"},
    true,
    [](ElectionCriteria& c, size_t i, const Node& n) -> std::optional<std::string> {
      switch (i) {
        case 0: return store(c.purpose, read_purpose(n));
        case 1: return store(c.avoid_void_moon, read_bool(n));
        case 2: return store(c.avoid_mercury_retrograde, read_optional_bool(n));
        case 3: return store(c.avoid_venus_retrograde, read_optional_bool(n));
        case 4: return store(c.daytime_only, read_bool(n));
        case 5: return store(c.local_hours, read_optional<HourRange>(n, kHourRangeReader));
        case 6: return store(c.utc_offsets, read_list<UtcOffset>(n, kUtcOffsetReader));
        case 7: return store(c.step_minutes, read_integer<uint32_t>(n, "u32"));
        case 8: return store(c.min_score, read_f64(n));
        case 9: return store(c.max_results, read_integer<uint64_t>(n, "usize"));
        default: {
          auto list = [](const Node& item) { return read_list<NatalPoint>(item, kNatalPointReader); };
          return store(c.natal, read_optional<std::vector<NatalPoint>>(n, list));
        }
      }
    }};

Expected<ElectionCriteria, EngineError> read_criteria(const Node& n) {
  if (n.kind == Node::Kind::Null) return ElectionCriteria{};
  auto criteria = kCriteriaReader(n);
  if (!criteria) {
    return unexpected(EngineError::invalid_input("election criteria: " + criteria.error()));
  }
  return std::move(*criteria);
}

int64_t floor_mod(int64_t a, int64_t b) {
  const int64_t r = a % b;
  return r < 0 ? r + b : r;
}

}  // namespace

Expected<ElectionCriteria, EngineError> ElectionCriteria::from_value(const Json& value) {
  return read_criteria(node_of(value));
}

Expected<ElectionCriteria, EngineError> ElectionCriteria::from_text(std::string_view text) {
  NodeBuilder builder;
  if (!Json::sax_parse(text.begin(), text.end(), &builder) || !builder.error.empty()) {
    return unexpected(EngineError::invalid_input(builder.error));
  }
  return read_criteria(builder.root);
}

Expected<ElectionCriteria::Resolved, EngineError> ElectionCriteria::resolve() const {
  Resolved r;
  if (local_hours) {
    const HourRange h = *local_hours;
    if (h.from == h.to || h.from > 23 || h.to == 0 || h.to > 24) {
      return unexpected(EngineError::invalid_input(
          "local_hours needs 0 <= from <= 23, 1 <= to <= 24 and from != to"));
    }
    r.local_hours = h;
  }
  for (const UtcOffset& offset : utc_offsets) {
    // 18 hours either way is the most any civil time zone has needed.
    if (offset.minutes > 1080 || offset.minutes < -1080) {
      return unexpected(
          EngineError::invalid_input(format("UTC offset %d is out of range", offset.minutes)));
    }
    auto from = UtcInstant::parse(offset.from);
    if (!from) return unexpected(EngineError::invalid_input("utc_offsets: " + from.error().text()));
    r.utc_offsets.emplace_back(*from, offset.minutes);
  }
  std::stable_sort(r.utc_offsets.begin(), r.utc_offsets.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (!std::isfinite(min_score)) {
    return unexpected(EngineError::invalid_input("min_score must be a number"));
  }
  r.min_score = std::min(std::max(min_score, 0.0), 100.0);
  r.max_results = max_results == 0 ? 1 : static_cast<uint32_t>(std::min<uint64_t>(max_results, 50));
  r.step_minutes = std::min<uint32_t>(std::max<uint32_t>(step_minutes, 5), 60);
  r.purpose = purpose;
  r.avoid_void_moon = avoid_void_moon;
  r.daytime_only = daytime_only;
  r.avoid_mercury_retrograde = avoid_mercury_retrograde.value_or(
      purpose == Purpose::Contract || purpose == Purpose::Travel || purpose == Purpose::Launch);
  r.avoid_venus_retrograde = avoid_venus_retrograde.value_or(purpose == Purpose::Partnership);
  r.natal = natal;
  r.has_natal = natal.has_value();
  return r;
}

int32_t ElectionCriteria::Resolved::offset_minutes_at(UtcInstant moment) const {
  if (utc_offsets.empty()) return 0;
  int32_t minutes = utc_offsets.front().second;
  for (const auto& [from, offset] : utc_offsets) {
    if (from > moment) break;
    minutes = offset;
  }
  return minutes;
}

bool ElectionCriteria::Resolved::within_local_hours(UtcInstant moment) const {
  if (!local_hours) return true;
  // Saturated at the ends of the time line, where the offset would carry
  // the count past 64 bits.
  const int64_t shift = static_cast<int64_t>(offset_minutes_at(moment)) * 60'000'000;
  int64_t local = 0;
  if (__builtin_add_overflow(moment.micros(), shift, &local)) {
    local = shift > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  const int64_t m = floor_mod(local, UtcInstant::kMicrosPerDay) / 60'000'000;  // minute of the day
  const int64_t from = local_hours->from * 60;
  const int64_t to = local_hours->to * 60;
  if (from < to) return from <= m && m < to;
  return m >= from || m < to;
}

CriteriaSummary ElectionCriteria::Resolved::summary() const {
  CriteriaSummary s;
  s.purpose = purpose;
  s.avoid_void_moon = avoid_void_moon;
  s.avoid_mercury_retrograde = avoid_mercury_retrograde;
  s.avoid_venus_retrograde = avoid_venus_retrograde;
  s.daytime_only = daytime_only;
  s.local_hours = local_hours;
  s.step_minutes = step_minutes;
  s.min_score = min_score;
  s.max_results = max_results;
  s.natal = has_natal;
  return s;
}

Json to_json(const CriteriaSummary& s) {
  Json out = Json::object();
  out["purpose"] = purpose_name(s.purpose);
  out["avoid_void_moon"] = s.avoid_void_moon;
  out["avoid_mercury_retrograde"] = s.avoid_mercury_retrograde;
  out["avoid_venus_retrograde"] = s.avoid_venus_retrograde;
  out["daytime_only"] = s.daytime_only;
  if (s.local_hours) {
    Json hours = Json::object();
    hours["from"] = s.local_hours->from;
    hours["to"] = s.local_hours->to;
    out["local_hours"] = std::move(hours);
  } else {
    out["local_hours"] = nullptr;
  }
  out["step_minutes"] = s.step_minutes;
  out["min_score"] = s.min_score;
  out["max_results"] = s.max_results;
  out["natal"] = s.natal;
  return out;
}

}  // namespace quorvane
