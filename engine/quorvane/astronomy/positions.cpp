#include "quorvane/astronomy/positions.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/astronomy/chiron.hpp"
#include "quorvane/astronomy/lunar_orbit.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/base/pyfloat.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/time/time_scales.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr size_t kMaxChain = 8;

// WGS84, and the Earth's rotation rate (rad/day) for the site's velocity.
constexpr double kEquatorialRadiusAu = 6378.137 / kAuKm;
constexpr double kOneMinusFlatteningSquared = 0.9933056200098587;
constexpr double kEarthRotationPerDay = 6.30038736;

struct NamedPoint {
  std::string_view name;
  PointKind kind;
};

// The points the engine computes, after the kernel bodies: the chart's four
// first, in chart order, then the osculating ones.
constexpr NamedPoint kComputedPoints[] = {
    {"North Node", PointKind::mean_node},
    {"South Node", PointKind::mean_south_node},
    {"Chiron", PointKind::chiron},
    {"Lilith", PointKind::mean_apogee},
    {"True Node", PointKind::true_node},
    {"True South Node", PointKind::true_south_node},
    {"True Lilith", PointKind::osculating_apogee},
};
constexpr size_t kChartPointCount = 4;

// One body seen at one instant, tropical, degrees and au.
struct Sample {
  double longitude = kNaN;
  double latitude = kNaN;
  double distance = kNaN;
  double right_ascension = kNaN;
  double declination = kNaN;
};

struct Instant {
  Time time;
  double jd;  // UT
  Orientation orientation;
  State earth;
  Observer observer;
  std::optional<Deflectors> deflectors;  // for apparent places seen from the Earth
};

Sample sample_of(const Instant& at, const Vec3& gcrs) {
  const EclipticPlace ecliptic = ecliptic_place(at.orientation, gcrs);
  const EquatorialPlace equatorial = equatorial_place(at.orientation, gcrs);
  return {ecliptic.longitude, ecliptic.latitude, ecliptic.distance, equatorial.right_ascension,
          equatorial.declination};
}

// A point given on the ecliptic of date, with its equatorial place.
Sample ecliptic_sample(const Instant& at, double longitude, double latitude, double distance) {
  const double l = longitude * kRadiansPerDegree, b = latitude * kRadiansPerDegree;
  const Vec3 ecliptic{std::cos(b) * std::cos(l), std::cos(b) * std::sin(l), std::sin(b)};
  const EquatorialPlace equatorial =
      equatorial_place(at.orientation, transpose(at.orientation.true_ecliptic) * ecliptic);
  return {longitude, latitude, distance, equatorial.right_ascension, equatorial.declination};
}

bool holds_target(const Kernel& kernel, int32_t code) {
  for (const Segment& segment : kernel.spk().segments()) {
    if (segment.target == code) return true;
  }
  return false;
}

// A body beyond the span of the kernel holding it is out of range like a
// moment beyond every kernel, with that kernel's span.
EngineError body_failure(const KernelSet& set, const PositionBody& body, double jd,
                         SpkError error) {
  if (!std::holds_alternative<SpkNotCovered>(error.kind)) return EngineError::spk(std::move(error));
  for (const Kernel& k : set.kernels()) {
    if (holds_target(k, body.code)) {
      return EngineError::out_of_range(jd, std::make_pair(k.start(), k.end()));
    }
  }
  return EngineError::out_of_range(jd, set.coverage());
}

// The segment for a target covering the TDB day, else the first one for it.
const Segment* segment_for(const Kernel& kernel, int32_t target, const Time& time) {
  const double et = (time.whole - kJ2000 + time.tdb_fraction) * 86400.0;
  const Segment* first = nullptr;
  for (const Segment& segment : kernel.spk().segments()) {
    if (segment.target != target) continue;
    if (segment.start_et <= et && et <= segment.end_et) return &segment;
    if (!first) first = &segment;
  }
  return first;
}

// Where the states of the batch come from: the kernel chosen for the moment,
// and for a body it lacks (an asteroid kernel, say), the kernel that holds
// that body, chained on to the chosen one's barycentre.
struct Sources {
  const KernelSet& set;
  const Kernel& kernel;
  RecordCache* records;

  Expected<State, SpkError> barycentric(int32_t code, const Time& time) const {
    if (code == 0 || kernel.has_body(code)) return kernel.barycentric(code, time, records);
    State sum;
    int32_t body = code;
    const Kernel* holder = nullptr;
    for (const Kernel& k : set.kernels()) {
      if (holds_target(k, code)) {
        holder = &k;
        break;
      }
    }
    if (!holder) return unexpected(SpkError::no_segment(code, 0));
    for (size_t links = 0; body != 0; ++links) {
      if (links == kMaxChain) {
        return unexpected(SpkError::malformed(format("segment chain for %d loops", code)));
      }
      const Segment* segment = segment_for(*holder, body, time);
      if (!segment) break;
      auto part = holder->spk().segment_state_split(*segment, time.whole, time.tdb_fraction, records);
      if (!part) return unexpected(std::move(part).error());
      const auto& s = *part;
      sum.position = sum.position + Vec3{s[0] / kAuKm, s[1] / kAuKm, s[2] / kAuKm};
      sum.velocity = sum.velocity + Vec3{s[3] * 86400.0 / kAuKm, s[4] * 86400.0 / kAuKm,
                                         s[5] * 86400.0 / kAuKm};
      body = segment->center;
    }
    if (body == 0) return sum;
    auto rest = kernel.barycentric(body, time, records);
    if (!rest) return unexpected(rest.error());
    return State{sum.position + rest->position, sum.velocity + rest->velocity};
  }

  // Light time over any of the sources.
  Expected<Astrometric, SpkError> observe(const Observer& observer, int32_t code,
                                          const Time& time) const {
    if (code == 0 || kernel.has_body(code)) return observe_from(kernel, observer, code, time, records);
    return observe_through([this](int32_t c, const Time& t) { return barycentric(c, t); },
                           observer, code, time);
  }
};

// The site relative to the geocentre in GCRS, and its velocity from the
// Earth's turn (polar motion neglected).
Observer topocentric(const GeodeticSite& site, const Instant& at) {
  const double phi = site.latitude * kRadiansPerDegree, lambda = site.longitude * kRadiansPerDegree;
  const double height = site.height / 1000.0 / kAuKm;
  const double c = 1.0 / std::sqrt(std::cos(phi) * std::cos(phi) +
                                   kOneMinusFlatteningSquared * std::sin(phi) * std::sin(phi));
  const double s = kOneMinusFlatteningSquared * c;
  const Vec3 fixed{(kEquatorialRadiusAu * c + height) * std::cos(phi) * std::cos(lambda),
                   (kEquatorialRadiusAu * c + height) * std::cos(phi) * std::sin(lambda),
                   (kEquatorialRadiusAu * s + height) * std::sin(phi)};
  const Vec3 turning{-kEarthRotationPerDay * fixed[1], kEarthRotationPerDay * fixed[0], 0.0};
  const Mat3 to_celestial = transpose(at.orientation.to_earth_fixed());
  const Vec3 gcrs = to_celestial * fixed;
  return Observer{gcrs, at.earth.position + gcrs, at.earth.velocity + to_celestial * turning};
}

Expected<Instant, EngineError> instant_at(const Sources& sources, const Time& time, double jd,
                                          const Orientation& orientation,
                                          const PositionsRequest& request) {
  Instant at{time, jd, orientation, {}, {}, std::nullopt};
  auto earth = sources.kernel.barycentric(kEarthCode, time, sources.records);
  if (!earth) return unexpected(EngineError::spk(earth.error()));
  at.earth = *earth;
  switch (request.centre) {
    case PositionCentre::geocentric:
      at.observer = Observer{std::nullopt, earth->position, earth->velocity};
      break;
    case PositionCentre::topocentric:
      at.observer = topocentric(request.site, at);
      break;
    case PositionCentre::heliocentric: {
      auto sun = sources.kernel.barycentric(kSunCode, time, sources.records);
      if (!sun) return unexpected(EngineError::spk(sun.error()));
      at.observer = Observer{std::nullopt, sun->position, sun->velocity};
      break;
    }
  }
  // A kernel without them fails each body as before, not the moment.
  if (request.correction == PositionCorrection::apparent &&
      request.centre != PositionCentre::heliocentric) {
    if (auto found = deflectors_at(sources.kernel, time, sources.records)) at.deflectors = *found;
  }
  return at;
}

Expected<Sample, SpkError> kernel_sample(const Sources& sources, const Instant& at, int32_t code,
                                         const PositionsRequest& request) {
  if (request.correction == PositionCorrection::geometric) {
    auto state = sources.barycentric(code, at.time);
    if (!state) return unexpected(state.error());
    return sample_of(at, state->position - at.observer.position);
  }
  auto astrometric = sources.observe(at.observer, code, at.time);
  if (!astrometric) return unexpected(astrometric.error());
  // Deflection and aberration belong to an observer at the Earth.
  if (request.correction == PositionCorrection::astrometric ||
      request.centre == PositionCentre::heliocentric) {
    return sample_of(at, astrometric->position);
  }
  auto seen = apparent(sources.kernel, *astrometric, at.time, sources.records,
                       at.deflectors ? &*at.deflectors : nullptr);
  if (!seen) return unexpected(seen.error());
  return sample_of(at, *seen);
}

Expected<OsculatingOrbit, SpkError> lunar_orbit_at(const Sources& sources, const Instant& at) {
  auto moon = sources.kernel.barycentric(kMoonCode, at.time, sources.records);
  if (!moon) return unexpected(moon.error());
  const Mat3& m = at.orientation.true_ecliptic;
  return osculating_orbit(m * (moon->position - at.earth.position),
                          m * (moon->velocity - at.earth.velocity));
}

Expected<Sample, SpkError> body_sample(const Sources& sources, const Instant& at,
                                       const PositionBody& body, const PositionsRequest& request) {
  switch (body.kind) {
    case PointKind::kernel_body:
      return kernel_sample(sources, at, body.code, request);
    case PointKind::mean_node:
      return ecliptic_sample(at, mean_lunar_node(at.jd), 0.0, 0.00257);
    case PointKind::mean_south_node:
      return ecliptic_sample(at, normalize_degrees(mean_lunar_node(at.jd) + 180.0), 0.0, 0.00257);
    case PointKind::mean_apogee:
      return ecliptic_sample(at, mean_lunar_apogee(at.jd, 0.0), 0.0, 0.0027);
    case PointKind::chiron: {
      auto chiron = chiron::position(at.jd, 0.0);
      if (!chiron) return Sample{};
      return ecliptic_sample(at, chiron->longitude, 0.0, 0.0);
    }
    case PointKind::true_node:
    case PointKind::true_south_node:
    case PointKind::osculating_apogee: {
      auto orbit = lunar_orbit_at(sources, at);
      if (!orbit) return unexpected(orbit.error());
      OrbitPoint p = body.kind == PointKind::osculating_apogee ? orbit->apogee : orbit->node;
      if (body.kind == PointKind::true_south_node) {
        p.longitude = normalize_degrees(p.longitude + 180.0);
      }
      return ecliptic_sample(at, p.longitude, p.latitude, p.distance);
    }
  }
  return Sample{};
}

double turn_per_day(double later, double now) {
  return (normalize_degrees(later - now + 180.0) - 180.0) * 24.0;
}

struct Row {
  double longitude, longitude_speed;
};

// Longitude and its speed as the chart states them: the mean points and
// Chiron carry their own fixed speeds, the rest move over the hour.
Row chart_longitude(const PositionBody& body, double jd, double offset, const Sample& now,
                    const Sample& later) {
  switch (body.kind) {
    case PointKind::mean_node:
      return {normalize_degrees(now.longitude - offset), -0.05295};
    case PointKind::mean_south_node:
      return {normalize_degrees(normalize_degrees(mean_lunar_node(jd) - offset) + 180.0),
              -0.05295};
    case PointKind::mean_apogee:
      return {mean_lunar_apogee(jd, offset), 0.1114};
    case PointKind::chiron: {
      auto chiron = chiron::position(jd, offset);
      if (!chiron) return {kNaN, kNaN};
      return {chiron->longitude, chiron->speed};
    }
    default:
      return {normalize_degrees(now.longitude - offset), turn_per_day(later.longitude, now.longitude)};
  }
}

}  // namespace

std::optional<PositionBody> position_body(std::string_view name) {
  if (const auto code = kernel_body_code(name)) return PositionBody{PointKind::kernel_body, *code};
  for (const NamedPoint& point : kComputedPoints) {
    if (point.name == name) return PositionBody{point.kind, 0};
  }
  return std::nullopt;
}

Expected<std::vector<PositionBody>, EngineError> position_bodies(
    const std::vector<std::string>& names, std::string_view caller) {
  std::vector<PositionBody> bodies;
  bodies.reserve(names.size());
  for (const std::string& name : names) {
    auto body = position_body(name);
    if (!body) {
      return unexpected(EngineError::invalid_input(std::string(caller) + ": unknown body '" +
                                                   name + "'"));
    }
    bodies.push_back(*body);
  }
  return bodies;
}

const std::vector<std::string_view>& chart_body_names() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> out;
    for (const Body& body : kKernelBodies) out.push_back(body.name);
    for (size_t i = 0; i < kChartPointCount; ++i) out.push_back(kComputedPoints[i].name);
    return out;
  }();
  return names;
}

std::optional<PositionsFailure> check_positions_request(const KernelSet& kernels,
                                                       const PositionsRequest& request) {
  for (const PositionBody& body : request.bodies) {
    if (body.kind != PointKind::kernel_body && request.centre == PositionCentre::heliocentric) {
      // The nodes, the apogees and Chiron's table are places seen from the
      // Earth; a heliocentric one would be a different point.
      return PositionsFailure{
          std::nullopt,
          EngineError::invalid_input(
              "center='heliocentric' takes bodies of the kernels only: the lunar nodes, "
              "Lilith and Chiron are computed as seen from the Earth")};
    }
    if (body.kind != PointKind::kernel_body || body.code == 0) continue;
    bool held = false;
    for (const Kernel& k : kernels.kernels()) held = held || holds_target(k, body.code);
    if (!held) {
      return PositionsFailure{
          std::nullopt,
          EngineError::invalid_input(format("no loaded kernel holds body %d", body.code))};
    }
  }
  return std::nullopt;
}

PositionColumns blank_positions(const PositionsRequest& request) {
  const size_t n = request.jds.size(), b = request.bodies.size();
  PositionColumns out;
  out.moments = n;
  out.bodies = b;
  for (auto* column : {&out.longitude, &out.latitude, &out.distance, &out.longitude_speed,
                       &out.latitude_speed, &out.distance_speed, &out.right_ascension,
                       &out.declination, &out.right_ascension_speed, &out.declination_speed}) {
    column->assign(n * b, kNaN);
  }
  out.ayanamsa.assign(n, 0.0);
  out.obliquity.assign(n, kNaN);
  out.sidereal_time.assign(n, kNaN);
  return out;
}

namespace {

// Moments `count` of them, the n-th being moment(n). With `skip_from`, a
// failing moment is passed over (lowering it to its index), moments from
// it on are skipped, and the failure of the smallest index is kept; without
// it, the first failure stops the fill.
template <class Moment>
std::optional<PositionsFailure> fill_moments(const KernelSet& kernels,
                                             const PositionsRequest& request, size_t count,
                                             const Moment& moment, std::atomic<size_t>* skip_from,
                                             PositionColumns* columns) {
  PositionColumns& out = *columns;
  const size_t b = request.bodies.size();
  const Ayanamsa& entry = ayanamsa(request.ayanamsa);

  std::vector<Sample> now(b), later(b);
  RecordCache records;
  // An hourly table's second instant is the next moment's first: kept.
  std::optional<Instant> kept;
  const Kernel* kept_kernel = nullptr;
  std::optional<PositionsFailure> failed;
  for (size_t n = 0; n < count; ++n) {
    const size_t i = moment(n);
    if (skip_from && i >= skip_from->load(std::memory_order_relaxed)) {
      kept.reset();
      continue;
    }
    // Past a failure the next moment starts afresh.
    const auto fail = [&](EngineError error) {
      if (!failed || i < *failed->moment) failed = PositionsFailure{i, std::move(error)};
      kept.reset();
      if (!skip_from) return true;
      size_t bound = skip_from->load(std::memory_order_relaxed);
      while (i < bound && !skip_from->compare_exchange_weak(bound, i, std::memory_order_relaxed)) {
      }
      return false;
    };
    const double jd = request.jds[i];
    // The chart's two instants and its choice of kernel for them.
    const Time t0 = Time::from_ut1(jd);
    const Time t1 = Time::from_ut1(t0.whole + t0.ut1_fraction + 1.0 / 24.0);
    auto chosen = choose_kernel(kernels, jd);
    if (!chosen) {
      if (fail(chosen.error())) return failed;
      continue;
    }
    const Sources sources{kernels, **chosen, &records};
    const bool reuse = kept && kept_kernel == *chosen && kept->jd == jd;
    std::optional<Instant> first;
    Orientation orientation;
    if (reuse) {
      first = *kept;
      now.swap(later);
      orientation = orientation_2000a(t1);
    } else {
      const std::array<Orientation, 2> both = orientation_2000a(t0, t1);
      auto at = instant_at(sources, t0, jd, both[0], request);
      if (!at) {
        if (fail(at.error())) return failed;
        continue;
      }
      first = *at;
      orientation = both[1];
    }
    auto second = instant_at(sources, t1, t1.whole + t1.ut1_fraction, orientation, request);
    if (!second) {
      if (fail(second.error())) return failed;
      continue;
    }

    std::optional<EngineError> body_failed;
    for (size_t j = 0; j < b && !body_failed; ++j) {
      if (!reuse) {
        auto s0 = body_sample(sources, *first, request.bodies[j], request);
        if (!s0) {
          body_failed = body_failure(kernels, request.bodies[j], jd, s0.error());
          break;
        }
        now[j] = *s0;
      }
      auto s1 = body_sample(sources, *second, request.bodies[j], request);
      if (!s1) body_failed = body_failure(kernels, request.bodies[j], jd, s1.error());
      else later[j] = *s1;
    }
    if (body_failed) {
      if (fail(std::move(*body_failed))) return failed;
      continue;
    }
    kept = *second;
    kept_kernel = *chosen;

    const double offset = request.sidereal ? pyfloat::round(ayanamsa_degrees(entry, jd), 6) : 0.0;
    out.ayanamsa[i] = offset;
    out.obliquity[i] = (first->orientation.mean_obliquity + first->orientation.deps) * kDegreesPerRadian;
    out.sidereal_time[i] = first->orientation.gast;
    for (size_t j = 0; j < b; ++j) {
      const size_t k = i * b + j;
      const Sample& s0 = now[j];
      const Sample& s1 = later[j];
      const Row row = chart_longitude(request.bodies[j], jd, offset, s0, s1);
      out.longitude[k] = row.longitude;
      out.longitude_speed[k] = row.longitude_speed;
      out.latitude[k] = s0.latitude;
      out.distance[k] = s0.distance;
      out.latitude_speed[k] = (s1.latitude - s0.latitude) * 24.0;
      out.distance_speed[k] = (s1.distance - s0.distance) * 24.0;
      out.right_ascension[k] = s0.right_ascension;
      out.declination[k] = s0.declination;
      out.right_ascension_speed[k] = turn_per_day(s1.right_ascension, s0.right_ascension);
      out.declination_speed[k] = (s1.declination - s0.declination) * 24.0;
    }
  }
  return failed;
}

}  // namespace

std::optional<PositionsFailure> fill_positions(const KernelSet& kernels,
                                               const PositionsRequest& request, size_t first_moment,
                                               size_t end_moment, PositionColumns* columns) {
  const size_t count = end_moment > first_moment ? end_moment - first_moment : 0;
  return fill_moments(kernels, request, count, [first_moment](size_t n) { return first_moment + n; },
                      nullptr, columns);
}

std::vector<size_t> fill_order(const PositionsRequest& request) {
  std::vector<size_t> order(request.jds.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return request.jds[a] < request.jds[b]; });
  return order;
}

namespace {

// Moments sorted, and cells blanked, per step: each some tens of milliseconds.
constexpr size_t kSortedPerStep = size_t{1} << 18;
constexpr size_t kBlankedPerStep = size_t{1} << 19;

}  // namespace

bool PositionsPreparation::step() {
  switch (stage_) {
    case Stage::start:
      order_.resize(request_.jds.size());
      for (size_t i = 0; i < order_.size(); ++i) order_[i] = i;
      stage_ = Stage::sort;
      return false;
    case Stage::sort:
      if (sort_step()) stage_ = Stage::merge, width_ = kSortedPerStep, at_ = 0;
      return false;
    case Stage::merge:
      if (merge_step()) stage_ = Stage::blank, at_ = 0;
      return false;
    case Stage::blank:
      if (blank_step()) stage_ = Stage::done;
      return stage_ == Stage::done;
    case Stage::done:
      return true;
  }
  return true;
}

// Runs of kSortedPerStep moments, each sorted stably by time.
bool PositionsPreparation::sort_step() {
  const auto earlier = [this](size_t a, size_t b) { return request_.jds[a] < request_.jds[b]; };
  const size_t end = std::min(order_.size(), at_ + kSortedPerStep);
  std::stable_sort(order_.begin() + at_, order_.begin() + end, earlier);
  at_ = end;
  return at_ == order_.size();
}

// Adjacent runs merged pairwise, one pair a step; merging keeps ties in the
// order of their runs, so the whole stays stable.
bool PositionsPreparation::merge_step() {
  const auto earlier = [this](size_t a, size_t b) { return request_.jds[a] < request_.jds[b]; };
  const size_t n = order_.size();
  if (width_ >= n) return true;
  const size_t middle = std::min(n, at_ + width_), end = std::min(n, at_ + 2 * width_);
  std::inplace_merge(order_.begin() + at_, order_.begin() + middle, order_.begin() + end, earlier);
  at_ = end;
  if (at_ >= n) {
    at_ = 0;
    width_ *= 2;
  }
  return width_ >= n;
}

bool PositionsPreparation::blank_step() {
  const size_t n = request_.jds.size(), b = request_.bodies.size();
  PositionColumns& out = columns_;
  const auto cell_columns = {&out.longitude, &out.latitude, &out.distance, &out.longitude_speed,
                             &out.latitude_speed, &out.distance_speed, &out.right_ascension,
                             &out.declination, &out.right_ascension_speed, &out.declination_speed};
  if (at_ == 0) {
    out.moments = n;
    out.bodies = b;
    for (auto* column : cell_columns) column->reserve(n * b);
    for (auto* column : {&out.ayanamsa, &out.obliquity, &out.sidereal_time}) column->reserve(n);
  }
  const size_t end = std::min(n * b, at_ + kBlankedPerStep);
  for (auto* column : cell_columns) column->resize(end, kNaN);
  const size_t moments = b == 0 ? n : std::min(n, (end + b - 1) / b);
  out.ayanamsa.resize(moments, 0.0);
  out.obliquity.resize(moments, kNaN);
  out.sidereal_time.resize(moments, kNaN);
  at_ = end;
  return end == n * b;
}

std::optional<PositionsFailure> fill_positions_in_order(const KernelSet& kernels,
                                                        const PositionsRequest& request,
                                                        std::span<const size_t> moments,
                                                        std::atomic<size_t>* skip_from,
                                                        PositionColumns* columns) {
  return fill_moments(kernels, request, moments.size(), [moments](size_t n) { return moments[n]; },
                      skip_from, columns);
}

Expected<PositionColumns, PositionsFailure> positions(const KernelSet& kernels,
                                                      const PositionsRequest& request) {
  if (auto refused = check_positions_request(kernels, request)) return unexpected(*refused);
  PositionColumns out = blank_positions(request);
  const std::vector<size_t> order = fill_order(request);
  std::atomic<size_t> skip_from = order.size();
  if (auto failed = fill_positions_in_order(kernels, request, order, &skip_from, &out)) {
    return unexpected(*failed);
  }
  return out;
}

}  // namespace quorvane
