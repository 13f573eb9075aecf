// Raw positions of many bodies at many moments, as columns: what an
// ephemeris table is printed from. Geocentric apparent positions come from
// the chart bodies' own pipeline (light time, deflection, aberration, the
// full nutation series, speeds over the following hour), so a chart and
// these columns agree to the bit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"

namespace quorvane {

enum class PositionCentre { geocentric, topocentric, heliocentric };

// What the light does on its way: everything (the chart's apparent place),
// light time only, or nothing (the body where it is at the moment itself).
enum class PositionCorrection { apparent, astrometric, geometric };

// A place on the WGS84 ellipsoid: geodetic degrees (east positive), metres.
struct GeodeticSite {
  double latitude = 0.0;
  double longitude = 0.0;
  double height = 0.0;
};

enum class PointKind {
  kernel_body,      // any NAIF code some loaded kernel holds
  mean_node,        // the chart's "North Node"
  mean_south_node,  // the chart's "South Node"
  true_node,        // ascending node of the osculating lunar orbit
  true_south_node,
  mean_apogee,        // the chart's "Lilith"
  osculating_apogee,  // apogee of the osculating lunar orbit
  chiron,             // the chart's table, 1849 to 2150
};

struct PositionBody {
  PointKind kind = PointKind::kernel_body;
  int32_t code = 0;  // NAIF code of a kernel body
};

// A body by its name: the chart's names ("Sun" ... "Lilith") and "True
// Node", "True South Node", "True Lilith". Nothing for other names.
std::optional<PositionBody> position_body(std::string_view name);

// The bodies of `names` in order, or an error naming the first unknown one
// and the call (`caller`) that asked.
Expected<std::vector<PositionBody>, EngineError> position_bodies(
    const std::vector<std::string>& names, std::string_view caller);

// The chart's fourteen bodies in chart order: the default list.
const std::vector<std::string_view>& chart_body_names();

struct PositionsRequest {
  std::vector<double> jds;  // UT Julian days
  std::vector<PositionBody> bodies;
  bool sidereal = false;
  std::string ayanamsa;  // code, as for charts
  PositionCentre centre = PositionCentre::geocentric;
  GeodeticSite site;  // used when topocentric
  PositionCorrection correction = PositionCorrection::apparent;
};

// Row-major columns: entry [moment * bodies + body]. Degrees, au, and
// their changes per day over the hour that follows each moment.
struct PositionColumns {
  size_t moments = 0;
  size_t bodies = 0;
  std::vector<double> longitude;  // [0, 360), less the ayanamsa when sidereal
  std::vector<double> latitude;
  std::vector<double> distance;
  std::vector<double> longitude_speed;
  std::vector<double> latitude_speed;
  std::vector<double> distance_speed;
  std::vector<double> right_ascension;  // [0, 360), true equator and equinox of date
  std::vector<double> declination;
  std::vector<double> right_ascension_speed;
  std::vector<double> declination_speed;
  // One per moment.
  std::vector<double> ayanamsa;       // degrees taken off (0 when tropical)
  std::vector<double> obliquity;      // true obliquity of the ecliptic, degrees
  std::vector<double> sidereal_time;  // Greenwich apparent sidereal time, hours
};

// The error of a batch, with the index of the moment that failed (none when
// the request itself is wrong, such as a body no kernel holds).
struct PositionsFailure {
  std::optional<size_t> moment;
  EngineError error;
};

Expected<PositionColumns, PositionsFailure> positions(const KernelSet& kernels,
                                                      const PositionsRequest& request);

// The same in steps, for a caller that checks between spans of moments
// whether to go on: the request checked, the columns made (NaN throughout),
// then moments [first_moment, end_moment) filled. Spans filled one after
// another give the columns of one whole call.
std::optional<PositionsFailure> check_positions_request(const KernelSet& kernels,
                                                       const PositionsRequest& request);
PositionColumns blank_positions(const PositionsRequest& request);
std::optional<PositionsFailure> fill_positions(const KernelSet& kernels,
                                               const PositionsRequest& request, size_t first_moment,
                                               size_t end_moment, PositionColumns* columns);

// The moments of a request in the order that fills them fastest: by time
// (ties in their given order), so that neighbours share Chebyshev records.
std::vector<size_t> fill_order(const PositionsRequest& request);
// The order and the blank columns of a request made in short steps, for a
// caller that looks between them whether to go on: ten million cells take
// a second or more to prepare. The same order and columns as fill_order and
// blank_positions give.
class PositionsPreparation {
 public:
  explicit PositionsPreparation(const PositionsRequest& request) : request_(request) {}

  // Does a few tens of milliseconds of the work at most; true once all is done.
  bool step();
  std::vector<size_t> take_order() { return std::move(order_); }
  PositionColumns take_columns() { return std::move(columns_); }

 private:
  enum class Stage { start, sort, merge, blank, done };
  bool sort_step();
  bool merge_step();
  bool blank_step();

  const PositionsRequest& request_;
  Stage stage_ = Stage::start;
  std::vector<size_t> order_;
  PositionColumns columns_;
  size_t at_ = 0;     // next run to sort or merge, next cell to blank
  size_t width_ = 0;  // length of the sorted runs being merged
};

// The moments `moments` (indices, as fill_order gives them) filled in that
// order. A failing moment stops only the moments after it by index: those
// from `skip_from` on are passed over, and a failure lowers `skip_from` to
// its index (shared by the calls filling one request, all threads). Once
// all are done, the failure of the smallest index is the one that filling
// in index order would have stopped at.
std::optional<PositionsFailure> fill_positions_in_order(const KernelSet& kernels,
                                                        const PositionsRequest& request,
                                                        std::span<const size_t> moments,
                                                        std::atomic<size_t>* skip_from,
                                                        PositionColumns* columns);

}  // namespace quorvane
