#include "quorvane/aspects.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "quorvane/body_view.hpp"
#include "quorvane/pyfloat.hpp"
#include "quorvane/zodiac.hpp"

namespace quorvane {

namespace {

using DoubleOrError = Expected<double, EngineError>;

constexpr double kMissingAspectOrb = 8.0;
constexpr double kMissingPlanetOrb = 5.0;
constexpr double kDefaultFixedStarOrb = 1.5;

// Compact JSON for messages. Replacing bad UTF-8 keeps this from throwing
// on values built inside the engine rather than parsed from text.
std::string message_json(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

EngineError not_a_number(const Json& value) {
  return EngineError::invalid_input("not a number: " + message_json(value));
}

// Length of the UTF-8 sequence starting at s[i] if it encodes a White_Space
// code point, else 0.
size_t whitespace_at(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
  if (c == 0xC2 && i + 1 < s.size() && (byte(i + 1) == 0x85 || byte(i + 1) == 0xA0)) return 2;
  if (i + 2 >= s.size()) return 0;
  const unsigned c1 = byte(i + 1), c2 = byte(i + 2);
  if (c == 0xE1 && c1 == 0x9A && c2 == 0x80) return 3;  // U+1680
  // U+2000..U+200A, U+2028, U+2029, U+202F
  if (c == 0xE2 && c1 == 0x80 && (c2 <= 0x8A || c2 == 0xA8 || c2 == 0xA9 || c2 == 0xAF)) return 3;
  if (c == 0xE2 && c1 == 0x81 && c2 == 0x9F) return 3;  // U+205F
  if (c == 0xE3 && c1 == 0x80 && c2 == 0x80) return 3;  // U+3000
  return 0;
}

std::string_view trim_whitespace(std::string_view s) {
  size_t begin = 0;
  while (begin < s.size()) {
    const size_t n = whitespace_at(s, begin);
    if (n == 0) break;
    begin += n;
  }
  size_t end = s.size();
  while (end > begin) {
    // Step back to the start of the last code point.
    size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    const size_t n = whitespace_at(s, start);
    if (n == 0 || start + n != end) break;
    end = start;
  }
  return s.substr(begin, end - begin);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal literal: [+-] (digits [. [digits]] | . digits) [e [+-] digits].
std::optional<double> parse_decimal(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const size_t mantissa_begin = i;
  size_t int_digits = 0, frac_digits = 0;
  while (i < s.size() && is_digit(s[i])) ++i, ++int_digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) ++i, ++frac_digits;
  }
  if (int_digits + frac_digits == 0) return std::nullopt;
  const size_t mantissa_end = i;
  int64_t exponent = 0;
  if (i < s.size() && s[i] == 'e') {
    ++i;
    bool exp_negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      exp_negative = s[i] == '-';
      ++i;
    }
    if (i == s.size()) return std::nullopt;
    for (; i < s.size() && is_digit(s[i]); ++i) {
      // Saturate: anything this large is already out of double range.
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (exp_negative) exponent = -exponent;
  }
  if (i != s.size()) return std::nullopt;

  const char* first = s.data() + (negative ? mantissa_begin - 1 : mantissa_begin);
  double value = 0.0;
  const auto result = std::from_chars(first, s.data() + s.size(), value);
  if (result.ec == std::errc() && result.ptr == s.data() + s.size()) return value;
  if (result.ec != std::errc::result_out_of_range) return std::nullopt;

  // Out of range: overflow to infinity or underflow to zero, decided by the
  // decimal exponent of the leading non-zero digit.
  int64_t lead = 0;
  bool found = false;
  int64_t position = static_cast<int64_t>(int_digits) - 1;
  for (size_t k = mantissa_begin; k < mantissa_end; ++k) {
    if (s[k] == '.') continue;
    if (s[k] != '0') {
      lead = position;
      found = true;
      break;
    }
    --position;
  }
  const double magnitude =
      found && lead + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -magnitude : magnitude;
}

// Resolved reading of one settings object: the method and each aspect's
// orb, read once. Errors are stored and only reported when the search
// reaches the value that carries them, as a sequential search would.
struct OrbRules {
  enum class Method { Hybrid, Weighted, Traditional, AspectOnly };

  Method method = Method::AspectOnly;
  std::vector<DoubleOrError> aspect_orbs;  // parallel to kAspectTable
  std::array<bool, kAspectTable.size()> aspect_given{};
  const Json* planet_orbs = nullptr;

  explicit OrbRules(const Json& settings) {
    const Json* orbs = nullptr;
    if (settings.is_object()) {
      if (const auto it = settings.find("method"); it != settings.end() && it->is_string()) {
        const auto& name = it->get_ref<const std::string&>();
        if (name == "moiety_hybrid") method = Method::Hybrid;
        else if (name == "moiety_aspect_weighted") method = Method::Weighted;
        else if (name == "moiety_traditional") method = Method::Traditional;
      }
      if (const auto it = settings.find("aspect_orbs"); it != settings.end() && it->is_object()) {
        orbs = &*it;
      }
      if (const auto it = settings.find("planet_orbs"); it != settings.end() && it->is_object()) {
        planet_orbs = &*it;
      }
    }
    aspect_orbs.reserve(kAspectTable.size());
    for (size_t k = 0; k < kAspectTable.size(); ++k) {
      const auto it = orbs ? orbs->find(std::string(kAspectTable[k].name)) : Json::const_iterator();
      aspect_given[k] = orbs && it != orbs->end();
      aspect_orbs.push_back(aspect_given[k] ? py_float(*it) : DoubleOrError(kMissingAspectOrb));
    }
  }

  bool uses_planet_orbs() const { return method != Method::AspectOnly; }

  DoubleOrError planet_orb(std::string_view name) const {
    if (!uses_planet_orbs()) return kMissingPlanetOrb;  // never consulted
    if (planet_orbs) {
      const auto it = planet_orbs->find(std::string(name));
      if (it != planet_orbs->end()) return py_float(*it);
    }
    return kMissingPlanetOrb;
  }

  Expected<std::optional<AspectMatch>, EngineError> match(const DoubleOrError& orb1,
                                                          const DoubleOrError& orb2,
                                                          double separation) const {
    for (size_t k = 0; k < kAspectTable.size(); ++k) {
      const AspectKind& aspect = kAspectTable[k];
      if (!aspect_orbs[k]) return unexpected(aspect_orbs[k].error());
      const double aspect_orb = *aspect_orbs[k];
      double allowed = aspect_orb;
      if (uses_planet_orbs()) {
        if (!orb1) return unexpected(orb1.error());
        if (!orb2) return unexpected(orb2.error());
        const double moiety = (*orb1 + *orb2) * 0.5;
        switch (method) {
          case Method::Hybrid:
            allowed = std::fmin(aspect_orb, moiety);
            break;
          case Method::Weighted: {
            // The conjunction orb was read (and its error reported) at k = 0.
            const double conjunction = *aspect_orbs[0];
            const double weight = aspect_given[k] && conjunction > 0.0
                                      ? aspect_orb / conjunction
                                      : aspect_weight(aspect.name);
            allowed = moiety * weight;
            break;
          }
          case Method::Traditional:
          case Method::AspectOnly:
            allowed = moiety;
            break;
        }
      }
      const double deviation = std::fabs(separation - aspect.angle);
      if (uses_planet_orbs()) {
        // Rounding to hundredths moves the orb by at most 0.005, so a
        // deviation well beyond it is decided without the (costly) rounding.
        if (deviation > allowed + 0.01) continue;
        allowed = pyfloat::round(allowed, 2);
      }
      if (allowed >= deviation) {
        return std::optional<AspectMatch>(AspectMatch{&aspect, deviation, allowed});
      }
    }
    return std::optional<AspectMatch>();
  }
};

bool is_node_pair(std::string_view a, std::string_view b) {
  return (a == "North Node" && b == "South Node") || (a == "South Node" && b == "North Node");
}

Json make_default_settings() {
  Json settings = Json::object();
  settings["method"] = "moiety_hybrid";
  settings["include_minor_aspects"] = false;
  settings["include_chiron"] = false;
  settings["include_lilith"] = false;
  Json aspect_orbs = Json::object();
  for (const auto& aspect : kAspectTable) aspect_orbs[std::string(aspect.name)] = aspect.default_orb;
  settings["aspect_orbs"] = std::move(aspect_orbs);
  static constexpr std::pair<const char*, double> kPlanetOrbs[] = {
      {"Sun", 15.0},        {"Moon", 12.0},      {"Mercury", 7.0},    {"Venus", 7.0},
      {"Mars", 8.0},        {"Jupiter", 9.0},    {"Saturn", 9.0},     {"Uranus", 5.0},
      {"Neptune", 5.0},     {"Pluto", 5.0},      {"North Node", 5.0}, {"South Node", 5.0},
      {"Chiron", 5.0},      {"Lilith", 5.0},     {"Ascendant", 5.0},  {"Midheaven", 5.0},
  };
  Json planet_orbs = Json::object();
  for (const auto& [name, orb] : kPlanetOrbs) planet_orbs[name] = orb;
  settings["planet_orbs"] = std::move(planet_orbs);
  settings["fixed_star_orb"] = kDefaultFixedStarOrb;
  return settings;
}

template <class Record>
void fill_aspect_fields(Record& record, const AspectMatch& match, const Point& a, const Point& b) {
  record.aspect_type = std::string(match.aspect->name);
  record.symbol = std::string(match.aspect->symbol);
  record.angle = match.aspect->angle;
  record.orb = pyfloat::round(match.deviation, 2);
  record.max_orb = pyfloat::round(match.allowed, 2);
  record.is_major = match.aspect->major;
  record.is_applying = is_applying(a, b, match.aspect->angle);
}

double sign_of(double x) { return x > 0.0 ? 1.0 : x < 0.0 ? -1.0 : 0.0; }

}  // namespace

OrbSettings default_orb_settings() {
  static const Json defaults = make_default_settings();
  return OrbSettings(defaults);
}

Expected<OrbSettings, EngineError> OrbSettings::merge(const Json* user) {
  OrbSettings merged = default_orb_settings();
  if (user == nullptr || !user->is_object() || user->empty()) return merged;
  Json& settings = merged.value_;

  if (const auto it = user->find("method"); it != user->end()) settings["method"] = *it;

  double star_orb = kDefaultFixedStarOrb;
  if (const auto it = user->find("fixed_star_orb"); it != user->end()) {
    auto value = py_float(*it);
    if (!value) return unexpected(std::move(value).error());
    star_orb = *value;
  }
  settings["fixed_star_orb"] = star_orb;

  for (const char* key : {"aspect_orbs", "planet_orbs"}) {
    const auto it = user->find(key);
    if (it == user->end()) continue;
    if (!it->is_object()) {
      return unexpected(EngineError::invalid_input(std::string(key) + " must be an object, got " +
                                                   message_json(*it)));
    }
    // Json's objects look keys up by a scan; the caller's keys are
    // distinct already, so only the few defaults are searched for each,
    // which keeps the merge linear in the caller's keys.
    auto& table = settings[key].get_ref<Json::object_t&>();
    const size_t defaults = table.size();
    for (const auto& [name, value] : it->items()) {
      const auto known = std::find_if(table.begin(), table.begin() + defaults,
                                      [&](const auto& member) { return member.first == name; });
      if (known != table.begin() + defaults) {
        known->second = value;
      } else {
        table.emplace_back(name, value);
      }
    }
  }
  return merged;
}

Expected<double, EngineError> OrbSettings::fixed_star_orb() const {
  if (value_.is_object()) {
    if (const auto it = value_.find("fixed_star_orb"); it != value_.end()) return py_float(*it);
  }
  return kDefaultFixedStarOrb;
}

Expected<std::optional<AspectMatch>, EngineError> find_aspect(const OrbSettings& settings,
                                                              std::string_view name1,
                                                              std::string_view name2,
                                                              double separation) {
  const OrbRules rules(settings.json());
  return rules.match(rules.planet_orb(name1), rules.planet_orb(name2), separation);
}

bool is_applying(const Point& a, const Point& b, double angle) {
  // Signed arc from b to a in [-180, 180); the separation is its size.
  const double arc = remainder_degrees(a.longitude - b.longitude + 180.0) - 180.0;
  const double closing = a.speed - b.speed;  // rate of change of the arc
  // The separation grows with the arc's size; from an exact conjunction any
  // relative motion opens it.
  const double separation_rate = arc == 0.0 ? std::fabs(closing) : sign_of(arc) * closing;
  const double deviation_rate = sign_of(std::fabs(arc) - angle) * separation_rate;
  return deviation_rate < 0.0;
}

void write(RecordWriter& out, const Aspect& aspect) {
  ObjectWriter o(out);
  o.field("body1", aspect.body1)
      .field("body2", aspect.body2)
      .field("aspect_type", aspect.aspect_type)
      .field("symbol", aspect.symbol)
      .field("angle", aspect.angle)
      .field("orb", aspect.orb)
      .field("max_orb", aspect.max_orb);
  if (aspect.is_major) o.field("is_major", *aspect.is_major);
  o.field("is_applying", aspect.is_applying);
}

void write(RecordWriter& out, const CrossAspect& aspect) {
  ObjectWriter(out)
      .field("body1", aspect.body1)
      .field("body1_source", aspect.body1_source)
      .field("body2", aspect.body2)
      .field("body2_source", aspect.body2_source)
      .field("aspect_type", aspect.aspect_type)
      .field("symbol", aspect.symbol)
      .field("angle", aspect.angle)
      .field("orb", aspect.orb)
      .field("max_orb", aspect.max_orb)
      .field("is_major", aspect.is_major)
      .field("is_applying", aspect.is_applying);
}

Expected<std::vector<Aspect>, EngineError> natal_aspects(const std::vector<Point>& points,
                                                         const OrbSettings& settings) {
  const OrbRules rules(settings.json());
  std::vector<DoubleOrError> orbs;
  orbs.reserve(points.size());
  for (const auto& point : points) orbs.push_back(rules.planet_orb(point.name));

  std::vector<Aspect> aspects;
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) {
      if (is_node_pair(points[i].name, points[j].name)) continue;
      const double separation = angular_separation(points[i].longitude, points[j].longitude);
      auto found = rules.match(orbs[i], orbs[j], separation);
      if (!found) return unexpected(std::move(found).error());
      if (!*found) continue;
      Aspect aspect;
      aspect.body1 = points[i].name;
      aspect.body2 = points[j].name;
      fill_aspect_fields(aspect, **found, points[i], points[j]);
      aspects.push_back(std::move(aspect));
    }
  }
  return aspects;
}

Expected<std::vector<CrossAspect>, EngineError> cross_aspects(const std::vector<Point>& base,
                                                              const std::vector<Point>& overlay,
                                                              const Json* user_orb_settings) {
  auto settings = OrbSettings::merge(user_orb_settings);
  if (!settings) return unexpected(std::move(settings).error());
  const OrbRules rules(settings->json());
  std::vector<DoubleOrError> base_orbs;
  base_orbs.reserve(base.size());
  for (const auto& point : base) base_orbs.push_back(rules.planet_orb(point.name));

  std::vector<CrossAspect> aspects;
  for (const auto& over : overlay) {
    const DoubleOrError over_orb = rules.planet_orb(over.name);
    for (size_t j = 0; j < base.size(); ++j) {
      if (is_node_pair(over.name, base[j].name)) continue;
      const double separation = angular_separation(over.longitude, base[j].longitude);
      auto found = rules.match(over_orb, base_orbs[j], separation);
      if (!found) return unexpected(std::move(found).error());
      if (!*found) continue;
      CrossAspect aspect;
      aspect.body1 = over.name;
      aspect.body2 = base[j].name;
      fill_aspect_fields(aspect, **found, over, base[j]);
      aspects.push_back(std::move(aspect));
    }
  }
  return aspects;
}

Expected<std::vector<Point>, EngineError> points_from_json(const Json& value) {
  if (!value.is_array()) return unexpected(EngineError::invalid_input("planets must be a list"));
  std::vector<Point> points;
  points.reserve(value.size());
  for (const auto& entry : value) {
    const auto name_it = entry.is_object() ? entry.find("name") : entry.end();
    if (!entry.is_object() || name_it == entry.end() || !name_it->is_string()) {
      return unexpected(EngineError::invalid_input("every planet needs a name"));
    }
    const auto& name = name_it->get_ref<const std::string&>();
    const auto longitude_it = entry.find("ecliptic_longitude");
    if (longitude_it == entry.end()) {
      return unexpected(EngineError::invalid_input(name + " has no ecliptic_longitude"));
    }
    auto longitude = py_float(*longitude_it);
    if (!longitude) return unexpected(std::move(longitude).error());
    double speed = 0.0;
    if (const auto speed_it = entry.find("speed"); speed_it != entry.end()) {
      auto read = py_float(*speed_it);
      if (!read) return unexpected(std::move(read).error());
      speed = *read;
    }
    points.push_back(Point{name, *longitude, speed});
  }
  return points;
}

Expected<double, EngineError> py_float(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>() ? 1.0 : 0.0;
    case Json::value_t::number_integer:
      return static_cast<double>(value.get<int64_t>());
    case Json::value_t::number_unsigned:
      return static_cast<double>(value.get<uint64_t>());
    case Json::value_t::number_float:
      return value.get<double>();
    case Json::value_t::string: {
      const std::string_view trimmed = trim_whitespace(value.get_ref<const std::string&>());
      std::string text;
      text.reserve(trimmed.size());
      for (char c : trimmed) {
        if (c == '_') continue;
        text.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
      }
      constexpr double inf = std::numeric_limits<double>::infinity();
      if (text == "inf" || text == "+inf" || text == "infinity" || text == "+infinity") return inf;
      if (text == "-inf" || text == "-infinity") return -inf;
      if (text == "nan" || text == "+nan" || text == "-nan") {
        return std::numeric_limits<double>::quiet_NaN();
      }
      if (const auto parsed = parse_decimal(text)) return *parsed;
      return unexpected(not_a_number(value));
    }
    default:
      return unexpected(not_a_number(value));
  }
}

}  // namespace quorvane
