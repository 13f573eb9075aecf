#include "quorvane/astronomy/sun_track.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "generated/nutation_tables.hpp"
#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {
namespace {

constexpr int kN = SunTrack::kNodes;

// Stretches of at most this many days: one for a solar day's window.
constexpr double kStretchDays = 3.25;

// The Earth's own deflection of the light (at most 2e-9 rad) applies in the
// exact test while the Sun's geocentric zenith distance is under 108
// degrees. The fit applies it while the cosine of that distance is above
// -0.17 (under about 99.8 degrees): in between, where the two differ, the
// Sun is at least nine degrees below the threshold.
constexpr double kDeflectedAbove = -0.17;

// What the fit's model leaves out, au: the Sun is taken at the geocentre's
// light time, not the place's (up to 21 ms earlier or later; the Sun moves
// at most 2e-5 au/day about the barycentre), and the planets' deflection
// is that seen from the geocentre (6400 km make 1e-5 of a 1e-11 effect).
constexpr double kModelAu = 2e-5 * (4.27e-5 / kLightAuPerDay) + 1e-14;
// Rounding in the exact test and in the fit (both about 1e-15 rad; the
// Earth rotation angle's product with days since J2000 about 7e-13 rad,
// the same in both, since both evaluate it alike), with room to spare.
constexpr double kRoundingRadians = 1e-12;

// Envelopes of the motions in the Sun's geocentric vector, as (amplitude
// in au, angular rate in rad/day) pairs: the n-th time derivative of any
// component is at most the sum of amplitude * rate^n. The Sun's own path
// about the barycentre cancels (the Earth shares it), so this is the
// Earth's heliocentric orbit: 1.0167 au at most with its eccentricity's
// harmonics (each over twice its size), the planets' pulls (under 3e-5 au,
// at rates under 0.06 rad/day); then the Earth's path about the Earth-Moon
// barycentre: 4,900 km at most at the Moon's rate (0.23 rad/day; taken as
// 0.25), and in bands of 0.25 rad/day the sidebands of the Moon's
// eccentricity (e = 0.055), evection and variation and their products:
// about 2.1e-6 au in the second band, 3.8e-7 in the third, then falling
// about tenfold a band; taken as 5e-6 falling fivefold.
struct Motion {
  double amplitude;
  double rate;
};
constexpr Motion kOrbit[] = {
    {1.02, 0.0180}, {0.035, 0.0360}, {0.0015, 0.0540}, {1e-4, 0.0720}, {3e-5, 0.1},
};
constexpr double kEarthAboutBarycentre = 3.4e-5;  // au
constexpr double kLunarRate = 0.25;               // rad/day
constexpr double kLunarSecondBand = 5e-6;         // au

// Sum of amplitude * rate^n over the position envelope.
double position_envelope(int n) {
  if (n == 0) return 1.02;
  double sum = 0.0;
  for (const Motion& m : kOrbit) sum += m.amplitude * std::pow(m.rate, n);
  sum += kEarthAboutBarycentre * std::pow(kLunarRate, n);
  double amplitude = kLunarSecondBand;
  for (int k = 2; k < 80; ++k, amplitude /= 5.0) sum += amplitude * std::pow(k * kLunarRate, n);
  return sum;
}

// The n-th derivative bound of the IAU 2000B nutation (radians/day^n):
// each term's amplitude (with its secular part at 6.5 centuries) times its
// argument's rate to the n-th power, straight from the series.
double nutation_envelope(int n) {
  constexpr double kUnit = 4.848136811095359e-13;  // 0.1 uas in radians
  constexpr double kPerDay = 4.848136811095359935899141e-6 / 36525.0;  // arcsec/century -> rad/day
  constexpr double kRates[5] = {1717915923.2178 * kPerDay, 129596581.0481 * kPerDay,
                                1739527262.8478 * kPerDay, 1602961601.2090 * kPerDay,
                                -6962890.5431 * kPerDay};
  double sum = 0.0;
  for (int i = 0; i < 77; ++i) {
    const auto& term = nutation::tables::lunisolar[i];
    double rate = 0.0;
    for (int j = 0; j < 5; ++j) rate += term.multipliers[j] * kRates[j];
    const double amplitude = std::abs(term.a) + 6.5 * std::abs(term.a1) + std::abs(term.a2) +
                             std::abs(term.b) + 6.5 * std::abs(term.b1) + std::abs(term.b2);
    sum += amplitude * kUnit * std::pow(std::abs(rate), n);
  }
  return sum;
}

// Derivative bound of the rotation from GCRS to the true equator of date:
// the nutation angles, the precession's rate (under 1e-6 rad/day), and the
// fixed offsets (constant). Products of two small derivatives stay far
// under the 1 % margin.
double rotation_envelope(int n) {
  if (n == 0) return 1.0;
  return 1.01 * (nutation_envelope(n) + (n == 1 ? 1e-6 : 1e-12));
}

double binomial(int n, int k) {
  double r = 1.0;
  for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
  return r;
}

// Leibniz: the n-th derivative of (rotation * vector) for a vector whose
// j-th derivative is at most vector(j).
template <class VectorEnvelope>
double rotated_envelope(int n, VectorEnvelope vector) {
  double sum = 0.0;
  for (int k = 0; k <= n; ++k) sum += binomial(n, k) * rotation_envelope(k) * vector(n - k);
  return sum;
}

// The spin offset is the equation of the equinoxes (nutation in longitude
// times cos of the obliquity, plus complementary terms of at most 1.3e-8
// rad in all at rates under 1 rad/day, taken as 2e-8) and the sidereal
// time's polynomial, whose derivatives vanish beyond the fifth.
double spin_envelope(int n) {
  static_assert(kN > 5);
  return 1.01 * nutation_envelope(n) + 2e-8;
}

// The Cauchy remainder of interpolation at the kN Chebyshev points (with
// both ends) over a half-width of `half` days: |f - p| <= max|f^(kN)| *
// half^kN * max|prod(x - x_j)| / kN!, and that product is at most 2^(2-kN).
double remainder_factor(double half) {
  double factorial = 1.0;
  for (int i = 2; i <= kN; ++i) factorial *= i;
  return std::pow(half, kN) * std::ldexp(1.0, 2 - kN) / factorial;
}

struct Envelopes {
  double sun, velocity, spin;
};
const Envelopes& envelopes() {
  static const Envelopes e{
      rotated_envelope(kN, position_envelope),
      rotated_envelope(kN, [](int j) { return position_envelope(j + 1); }),
      spin_envelope(kN),
  };
  return e;
}

// Magnitude of the two highest Chebyshev coefficients of samples at the
// points cos(pi j / (kN - 1)): how far from converged the series still is.
template <class Get>
double tail(Get get) {
  double worst = 0.0;
  for (int k = kN - 2; k < kN; ++k) {
    double c = 0.0;
    for (int j = 0; j < kN; ++j) {
      const double w = (j == 0 || j == kN - 1) ? 0.5 : 1.0;
      c += w * get(j) * std::cos(std::numbers::pi * j * k / (kN - 1));
    }
    c *= 2.0 / (kN - 1);
    if (k == kN - 1) c *= 0.5;
    worst += std::abs(c);
  }
  return worst;
}

// sin of the Sun-up altitude.
double threshold_sine() {
  static const double sine = std::sin(kSunUpAltitude * kRadiansPerDegree);
  return sine;
}

}  // namespace

std::optional<SunTrack> SunTrack::fit(const Kernel& kernel, double first, double last,
                                      const SunTrackTuning& tuning) {
  if (!(last > first) || !std::isfinite(first) || !std::isfinite(last)) return std::nullopt;
  SunTrack track;
  track.first_ = first;
  track.last_ = last;
  track.middle_ = first + (last - first) / 2.0;
  track.half_ = (last - first) / 2.0;
  track.injected_error_ = tuning.injected_error;

  RecordCache records;
  for (int j = 0; j < kN; ++j) {
    // Both ends exactly, so that a window past the kernel's end is refused here.
    const double tt = j == 0 ? last
                      : j == kN - 1
                          ? first
                          : track.middle_ + track.half_ * std::cos(std::numbers::pi * j / (kN - 1));
    track.x_[j] = (tt - track.middle_) / track.half_;

    const double whole = std::floor(tt);
    const Time time = Time::from_tt(whole, tt - whole);
    auto sky = ApparentSky::geocentric(kernel, time, orientation_2000b, &records);
    if (!sky) return std::nullopt;
    // Aberration is left to the fitted track, which applies it at each moment.
    auto sun = sky->deflected_gcrs(kSunCode);
    if (!sun) return std::nullopt;
    const Orientation& orientation = sky->orientation;

    Sample& s = track.samples_[j];
    s.sun = orientation.true_equator * *sun;
    s.earth_velocity = orientation.true_equator * sky->observer.velocity;
    const double offset =
        orientation.gast * (kTwoPi / 24.0) - kTwoPi * earth_rotation_angle(time.whole, time.ut1_fraction);
    s.spin_offset = offset - kTwoPi * std::nearbyint(offset / kTwoPi);
  }

  for (int j = 0; j < kN; ++j) {
    double product = 1.0;
    for (int k = 0; k < kN; ++k)
      if (k != j) product *= track.x_[j] - track.x_[k];
    track.weights_[j] = 1.0 / product;
  }

  double tail_sun = 0.0, tail_velocity = 0.0;
  for (int axis = 0; axis < 3; ++axis) {
    tail_sun += tail([&](int j) { return track.samples_[j].sun[axis]; });
    tail_velocity += tail([&](int j) { return track.samples_[j].earth_velocity[axis]; });
  }
  const double tail_spin = tail([&](int j) { return track.samples_[j].spin_offset; });
  double nearest = INFINITY;
  for (const Sample& s : track.samples_) nearest = std::min(nearest, length(s.sun));
  // Not the solar system as the envelopes describe it: leave it to the exact test.
  if (!(tail_sun < 1e-8 && tail_velocity < 1e-8 && tail_spin < 1e-8 && nearest > 0.9)) {
    return std::nullopt;
  }

  const Envelopes& e = envelopes();
  const double factor = remainder_factor(track.half_);
  const double sun_error = e.sun * factor + tail_sun + kModelAu;
  const double velocity_error = e.velocity * factor + tail_velocity;
  const double spin_error = e.spin * factor + tail_spin;
  // The place is at most 4.3e-5 au from the geocentre, and the Sun moves
  // under 0.02 au in a stretch.
  const double distance = nearest - 0.02 - 4.3e-5;
  track.bound_ = 1.01 * (sun_error / distance + velocity_error / kLightAuPerDay) +
                 spin_error * (1.0 + 4.3e-5 / distance) + kRoundingRadians;
  track.bound_ *= tuning.safety;
  return track;
}

SunTrack::Sample SunTrack::at(double tt) const {
  const double x = (tt - middle_) / half_;
  std::array<double, kN> b;
  double norm = 0.0;
  for (int j = 0; j < kN; ++j) {
    const double d = x - x_[j];
    if (d == 0.0) return samples_[j];
    b[j] = weights_[j] / d;
    norm += b[j];
  }
  Sample s{{0, 0, 0}, {0, 0, 0}, 0.0};
  const double scale = 1.0 / norm;
  for (int j = 0; j < kN; ++j) {
    const double w = b[j] * scale;
    for (int axis = 0; axis < 3; ++axis) {
      s.sun[axis] += w * samples_[j].sun[axis];
      s.earth_velocity[axis] += w * samples_[j].earth_velocity[axis];
    }
    s.spin_offset += w * samples_[j].spin_offset;
  }
  return s;
}

double SunTrack::sin_altitude(const SurfaceObserver& observer, double tt) const {
  const Sample s = at(tt);
  const double whole = std::floor(tt);
  // As Time::from_tt forms it, without the rest of the time record.
  const double ut1 = (tt - whole) - delta_t().at(whole + (tt - whole)) / 86400.0;
  const double spin = kTwoPi * earth_rotation_angle(whole, ut1) + s.spin_offset + injected_error_;
  const double c = std::cos(spin), sn = std::sin(spin);
  // Earth-fixed <-> true equator of date: the spin about the pole.
  const auto to_true = [&](const Vec3& f) { return Vec3{c * f[0] - sn * f[1], sn * f[0] + c * f[1], f[2]}; };
  const auto to_fixed = [&](const Vec3& v) { return Vec3{c * v[0] + sn * v[1], -sn * v[0] + c * v[1], v[2]}; };

  const Vec3 place = to_true(observer.position);
  Vec3 sun = s.sun - place;
  const Vec3 velocity = s.earth_velocity + to_true(observer.velocity);
  const double light_time = length(sun) / kLightAuPerDay;
  if (dot(sun, place) > kDeflectedAbove * length(sun) * length(place)) {
    sun = sun + deflection(sun, place, kEarthReciprocalMass);
  }
  const Vec3 seen = aberrated(sun, velocity, light_time);
  return dot(observer.up, to_fixed(seen)) / length(seen);
}

FastSunUp::FastSunUp(const Kernel& kernel, const SurfaceObserver& observer, double t0, double t1,
                     SunTrackTuning tuning)
    : kernel_(kernel), observer_(observer), t0_(t0), t1_(t1), tuning_(tuning) {
  if (t1 > t0 && std::isfinite(t1 - t0)) {
    const size_t count = static_cast<size_t>(std::ceil((t1 - t0) / kStretchDays));
    length_ = (t1 - t0) / static_cast<double>(std::max<size_t>(count, 1));
    tracks_.resize(std::max<size_t>(count, 1));
    tried_.assign(tracks_.size(), 0);
  }
}

const SunTrack* FastSunUp::track_for(double tt) {
  if (tracks_.empty() || !(tt >= t0_ && tt <= t1_)) return nullptr;
  size_t i = std::min(static_cast<size_t>((tt - t0_) / length_), tracks_.size() - 1);
  if (!tried_[i]) {
    tried_[i] = 1;
    const double first = t0_ + static_cast<double>(i) * length_;
    const double last = i + 1 == tracks_.size() ? t1_ : t0_ + static_cast<double>(i + 1) * length_;
    tracks_[i] = SunTrack::fit(kernel_, first, last, tuning_);
  }
  const auto& track = tracks_[i];
  if (!track || !(tt >= track->first() && tt <= track->last())) return nullptr;
  return &*track;
}

std::optional<FastSunUp::Margin> FastSunUp::margin(double tt) {
  const SunTrack* track = track_for(tt);
  if (!track) return std::nullopt;
  return Margin{track->sin_altitude(observer_, tt) - threshold_sine(), track->bound()};
}

Expected<bool, SpkError> FastSunUp::operator()(double tt) {
  if (const auto fitted = margin(tt)) {
    if (fitted->value > fitted->bound) return true;
    if (fitted->value < -fitted->bound) return false;
  }
  ++exact_tests_;
  return sun_is_up(kernel_, observer_, tt);
}

}  // namespace quorvane
