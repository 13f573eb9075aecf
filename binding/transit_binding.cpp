// Engine.transit
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/predictive/transit_synastry.hpp"

namespace quorvane::py {
namespace {

struct TransitArguments : ChartRequestArguments {
  PyObject* natal_planets = nullptr;
  static constexpr int required = 4;
  static constexpr Parameter<TransitArguments> parameters[] = {
      {"natal_planets", &TransitArguments::natal_planets},
      {"moment", &TransitArguments::moment},
      {"latitude", &TransitArguments::latitude},
      {"longitude", &TransitArguments::longitude},
      {"house_system", &TransitArguments::house_system},
      {"zodiac_type", &TransitArguments::zodiac_type},
      {"ayanamsa", &TransitArguments::ayanamsa},
      {"orb_settings", &TransitArguments::orb_settings},
      {"dignity_scheme", &TransitArguments::dignity_scheme},
      {"house_obliquity", &TransitArguments::house_obliquity},
  };
};

PyObject* engine_transit(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  TransitArguments given;
  if (!parse_arguments(args, kwargs, "transit", &given)) return nullptr;
  ChartRequest request;
  std::optional<Json> natal;
  if (!read_chart_request(state, "transit", given, {}, &request, [&] {
        natal = to_json_value(state, given.natal_planets, "natal_planets");
        return natal.has_value();
      })) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return calculate_transit_chart(kernels, *natal, request); }, given.form);
}

}  // namespace

PyMethodDef engine_transit_method = {
    "transit", with_keywords(engine_transit),
    METH_VARARGS | METH_KEYWORDS,
    "transit($self, natal_planets, moment, latitude, longitude, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", orb_settings=None, "
    "dignity_scheme=\"lilly\", house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "The sky at `moment` and place, with its cross-aspects to `natal_planets`."};

}  // namespace quorvane::py
