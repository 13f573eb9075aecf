#include "quorvane/traditional/degree_qualities.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "quorvane/zodiac/zodiac.hpp"

namespace {

using quorvane::degree_qualities;
using quorvane::DegreeQualities;

// A run list spelled out degree by degree (index 0 is degree 1).
std::array<std::string_view, 30> expand(std::span<const quorvane::DegreeRun> runs) {
  std::array<std::string_view, 30> out{};
  int degree = 1;
  for (const auto& run : runs) {
    while (degree <= run.end) out[static_cast<size_t>(degree++ - 1)] = run.quality;
  }
  return out;
}

TEST(DegreeQualityTable, ListSizesMatchLilly) {
  const auto table = quorvane::degree_quality_table();
  size_t pitted = 0, azimene = 0, fortune = 0;
  for (const auto& row : table) {
    pitted += row.pitted().size();
    azimene += row.azimene().size();
    fortune += row.fortune().size();
  }
  EXPECT_EQ(pitted, 61u);
  EXPECT_EQ(azimene, 28u);
  EXPECT_EQ(fortune, 35u);
  for (size_t s : {0u, 2u, 5u, 6u, 11u}) EXPECT_TRUE(table[s].azimene().empty()) << s;
  EXPECT_EQ(table[3].azimene().size(), 7u);  // Cancer: 9 to 15
  for (size_t s = 0; s < 12; ++s) EXPECT_EQ(table[s].sign, quorvane::kSigns[s].name);
}

// Every degree of every sign, looked up through a longitude inside it, gets
// the qualities of the run that covers it: catches off-by-one at run ends.
TEST(DegreeQualities, LookupAgreesWithTheRunsAtEveryDegree) {
  const auto table = quorvane::degree_quality_table();
  for (int s = 0; s < 12; ++s) {
    const auto gender = expand(table[static_cast<size_t>(s)].gender());
    const auto light = expand(table[static_cast<size_t>(s)].light());
    for (int d = 1; d <= 30; ++d) {
      for (double within : {d - 1.0, d - 0.5, d - 1e-9}) {
        const DegreeQualities q = degree_qualities(30.0 * s + within);
        ASSERT_EQ(q.sign, quorvane::kSigns[static_cast<size_t>(s)].name) << s << " " << within;
        ASSERT_EQ(q.degree, d) << s << " " << within;
        EXPECT_EQ(q.gender, gender[static_cast<size_t>(d - 1)]);
        EXPECT_EQ(q.light, light[static_cast<size_t>(d - 1)]);
      }
    }
  }
}

TEST(DegreeQualities, SignBoundaries) {
  const DegreeQualities aries = degree_qualities(0.0);
  EXPECT_EQ(aries.sign, "Aries");
  EXPECT_EQ(aries.degree, 1);
  EXPECT_EQ(aries.gender, "masculine");
  EXPECT_EQ(aries.light, "dark");
  EXPECT_FALSE(aries.pitted);

  const DegreeQualities last = degree_qualities(359.99);
  EXPECT_EQ(last.sign, "Pisces");
  EXPECT_EQ(last.degree, 30);
  EXPECT_EQ(last.gender, "masculine");
  EXPECT_EQ(last.light, "dark");
  EXPECT_FALSE(last.pitted);

  // The last double below each cusp still belongs to the sign before it.
  for (int s = 1; s <= 12; ++s) {
    const DegreeQualities q = degree_qualities(std::nextafter(30.0 * s, 0.0));
    EXPECT_EQ(q.sign, quorvane::kSigns[static_cast<size_t>(s - 1)].name) << s;
    EXPECT_EQ(q.degree, 30) << s;
  }
  EXPECT_EQ(degree_qualities(-30.0).sign, "Pisces");
  EXPECT_EQ(degree_qualities(-30.0).degree, 1);
  EXPECT_EQ(degree_qualities(720.0 + 45.0).sign, "Taurus");
}

TEST(DegreeQualities, TinyNegativeAndNonFiniteLongitudesReadAsZeroAries) {
  // -1e-20 + 360 rounds to 360: without care this split as Pisces, degree 1.
  for (double longitude : {-1e-20, -0.0, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()}) {
    const DegreeQualities q = degree_qualities(longitude);
    EXPECT_EQ(q.sign, "Aries") << longitude;
    EXPECT_EQ(q.degree, 1) << longitude;
  }
}

TEST(DegreeQualities, SingleDegreeFlags) {
  const DegreeQualities leo = degree_qualities(125.5);  // Leo 5.5°: the 6th degree
  EXPECT_EQ(leo.sign, "Leo");
  EXPECT_EQ(leo.degree, 6);
  EXPECT_EQ(leo.gender, "feminine");
  EXPECT_EQ(leo.light, "dark");
  EXPECT_TRUE(leo.pitted);
  EXPECT_FALSE(leo.azimene);
  EXPECT_FALSE(leo.fortune);

  const DegreeQualities taurus = degree_qualities(30.0 + 5.2);  // 6th degree of Taurus
  EXPECT_TRUE(taurus.azimene);
  EXPECT_FALSE(taurus.pitted);
  const DegreeQualities cancer = degree_qualities(90.0 + 14.0);  // 15th degree of Cancer
  EXPECT_TRUE(cancer.azimene && cancer.fortune);
  EXPECT_FALSE(degree_qualities(90.0 + 15.0).azimene);
}

TEST(DegreeQualities, JsonKeyOrders) {
  const quorvane::Json one = to_json_tree(degree_qualities(125.5));
  EXPECT_EQ(one.dump(), R"({"sign":"Leo","degree":6,"gender":"feminine","light":"dark",)"
                        R"("pitted":true,"azimene":false,"fortune":false})");
  const quorvane::Json table = quorvane::degree_quality_table_json();
  ASSERT_EQ(table.size(), 12u);
  EXPECT_EQ(table[4].dump(),
            R"({"sign":"Leo","gender":[{"quality":"masculine","end":5},{"quality":"feminine","end":8},)"
            R"({"quality":"masculine","end":15},{"quality":"feminine","end":23},)"
            R"({"quality":"masculine","end":30}],"light":[{"quality":"dark","end":10},)"
            R"({"quality":"smoky","end":20},{"quality":"void","end":25},{"quality":"light","end":30}],)"
            R"("pitted":[6,13,15,22,23,28],"azimene":[18,27,28],"fortune":[2,5,7,19]})");
  EXPECT_EQ(table[0]["azimene"], quorvane::Json::array());
}

}  // namespace
