// Engine methods of the predictive and relationship techniques: returns,
// the transit timeline, progressions, solar-arc directions, composite and
// Davison charts.
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/predictive/composite.hpp"
#include "quorvane/predictive/progressions.hpp"
#include "quorvane/predictive/returns.hpp"
#include "quorvane/predictive/timeline.hpp"

namespace quorvane::py {
namespace {

using Method = PyObject* (*)(PyObject*, PyObject*, PyObject*);

PyCFunction as_function(Method method) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(method));
}

// latitude and longitude, finite, then the texts as for charts.
bool read_place(const char* function, PyObject* latitude, PyObject* longitude,
                PyObject* const* texts, ChartRequest* request) {
  return read_place_and_options(function, latitude, longitude, texts, request) &&
         arg_finite_double(latitude, function, "latitude", &request->latitude) &&
         arg_finite_double(longitude, function, "longitude", &request->longitude);
}

// The zodiac texts alone, into a request (its other fields unused).
bool read_zodiac(const char* function, PyObject* zodiac_type, PyObject* ayanamsa, ZodiacChoice* out) {
  ChartRequest request;
  if (!read_optional_text(zodiac_type, function, "zodiac_type", &request.zodiac_type) ||
      !read_optional_text(ayanamsa, function, "ayanamsa", &request.ayanamsa)) {
    return false;
  }
  *out = ZodiacChoice::from_texts(request.zodiac_type, request.ayanamsa);
  return true;
}

bool read_moment(ModuleState* state, PyObject* value, UtcInstant* out) {
  auto moment = to_instant(state, value);
  if (!moment) return false;
  *out = *moment;
  return true;
}

PyObject* engine_planet_return(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"body",         "natal_longitude", "after",
                                      "latitude",     "longitude",       "house_system",
                                      "zodiac_type",  "ayanamsa",        "orb_settings",
                                      "dignity_scheme"};
  PyObject* values[10] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("planet_return", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "planet_return", names, 10, 5, values)) return nullptr;
  std::string body;
  double natal = 0.0;
  ChartRequest request;
  if (!arg_text(values[0], "planet_return", "body", &body) ||
      !arg_finite_double(values[1], "planet_return", "natal_longitude", &natal) ||
      !read_moment(state, values[2], &request.moment) ||
      !read_place("planet_return", values[3], values[4], &values[5], &request) ||
      !read_orb_settings(state, values[8], &request) ||
      !read_optional_text(values[9], "planet_return", "dignity_scheme", &request.dignity_scheme)) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return return_chart(kernels, body, natal, request); }, form);
}

PyObject* engine_returns(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"body", "natal_longitude", "start", "end", "zodiac_type",
                                      "ayanamsa"};
  PyObject* values[6] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("returns", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "returns", names, 6, 4, values)) return nullptr;
  std::string body;
  double natal = 0.0;
  UtcInstant start, end;
  ZodiacChoice zodiac;
  if (!arg_text(values[0], "returns", "body", &body) ||
      !arg_finite_double(values[1], "returns", "natal_longitude", &natal) ||
      !read_moment(state, values[2], &start) || !read_moment(state, values[3], &end) ||
      !read_zodiac("returns", values[4], values[5], &zodiac)) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] {
    return list_returns(kernels, body, natal, start.julian_day(), end.julian_day(), zodiac);
  }, form);
}

// A list or tuple of str (a str alone is refused, not read letter by letter).
bool read_body_names(PyObject* value, std::vector<std::string>* out) {
  static const char kMessage[] = "transit_timeline() argument 'bodies' must be a list of str";
  if (!PyList_Check(value) && !PyTuple_Check(value)) {
    PyErr_SetString(PyExc_TypeError, kMessage);
    return false;
  }
  PyRef items = PyRef::steal(PySequence_Fast(value, kMessage));
  if (!items) return false;
  for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.get()); ++i) {
    std::string name;
    if (!arg_text(PySequence_Fast_GET_ITEM(items.get(), i), "transit_timeline", "bodies", &name)) {
      return false;
    }
    out->push_back(std::move(name));
  }
  return true;
}

PyObject* engine_transit_timeline(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"natal_chart",  "start",       "end",     "bodies",
                                      "orb_settings", "zodiac_type", "ayanamsa"};
  PyObject* values[7] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("transit_timeline", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "transit_timeline", names, 7, 3, values)) return nullptr;
  auto natal = to_json_value(state, values[0]);
  if (!natal) return nullptr;
  UtcInstant start, end;
  ZodiacChoice zodiac;
  ChartRequest orbs;
  std::vector<std::string> bodies;
  if (!read_moment(state, values[1], &start) || !read_moment(state, values[2], &end)) return nullptr;
  if (values[3] && values[3] != Py_None && !read_body_names(values[3], &bodies)) return nullptr;
  if (!read_orb_settings(state, values[4], &orbs) ||
      !read_zodiac("transit_timeline", values[5], values[6], &zodiac)) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&]() -> Expected<TransitTimeline, EngineError> {
    auto request = timeline_natal(*natal);
    if (!request) return unexpected(std::move(request).error());
    request->bodies = bodies;
    request->start = start.julian_day();
    request->end = end.julian_day();
    request->zodiac = zodiac;
    request->orb_settings = orbs.orb_settings;
    return transit_timeline(kernels, *request);
  }, form);
}

PyObject* engine_progressions(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"birth",       "target",       "latitude",
                                      "longitude",   "angle_method", "house_system",
                                      "zodiac_type", "ayanamsa",     "orb_settings"};
  PyObject* values[9] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("progressions", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "progressions", names, 9, 4, values)) return nullptr;
  ChartRequest options;
  UtcInstant target;
  std::string method_text = "solar_arc";
  if (!read_moment(state, values[0], &options.moment) || !read_moment(state, values[1], &target) ||
      !read_place("progressions", values[2], values[3], &values[5], &options) ||
      !read_optional_text(values[4], "progressions", "angle_method", &method_text) ||
      !read_orb_settings(state, values[8], &options)) {
    return nullptr;
  }
  const BirthPlace birth{options.moment, options.latitude, options.longitude};
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&]() -> Expected<ProgressedChart, EngineError> {
    auto method = angle_method_from_text(method_text);
    if (!method) return unexpected(std::move(method).error());
    return secondary_progression(kernels, options, birth, target, *method);
  }, form);
}

PyObject* engine_solar_arc_directions(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"birth",        "start",       "end",
                                      "latitude",     "longitude",   "house_system",
                                      "zodiac_type",  "ayanamsa"};
  PyObject* values[8] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("solar_arc_directions", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "solar_arc_directions", names, 8, 5, values)) return nullptr;
  ChartRequest options;
  UtcInstant start, end;
  if (!read_moment(state, values[0], &options.moment) || !read_moment(state, values[1], &start) ||
      !read_moment(state, values[2], &end) ||
      !read_place("solar_arc_directions", values[3], values[4], &values[5], &options)) {
    return nullptr;
  }
  const BirthPlace birth{options.moment, options.latitude, options.longitude};
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return solar_arc_directions(kernels, options, birth, start, end); }, form);
}

// The two births of a relationship chart, then the chart options.
bool read_two_births(ModuleState* state, const char* function, PyObject* const* values, BirthPlace* a, BirthPlace* b,
                     ChartRequest* options) {
  return read_moment(state, values[0], &a->moment) &&
         arg_finite_double(values[1], function, "latitude_a", &a->latitude) &&
         arg_finite_double(values[2], function, "longitude_a", &a->longitude) &&
         read_moment(state, values[3], &b->moment) &&
         arg_finite_double(values[4], function, "latitude_b", &b->latitude) &&
         arg_finite_double(values[5], function, "longitude_b", &b->longitude) &&
         read_optional_text(values[6], function, "house_system", &options->house_system) &&
         read_optional_text(values[7], function, "zodiac_type", &options->zodiac_type) &&
         read_optional_text(values[8], function, "ayanamsa", &options->ayanamsa) &&
         read_orb_settings(state, values[9], options);
}

PyObject* engine_composite(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"moment_a",    "latitude_a", "longitude_a", "moment_b",
                                      "latitude_b",  "longitude_b", "house_system", "zodiac_type",
                                      "ayanamsa",    "orb_settings"};
  PyObject* values[10] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("composite", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "composite", names, 10, 6, values)) return nullptr;
  BirthPlace a, b;
  ChartRequest options;
  if (!read_two_births(state, "composite", values, &a, &b, &options)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return composite_chart(kernels, options, a, b); }, form);
}

PyObject* engine_davison(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"moment_a",    "latitude_a",   "longitude_a", "moment_b",
                                      "latitude_b",  "longitude_b",  "house_system", "zodiac_type",
                                      "ayanamsa",    "orb_settings", "dignity_scheme"};
  PyObject* values[11] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("davison", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "davison", names, 11, 6, values)) return nullptr;
  BirthPlace a, b;
  ChartRequest options;
  if (!read_two_births(state, "davison", values, &a, &b, &options) ||
      !read_optional_text(values[10], "davison", "dignity_scheme", &options.dignity_scheme)) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return davison_chart(kernels, options, a, b); }, form);
}

}  // namespace

PyMethodDef engine_planet_return_method = {
    "planet_return", as_function(engine_planet_return), METH_VARARGS | METH_KEYWORDS,
    "planet_return($self, body, natal_longitude, after, latitude, longitude, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", orb_settings=None, "
    "dignity_scheme=\"lilly\", *, json=False)\n--\n\n"
    "The first return of `body` to `natal_longitude` at or after `after`, with its chart\n"
    "at the given place (a relocated return when it is not the birthplace)."};

PyMethodDef engine_returns_method = {
    "returns", as_function(engine_returns), METH_VARARGS | METH_KEYWORDS,
    "returns($self, body, natal_longitude, start, end, zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", *, json=False)\n--\n\n"
    "Every return of `body` to `natal_longitude` from `start` to `end` (at most a century)."};

PyMethodDef engine_transit_timeline_method = {
    "transit_timeline", as_function(engine_transit_timeline), METH_VARARGS | METH_KEYWORDS,
    "transit_timeline($self, natal_chart, start, end, bodies=None, orb_settings=None, "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", *, json=False)\n--\n\n"
    "Aspect passes of the transiting bodies to the natal points (entering orb, exact\n"
    "hits, leaving orb), their sign and natal-house ingresses and stations."};

PyMethodDef engine_progressions_method = {
    "progressions", as_function(engine_progressions), METH_VARARGS | METH_KEYWORDS,
    "progressions($self, birth, target, latitude, longitude, angle_method=\"solar_arc\", "
    "house_system=\"P\", zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", "
    "orb_settings=None, *, json=False)\n--\n\n"
    "The secondary progressed chart (a day for a year) of a birth for `target`."};

PyMethodDef engine_solar_arc_directions_method = {
    "solar_arc_directions", as_function(engine_solar_arc_directions), METH_VARARGS | METH_KEYWORDS,
    "solar_arc_directions($self, birth, start, end, latitude, longitude, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", *, json=False)\n--\n\n"
    "The natal points directed by the solar arc of `start`, and every exact\n"
    "directed-to-natal aspect from `start` to `end`."};

PyMethodDef engine_composite_method = {
    "composite", as_function(engine_composite), METH_VARARGS | METH_KEYWORDS,
    "composite($self, moment_a, latitude_a, longitude_a, moment_b, latitude_b, longitude_b, "
    "house_system=\"P\", zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", "
    "orb_settings=None, *, json=False)\n--\n\n"
    "The composite (midpoint) chart of two births."};

PyMethodDef engine_davison_method = {
    "davison", as_function(engine_davison), METH_VARARGS | METH_KEYWORDS,
    "davison($self, moment_a, latitude_a, longitude_a, moment_b, latitude_b, longitude_b, "
    "house_system=\"P\", zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", "
    "orb_settings=None, dignity_scheme=\"lilly\", *, json=False)\n--\n\n"
    "The Davison chart of two births: the chart of the midpoint moment and place."};

}  // namespace quorvane::py
