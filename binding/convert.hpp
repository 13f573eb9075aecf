// Conversions between Python objects and engine values. Each returns
// nullopt (or null) with the Python error set when it fails.
#pragma once

#include <optional>
#include <string>

#include "module_state.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane::py {

// A moment: text, or a naive (UTC) or aware datetime.
std::optional<UtcInstant> to_instant(ModuleState* state, PyObject* moment);

// The json.dumps text of any Python object (repeated keys kept, for
// readers that must see them).
std::optional<std::string> to_json_text(ModuleState* state, PyObject* object);

// Any Python object, through json.dumps, into a JSON value.
std::optional<Json> to_json_value(ModuleState* state, PyObject* object);

// A str argument as UTF-8 text.
std::optional<std::string> to_text(PyObject* text);

}  // namespace quorvane::py
