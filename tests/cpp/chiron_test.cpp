#include "quorvane/astronomy/chiron.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <sstream>
#include <thread>
#include <vector>

#include "generated/chiron_block.hpp"
#include "support.hpp"

namespace {

namespace chiron = quorvane::chiron;
using quorvane::generated::chiron_block;
using quorvane::generated::chiron_block_size;

constexpr double kArcsec = std::numbers::pi / 648000.0;
constexpr double kDeg = 180.0 / std::numbers::pi;

double le_double(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return std::bit_cast<double>(v);
}

// Signed difference of two longitudes in degrees, in (-180, 180].
double angle_diff(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d <= -180.0) d += 360.0;
  return d;
}

TEST(ChironBlock, HeaderAndSize) {
  ASSERT_EQ(chiron_block_size, 220580u);
  EXPECT_EQ(le_double(chiron_block), 2396392.5);
  EXPECT_EQ(le_double(chiron_block + 8), 4.0);
  const uint32_t count = chiron_block[16] | chiron_block[17] << 8 | chiron_block[18] << 16 |
                         static_cast<uint32_t>(chiron_block[19]) << 24;
  EXPECT_EQ(count, 27570u);
  EXPECT_EQ(chiron_block_size, 20 + 8 * std::size_t{count});
  EXPECT_EQ(chiron::table().size(), 27570u);
}

TEST(ChironBlock, DecodeRejectsShortOrMiscountedBlocks) {
  EXPECT_FALSE(chiron::decode(chiron_block, chiron_block_size - 1));
  EXPECT_FALSE(chiron::decode(chiron_block, 19));
  std::vector<unsigned char> copy(chiron_block, chiron_block + chiron_block_size);
  copy[16] += 1;  // count 27571: one value short
  EXPECT_FALSE(chiron::decode(copy.data(), copy.size()));
  copy.push_back(0);
  copy.insert(copy.end(), 7, 0);
  EXPECT_FALSE(chiron::decode(copy.data(), copy.size())) << "only the fixed count is accepted";
  const auto decoded = chiron::decode(chiron_block, chiron_block_size);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, chiron::table());
}

TEST(ChironBlock, ConcurrentFirstUseSeesOneTable) {
  std::vector<const std::vector<double>*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) threads.emplace_back([t, &seen] { seen[t] = &chiron::table(); });
  for (auto& thread : threads) thread.join();
  for (const auto* table : seen) EXPECT_EQ(table, seen[0]);
}

// The published sample values, turn count included (the table is unwrapped
// from the same turn as index 0).
TEST(ChironTable, SampleValuesWithinTwoArcseconds) {
  const auto& t = chiron::table();
  const std::pair<std::size_t, double> samples[] = {{0, 4.0651111149720665},
                                                    {1, 4.072503531590821},
                                                    {13788, 23.24011305610913},
                                                    {27569, 42.176908510750195}};
  for (const auto& [index, value] : samples)
    EXPECT_NEAR(t[index], value, 2.0 * kArcsec) << "index " << index;
  // 2000-01-01 reduces to 251.560394 degrees.
  const auto at2000 = chiron::position(2451544.5, 0.0);
  ASSERT_TRUE(at2000);
  EXPECT_NEAR(at2000->longitude, 251.560394, 2.0 / 3600);
}

// Continuous: no step larger than Chiron's fastest geocentric motion in
// 4 days (42.8 km/s of relative speed at 7.28 au, about 0.78 degrees).
TEST(ChironTable, NoJumpBeyondChironsFastestMotion) {
  const auto& t = chiron::table();
  const double bound = 4 * 86400 * (30.3 + 12.5) / ((8.3 - 1.017) * 149597870.7);
  double largest = 0.0;
  for (std::size_t i = 1; i < t.size(); ++i) largest = std::max(largest, std::abs(t[i] - t[i - 1]));
  EXPECT_LT(largest, bound);
  EXPECT_GT(largest, 0.5 * bound) << "the table barely moves";
}

TEST(ChironLookup, ExistsFrom1849January4To2150November30) {
  const double first = 2396396.5;  // 1849-01-04 00:00 UT, k = 1
  const double end = 2506664.5;    // 2150-11-30 00:00 UT, k = 27568
  EXPECT_TRUE(chiron::position(first, 0.0));
  EXPECT_FALSE(chiron::position(std::nextafter(first, 0.0), 0.0));
  EXPECT_FALSE(chiron::position(2396392.5, 0.0));
  EXPECT_FALSE(chiron::position(2396388.6, 0.0)) << "k truncates toward zero";
  EXPECT_FALSE(chiron::position(2000000.0, 0.0));
  EXPECT_TRUE(chiron::position(std::nextafter(end, 0.0), 0.0));
  EXPECT_FALSE(chiron::position(end, 0.0));
  EXPECT_FALSE(chiron::position(2600000.0, 0.0));
  EXPECT_FALSE(chiron::position(std::numeric_limits<double>::quiet_NaN(), 0.0));
  EXPECT_FALSE(chiron::position(std::numeric_limits<double>::infinity(), 0.0));
  EXPECT_FALSE(chiron::position(-std::numeric_limits<double>::infinity(), 0.0));
  EXPECT_FALSE(chiron::position(1e300, 0.0));
}

TEST(ChironLookup, PassesThroughTheTableAtNodes) {
  const auto& t = chiron::table();
  for (std::size_t k : {1u, 2u, 1000u, 13788u, 20001u, 27567u}) {
    const auto p = chiron::position(chiron::kFirstJd + chiron::kStep * k, 0.0);
    ASSERT_TRUE(p) << k;
    const double expected = std::fmod(t[k] * kDeg, 360.0);
    EXPECT_NEAR(angle_diff(p->longitude, expected), 0.0, 1e-12) << k;
    EXPECT_GE(p->longitude, 0.0);
    EXPECT_LT(p->longitude, 360.0);
  }
}

// Catmull-Rom reproduces quadratics exactly: value and derivative.
TEST(ChironLookup, InterpolatesAQuadraticExactly) {
  std::vector<double> values(10);
  const auto f = [](double x) { return 0.3 + 0.02 * x - 0.001 * x * x; };  // x = table index
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = f(static_cast<double>(i));
  for (double x : {1.0, 1.25, 3.5, 6.999, 7.0 - 1e-9}) {
    const double jd = chiron::kFirstJd + chiron::kStep * x;
    const auto p = chiron::interpolate(values, jd, 0.0);
    ASSERT_TRUE(p) << x;
    EXPECT_NEAR(p->longitude, f(x) * kDeg, 1e-9) << x;
    const double rate = (0.02 - 0.002 * x) / chiron::kStep * kDeg;  // degrees per day
    EXPECT_NEAR(p->speed, std::round(rate * 1e4) / 1e4, 1e-12) << x;
  }
  // k must leave a neighbour on each side: 0 < k < size - 2.
  EXPECT_FALSE(chiron::interpolate(values, chiron::kFirstJd + chiron::kStep * 8, 0.0));
  EXPECT_FALSE(chiron::interpolate(std::span<const double>(values.data(), 3),
                                   chiron::kFirstJd + chiron::kStep * 1.5, 0.0));
}

TEST(ChironLookup, LongitudeAndSpeedContinuousAcrossNodes) {
  for (std::size_t k = 2; k < chiron::kCount - 2; k += 97) {
    const double node = chiron::kFirstJd + chiron::kStep * k;
    const auto before = chiron::position(node - 1e-6, 0.0);
    const auto after = chiron::position(node + 1e-6, 0.0);
    ASSERT_TRUE(before && after) << k;
    // Chiron moves less than 0.2 degrees a day.
    EXPECT_LT(std::abs(angle_diff(after->longitude, before->longitude)), 0.2 * 2e-6) << k;
    EXPECT_NEAR(after->speed, before->speed, 1.5e-4) << k;
  }
}

// The speed is the derivative of the interpolated longitude, in degrees per
// day, and the retrograde flag follows its sign; Chiron turns retrograde for
// some five months of every year.
TEST(ChironLookup, SpeedAndRetrogradeSpells) {
  for (double year_start = 2397000.5; year_start < 2506000.0; year_start += 365.25 * 13) {
    int retrograde_days = 0;
    for (int d = 0; d < 365; ++d) {
      const double jd = year_start + d + 0.37;
      const auto p = chiron::position(jd, 0.0);
      const auto a = chiron::position(jd - 0.05, 0.0);
      const auto b = chiron::position(jd + 0.05, 0.0);
      ASSERT_TRUE(p && a && b);
      const double numeric = angle_diff(b->longitude, a->longitude) / 0.1;
      EXPECT_NEAR(p->speed, numeric, 2e-4) << jd;
      if (p->speed != 0.0) EXPECT_EQ(p->retrograde, p->speed < 0.0) << jd;
      retrograde_days += p->retrograde;
    }
    EXPECT_GT(retrograde_days, 120) << year_start;
    EXPECT_LT(retrograde_days, 190) << year_start;
  }
}

TEST(ChironLookup, AyanamsaIsSubtractedAndReduced) {
  for (double jd : {2396400.1, 2451544.5, 2460000.25, 2506600.9}) {
    const auto tropical = chiron::position(jd, 0.0);
    const auto sidereal = chiron::position(jd, 24.0);
    const auto wrapped = chiron::position(jd, 24.0 + 720.0);
    ASSERT_TRUE(tropical && sidereal && wrapped);
    EXPECT_NEAR(angle_diff(tropical->longitude - 24.0, sidereal->longitude), 0.0, 1e-9);
    EXPECT_NEAR(angle_diff(sidereal->longitude, wrapped->longitude), 0.0, 1e-9);
    EXPECT_GE(sidereal->longitude, 0.0);
    EXPECT_LT(sidereal->longitude, 360.0);
    EXPECT_EQ(tropical->speed, sidereal->speed);
  }
}

// Independent check: skyfield's apparent place (its own Delta T, light time,
// deflection, aberration and nutation) of the JPL HORIZONS states. The
// bound is that of the 4-day Catmull-Rom grid itself, up to about 0.25"
// (the table's own points agree with skyfield to 5 mas).
TEST(ChironLookup, AgreesWithSkyfieldOnHorizonsStates) {
  if (quorvane::testing::real_kernel_path().empty()) GTEST_SKIP() << "no real kernel";
  const std::string out = quorvane::testing::run_python("tests/cpp/reference/chiron_skyfield.py");
  ASSERT_FALSE(out.empty()) << "reference script failed";
  std::istringstream lines(out);
  double jd = 0.0, longitude = 0.0;
  int checked = 0;
  while (lines >> jd >> longitude) {
    const auto p = chiron::position(jd, 0.0);
    ASSERT_TRUE(p) << jd;
    EXPECT_NEAR(angle_diff(p->longitude, longitude) * 3600.0, 0.0, 0.3) << "UT " << jd;
    ++checked;
  }
  EXPECT_EQ(checked, 5);
}

}  // namespace
