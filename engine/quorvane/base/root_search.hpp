// Roots of a function of time inside a bracket, for the exact moments of
// returns, transits, ingresses and stations.
#pragma once

#include <cmath>
#include <utility>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"

namespace quorvane {

// A root of `f` in [a, b], given fa = f(a) and fb = f(b) of opposite signs
// (or one of them zero). The Illinois variant of false position: it keeps
// the bracket, so it cannot wander off, and it converges superlinearly on
// the smooth functions of a search. Stops when the bracket is narrower
// than `tolerance` (same unit as a and b) or f is exactly zero.
// `f` returns Expected<double, EngineError>; its first error ends the search.
template <class F>
Expected<double, EngineError> bracketed_root(F&& f, double a, double fa, double b, double fb,
                                             double tolerance) {
  if (fa == 0.0) return a;
  if (fb == 0.0) return b;
  int side = 0;
  for (int iteration = 0; iteration < 100; ++iteration) {
    if (std::fabs(b - a) <= tolerance) break;
    double c = (a * fb - b * fa) / (fb - fa);
    // Keep every probe strictly inside, a little away from the ends, so a
    // flat end cannot stall the bracket.
    const double margin = 0.25 * tolerance;
    const double low = std::fmin(a, b) + margin, high = std::fmax(a, b) - margin;
    if (!(c > low && c < high)) c = 0.5 * (a + b);
    auto value = f(c);
    if (!value) return unexpected(std::move(value).error());
    const double fc = *value;
    if (fc == 0.0) return c;
    if ((fc < 0.0) == (fb < 0.0)) {
      b = c;
      fb = fc;
      if (side == -1) fa *= 0.5;
      side = -1;
    } else {
      a = c;
      fa = fc;
      if (side == 1) fb *= 0.5;
      side = 1;
    }
  }
  return (a * fb - b * fa) / (fb - fa);
}

}  // namespace quorvane
