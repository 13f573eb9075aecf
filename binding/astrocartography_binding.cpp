// Engine.astrocartography
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/astrocartography/astrocartography.hpp"

namespace quorvane::py {
namespace {

struct AstrocartographyArguments : RecordArguments {
  PyObject* moment = nullptr;
  PyObject* bodies = nullptr;
  PyObject* mode = nullptr;
  PyObject* latitude = nullptr;
  PyObject* longitude = nullptr;
  static constexpr int required = 1;
  static constexpr Parameter<AstrocartographyArguments> parameters[] = {
      {"moment", &AstrocartographyArguments::moment},
      {"bodies", &AstrocartographyArguments::bodies},
      {"mode", &AstrocartographyArguments::mode},
      {"latitude", &AstrocartographyArguments::latitude},
      {"longitude", &AstrocartographyArguments::longitude},
  };
};

// None (the default list), one name, or a sequence of names.
bool read_body_names(PyObject* value, std::vector<std::string>* out) {
  if (value == nullptr || value == Py_None) return true;
  PyRef items;
  if (PyUnicode_Check(value)) {
    items = PyRef::steal(PyList_New(0));
    if (!items || PyList_Append(items.get(), value) < 0) return false;
  } else {
    items = PyRef::steal(PySequence_List(value));
    if (!items) return false;
  }
  for (Py_ssize_t i = 0; i < PyList_Size(items.get()); ++i) {
    std::string name;
    if (!arg_text(PyList_GetItem(items.get(), i), "astrocartography", "bodies", &name)) {
      return false;
    }
    out->push_back(std::move(name));
  }
  return true;
}

PyObject* engine_astrocartography(PyObject* self, PyObject* args, PyObject* kwargs) {
  AstrocartographyArguments given;
  if (!parse_arguments(args, kwargs, "astrocartography", &given)) return nullptr;
  AstrocartographyRequest request;
  if (!read_moment(engine_state(self), given.moment, &request.moment) ||
      !read_body_names(given.bodies, &request.bodies)) {
    return nullptr;
  }
  std::string mode = "mundo";
  if (!read_optional_text(given.mode, "astrocartography", "mode", &mode)) return nullptr;
  auto known = map_mode(mode);
  if (!known) {
    PyErr_Format(PyExc_ValueError,
                 "astrocartography() argument 'mode' must be \"mundo\" or \"zodiaco\", not %R",
                 given.mode);
    return nullptr;
  }
  request.mode = *known;
  const bool has_latitude = given.latitude && given.latitude != Py_None;
  const bool has_longitude = given.longitude && given.longitude != Py_None;
  if (has_latitude != has_longitude) {
    PyErr_SetString(PyExc_ValueError,
                    "astrocartography() needs both 'latitude' and 'longitude' for local space, "
                    "or neither");
    return nullptr;
  }
  if (has_latitude) {
    MapPlace place{};
    if (!read_latitude(given.latitude, "astrocartography", &place.latitude) ||
        !read_longitude(given.longitude, "astrocartography", &place.longitude)) {
      return nullptr;
    }
    request.local_space = place;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return quorvane::astrocartography(kernels, request); }, given.form);
}

}  // namespace

PyMethodDef engine_astrocartography_method = {
    "astrocartography", with_keywords(engine_astrocartography),
    METH_VARARGS | METH_KEYWORDS,
    "astrocartography($self, moment, bodies=None, mode=\"mundo\", latitude=None, "
    "longitude=None, *, json=False)\n--\n\n"
    "Where on Earth each body stands on an angle at `moment`: its MC and IC\n"
    "meridians and its ASC and DSC curves, the parans between every pair, and,\n"
    "given `latitude` and `longitude`, the local-space circles from that place.\n\n"
    "`bodies`: names (Sun to Pluto by default; any name Engine.positions knows).\n"
    "`mode`: \"mundo\" draws each body at its apparent right ascension and\n"
    "declination of date (its ecliptic latitude included); \"zodiaco\" draws the\n"
    "point of the ecliptic at the body's longitude (latitude 0), through the\n"
    "obliquity the chart's houses use (`obliquity`: IAU 1980 mean), so a chart cast\n"
    "on a zodiaco ASC line has the body's longitude on its Ascendant.\n\n"
    "Conventions: geocentric apparent places; Greenwich apparent sidereal time\n"
    "(IAU 2006/2000A, UT taken as UTC); hour angle H = sidereal time + east\n"
    "longitude - right ascension; MC where H = 0, IC where H = 180; ASC and DSC on\n"
    "the geometric horizon (altitude 0: no refraction, parallax or semidiameter),\n"
    "cos H = -tan(latitude) tan(declination), ASC east of the meridian (H < 0), DSC\n"
    "west. An ASC or DSC line exists from latitude -(90 - |dec|) to 90 - |dec|\n"
    "(`south`, `north`); beyond, the body is circumpolar or never rises. Lines are\n"
    "lists of `segments` of [longitude, latitude] points, east longitude in\n"
    "[-180, 180], cut at the antimeridian; a straight segment stays within\n"
    "`tolerance` (0.01) degrees of the true curve. A paran is a latitude where\n"
    "`first` on `first_angle` and `second` on `second_angle` at the same local\n"
    "sidereal time, for every pair and every pair of angles but two meridians;\n"
    "its `longitude` is where the two lines cross at `moment`. Local space: the\n"
    "great circle through the place along each body's azimuth (from north through\n"
    "east) at `moment`."};

}  // namespace quorvane::py
