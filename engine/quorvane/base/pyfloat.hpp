// Decimal rounding that agrees with Python's round(x, digits) for every
// double: correctly rounded from the exact binary value, ties to even.
#pragma once

namespace quorvane::pyfloat {

// `digits` is at most 65535. Non-finite values come back unchanged.
double round(double x, unsigned digits);

}  // namespace quorvane::pyfloat
