// The temperament of a chart: the four primary qualities added up over a
// fixed list of testimonies and turned into the four temperaments.
#pragma once

#include <string>
#include <vector>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane {

struct Placement;  // a chart's placement (placement.hpp)

struct Qualities {
  double hot = 0.0;
  double cold = 0.0;
  double wet = 0.0;
  double dry = 0.0;
};

struct TemperamentScores {
  double choleric = 0.0;
  double sanguine = 0.0;
  double phlegmatic = 0.0;
  double melancholic = 0.0;
};

// One testimony and what it added, each amount rounded to one decimal.
struct TemperamentFactor {
  std::string factor;
  std::string details;
  Qualities amounts;
};

struct Temperament {
  std::string primary_temperament;
  std::string secondary_temperament;  // empty when its score is 0
  TemperamentScores scores;           // rounded to one decimal
  TemperamentScores percentages;      // of the unrounded total, one decimal
  Qualities qualities;                // rounded to one decimal
  Qualities quality_percentages;      // of the unrounded total, one decimal
  std::vector<TemperamentFactor> breakdown;  // in the order added
};

// Reads each placement's name, sign, longitude and house and each aspect's
// two point names and type. A missing Ascendant, Sun or Moon skips the
// testimonies that need it.
Temperament temperament(const std::vector<Placement>& placements, const std::vector<Aspect>& aspects);

void write(RecordWriter& out, const Qualities& qualities);
void write(RecordWriter& out, const TemperamentScores& scores);
void write(RecordWriter& out, const TemperamentFactor& factor);
void write(RecordWriter& out, const Temperament& temperament);

}  // namespace quorvane
