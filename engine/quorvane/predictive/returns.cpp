#include "quorvane/predictive/returns.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/base/root_search.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/time/julian_day.hpp"
#include "quorvane/time/moment_record.hpp"
#include "quorvane/traditional/planetary_hours.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// Exact moments are wanted to well under a millisecond (the Moon moves
// 0.0005" in one).
constexpr double kExactTolerance = 1e-8;
// Returns closer together than this are one touching at a station.
constexpr double kOneTouchingDays = 1.0 / 24.0;
// Returns are looked for a year of track at a time.
constexpr double kChunkDays = 366.0;

struct MeanMotion {
  double degrees_per_day;
  double window;  // days either side of the mean-motion guess that bracket the return
};

// The Sun and the Moon never retrograde: a mean-motion guess and a bracket
// around it find the next return without sampling a track.
std::optional<MeanMotion> mean_motion(int32_t code) {
  if (code == kSunCode) return MeanMotion{0.9856473, 4.0};
  if (code == kMoonCode) return MeanMotion{13.176358, 3.0};
  return std::nullopt;
}

// The exact return near `guess`: a root of the longitude's offset from
// natal in a bracket widened until it holds a sign change.
Expected<std::optional<double>, EngineError> polish(const LongitudeSource& source, int32_t code,
                                                    double natal, double guess, double half_width) {
  const auto offset = [&](double t) -> Expected<double, EngineError> {
    auto longitude = source.longitude(code, t);
    if (!longitude) return unexpected(std::move(longitude).error());
    return signed_difference(*longitude, natal);
  };
  for (int widening = 0; widening < 7; ++widening, half_width *= 4.0) {
    const double a = guess - half_width, b = guess + half_width;
    auto fa = offset(a);
    if (!fa) return unexpected(std::move(fa).error());
    auto fb = offset(b);
    if (!fb) return unexpected(std::move(fb).error());
    // A sign change across the wrap at 180 degrees is no return.
    if ((*fa > 0.0) == (*fb > 0.0) || std::fabs(*fa - *fb) > 180.0) continue;
    auto root = bracketed_root(offset, a, *fa, b, *fb, kExactTolerance);
    if (!root) return unexpected(std::move(root).error());
    return std::optional<double>(*root);
  }
  return std::optional<double>();
}

}  // namespace

Expected<std::vector<double>, EngineError> return_moments(const LongitudeSource& source,
                                                          int32_t code, double natal,
                                                          double start, double end) {
  const double step = sampling_step(code);
  auto tracks = sample_tracks(source, std::span<const int32_t>(&code, 1), start, end, step);
  if (!tracks) return unexpected(std::move(tracks).error());
  const SampledTrack& track = tracks->front();
  const auto stations = track.stations(start, end);
  std::vector<double> out;
  for (const Crossing& crossing : track.crossings(natal, start, end, stations)) {
    // The track's moment is within a fraction of a second; a few exact
    // evaluations make it exact. Near a station the crossing is shallow,
    // so the bracket is kept inside the run between stations.
    auto exact = polish(source, code, natal, crossing.jd, 1e-4);
    if (!exact) return unexpected(std::move(exact).error());
    const double jd = exact->value_or(crossing.jd);
    if (jd >= start && jd <= end) out.push_back(jd);
  }
  std::sort(out.begin(), out.end());
  // A natal longitude at a station is touched, not crossed twice: roots
  // within the hour (where the body stays within a tenth of an arcsecond of
  // it) are one return, at their middle.
  std::vector<double> merged;
  for (size_t i = 0; i < out.size();) {
    size_t j = i + 1;
    while (j < out.size() && out[j] - out[j - 1] < kOneTouchingDays) ++j;
    merged.push_back(j - i == 1 ? out[i] : 0.5 * (out[i] + out[j - 1]));
    i = j;
  }
  return merged;
}

Expected<double, EngineError> next_return(const LongitudeSource& source, int32_t code,
                                          double natal, double after, double horizon) {
  if (const auto motion = mean_motion(code)) {
    auto now = source.longitude(code, after);
    if (!now) return unexpected(std::move(now).error());
    const double ahead = remainder_degrees(natal - *now);
    const double guess = after + ahead / motion->degrees_per_day;
    auto exact = polish(source, code, natal, guess, motion->window);
    if (!exact) return unexpected(std::move(exact).error());
    if (*exact && **exact >= after) return **exact;
  }
  for (double from = after; from < after + horizon; from += kChunkDays) {
    const double to = std::min(from + kChunkDays, after + horizon);
    auto found = return_moments(source, code, natal, from, to);
    if (!found) return unexpected(std::move(found).error());
    if (!found->empty()) return found->front();
  }
  return unexpected(EngineError::invalid_input("no return within the search span"));
}

namespace {

Expected<int32_t, EngineError> body_code(std::string_view body) {
  const auto code = kernel_body_code(body);
  if (!code) {
    return unexpected(EngineError::invalid_input("not a body with returns: " + std::string(body)));
  }
  return *code;
}

// One turn of every planet but Pluto fits in this; Pluto's takes 248 years.
constexpr double kReturnHorizonDays = 250.0 * 365.25;

}  // namespace

Expected<ReturnList, EngineError> list_returns(const KernelSet& kernels, std::string_view body,
                                               double natal_longitude, double start, double end,
                                               const ZodiacChoice& zodiac) {
  auto code = body_code(body);
  if (!code) return unexpected(std::move(code).error());
  if (!(end > start)) return unexpected(EngineError::invalid_input("end must be after start"));
  if (end - start > kLongestReturnSpanDays) {
    return unexpected(EngineError::invalid_input("returns are listed over at most a century"));
  }
  const LongitudeSource source(kernels, zodiac);
  const double natal = normalize_degrees(natal_longitude);
  auto moments = return_moments(source, *code, natal, start, end);
  if (!moments) return unexpected(std::move(moments).error());
  ReturnList list{std::string(body), natal, {}};
  for (double jd : *moments) {
    auto longitude = source.longitude(*code, jd);
    if (!longitude) return unexpected(std::move(longitude).error());
    list.returns.push_back({jd, *longitude});
  }
  return list;
}

Expected<ReturnChart, EngineError> return_chart(const KernelSet& kernels, std::string_view body,
                                                double natal_longitude, const ChartRequest& request) {
  auto code = body_code(body);
  if (!code) return unexpected(std::move(code).error());
  const LongitudeSource source(kernels,
                               ZodiacChoice::from_texts(request.zodiac_type, request.ayanamsa));
  const double natal = normalize_degrees(natal_longitude);
  auto jd = next_return(source, *code, natal, request.moment.julian_day(), kReturnHorizonDays);
  if (!jd) return unexpected(std::move(jd).error());
  ChartRequest at_return = request;
  at_return.moment = instant_from_julian_day(*jd);
  auto chart = calculate_chart(kernels, at_return);
  if (!chart) return unexpected(std::move(chart).error());
  ReturnChart result{std::string(body), natal, *jd, 0.0, std::move(chart).value()};
  for (const Placement& p : result.chart.planets) {
    if (p.name == body) result.longitude = p.ecliptic_longitude;
  }
  return result;
}

void write(RecordWriter& out, const ReturnMoment& r) {
  ObjectWriter o(out);
  write_moment_fields(o, r.jd);
  o.field("body_longitude", r.longitude);
}

void write(RecordWriter& out, const ReturnList& list) {
  ObjectWriter(out)
      .field("body", list.body)
      .field("natal_longitude", list.natal_longitude)
      .field("returns", list.returns);
}

void write(RecordWriter& out, const ReturnChart& chart) {
  ObjectWriter o(out);
  write_moment_fields(o, chart.jd);
  o.field("body", chart.body)
      .field("natal_longitude", chart.natal_longitude)
      .field("body_longitude", chart.longitude)
      .field("chart", chart.chart);
}

}  // namespace quorvane
