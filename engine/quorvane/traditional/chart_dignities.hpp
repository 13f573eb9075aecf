// Judging a finished chart dict's dignities again, possibly under another
// scheme, without an ephemeris.
#pragma once

#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/condition.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/traditional/receptions.hpp"

namespace quorvane {

struct ChartDignities {
  std::string_view dignity_scheme;  // "lilly" or "dorothean"
  std::string_view sect;            // "diurnal" or "nocturnal"
  std::vector<PlanetCondition> conditions;
  std::vector<Reception> receptions;
};

// Reads the chart's `planets` (the seven planets and the Ascendant) and
// `aspects`, skipping malformed entries. Fails only when `planets` is not a
// list or the Sun or the Ascendant cannot be read from it.
Expected<ChartDignities, EngineError> chart_dignities(const Json& chart, std::string_view scheme_code);

void write(RecordWriter& out, const ChartDignities& dignities);

}  // namespace quorvane
