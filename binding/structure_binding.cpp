// chart_structure(chart, *, rulers="traditional", midpoint_orb=1.5) and
// harmonic_chart(chart, n)
#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "quorvane/chart/chart_structure.hpp"
#include "unlocked.hpp"

namespace quorvane::py {
namespace {

struct ChartStructureArguments : RecordArguments {
  PyObject* chart = nullptr;
  PyObject* rulers = nullptr;
  PyObject* midpoint_orb = nullptr;
  static constexpr int required = 1;
  static constexpr Parameter<ChartStructureArguments> parameters[] = {
      {"chart", &ChartStructureArguments::chart},
      {"rulers", &ChartStructureArguments::rulers},
      {"midpoint_orb", &ChartStructureArguments::midpoint_orb},
  };
};

PyObject* chart_structure_function(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  // The options are keyword-only: a bare string after the chart reads badly.
  if (args && PyTuple_Size(args) > 1) {
    PyErr_SetString(PyExc_TypeError,
                    "chart_structure() takes 1 positional argument; rulers and midpoint_orb are "
                    "keyword-only");
    return nullptr;
  }
  ChartStructureArguments given;
  if (!parse_arguments(args, kwargs, "chart_structure", &given)) return nullptr;
  std::string rulers = "traditional";
  if (given.rulers && !arg_text(given.rulers, "chart_structure", "rulers", &rulers)) {
    return nullptr;
  }
  double orb = kDefaultMidpointOrb;
  if (given.midpoint_orb &&
      !arg_finite_double(given.midpoint_orb, "chart_structure", "midpoint_orb", &orb)) {
    return nullptr;
  }
  auto chart = to_json_value(state, given.chart, "chart");
  if (!chart) return nullptr;
  return run_unlocked(state, [&] { return quorvane::chart_structure(*chart, rulers, orb); },
                      given.form);
}

struct HarmonicArguments : RecordArguments {
  PyObject* chart = nullptr;
  PyObject* n = nullptr;
  static constexpr int required = 2;
  static constexpr Parameter<HarmonicArguments> parameters[] = {
      {"chart", &HarmonicArguments::chart},
      {"n", &HarmonicArguments::n},
  };
};

PyObject* harmonic_chart_function(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  HarmonicArguments given;
  if (!parse_arguments(args, kwargs, "harmonic_chart", &given)) return nullptr;
  long long n = 0;
  if (!arg_int(given.n, "harmonic_chart", "n", &n)) return nullptr;
  auto chart = to_json_value(state, given.chart, "chart");
  if (!chart) return nullptr;
  return run_unlocked(state, [&] { return quorvane::harmonic_chart(*chart, n); }, given.form);
}

}  // namespace

PyMethodDef chart_structure_method = {
    "chart_structure", with_keywords(chart_structure_function),
    METH_VARARGS | METH_KEYWORDS,
    "chart_structure(chart, *, rulers=\"traditional\", midpoint_orb=1.5, json=False)\n--\n\n"
    "The structure of a finished chart dict: aspect patterns among the ten planets,\n"
    "element/mode/polarity and house tallies, dispositors by domicile (`rulers`:\n"
    "\"traditional\" or \"modern\"), the Jones shape and the midpoints with their trees.\n"
    "A function over the dict, so it serves any chart the engine returns (natal,\n"
    "horary, return, composite) and costs nothing when unused. No kernel is needed."};

PyMethodDef harmonic_chart_method = {
    "harmonic_chart", with_keywords(harmonic_chart_function),
    METH_VARARGS | METH_KEYWORDS,
    "harmonic_chart(chart, n, *, json=False)\n--\n\n"
    "The nth harmonic of a chart dict: every point of `planets` at n times its\n"
    "longitude modulo 360, with the aspects the chart's orb settings find among them."};

}  // namespace quorvane::py
