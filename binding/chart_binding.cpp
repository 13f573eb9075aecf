// Engine.chart
#include "args.hpp"
#include "engine_object.hpp"
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
  };
};

PyObject* engine_chart(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  ChartArguments given;
  if (!parse_arguments(args, kwargs, "chart", &given)) return nullptr;

  ChartRequest request;
  if (!read_place_and_options("chart", given.latitude, given.longitude, given.house_system,
                              given.zodiac_type, given.ayanamsa, &request) ||
      !read_optional_text(given.dignity_scheme, "chart", "dignity_scheme",
                          &request.dignity_scheme)) {
    return nullptr;
  }
  if (given.chinese_calendar &&
      !arg_bool(given.chinese_calendar, "chart", "chinese_calendar", &request.chinese_calendar)) {
    return nullptr;
  }

  if (!read_moment(state, given.moment, &request.moment) ||
      !read_orb_settings(state, given.orb_settings, &request)) {
    return nullptr;
  }

  if (!warn_unknown_options(request)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return calculate_chart(kernels, request); }, given.form);
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
