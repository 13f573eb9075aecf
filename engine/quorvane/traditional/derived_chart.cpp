#include "quorvane/traditional/derived_chart.hpp"

#include <cmath>
#include <limits>

#include "quorvane/traditional/derived_topics.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

EngineError invalid(std::string message) { return EngineError::invalid_input(std::move(message)); }

// Python's truth value of a JSON value.
bool truthy(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>();
    case Json::value_t::number_integer:
      return value.get<int64_t>() != 0;
    case Json::value_t::number_unsigned:
      return value.get<uint64_t>() != 0;
    case Json::value_t::number_float:
      return value.get<double>() != 0.0;
    case Json::value_t::string:
      return !value.get_ref<const std::string&>().empty();
    case Json::value_t::array:
    case Json::value_t::object:
      return !value.empty();
    default:
      return false;
  }
}

// An item's "house" as a whole number: numbers truncate toward zero (NaN
// gives 0, huge values saturate); a missing or non-numeric value is house 1.
// Unsigned values only matter modulo 12, so they are reduced first.
int64_t radix_of(const Json& item) {
  const auto it = item.find("house");
  if (it == item.end()) return 1;
  switch (it->type()) {
    case Json::value_t::number_integer:
      return it->get<int64_t>();
    case Json::value_t::number_unsigned:
      return static_cast<int64_t>(it->get<uint64_t>() % 12);
    case Json::value_t::number_float: {
      const double x = std::trunc(it->get<double>());
      if (std::isnan(x)) return 0;
      if (x >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
      if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
      return static_cast<int64_t>(x);
    }
    default:
      return 1;
  }
}

// Copies `item`, keeping its "house" as "radix_house" and turning it.
Json turned(const Json& item, int root) {
  Json out = item;
  out["radix_house"] = get(item, "house", Json(1));
  out["house"] = derived_house_number(radix_of(item), root);
  return out;
}

bool numerically_equal(const Json& value, int n) {
  switch (value.type()) {
    case Json::value_t::number_integer:
      return value.get<int64_t>() == n;
    case Json::value_t::number_unsigned:
      return value.get<uint64_t>() == static_cast<uint64_t>(n);
    case Json::value_t::number_float:
      return value.get<double>() == n;
    default:
      return false;
  }
}

// Twelve houses at 0° of each sign, for a base without a full house list.
Json default_houses() {
  Json houses = Json::array();
  for (int i = 0; i < 12; ++i) {
    Json house = Json::object();
    house["house_number"] = i + 1;
    house["degree"] = 0;
    house["minute"] = 0;
    house["sign"] = kSigns[i].name;
    house["sign_symbol"] = kSigns[i].glyph;
    house["ecliptic_longitude"] = 30.0 * i;
    houses.push_back(std::move(house));
  }
  return houses;
}

// A base cast with Gauquelin's 36 sectors: its twelve houses start at
// sectors 1, 34, 31, ..., 4 (the Placidus cusps), renumbered 1 to 12.
Json twelve_of_sectors(const Json& sectors) {
  Json houses = Json::array();
  for (int h = 1; h <= 12; ++h) {
    Json house = sectors[static_cast<size_t>(3 * ((13 - h) % 12))];
    if (house.is_object()) house["house_number"] = h;
    houses.push_back(std::move(house));
  }
  return houses;
}

// The radix entry of house h: the first whose house_number is h, else the
// h-th of the list; anything but an object reads as an empty object.
Json radix_entry(const Json& houses, int h) {
  const Json* found = nullptr;
  for (const Json& house : houses) {
    if (!house.is_object()) continue;
    const auto number = house.find("house_number");
    if (number != house.end() && numerically_equal(*number, h)) {
      found = &house;
      break;
    }
  }
  if (!found) found = &houses[static_cast<size_t>(h - 1)];
  return found->is_object() ? *found : Json::object();
}

Json derived_house(const Json& source, int k, int h, int root) {
  const Topic topic = derived_topic(root, k);
  Json out = Json::object();
  out["house_number"] = k;
  out["radix_house_number"] = h;
  out["sign"] = get(source, "sign", "");
  out["sign_symbol"] = get(source, "sign_symbol", "");
  out["degree"] = get(source, "degree", 0);
  out["minute"] = get(source, "minute", 0);
  out["ecliptic_longitude"] = get(source, "ecliptic_longitude", 0.0);
  out["symbolic_degree"] = get(source, "symbolic_degree", nullptr);
  out["degree_symbol"] = get(source, "degree_symbol", nullptr);
  out["degree_symbols"] = get(source, "degree_symbols", nullptr);
  out["meaning_en"] = topic.en;
  out["meaning_it"] = topic.it;
  out["derived_label"] = format("House %d (Radix %d)", k, h);
  return out;
}

// The derived chart's own angles: its first and tenth cusps.
constexpr const char* kAngleKeys[] = {"sign",    "sign_symbol",     "degree",       "minute",
                                      "ecliptic_longitude", "symbolic_degree",
                                      "degree_symbol", "degree_symbols"};

Expected<Json, EngineError> turn_planets(const Json& base, const Json& houses, int root) {
  Json out = Json::array();
  const auto list = base.find("planets");
  if (list == base.end() || !list->is_array()) return out;
  for (const Json& entry : *list) {
    if (!entry.is_object()) return unexpected(invalid("planets entries must be objects"));
  }
  for (const Json& entry : *list) {
    const auto name = entry.find("name");
    const bool ascendant = name != entry.end() && *name == "Ascendant";
    const bool midheaven = name != entry.end() && *name == "Midheaven";
    if (!ascendant && !midheaven) {
      out.push_back(turned(entry, root));
      continue;
    }
    Json planet = entry;
    planet["radix_house"] = get(entry, "house", Json(1));
    planet["house"] = ascendant ? 1 : 10;
    const Json& cusp = houses[ascendant ? 0 : 9];
    for (const char* key : kAngleKeys) planet[key] = cusp[key];
    out.push_back(std::move(planet));
  }
  return out;
}

}  // namespace

int derived_house_number(int64_t radix, int root) {
  const int64_t shifted = (radix % 12 - root % 12) % 12;
  return static_cast<int>(shifted < 0 ? shifted + 12 : shifted) + 1;
}

int radix_house_of(int house, int root) { return ((house + root - 2) % 12 + 12) % 12 + 1; }

Json get(const Json& object, std::string_view key, Json fallback) {
  if (!object.is_object()) return fallback;
  const auto it = object.find(key);
  return it != object.end() ? *it : fallback;
}

Expected<Json, EngineError> turn_items(const Json& base, std::string_view key, int root) {
  Json out = Json::array();
  const auto it = base.find(key);
  if (it == base.end() || it->is_null()) return out;
  if (!it->is_array()) {
    return unexpected(invalid(std::string(key) + " must be a list, got " + message_json(*it)));
  }
  for (const Json& item : *it) {
    if (!item.is_object()) return unexpected(invalid(std::string(key) + " entries must be objects"));
    out.push_back(turned(item, root));
  }
  return out;
}

Expected<Json, EngineError> calculate_derived_chart(const Json& base, int64_t root_house,
                                                    const std::optional<std::string>& custom_name) {
  if (!base.is_object()) return unexpected(invalid("base chart must be an object"));
  const int root = root_house >= 1 && root_house <= 12 ? static_cast<int>(root_house) : 1;

  const auto base_houses = base.find("houses");
  const bool listed = base_houses != base.end() && base_houses->is_array();
  const Json radix_houses = !listed || base_houses->size() < 12 ? default_houses()
                            : base_houses->size() == 36         ? twelve_of_sectors(*base_houses)
                                                                : *base_houses;
  Json houses = Json::array();
  for (int k = 1; k <= 12; ++k) {
    const int h = radix_house_of(k, root);
    houses.push_back(derived_house(radix_entry(radix_houses, h), k, h, root));
  }

  auto planets = turn_planets(base, houses, root);
  if (!planets) return planets;
  auto fixed_stars = turn_items(base, "fixed_stars", root);
  if (!fixed_stars) return fixed_stars;
  auto arabic_parts = turn_items(base, "arabic_parts", root);
  if (!arabic_parts) return arabic_parts;

  const Json user_name = get(base, "user_name", nullptr);
  const std::string base_name = !truthy(user_name) ? "Radix Chart"
                                : user_name.is_string() ? user_name.get<std::string>()
                                                        : message_json(user_name);
  const Topic theme = root_theme(root);
  const std::string name = custom_name && !custom_name->empty()
                               ? *custom_name
                               : base_name + " [Derived H" + std::to_string(root) + " - " +
                                     std::string(theme.en) + "]";
  const Json base_id = get(base, "id", nullptr);

  const Json root_source = radix_entry(radix_houses, root);
  Json root_cusp = Json::object();
  root_cusp["house_number"] = root;
  for (const char* key : {"sign", "degree", "minute", "ecliptic_longitude"}) {
    root_cusp[key] = get(root_source, key, nullptr);
  }
  Json theme_json = Json::object();
  theme_json["name_en"] = theme.en;
  theme_json["name_it"] = theme.it;
  Json meanings = Json::object();
  for (int k = 1; k <= 12; ++k) {
    const Topic topic = derived_topic(root, k);
    Json meaning = Json::object();
    meaning["en"] = topic.en;
    meaning["it"] = topic.it;
    meanings[std::to_string(k)] = std::move(meaning);
  }
  Json data = Json::object();
  data["derived_root_house"] = root;
  data["derived_from_id"] = base_id;
  data["derived_from_name"] = base_name;
  data["root_house_theme"] = std::move(theme_json);
  data["root_cusp"] = std::move(root_cusp);
  data["meanings"] = std::move(meanings);

  Json out = Json::object();
  out["id"] = nullptr;
  out["chart_type"] = "DERIVED";
  out["user_name"] = name;
  out["birth_datetime"] = get(base, "birth_datetime", nullptr);
  out["local_datetime"] = get(base, "local_datetime", nullptr);
  out["timezone"] = get(base, "timezone", "UTC");
  out["timezone_offset"] = get(base, "timezone_offset", "+00:00");
  out["timezone_abbr"] = get(base, "timezone_abbr", "UTC");
  out["is_dst"] = get(base, "is_dst", false);
  out["dst_offset"] = get(base, "dst_offset", "+00:00");
  out["raw_offset"] = get(base, "raw_offset", "+00:00");
  out["house_system"] = get(base, "house_system", "P");
  out["zodiac_type"] = get(base, "zodiac_type", "tropical");
  out["zodiac_type_label"] = get(base, "zodiac_type_label", "Tropical");
  out["ayanamsa"] = get(base, "ayanamsa", nullptr);
  out["ayanamsa_name"] = get(base, "ayanamsa_name", nullptr);
  out["ayanamsa_value"] = get(base, "ayanamsa_value", nullptr);
  out["ayanamsa_formatted"] = get(base, "ayanamsa_formatted", "");
  out["orb_settings"] = get(base, "orb_settings", Json::object());
  out["coordinates"] = get(base, "coordinates", Json::object());
  out["planets"] = std::move(planets).value();
  out["houses"] = std::move(houses);
  out["aspects"] = get(base, "aspects", Json::array());
  out["fixed_stars"] = std::move(fixed_stars).value();
  out["arabic_parts"] = std::move(arabic_parts).value();
  out["temperament"] = get(base, "temperament", Json::object());
  out["lunar_status"] = get(base, "lunar_status", Json::object());
  out["derived_from_id"] = base_id;
  out["derived_from_name"] = base_name;
  out["derived_house"] = root;
  out["derived_data"] = std::move(data);
  return out;
}
}  // namespace quorvane
