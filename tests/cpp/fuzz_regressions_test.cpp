// Replays the inputs the fuzz targets of bench/fuzz/ once failed on, kept
// under tests/cpp/fuzz_regressions/<target>/, through the same bodies with
// their checks turned into test failures; and pins down the behaviour each
// fix chose at the ends of the 64-bit time line.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "bench/fuzz/calendar_body.hpp"
#include "bench/fuzz/criteria_body.hpp"
#include "bench/fuzz/instant_body.hpp"
#include "bench/fuzz/orbs_body.hpp"
#include "quorvane/election/election_criteria.hpp"
#include "quorvane/time/instant.hpp"

void quorvane::fuzz::check_failed(const char* condition, const char* file, int line) {
  ADD_FAILURE_AT(file, line) << "fuzz check failed: " << condition;
}

namespace quorvane {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputs_of(const char* target) {
  const fs::path dir = fs::path(QUORVANE_SOURCE_DIR) / "tests/cpp/fuzz_regressions" / target;
  std::vector<fs::path> files;
  if (fs::is_directory(dir)) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  return files;
}

std::vector<uint8_t> bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void replay(const char* target, void (*body)(const uint8_t*, size_t)) {
  for (const fs::path& path : inputs_of(target)) {
    SCOPED_TRACE(path.string());
    const std::vector<uint8_t> data = bytes_of(path);
    body(data.data(), data.size());
  }
}

TEST(FuzzRegressions, KeptInputsPassTheirTargets) {
  replay("instant", fuzz::fuzz_instant);
  replay("orbs", fuzz::fuzz_orbs);
  replay("calendar", fuzz::fuzz_calendar);
  replay("criteria", fuzz::fuzz_criteria);
}

TEST(FuzzRegressions, EveryTargetKeepsInputs) {
  // An emptied directory would make the replay above pass vacuously.
  for (const char* target : {"instant", "orbs", "calendar", "criteria"}) {
    EXPECT_FALSE(inputs_of(target).empty()) << target;
  }
}

constexpr int64_t kLast = std::numeric_limits<int64_t>::max();
constexpr int64_t kFirst = std::numeric_limits<int64_t>::min();

TEST(FuzzRegressions, TextsReachExactlyToTheEndOfTheCount) {
  auto last = UtcInstant::parse("294247-01-10T04:00:54.775807Z");
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->micros(), kLast);
  // One microsecond, or a year, further no longer fits: invalid, not wrapped.
  EXPECT_FALSE(UtcInstant::parse("294247-01-10T04:00:54.775808Z").has_value());
  EXPECT_FALSE(UtcInstant::parse("2022000-01-01 12:00").has_value());
  EXPECT_FALSE(UtcInstant::parse("2147483647-12-31T23:59:59.999999Z").has_value());
}

TEST(FuzzRegressions, CivilFieldsOfTheExtremeInstants) {
  const CivilFields last = UtcInstant(kLast).civil();
  EXPECT_EQ(last.year, 294247);
  EXPECT_EQ(last.month, 1u);
  EXPECT_EQ(last.day, 10u);
  EXPECT_EQ(last.hour, 4u);
  EXPECT_EQ(last.second, 54u);
  EXPECT_EQ(last.microsecond, 775807u);
  const CivilFields first = UtcInstant(kFirst).civil();
  EXPECT_EQ(first.year, -290308);
  EXPECT_EQ(first.month, 12u);
  EXPECT_EQ(first.day, 21u);
  EXPECT_EQ(first.hour, 19u);
  EXPECT_EQ(first.minute, 59u);
  EXPECT_EQ(first.microsecond, 224192u);
  for (int64_t micros : {kLast, kFirst, kFirst + 1, int64_t{-1}}) {
    const CivilFields c = UtcInstant(micros).civil();
    EXPECT_EQ(UtcInstant::from_civil(c.year, c.month, c.day, c.hour, c.minute, c.second,
                                     c.microsecond)
                  .micros(),
              micros);
  }
}

TEST(FuzzRegressions, LocalHoursSaturateAtTheEndOfTheCount) {
  auto criteria = ElectionCriteria::from_text(
      R"({"local_hours": {"from": 4, "to": 5},
          "utc_offsets": [{"from": "2024-06-01T00:00:00Z", "minutes": 120}]})");
  ASSERT_TRUE(criteria.has_value());
  auto resolved = criteria->resolve();
  ASSERT_TRUE(resolved.has_value());
  // The last instant is 04:00 UTC; two hours ahead stays pinned there
  // instead of wrapping round to the first instant's 21:59.
  EXPECT_TRUE(resolved->within_local_hours(UtcInstant(kLast)));
  EXPECT_FALSE(resolved->within_local_hours(UtcInstant(kFirst)));
}

}  // namespace
}  // namespace quorvane
