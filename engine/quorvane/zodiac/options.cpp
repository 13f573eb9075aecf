#include "quorvane/zodiac/options.hpp"

#include <span>

#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

std::string quoted(std::string_view text) { return message_json(Json(std::string(text))); }

std::string accepted(std::span<const OptionCode> codes, bool with_names) {
  std::string out;
  for (const OptionCode& c : codes) {
    if (!out.empty()) out += ", ";
    out += quoted(c.code);
    if (with_names) {
      out += ' ';
      out += c.name;
    }
  }
  return out;
}

std::string note(std::string_view option, std::string_view given, const OptionCode& used,
                 std::string accepted_codes) {
  return "unknown " + std::string(option) + " " + std::string(given) + ": using " +
         quoted(used.code) + " (" + std::string(used.name) + ") instead; accepted: " +
         accepted_codes;
}

bool among(std::string_view key, std::span<const std::string_view> known) {
  for (std::string_view k : known) {
    if (k == key) return true;
  }
  return false;
}

// Lower-cased ASCII letters, without spaces, hyphens and underscores.
std::string squeezed(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '-' || c == '_') continue;
    out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return out;
}

}  // namespace

std::optional<std::string> house_system_note(std::string_view text) {
  const OptionCode& used = kHouseSystemCodes[HouseSystem::from_code(text)];
  // The system is read from the first character alone, so the rest must not
  // name another one: "Porphyry" starts with P, which is Placidus.
  const std::string given = squeezed(text);
  const std::string name = squeezed(used.name);
  if (!text.empty() && !given.empty() && name.compare(0, given.size(), given) == 0) return {};
  if (text.size() == 1 && squeezed(used.code) == given) return {};
  return note("house_system", quoted(text), used, accepted(kHouseSystemCodes, true));
}

std::optional<std::string> zodiac_type_note(std::string_view text) {
  const std::string key = normalize_option_text(text);
  if (key == "tropical" || key == "sidereal") return {};
  return note("zodiac_type", quoted(text), kZodiacTypeCodes[0], accepted(kZodiacTypeCodes, false));
}

std::optional<std::string> ayanamsa_note(std::string_view text) {
  const std::string key = normalize_option_text(text);
  std::array<OptionCode, kAyanamsas.size()> codes{};
  const OptionCode* used = nullptr;
  for (size_t i = 0; i < kAyanamsas.size(); ++i) {
    if (kAyanamsas[i].code == key) return {};
    codes[i] = {kAyanamsas[i].code, kAyanamsas[i].name};
    if (kAyanamsas[i].code == kDefaultAyanamsa) used = &codes[i];
  }
  return note("ayanamsa", quoted(text), *used, accepted(codes, false));
}

std::optional<std::string> dignity_scheme_note(std::string_view text) {
  static constexpr std::string_view kKnown[] = {"lilly", "dorothean", "dorotheus", "egyptian"};
  if (among(normalize_option_text(text), kKnown)) return {};
  return note("dignity_scheme", quoted(text), kDignitySchemeCodes[0],
              accepted(kDignitySchemeCodes, false));
}

std::optional<std::string> orb_method_note(const Json* orb_settings) {
  if (!orb_settings || !orb_settings->is_object()) return {};
  const auto it = orb_settings->find("method");
  if (it == orb_settings->end()) return {};
  // Orb methods are matched exactly, as the aspect search reads them.
  static constexpr std::string_view kKnown[] = {"moiety_hybrid", "moiety_aspect_weighted",
                                                "moiety_traditional", "aspect", "per_aspect"};
  if (it->is_string() && among(it->get_ref<const std::string&>(), kKnown)) return {};
  const std::string given = message_json(*it);
  return note("orb_settings method", given, kOrbMethodCodes[3], accepted(kOrbMethodCodes, false));
}

void write(RecordWriter& out, const OptionCode& code) {
  ObjectWriter(out).field("code", code.code).field("name", code.name);
}

void write(RecordWriter& out, const OptionCodes& /*all*/) {
  ObjectWriter o(out);
  o.field("house_system", kHouseSystemCodes).field("zodiac_type", kZodiacTypeCodes);
  o.writer().key("ayanamsa");
  write_list(out, kAyanamsas, [](RecordWriter& w, const Ayanamsa& a) {
    ObjectWriter(w).field("code", a.code).field("name", a.name);
  });
  o.field("dignity_scheme", kDignitySchemeCodes).field("orb_method", kOrbMethodCodes);
}

Json option_codes() { return to_json_tree(OptionCodes{}); }

}  // namespace quorvane
