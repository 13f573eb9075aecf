#include "quorvane/base/pyfloat.hpp"

#include <cassert>
#include <charconv>
#include <cmath>
#include <string>

namespace quorvane::pyfloat {

double round(double x, unsigned digits) {
  assert(digits <= 65535);
  if (!std::isfinite(x)) return x;
  // Past ~340 digits every double is already exact in decimal.
  if (digits > 400) return x;
  // The exact fixed-point text: at most 309 integer digits, a sign and a point.
  char buffer[320 + 400];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed,
                                     static_cast<int>(digits));
  assert(written.ec == std::errc());
  double result = 0.0;
  const auto read = std::from_chars(buffer, written.ptr, result);
  assert(read.ec == std::errc());
  (void)read;
  return result;
}

}  // namespace quorvane::pyfloat
