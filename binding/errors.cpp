#include "errors.hpp"

namespace quorvane::py {

bool ensure_exception_types(ModuleState* state) {
  if (!state->engine_error) {
    state->engine_error = PyErr_NewExceptionWithDoc(
        "quorvane_engine.EngineError",
        "A calculation failed (malformed kernel, unsupported data).", PyExc_Exception, nullptr);
    if (!state->engine_error) {
      Py_FatalError("Failed to initialize new exception type.");
    }
  }
  if (!state->range_error) {
    state->range_error = PyErr_NewExceptionWithDoc("quorvane_engine.EphemerisRangeError",
                                                   "No loaded kernel covers the requested date.",
                                                   state->engine_error, nullptr);
    if (!state->range_error) {
      Py_FatalError("Failed to initialize new exception type.");
    }
  }
  return true;
}

PyObject* raise_engine_failure(ModuleState* state, const std::string& message) {
  ensure_exception_types(state);
  PyErr_SetString(state->engine_error, message.c_str());
  return nullptr;
}

PyObject* raise_engine_error(ModuleState* state, const EngineError& error) {
  ensure_exception_types(state);
  if (std::holds_alternative<OutOfRange>(error.kind)) {
    PyErr_SetString(state->range_error, error.text().c_str());
  } else if (std::holds_alternative<SpkFailure>(error.kind)) {
    PyErr_SetString(state->engine_error, error.text().c_str());
  } else {
    PyErr_SetString(PyExc_ValueError, std::get<InvalidInput>(error.kind).message.c_str());
  }
  return nullptr;
}

}  // namespace quorvane::py
