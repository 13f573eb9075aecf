// The sky's events against their definitions, read straight off the
// positions (not off the sampled tracks the searches use), over random
// spans of 1900-2100.
#include "quorvane/events/events.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <utility>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/zodiac/zodiac.hpp"
#include "support.hpp"

namespace quorvane {
namespace {

constexpr double kMinute = 1.0 / 1440.0, kSecond = kMinute / 60.0;

struct Sky {
  const KernelSet& kernels;
  LongitudeSource source{kernels, ZodiacChoice{}};
  double at(int32_t code, double jd) const { return source.longitude(code, jd).value(); }
  int sign(int32_t code, double jd) const { return static_cast<int>(at(code, jd) / 30.0); }
  double speed(int32_t code, double jd) const {  // degrees a day
    return signed_difference(at(code, jd + 0.01), at(code, jd - 0.01)) / 0.02;
  }
  Vec3 gcrs(int32_t code, double jd) const {  // apparent, km
    auto sky = ApparentSky::geocentric(**choose_kernel(kernels, jd), Time::from_ut1(jd), orientation_2000b);
    return kAuKm * sky->gcrs(code).value();
  }
};

// The events of `days` from a random start in 1900-2100, one per seed.
std::vector<SkyEvent> search(const KernelSet& kernels, unsigned seed, double days, std::vector<std::string> kinds,
                             double& from) {
  std::mt19937 rng(seed);
  from = std::uniform_real_distribution<double>(2415020.5, 2488069.5 - days)(rng);
  return sky_events(kernels, EventsRequest{from, from + days, std::move(kinds), {}, {}, false}).value();
}

const EventDetail* detail(const SkyEvent& e, std::string_view key) {
  const auto d = std::find_if(e.details.begin(), e.details.end(), [&](const auto& d) { return d.key == key; });
  return d == e.details.end() ? nullptr : &*d;
}
double number(const SkyEvent& e, std::string_view key) { return std::get<double>(detail(e, key)->value); }
std::string text(const SkyEvent& e, std::string_view key) { return std::get<std::string>(detail(e, key)->value); }
// Degrees from the nearest multiple of 30.
double off30(double angle) { return signed_difference(angle, 30.0 * std::round(angle / 30.0)); }

#define NEED_DE440                                            \
  const KernelSet* kernels = testing::de440();                \
  if (!kernels) GTEST_SKIP() << "JPL DE440 is not installed"; \
  const Sky sky{*kernels};                                    \
  double from = 0.0

TEST(EventsLunations, ElongationExactAndNoneMissing) {
  NEED_DE440;
  for (unsigned seed : {1u, 2u, 3u}) {
    const auto found = search(*kernels, seed, 365.0, {"lunations"}, from);
    ASSERT_GE(found.size(), 48u);
    EXPECT_LT(found.front().jd - from, 9.0);
    EXPECT_LT(from + 365.0 - found.back().jd, 9.0);
    for (size_t i = 0; i < found.size(); ++i) {
      const SkyEvent& e = found[i];
      const double target = number(e, "elongation");
      EXPECT_LT(std::fabs(signed_difference(sky.at(301, e.jd) - sky.at(10, e.jd), target)), 1e-6) << e.jd;
      if (i == 0) continue;  // each a quarter on from the one before, none missed
      EXPECT_EQ(std::fmod(number(found[i - 1], "elongation") + 90.0, 360.0), target) << e.jd;
      EXPECT_LT(e.jd - found[i - 1].jd, 9.0);
    }
  }
}

// Every ingress puts the body on a sign boundary with the sign changing
// across it; every station is a change of the speed's sign; and a scan of
// the positions every six hours finds no more and no fewer of either.
TEST(EventsIngressesAndStations, OnTheBoundaryAndNoneMissing) {
  NEED_DE440;
  for (unsigned seed : {4u, 5u}) {
    std::map<int32_t, int> ingresses, stations;
    for (const SkyEvent& e : search(*kernels, seed, 365.0, {"ingresses", "stations"}, from)) {
      const int32_t code = *kernel_body_code(e.bodies.at(0));
      if (e.group == "stations") {
        ++stations[code];
        const double turn = e.kind == "retrograde_station" ? -1.0 : 1.0;  // the speed's sign after
        EXPECT_TRUE(turn * sky.speed(code, e.jd + kMinute) > 0.0 && turn * sky.speed(code, e.jd - kMinute) < 0.0)
            << e.bodies[0] << " " << e.jd;
        continue;
      }
      ++ingresses[code];
      EXPECT_LT(std::fabs(off30(sky.at(code, e.jd))), 1e-6) << e.bodies[0] << " " << e.jd;
      EXPECT_EQ(kSigns[sky.sign(code, e.jd + kMinute)].name, text(e, "sign"));
      EXPECT_EQ(kSigns[sky.sign(code, e.jd - kMinute)].name, text(e, "previous_sign"));
    }
    for (const Body& b : kKernelBodies) {
      int changes = 0, turns = 0, sign = sky.sign(b.naif_code, from), back = sky.speed(b.naif_code, from) < 0.0;
      for (int i = 1; i <= 1460; ++i) {
        const double t = from + (i == 1460 ? 365.0 : i * 0.25);
        const int now = sky.sign(b.naif_code, t), now_back = sky.speed(b.naif_code, t) < 0.0;
        changes += std::exchange(sign, now) != now;
        turns += std::exchange(back, now_back) != now_back;
      }
      EXPECT_EQ(ingresses[b.naif_code], changes) << b.name;
      EXPECT_EQ(stations[b.naif_code], turns) << b.name;
    }
  }
}

// A void-of-course period opens at an exact Ptolemaic aspect of the Moon
// to a counted planet (or at its ingress when it makes none in the sign),
// closes at its next ingress, and hourly samples find no aspect perfected
// in between.
TEST(EventsVoidOfCourse, FromTheLastAspectToTheIngress) {
  NEED_DE440;
  const auto aspect_off = [&](int32_t code, double jd) {  // from the nearest Ptolemaic aspect
    const double e = sky.at(301, jd) - sky.at(code, jd), off = off30(e);
    const int multiple = static_cast<int>(std::lround((e - off) / 30.0) % 12 + 12) % 12;
    return multiple % 2 == 0 || multiple % 3 == 0 ? off : 15.0;  // not 30, 150, 210 or 330
  };
  for (unsigned seed : {6u, 7u, 11u, 12u}) {
    const auto found = search(*kernels, seed, 60.0, {"void_of_course"}, from);
    ASSERT_GE(found.size(), 20u);
    for (const SkyEvent& e : found) {
      const double start = e.jd, end = *e.end;
      double off = std::fabs(off30(sky.at(301, start)));
      for (int32_t code : {10, 199, 299, 4, 5, 6}) off = std::min(off, std::fabs(aspect_off(code, start)));
      EXPECT_LT(off, 1e-6) << "opens at no aspect: " << start;
      EXPECT_LT(std::fabs(off30(sky.at(301, end))), 1e-6) << end;
      EXPECT_NE(sky.sign(301, end - kMinute), sky.sign(301, end + kMinute)) << end;
      EXPECT_EQ(sky.sign(301, start + kMinute), sky.sign(301, end - kMinute)) << start;
      for (int32_t code : {10, 199, 299, 4, 5, 6}) {
        for (double t = start + kMinute, before = aspect_off(code, t), now; t < end - kMinute; before = now) {
          now = aspect_off(code, t = std::min(t + 1.0 / 24.0, end - kMinute));
          EXPECT_FALSE(std::fabs(now) < 5.0 && (now < 0.0) != (before < 0.0)) << start << " at " << t;
        }
      }
    }
  }
}

// Solar: at greatest eclipse the shadow axis (through the apparent Sun and
// Moon) passes nearest the Earth's centre, |gamma| is that distance, and
// no eclipse season goes without one. Lunar: greatest eclipse is the Moon
// nearest the shadow's centre, and each contact is where that distance
// equals the shadow's radius (the Earth's enlarged by 1/85, Danjon's rule)
// plus or minus the Moon's, the contacts present as the type says.
TEST(EventsEclipses, GreatestAndContactsFromTheGeometry) {
  NEED_DE440;
  constexpr double kEarth = 6378.137, kSun = 696000.0, kMoon = 1737.4;  // km: WGS 84, IAU 2015, IAU
  const auto axis_distance = [&](double jd) {
    const Vec3 s = sky.gcrs(10, jd), m = sky.gcrs(301, jd), u = (s - m) / length(s - m);
    return length(m - dot(m, u) * u);
  };
  const auto shadow = [&](double jd, int k) {  // the Moon's distance from the centre less contact radius k
    const Vec3 s = sky.gcrs(10, jd), m = sky.gcrs(301, jd);
    const double earth = kEarth * 86.0 / 85.0;
    const double sun = std::asin(kSun / length(s)), moon = std::asin(kMoon / length(m));
    const double parallaxes = std::asin(earth / length(m)) + std::asin(earth / length(s));
    const double radius[] = {parallaxes + sun + moon, parallaxes - sun + moon, parallaxes - sun - moon};
    return std::acos(-dot(s, m) / (length(s) * length(m))) - radius[k];
  };
  const char* names[3][2] = {{"P1", "P4"}, {"U1", "U4"}, {"U2", "U3"}};
  for (unsigned seed : {8u, 9u, 10u}) {
    const auto found = search(*kernels, seed, 3652.5, {"eclipses"}, from);
    double last_solar = from;
    int solar = 0;
    for (const SkyEvent& e : found) {
      if (e.kind == "solar_eclipse") {
        const double d = axis_distance(e.jd);
        for (double step : {-kMinute, kMinute, -10 * kSecond, 10 * kSecond}) {
          EXPECT_LT(d, axis_distance(e.jd + step)) << e.jd;
        }
        EXPECT_NEAR(std::fabs(number(e, "gamma")), d / kEarth, 1e-6) << e.jd;
        EXPECT_LT(e.jd - std::exchange(last_solar, e.jd), 178.5);  // at most six lunations apart
        ++solar;
        continue;
      }
      for (double step : {-kMinute, kMinute}) EXPECT_LT(shadow(e.jd, 0), shadow(e.jd + step, 0)) << e.jd;
      const bool present[] = {true, text(e, "type") != "penumbral", text(e, "type") == "total"};
      // Inside the radius 2 s after the first contact of a pair, outside 2 s after the second.
      for (int c = 0; c < 6; ++c) {
        const int k = c / 2;
        const EventDetail* contact = detail(e, names[k][c % 2]);
        ASSERT_EQ(contact != nullptr, present[k]) << names[k][c % 2] << " " << e.jd;
        if (!contact) continue;
        const double t = std::get<double>(contact->value), inward = c % 2 == 0 ? 1.0 : -1.0;
        EXPECT_TRUE(inward * shadow(t - 2 * kSecond, k) > 0.0 && inward * shadow(t + 2 * kSecond, k) < 0.0)
            << names[k][c % 2] << " " << e.jd;
      }
    }
    EXPECT_LT(from + 3652.5 - last_solar, 178.5);
    EXPECT_GE(solar, 20);
    EXPECT_GE(found.size() - solar, 20u);
  }
}

}  // namespace
}  // namespace quorvane
