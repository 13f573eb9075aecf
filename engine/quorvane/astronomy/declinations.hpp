// Declinations in use, over the columns of one batch of positions
// (moments x bodies, row-major): out of bounds, parallels, contraparallels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvane {

struct DeclinationAspect {
  size_t moment;
  size_t first;  // body indices, first < second
  size_t second;
  bool contraparallel;  // mirrored across the equator rather than side by side
  double orb;           // |d1 - d2| for a parallel, |d1 + d2| for a contraparallel
};

// Out of bounds: |declination| beyond the moment's obliquity. One flag per
// entry of `declination` (moments x bodies, row-major).
std::vector<bool> out_of_bounds(const std::vector<double>& declination,
                                const std::vector<double>& obliquity, size_t bodies);

// Parallels (|d1 - d2| <= orb) and contraparallels (|d1 + d2| <= orb)
// between the bodies of each moment; near the equator a pair can be both.
// The search stops once more than `limit` are found, so a caller can refuse
// an answer too large to hold without first building it.
std::vector<DeclinationAspect> declination_aspects(const std::vector<double>& declination,
                                                   size_t bodies, double orb,
                                                   size_t limit = SIZE_MAX);

}  // namespace quorvane
