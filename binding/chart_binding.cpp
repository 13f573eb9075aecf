// Engine.chart
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/chart/chart.hpp"

namespace quorvane::py {
namespace {

PyObject* engine_chart(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"moment",        "latitude",     "longitude",
                                      "house_system",  "zodiac_type",  "ayanamsa",
                                      "orb_settings",  "dignity_scheme", "chinese_calendar"};
  PyObject* values[9] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("chart", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "chart", names, 9, 3, values)) return nullptr;

  ChartRequest request;
  if (!read_place_and_options("chart", values[1], values[2], &values[3], &request) ||
      !read_optional_text(values[7], "chart", "dignity_scheme", &request.dignity_scheme)) {
    return nullptr;
  }
  if (values[8] && !arg_bool(values[8], "chart", "chinese_calendar", &request.chinese_calendar)) {
    return nullptr;
  }

  auto moment = to_instant(state, values[0]);
  if (!moment) return nullptr;
  request.moment = *moment;
  if (!read_orb_settings(state, values[6], &request)) return nullptr;

  if (!warn_unknown_options(request)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return calculate_chart(kernels, request); }, form);
}

}  // namespace

PyMethodDef engine_chart_method = {
    "chart", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_chart)),
    METH_VARARGS | METH_KEYWORDS,
    "chart($self, moment, latitude, longitude, house_system=\"P\", zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", orb_settings=None, dignity_scheme=\"lilly\", "
    "chinese_calendar=False, *, json=False)\n--\n\n"
    "The chart of a moment and place, as the API's chart dict; with\n"
    "`chinese_calendar`, also the Chinese calendar of the moment."};

}  // namespace quorvane::py
