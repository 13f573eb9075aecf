#include "convert.hpp"

#include <cstdint>

#include "args.hpp"
#include "errors.hpp"
#include "unlocked.hpp"
#include "without_lock.hpp"

namespace quorvane::py {

std::optional<std::string> to_text(PyObject* text) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (!data) return std::nullopt;
  return std::string(data, static_cast<size_t>(size));
}

bool find_python_helpers(ModuleState* state) {
  if (!state->json_dumps) {
    PyRef json = PyRef::steal(PyImport_ImportModule("json"));
    if (!json) return false;
    state->json_dumps = PyObject_GetAttrString(json.get(), "dumps");
    if (!state->json_dumps) return false;
  }
  if (!state->utc) {
    PyRef datetime = PyRef::steal(PyImport_ImportModule("datetime"));
    if (!datetime) return false;
    PyRef timezone = PyRef::steal(PyObject_GetAttrString(datetime.get(), "timezone"));
    if (!timezone) return false;
    state->utc = PyObject_GetAttrString(timezone.get(), "utc");
    if (!state->utc) return false;
  }
  return true;
}

std::optional<UtcInstant> to_instant(ModuleState* state, PyObject* moment) {
  if (PyUnicode_Check(moment)) {
    auto text = to_text(moment);
    if (!text) return std::nullopt;
    auto parsed = UtcInstant::parse(*text);
    if (!parsed) {
      raise_message(PyExc_ValueError, parsed.error().text());
      return std::nullopt;
    }
    return *parsed;
  }

  PyRef tzinfo = PyRef::steal(PyObject_GetAttrString(moment, "tzinfo"));
  if (!tzinfo) {
    // Still an AttributeError, as callers catch it; with words that say
    // what a moment may be rather than which attribute was missing.
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return std::nullopt;
    PyErr_Clear();
    PyErr_Format(PyExc_AttributeError,
                 "a moment is an ISO 8601 UTC text such as \"2000-01-01T12:00:00Z\" or a "
                 "datetime (naive means UTC), not %s",
                 type_name(moment).c_str());
    return std::nullopt;
  }
  PyRef value = PyRef::borrow(moment);
  if (tzinfo.get() != Py_None) {
    value = PyRef::steal(PyObject_CallMethod(moment, "astimezone", "(O)", state->utc));
    if (!value) {
      // A local time on the first or last day datetime holds can fall
      // outside it in UTC.
      if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
        PyErr_Clear();
        PyErr_Format(PyExc_ValueError, "moment %R lies outside the years 1 to 9999 in UTC",
                     moment);
      }
      return std::nullopt;
    }
  }

  static const char* const fields[] = {"year", "month", "day", "hour", "minute", "second",
                                       "microsecond"};
  long long parts[7];
  for (int i = 0; i < 7; ++i) {
    PyRef field = PyRef::steal(PyObject_GetAttrString(value.get(), fields[i]));
    if (!field) return std::nullopt;
    parts[i] = PyLong_AsLongLong(field.get());
    if (parts[i] == -1 && PyErr_Occurred()) return std::nullopt;
  }
  // A datetime's fields always fit. An object that only looks like one can
  // carry any integers, which would be cut to the field widths or wrap the
  // count: refused rather than turned into some other moment.
  bool fits = parts[0] >= INT32_MIN && parts[0] <= INT32_MAX;
  for (int i = 1; i < 7; ++i) fits = fits && parts[i] >= 0 && parts[i] <= UINT32_MAX;
  std::optional<UtcInstant> instant;
  if (fits) {
    instant = UtcInstant::checked_from_civil(
        static_cast<int32_t>(parts[0]), static_cast<uint32_t>(parts[1]),
        static_cast<uint32_t>(parts[2]), static_cast<uint32_t>(parts[3]),
        static_cast<uint32_t>(parts[4]), static_cast<uint32_t>(parts[5]),
        static_cast<uint32_t>(parts[6]));
  }
  if (!instant) PyErr_SetString(PyExc_OverflowError, "moment is out of range");
  return instant;
}

std::optional<std::string> to_json_text(ModuleState* state, PyObject* object, const char* what) {
  // allow_nan=False: a NaN would otherwise reach the parser as bare "NaN".
  PyRef args = PyRef::steal(PyTuple_Pack(1, object));
  PyRef kwargs = PyRef::steal(Py_BuildValue("{s:O}", "allow_nan", Py_False));
  if (!args || !kwargs) return std::nullopt;
  PyRef text = PyRef::steal(PyObject_Call(state->json_dumps, args.get(), kwargs.get()));
  if (!text) {
    if (PyErr_ExceptionMatches(PyExc_ValueError) || PyErr_ExceptionMatches(PyExc_TypeError) ||
        PyErr_ExceptionMatches(PyExc_RecursionError)) {
      PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
      PyErr_Fetch(&type, &value, &traceback);
      PyRef owned_type = PyRef::steal(type), owned_value = PyRef::steal(value),
            owned_traceback = PyRef::steal(traceback);
      PyErr_Format(PyErr_GivenExceptionMatches(type, PyExc_TypeError) ? PyExc_TypeError
                                                                      : PyExc_ValueError,
                   "%s must hold only dicts, lists, text, booleans, None and finite numbers "
                   "(%S)",
                   what, value ? value : Py_None);
    }
    return std::nullopt;
  }
  return to_text(text.get());
}

std::optional<Json> to_json_value(ModuleState* state, PyObject* object, const char* what) {
  auto utf8 = to_json_text(state, object, what);
  if (!utf8) return std::nullopt;
  // The text is ours now: parse it without the interpreter lock.
  auto parsed = without_lock([&] { return parse_json(*utf8); });
  if (!parsed) return std::nullopt;
  if (!*parsed) {
    PyErr_Format(PyExc_ValueError, "%s could not be read: %s", what, parsed->error().c_str());
    return std::nullopt;
  }
  return std::move(*parsed).value();
}

PyObject* text_object(ModuleState* state, const Expected<std::string, std::string>& text) {
  if (!text) return raise_engine_failure(state, text.error());
  return PyUnicode_DecodeUTF8(text->data(), static_cast<Py_ssize_t>(text->size()), "strict");
}

}  // namespace quorvane::py
