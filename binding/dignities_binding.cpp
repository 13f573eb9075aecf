// chart_dignities(chart, dignity_scheme="lilly")
#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "unlocked.hpp"
#include "quorvane/traditional/chart_dignities.hpp"
#include "quorvane/zodiac/options.hpp"
#include "request_args.hpp"

namespace quorvane::py {
namespace {

struct ChartDignitiesArguments : RecordArguments {
  PyObject* chart = nullptr;
  PyObject* dignity_scheme = nullptr;
  static constexpr int required = 1;
  static constexpr Parameter<ChartDignitiesArguments> parameters[] = {
      {"chart", &ChartDignitiesArguments::chart},
      {"dignity_scheme", &ChartDignitiesArguments::dignity_scheme},
  };
};

PyObject* chart_dignities_function(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  ChartDignitiesArguments given;
  if (!parse_arguments(args, kwargs, "chart_dignities", &given)) return nullptr;
  auto chart = to_json_value(state, given.chart, "chart");
  if (!chart) return nullptr;
  std::string scheme = "lilly";
  if (given.dignity_scheme &&
      !arg_text(given.dignity_scheme, "chart_dignities", "dignity_scheme", &scheme)) {
    return nullptr;
  }

  if (!warn_option_note(state, dignity_scheme_note(scheme))) return nullptr;
  return run_unlocked(state, [&] { return quorvane::chart_dignities(*chart, scheme); }, given.form);
}

}  // namespace

PyMethodDef chart_dignities_method = {
    "chart_dignities",
    with_keywords(chart_dignities_function),
    METH_VARARGS | METH_KEYWORDS,
    "chart_dignities(chart, dignity_scheme=\"lilly\", *, json=False)\n--\n\n"
    "A computed chart's dignities (condition, sect, receptions) judged again under\n"
    "`dignity_scheme` (\"lilly\" or \"dorothean\"). No kernel is needed."};

}  // namespace quorvane::py
