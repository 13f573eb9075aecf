#include "args.hpp"

#include <cassert>
#include <cmath>
#include <cstdio>

namespace quorvane::py {
namespace {

PyObject* wrong_type(const char* function, const char* name, const char* expected, PyObject* value) {
  PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be %s, not %.200s", function, name,
               expected, type_name(value).c_str());
  return nullptr;
}

}  // namespace

std::string type_name(PyObject* value) {
  // The type's __name__: its tp_name is out of reach of the stable ABI.
  PyRef name = PyRef::steal(PyType_GetName(Py_TYPE(value)));
  Py_ssize_t size = 0;
  const char* text = name ? PyUnicode_AsUTF8AndSize(name.get(), &size) : nullptr;
  if (!text) {
    PyErr_Clear();  // the message being built is the error that matters
    return "?";
  }
  return std::string(text, static_cast<size_t>(size));
}

bool parse_argument_slots(PyObject* args, PyObject* kwargs, const char* function,
                          const char* const* names, int count, int required, PyObject** out) {
  assert(count <= kMaxParameters && required <= count);
  std::string format(static_cast<size_t>(required), 'O');
  if (required < count) {
    format += '|';
    format.append(static_cast<size_t>(count - required), 'O');
  }
  format += ':';
  format += function;
  char* keywords[kMaxParameters + 1] = {};
  for (int i = 0; i < count; ++i) keywords[i] = const_cast<char*>(names[i]);
  PyObject* slots[kMaxParameters];
  for (int i = 0; i < kMaxParameters; ++i) slots[i] = i < count ? out[i] : nullptr;
  int ok = PyArg_ParseTupleAndKeywords(
      args, kwargs, format.c_str(), keywords, &slots[0], &slots[1], &slots[2], &slots[3],
      &slots[4], &slots[5], &slots[6], &slots[7], &slots[8], &slots[9], &slots[10], &slots[11],
      &slots[12], &slots[13], &slots[14], &slots[15]);
  if (!ok) return false;
  for (int i = 0; i < count; ++i) out[i] = slots[i];
  return true;
}

bool parse_argument(PyObject* args, PyObject* kwargs, const char* function, const char* name,
                    PyObject** out) {
  return parse_argument_slots(args, kwargs, function, &name, 1, 1, out);
}

bool take_result_form(const char* function, PyObject** kwargs, PyRef* rest, ResultForm* form) {
  *form = ResultForm::objects;
  if (!*kwargs) return true;
  PyObject* flag = PyDict_GetItemString(*kwargs, "json");  // borrowed
  if (!flag) return !PyErr_Occurred();
  bool as_text = false;
  if (!arg_bool(flag, function, "json", &as_text)) return false;
  // The caller's dict is not ours to change.
  *rest = PyRef::steal(PyDict_Copy(*kwargs));
  if (!*rest || PyDict_DelItemString(rest->get(), "json") < 0) return false;
  *kwargs = rest->get();
  *form = as_text ? ResultForm::json_text : ResultForm::objects;
  return true;
}

bool arg_double(PyObject* value, const char* function, const char* name, double* out) {
  if (!PyFloat_Check(value) && !PyLong_Check(value) && !PyNumber_Check(value)) {
    wrong_type(function, name, "float", value);
    return false;
  }
  double result = PyFloat_AsDouble(value);
  if (result == -1.0 && PyErr_Occurred()) {
    if (PyErr_ExceptionMatches(PyExc_TypeError)) {
      PyErr_Clear();
      wrong_type(function, name, "float", value);
    }
    return false;
  }
  *out = result;
  return true;
}

bool arg_finite_double(PyObject* value, const char* function, const char* name, double* out) {
  if (!arg_double(value, function, name, out)) return false;
  if (std::isfinite(*out)) return true;
  PyErr_Format(PyExc_ValueError, "%s() argument '%s' must be a finite number, not %R", function,
               name, value);
  return false;
}

bool arg_double_within(PyObject* value, const char* function, const char* name, double limit,
                       const char* unit, double* out) {
  if (!arg_double(value, function, name, out)) return false;
  if (std::fabs(*out) <= limit) return true;  // NaN fails too
  // PyErr_Format knows no %g.
  char range[64];
  std::snprintf(range, sizeof range, "%g to %g", -limit, limit);
  PyErr_Format(PyExc_ValueError, "%s() argument '%s' must be a number from %s %s, not %R",
               function, name, range, unit, value);
  return false;
}

bool arg_text(PyObject* value, const char* function, const char* name, std::string* out) {
  if (!PyUnicode_Check(value)) {
    wrong_type(function, name, "str", value);
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value, &size);
  if (!data) return false;
  out->assign(data, static_cast<size_t>(size));
  return true;
}

bool arg_bool(PyObject* value, const char* function, const char* name, bool* out) {
  if (!PyBool_Check(value)) {
    wrong_type(function, name, "bool", value);
    return false;
  }
  *out = value == Py_True;
  return true;
}

bool arg_int(PyObject* value, const char* function, const char* name, long long* out) {
  if (!PyLong_Check(value)) {
    wrong_type(function, name, "int", value);
    return false;
  }
  long long result = PyLong_AsLongLong(value);
  if (result == -1 && PyErr_Occurred()) return false;
  *out = result;
  return true;
}

}  // namespace quorvane::py
