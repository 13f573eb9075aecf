// Engine.transit
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/predictive/transit_synastry.hpp"

namespace quorvane::py {
namespace {

PyObject* engine_transit(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"natal_planets", "moment",       "latitude",
                                      "longitude",     "house_system", "zodiac_type",
                                      "ayanamsa",      "orb_settings", "dignity_scheme"};
  PyObject* values[9] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("transit", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "transit", names, 9, 4, values)) return nullptr;

  ChartRequest request;
  if (!read_place_and_options("transit", values[2], values[3], &values[4], &request) ||
      !read_optional_text(values[8], "transit", "dignity_scheme", &request.dignity_scheme)) {
    return nullptr;
  }

  auto natal = to_json_value(state, values[0]);
  if (!natal) return nullptr;
  auto moment = to_instant(state, values[1]);
  if (!moment) return nullptr;
  request.moment = *moment;
  if (!read_orb_settings(state, values[7], &request)) return nullptr;

  if (!warn_unknown_options(request)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return calculate_transit_chart(kernels, *natal, request); }, form);
}

}  // namespace

PyMethodDef engine_transit_method = {
    "transit", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_transit)),
    METH_VARARGS | METH_KEYWORDS,
    "transit($self, natal_planets, moment, latitude, longitude, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", orb_settings=None, "
    "dignity_scheme=\"lilly\", *, json=False)\n--\n\n"
    "The sky at `moment` and place, with its cross-aspects to `natal_planets`."};

}  // namespace quorvane::py
