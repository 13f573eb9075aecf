// synastry(chart_a_planets, chart_b_planets, orb_settings=None) and
// derived_chart(base_chart, root_house, custom_name=None)
#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "unlocked.hpp"
#include "quorvane/predictive/transit_synastry.hpp"
#include "quorvane/traditional/derived_chart.hpp"
#include "quorvane/zodiac/options.hpp"
#include "request_args.hpp"

namespace quorvane::py {
namespace {

struct SynastryArguments : RecordArguments {
  PyObject* chart_a_planets = nullptr;
  PyObject* chart_b_planets = nullptr;
  PyObject* orb_settings = nullptr;
  static constexpr int required = 2;
  static constexpr Parameter<SynastryArguments> parameters[] = {
      {"chart_a_planets", &SynastryArguments::chart_a_planets},
      {"chart_b_planets", &SynastryArguments::chart_b_planets},
      {"orb_settings", &SynastryArguments::orb_settings},
  };
};

PyObject* synastry(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  SynastryArguments given;
  if (!parse_arguments(args, kwargs, "synastry", &given)) return nullptr;
  auto a = to_json_value(state, given.chart_a_planets, "chart_a_planets");
  if (!a) return nullptr;
  auto b = to_json_value(state, given.chart_b_planets, "chart_b_planets");
  if (!b) return nullptr;
  std::optional<Json> settings;
  if (given.orb_settings && given.orb_settings != Py_None) {
    settings = to_json_value(state, given.orb_settings, "orb_settings");
    if (!settings) return nullptr;
  }
  if (!warn_option_note(state, orb_method_note(settings ? &*settings : nullptr))) return nullptr;
  return run_unlocked(state, [&] { return calculate_synastry(*a, *b, settings); }, given.form);
}

struct DerivedChartArguments : RecordArguments {
  PyObject* base_chart = nullptr;
  PyObject* root_house = nullptr;
  PyObject* custom_name = nullptr;
  static constexpr int required = 2;
  static constexpr Parameter<DerivedChartArguments> parameters[] = {
      {"base_chart", &DerivedChartArguments::base_chart},
      {"root_house", &DerivedChartArguments::root_house},
      {"custom_name", &DerivedChartArguments::custom_name},
  };
};

PyObject* derived_chart(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  DerivedChartArguments given;
  if (!parse_arguments(args, kwargs, "derived_chart", &given)) return nullptr;
  long long root_house = 0;
  if (!arg_int(given.root_house, "derived_chart", "root_house", &root_house)) return nullptr;
  std::optional<std::string> custom_name;
  if (given.custom_name && given.custom_name != Py_None) {
    std::string text;
    if (!arg_text(given.custom_name, "derived_chart", "custom_name", &text)) return nullptr;
    custom_name = std::move(text);
  }
  auto base = to_json_value(state, given.base_chart, "base_chart");
  if (!base) return nullptr;
  return run_unlocked(
      state, [&] { return calculate_derived_chart(*base, root_house, custom_name); }, given.form);
}

}  // namespace

PyMethodDef synastry_method = {
    "synastry", with_keywords(synastry),
    METH_VARARGS | METH_KEYWORDS,
    "synastry(chart_a_planets, chart_b_planets, orb_settings=None, *, json=False)\n--\n\n"
    "Cross-aspects from chart B's planets (overlay) to chart A's (base)."};

PyMethodDef derived_chart_method = {
    "derived_chart", with_keywords(derived_chart),
    METH_VARARGS | METH_KEYWORDS,
    "derived_chart(base_chart, root_house, custom_name=None, *, json=False)\n--\n\n"
    "A derived (turned) chart from a chart dict: radix house `root_house` becomes house 1."};

}  // namespace quorvane::py
