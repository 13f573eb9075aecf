// The nakshatra dashas: Vimshottari (120 years), Yogini (36 years) and
// Ashtottari (108 years), each a cycle of lords whose periods divide, level
// by level, in the same proportions starting from the period's own lord.
// Sources: Brihat Parashara Hora Shastra, chapters on the dashas
// (Vimshottari and Ashtottari); the Yogini order and years as commonly
// taught from the same tradition.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/record_writer.hpp"

namespace quorvane::jyotish {

struct DashaLord {
  std::string_view lord;    // the name a period carries
  std::string_view planet;  // the planet it stands for
  double years = 0.0;
};

// Ketu first: the lord of Ashwini, Magha and Mula.
inline constexpr std::array<DashaLord, 9> kVimshottari{{
    {"Ketu", "Ketu", 7},     {"Venus", "Venus", 20},     {"Sun", "Sun", 6},
    {"Moon", "Moon", 10},    {"Mars", "Mars", 7},        {"Rahu", "Rahu", 18},
    {"Jupiter", "Jupiter", 16}, {"Saturn", "Saturn", 19}, {"Mercury", "Mercury", 17},
}};

// Mangala first; birth in nakshatra n (1-based) starts at yogini (n + 3) mod 8.
inline constexpr std::array<DashaLord, 8> kYogini{{
    {"Mangala", "Moon", 1},  {"Pingala", "Sun", 2},     {"Dhanya", "Jupiter", 3},
    {"Bhramari", "Mars", 4}, {"Bhadrika", "Mercury", 5}, {"Ulka", "Saturn", 6},
    {"Siddha", "Venus", 7},  {"Sankata", "Rahu", 8},
}};

// Sun first; each lord rules a run of consecutive nakshatras from Ardra
// (kAshtottariMansions), Saturn's run holding Abhijit inside it.
inline constexpr std::array<DashaLord, 8> kAshtottari{{
    {"Sun", "Sun", 6},          {"Moon", "Moon", 15},    {"Mars", "Mars", 8},
    {"Mercury", "Mercury", 17}, {"Saturn", "Saturn", 10}, {"Jupiter", "Jupiter", 19},
    {"Rahu", "Rahu", 12},       {"Venus", "Venus", 21},
}};
inline constexpr std::array<int, 8> kAshtottariMansions{4, 3, 4, 3, 3, 3, 4, 3};
inline constexpr int kAshtottariFirstMansion = 5;  // Ardra

inline constexpr std::array<std::string_view, 5> kDashaLevels{
    "maha", "antar", "pratyantar", "sookshma", "prana"};
inline constexpr int kMaxDashaDepth = 5;
inline constexpr int kMaxFullListDepth = 3;

// The year a dasha counts in.
struct DashaYear {
  std::string_view name;  // "julian", "tropical", "savana"
  double days = 0.0;
};
inline constexpr std::array<DashaYear, 3> kDashaYears{{
    {"julian", 365.25},     // the Julian year
    {"tropical", 365.2422}, // the mean tropical year
    {"savana", 360.0},      // twelve months of thirty civil days
}};
// A year by name; none for any other text.
std::optional<DashaYear> dasha_year(std::string_view name);

struct DashaSystem {
  std::string_view name;
  std::span<const DashaLord> lords;
  double total_years() const;
};
inline constexpr DashaSystem kVimshottariSystem{"vimshottari", kVimshottari};
inline constexpr DashaSystem kYoginiSystem{"yogini", kYogini};
inline constexpr DashaSystem kAshtottariSystem{"ashtottari", kAshtottari};

// Where a birth enters the cycle: the lord running and the fraction of its
// period already gone.
struct DashaEntry {
  int lord = 0;  // index into the system's lords
  double elapsed = 0.0;  // 0 <= elapsed < 1
};
// From the Moon's sidereal longitude: Vimshottari and Yogini by the Moon's
// passage through its nakshatra, Ashtottari through its lord's run.
DashaEntry vimshottari_entry(double moon_longitude);
DashaEntry yogini_entry(double moon_longitude);
DashaEntry ashtottari_entry(double moon_longitude);

struct DashaPeriod {
  std::string_view lord;
  std::string_view planet;
  uint8_t level = 0;  // 0 maha .. 4 prana
  double start = 0.0;  // UT Julian days
  double end = 0.0;
  std::vector<DashaPeriod> periods;  // the next level, when asked for
};

// The sub-periods of a period whose lord is `lord` (index) from `start` to
// `end`, `depth` levels further down (0: none).
std::vector<DashaPeriod> sub_periods(const DashaSystem& system, int lord, uint8_t level,
                                     double start, double end, int depth);

// The major periods from the one running at `birth` (UT Julian day), for
// `cycles` complete cycles, each divided `depth` - 1 levels further.
std::vector<DashaPeriod> major_periods(const DashaSystem& system, DashaEntry entry, double birth,
                                       double year_days, int cycles, int depth);

// Only the periods of `periods` (and below) that overlap [from, to], down
// to `depth` levels; fails when that would exceed `limit` periods.
Expected<std::vector<DashaPeriod>, EngineError> periods_within(
    const DashaSystem& system, const std::vector<DashaPeriod>& majors, double from, double to,
    int depth, size_t limit);

// The chain of periods (maha first) running at `jd`, `depth` levels deep;
// empty when `jd` lies outside the major periods.
std::vector<DashaPeriod> running_at(const DashaSystem& system,
                                    const std::vector<DashaPeriod>& majors, double jd, int depth);

// One system's dashas of a birth, as the result gives them.
struct DashaTable {
  std::string_view system;
  double total_years = 0.0;
  std::string_view lord_at_birth;
  double balance_years = 0.0;  // of the first period, left at birth
  std::vector<DashaPeriod> periods;
  std::optional<std::vector<DashaPeriod>> running;
};

void write(RecordWriter& out, const DashaPeriod& period);
void write(RecordWriter& out, const DashaTable& table);

}  // namespace quorvane::jyotish
