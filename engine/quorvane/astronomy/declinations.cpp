#include "quorvane/astronomy/declinations.hpp"

#include <cmath>

namespace quorvane {

std::vector<bool> out_of_bounds(const std::vector<double>& declination,
                                const std::vector<double>& obliquity, size_t bodies) {
  std::vector<bool> flags(declination.size(), false);
  for (size_t k = 0; k < declination.size() && bodies > 0; ++k) {
    const size_t moment = k / bodies;
    if (moment < obliquity.size()) flags[k] = std::abs(declination[k]) > obliquity[moment];
  }
  return flags;
}

std::vector<DeclinationAspect> declination_aspects(const std::vector<double>& declination,
                                                   size_t bodies, double orb, size_t limit) {
  std::vector<DeclinationAspect> found;
  if (bodies == 0) return found;
  const size_t moments = declination.size() / bodies;
  for (size_t i = 0; i < moments; ++i) {
    const double* row = declination.data() + i * bodies;
    for (size_t a = 0; a < bodies; ++a) {
      for (size_t c = a + 1; c < bodies; ++c) {
        const double parallel = std::abs(row[a] - row[c]);
        const double contra = std::abs(row[a] + row[c]);
        if (parallel <= orb) found.push_back({i, a, c, false, parallel});
        if (contra <= orb) found.push_back({i, a, c, true, contra});
        if (found.size() > limit) return found;
      }
    }
  }
  return found;
}

}  // namespace quorvane
