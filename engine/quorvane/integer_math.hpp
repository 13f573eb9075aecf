// Integer division rounded towards minus infinity, for counts of days and
// microseconds that may lie before their epoch.
#pragma once

#include <cstdint>

namespace quorvane {

// a / b rounded down; b != 0.
constexpr int64_t floor_div(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The remainder of floor_div, with the sign of b.
constexpr int64_t floor_mod(int64_t a, int64_t b) {
  const int64_t r = a % b;
  return (r != 0 && (r < 0) != (b < 0)) ? r + b : r;
}

}  // namespace quorvane
