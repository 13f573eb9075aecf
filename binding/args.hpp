// Argument parsing shared by every binding: positional-or-keyword
// arguments by name, and typed conversions whose TypeError names the
// argument.
#pragma once

#include <iterator>
#include <optional>
#include <string>
#include <type_traits>

#include "pyref.hpp"

namespace quorvane::py {

// What a call gives back: Python objects, or the compact JSON text of the
// same result (for callers that pass it straight on).
enum class ResultForm { objects, json_text };

// One parameter of a call: its name and the member of the call's argument
// struct that receives it.
template <class Arguments>
struct Parameter {
  const char* name;
  PyObject* Arguments::*slot;
};

// The arguments of a call are a struct of PyObject* members (borrowed
// references, null while omitted) that declares, next to them,
//   static constexpr int required = N;  // the first N may not be omitted
//   static constexpr Parameter<Self> parameters[] = {...};  // positional order
// A call that returns a record derives it from RecordArguments, which
// reads the keyword-only `json` flag before the others.
struct RecordArguments {
  ResultForm form = ResultForm::objects;
  // The keywords without `json` when it was given; the slots borrow from it.
  PyRef keywords;
};

inline constexpr int kMaxParameters = 16;

// Fills `slots` (one per name, borrowed references) from args and kwargs.
// Slots of omitted optional arguments stay as they were. Raises TypeError
// for a missing, unknown or repeated argument.
bool parse_argument_slots(PyObject* args, PyObject* kwargs, const char* function,
                          const char* const* names, int count, int required, PyObject** slots);

// The keyword-only `json` flag of every call that returns a record: taken
// out of the keywords (`*kwargs` then points to a copy held by `rest`) and
// read as a bool. False with a Python error set.
bool take_result_form(const char* function, PyObject** kwargs, PyRef* rest, ResultForm* form);

// Fills `out` as its parameters declare; false with a Python error set.
template <class Arguments>
bool parse_arguments(PyObject* args, PyObject* kwargs, const char* function, Arguments* out) {
  if constexpr (std::is_base_of_v<RecordArguments, Arguments>) {
    if (!take_result_form(function, &kwargs, &out->keywords, &out->form)) return false;
  }
  if constexpr (requires { Arguments::parameters; }) {
    constexpr auto& parameters = Arguments::parameters;
    constexpr int count = static_cast<int>(std::size(parameters));
    static_assert(count <= kMaxParameters && Arguments::required <= count);
    const char* names[count];
    PyObject* slots[count];
    for (int i = 0; i < count; ++i) {
      names[i] = parameters[i].name;
      slots[i] = out->*parameters[i].slot;
    }
    if (!parse_argument_slots(args, kwargs, function, names, count, Arguments::required, slots)) {
      return false;
    }
    for (int i = 0; i < count; ++i) out->*parameters[i].slot = slots[i];
    return true;
  } else {
    return parse_argument_slots(args, kwargs, function, nullptr, 0, 0, nullptr);
  }
}

// A call of one required argument, `name`.
bool parse_argument(PyObject* args, PyObject* kwargs, const char* function, const char* name,
                    PyObject** out);

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

// The name of `value`'s type, for messages ("str", "NoneType").
std::string type_name(PyObject* value);

}  // namespace quorvane::py
