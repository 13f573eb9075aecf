// The one place where engine errors become Python exceptions.
#pragma once

#include <string_view>

#include "module_state.hpp"
#include "quorvane/base/error.hpp"

namespace quorvane::py {

// Sets the Python exception for an engine error and returns null.
PyObject* raise_engine_error(ModuleState* state, const EngineError& error);

// Sets quorvane_engine.EngineError with a message and returns null.
PyObject* raise_engine_failure(ModuleState* state, const std::string& message);

// Sets `type` with the whole message, NULs and all (invalid UTF-8 is
// replaced), and returns null.
PyObject* raise_message(PyObject* type, std::string_view message);

}  // namespace quorvane::py
