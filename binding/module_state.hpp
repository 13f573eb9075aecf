// Per-module state: the exception types, the Engine type object, and the
// Python functions every call needs, looked up once.
#pragma once

#include "pyref.hpp"

namespace quorvane::py {

class KeptTexts;

struct ModuleState {
  PyObject* engine_error = nullptr;  // quorvane_engine.EngineError
  PyObject* range_error = nullptr;   // quorvane_engine.EphemerisRangeError
  PyObject* unknown_option = nullptr;  // quorvane_engine.UnknownOptionWarning
  PyObject* engine_type = nullptr;   // quorvane_engine.Engine
  PyObject* json_dumps = nullptr;    // json.dumps, for JSON-shaped arguments
  PyObject* utc = nullptr;           // datetime.timezone.utc, for aware moments
  KeptTexts* keys = nullptr;          // the str of result keys (record_objects.cpp)
  KeptTexts* texts = nullptr;         // the str of result texts (record_objects.cpp)
};

extern PyModuleDef module_definition;

inline ModuleState* state_of(PyObject* module) {
  return static_cast<ModuleState*>(PyModule_GetState(module));
}

// The state of the module that defined `type` (for methods of heap types).
// The module's types cannot be subclassed, so `type` is the one the module
// made and holds its module itself.
inline ModuleState* state_of_type(PyTypeObject* type) {
  PyObject* module = PyType_GetModule(type);
  return module ? state_of(module) : nullptr;
}

// Creates the exception types once; returns false with a Python error set.
bool ensure_exception_types(ModuleState* state);

// Looks up json.dumps and datetime.timezone.utc; false with a Python error set.
bool find_python_helpers(ModuleState* state);

}  // namespace quorvane::py
