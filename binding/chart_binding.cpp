// Engine.chart
#include "args.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/chart/chart.hpp"

namespace quorvane::py {
namespace {

struct ChartArguments : ChartRequestArguments {
  PyObject* chinese_calendar = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<ChartArguments> parameters[] = {
      {"moment", &ChartArguments::moment},
      {"latitude", &ChartArguments::latitude},
      {"longitude", &ChartArguments::longitude},
      {"house_system", &ChartArguments::house_system},
      {"zodiac_type", &ChartArguments::zodiac_type},
      {"ayanamsa", &ChartArguments::ayanamsa},
      {"orb_settings", &ChartArguments::orb_settings},
      {"dignity_scheme", &ChartArguments::dignity_scheme},
      {"chinese_calendar", &ChartArguments::chinese_calendar},
      {"house_obliquity", &ChartArguments::house_obliquity},
      {"node", &ChartArguments::node},
  };
};

PyObject* engine_chart(PyObject* self, PyObject* args, PyObject* kwargs) {
  ChartArguments given;
  if (!parse_arguments(args, kwargs, "chart", &given)) return nullptr;
  ChartRequest request;
  if (!read_chart_request(engine_state(self), "chart", given, {}, &request, [&] {
        return !given.chinese_calendar ||
               arg_bool(given.chinese_calendar, "chart", "chinese_calendar",
                        &request.chinese_calendar);
      })) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return calculate_chart(kernels, request); }, given.form);
}

}  // namespace

PyMethodDef engine_chart_method = {
    "chart", with_keywords(engine_chart),
    METH_VARARGS | METH_KEYWORDS,
    "chart($self, moment, latitude, longitude, house_system=\"P\", zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", orb_settings=None, dignity_scheme=\"lilly\", "
    "chinese_calendar=False, house_obliquity=\"mean\", node=\"mean\", *, json=False)\n--\n\n"
    "The chart of a moment and place, as the API's chart dict; with\n"
    "`chinese_calendar`, also the Chinese calendar of the moment. The \"North Node\" and\n"
    "\"South Node\" are the mean nodes, or with node=\"true\" the nodes of the Moon's\n"
    "osculating orbit. `house_system` echoes the text given, `house_system_used` is the\n"
    "code of the system the houses were cast in and `house_system_fallback` says why,\n"
    "when that is not the one asked for (an unknown name: Placidus; a quadrant system\n"
    "beyond the polar circles: Porphyry, with a UserWarning).\n"
    "Beyond the polar circles the sect and each planet's `above_horizon` come from the\n"
    "altitude of its ecliptic place rather than from the Ascendant."};

}  // namespace quorvane::py
