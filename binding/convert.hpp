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
// readers that must see them). A NaN or infinity inside, or anything
// json.dumps refuses, is a ValueError or TypeError naming `what` (an
// argument's name).
std::optional<std::string> to_json_text(ModuleState* state, PyObject* object,
                                        const char* what = "the argument");

// Any Python object, through json.dumps, into a JSON value; a number too
// large for a double is a ValueError naming `what`.
std::optional<Json> to_json_value(ModuleState* state, PyObject* object,
                                  const char* what = "the argument");

// A str argument as UTF-8 text.
std::optional<std::string> to_text(PyObject* text);

}  // namespace quorvane::py
