// Engine.chart
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "quorvane/chart.hpp"

namespace quorvane::py {
namespace {

PyObject* engine_chart(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"moment",        "latitude",     "longitude",
                                      "house_system",  "zodiac_type",  "ayanamsa",
                                      "orb_settings",  "dignity_scheme", "chinese_calendar"};
  PyObject* values[9] = {};
  if (!parse_arguments(args, kwargs, "chart", names, 9, 3, values)) return nullptr;

  ChartRequest request;
  if (!arg_double(values[1], "chart", "latitude", &request.latitude)) return nullptr;
  if (!arg_double(values[2], "chart", "longitude", &request.longitude)) return nullptr;
  if (values[3] && !arg_text(values[3], "chart", "house_system", &request.house_system)) return nullptr;
  if (values[4] && !arg_text(values[4], "chart", "zodiac_type", &request.zodiac_type)) return nullptr;
  if (values[5] && !arg_text(values[5], "chart", "ayanamsa", &request.ayanamsa)) return nullptr;
  std::string dignity_scheme = "lilly";
  if (values[7] && !arg_text(values[7], "chart", "dignity_scheme", &dignity_scheme)) return nullptr;
  bool chinese_calendar = false;
  if (values[8] && !arg_bool(values[8], "chart", "chinese_calendar", &chinese_calendar)) return nullptr;

  auto moment = to_instant(values[0]);
  if (!moment) return nullptr;
  request.moment = *moment;
  if (values[6] && values[6] != Py_None) {
    auto settings = to_json_value(values[6]);
    if (!settings) return nullptr;
    request.orb_settings = std::move(*settings);
  }
  request.dignity_scheme = std::move(dignity_scheme);
  request.chinese_calendar = chinese_calendar;

  const KernelSet& kernels = engine_kernels(self);
  std::optional<Expected<Chart, EngineError>> result;
  Py_BEGIN_ALLOW_THREADS
  result.emplace(calculate_chart(kernels, request));
  Py_END_ALLOW_THREADS
  if (!*result) return raise_engine_error(engine_state(self), result->error());
  return hand_off(engine_state(self), to_json(result->value()));
}

}  // namespace

PyMethodDef engine_chart_method = {
    "chart", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_chart)),
    METH_VARARGS | METH_KEYWORDS,
    "chart($self, moment, latitude, longitude, house_system=\"P\", zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", orb_settings=None, dignity_scheme=\"lilly\", "
    "chinese_calendar=False)\n--\n\n"
    "The chart of a moment and place, as the API's chart dict; with\n"
    "`chinese_calendar`, also the Chinese calendar of the moment."};

}  // namespace quorvane::py
