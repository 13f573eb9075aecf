// Per-module state: the exception types and the Engine type object.
#pragma once

#include "pyref.hpp"

namespace quorvane::py {

struct ModuleState {
  PyObject* engine_error = nullptr;  // quorvane_engine.EngineError
  PyObject* range_error = nullptr;   // quorvane_engine.EphemerisRangeError
  PyObject* engine_type = nullptr;   // quorvane_engine.Engine
};

extern PyModuleDef module_definition;

inline ModuleState* state_of(PyObject* module) {
  return static_cast<ModuleState*>(PyModule_GetState(module));
}

// The state of the module that defined `type` (for methods of heap types).
inline ModuleState* state_of_type(PyTypeObject* type) {
  PyObject* module = PyType_GetModuleByDef(type, &module_definition);
  return module ? state_of(module) : nullptr;
}

// Creates the exception types once; returns false with a Python error set.
bool ensure_exception_types(ModuleState* state);

}  // namespace quorvane::py
