// Engine.house_positions
#include "args.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/chart/house_positions.hpp"

namespace quorvane::py {
namespace {

struct HousePositionsArguments : RecordArguments {
  PyObject* moment = nullptr;
  PyObject* latitude = nullptr;
  PyObject* longitude = nullptr;
  PyObject* bodies = nullptr;
  PyObject* house_system = nullptr;
  PyObject* house_obliquity = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<HousePositionsArguments> parameters[] = {
      {"moment", &HousePositionsArguments::moment},
      {"latitude", &HousePositionsArguments::latitude},
      {"longitude", &HousePositionsArguments::longitude},
      {"bodies", &HousePositionsArguments::bodies},
      {"house_system", &HousePositionsArguments::house_system},
      {"house_obliquity", &HousePositionsArguments::house_obliquity},
  };
};

PyObject* engine_house_positions(PyObject* self, PyObject* args, PyObject* kwargs) {
  constexpr const char* kName = "house_positions";
  HousePositionsArguments given;
  if (!parse_arguments(args, kwargs, kName, &given)) return nullptr;
  HousePositionsRequest request;
  // The option texts read and warned about as every chart call does.
  ChartRequest options;
  if (!read_moment(engine_state(self), given.moment, &request.moment) ||
      !read_latitude(given.latitude, kName, &request.latitude) ||
      !read_longitude(given.longitude, kName, &request.longitude) ||
      !read_body_names(given.bodies, kName, &request.bodies) ||
      !read_optional_text(given.house_system, kName, "house_system", &options.house_system) ||
      !read_house_obliquity(given.house_obliquity, kName, &options) ||
      !warn_unknown_options(engine_state(self), options)) {
    return nullptr;
  }
  request.house_system = options.house_system;
  request.house_obliquity = options.house_obliquity;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return quorvane::house_positions(kernels, request); }, given.form);
}

}  // namespace

PyMethodDef engine_house_positions_method = {
    "house_positions", with_keywords(engine_house_positions),
    METH_VARARGS | METH_KEYWORDS,
    "house_positions($self, moment, latitude, longitude, bodies=None, house_system=\"P\", "
    "house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "The fractional house of each body at `moment` and the place: cusp h is\n"
    "exactly h, positions run from 1.0 to below 13.0 (Gauquelin `G`: the\n"
    "sector, 1.0 to below 37.0, sector 1 from the Ascendant up to the\n"
    "Midheaven, numbered with the diurnal motion). Each body is located from\n"
    "its apparent ecliptic longitude and latitude of date, turned to the\n"
    "equator by the houses' obliquity, in the frame its system divides:\n"
    "Placidus and Gauquelin by the share of its own diurnal or nocturnal\n"
    "semi-arc; Topocentric by the pole of its house circle; Regiomontanus by\n"
    "where its circle through the horizon's north and south points cuts the\n"
    "equator, Campanus, APC and Sunshine by that circle's angle about the\n"
    "north-south line; Meridian, Carter and Alcabitius by its right\n"
    "ascension, Krusinski where its hour circle cuts the circle through the\n"
    "Ascendant and the zenith; Morinus by the equator point of its longitude;\n"
    "Horizontal by its azimuth; Koch and the ecliptic systems by its\n"
    "longitude. Between two cusps the position grows linearly with that\n"
    "measure. A body that never sets (rises) counts as having a semi-arc of\n"
    "180 degrees above (below) the horizon. `bodies`: names Engine.positions\n"
    "knows (the chart's bodies by default). `polar_fallback` says a quadrant\n"
    "system was cast as Porphyry beyond a polar circle."};

}  // namespace quorvane::py
