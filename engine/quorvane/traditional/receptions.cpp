#include "quorvane/traditional/receptions.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

bool by_domicile_or_exaltation(const std::vector<std::string_view>& names) {
  return std::any_of(names.begin(), names.end(), [](std::string_view n) {
    return n == "domicile" || n == "exaltation";
  });
}

constexpr std::string_view kAntisciaPoints[] = {"Sun",     "Moon",   "Mercury",   "Venus",    "Mars",
                                                "Jupiter", "Saturn", "Ascendant", "Midheaven"};

}  // namespace

std::vector<Reception> receptions(std::span<const BodyView> bodies, std::span<const Aspect> aspects,
                                  DignityScheme scheme) {
  struct Selected {
    std::string_view name;  // static, from the Chaldean order
    double longitude;
  };
  std::vector<Selected> selected;
  selected.reserve(7);
  for (std::string_view name : kChaldeanOrder) {
    if (const BodyView* body = first_named(bodies, name)) selected.push_back({name, body->longitude});
  }

  std::vector<Reception> result;
  for (const Selected& p : selected) {
    for (const Selected& r : selected) {
      if (p.name == r.name) continue;
      std::vector<std::string_view> held = dignities_of(r.name, scheme, p.longitude);
      if (held.empty()) continue;
      const bool mutual = by_domicile_or_exaltation(held) &&
                          by_domicile_or_exaltation(dignities_of(p.name, scheme, r.longitude));
      Reception reception{p.name, r.name, std::move(held), mutual, std::nullopt};
      for (const Aspect& a : aspects) {
        if ((a.body1 == p.name && a.body2 == r.name) || (a.body1 == r.name && a.body2 == p.name)) {
          reception.aspect = a.aspect_type;
          break;
        }
      }
      result.push_back(std::move(reception));
    }
  }
  return result;
}

std::vector<AntisciaContact> antiscia(std::span<const Point> points) {
  std::vector<const Point*> kept;
  for (const Point& p : points) {
    if (std::find(std::begin(kAntisciaPoints), std::end(kAntisciaPoints), p.name) !=
        std::end(kAntisciaPoints)) {
      kept.push_back(&p);
    }
  }
  std::vector<AntisciaContact> result;
  for (size_t i = 0; i < kept.size(); ++i) {
    const double a = kept[i]->longitude;
    // Mirrors over the solstitial (0° Cancer-Capricorn) and the equinoctial axis.
    const double antiscion = normalize_degrees(180.0 - a);
    const double contra = normalize_degrees(360.0 - a);
    for (size_t j = i + 1; j < kept.size(); ++j) {
      const double b = kept[j]->longitude;
      const double d_antiscion = angular_separation(antiscion, b);
      if (d_antiscion <= kAntisciaOrb) {
        result.push_back(
            {kept[i]->name, kept[j]->name, "antiscion", pyfloat::round(d_antiscion, 2)});
      }
      const double d_contra = angular_separation(contra, b);
      if (d_contra <= kAntisciaOrb) {
        result.push_back(
            {kept[i]->name, kept[j]->name, "contra_antiscion", pyfloat::round(d_contra, 2)});
      }
    }
  }
  return result;
}

void write(RecordWriter& out, const Reception& r) {
  ObjectWriter(out)
      .field("planet", r.planet)
      .field("receiver", r.receiver)
      .field("dignities", r.dignities)
      .field("mutual", r.mutual)
      .field("aspect", r.aspect);
}

void write(RecordWriter& out, const AntisciaContact& c) {
  ObjectWriter(out).field("body1", c.body1).field("body2", c.body2).field("kind", c.kind).field("orb", c.orb);
}

}  // namespace quorvane
