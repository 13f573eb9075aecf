#include "quorvane/zodiac/catalog.hpp"

namespace quorvane {
namespace {

// Typing slips in the tables fail the build rather than a chart.
constexpr bool mansions_are_contiguous() {
  for (std::size_t i = 0; i < kLunarMansions.size(); ++i) {
    const LunarMansion& m = kLunarMansions[i];
    if (m.number != i + 1 || !(m.degree_start < m.degree_end)) return false;
    if (i > 0 && kLunarMansions[i - 1].degree_end != m.degree_start) return false;
  }
  return kLunarMansions.front().degree_start == 0.0 && kLunarMansions.back().degree_end == 360.0;
}
static_assert(mansions_are_contiguous());

constexpr bool stars_are_well_formed() {
  for (std::size_t i = 0; i < kFixedStars.size(); ++i) {
    const FixedStar& s = kFixedStars[i];
    if (!(s.longitude_j2000 >= 0.0 && s.longitude_j2000 < 360.0)) return false;
    if (!(s.latitude >= -90.0 && s.latitude <= 90.0)) return false;
    // Strictly ascending names: no star is listed twice.
    if (i > 0 && !(kFixedStars[i - 1].name < s.name)) return false;
  }
  return true;
}
static_assert(stars_are_well_formed());

}  // namespace

const FixedStar* find_fixed_star(std::string_view name) {
  for (const FixedStar& star : kFixedStars) {
    if (star.name == name) return &star;
  }
  return nullptr;
}

}  // namespace quorvane
