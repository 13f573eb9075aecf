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

PyObject* time_lords(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  static const char* const names[] = {"birth", "sun_longitude", "ascendant_longitude", "start",
                                      "end"};
  PyObject* values[5] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("time_lords", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "time_lords", names, 5, 5, values)) return nullptr;
  auto birth = to_instant(state, values[0]);
  if (!birth) return nullptr;
  double sun = 0.0;
  if (!arg_finite_double(values[1], "time_lords", "sun_longitude", &sun)) return nullptr;
  double ascendant = 0.0;
  if (!arg_finite_double(values[2], "time_lords", "ascendant_longitude", &ascendant)) {
    return nullptr;
  }
  auto start = to_instant(state, values[3]);
  if (!start) return nullptr;
  auto end = to_instant(state, values[4]);
  if (!end) return nullptr;
  return run_unlocked(state,
                      [&] { return quorvane::time_lords(*birth, sun, ascendant, *start, *end); }, form);
}

PyObject* degree_qualities(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  static const char* const names[] = {"longitude"};
  PyObject* value = nullptr;
  ResultForm form;
  PyRef rest;
  if (!take_result_form("degree_qualities", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "degree_qualities", names, 1, 1, &value)) return nullptr;
  double longitude = 0.0;
  if (!arg_finite_double(value, "degree_qualities", "longitude", &longitude)) return nullptr;
  return run_unlocked(state, [&] { return quorvane::degree_qualities(longitude); }, form);
}

PyObject* degree_quality_table(PyObject* module, PyObject* args, PyObject* kwargs) {
  ResultForm form;
  PyRef rest;
  if (!take_result_form("degree_quality_table", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "degree_quality_table", nullptr, 0, 0, nullptr)) {
    return nullptr;
  }
  return run_unlocked(state_of(module), [] { return degree_quality_table_json(); }, form);
}

}  // namespace

PyMethodDef time_lords_method = {
    "time_lords", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(time_lords)),
    METH_VARARGS | METH_KEYWORDS,
    "time_lords(birth, sun_longitude, ascendant_longitude, start, end, *, json=False)\n--\n\n"
    "Annual profections and firdaria of a nativity (birth moment, natal Sun and\n"
    "Ascendant longitudes) for the years that overlap `start`..`end`."};

PyMethodDef degree_qualities_method = {
    "degree_qualities",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(degree_qualities)),
    METH_VARARGS | METH_KEYWORDS,
    "degree_qualities(longitude, *, json=False)\n--\n\n"
    "Lilly's qualities of the degree an ecliptic longitude falls in."};

PyMethodDef degree_quality_table_method = {
    "degree_quality_table",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(degree_quality_table)),
    METH_VARARGS | METH_KEYWORDS,
    "degree_quality_table(*, json=False)\n--\n\n"
    "Lilly's table of the degree qualities, one dict per sign from Aries."};

}  // namespace quorvane::py
