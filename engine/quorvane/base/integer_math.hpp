// Integer division rounded towards minus infinity, for counts of days and
// microseconds that may lie before their epoch, and saturating arithmetic
// for microsecond counts that must not overflow.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

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

// Float to integer the saturating way: NaN gives 0, out-of-range the bound.
inline int64_t saturate(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (x < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

inline int64_t saturating_add(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  return r;
}

inline int64_t saturating_mul(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) return (a < 0) == (b < 0) ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  return r;
}

}  // namespace quorvane
