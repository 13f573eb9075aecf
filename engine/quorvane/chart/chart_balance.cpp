// The balance of a chart: its elements, modes and polarities by sign,
// hemispheres and quadrants by house, and its Jones shape.
#include <algorithm>
#include <cmath>

#include "quorvane/chart/chart_structure.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// The usual weighting: the lights and the Ascendant count twice.
constexpr double kLightWeight = 2.0;

Json zero_counts(std::initializer_list<std::string_view> names) {
  Json counts = Json::object();
  for (auto name : names) counts[std::string(name)] = 0.0;
  return counts;
}

const SignInfo& sign_info(double longitude) {
  return kSigns[static_cast<size_t>(longitude / 30.0) % 12];
}

std::string_view polarity(const SignInfo& sign) {
  return sign.element == "Fire" || sign.element == "Air" ? "positive" : "negative";
}

Json sign_tally(const std::vector<std::pair<const StructurePoint*, double>>& points) {
  Json elements = zero_counts({"Fire", "Earth", "Air", "Water"});
  Json modes = zero_counts({"Cardinal", "Fixed", "Mutable"});
  Json polarities = zero_counts({"positive", "negative"});
  double total = 0.0;
  for (auto [point, weight] : points) {
    const SignInfo& sign = sign_info(point->longitude);
    elements[std::string(sign.element)] = elements[std::string(sign.element)].get<double>() + weight;
    modes[std::string(sign.modality)] = modes[std::string(sign.modality)].get<double>() + weight;
    const std::string pole(polarity(sign));
    polarities[pole] = polarities[pole].get<double>() + weight;
    total += weight;
  }
  return {{"elements", elements}, {"modes", modes}, {"polarities", polarities}, {"total", total}};
}

// Houses 7-12 lie above the horizon, 10-3 east of the meridian.
Json house_tally(const StructureInput& input) {
  Json hemispheres = zero_counts({"above", "below", "east", "west"});
  Json quadrants = zero_counts({"1", "2", "3", "4"});
  int total = 0;
  for (const StructurePoint& planet : input.planets) {
    if (!planet.house) continue;
    const int h = *planet.house;
    const char* vertical = h >= 7 ? "above" : "below";
    const char* horizontal = (h >= 10 || h <= 3) ? "east" : "west";
    hemispheres[vertical] = hemispheres[vertical].get<double>() + 1;
    hemispheres[horizontal] = hemispheres[horizontal].get<double>() + 1;
    const std::string quadrant = std::to_string((h - 1) / 3 + 1);
    quadrants[quadrant] = quadrants[quadrant].get<double>() + 1;
    ++total;
  }
  return {{"hemispheres", hemispheres}, {"quadrants", quadrants}, {"total", total}};
}

double gap(double from, double to) { return std::fmod(to - from + 360.0, 360.0); }

}  // namespace

Json balance_tallies(const StructureInput& input) {
  std::vector<std::pair<const StructurePoint*, double>> plain, weighted;
  for (const StructurePoint& planet : input.planets) {
    plain.emplace_back(&planet, 1.0);
    const bool light = planet.name == "Sun" || planet.name == "Moon";
    weighted.emplace_back(&planet, light ? kLightWeight : 1.0);
  }
  if (input.ascendant) weighted.emplace_back(&*input.ascendant, kLightWeight);
  Json weights = Json::object();
  for (const auto& [point, weight] : weighted) weights[point->name] = weight;
  return {{"unweighted", sign_tally(plain)},
          {"weighted", sign_tally(weighted)},
          {"weights", weights},
          {"houses", house_tally(input)}};
}

// Jones shapes on the ten planets, first that fits:
// bundle: all within 120 degrees; bowl: all within 180; bucket: all but one
// (the handle) within 180; locomotive: all within 240, led by the planet
// at the counter-clockwise (later) edge of the empty arc, which it meets
// first in the diurnal turn; seesaw: two empty arcs of 60 degrees or more;
// splash: no empty arc of 60 degrees or more; splay: the rest.
Json jones_shape(const StructureInput& input) {
  std::vector<const StructurePoint*> ring;
  for (const StructurePoint& planet : input.planets) ring.push_back(&planet);
  std::sort(ring.begin(), ring.end(),
            [](auto* a, auto* b) { return a->longitude < b->longitude; });
  const size_t n = ring.size();
  Json out = {{"shape", nullptr}, {"span", nullptr}, {"handle", nullptr}, {"leading", nullptr}};
  if (n < 2) return out;
  std::vector<double> gaps(n);  // gaps[i]: from ring[i] to the next
  for (size_t i = 0; i < n; ++i) gaps[i] = gap(ring[i]->longitude, ring[(i + 1) % n]->longitude);
  const size_t widest = static_cast<size_t>(std::max_element(gaps.begin(), gaps.end()) - gaps.begin());
  const double span = 360.0 - gaps[widest];
  out["span"] = span;
  // The handle: the planet whose removal leaves the rest within 180.
  std::optional<size_t> handle;
  for (size_t i = 0; i < n && n >= 3; ++i) {
    const double joined = gaps[(i + n - 1) % n] + gaps[i];
    double largest = joined;
    for (size_t k = 0; k < n; ++k)
      if (k != i && k != (i + n - 1) % n) largest = std::max(largest, gaps[k]);
    if (360.0 - largest <= 180.0 && joined == largest) handle = i;
  }
  const auto wide = std::count_if(gaps.begin(), gaps.end(), [](double g) { return g >= 60.0; });
  if (span <= 120.0) {
    out["shape"] = "bundle";
  } else if (span <= 180.0) {
    out["shape"] = "bowl";
  } else if (handle) {
    out["shape"] = "bucket";
    out["handle"] = ring[*handle]->name;
  } else if (span <= 240.0) {
    out["shape"] = "locomotive";
    out["leading"] = ring[(widest + 1) % n]->name;
  } else if (wide >= 2) {
    out["shape"] = "seesaw";
  } else if (wide == 0) {
    out["shape"] = "splash";
  } else {
    out["shape"] = "splay";
  }
  return out;
}

}  // namespace quorvane
