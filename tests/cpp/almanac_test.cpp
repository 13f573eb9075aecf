#include "quorvane/astronomy/almanac.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "quorvane/time/time_scales.hpp"
#include "support.hpp"

namespace {

using quorvane::Expected;
using quorvane::find_transitions;
using quorvane::KernelSet;
using quorvane::rise_set;
using quorvane::select_rise_set;
using quorvane::SpkError;
using quorvane::SunEvents;
using quorvane::SurfaceObserver;
using quorvane::Transition;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMillisecond = 1.1574074074074074e-8;

using quorvane::testing::de440;

#define REQUIRE_DE440()                                      \
  const KernelSet* kernels = de440();                        \
  if (!kernels) GTEST_SKIP() << "JPL DE440 is not installed"; \
  const quorvane::Kernel& kernel = kernels->kernels().front()

std::string num(double x) {
  std::ostringstream s;
  s.precision(17);
  s << x;
  return s.str();
}

double tt_of_ut(double jd) {
  const quorvane::Time t = quorvane::Time::from_ut1(jd);
  return t.whole + t.tt_fraction;
}

double ut_of_tt(double tt) {
  const double whole = std::floor(tt);
  const quorvane::Time t = quorvane::Time::from_tt(whole, tt - whole);
  return t.whole + t.ut1_fraction;
}

struct ReferenceEvent {
  double tt;
  double ut;
  bool up;
};

struct Place {
  const char* name;
  double lat;
  double lon;
  double jd;  // UT
};

// skyfield's risings and settings over jd ± 1.5 days at each place, from one
// run of the reference script.
std::vector<std::vector<ReferenceEvent>> reference_events(const std::vector<Place>& places) {
  std::vector<std::string> args = {"events"};
  for (const Place& p : places) {
    for (double v : {p.lat, p.lon, p.jd - 1.5, p.jd + 1.5}) args.push_back(num(v));
  }
  std::istringstream lines(quorvane::testing::run_python("tests/cpp/reference/sun_events.py", args));
  std::vector<std::vector<ReferenceEvent>> out;
  std::vector<ReferenceEvent> events;
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "--") {
      out.push_back(std::move(events));
      events.clear();
      continue;
    }
    std::istringstream fields(line);
    ReferenceEvent e;
    int state = 0;
    fields >> e.tt >> e.ut >> state;
    e.up = state != 0;
    events.push_back(e);
  }
  return out;
}

// ---- the observer on the ellipsoid ----

TEST(AlmanacObserver, Wgs84Geometry) {
  constexpr double kAuKm = 149597870.7;
  const SurfaceObserver equator = SurfaceObserver::at(0.0, 0.0);
  EXPECT_NEAR(equator.position[0] * kAuKm, 6378.137, 1e-6);
  EXPECT_NEAR(equator.position[1], 0.0, 1e-20);
  EXPECT_NEAR(equator.velocity[1] * kAuKm / 86400.0, 0.46510, 1e-5);  // km/s at the equator

  const SurfaceObserver pole = SurfaceObserver::at(90.0, 30.0);
  EXPECT_NEAR(pole.position[2] * kAuKm, 6356.752314, 1e-5);
  EXPECT_NEAR(pole.up[2], 1.0, 1e-15);

  // East of Greenwich is +y.
  const SurfaceObserver tokyo = SurfaceObserver::at(35.68, 139.69);
  EXPECT_GT(tokyo.position[1], 0.0);
  EXPECT_LT(tokyo.position[0], 0.0);

  // "Up" is the ellipsoid normal: at 45 degrees it leans 0.1924 degrees
  // poleward of the geocentric direction.
  const SurfaceObserver mid = SurfaceObserver::at(45.0, 10.0);
  const double cos_angle = quorvane::dot(mid.up, mid.position) / quorvane::length(mid.position);
  EXPECT_NEAR(std::acos(cos_angle) * 180.0 / M_PI, 0.19242, 2e-4);
}

// ---- the search, with an injected Sun-up test ----

struct Counting {
  std::vector<double> crossings;  // the state flips at each of these
  bool initially_up = false;
  int calls = 0;
  Expected<bool, SpkError> operator()(double t) {
    ++calls;
    bool up = initially_up;
    for (double c : crossings)
      if (t >= c) up = !up;
    return up;
  }
};

TEST(AlmanacSearch, NarrowsEveryChangeToOneMillisecondAfterIt) {
  Counting test{{0.2731, 0.7912345, 1.26, 1.77777, 2.3}, false};
  auto found = find_transitions(0.0, 3.0, std::ref(test));
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 5u);
  for (size_t i = 0; i < found->size(); ++i) {
    const Transition& t = (*found)[i];
    EXPECT_EQ(t.up, i % 2 == 0);
    EXPECT_GE(t.tt, test.crossings[i]);
    EXPECT_LE(t.tt - test.crossings[i], kMillisecond);
  }
  // 3 / 0.04 gives 75 interior steps: 77 points, then seven elevenfold
  // passes over each of the five brackets, asking for its ten inner points.
  EXPECT_EQ(test.calls, 77 + 7 * 10 * 5);
}

TEST(AlmanacSearch, GridEndsAndDegenerateSpans) {
  Counting constant{{}, true};
  auto none = find_transitions(10.0, 13.0, std::ref(constant));
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  EXPECT_EQ(constant.calls, 77);

  // A flip exactly at the span's end is found at the end itself.
  Counting at_end{{13.0}, false};
  auto last = find_transitions(10.0, 13.0, std::ref(at_end));
  ASSERT_TRUE(last);
  ASSERT_EQ(last->size(), 1u);
  EXPECT_EQ(last->front().tt, 13.0);
  EXPECT_TRUE(last->front().up);

  // A reversed or empty span samples its two ends only.
  Counting reversed{{}, false};
  ASSERT_TRUE(find_transitions(5.0, 4.0, std::ref(reversed)));
  EXPECT_EQ(reversed.calls, 2);
  Counting nan_span{{}, false};
  ASSERT_TRUE(find_transitions(5.0, NAN, std::ref(nan_span)));
  EXPECT_EQ(nan_span.calls, 2);

  // Where doubles are too coarse for a millisecond (here 0.125 day apart)
  // the search still ends, at the narrowest brackets it can form.
  Counting coarse{{1e15 + 1.0}, false};
  auto rough = find_transitions(1e15, 1e15 + 3.0, std::ref(coarse));
  ASSERT_TRUE(rough);
  ASSERT_FALSE(rough->empty());
  EXPECT_TRUE(rough->back().up);
  EXPECT_LE(std::abs(rough->back().tt - (1e15 + 1.0)), 0.25);
  EXPECT_LT(coarse.calls, 1000);
}

TEST(AlmanacSearch, ChangesWithinOneGridStepAreNotSeen) {
  // Up for 20 minutes inside one 0.04-day step: both flips are lost, while
  // a longer gap that straddles a grid point is found.
  Counting brief{{1.001, 1.015, 2.01, 2.06}, false};
  auto found = find_transitions(0.0, 3.0, std::ref(brief));
  ASSERT_TRUE(found);
  ASSERT_EQ(found->size(), 2u);
  EXPECT_NEAR((*found)[0].tt, 2.01, kMillisecond);
  EXPECT_NEAR((*found)[1].tt, 2.06, kMillisecond);
}

TEST(AlmanacSearch, FirstErrorEndsTheSearch) {
  int calls = 0;
  auto failing = [&](double t) -> Expected<bool, SpkError> {
    ++calls;
    if (t > 1.0) return quorvane::unexpected(SpkError::not_covered(10, 0, t));
    return t > 0.5;
  };
  auto result = find_transitions(0.0, 3.0, failing);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().text().rfind("no SPK segment for 0 -> 10 covers ET", 0), 0u);
  EXPECT_EQ(calls, 27);  // 26 points up to t = 1.0, then the failing one
}

// ---- choosing the solar day ----

TEST(AlmanacChoice, SolarDayFromTransitions) {
  const double x = 2460000.0;  // UT
  const auto tt = [](double ut) { return tt_of_ut(ut); };
  const std::vector<Transition> days = {
      {tt(x - 0.75), true}, {tt(x - 0.25), false}, {tt(x + 0.04), true},
      {tt(x + 0.5), false}, {tt(x + 1.05), true},
  };
  // A rising 0.04 day after the moment already opens its solar day.
  auto triple = select_rise_set(days, x);
  EXPECT_NEAR(triple[0], x + 0.04, 1e-9);
  EXPECT_NEAR(triple[1], x + 0.5, 1e-9);
  EXPECT_NEAR(triple[2], x + 1.05, 1e-9);
  // The converted times are the TT times taken back to UT1 exactly.
  EXPECT_EQ(triple[0], ut_of_tt(days[2].tt));

  // Up to 0.05 day before a rising the moment belongs to the day it opens.
  auto before = select_rise_set(days, x - 0.0099);
  EXPECT_NEAR(before[0], x + 0.04, 1e-9);
  before = select_rise_set(days, x - 0.0101);
  EXPECT_NEAR(before[0], x - 0.75, 1e-9);
  EXPECT_NEAR(before[1], x - 0.25, 1e-9);
  EXPECT_NEAR(before[2], x + 0.04, 1e-9);
}

TEST(AlmanacChoice, SubstitutesForMissingEvents) {
  const double x = 2455000.3;
  EXPECT_EQ(select_rise_set({}, x), (quorvane::SolarDayTriple{x - 0.5, x, x + 0.5}));

  // A sunrise without a later sunset (the Sun stays up afterwards).
  const std::vector<Transition> rise_only = {{tt_of_ut(x - 0.2), true}};
  auto t = select_rise_set(rise_only, x);
  EXPECT_EQ(t[1], t[0] + 0.5);
  EXPECT_EQ(t[2], t[0] + 1.0);

  // Only a setting: no sunrise, so the day is built around x - 0.5 and the
  // setting is taken when it is at or after that.
  const std::vector<Transition> set_only = {{tt_of_ut(x + 0.1), false}};
  t = select_rise_set(set_only, x);
  EXPECT_EQ(t[0], x - 0.5);
  EXPECT_NEAR(t[1], x + 0.1, 1e-9);
  EXPECT_EQ(t[2], x + 0.5);

  // A second rising within 0.1 day of the first is not the next sunrise.
  const std::vector<Transition> close = {
      {tt_of_ut(x - 0.3), true}, {tt_of_ut(x - 0.28), false}, {tt_of_ut(x - 0.25), true}};
  t = select_rise_set(close, x);
  EXPECT_NEAR(t[0], x - 0.25, 1e-9);
  EXPECT_EQ(t[1], t[0] + 0.5);
  EXPECT_EQ(t[2], t[0] + 1.0);
}

// ---- against skyfield over DE440 ----

// Several latitudes, both hemispheres, all seasons, far east and far west.
const std::vector<Place> kPlaces = {
    {"London equinox", 51.5074, -0.1278, 2460389.8},
    {"London midsummer", 51.5074, -0.1278, 2460482.9},
    {"London midwinter", 51.5074, -0.1278, 2460665.1},
    {"Sydney summer", -33.8688, 151.2093, 2459960.2},
    {"Quito", -0.1807, -78.4678, 2455440.6},
    {"Tromso late winter", 69.6492, 18.9553, 2458909.5},
    {"Reykjavik autumn", 64.1466, -21.9426, 2451820.7},
    {"Honolulu", 21.3069, -157.8583, 2448000.5},
    {"Tokyo midsummer", 35.6762, 139.6503, 2460484.6},
    {"Cape Town winter", -33.9249, 18.4241, 2443700.4},
};

TEST(AlmanacReference, TransitionsAgreeWithSkyfield) {
  REQUIRE_DE440();
  const auto references = reference_events(kPlaces);
  ASSERT_EQ(references.size(), kPlaces.size());
  for (size_t place = 0; place < kPlaces.size(); ++place) {
    const Place& p = kPlaces[place];
    const auto& reference = references[place];
    ASSERT_FALSE(reference.empty()) << p.name;
    auto found = find_transitions(kernel, SurfaceObserver::at(p.lat, p.lon), tt_of_ut(p.jd - 1.5),
                                  tt_of_ut(p.jd + 1.5));
    ASSERT_TRUE(found) << p.name << ": " << found.error().text();
    ASSERT_EQ(found->size(), reference.size()) << p.name;
    for (size_t i = 0; i < reference.size(); ++i) {
      EXPECT_EQ((*found)[i].up, reference[i].up) << p.name << " #" << i;
      // Both searches stop within a millisecond of the crossing.
      EXPECT_NEAR((*found)[i].tt, reference[i].tt, 0.01 * kSecond) << p.name << " #" << i;
    }

    auto triple = rise_set(*kernels, p.jd, p.lat, p.lon);
    ASSERT_TRUE(triple) << p.name << ": " << triple.error().text();
    const bool kinds[3] = {true, false, true};
    for (int k = 0; k < 3; ++k) {
      double best = INFINITY;
      for (const auto& r : reference)
        if (r.up == kinds[k]) best = std::min(best, std::abs(r.ut - (*triple)[k]));
      EXPECT_LE(best, 0.01 * kSecond) << p.name << " element " << k;
    }
    EXPECT_LE((*triple)[0], p.jd + 0.05) << p.name;
    EXPECT_GT((*triple)[0], p.jd - 1.05) << p.name;
    EXPECT_LT((*triple)[0], (*triple)[1]) << p.name;
    EXPECT_LT((*triple)[1], (*triple)[2]) << p.name;
  }
}

TEST(AlmanacReference, AltitudeAgreesWithSkyfield) {
  REQUIRE_DE440();
  const double tts[] = {2451545.0, 2451545.31, 2455197.77, 2460482.9, 2460483.15};
  std::vector<std::string> args = {"altitude", "-33.8688", "151.2093"};
  for (double t : tts) args.push_back(num(t));
  std::istringstream out(quorvane::testing::run_python("tests/cpp/reference/sun_events.py", args));
  const SurfaceObserver site = SurfaceObserver::at(-33.8688, 151.2093);
  for (double t : tts) {
    double expected;
    ASSERT_TRUE(out >> expected);
    auto altitude = quorvane::sun_altitude(kernel, site, t);
    ASSERT_TRUE(altitude);
    EXPECT_NEAR(*altitude, expected, 0.01 / 3600.0) << "TT " << num(t);
  }
}

TEST(AlmanacReference, PolarDayAndNightGiveTheFallbackDay) {
  REQUIRE_DE440();
  (void)kernel;
  for (double jd : {2460482.6 /* June: midnight sun */, 2460665.6 /* December: polar night */}) {
    for (auto [lat, lon] : {std::pair{78.2232, 15.6267}, std::pair{-77.85, 166.67}}) {
      auto triple = rise_set(*kernels, jd, lat, lon);
      ASSERT_TRUE(triple);
      EXPECT_EQ(*triple, (quorvane::SolarDayTriple{jd - 0.5, jd, jd + 0.5})) << lat << " " << jd;
    }
  }
}

TEST(AlmanacReference, MomentsJustBeforeSunrise) {
  REQUIRE_DE440();
  (void)kernel;
  const double lat = 48.8566, lon = 2.3522;  // Paris
  auto today = rise_set(*kernels, 2460400.0, lat, lon);
  ASSERT_TRUE(today);
  const double sunrise = (*today)[0];
  auto sixty = rise_set(*kernels, sunrise - 60.0 / 1440.0, lat, lon);
  ASSERT_TRUE(sixty);
  EXPECT_NEAR((*sixty)[0], sunrise, 2 * kMillisecond);
  auto eighty = rise_set(*kernels, sunrise - 80.0 / 1440.0, lat, lon);
  ASSERT_TRUE(eighty);
  EXPECT_NEAR((*eighty)[0], sunrise - 1.0, 0.01);
  EXPECT_NEAR((*eighty)[2], sunrise, 2 * kMillisecond);
}

TEST(AlmanacReference, CoverageErrors) {
  auto none = rise_set(KernelSet{}, 2451545.0, 0.0, 0.0);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().text(), "JD 2451545.0 cannot be computed: no ephemeris loaded");
  auto none_span = SunEvents::find(KernelSet{}, 2451545.0, 2451550.0, 0.0, 0.0);
  ASSERT_FALSE(none_span);
  EXPECT_EQ(none_span.error().text(), "JD 2451545.0 cannot be computed: no ephemeris loaded");

  REQUIRE_DE440();
  const auto coverage = kernels->coverage();
  auto outside = rise_set(*kernels, 3000000.0, 10.0, 10.0);
  ASSERT_FALSE(outside);
  ASSERT_TRUE(std::holds_alternative<quorvane::OutOfRange>(outside.error().kind));
  EXPECT_EQ(std::get<quorvane::OutOfRange>(outside.error().kind).coverage, coverage);
  auto outside_span = SunEvents::find(*kernels, 3000000.0, 3000001.0, 10.0, 10.0);
  ASSERT_FALSE(outside_span);
  EXPECT_TRUE(std::holds_alternative<quorvane::OutOfRange>(outside_span.error().kind));

  // The day itself is covered but its window starts before the kernel does:
  // the kernel's own error comes back.
  auto edge = rise_set(*kernels, kernel.start() + 0.5, 10.0, 10.0);
  ASSERT_FALSE(edge);
  EXPECT_TRUE(std::holds_alternative<quorvane::SpkFailure>(edge.error().kind)) << edge.error().text();
  EXPECT_EQ(edge.error().text().rfind("no SPK segment for", 0), 0u) << edge.error().text();

  // A span whose end the kernel does not cover is nothing, not an error.
  auto beyond = SunEvents::find(*kernels, kernel.end() - 10.0, kernel.end() + 10.0, 10.0, 10.0);
  ASSERT_TRUE(beyond);
  EXPECT_FALSE(beyond->has_value());
}

TEST(AlmanacSunEvents, AgreesWithSingleDaysInsideTheSpan) {
  REQUIRE_DE440();
  (void)kernel;
  const double lat = 59.3293, lon = 18.0686;  // Stockholm, fast-changing days in spring
  const double start = 2460380.3, end = 2460392.3;
  auto events = SunEvents::find(*kernels, start, end, lat, lon);
  ASSERT_TRUE(events);
  ASSERT_TRUE(events->has_value());
  const SunEvents& span = **events;
  EXPECT_EQ(span.transitions().size(), 24u);

  int compared = 0;
  for (double jd = start + 1.5; jd <= end - 1.5; jd += 0.37) {
    auto cut = span.rise_set(jd);
    ASSERT_TRUE(cut.has_value()) << num(jd);
    auto single = rise_set(*kernels, jd, lat, lon);
    ASSERT_TRUE(single);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR((*cut)[k], (*single)[k], 2e-3 * kSecond) << num(jd);
    ++compared;
  }
  EXPECT_GE(compared, 20);

  // Nothing within 1.5 days of either end of the span.
  EXPECT_TRUE(span.rise_set(start + 1.5 + 1e-6).has_value());
  EXPECT_FALSE(span.rise_set(start + 1.5 - 1e-6).has_value());
  EXPECT_TRUE(span.rise_set(end - 1.5 - 1e-6).has_value());
  EXPECT_FALSE(span.rise_set(end - 1.5 + 1e-6).has_value());
  EXPECT_FALSE(span.rise_set(end - 0.2).has_value());
  EXPECT_FALSE(span.rise_set(NAN).has_value());
}

// ---- the guided search against asking every point ----

// Thousands of three-day windows across the kernel, half of them within
// four degrees of a polar circle where the Sun grazes the horizon: the
// search that asks only near each crossing finds the same transitions,
// bit for bit, as the one that asks every point of every bracket.
TEST(AlmanacGuided, SameTransitionsAsAskingEveryPoint) {
  REQUIRE_DE440();
  std::mt19937_64 rng(31);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int transitions = 0, grazing = 0;
  for (int i = 0; i < 3000; ++i) {
    const double jd = kernel.start() + 2.0 + unit(rng) * (kernel.end() - kernel.start() - 4.0);
    const double side = unit(rng) < 0.5 ? -1.0 : 1.0;
    const double lat = i % 2 == 0 ? side * (62.5 + 8.0 * unit(rng)) : -89.0 + 178.0 * unit(rng);
    const SurfaceObserver site = SurfaceObserver::at(lat, -180.0 + 360.0 * unit(rng));
    const double t0 = tt_of_ut(jd - 1.5), t1 = tt_of_ut(jd + 1.5);
    auto guided = find_transitions(kernel, site, t0, t1);
    auto scanned = find_transitions(kernel, site, t0, t1, quorvane::SunUpMethod::fitted_scan);
    ASSERT_TRUE(guided && scanned) << num(jd);
    ASSERT_EQ(guided->size(), scanned->size()) << num(jd) << " at " << lat;
    for (size_t k = 0; k < guided->size(); ++k) {
      EXPECT_EQ((*guided)[k].tt, (*scanned)[k].tt) << num(jd) << " at " << lat << " #" << k;
      EXPECT_EQ((*guided)[k].up, (*scanned)[k].up) << num(jd) << " at " << lat << " #" << k;
    }
    transitions += static_cast<int>(guided->size());
    grazing += guided->size() % 2 == 1 || (guided->size() > 0 && guided->size() < 4);
  }
  // The windows do reach the days with one rising or setting or none.
  EXPECT_GT(transitions, 12000);
  EXPECT_GT(grazing, 20);
}

}  // namespace
