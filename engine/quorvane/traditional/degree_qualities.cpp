#include "quorvane/traditional/degree_qualities.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr std::string_view M = kMasculine;
constexpr std::string_view F = kFeminine;
constexpr std::string_view L = kLight;
constexpr std::string_view D = kDark;
constexpr std::string_view S = kSmoky;
constexpr std::string_view V = kVoid;

// Lilly's table of the degrees (Christian Astrology, 1647).
constexpr std::array<SignDegrees, 12> kTable{{
    {"Aries",
     {{{M, 8}, {F, 9}, {M, 15}, {F, 22}, {M, 30}}},
     {{{D, 3}, {L, 8}, {D, 16}, {L, 20}, {V, 24}, {L, 29}, {V, 30}}},
     {6, 11, 16, 23, 29},
     {},
     {19}},
    {"Taurus",
     {{{F, 5}, {M, 11}, {F, 17}, {M, 21}, {F, 24}, {M, 30}}},
     {{{D, 3}, {L, 7}, {V, 12}, {L, 15}, {V, 20}, {L, 28}, {D, 30}}},
     {5, 12, 24, 25},
     {6, 7, 8, 9, 10},
     {3, 15, 27}},
    {"Gemini",
     {{{F, 5}, {M, 16}, {F, 22}, {M, 26}, {F, 30}}},
     {{{L, 4}, {D, 7}, {L, 12}, {V, 16}, {L, 22}, {D, 27}, {V, 30}}},
     {2, 12, 17, 26, 30},
     {},
     {11}},
    {"Cancer",
     {{{M, 2}, {F, 8}, {M, 10}, {F, 12}, {M, 23}, {F, 27}, {M, 30}}},
     {{{L, 12}, {D, 14}, {V, 18}, {S, 20}, {L, 28}, {V, 30}}},
     {12, 17, 23, 26, 30},
     {9, 10, 11, 12, 13, 14, 15},
     {1, 2, 3, 4, 15}},
    {"Leo",
     {{{M, 5}, {F, 8}, {M, 15}, {F, 23}, {M, 30}}},
     {{{D, 10}, {S, 20}, {V, 25}, {L, 30}}},
     {6, 13, 15, 22, 23, 28},
     {18, 27, 28},
     {2, 5, 7, 19}},
    {"Virgo",
     {{{F, 8}, {M, 12}, {F, 20}, {M, 30}}},
     {{{D, 5}, {L, 8}, {V, 10}, {L, 16}, {S, 22}, {V, 27}, {D, 30}}},
     {8, 13, 16, 21, 22},
     {},
     {3, 14, 20}},
    {"Libra",
     {{{M, 5}, {F, 15}, {M, 20}, {F, 27}, {M, 30}}},
     {{{L, 5}, {D, 10}, {L, 18}, {D, 21}, {L, 27}, {V, 30}}},
     {1, 7, 20, 30},
     {},
     {3, 15, 21}},
    {"Scorpio",
     {{{M, 4}, {F, 14}, {M, 17}, {F, 25}, {M, 30}}},
     {{{D, 3}, {L, 8}, {V, 14}, {L, 22}, {S, 24}, {V, 29}, {D, 30}}},
     {9, 10, 22, 23, 27},
     {19, 28},
     {7, 18, 20}},
    {"Sagittarius",
     {{{M, 2}, {F, 5}, {M, 12}, {F, 24}, {M, 30}}},
     {{{L, 9}, {D, 12}, {L, 19}, {S, 23}, {L, 30}}},
     {7, 12, 15, 24, 27, 30},
     {1, 7, 8, 18, 19},
     {13, 20}},
    {"Capricorn",
     {{{M, 11}, {F, 19}, {M, 30}}},
     {{{D, 7}, {L, 10}, {S, 15}, {L, 19}, {D, 22}, {V, 25}, {D, 30}}},
     {7, 17, 22, 24, 29},
     {26, 27, 28, 29},
     {12, 13, 14, 20}},
    {"Aquarius",
     {{{M, 5}, {F, 15}, {M, 21}, {F, 25}, {M, 27}, {F, 30}}},
     {{{S, 4}, {L, 9}, {D, 13}, {L, 21}, {V, 25}, {L, 30}}},
     {1, 12, 17, 22, 24, 29},
     {18, 19},
     {7, 16, 17, 20}},
    {"Pisces",
     {{{M, 10}, {F, 20}, {M, 23}, {F, 28}, {M, 30}}},
     {{{D, 6}, {L, 12}, {D, 18}, {L, 22}, {V, 25}, {L, 28}, {D, 30}}},
     {4, 9, 24, 27, 28},
     {},
     {13, 20}},
}};

// A run list covers 1-30 without gaps: ends strictly increase to 30, and a
// run never repeats the quality of the one before it (else the two would be
// one run, a sign of a transcription slip).
constexpr bool runs_cover_sign(std::span<const DegreeRun> runs,
                               std::initializer_list<std::string_view> allowed) {
  if (runs.empty() || runs.back().end != 30) return false;
  int previous_end = 0;
  std::string_view previous_quality;
  for (const DegreeRun& run : runs) {
    if (run.end <= previous_end || run.quality == previous_quality) return false;
    if (std::find(allowed.begin(), allowed.end(), run.quality) == allowed.end()) return false;
    previous_end = run.end;
    previous_quality = run.quality;
  }
  return true;
}

constexpr bool degrees_sorted(std::span<const uint8_t> degrees) {
  int previous = 0;
  for (uint8_t d : degrees) {
    if (d <= previous || d > 30) return false;
    previous = d;
  }
  return true;
}

constexpr bool table_is_consistent() {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    const SignDegrees& row = kTable[i];
    if (row.sign != kSigns[i].name) return false;
    if (!runs_cover_sign(row.gender(), {kMasculine, kFeminine})) return false;
    if (!runs_cover_sign(row.light(), {kLight, kDark, kSmoky, kVoid})) return false;
    if (!degrees_sorted(row.pitted()) || !degrees_sorted(row.azimene()) ||
        !degrees_sorted(row.fortune())) {
      return false;
    }
  }
  return true;
}
static_assert(table_is_consistent());

std::string_view quality_at(std::span<const DegreeRun> runs, int64_t degree) {
  for (const DegreeRun& run : runs) {
    if (run.end >= degree) return run.quality;
  }
  return runs.back().quality;  // unreachable: every list ends at 30
}

bool holds(std::span<const uint8_t> degrees, int64_t degree) {
  return std::find(degrees.begin(), degrees.end(), degree) != degrees.end();
}

}  // namespace

std::span<const SignDegrees, 12> degree_quality_table() { return kTable; }

DegreeQualities degree_qualities(double longitude) {
  // normalize_degrees keeps a tiny negative longitude from landing on 360,
  // which would split as the 1st degree of Pisces instead of 0° Aries.
  const double a = std::isfinite(longitude) ? normalize_degrees(longitude) : 0.0;
  const auto sign = std::min<int64_t>(static_cast<int64_t>(std::floor(a / 30.0)), 11);
  double within = std::fmod(a, 30.0);
  if (within < 0.0) within += 30.0;
  const int64_t degree = std::min<int64_t>(static_cast<int64_t>(std::floor(within)) + 1, 30);

  const SignDegrees& row = kTable[static_cast<std::size_t>(sign)];
  DegreeQualities out;
  out.sign = row.sign;
  out.degree = degree;
  out.gender = quality_at(row.gender(), degree);
  out.light = quality_at(row.light(), degree);
  out.pitted = holds(row.pitted(), degree);
  out.azimene = holds(row.azimene(), degree);
  out.fortune = holds(row.fortune(), degree);
  return out;
}

void write(RecordWriter& out, const DegreeQualities& q) {
  ObjectWriter(out)
      .field("sign", q.sign)
      .field("degree", q.degree)
      .field("gender", q.gender)
      .field("light", q.light)
      .field("pitted", q.pitted)
      .field("azimene", q.azimene)
      .field("fortune", q.fortune);
}

void write(RecordWriter& out, const DegreeRun& run) {
  ObjectWriter(out).field("quality", run.quality).field("end", run.end);
}

void write(RecordWriter& out, const SignDegrees& row) {
  ObjectWriter(out)
      .field("sign", row.sign)
      .field("gender", row.gender())
      .field("light", row.light())
      .field("pitted", row.pitted())
      .field("azimene", row.azimene())
      .field("fortune", row.fortune());
}

Json degree_quality_table_json() { return to_json_tree(kTable); }

}  // namespace quorvane
