// Engine.events: the sky's events over a span.
#include "args.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/events/events.hpp"
#include "quorvane/events/local_eclipse.hpp"
#include "quorvane/events/prenatal.hpp"

namespace quorvane::py {
namespace {

struct EventsArguments : RecordArguments {
  PyObject* start = nullptr;
  PyObject* end = nullptr;
  PyObject* kinds = nullptr;
  PyObject* bodies = nullptr;
  PyObject* zodiac_type = nullptr;
  PyObject* ayanamsa = nullptr;
  PyObject* void_of_course = nullptr;
  static constexpr int required = 2;
  static constexpr Parameter<EventsArguments> parameters[] = {
      {"start", &EventsArguments::start},
      {"end", &EventsArguments::end},
      {"kinds", &EventsArguments::kinds},
      {"bodies", &EventsArguments::bodies},
      {"zodiac_type", &EventsArguments::zodiac_type},
      {"ayanamsa", &EventsArguments::ayanamsa},
      {"void_of_course", &EventsArguments::void_of_course},
  };
};

PyObject* engine_events(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  EventsArguments given;
  if (!parse_arguments(args, kwargs, "events", &given)) return nullptr;
  UtcInstant start, end;
  EventsRequest request;
  std::string counted = "traditional";
  if (!read_moment(state, given.start, &start) || !read_moment(state, given.end, &end) ||
      !read_zodiac(state, "events", given.zodiac_type, given.ayanamsa, &request.zodiac) ||
      !read_optional_text(given.void_of_course, "events", "void_of_course", &counted)) {
    return nullptr;
  }
  for (auto [value, name, out] : {std::tuple{given.kinds, "kinds", &request.kinds},
                                  std::tuple{given.bodies, "bodies", &request.bodies}}) {
    if (value && value != Py_None && !read_text_list(value, "events", name, out)) return nullptr;
  }
  if (counted != "traditional" && counted != "modern") {
    PyErr_SetString(PyExc_ValueError,
                    "events() argument 'void_of_course' must be 'traditional' or 'modern'");
    return nullptr;
  }
  request.void_of_course_modern = counted == "modern";
  request.start = start.julian_day();
  request.end = end.julian_day();
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return sky_events(kernels, request); }, given.form);
}

struct PrenatalArguments : RecordArguments {
  PyObject* moment = nullptr;
  static constexpr int required = 1;
  static constexpr Parameter<PrenatalArguments> parameters[] = {
      {"moment", &PrenatalArguments::moment},
  };
};

PyObject* engine_prenatal(PyObject* self, PyObject* args, PyObject* kwargs) {
  PrenatalArguments given;
  if (!parse_arguments(args, kwargs, "prenatal", &given)) return nullptr;
  UtcInstant moment;
  if (!read_moment(engine_state(self), given.moment, &moment)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return prenatal_events(kernels, moment.julian_day()); },
                          given.form);
}

struct EclipseAtArguments : RecordArguments {
  PyObject* moment = nullptr;
  PyObject* latitude = nullptr;
  PyObject* longitude = nullptr;
  PyObject* height = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<EclipseAtArguments> parameters[] = {
      {"moment", &EclipseAtArguments::moment},
      {"latitude", &EclipseAtArguments::latitude},
      {"longitude", &EclipseAtArguments::longitude},
      {"height", &EclipseAtArguments::height},
  };
};

PyObject* engine_solar_eclipse_at(PyObject* self, PyObject* args, PyObject* kwargs) {
  EclipseAtArguments given;
  if (!parse_arguments(args, kwargs, "solar_eclipse_at", &given)) return nullptr;
  double jd = 0.0, latitude = 0.0, longitude = 0.0, height = 0.0;
  // An event from Engine.events stands for its own moment.
  if (PyDict_Check(given.moment)) {
    PyObject* day = PyDict_GetItemString(given.moment, "julian_day");
    if (!day) {
      PyErr_SetString(PyExc_ValueError, "solar_eclipse_at() event has no 'julian_day'");
      return nullptr;
    }
    if (!arg_finite_double(day, "solar_eclipse_at", "moment", &jd)) return nullptr;
  } else {
    UtcInstant moment;
    if (!read_moment(engine_state(self), given.moment, &moment)) return nullptr;
    jd = moment.julian_day();
  }
  if (!read_latitude(given.latitude, "solar_eclipse_at", &latitude) ||
      !read_longitude(given.longitude, "solar_eclipse_at", &longitude) ||
      (given.height && !arg_double_within(given.height, "solar_eclipse_at", "height", 100000.0,
                                          "metres", &height))) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return local_solar_eclipse(kernels, jd, latitude, longitude, height); }, given.form);
}

}  // namespace

PyMethodDef engine_solar_eclipse_at_method = {
    "solar_eclipse_at", with_keywords(engine_solar_eclipse_at), METH_VARARGS | METH_KEYWORDS,
    "solar_eclipse_at($self, moment, latitude, longitude, height=0.0, *, json=False)\n--\n\n"
    "The solar eclipse nearest `moment` (a moment or an event of Engine.events) seen\n"
    "from a place: contacts C1 to C4 where they occur, the maximum, magnitude,\n"
    "obscuration and the Sun's altitude at each."};

PyMethodDef engine_prenatal_method = {
    "prenatal", with_keywords(engine_prenatal), METH_VARARGS | METH_KEYWORDS,
    "prenatal($self, moment, *, json=False)\n--\n\n"
    "The last lunation (new or full Moon), solar eclipse and lunar eclipse before `moment`."};

PyMethodDef engine_events_method = {
    "events", with_keywords(engine_events), METH_VARARGS | METH_KEYWORDS,
    "events($self, start, end, kinds=None, bodies=None, zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", void_of_course=\"traditional\", *, json=False)\n--\n\n"
    "The sky's events from `start` to `end` in time order: eclipses, lunations,\n"
    "ingresses, stations, void-of-course Moon periods, mundane aspects and phenomena."};

}  // namespace quorvane::py
