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
  if (!state->unknown_option) {
    state->unknown_option = PyErr_NewExceptionWithDoc(
        "quorvane_engine.UnknownOptionWarning",
        "An option text the engine does not know, replaced by its default (a UserWarning;\n"
        "turn it into an error with warnings.simplefilter(\"error\", UnknownOptionWarning)).",
        PyExc_UserWarning, nullptr);
    if (!state->unknown_option) {
      Py_FatalError("Failed to initialize new exception type.");
    }
  }
  return true;
}

PyObject* raise_message(PyObject* type, std::string_view message) {
  PyRef text = PyRef::steal(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (text) PyErr_SetObject(type, text.get());
  return nullptr;
}

PyObject* raise_engine_failure(ModuleState* state, const std::string& message) {
  ensure_exception_types(state);
  return raise_message(state->engine_error, message);
}

PyObject* raise_engine_error(ModuleState* state, const EngineError& error) {
  ensure_exception_types(state);
  if (std::holds_alternative<OutOfRange>(error.kind)) {
    return raise_message(state->range_error, error.text());
  }
  if (const auto* spk = std::get_if<SpkFailure>(&error.kind)) {
    // A segment that does not cover the time asked for is a date outside
    // the kernels, however deep in a search it was found.
    const bool uncovered = std::holds_alternative<SpkNotCovered>(spk->error.kind);
    return raise_message(uncovered ? state->range_error : state->engine_error, error.text());
  }
  return raise_message(PyExc_ValueError, std::get<InvalidInput>(error.kind).message);
}

}  // namespace quorvane::py
