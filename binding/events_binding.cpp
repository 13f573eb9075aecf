// Engine.events: the sky's events over a span.
#include "args.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/events/events.hpp"
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
      !read_zodiac("events", given.zodiac_type, given.ayanamsa, &request.zodiac) ||
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

}  // namespace

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
