// Aspects between chart points: the aspect found between two longitudes
// under the orb settings, within one chart and across two.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/orb_settings.hpp"

namespace quorvane {

// A named longitude (degrees) taking part in aspect finding, with its
// motion in degrees per day; 0 for a point that stands still (a natal
// point seen from a transit, a fixed star, a point given without speed).
struct Point {
  std::string name;
  double longitude;
  double speed = 0.0;
};

// Whether two points move towards the exact `angle`: the deviation of their
// separation from it is shrinking at the moment. An exact aspect, or two
// points keeping their distance, is not applying.
bool is_applying(const Point& a, const Point& b, double angle);

struct AspectMatch {
  const AspectKind* aspect;  // into kAspectTable
  double deviation;          // |separation - angle|, unrounded
  double allowed;            // the orb the settings allow for this pair
};

// The first aspect of the table whose allowed orb admits `separation`
// (degrees, normally in [0, 180]), or none.
Expected<std::optional<AspectMatch>, EngineError> find_aspect(const OrbSettings& settings,
                                                              std::string_view name1,
                                                              std::string_view name2,
                                                              double separation);

struct Aspect {
  std::string body1;
  std::string body2;
  std::string aspect_type;
  std::string symbol;
  double angle = 0.0;
  double orb = 0.0;                // rounded to 2 decimals
  double max_orb = 0.0;            // rounded to 2 decimals
  std::optional<bool> is_major;    // left unset by fixed-star conjunctions
  bool is_applying = false;
};

struct CrossAspect {
  std::string body1;  // overlay point
  std::string body1_source = "overlay";
  std::string body2;  // base point
  std::string body2_source = "base";
  std::string aspect_type;
  std::string symbol;
  double angle = 0.0;
  double orb = 0.0;
  double max_orb = 0.0;
  bool is_major = false;
  bool is_applying = false;
};

void write(RecordWriter& out, const Aspect& aspect);
void write(RecordWriter& out, const CrossAspect& aspect);

// Aspects within one chart, pairs i < j in list order; the two lunar nodes
// never aspect each other.
Expected<std::vector<Aspect>, EngineError> natal_aspects(const std::vector<Point>& points,
                                                         const OrbSettings& settings);

// Aspects from every overlay point (outer loop) to every base point, under
// the caller's settings merged into the defaults.
Expected<std::vector<CrossAspect>, EngineError> cross_aspects(const std::vector<Point>& base,
                                                              const std::vector<Point>& overlay,
                                                              const Json* user_orb_settings);

// A JSON list of objects with a text "name" and a numeric
// "ecliptic_longitude", and optionally a numeric "speed" (degrees per day;
// without it the point stands still); other keys are ignored.
// At most kMaxChartPoints of them.
inline constexpr size_t kMaxChartPoints = 200;
Expected<std::vector<Point>, EngineError> points_from_json(const Json& value);

}  // namespace quorvane
