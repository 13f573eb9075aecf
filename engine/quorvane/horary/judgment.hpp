// Judgment of a horary question: the significators, perfection between
// them, and what prevents it (prohibition, refranation) or brings the matter
// about without it (translation and collection of light).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "quorvane/chart/chart.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/receptions.hpp"

namespace quorvane {

// A body as the timing of aspects sees it: both keep their present speeds.
struct MovingBody {
  std::string_view name;
  double longitude = 0.0;  // degrees
  double speed = 0.0;      // degrees a day, negative when retrograde
};

// An exact aspect ahead (or, for `last_aspect`, behind).
struct AspectTiming {
  std::string_view aspect;  // "Conjunction", "Sextile", "Square", "Trine", "Opposition"
  double days = 0.0;        // unrounded
  double degrees = 0.0;     // arc of relative motion, unrounded
};

// The first exact Ptolemaic aspect between x and y before either leaves its
// present sign; none when they keep their distance or nothing perfects.
std::optional<AspectTiming> next_aspect(const MovingBody& x, const MovingBody& y);

// The most recent exact aspect while both were in their present signs
// (next_aspect run backwards); `days` counts back from now.
std::optional<AspectTiming> last_aspect(const MovingBody& x, const MovingBody& y);

struct Perfection {
  std::string_view applying;  // the faster body
  std::string_view to;
  std::string_view aspect;
  double degrees = 0.0;  // rounded to 2 decimals
  double days = 0.0;     // rounded to 2 decimals
};

struct Prohibition {
  std::string_view by;
  std::string_view significator;
  std::string_view aspect;
  double days = 0.0;  // rounded to 2 decimals
};

struct Refranation {
  std::string_view planet;
  std::string_view aspect;
  double days = 0.0;  // rounded to 1 decimal
};

struct Translation {
  std::string_view by;
  std::string_view from;
  std::string_view from_aspect;
  std::string_view to;
  std::string_view to_aspect;
};

struct Collection {
  std::string_view by;
  std::string_view querent_aspect;
  std::string_view quesited_aspect;
};

struct Judgment {
  std::optional<uint8_t> quesited_house;  // echoed as asked, even out of range
  std::string_view querent;
  std::string_view co_significator = "Moon";
  std::optional<std::string_view> quesited;
  bool same_significator = false;
  std::optional<Perfection> perfection;
  std::optional<Perfection> moon_perfection;
  std::optional<Prohibition> prohibition;
  std::optional<Refranation> refranation;
  std::vector<Translation> translation;
  std::vector<Collection> collection;
  std::vector<Reception> receptions;  // the chart's receptions joining the significators
};

// Sign names of cusp longitudes, Aries for a non-finite one.
std::vector<std::string_view> cusp_signs(std::span<const double> cusps);

// The speed of the turning significator at a later UT Julian day; none when
// it cannot be computed there.
using SpeedAt = std::function<std::optional<double>(double jd)>;

// When a body moving `speed` now first shows the other direction of motion
// within `days` (at most 400) of `jd`, sampled in steps of D/60 days kept
// between 0.25 and 5; none when it keeps its direction or a sample fails.
std::optional<double> station_within(const SpeedAt& speed_at, double jd, double speed, double days);

// Everything a judgment reads of the chart.
struct JudgmentInput {
  std::optional<uint8_t> quesited_house;
  std::span<const Placement> placements;
  std::span<const std::string_view> cusp_signs;  // cusp 1 first
  double jd = 0.0;        // UT Julian day of the chart
  double ayanamsa = 0.0;  // degrees, 0 for a tropical chart
  std::string_view ascendant_sign;
  std::span<const Reception> receptions;  // the chart's
};

// Never fails: a failed position lookup during the refranation scan just
// ends that scan.
Judgment judge(const KernelSet& kernels, const JudgmentInput& input);

void write(RecordWriter& out, const Perfection& perfection);
void write(RecordWriter& out, const Prohibition& prohibition);
void write(RecordWriter& out, const Refranation& refranation);
void write(RecordWriter& out, const Translation& translation);
void write(RecordWriter& out, const Collection& collection);
void write(RecordWriter& out, const Judgment& judgment);

}  // namespace quorvane
