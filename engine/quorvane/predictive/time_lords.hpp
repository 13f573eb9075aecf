// Time lords of a nativity: annual profections of the Ascendant and the
// firdaria with their sub-periods, for the years overlapping a span.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane {

// The year of the time lords, in days.
inline constexpr double kTropicalYearDays = 365.24219;

struct Profection {
  uint32_t age = 0;  // completed years
  UtcInstant start;
  UtcInstant end;
  std::string_view sign;
  std::string_view lord;
  uint8_t house = 1;  // 1-12
};

struct Period {
  std::string_view lord;
  UtcInstant start;
  UtcInstant end;
};

struct Firdaria {
  std::string_view lord;
  UtcInstant start;
  UtcInstant end;
  std::vector<Period> sub_periods;  // empty for the nodes
};

struct TimeLords {
  bool diurnal = false;
  std::vector<Profection> profections;
  std::vector<Firdaria> firdaria;
};

struct FirdariaStep {
  std::string_view lord;
  int years;
};

// The 75-year sequences, by day and by night.
inline constexpr FirdariaStep kDiurnalFirdaria[9] = {
    {"Sun", 10}, {"Venus", 8},  {"Mercury", 13}, {"Moon", 9},       {"Saturn", 11},
    {"Jupiter", 12}, {"Mars", 7}, {"North Node", 3}, {"South Node", 2},
};
inline constexpr FirdariaStep kNocturnalFirdaria[9] = {
    {"Moon", 9}, {"Saturn", 11}, {"Jupiter", 12}, {"Mars", 7},       {"Sun", 10},
    {"Venus", 8}, {"Mercury", 13}, {"North Node", 3}, {"South Node", 2},
};

// The instant `years` tropical years after `birth`: whole days plus the
// remainder rounded to the microsecond (ties to even). Saturates at the
// ends of the instant range.
UtcInstant years_after(UtcInstant birth, double years);

// Profections and firdaria for the years that overlap start..end (either
// order; a bound before the birth is raised to it). Longitudes in degrees.
TimeLords time_lords(UtcInstant birth, double sun_longitude, double ascendant_longitude,
                     UtcInstant start, UtcInstant end);

void write(RecordWriter& out, const Profection& profection);
void write(RecordWriter& out, const Period& period);
void write(RecordWriter& out, const Firdaria& firdaria);
void write(RecordWriter& out, const TimeLords& lords);

}  // namespace quorvane
