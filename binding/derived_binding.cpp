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

PyObject* synastry(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  static const char* const names[] = {"chart_a_planets", "chart_b_planets", "orb_settings"};
  PyObject* values[3] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("synastry", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "synastry", names, 3, 2, values)) return nullptr;
  auto a = to_json_value(state, values[0]);
  if (!a) return nullptr;
  auto b = to_json_value(state, values[1]);
  if (!b) return nullptr;
  std::optional<Json> settings;
  if (values[2] && values[2] != Py_None) {
    settings = to_json_value(state, values[2]);
    if (!settings) return nullptr;
  }
  if (!warn_option_note(orb_method_note(settings ? &*settings : nullptr))) return nullptr;
  return run_unlocked(state, [&] { return calculate_synastry(*a, *b, settings); }, form);
}

PyObject* derived_chart(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState* state = state_of(module);
  static const char* const names[] = {"base_chart", "root_house", "custom_name"};
  PyObject* values[3] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("derived_chart", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "derived_chart", names, 3, 2, values)) return nullptr;
  long long root_house = 0;
  if (!arg_int(values[1], "derived_chart", "root_house", &root_house)) return nullptr;
  std::optional<std::string> custom_name;
  if (values[2] && values[2] != Py_None) {
    std::string text;
    if (!arg_text(values[2], "derived_chart", "custom_name", &text)) return nullptr;
    custom_name = std::move(text);
  }
  auto base = to_json_value(state, values[0]);
  if (!base) return nullptr;
  return run_unlocked(state,
                      [&] { return calculate_derived_chart(*base, root_house, custom_name); }, form);
}

}  // namespace

PyMethodDef synastry_method = {
    "synastry", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(synastry)),
    METH_VARARGS | METH_KEYWORDS,
    "synastry(chart_a_planets, chart_b_planets, orb_settings=None, *, json=False)\n--\n\n"
    "Cross-aspects from chart B's planets (overlay) to chart A's (base)."};

PyMethodDef derived_chart_method = {
    "derived_chart", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(derived_chart)),
    METH_VARARGS | METH_KEYWORDS,
    "derived_chart(base_chart, root_house, custom_name=None, *, json=False)\n--\n\n"
    "A derived (turned) chart from a chart dict: radix house `root_house` becomes house 1."};

}  // namespace quorvane::py
