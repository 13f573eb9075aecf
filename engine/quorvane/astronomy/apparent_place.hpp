// The one road from the kernels to what an observer sees: the sky of one
// moment (its orientation of date, from the nutation model the caller
// names, and the observer), the apparent place of any body in it, and that
// place in ecliptic and equatorial coordinates of date.
#pragma once

#include <cstdint>
#include <optional>

#include "quorvane/base/expected.hpp"
#include "quorvane/base/spk_error.hpp"
#include "quorvane/base/vector.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {

// The nutation series that orients the sky: orientation_2000a (the full
// series, for every position a result shows) or orientation_2000b (for
// searches and horizon tests that evaluate many moments).
using OrientationModel = Orientation (*)(const Time&);

struct EclipticPlace {
  double longitude;  // degrees in [0, 360), true ecliptic and equinox of date
  double latitude;   // degrees
  double distance;   // au
};

struct EquatorialPlace {
  double right_ascension;  // degrees in [0, 360), true equator and equinox of date
  double declination;      // degrees
};

// A GCRS vector in coordinates of date.
EclipticPlace ecliptic_place(const Orientation& orientation, const Vec3& gcrs);
EquatorialPlace equatorial_place(const Orientation& orientation, const Vec3& gcrs);
// The ecliptic longitude alone, for the searches (degrees in [0, 360)).
double ecliptic_longitude(const Orientation& orientation, const Vec3& gcrs);

// One moment as one observer sees it.
struct ApparentSky {
  const Kernel* kernel = nullptr;
  Time time;
  Orientation orientation;
  Observer observer;
  // The caller's records for the rest of its computation (none: the
  // kernel's shared cache), and the deflectors found once for all bodies.
  RecordCache* records = nullptr;
  std::optional<Deflectors> deflectors;

  // At the Earth's centre, oriented by `model` or by an orientation the
  // caller already has for `time`.
  static Expected<ApparentSky, SpkError> geocentric(const Kernel& kernel, const Time& time,
                                                    OrientationModel model,
                                                    RecordCache* records = nullptr);
  static Expected<ApparentSky, SpkError> geocentric(const Kernel& kernel, const Time& time,
                                                    const Orientation& orientation,
                                                    RecordCache* records = nullptr);

  // The apparent place of a kernel body (light time, deflection by the Sun,
  // Jupiter and Saturn, aberration), GCRS axes, au.
  Expected<Vec3, SpkError> gcrs(int32_t code) const;
  // The same without aberration, for callers that apply it themselves.
  Expected<Vec3, SpkError> deflected_gcrs(int32_t code) const;
  Expected<EclipticPlace, SpkError> ecliptic(int32_t code) const;
};

}  // namespace quorvane
