// Engine.primary_directions: the directions of a nativity from its birth
// moment and place, with the method, key and filters by name.
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/directions/primary_directions.hpp"
#include "quorvane/zodiac/options.hpp"

namespace quorvane::py {
namespace {

struct PrimaryDirectionsArguments : RecordArguments {
  PyObject* birth = nullptr;
  PyObject* latitude = nullptr;
  PyObject* longitude = nullptr;
  PyObject* start_age = nullptr;
  PyObject* end_age = nullptr;
  PyObject* method = nullptr;
  PyObject* key = nullptr;
  PyObject* promissor_latitude = nullptr;
  PyObject* converse = nullptr;
  PyObject* dignity_scheme = nullptr;
  PyObject* significators = nullptr;
  PyObject* promissors = nullptr;
  PyObject* aspects = nullptr;
  PyObject* families = nullptr;
  PyObject* directions = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<PrimaryDirectionsArguments> parameters[] = {
      {"birth", &PrimaryDirectionsArguments::birth},
      {"latitude", &PrimaryDirectionsArguments::latitude},
      {"longitude", &PrimaryDirectionsArguments::longitude},
      {"start_age", &PrimaryDirectionsArguments::start_age},
      {"end_age", &PrimaryDirectionsArguments::end_age},
      {"method", &PrimaryDirectionsArguments::method},
      {"key", &PrimaryDirectionsArguments::key},
      {"promissor_latitude", &PrimaryDirectionsArguments::promissor_latitude},
      {"converse", &PrimaryDirectionsArguments::converse},
      {"dignity_scheme", &PrimaryDirectionsArguments::dignity_scheme},
      {"significators", &PrimaryDirectionsArguments::significators},
      {"promissors", &PrimaryDirectionsArguments::promissors},
      {"aspects", &PrimaryDirectionsArguments::aspects},
      {"families", &PrimaryDirectionsArguments::families},
      {"directions", &PrimaryDirectionsArguments::directions},
  };
};

constexpr const char* kFunction = "primary_directions";

bool read_optional_age(PyObject* value, const char* name, double* out) {
  return value == nullptr || arg_finite_double(value, kFunction, name, out);
}

// A filter: omitted or None keeps everything.
bool read_filter(PyObject* value, const char* name, std::vector<std::string>* out) {
  return value == nullptr || value == Py_None || read_text_list(value, kFunction, name, out);
}

PyObject* engine_primary_directions(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  PrimaryDirectionsArguments given;
  if (!parse_arguments(args, kwargs, kFunction, &given)) return nullptr;
  directions::PrimaryDirectionsRequest request;
  if (!read_moment(state, given.birth, &request.birth.moment) ||
      !read_latitude(given.latitude, kFunction, &request.birth.latitude) ||
      !read_longitude(given.longitude, kFunction, &request.birth.longitude) ||
      !read_optional_age(given.start_age, "start_age", &request.start_age) ||
      !read_optional_age(given.end_age, "end_age", &request.end_age) ||
      !read_optional_text(given.method, kFunction, "method", &request.method) ||
      !read_optional_text(given.key, kFunction, "key", &request.key) ||
      !read_optional_text(given.promissor_latitude, kFunction, "promissor_latitude",
                          &request.promissor_latitude) ||
      !read_optional_text(given.converse, kFunction, "converse", &request.converse) ||
      !read_optional_text(given.dignity_scheme, kFunction, "dignity_scheme",
                          &request.dignity_scheme) ||
      !read_filter(given.significators, "significators", &request.significators) ||
      !read_filter(given.promissors, "promissors", &request.promissors) ||
      !read_filter(given.aspects, "aspects", &request.aspects) ||
      !read_filter(given.families, "families", &request.families) ||
      !read_filter(given.directions, "directions", &request.directions) ||
      !warn_option_note(state, dignity_scheme_note(request.dignity_scheme))) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return directions::primary_directions(kernels, request); }, given.form);
}

}  // namespace

PyMethodDef engine_primary_directions_method = {
    "primary_directions", with_keywords(engine_primary_directions), METH_VARARGS | METH_KEYWORDS,
    "primary_directions($self, birth, latitude, longitude, start_age=0, end_age=100, "
    "method=\"placidus_zodiacal\", key=\"naibod\", promissor_latitude=\"zero\", "
    "converse=\"traditional\", dignity_scheme=\"egyptian\", significators=None, "
    "promissors=None, aspects=None, families=None, directions=None, *, json=False)\n--\n\n"
    "Primary directions of a nativity from `start_age` to `end_age` years, sorted by arc.\n"
    "Methods: placidus_mundane, placidus_zodiacal, placidus_pole, regiomontanus, campanus,\n"
    "topocentric. Keys: ptolemy, naibod, cardan, true_solar_arc, simmonite, kepler. Promissor\n"
    "latitude: zero, bianchini, planet. Converse: traditional (the significator carried by\n"
    "primary motion to the promissor) or reverse (the promissor moved against it). The\n"
    "header `conventions` names the obliquity, RAMC, key, year length and Fortune used."};

}  // namespace quorvane::py
