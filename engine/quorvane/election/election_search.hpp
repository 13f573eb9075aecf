// The search for electional windows: a period of up to 92 days sampled at a
// fixed step, each sample scored by the electional assessment on positions
// interpolated between exact anchors two hours apart, runs of acceptable
// samples joined into windows, and the best windows scored again exactly.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/astronomy/planets.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/election/election.hpp"
#include "quorvane/election/election_criteria.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"
#include "quorvane/traditional/planetary_hours.hpp"
#include "quorvane/zodiac/houses.hpp"

namespace quorvane {

inline constexpr double kMaxSearchDays = 92.0;

struct ElectionWindow {
  UtcInstant start;  // first acceptable sample of the run
  UtcInstant end;    // last acceptable sample of the run
  UtcInstant best;   // the run's highest sampled score (the earliest on a tie)
  double score = 0.0;
  std::string_view verdict;
  std::vector<ElectionFactor> factors;
};

// Samples left out, by the first reason that excluded them.
struct Exclusions {
  uint32_t void_moon = 0;
  uint32_t mercury_retrograde = 0;
  uint32_t venus_retrograde = 0;
  uint32_t night = 0;
  uint32_t outside_hours = 0;
};

struct ElectionSearch {
  UtcInstant start;
  UtcInstant end;
  std::vector<ElectionWindow> windows;  // best first
  uint32_t evaluated = 0;
  Exclusions excluded;
  CriteriaSummary criteria;
};

// The placements and cusps of a sample moment, from interpolated positions.
struct SampledChart {
  double sidereal_time = 0.0;  // hours
  std::array<double, 12> cusps{};
  std::vector<Placement> placements;
};

// Exact positions every two hours from the search start, with positions in
// between interpolated from each anchor's longitude and one-hour speed.
class Sampler {
 public:
  static constexpr int64_t kAnchorMicros = 7'200'000'000;  // two hours

  struct Anchor {
    int64_t index = 0;
    std::vector<BodyPosition> bodies;
    double sidereal_time = 0.0;  // hours
  };

  Sampler(const KernelSet& kernels, UtcInstant start, std::string_view ayanamsa_code, bool sidereal);

  // Anchor k, at start + k × 2 hours; the last three are kept.
  Expected<std::shared_ptr<const Anchor>, EngineError> anchor(int64_t k);

  // The sampled chart of a moment at or after the start.
  Expected<SampledChart, EngineError> chart(UtcInstant moment, HouseSystem system, double latitude,
                                            double longitude);

 private:
  const KernelSet& kernels_;
  UtcInstant start_;
  std::string_view ayanamsa_code_;
  bool sidereal_;

 public:
  // Houses with the true obliquity (the IAU 2000B nutation, enough for
  // samples that the exact chart then refines).
  bool true_obliquity = false;

 private:
  std::vector<std::shared_ptr<const Anchor>> anchors_;  // in the order computed
};

// Planetary hours for many moments at one place: cut from the sun events
// of the whole period when they serve, else from the last solar day found.
class SolarDays {
 public:
  SolarDays(const KernelSet& kernels, double latitude, double longitude,
            std::optional<SunEvents> events);

  PlanetaryHours hours(UtcInstant moment);

 private:
  const KernelSet& kernels_;
  double latitude_;
  double longitude_;
  std::optional<SunEvents> events_;
  std::optional<SolarDay> cached_;
  // The texts of the sunrise and sunset formatted last.
  UtcInstant sunrise_, sunset_;
  std::string sunrise_text_, sunset_text_;

  PlanetaryHours with_texts(const SolarDay& day, UtcInstant moment);
};

// The request gives the start (its moment), the place, the house system,
// the zodiac and the ayanamsa.
Expected<ElectionSearch, EngineError> search_elections(const KernelSet& kernels,
                                                       const ChartRequest& request, UtcInstant end,
                                                       const ElectionCriteria& criteria);

void write(RecordWriter& out, const ElectionWindow& window);
void write(RecordWriter& out, const Exclusions& excluded);
void write(RecordWriter& out, const ElectionSearch& search);

}  // namespace quorvane
