#include "quorvane/astronomy/sampled_track.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/base/root_search.hpp"
#include "quorvane/frames/nutation.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr int kBefore = SampledTrack::kStencil / 2 - 1;  // samples before the interval read

// Denominators of the Lagrange basis on the nodes -kBefore .. kStencil-1-kBefore.
constexpr std::array<double, SampledTrack::kStencil> lagrange_denominators() {
  std::array<double, SampledTrack::kStencil> out{};
  for (int j = 0; j < SampledTrack::kStencil; ++j) {
    double d = 1.0;
    for (int m = 0; m < SampledTrack::kStencil; ++m) {
      if (m != j) d *= static_cast<double>(j - m);
    }
    out[j] = d;
  }
  return out;
}
constexpr auto kDenominators = lagrange_denominators();

// Roots of a track quantity are wanted to about 0.1 ms.
constexpr double kTimeTolerance = 1e-9;
// Half-width of the central difference behind `speed`, days.
constexpr double kSpeedDelta = 1e-3;

}  // namespace

SampledTrack::SampledTrack(double first, double step, const std::vector<double>& longitudes)
    : first_(first), step_(step) {
  unwrapped_.reserve(longitudes.size());
  for (double value : longitudes) {
    unwrapped_.push_back(unwrapped_.empty()
                             ? value
                             : unwrapped_.back() + signed_difference(value, unwrapped_.back()));
  }
}

double SampledTrack::readable_from() const { return sample_time(kBefore); }

double SampledTrack::readable_to() const {
  return sample_time(unwrapped_.size() - 1 - (kStencil - 1 - kBefore));
}

double SampledTrack::at(double jd) const {
  const double x = (jd - first_) / step_;
  const double lowest = kBefore;
  const double highest = static_cast<double>(unwrapped_.size()) - (kStencil - kBefore);
  const size_t i = static_cast<size_t>(std::clamp(std::floor(x), lowest, highest));
  const double u = x - static_cast<double>(i);  // in [0, 1) inside the readable span
  const double* y = unwrapped_.data() + (i - kBefore);
  const double centre = unwrapped_[i];
  // Lagrange form around the interval's first sample, which keeps the
  // large unwrapped values out of the products.
  double sum = 0.0;
  std::array<double, kStencil> offsets{};
  for (int j = 0; j < kStencil; ++j) offsets[j] = u - static_cast<double>(j - kBefore);
  for (int j = 0; j < kStencil; ++j) {
    if (offsets[j] == 0.0) return y[j];
    double basis = 1.0;
    for (int m = 0; m < kStencil; ++m) {
      if (m != j) basis *= offsets[m];
    }
    sum += (y[j] - centre) * basis / kDenominators[j];
  }
  return centre + sum;
}

double SampledTrack::speed(double jd) const {
  return (at(jd + kSpeedDelta) - at(jd - kSpeedDelta)) / (2.0 * kSpeedDelta);
}

std::vector<Station> SampledTrack::stations(double from, double to) const {
  std::vector<Station> out;
  const auto speed_of = [this](double t) { return Expected<double, EngineError>(speed(t)); };
  for (size_t i = kBefore + 1; i + (kStencil - kBefore) < unwrapped_.size(); ++i) {
    const double before = unwrapped_[i] - unwrapped_[i - 1];
    const double after = unwrapped_[i + 1] - unwrapped_[i];
    if ((before > 0.0) == (after > 0.0)) continue;
    // The speed changes sign within a step of sample i; widen once when the
    // sampled ends do not yet show it.
    double a = sample_time(i - 1), b = sample_time(i + 1);
    double sa = speed(a), sb = speed(b);
    if ((sa > 0.0) == (sb > 0.0)) {
      a = std::max(readable_from(), a - step_);
      b = std::min(readable_to(), b + step_);
      sa = speed(a);
      sb = speed(b);
      if ((sa > 0.0) == (sb > 0.0)) continue;
    }
    const double t = *bracketed_root(speed_of, a, sa, b, sb, kTimeTolerance);
    if (t < from || t > to) continue;
    if (!out.empty() && t - out.back().jd < step_) continue;  // the same station seen twice
    out.push_back({t, sa > 0.0});
  }
  return out;
}

void SampledTrack::crossings_in_piece(double target, double from, double to,
                                      std::vector<Crossing>& out) const {
  const double la = at(from), lb = at(to);
  if (la == lb) return;
  const bool direct = lb > la;
  const double low = std::min(la, lb), high = std::max(la, lb);
  // The turns of the target inside [low, high); the lower end belongs to the
  // piece on a direct run, the upper on a retrograde one.
  // From a target reduced into [0, 360), the turns run over a bounded range
  // (a huge target would make the steps of 360 vanish in rounding).
  const double reduced = remainder_degrees(target);
  double value = reduced + 360.0 * std::ceil((low - reduced) / 360.0);
  if (!direct && value == low) value += 360.0;

  // Samples strictly inside the piece, [i0, i1): monotone like the piece.
  const double n = static_cast<double>(unwrapped_.size());
  const size_t i0 = static_cast<size_t>(std::clamp(std::floor((from - first_) / step_) + 1.0, 0.0, n));
  size_t i1 = static_cast<size_t>(std::clamp(std::ceil((to - first_) / step_), 0.0, n));
  i1 = std::max(i0, i1);
  const auto past = [&](double longitude, double v) { return direct ? longitude > v : longitude < v; };

  for (; direct ? value < high : value <= high; value += 360.0) {
    // The first sample of the piece past the value; the moment before it
    // (a sample, or the piece's start) is not past it.
    size_t lo = i0, hi = i1;
    while (lo < hi) {
      const size_t mid = lo + (hi - lo) / 2;
      if (past(unwrapped_[mid], value)) hi = mid;
      else lo = mid + 1;
    }
    const double a = lo == i0 ? from : sample_time(lo - 1);
    const double b = lo == i1 ? to : sample_time(lo);
    const auto offset = [&](double t) { return Expected<double, EngineError>(at(t) - value); };
    const double fa = lo == i0 ? la - value : unwrapped_[lo - 1] - value;
    const double fb = lo == i1 ? lb - value : unwrapped_[lo] - value;
    out.push_back({*bracketed_root(offset, a, fa, b, fb, kTimeTolerance), direct});
  }
}

std::vector<Crossing> SampledTrack::crossings(double target, double from, double to,
                                              const std::vector<Station>& stations) const {
  std::vector<Crossing> out;
  double start = from;
  for (const Station& station : stations) {
    if (station.jd <= start || station.jd >= to) continue;
    crossings_in_piece(target, start, station.jd, out);
    start = station.jd;
  }
  crossings_in_piece(target, start, to, out);
  return out;
}

namespace {

constexpr double kSeriesUnitToArcsec = 1e-7;
constexpr int kMargin = SampledTrack::kStencil / 2 + 1;

}  // namespace

std::pair<SampledTrack, SampledTrack> NutationSamples::sample(double from, double to) {
  const double first = from - kMargin;
  const size_t count = static_cast<size_t>(std::ceil(to - from)) + 2 * kMargin + 1;
  std::vector<double> psi(count), eps(count);
  for (size_t i = 0; i < count; ++i) {
    const Time time = Time::from_ut1(first + static_cast<double>(i));
    const auto [dpsi, deps] = nutation::series(678, true, time.whole + time.tt_fraction);
    psi[i] = dpsi * kSeriesUnitToArcsec;
    eps[i] = deps * kSeriesUnitToArcsec;
  }
  return {SampledTrack(first, 1.0, psi), SampledTrack(first, 1.0, eps)};
}

NutationSamples::NutationSamples(double from, double to) : NutationSamples(sample(from, to)) {}

Orientation NutationSamples::orientation(const Time& time, double jd) const {
  return Orientation::with_nutation(time, psi_.at(jd) * kRadiansPerArcsecond, eps_.at(jd) * kRadiansPerArcsecond);
}

Expected<std::vector<SampledTrack>, EngineError> sample_tracks(const LongitudeSource& given,
                                                               std::span<const int32_t> codes,
                                                               double from, double to, double step) {
  const double first = from - kMargin * step;
  const size_t count = static_cast<size_t>(std::ceil((to - from) / step)) + 2 * kMargin + 1;
  const double last = first + step * static_cast<double>(count - 1);
  std::optional<NutationSamples> nutation;
  if (!given.has_nutation()) nutation.emplace(first - 1.0, last + 1.0);
  const LongitudeSource source = nutation ? given.with_nutation(*nutation) : given;
  std::vector<std::vector<double>> longitudes(codes.size(), std::vector<double>(count));
  std::vector<double> row(codes.size());
  for (size_t i = 0; i < count; ++i) {
    auto done = source.longitudes(codes, first + step * static_cast<double>(i), row);
    if (!done) return unexpected(std::move(done).error());
    for (size_t b = 0; b < codes.size(); ++b) longitudes[b][i] = row[b];
  }
  std::vector<SampledTrack> tracks;
  tracks.reserve(codes.size());
  for (const auto& series : longitudes) tracks.emplace_back(first, step, series);
  return tracks;
}

double sampling_step(int32_t code) {
  // Nutation's fortnightly terms (13.7 and 9.1 days) set the step for
  // every body but the Moon, whose own motion asks for half a day.
  return code == 301 ? 0.5 : 1.0;
}

}  // namespace quorvane
