// Argument parsing shared by every binding: positional-or-keyword
// arguments by name, and typed conversions whose TypeError names the
// argument.
#pragma once

#include <optional>
#include <string>

#include "pyref.hpp"

namespace quorvane::py {

// Fills `out` (one slot per name, borrowed references) from args and
// kwargs. Slots of omitted optional arguments stay as they were. Raises
// TypeError for a missing, unknown or repeated argument.
bool parse_arguments(PyObject* args, PyObject* kwargs, const char* function,
                     const char* const* names, int count, int required, PyObject** out);

// What a call gives back: Python objects, or the compact JSON text of the
// same result (for callers that pass it straight on).
enum class ResultForm { objects, json_text };

// The keyword-only `json` flag of every call that returns a record: taken
// out of the keywords (`*kwargs` then points to a copy held by `rest`) and
// read as a bool. False with a Python error set.
bool take_result_form(const char* function, PyObject** kwargs, PyRef* rest, ResultForm* form);

bool arg_double(PyObject* value, const char* function, const char* name, double* out);
// A float that must be finite (NaN and infinities would compute into
// plausible-looking answers); ValueError naming the argument otherwise.
bool arg_finite_double(PyObject* value, const char* function, const char* name, double* out);
// The same within [-limit, limit]; `unit` completes the message.
bool arg_double_within(PyObject* value, const char* function, const char* name, double limit,
                       const char* unit, double* out);
bool arg_text(PyObject* value, const char* function, const char* name, std::string* out);
bool arg_bool(PyObject* value, const char* function, const char* name, bool* out);
bool arg_int(PyObject* value, const char* function, const char* name, long long* out);

}  // namespace quorvane::py
