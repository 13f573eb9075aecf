// Module entry: multi-phase initialisation registers the names in order.
#include "errors.hpp"
#include "functions.hpp"
#include "guard.hpp"
#include "module_state.hpp"
#include "record_objects.hpp"

namespace quorvane::py {
namespace {

// The module functions, in the order they are registered.
PyMethodDef* const module_function_list[] = {
    &synastry_method,       &derived_chart_method,        &julian_day_method,
    &degree_qualities_method, &degree_quality_table_method, &time_lords_method,
    &chart_dignities_method, &bazi_method,                 &zi_wei_method,
    &option_codes_method,    &declination_aspects_method,  &chart_structure_method,
    &harmonic_chart_method,
};

int add_function(PyObject* module, PyMethodDef* definition) {
  PyRef name = PyRef::steal(PyModule_GetNameObject(module));
  if (!name) return -1;
  PyRef function = PyRef::steal(PyCFunction_NewEx(definition, module, name.get()));
  if (!function) return -1;
  return PyModule_AddObjectRef(module, definition->ml_name, function.get());
}

int module_exec(PyObject* module) {
  // Each function runs inside the guard; the definitions live as long as
  // the process, as the functions made from them require.
  static auto functions = guarded_definitions<module_function_list>();
  ModuleState* state = state_of(module);
  if (PyModule_AddStringConstant(module, "__version__", "0.0.12") < 0) return -1;
  if (add_engine_type(module) < 0) return -1;
  for (PyMethodDef& definition : functions) {
    if (add_function(module, &definition) < 0) return -1;
  }
  if (!ensure_exception_types(state)) return -1;
  if (!find_python_helpers(state)) return -1;
  if (PyModule_AddObjectRef(module, "EngineError", state->engine_error) < 0) return -1;
  if (PyModule_AddObjectRef(module, "EphemerisRangeError", state->range_error) < 0) return -1;
  if (PyModule_AddObjectRef(module, "UnknownOptionWarning", state->unknown_option) < 0) return -1;
  return 0;
}

int module_traverse(PyObject* module, visitproc visit, void* arg) {
  ModuleState* state = state_of(module);
  Py_VISIT(state->engine_error);
  Py_VISIT(state->range_error);
  Py_VISIT(state->unknown_option);
  Py_VISIT(state->engine_type);
  Py_VISIT(state->json_dumps);
  Py_VISIT(state->utc);
  return 0;
}

int module_clear(PyObject* module) {
  ModuleState* state = state_of(module);
  Py_CLEAR(state->engine_error);
  Py_CLEAR(state->range_error);
  Py_CLEAR(state->unknown_option);
  Py_CLEAR(state->engine_type);
  Py_CLEAR(state->json_dumps);
  Py_CLEAR(state->utc);
  release_kept_texts(state);
  return 0;
}

void module_free(void* module) { module_clear(static_cast<PyObject*>(module)); }

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

}  // namespace

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "quorvane_engine",
    "",  // an empty docstring, not None
    sizeof(ModuleState),
    nullptr,
    module_slots,
    module_traverse,
    module_clear,
    module_free,
};

}  // namespace quorvane::py

PyMODINIT_FUNC PyInit_quorvane_engine(void) {
  return PyModuleDef_Init(&quorvane::py::module_definition);
}
