// Aspect patterns among the ten planets, found on the chart's own aspects
// (so its orb settings decide what counts). Rules:
// - stellium: three or more planets in one sign;
// - grand trine: three planets in mutual trine; `element` is their signs'
//   element when all three share one, else null;
// - T-square: an opposition whose two ends both square a third planet, the
//   apex; one that is part of a grand cross is not reported apart from it;
// - grand cross: two oppositions whose ends all square each other;
// - yod: a sextile whose two ends are both quincunx a third planet, the apex;
// - kite: a grand trine and a fourth planet opposite one of its members
//   (the apex) and sextile the other two; the grand trine is reported
//   among the grand trines as well;
// - mystic rectangle: two oppositions joined by two sextiles and two trines;
// - grand sextile: six planets, each sextile its neighbours around the
//   circle, trine the next but one and opposite the one across; the grand
//   trines and mystic rectangles inside it are reported as well.
#include <algorithm>
#include <bit>
#include <cmath>
#include <set>

#include "quorvane/chart/chart_structure.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

class AspectGrid {
 public:
  explicit AspectGrid(const StructureInput& input) : input_(input) {
    const size_t n = input.planets.size();
    kind_.assign(n * n, nullptr);
    for (const StructureAspect& aspect : input.aspects) {
      const auto a = index_of(aspect.body1);
      const auto b = index_of(aspect.body2);
      if (!a || !b) continue;
      // A pair's first aspect in the chart's list is the one it has.
      if (!kind_[*a * n + *b]) {
        kind_[*a * n + *b] = &aspect;
        kind_[*b * n + *a] = &aspect;
      }
    }
  }

  size_t size() const { return input_.planets.size(); }
  bool is(size_t a, size_t b, std::string_view type) const {
    const StructureAspect* found = kind_[a * size() + b];
    return found && found->aspect_type == type;
  }
  const StructureAspect* at(size_t a, size_t b) const { return kind_[a * size() + b]; }
  const StructurePoint& planet(size_t i) const { return input_.planets[i]; }

 private:
  std::optional<size_t> index_of(const std::string& name) const {
    for (size_t i = 0; i < input_.planets.size(); ++i) {
      if (input_.planets[i].name == name) return i;
    }
    return std::nullopt;
  }

  const StructureInput& input_;
  std::vector<const StructureAspect*> kind_;
};

int sign_of(double longitude) { return static_cast<int>(longitude / 30.0) % 12; }

class PatternList {
 public:
  explicit PatternList(const AspectGrid& grid) : grid_(grid) {}

  // `edges` are the pairs whose aspects define the pattern.
  Json& add(std::string_view type, std::vector<size_t> members,
            const std::vector<std::pair<size_t, size_t>>& edges) {
    std::sort(members.begin(), members.end());
    Json names = Json::array();
    for (size_t m : members) names.push_back(grid_.planet(m).name);
    Json aspects = Json::array();
    for (auto [a, b] : edges) {
      const StructureAspect* aspect = grid_.at(a, b);
      aspects.push_back({{"body1", aspect->body1},
                         {"body2", aspect->body2},
                         {"aspect_type", aspect->aspect_type},
                         {"orb", aspect->orb}});
    }
    list_.push_back({{"type", type}, {"members", std::move(names)}});
    list_.back()["aspects"] = std::move(aspects);
    return list_.back();
  }
  Json take() { return std::move(list_); }

 private:
  const AspectGrid& grid_;
  Json list_ = Json::array();
};

void find_stellia(const AspectGrid& grid, PatternList& out) {
  for (int sign = 0; sign < 12; ++sign) {
    std::vector<size_t> members;
    std::vector<std::pair<size_t, size_t>> edges;
    for (size_t i = 0; i < grid.size(); ++i) {
      if (sign_of(grid.planet(i).longitude) != sign) continue;
      for (size_t m : members) {
        if (grid.at(m, i)) edges.emplace_back(m, i);
      }
      members.push_back(i);
    }
    if (members.size() >= 3) {
      out.add("stellium", members, edges)["sign"] = kSigns[static_cast<size_t>(sign)].name;
    }
  }
}

std::vector<std::array<size_t, 3>> grand_trines(const AspectGrid& grid) {
  std::vector<std::array<size_t, 3>> found;
  const size_t n = grid.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      for (size_t k = j + 1; k < n; ++k)
        if (grid.is(i, j, "Trine") && grid.is(j, k, "Trine") && grid.is(i, k, "Trine"))
          found.push_back({i, j, k});
  return found;
}

// Two oppositions (a, b) and (c, d), a < c, a < b, c < d, sharing no planet.
template <class Visit>
void opposition_pairs(const AspectGrid& grid, Visit&& visit) {
  const size_t n = grid.size();
  for (size_t a = 0; a < n; ++a)
    for (size_t b = a + 1; b < n; ++b) {
      if (!grid.is(a, b, "Opposition")) continue;
      for (size_t c = a + 1; c < n; ++c)
        for (size_t d = c + 1; d < n; ++d) {
          if (c == b || d == b || !grid.is(c, d, "Opposition")) continue;
          visit(a, b, c, d);
        }
    }
}

bool squares_all(const AspectGrid& grid, size_t a, size_t b, size_t c, size_t d) {
  return grid.is(a, c, "Square") && grid.is(a, d, "Square") && grid.is(b, c, "Square") &&
         grid.is(b, d, "Square");
}

void find_trines_and_kites(const AspectGrid& grid, PatternList& out) {
  const auto trines = grand_trines(grid);
  for (const auto& t : trines) {
    const int element_sign = sign_of(grid.planet(t[0]).longitude);
    const auto element = kSigns[static_cast<size_t>(element_sign)].element;
    bool same = true;
    for (size_t m : t) same = same && kSigns[static_cast<size_t>(sign_of(grid.planet(m).longitude))].element == element;
    Json& pattern = out.add("grand_trine", {t[0], t[1], t[2]},
                            {{t[0], t[1]}, {t[1], t[2]}, {t[0], t[2]}});
    pattern["element"] = same ? Json(element) : Json(nullptr);
  }
  for (const auto& t : trines) {
    for (size_t tail = 0; tail < grid.size(); ++tail) {
      if (tail == t[0] || tail == t[1] || tail == t[2]) continue;
      for (size_t h = 0; h < 3; ++h) {
        const size_t head = t[h], x = t[(h + 1) % 3], y = t[(h + 2) % 3];
        if (grid.is(tail, head, "Opposition") && grid.is(tail, x, "Sextile") &&
            grid.is(tail, y, "Sextile")) {
          Json& pattern = out.add("kite", {t[0], t[1], t[2], tail},
                                  {{t[0], t[1]}, {t[1], t[2]}, {t[0], t[2]}, {tail, head},
                                   {tail, x}, {tail, y}});
          pattern["apex"] = grid.planet(head).name;
          pattern["tail"] = grid.planet(tail).name;
        }
      }
    }
  }
}

void find_crosses_and_t_squares(const AspectGrid& grid, PatternList& out) {
  std::set<std::array<size_t, 4>> crosses;
  opposition_pairs(grid, [&](size_t a, size_t b, size_t c, size_t d) {
    if (!squares_all(grid, a, b, c, d)) return;
    crosses.insert({a, b, c, d});
    out.add("grand_cross", {a, b, c, d}, {{a, b}, {c, d}, {a, c}, {a, d}, {b, c}, {b, d}});
  });
  const size_t n = grid.size();
  for (size_t a = 0; a < n; ++a)
    for (size_t b = a + 1; b < n; ++b) {
      if (!grid.is(a, b, "Opposition")) continue;
      for (size_t apex = 0; apex < n; ++apex) {
        if (apex == a || apex == b || !grid.is(apex, a, "Square") || !grid.is(apex, b, "Square"))
          continue;
        bool in_cross = false;
        for (const auto& cross : crosses) {
          in_cross = in_cross || (std::count(cross.begin(), cross.end(), a) &&
                                  std::count(cross.begin(), cross.end(), b) &&
                                  std::count(cross.begin(), cross.end(), apex));
        }
        if (in_cross) continue;
        out.add("t_square", {a, b, apex}, {{a, b}, {apex, a}, {apex, b}})["apex"] =
            grid.planet(apex).name;
      }
    }
}

void find_yods(const AspectGrid& grid, PatternList& out) {
  const size_t n = grid.size();
  for (size_t a = 0; a < n; ++a)
    for (size_t b = a + 1; b < n; ++b) {
      if (!grid.is(a, b, "Sextile")) continue;
      for (size_t apex = 0; apex < n; ++apex) {
        if (apex == a || apex == b || !grid.is(apex, a, "Quincunx") ||
            !grid.is(apex, b, "Quincunx"))
          continue;
        out.add("yod", {a, b, apex}, {{a, b}, {apex, a}, {apex, b}})["apex"] =
            grid.planet(apex).name;
      }
    }
}

void find_rectangles(const AspectGrid& grid, PatternList& out) {
  opposition_pairs(grid, [&](size_t a, size_t b, size_t c, size_t d) {
    // The short sides are sextiles, the long ones trines, either way round.
    for (int turn = 0; turn < 2; ++turn) {
      const size_t c1 = turn ? d : c, d1 = turn ? c : d;
      if (grid.is(a, c1, "Sextile") && grid.is(b, d1, "Sextile") && grid.is(a, d1, "Trine") &&
          grid.is(b, c1, "Trine")) {
        out.add("mystic_rectangle", {a, b, c, d},
                {{a, b}, {c, d}, {a, c1}, {b, d1}, {a, d1}, {b, c1}});
      }
    }
  });
}

void find_grand_sextiles(const AspectGrid& grid, PatternList& out) {
  const size_t n = grid.size();
  if (n < 6) return;
  for (unsigned mask = 0; mask < (1u << n); ++mask) {
    if (std::popcount(mask) != 6) continue;
    std::vector<size_t> ring;
    for (size_t i = 0; i < n; ++i)
      if (mask & (1u << i)) ring.push_back(i);
    std::sort(ring.begin(), ring.end(), [&](size_t x, size_t y) {
      return grid.planet(x).longitude < grid.planet(y).longitude;
    });
    bool whole = true;
    std::vector<std::pair<size_t, size_t>> edges;
    for (size_t i = 0; i < 6 && whole; ++i) {
      whole = grid.is(ring[i], ring[(i + 1) % 6], "Sextile") &&
              grid.is(ring[i], ring[(i + 2) % 6], "Trine") &&
              (i >= 3 || grid.is(ring[i], ring[i + 3], "Opposition"));
      edges.emplace_back(ring[i], ring[(i + 1) % 6]);
    }
    if (whole) out.add("grand_sextile", ring, edges);
  }
}

}  // namespace

Json aspect_patterns(const StructureInput& input) {
  const AspectGrid grid(input);
  PatternList out(grid);
  find_stellia(grid, out);
  find_trines_and_kites(grid, out);
  find_crosses_and_t_squares(grid, out);
  find_yods(grid, out);
  find_rectangles(grid, out);
  find_grand_sextiles(grid, out);
  return out.take();
}

}  // namespace quorvane
