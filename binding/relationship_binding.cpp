// Engine methods of the relationship charts: composite and Davison.
#include <cmath>

#include "args.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/predictive/composite.hpp"

namespace quorvane::py {
namespace {

// The two births of a relationship chart and its chart options.
struct TwoBirthArguments : RecordArguments {
  PyObject* moment_a = nullptr;
  PyObject* latitude_a = nullptr;
  PyObject* longitude_a = nullptr;
  PyObject* moment_b = nullptr;
  PyObject* latitude_b = nullptr;
  PyObject* longitude_b = nullptr;
  PyObject* house_system = nullptr;
  PyObject* zodiac_type = nullptr;
  PyObject* ayanamsa = nullptr;
  PyObject* orb_settings = nullptr;
  PyObject* dignity_scheme = nullptr;  // davison only
  PyObject* house_obliquity = nullptr;
};

// A birth place under the rules of every chart; the longitude is brought
// within +-180 degrees first, as the midpoint of two places is taken from it.
bool read_birth_place(PyObject* latitude, PyObject* longitude, const char* function,
                      const char* latitude_name, const char* longitude_name, BirthPlace* out) {
  if (!read_latitude(latitude, function, &out->latitude, latitude_name) ||
      !read_longitude(longitude, function, &out->longitude, longitude_name)) {
    return false;
  }
  out->longitude = std::remainder(out->longitude, 360.0);
  return true;
}

// The births in turn, then the chart options (an unknown option text warns).
bool read_two_births(ModuleState* state, const char* function, const TwoBirthArguments& given,
                     BirthPlace* a, BirthPlace* b, ChartRequest* options) {
  return read_moment(state, given.moment_a, &a->moment) &&
         read_birth_place(given.latitude_a, given.longitude_a, function, "latitude_a",
                          "longitude_a", a) &&
         read_moment(state, given.moment_b, &b->moment) &&
         read_birth_place(given.latitude_b, given.longitude_b, function, "latitude_b",
                          "longitude_b", b) &&
         read_optional_text(given.house_system, function, "house_system", &options->house_system) &&
         read_optional_text(given.zodiac_type, function, "zodiac_type", &options->zodiac_type) &&
         read_optional_text(given.ayanamsa, function, "ayanamsa", &options->ayanamsa) &&
         read_orb_settings(state, given.orb_settings, options) &&
         read_optional_text(given.dignity_scheme, function, "dignity_scheme",
                            &options->dignity_scheme) &&
         read_house_obliquity(given.house_obliquity, function, options) &&
         warn_unknown_options(state, *options);
}

struct CompositeArguments : TwoBirthArguments {
  static constexpr int required = 6;
  static constexpr Parameter<CompositeArguments> parameters[] = {
      {"moment_a", &CompositeArguments::moment_a},
      {"latitude_a", &CompositeArguments::latitude_a},
      {"longitude_a", &CompositeArguments::longitude_a},
      {"moment_b", &CompositeArguments::moment_b},
      {"latitude_b", &CompositeArguments::latitude_b},
      {"longitude_b", &CompositeArguments::longitude_b},
      {"house_system", &CompositeArguments::house_system},
      {"zodiac_type", &CompositeArguments::zodiac_type},
      {"ayanamsa", &CompositeArguments::ayanamsa},
      {"orb_settings", &CompositeArguments::orb_settings},
      {"house_obliquity", &CompositeArguments::house_obliquity},
  };
};

struct DavisonArguments : TwoBirthArguments {
  static constexpr int required = 6;
  static constexpr Parameter<DavisonArguments> parameters[] = {
      {"moment_a", &DavisonArguments::moment_a},
      {"latitude_a", &DavisonArguments::latitude_a},
      {"longitude_a", &DavisonArguments::longitude_a},
      {"moment_b", &DavisonArguments::moment_b},
      {"latitude_b", &DavisonArguments::latitude_b},
      {"longitude_b", &DavisonArguments::longitude_b},
      {"house_system", &DavisonArguments::house_system},
      {"zodiac_type", &DavisonArguments::zodiac_type},
      {"ayanamsa", &DavisonArguments::ayanamsa},
      {"orb_settings", &DavisonArguments::orb_settings},
      {"dignity_scheme", &DavisonArguments::dignity_scheme},
      {"house_obliquity", &DavisonArguments::house_obliquity},
  };
};

// Both charts read the same two births; only the chart cast from them differs.
template <class Arguments, class Cast>
PyObject* relationship_chart(PyObject* self, PyObject* args, PyObject* kwargs,
                             const char* function, Cast cast) {
  Arguments given;
  if (!parse_arguments(args, kwargs, function, &given)) return nullptr;
  BirthPlace a, b;
  ChartRequest options;
  if (!read_two_births(engine_state(self), function, given, &a, &b, &options)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return cast(kernels, options, a, b); }, given.form);
}

PyObject* engine_composite(PyObject* self, PyObject* args, PyObject* kwargs) {
  return relationship_chart<CompositeArguments>(self, args, kwargs, "composite", composite_chart);
}

PyObject* engine_davison(PyObject* self, PyObject* args, PyObject* kwargs) {
  return relationship_chart<DavisonArguments>(self, args, kwargs, "davison", davison_chart);
}

}  // namespace

PyMethodDef engine_composite_method = {
    "composite", with_keywords(engine_composite), METH_VARARGS | METH_KEYWORDS,
    "composite($self, moment_a, latitude_a, longitude_a, moment_b, latitude_b, longitude_b, "
    "house_system=\"P\", zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", "
    "orb_settings=None, house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "The composite (midpoint) chart of two births."};

PyMethodDef engine_davison_method = {
    "davison", with_keywords(engine_davison), METH_VARARGS | METH_KEYWORDS,
    "davison($self, moment_a, latitude_a, longitude_a, moment_b, latitude_b, longitude_b, "
    "house_system=\"P\", zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", "
    "orb_settings=None, dignity_scheme=\"lilly\", house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "The Davison chart of two births: the chart of the midpoint moment and place."};

}  // namespace quorvane::py
