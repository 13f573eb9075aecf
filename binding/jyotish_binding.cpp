// Engine.jyotish: the Jyotish chart of a moment and place.
#include <algorithm>

#include "args.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/jyotish/jyotish.hpp"
#include "quorvane/zodiac/options.hpp"

namespace quorvane::py {
namespace {

struct JyotishArguments : RecordArguments {
  PyObject* moment = nullptr;
  PyObject* latitude = nullptr;
  PyObject* longitude = nullptr;
  PyObject* ayanamsa = nullptr;
  PyObject* node = nullptr;
  PyObject* dasha_year = nullptr;
  PyObject* house_division = nullptr;
  PyObject* sunrise = nullptr;
  PyObject* dasha_depth = nullptr;
  PyObject* dasha_at = nullptr;
  PyObject* dasha_from = nullptr;
  PyObject* dasha_to = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<JyotishArguments> parameters[] = {
      {"moment", &JyotishArguments::moment},
      {"latitude", &JyotishArguments::latitude},
      {"longitude", &JyotishArguments::longitude},
      {"ayanamsa", &JyotishArguments::ayanamsa},
      {"node", &JyotishArguments::node},
      {"dasha_year", &JyotishArguments::dasha_year},
      {"house_division", &JyotishArguments::house_division},
      {"sunrise", &JyotishArguments::sunrise},
      {"dasha_depth", &JyotishArguments::dasha_depth},
      {"dasha_at", &JyotishArguments::dasha_at},
      {"dasha_from", &JyotishArguments::dasha_from},
      {"dasha_to", &JyotishArguments::dasha_to},
  };
};

// An optional moment: omitted or None leaves `*out` empty.
bool read_optional_moment(ModuleState* state, PyObject* value, std::optional<UtcInstant>* out) {
  if (value == nullptr || value == Py_None) return true;
  UtcInstant moment;
  if (!read_moment(state, value, &moment)) return false;
  *out = moment;
  return true;
}

bool read_jyotish_request(ModuleState* state, const JyotishArguments& given,
                          jyotish::JyotishRequest* r) {
  constexpr const char* function = "jyotish";
  if (!read_moment(state, given.moment, &r->moment) ||
      !read_latitude(given.latitude, function, &r->latitude) ||
      !read_longitude(given.longitude, function, &r->longitude) ||
      !read_optional_text(given.ayanamsa, function, "ayanamsa", &r->ayanamsa) ||
      !read_mean_or_true(given.node, function, "node", &r->node) ||
      !read_optional_text(given.dasha_year, function, "dasha_year", &r->dasha_year) ||
      !read_optional_text(given.house_division, function, "house_division", &r->house_division) ||
      !read_optional_text(given.sunrise, function, "sunrise", &r->sunrise)) {
    return false;
  }
  if (given.dasha_depth) {
    long long depth = 0;
    if (!arg_int(given.dasha_depth, function, "dasha_depth", &depth)) return false;
    r->dasha_depth = static_cast<int>(std::clamp(depth, -1LL, 99LL));
  }
  return read_optional_moment(state, given.dasha_at, &r->dasha_at) &&
         read_optional_moment(state, given.dasha_from, &r->dasha_from) &&
         read_optional_moment(state, given.dasha_to, &r->dasha_to) &&
         warn_option_note(state, ayanamsa_note(r->ayanamsa));
}

PyObject* engine_jyotish(PyObject* self, PyObject* args, PyObject* kwargs) {
  JyotishArguments given;
  if (!parse_arguments(args, kwargs, "jyotish", &given)) return nullptr;
  jyotish::JyotishRequest request;
  if (!read_jyotish_request(engine_state(self), given, &request)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] { return jyotish::jyotish(kernels, request); }, given.form);
}

}  // namespace

PyMethodDef engine_jyotish_method = {
    "jyotish", with_keywords(engine_jyotish),
    METH_VARARGS | METH_KEYWORDS,
    "jyotish($self, moment, latitude, longitude, ayanamsa=\"lahiri\", node=\"mean\", "
    "dasha_year=\"julian\", house_division=\"whole_sign\", sunrise=\"disc_centre\", "
    "dasha_depth=2, dasha_at=None, dasha_from=None, dasha_to=None, *, json=False)\n--\n\n"
    "The Jyotish chart of a moment and place in the sidereal zodiac of `ayanamsa`: the\n"
    "nine grahas (Rahu and Ketu the mean or true nodes) and the lagna with sign, degree,\n"
    "nakshatra, pada and lord, whole-sign houses (or equal bhavas from the lagna's degree),\n"
    "retrograde and combust flags and dignities; the sixteen vargas of Parashara with the\n"
    "vargottama points; the Vimshottari, Yogini and Ashtottari dashas counted in years of\n"
    "`dasha_year` (\"julian\" 365.25 days, \"tropical\" 365.2422, \"savana\" 360) to\n"
    "`dasha_depth` levels (1-3; up to 5 for the span dasha_from..dasha_to), with the five\n"
    "levels running at `dasha_at`; the ashtakavarga; and the panchanga, its day running\n"
    "from sunrise by `sunrise` (\"disc_centre\": the centre on the horizon without\n"
    "refraction; \"upper_limb\": the upper limb with refraction)."};

}  // namespace quorvane::py
