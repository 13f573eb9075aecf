#include "request_args.hpp"

#include <algorithm>
#include <cmath>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "quorvane/zodiac/options.hpp"

namespace quorvane::py {

namespace {

// A place no one can stand on would come back as a chart of NaNs.
bool refuse_place(const char* function, const char* name, const char* range, PyObject* value) {
  PyErr_Format(PyExc_ValueError, "%s() argument '%s' must be %s, not %R", function, name, range,
               value);
  return false;
}

}  // namespace

bool read_latitude(PyObject* value, const char* function, double* out, const char* name) {
  if (!arg_double(value, function, name, out)) return false;
  if (std::isfinite(*out) && *out >= -90.0 && *out <= 90.0) return true;
  return refuse_place(function, name, "a finite number of degrees from -90 to 90", value);
}

bool read_longitude(PyObject* value, const char* function, double* out, const char* name) {
  if (!arg_double(value, function, name, out)) return false;
  if (std::isfinite(*out)) return true;
  return refuse_place(function, name, "a finite number of degrees (east positive)", value);
}

bool read_place_and_options(const char* function, const PlaceArguments& given,
                            ChartRequest* request) {
  return read_latitude(given.latitude, function, &request->latitude) &&
         read_longitude(given.longitude, function, &request->longitude) &&
         read_optional_text(given.house_system, function, "house_system", &request->house_system) &&
         read_optional_text(given.zodiac_type, function, "zodiac_type", &request->zodiac_type) &&
         read_optional_text(given.ayanamsa, function, "ayanamsa", &request->ayanamsa) &&
         read_house_obliquity(given.house_obliquity, function, request);
}

bool read_mean_or_true(PyObject* value, const char* function, const char* name,
                       std::string* out) {
  std::string text = *out;
  if (!read_optional_text(value, function, name, &text)) return false;
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (text == "mean" || text == "true") {
    *out = text;
    return true;
  }
  PyErr_Format(PyExc_ValueError, "%s() argument '%s' must be \"mean\" or \"true\", not %R",
               function, name, value);
  return false;
}

bool read_house_obliquity(PyObject* value, const char* function, ChartRequest* request) {
  return read_mean_or_true(value, function, "house_obliquity", &request->house_obliquity);
}

bool read_body_names(PyObject* value, const char* function, std::vector<std::string>* out) {
  if (value == nullptr || value == Py_None) return true;
  PyRef items;
  if (PyUnicode_Check(value)) {
    items = PyRef::steal(PyList_New(0));
    if (!items || PyList_Append(items.get(), value) < 0) return false;
  } else {
    items = PyRef::steal(PySequence_List(value));
    if (!items) return false;
  }
  for (Py_ssize_t i = 0; i < PyList_Size(items.get()); ++i) {
    std::string name;
    if (!arg_text(PyList_GetItem(items.get(), i), function, "bodies", &name)) return false;
    out->push_back(std::move(name));
  }
  return true;
}

bool read_optional_text(PyObject* value, const char* function, const char* name, std::string* out) {
  return value == nullptr || arg_text(value, function, name, out);
}

bool warn_option_note(ModuleState* state, const std::optional<std::string>& note) {
  if (!note) return true;
  if (!ensure_exception_types(state)) return false;
  return PyErr_WarnEx(state->unknown_option, note->c_str(), 1) == 0;
}

bool warn_unknown_options(ModuleState* state, const ChartRequest& request) {
  return warn_option_note(state, house_system_note(request.house_system)) &&
         warn_option_note(state, zodiac_type_note(request.zodiac_type)) &&
         warn_option_note(state, ayanamsa_note(request.ayanamsa)) &&
         warn_option_note(state, dignity_scheme_note(request.dignity_scheme)) &&
         warn_option_note(state, orb_method_note(request.orb_settings ? &*request.orb_settings
                                                                      : nullptr));
}

bool warn_house_fallback(const ChartRequest& request) {
  const HouseChoice choice = house_choice(request);
  return !choice.polar_fallback || PyErr_WarnEx(PyExc_UserWarning, choice.fallback->c_str(), 1) == 0;
}

bool read_orb_settings(ModuleState* state, PyObject* value, ChartRequest* request) {
  if (value == nullptr || value == Py_None) return true;
  auto settings = to_json_value(state, value, "orb_settings");
  if (!settings) return false;
  request->orb_settings = std::move(*settings);
  return true;
}

bool read_moment(ModuleState* state, PyObject* value, UtcInstant* out) {
  auto moment = to_instant(state, value);
  if (!moment) return false;
  *out = *moment;
  return true;
}

namespace {

bool read_dignity_scheme(const char* function, const ChartRequestArguments& given,
                         ChartRequest* request) {
  return read_optional_text(given.dignity_scheme, function, "dignity_scheme",
                            &request->dignity_scheme);
}

}  // namespace

bool read_chart_request_head(ModuleState* state, const char* function,
                             const ChartRequestArguments& given, ChartArgumentOrder order,
                             ChartRequest* request) {
  if (order == ChartArgumentOrder::moment_first) {
    return read_moment(state, given.moment, &request->moment) &&
           read_place_and_options(function, given, request);
  }
  return read_place_and_options(function, given, request) &&
         read_dignity_scheme(function, given, request);
}

bool read_chart_request_tail(ModuleState* state, const char* function,
                             const ChartRequestArguments& given, ChartArgumentOrder order,
                             ChartRequest* request) {
  if (!read_mean_or_true(given.node, function, "node", &request->node)) return false;
  if (order == ChartArgumentOrder::moment_first) {
    return read_orb_settings(state, given.orb_settings, request) &&
           read_dignity_scheme(function, given, request);
  }
  return read_moment(state, given.moment, &request->moment) &&
         read_orb_settings(state, given.orb_settings, request);
}

// The zodiac texts alone, into a request (its other fields unused); an
// unknown text warns as in every chart.
bool read_zodiac(ModuleState* state, const char* function, PyObject* zodiac_type,
                 PyObject* ayanamsa, ZodiacChoice* out) {
  ChartRequest request;
  if (!read_optional_text(zodiac_type, function, "zodiac_type", &request.zodiac_type) ||
      !read_optional_text(ayanamsa, function, "ayanamsa", &request.ayanamsa) ||
      !warn_option_note(state, zodiac_type_note(request.zodiac_type)) ||
      !warn_option_note(state, ayanamsa_note(request.ayanamsa))) {
    return false;
  }
  *out = ZodiacChoice::from_texts(request.zodiac_type, request.ayanamsa);
  return true;
}

// A list or tuple of str (a str alone is refused, not read letter by letter);
// a text given twice is kept once, as it would only repeat every answer.
bool read_text_list(PyObject* value, const char* function, const char* name,
                    std::vector<std::string>* out) {
  const std::string message =
      std::string(function) + "() argument '" + name + "' must be a list of str";
  if (!PyList_Check(value) && !PyTuple_Check(value)) {
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
  }
  PyRef items = PyRef::steal(PySequence_List(value));
  if (!items) return false;
  for (Py_ssize_t i = 0; i < PyList_Size(items.get()); ++i) {
    std::string text;
    if (!arg_text(PyList_GetItem(items.get(), i), function, name, &text)) return false;
    if (std::find(out->begin(), out->end(), text) == out->end()) out->push_back(std::move(text));
  }
  return true;
}

}  // namespace quorvane::py
