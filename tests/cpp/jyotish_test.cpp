// Jyotish arithmetic against the definitions, written here apart from the
// engine: nakshatras and padas in arcminutes, each varga by its rule as
// Parashara states it, the dashas by their defining sums.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string_view>
#include <vector>

#include "quorvane/jyotish/ashtakavarga.hpp"
#include "quorvane/jyotish/dashas.hpp"
#include "quorvane/jyotish/dignity.hpp"
#include "quorvane/jyotish/nakshatras.hpp"
#include "quorvane/jyotish/vargas.hpp"

namespace {

using namespace quorvane::jyotish;

constexpr std::string_view kLords[9] = {"Ketu",   "Venus",  "Sun",    "Moon",   "Mars",
                                        "Rahu", "Jupiter", "Saturn", "Mercury"};

// Longitudes to try: random ones, and both sides of every boundary of a
// 3°20' grid (every pada and every varga part of D9, D27's multiples...)
// and of every half degree (D60), plus the exact multiples of 10°.
std::vector<double> sample_longitudes() {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> any(0.0, 360.0);
  std::vector<double> out;
  for (int i = 0; i < 4000; ++i) out.push_back(any(random));
  for (int k = 0; k < 720; ++k) {
    const double edge = k * 0.5;
    for (double d : {-1e-7, 1e-7}) out.push_back(edge + d);
  }
  for (int k = 0; k < 108; ++k) {
    const double edge = k * 10.0 / 3.0;
    for (double d : {-1e-7, 1e-7}) out.push_back(edge + d);
  }
  for (int k = 0; k < 36; ++k) out.push_back(k * 10.0);
  for (int k = 1; k <= 45; ++k) {  // D45's and D40's parts in one sign
    for (double d : {-1e-7, 1e-7}) out.push_back(150.0 + k * 30.0 / 45.0 + d);
    for (double d : {-1e-7, 1e-7}) out.push_back(210.0 + k * 30.0 / 40.0 + d);
  }
  for (double& x : out) x = std::fmod(x + 360.0, 360.0);
  return out;
}

TEST(Nakshatra, MansionPadaAndLordFollowTheArcminuteCount) {
  for (double x : sample_longitudes()) {
    const double minutes = x * 60.0;  // a mansion is 800', a pada 200'
    const int mansion = static_cast<int>(std::floor(minutes / 800.0));
    const int pada = static_cast<int>(std::floor((minutes - mansion * 800.0) / 200.0)) + 1;
    const NakshatraPlace place = nakshatra_of(x);
    ASSERT_EQ(place.index, mansion) << x;
    ASSERT_EQ(place.pada, pada) << x;
    ASSERT_EQ(place.lord, kLords[mansion % 9]) << x;
    ASSERT_NEAR(place.passed, (minutes - mansion * 800.0) / 800.0, 1e-9) << x;
    ASSERT_EQ(nakshatra_of(x + 720.0).index, mansion) << x;
    ASSERT_EQ(nakshatra_of(x - 360.0).index, mansion) << x;
  }
}

// The n-th sign counted from `sign` (n = 1 is the sign itself).
int nth_from(int sign, int n) { return (sign + n - 1) % 12; }

// Parashara's rule for each division, with odd meaning Aries, Gemini, ...
int reference_varga(int division, double x) {
  const int sign = static_cast<int>(std::floor(x / 30.0));
  const double minutes = (x - sign * 30.0) * 60.0;  // 1800' a sign
  const bool odd = sign % 2 == 0;
  const bool movable = sign % 3 == 0, fixed = sign % 3 == 1;
  const int part = static_cast<int>(std::floor(minutes * division / 1800.0));  // 0-based
  const int fire = 0, earth = 1, air = 2;
  const int element = sign % 4;
  switch (division) {
    case 1: return sign;
    case 2: return (minutes < 900.0) == odd ? 4 : 3;
    case 3: return nth_from(sign, 1 + 4 * part);
    case 4: return nth_from(sign, 1 + 3 * part);
    case 7: return nth_from(odd ? sign : nth_from(sign, 7), 1 + part);
    case 9: {
      const int start = element == fire ? 0 : element == earth ? 9 : element == air ? 6 : 3;
      return nth_from(start, 1 + part);
    }
    case 10: return nth_from(odd ? sign : nth_from(sign, 9), 1 + part);
    case 12: return nth_from(sign, 1 + part);
    case 16: case 45: return nth_from(movable ? 0 : fixed ? 4 : 8, 1 + part);
    case 20: return nth_from(movable ? 0 : fixed ? 8 : 4, 1 + part);
    case 24: return nth_from(odd ? 4 : 3, 1 + part);
    case 27: {
      const int start = element == fire ? 0 : element == earth ? 3 : element == air ? 6 : 9;
      return nth_from(start, 1 + part);
    }
    case 30: {
      const double degree = minutes / 60.0;
      if (odd) {
        return degree < 5 ? 0 : degree < 10 ? 10 : degree < 18 ? 8 : degree < 25 ? 2 : 6;
      }
      return degree < 5 ? 1 : degree < 12 ? 5 : degree < 20 ? 11 : degree < 25 ? 9 : 7;
    }
    case 40: return nth_from(odd ? 0 : 6, 1 + part);
    case 60: return nth_from(sign, 1 + part);
  }
  return -1;
}

TEST(Varga, EachDivisionFollowsItsRule) {
  for (const Varga& varga : kVargas) {
    for (double x : sample_longitudes()) {
      ASSERT_EQ(varga_sign(varga.division, x), reference_varga(varga.division, x))
          << varga.name << " at " << x;
    }
  }
}

// Every level of a period list covers its parent without gap or overlap,
// in the proportions of the lords' years, starting from the parent's lord.
void expect_tiles(const DashaSystem& system, const DashaPeriod& parent) {
  if (parent.periods.empty()) return;
  ASSERT_EQ(parent.periods.size(), system.lords.size());
  EXPECT_EQ(parent.periods.front().lord, parent.lord);
  EXPECT_DOUBLE_EQ(parent.periods.front().start, parent.start);
  EXPECT_DOUBLE_EQ(parent.periods.back().end, parent.end);
  for (size_t i = 0; i < parent.periods.size(); ++i) {
    const DashaPeriod& p = parent.periods[i];
    if (i > 0) {
      EXPECT_EQ(p.start, parent.periods[i - 1].end);
    }
    double years = 0.0;
    for (const DashaLord& l : system.lords) {
      if (l.lord == p.lord) years = l.years;
    }
    EXPECT_NEAR((p.end - p.start) / (parent.end - parent.start), years / system.total_years(),
                1e-9);
    expect_tiles(system, p);
  }
}

TEST(Dasha, VimshottariTilesItsCycleFromTheBalanceAtBirth) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> any(0.0, 360.0);
  std::uniform_real_distribution<double> when(2400000.0, 2500000.0);
  for (int trial = 0; trial < 200; ++trial) {
    const double moon = any(random), birth = when(random), year = 365.25;
    const auto majors =
        major_periods(kVimshottariSystem, vimshottari_entry(moon), birth, year, 1, 3);
    ASSERT_EQ(majors.size(), 9u);
    EXPECT_NEAR(majors.back().end - majors.front().start, 120.0 * year, 1e-6);
    const double minutes = moon * 60.0;
    const int mansion = static_cast<int>(std::floor(minutes / 800.0));
    const double unelapsed = 1.0 - (minutes - mansion * 800.0) / 800.0;
    const DashaLord& lord = kVimshottari[mansion % 9];
    EXPECT_EQ(majors.front().lord, kLords[mansion % 9]);
    EXPECT_NEAR((majors.front().end - birth) / year, unelapsed * lord.years, 1e-7);
    for (size_t i = 1; i < majors.size(); ++i) EXPECT_EQ(majors[i].start, majors[i - 1].end);
    for (const DashaPeriod& major : majors) expect_tiles(kVimshottariSystem, major);

    // The five levels running at a moment are those of a span around it.
    const double at = birth + std::uniform_real_distribution<double>(0.0, 100.0 * year)(random);
    const auto chain = running_at(kVimshottariSystem, majors, at, 5);
    ASSERT_EQ(chain.size(), 5u);
    auto around = periods_within(kVimshottariSystem, majors, at - 1e-6, at + 1e-6, 5, 100);
    ASSERT_TRUE(around.has_value());
    const std::vector<DashaPeriod>* level = &*around;
    for (const DashaPeriod& running : chain) {
      const DashaPeriod* found = nullptr;
      for (const DashaPeriod& p : *level) {
        if (p.start <= at && at < p.end) found = &p;
      }
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found->lord, running.lord);
      EXPECT_EQ(found->level, running.level);
      EXPECT_DOUBLE_EQ(found->start, running.start);
      EXPECT_DOUBLE_EQ(found->end, running.end);
      level = &found->periods;
    }
  }
}

TEST(Dasha, YoginiAndAshtottariEnterWhereTheMoonStands) {
  // Yogini: the nakshatra's number plus three, counted in eights from Mangala.
  for (int n = 1; n <= 27; ++n) {
    const double moon = (n - 1) * 40.0 / 3.0 + 1.0;
    const int yogini = (n + 3) % 8 == 0 ? 8 : (n + 3) % 8;
    EXPECT_EQ(kYogini[static_cast<size_t>(yogini - 1)].lord,
              kYogini[static_cast<size_t>(yogini_entry(moon).lord)].lord) << n;
    EXPECT_NEAR(yogini_entry(moon).elapsed, 0.075, 1e-9);
  }
  // Ashtottari from Ardra: Sun 4 mansions, Moon 3, Mars 4, Mercury 3,
  // Saturn 3 (with Abhijit), Jupiter 3, Rahu 4, Venus 3.
  constexpr std::string_view kByMansion[27] = {
      "Rahu", "Rahu", "Venus", "Venus", "Venus", "Sun", "Sun", "Sun", "Sun",
      "Moon", "Moon", "Moon", "Mars", "Mars", "Mars", "Mars", "Mercury", "Mercury",
      "Mercury", "Saturn", "Saturn", "Saturn", "Jupiter", "Jupiter", "Jupiter", "Rahu", "Rahu"};
  for (int k = 0; k < 27; ++k) {
    const DashaEntry entry = ashtottari_entry(k * 40.0 / 3.0 + 0.5);
    EXPECT_EQ(kAshtottari[static_cast<size_t>(entry.lord)].lord, kByMansion[k]) << k;
  }
  // The first of Ardra starts the Sun's run; Rahu's run (Uttara
  // Bhadrapada to Bharani, 53°20') is half gone at 0° Aries.
  EXPECT_NEAR(ashtottari_entry(200.0 / 3.0 + 1e-9).elapsed, 0.0, 1e-9);
  EXPECT_EQ(ashtottari_entry(1e-9).lord, 6);
  EXPECT_NEAR(ashtottari_entry(1e-9).elapsed, 0.5, 1e-9);
  const auto majors = major_periods(kYoginiSystem, yogini_entry(100.0), 2450000.0, 360.0, 4, 2);
  EXPECT_NEAR(majors.back().end - majors.front().start, 4 * 36 * 360.0, 1e-6);
  for (const DashaPeriod& major : majors) expect_tiles(kYoginiSystem, major);
}

// BPHS 3 derives the natural friendships: the lords of the 2nd, 4th, 5th,
// 8th, 9th and 12th from a planet's moolatrikona and of its exaltation sign
// are friends; a lord of one such sign and one other is neutral.
TEST(Dignity, NaturalFriendshipFollowsParasharasRule) {
  for (int p = 0; p < 7; ++p) {
    const SignDignity& d = kSignDignities[static_cast<size_t>(p)];
    bool good[12] = {};
    for (int h : {2, 4, 5, 8, 9, 12}) good[(d.moolatrikona_sign + h - 1) % 12] = true;
    good[d.exaltation_sign] = true;
    for (int o = 0; o < 7; ++o) {
      if (o == p) continue;
      int owned = 0, friendly = 0;
      for (int s = 0; s < 12; ++s) {
        if (kSignLords[static_cast<size_t>(s)] != o) continue;
        ++owned;
        friendly += good[s];
      }
      const int expected = friendly == owned ? 1 : friendly == 0 ? -1 : 0;
      EXPECT_EQ(kNaturalFriendship[static_cast<size_t>(p)][static_cast<size_t>(o)], expected)
          << kGrahaNames[static_cast<size_t>(p)] << " of " << kGrahaNames[static_cast<size_t>(o)];
    }
  }
  // Compound: natural plus temporary, the sign lord 2-4 or 10-12 signs on
  // being a temporary friend.
  constexpr std::string_view kCompound[5] = {"great_enemy", "enemy", "neutral", "friend",
                                             "great_friend"};
  for (int p = 0; p < 7; ++p) {
    for (uint8_t sign = 0; sign < 12; ++sign) {
      const std::string_view natural = natural_dignity(static_cast<Graha>(p), sign, 29.5);
      if (natural != "friend" && natural != "neutral" && natural != "enemy") continue;
      const int lord = kSignLords[sign];
      for (uint8_t lord_sign = 0; lord_sign < 12; ++lord_sign) {
        const int house = (lord_sign - sign + 12) % 12 + 1;
        const int temporary = (house >= 2 && house <= 4) || house >= 10 ? 1 : -1;
        const int total = kNaturalFriendship[static_cast<size_t>(p)][static_cast<size_t>(lord)] +
                          temporary;
        EXPECT_EQ(compound_dignity(static_cast<Graha>(p), sign, 29.5, lord_sign),
                  kCompound[total + 2]);
      }
    }
  }
}

TEST(Ashtakavarga, TotalsHoldForAnyChart) {
  constexpr int kTotals[7] = {48, 49, 39, 54, 56, 52, 39};
  std::mt19937_64 random(5);
  std::uniform_int_distribution<int> sign(0, 11);
  for (int trial = 0; trial < 1000; ++trial) {
    std::array<uint8_t, kContributors> signs{};
    for (auto& s : signs) s = static_cast<uint8_t>(sign(random));
    const Ashtakavarga table = ashtakavarga(signs);
    int sarva = 0;
    for (size_t p = 0; p < 7; ++p) {
      ASSERT_EQ(table.planets[p].total, kTotals[p]);
      int by_contributor = 0;
      for (const auto& row : table.planets[p].by_contributor) {
        for (int point : row) by_contributor += point;
      }
      ASSERT_EQ(by_contributor, kTotals[p]);
    }
    for (size_t s = 0; s < 12; ++s) {
      int sum = 0;
      for (size_t p = 0; p < 7; ++p) sum += table.planets[p].points[s];
      ASSERT_EQ(table.sarva[s], sum);
      sarva += sum;
    }
    ASSERT_EQ(table.sarva_total, 337);
    ASSERT_EQ(sarva, 337);
  }
  // The Sun's own contribution, with everything in Aries: houses 1, 2, 4,
  // 7, 8, 9, 10 and 11 from Aries.
  const Ashtakavarga aries = ashtakavarga({});
  const std::array<int, 12> sun_from_sun{1, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 0};
  EXPECT_EQ(aries.planets[0].by_contributor[0], sun_from_sun);
}

}  // namespace
