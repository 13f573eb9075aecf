// The apparent geocentric ecliptic longitude of date of one kernel body at
// a UT Julian day, computed as the chart computes its bodies (full
// nutation series, light time, deflection, aberration), for the searches
// that need a few bodies at many moments.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"

namespace quorvane {

// The zodiac of a search: tropical, or sidereal with the ayanamsa the chart
// would subtract at each moment (its rounded value, so that a found moment
// agrees with the chart of that moment).
struct ZodiacChoice {
  bool sidereal = false;
  std::string ayanamsa = "galcent_0sag";

  static ZodiacChoice from_texts(std::string_view zodiac_type, std::string_view ayanamsa);
  // Degrees subtracted from tropical longitudes at UT Julian day `jd`.
  double offset(double jd) const;
};

class NutationSamples;

class LongitudeSource {
 public:
  LongitudeSource(const KernelSet& kernels, ZodiacChoice zodiac)
      : kernels_(kernels), zodiac_(std::move(zodiac)) {}

  // The same source reading the nutation from `samples` where they reach
  // (they must outlive it), and from the series elsewhere.
  LongitudeSource with_nutation(const NutationSamples& samples) const {
    LongitudeSource copy = *this;
    copy.nutation_ = &samples;
    return copy;
  }
  bool has_nutation() const { return nutation_ != nullptr; }

  // Degrees in [0, 360), tropical or sidereal as chosen.
  Expected<double, EngineError> longitude(int32_t code, double jd) const;
  // Several bodies at one moment, sharing the Earth's orientation and state;
  // `out` has one slot per code.
  Expected<Ok, EngineError> longitudes(std::span<const int32_t> codes, double jd,
                                       std::span<double> out) const;

  const ZodiacChoice& zodiac() const { return zodiac_; }

 private:
  const KernelSet& kernels_;
  ZodiacChoice zodiac_;
  const NutationSamples* nutation_ = nullptr;
};

// Signed difference a - b reduced into [-180, 180).
double signed_difference(double a, double b);

}  // namespace quorvane
