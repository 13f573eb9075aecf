// Engine.transit
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "quorvane/derived.hpp"

namespace quorvane::py {
namespace {

PyObject* engine_transit(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"natal_planets", "moment",       "latitude",
                                      "longitude",     "house_system", "zodiac_type",
                                      "ayanamsa",      "orb_settings", "dignity_scheme"};
  PyObject* values[9] = {};
  if (!parse_arguments(args, kwargs, "transit", names, 9, 4, values)) return nullptr;

  ChartRequest request;
  if (!arg_double(values[2], "transit", "latitude", &request.latitude)) return nullptr;
  if (!arg_double(values[3], "transit", "longitude", &request.longitude)) return nullptr;
  if (values[4] && !arg_text(values[4], "transit", "house_system", &request.house_system)) return nullptr;
  if (values[5] && !arg_text(values[5], "transit", "zodiac_type", &request.zodiac_type)) return nullptr;
  if (values[6] && !arg_text(values[6], "transit", "ayanamsa", &request.ayanamsa)) return nullptr;
  if (values[8] && !arg_text(values[8], "transit", "dignity_scheme", &request.dignity_scheme)) {
    return nullptr;
  }

  auto natal = to_json_value(values[0]);
  if (!natal) return nullptr;
  auto moment = to_instant(values[1]);
  if (!moment) return nullptr;
  request.moment = *moment;
  if (values[7] && values[7] != Py_None) {
    auto settings = to_json_value(values[7]);
    if (!settings) return nullptr;
    request.orb_settings = std::move(*settings);
  }

  const KernelSet& kernels = engine_kernels(self);
  std::optional<Expected<TransitChart, EngineError>> result;
  Py_BEGIN_ALLOW_THREADS
  result.emplace(calculate_transit_chart(kernels, *natal, request));
  Py_END_ALLOW_THREADS
  if (!*result) return raise_engine_error(engine_state(self), result->error());
  return hand_off(engine_state(self), to_json(result->value()));
}

}  // namespace

PyMethodDef engine_transit_method = {
    "transit", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_transit)),
    METH_VARARGS | METH_KEYWORDS,
    "transit($self, natal_planets, moment, latitude, longitude, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", orb_settings=None, "
    "dignity_scheme=\"lilly\")\n--\n\n"
    "The sky at `moment` and place, with its cross-aspects to `natal_planets`."};

}  // namespace quorvane::py
