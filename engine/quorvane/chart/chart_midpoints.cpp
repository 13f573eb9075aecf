// Midpoints of the ten planets, the Ascendant, the Midheaven and the North
// Node: the nearer midpoint of each pair (on the shorter arc), sorted on
// the circle and on the 90-degree dial, and the trees: for each point, the
// midpoints it meets at a multiple of 45 degrees within the orb.
#include <algorithm>
#include <cmath>

#include "quorvane/chart/chart_structure.hpp"

namespace quorvane {
namespace {

double reduce(double degrees, double modulus) {
  const double r = std::fmod(degrees, modulus);
  return r < 0.0 ? r + modulus : r;
}

struct Midpoint {
  const StructurePoint* a;
  const StructurePoint* b;
  double longitude;
  double dial;
};

}  // namespace

Json midpoints(const StructureInput& input, double tree_orb) {
  std::vector<const StructurePoint*> points;
  for (const StructurePoint& p : input.planets) points.push_back(&p);
  for (const auto* extra : {&input.ascendant, &input.midheaven, &input.north_node})
    if (*extra) points.push_back(&**extra);

  std::vector<Midpoint> all;
  for (size_t i = 0; i < points.size(); ++i)
    for (size_t j = i + 1; j < points.size(); ++j) {
      // The signed shorter arc from a to b, in (-180, 180].
      double arc = reduce(points[j]->longitude - points[i]->longitude, 360.0);
      if (arc > 180.0) arc -= 360.0;
      const double at = reduce(points[i]->longitude + arc / 2.0, 360.0);
      all.push_back({points[i], points[j], at, reduce(at, 90.0)});
    }
  auto entry = [](const Midpoint& m) {
    return Json{{"body1", m.a->name}, {"body2", m.b->name}, {"longitude", m.longitude},
                {"dial", m.dial}};
  };
  std::vector<Midpoint> by_dial = all;
  std::sort(all.begin(), all.end(),
            [](const Midpoint& x, const Midpoint& y) { return x.longitude < y.longitude; });
  std::sort(by_dial.begin(), by_dial.end(),
            [](const Midpoint& x, const Midpoint& y) { return x.dial < y.dial; });
  Json circle = Json::array(), dial = Json::array();
  for (const Midpoint& m : all) circle.push_back(entry(m));
  for (const Midpoint& m : by_dial) dial.push_back(entry(m));

  Json trees = Json::array();
  for (const StructurePoint* p : points) {
    Json branches = Json::array();
    for (const Midpoint& m : by_dial) {
      if (m.a == p || m.b == p) continue;
      const double offset = reduce(p->longitude - m.longitude, 360.0);
      const double multiple = std::round(offset / 45.0);
      const double orb = std::fabs(offset - multiple * 45.0);
      if (orb > tree_orb) continue;
      branches.push_back({{"body1", m.a->name},
                          {"body2", m.b->name},
                          {"angle", reduce(multiple * 45.0, 360.0)},
                          {"orb", orb}});
    }
    trees.push_back({{"point", p->name}, {"longitude", p->longitude},
                     {"dial", reduce(p->longitude, 90.0)}, {"midpoints", branches}});
  }
  return {{"orb", tree_orb}, {"circle", circle}, {"dial", dial}, {"trees", trees}};
}

}  // namespace quorvane
