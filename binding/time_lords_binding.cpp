// time_lords(birth, sun_longitude, ascendant_longitude, start, end),
// degree_qualities(longitude) and degree_quality_table()
#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "unlocked.hpp"
#include "quorvane/predictive/time_lords.hpp"
#include "quorvane/traditional/degree_qualities.hpp"

namespace quorvane::py {
namespace {

struct TimeLordsArguments : RecordArguments {
  PyObject* birth = nullptr;
  PyObject* sun_longitude = nullptr;
  PyObject* ascendant_longitude = nullptr;
  PyObject* start = nullptr;
  PyObject* end = nullptr;
  static constexpr int required = 5;
  static constexpr Parameter<TimeLordsArguments> parameters[] = {
      {"birth", &TimeLordsArguments::birth},
      {"sun_longitude", &TimeLordsArguments::sun_longitude},
      {"ascendant_longitude", &TimeLordsArguments::ascendant_longitude},
      {"start", &TimeLordsArguments::start},
      {"end", &TimeLordsArguments::end},
  };
};

PyObject* time_lords(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  TimeLordsArguments given;
  if (!parse_arguments(args, kwargs, "time_lords", &given)) return nullptr;
  auto birth = to_instant(state, given.birth);
  if (!birth) return nullptr;
  double sun = 0.0;
  if (!arg_finite_double(given.sun_longitude, "time_lords", "sun_longitude", &sun)) return nullptr;
  double ascendant = 0.0;
  if (!arg_finite_double(given.ascendant_longitude, "time_lords", "ascendant_longitude",
                         &ascendant)) {
    return nullptr;
  }
  auto start = to_instant(state, given.start);
  if (!start) return nullptr;
  auto end = to_instant(state, given.end);
  if (!end) return nullptr;
  return run_unlocked(
      state, [&] { return quorvane::time_lords(*birth, sun, ascendant, *start, *end); },
      given.form);
}

struct DegreeQualitiesArguments : RecordArguments {
  PyObject* longitude = nullptr;
  static constexpr int required = 1;
  static constexpr Parameter<DegreeQualitiesArguments> parameters[] = {
      {"longitude", &DegreeQualitiesArguments::longitude},
  };
};

PyObject* degree_qualities(PyObject* module, PyObject* args, PyObject* kwargs) {
  DegreeQualitiesArguments given;
  if (!parse_arguments(args, kwargs, "degree_qualities", &given)) return nullptr;
  double longitude = 0.0;
  if (!arg_finite_double(given.longitude, "degree_qualities", "longitude", &longitude)) {
    return nullptr;
  }
  return run_unlocked(
      state_of(module), [&] { return quorvane::degree_qualities(longitude); }, given.form);
}

PyObject* degree_quality_table(PyObject* module, PyObject* args, PyObject* kwargs) {
  RecordArguments given;
  if (!parse_arguments(args, kwargs, "degree_quality_table", &given)) return nullptr;
  return run_unlocked(state_of(module), [] { return degree_quality_table_json(); }, given.form);
}

}  // namespace

PyMethodDef time_lords_method = {
    "time_lords", with_keywords(time_lords),
    METH_VARARGS | METH_KEYWORDS,
    "time_lords(birth, sun_longitude, ascendant_longitude, start, end, *, json=False)\n--\n\n"
    "Annual profections and firdaria of a nativity (birth moment, natal Sun and\n"
    "Ascendant longitudes) for the years that overlap `start`..`end`."};

PyMethodDef degree_qualities_method = {
    "degree_qualities",
    with_keywords(degree_qualities),
    METH_VARARGS | METH_KEYWORDS,
    "degree_qualities(longitude, *, json=False)\n--\n\n"
    "Lilly's qualities of the degree an ecliptic longitude falls in."};

PyMethodDef degree_quality_table_method = {
    "degree_quality_table",
    with_keywords(degree_quality_table),
    METH_VARARGS | METH_KEYWORDS,
    "degree_quality_table(*, json=False)\n--\n\n"
    "Lilly's table of the degree qualities, one dict per sign from Aries."};

}  // namespace quorvane::py
