#include "quorvane/election/election_search.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/time/julian_day.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr int64_t kMicrosPerMinute = 60'000'000;
// A moment this close before the next sunrise may already belong to the
// day that sunrise opens (the almanac's 0.05-day lead), so a cached day
// is not trusted there.
constexpr int64_t kSunriseLeadMicros = 72 * kMicrosPerMinute;

double jd_of(UtcInstant moment) { return julian_day_from_instant(moment); }

// The signed shorter arc from x to y, in [-180, 180).
double arc(double x, double y) { return normalize_degrees(y - x + 180.0) - 180.0; }

// Higher scores first under the total order of doubles.
bool scores_higher(double a, double b) {
  const auto key = [](double x) {
    const int64_t bits = std::bit_cast<int64_t>(x);
    return bits < 0 ? bits ^ INT64_MAX : bits;
  };
  return key(a) > key(b);
}

void sort_by_score(std::vector<ElectionWindow>& windows) {
  std::stable_sort(windows.begin(), windows.end(), [](const ElectionWindow& a, const ElectionWindow& b) {
    return scores_higher(a.score, b.score);
  });
}

// Interpolated longitude and speed of one body between two anchors, `u`
// hours after the first. The curve runs through the positions at 0, 1, 2
// and 3 hours: each anchor's longitude and that longitude advanced by its
// speed, which is the motion over the hour that follows.
struct Interpolated {
  double longitude;
  double speed;
};

Interpolated interpolate(const BodyPosition& a, const BodyPosition& b, double u) {
  const double p[4] = {a.longitude, normalize_degrees(a.longitude + a.speed / 24.0), b.longitude,
                       normalize_degrees(b.longitude + b.speed / 24.0)};
  const auto value = [&](double t) {
    const double i = std::floor(t);
    const int k = static_cast<int>(i);
    return normalize_degrees(p[k] + arc(p[k], p[k + 1]) * (t - i));
  };
  const double longitude = value(u);
  return {longitude, arc(longitude, value(u + 1.0)) * 24.0};
}

bool never_retrograde(std::string_view name) {
  return name == "Sun" || name == "Moon" || name == "Lilith";
}

uint32_t* count_for(Exclusions& excluded, std::string_view reason) {
  if (reason == "void_moon") return &excluded.void_moon;
  if (reason == "mercury_retrograde") return &excluded.mercury_retrograde;
  if (reason == "venus_retrograde") return &excluded.venus_retrograde;
  if (reason == "night") return &excluded.night;
  if (reason == "outside_hours") return &excluded.outside_hours;
  return nullptr;
}

}  // namespace

Sampler::Sampler(const KernelSet& kernels, UtcInstant start, std::string_view ayanamsa_code,
                 bool sidereal)
    : kernels_(kernels), start_(start), ayanamsa_code_(ayanamsa_code), sidereal_(sidereal) {}

Expected<std::shared_ptr<const Sampler::Anchor>, EngineError> Sampler::anchor(int64_t k) {
  for (const auto& cached : anchors_) {
    if (cached->index == k) return cached;
  }
  const double jd = jd_of(UtcInstant(start_.micros() + k * kAnchorMicros));
  const double offset = sidereal_ ? ayanamsa_info(ayanamsa_code_, jd).value : 0.0;
  auto computed = planets_and_sidereal_time(kernels_, jd, offset);
  if (!computed) return unexpected(computed.error());
  auto made = std::make_shared<Anchor>();
  made->index = k;
  made->bodies = std::move(computed->bodies);
  made->sidereal_time = computed->sidereal_time;
  if (anchors_.size() == 3) anchors_.erase(anchors_.begin());
  anchors_.push_back(made);
  return std::shared_ptr<const Anchor>(std::move(made));
}

Expected<SampledChart, EngineError> Sampler::chart(UtcInstant moment, HouseSystem system,
                                                   double latitude, double longitude) {
  const double h = static_cast<double>(moment.micros() - start_.micros()) / 1e6 / 3600.0;
  const int64_t k = static_cast<int64_t>(std::floor(h / 2.0));
  const double u = h - 2.0 * static_cast<double>(k);
  auto first = anchor(k);
  if (!first) return unexpected(first.error());
  auto second = anchor(k + 1);
  if (!second) return unexpected(second.error());
  const Anchor& a = **first;
  const Anchor& b = **second;

  std::vector<BodyView> bodies;
  bodies.reserve(a.bodies.size() + 2);
  for (const BodyPosition& body : a.bodies) {
    if (u == 0.0) {
      bodies.push_back({body.name, body.longitude, body.speed, body.retrograde});
      continue;
    }
    const BodyPosition* next = first_named(b.bodies, body.name);
    if (!next) continue;
    const Interpolated at = interpolate(body, *next, u);
    bodies.push_back({body.name, at.longitude, at.speed, at.speed < 0.0 && !never_retrograde(body.name)});
  }

  SampledChart out;
  out.sidereal_time = a.sidereal_time;
  if (u != 0.0) {
    // Sidereal time wraps once a day; unwrap it across the two anchors.
    const double s1 = b.sidereal_time < a.sidereal_time ? b.sidereal_time + 24.0 : b.sidereal_time;
    double s = std::fmod(a.sidereal_time + (u / 2.0) * (s1 - a.sidereal_time), 24.0);
    if (s < 0.0) s += 24.0;
    out.sidereal_time = s;
  }
  const double jd = jd_of(moment);
  const double offset = sidereal_ ? ayanamsa_info(ayanamsa_code_, jd).value : 0.0;
  double sun_longitude = kNoSun;
  for (const BodyView& body : bodies) {
    if (body.name == "Sun") sun_longitude = body.longitude + offset;
  }
  const HouseResult houses = houses_at_sidereal_time(system, jd, out.sidereal_time, latitude,
                                                     longitude, offset, sun_longitude,
                                                     true_obliquity ? orientation_2000b(Time::from_ut1(jd)).deps * kDegreesPerRadian : 0.0);
  out.cusps = houses.cusps;
  out.placements = placements(std::move(bodies), houses.cusps, houses.ascendant, houses.midheaven);
  return out;
}

SolarDays::SolarDays(const KernelSet& kernels, double latitude, double longitude,
                     std::optional<SunEvents> events)
    : kernels_(kernels), latitude_(latitude), longitude_(longitude), events_(std::move(events)) {}

PlanetaryHours SolarDays::hours(UtcInstant moment) {
  if (events_) {
    if (auto triple = events_->rise_set(jd_of(moment))) {
      return with_texts(solar_day_of(kernels_, *triple, moment, latitude_, longitude_), moment);
    }
  }
  // Near the poles a day can end abruptly, so the cached one is not reused there.
  const int64_t ahead = moment.micros() + kSunriseLeadMicros;
  const bool reuse = std::fabs(latitude_) < 60.0 && cached_ && cached_->computed &&
                     cached_->sunrise.micros() <= ahead && ahead < cached_->next_sunrise.micros();
  if (!reuse) cached_ = solar_day(kernels_, moment, latitude_, longitude_);
  return with_texts(*cached_, moment);
}

PlanetaryHours SolarDays::with_texts(const SolarDay& day, UtcInstant moment) {
  PlanetaryHours out = hour_within(day, moment);
  if (sunrise_text_.empty() || day.sunrise != sunrise_) {
    sunrise_ = day.sunrise;
    sunrise_text_ = day.sunrise.isoformat();
  }
  if (sunset_text_.empty() || day.sunset != sunset_) {
    sunset_ = day.sunset;
    sunset_text_ = day.sunset.isoformat();
  }
  out.sunrise = sunrise_text_;
  out.sunset = sunset_text_;
  return out;
}

Expected<ElectionSearch, EngineError> search_elections(const KernelSet& kernels,
                                                       const ChartRequest& request, UtcInstant end,
                                                       const ElectionCriteria& criteria) {
  auto resolved = criteria.resolve();
  if (!resolved) return unexpected(resolved.error());
  const ElectionCriteria::Resolved& rules = *resolved;
  const UtcInstant start = request.moment;

  // Instants far apart (parsed texts reach beyond datetime's years) would overflow 64 bits.
  const double span =
      static_cast<double>(static_cast<__int128>(end.micros()) - start.micros()) / 1e6 / 86'400.0;
  if (span <= 0.0) {
    return unexpected(EngineError::invalid_input("the search must end after it starts"));
  }
  if (span > kMaxSearchDays) {
    return unexpected(EngineError::invalid_input(
        format("a search spans at most %d days", static_cast<int>(kMaxSearchDays))));
  }

  const double start_jd = jd_of(start);
  const double end_jd = jd_of(end);
  if (kernels.empty()) return unexpected(EngineError::out_of_range(start_jd, std::nullopt));
  // The last sample's speeds and sun events reach past the end itself.
  for (const double jd : {start_jd, end_jd + 0.125}) {
    if (!kernels.for_jd(jd)) return unexpected(EngineError::out_of_range(jd, kernels.coverage()));
  }

  const HouseSystem system = HouseSystem::from_code(request.house_system);
  const bool sidereal = zodiac_type_from_text(request.zodiac_type) == ZodiacType::Sidereal;
  const std::string_view code = ayanamsa(request.ayanamsa).code;

  auto events = SunEvents::find(kernels, start_jd - 1.6, end_jd + 1.6, request.latitude,
                                request.longitude);
  SolarDays days(kernels, request.latitude, request.longitude,
                 events ? std::move(*events) : std::optional<SunEvents>());
  Sampler sampler(kernels, start, code, sidereal);
  sampler.true_obliquity = request.house_obliquity == "true";

  ElectionSearch result;
  result.start = start;
  result.end = end;
  result.criteria = rules.summary();
  std::optional<ElectionWindow> open;
  const auto close = [&] {
    if (open) {
      result.windows.push_back(std::move(*open));
      open.reset();
    }
  };

  const int64_t step = static_cast<int64_t>(rules.step_minutes) * kMicrosPerMinute;
  for (int64_t t = start.micros(); t <= end.micros(); t += step) {
    const UtcInstant moment(t);
    // Excluded hours are dropped before any chart work.
    if (!rules.within_local_hours(moment)) {
      ++result.excluded.outside_hours;
      close();
      continue;
    }
    const PlanetaryHours hours = days.hours(moment);
    if (rules.daytime_only && !hours.is_day) {
      ++result.excluded.night;
      close();
      continue;
    }
    auto sample = sampler.chart(moment, system, request.latitude, request.longitude);
    if (!sample) return unexpected(sample.error());
    auto data = assess(sample->placements, sample->cusps, hours, moment, rules);
    if (!data) return unexpected(data.error());
    ++result.evaluated;
    if (!data->excluded_by.empty()) {
      if (uint32_t* count = count_for(result.excluded, data->excluded_by.front())) ++*count;
      close();
      continue;
    }
    if (data->score < rules.min_score) {
      close();
      continue;
    }
    if (!open) {
      open = ElectionWindow{moment, moment, moment, data->score, data->verdict,
                            std::move(data->factors)};
    } else {
      open->end = moment;
      if (data->score > open->score) {
        open->best = moment;
        open->score = data->score;
        open->verdict = data->verdict;
        open->factors = std::move(data->factors);
      }
    }
  }
  close();

  sort_by_score(result.windows);
  if (result.windows.size() > rules.max_results) result.windows.resize(rules.max_results);
  for (ElectionWindow& window : result.windows) {
    ChartRequest exact = request;
    exact.moment = window.best;
    auto first = sky(kernels, exact);
    if (!first) return unexpected(first.error());
    auto data = assess(first->placements, first->cusps, days.hours(window.best), window.best, rules);
    if (!data) return unexpected(data.error());
    window.score = data->score;
    window.verdict = data->verdict;
    window.factors = std::move(data->factors);
  }
  sort_by_score(result.windows);
  return result;
}

void write(RecordWriter& out, const ElectionWindow& w) {
  ObjectWriter(out)
      .field("start", w.start.isoformat())
      .field("end", w.end.isoformat())
      .field("best", w.best.isoformat())
      .field("score", w.score)
      .field("verdict", w.verdict)
      .field("factors", w.factors);
}

void write(RecordWriter& out, const Exclusions& e) {
  ObjectWriter(out)
      .field("void_moon", e.void_moon)
      .field("mercury_retrograde", e.mercury_retrograde)
      .field("venus_retrograde", e.venus_retrograde)
      .field("night", e.night)
      .field("outside_hours", e.outside_hours);
}

void write(RecordWriter& out, const ElectionSearch& s) {
  ObjectWriter(out)
      .field("start", s.start.isoformat())
      .field("end", s.end.isoformat())
      .field("windows", s.windows)
      .field("evaluated", s.evaluated)
      .field("excluded", s.excluded)
      .field("criteria", s.criteria);
}

}  // namespace quorvane
