// Dispositors by domicile: each planet's ruler, the chain it starts, and
// where the chains end: a planet in its own sign (a final dispositor) or a
// loop of planets disposing of each other (two of them: a mutual
// reception).
#include <algorithm>

#include "quorvane/chart/chart_structure.hpp"
#include "quorvane/traditional/dignities.hpp"

namespace quorvane {
namespace {

// The modern rulers where they differ from the traditional ones.
struct ModernRuler {
  int sign;
  std::string_view ruler;
};
constexpr ModernRuler kModernRulers[] = {{7, "Pluto"}, {10, "Uranus"}, {11, "Neptune"}};

std::string_view ruler_of(double longitude, bool modern) {
  const int sign = static_cast<int>(longitude / 30.0) % 12;
  if (modern) {
    for (const ModernRuler& m : kModernRulers)
      if (m.sign == sign) return m.ruler;
  }
  return domicile_ruler(sign);
}

}  // namespace

Json dispositors(const StructureInput& input, bool modern_rulers) {
  auto find = [&](std::string_view name) -> const StructurePoint* {
    for (const StructurePoint& p : input.planets)
      if (p.name == name) return &p;
    return nullptr;
  };
  Json rulers = Json::object();
  for (const StructurePoint& p : input.planets) {
    rulers[p.name] = ruler_of(p.longitude, modern_rulers);
  }
  Json chains = Json::object();
  std::vector<std::string> finals;
  std::vector<std::vector<std::string>> loops;
  for (const StructurePoint& start : input.planets) {
    std::vector<std::string> chain{start.name};
    Json end = Json::object();
    for (;;) {
      const StructurePoint* here = find(chain.back());
      const std::string next(here ? ruler_of(here->longitude, modern_rulers) : "");
      if (!here || !find(next)) {
        // A ruler the chart does not hold ends the chain unresolved.
        end = {{"kind", "missing"}, {"planets", Json::array({next})}};
        break;
      }
      if (next == chain.back()) {
        end = {{"kind", "final"}, {"planets", Json::array({next})}};
        if (std::find(finals.begin(), finals.end(), next) == finals.end()) finals.push_back(next);
        break;
      }
      const auto seen = std::find(chain.begin(), chain.end(), next);
      if (seen != chain.end()) {
        std::vector<std::string> loop(seen, chain.end());
        end = {{"kind", "loop"}, {"planets", loop}};
        std::vector<std::string> key = loop;
        std::rotate(key.begin(), std::min_element(key.begin(), key.end()), key.end());
        if (std::find(loops.begin(), loops.end(), key) == loops.end()) loops.push_back(key);
        break;
      }
      chain.push_back(next);
    }
    chains[start.name] = {{"chain", chain}, {"end", end}};
  }
  Json receptions = Json::array();
  for (const auto& loop : loops)
    if (loop.size() == 2) receptions.push_back(loop);
  const bool sole = finals.size() == 1 && loops.empty() &&
                    std::all_of(chains.begin(), chains.end(), [](const Json& c) {
                      return c["end"]["kind"] == "final";
                    });
  return {{"rulers", modern_rulers ? "modern" : "traditional"},
          {"dispositor", rulers},
          {"chains", chains},
          {"final_dispositors", finals},
          {"final_dispositor", sole ? Json(finals.front()) : Json(nullptr)},
          {"loops", loops},
          {"mutual_receptions", receptions}};
}

}  // namespace quorvane
