// The seven traditional planets in Chaldean order (slowest first): the
// order of the planetary hours and of the faces.
#pragma once

#include <string_view>

namespace quorvane {

// The planets in Chaldean order, which is also the order of the hours.
inline constexpr std::string_view kChaldeanOrder[7] = {"Saturn", "Jupiter", "Mars",   "Sun",
                                                       "Venus",  "Mercury", "Moon"};

}  // namespace quorvane
