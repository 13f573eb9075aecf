// Returns: the moments at which a body comes back to a natal longitude
// (solar, lunar and planetary returns), tropical or sidereal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorvane/chart/chart.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"

namespace quorvane {

// Every UT Julian day in [start, end] at which the body's longitude equals
// `natal` (degrees), in time order: one a turn for the Sun and the Moon, up
// to three for a planet retrograding over the natal degree.
Expected<std::vector<double>, EngineError> return_moments(const LongitudeSource& source,
                                                          int32_t code, double natal,
                                                          double start, double end);

// The first return at or after `after`, looked for over at most `horizon`
// days (an InvalidInput error when there is none within it).
Expected<double, EngineError> next_return(const LongitudeSource& source, int32_t code,
                                          double natal, double after, double horizon);

inline constexpr double kLongestReturnSpanDays = 36525.0;  // a century

struct ReturnMoment {
  double jd = 0.0;
  double longitude = 0.0;  // the body's, at jd
};

struct ReturnList {
  std::string body;
  double natal_longitude = 0.0;
  std::vector<ReturnMoment> returns;
};

// Every return of the named kernel body in [start, end] (UT Julian days,
// at most a century apart).
Expected<ReturnList, EngineError> list_returns(const KernelSet& kernels, std::string_view body,
                                               double natal_longitude, double start, double end,
                                               const ZodiacChoice& zodiac);

struct ReturnChart {
  std::string body;
  double natal_longitude = 0.0;
  double jd = 0.0;
  double longitude = 0.0;  // the body's in the chart
  Chart chart;             // for the request's place and options
};

// The first return at or after the request's moment and its chart at the
// request's place (a relocated return when that is not the birthplace).
Expected<ReturnChart, EngineError> return_chart(const KernelSet& kernels, std::string_view body,
                                                double natal_longitude, const ChartRequest& request);

void write(RecordWriter& out, const ReturnMoment& moment);
void write(RecordWriter& out, const ReturnList& list);
void write(RecordWriter& out, const ReturnChart& chart);

}  // namespace quorvane
