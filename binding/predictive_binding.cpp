// Engine methods of the predictive techniques: returns, the transit
// timeline, progressions and solar-arc directions.
#include <algorithm>

#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/zodiac/options.hpp"
#include "quorvane/predictive/progressions.hpp"
#include "quorvane/predictive/returns.hpp"
#include "quorvane/predictive/timeline.hpp"

namespace quorvane::py {
namespace {

struct PlanetReturnArguments : ChartRequestArguments {
  PyObject* body = nullptr;
  PyObject* natal_longitude = nullptr;
  static constexpr int required = 5;
  static constexpr Parameter<PlanetReturnArguments> parameters[] = {
      {"body", &PlanetReturnArguments::body},
      {"natal_longitude", &PlanetReturnArguments::natal_longitude},
      {"after", &PlanetReturnArguments::moment},
      {"latitude", &PlanetReturnArguments::latitude},
      {"longitude", &PlanetReturnArguments::longitude},
      {"house_system", &PlanetReturnArguments::house_system},
      {"zodiac_type", &PlanetReturnArguments::zodiac_type},
      {"ayanamsa", &PlanetReturnArguments::ayanamsa},
      {"orb_settings", &PlanetReturnArguments::orb_settings},
      {"dignity_scheme", &PlanetReturnArguments::dignity_scheme},
      {"house_obliquity", &PlanetReturnArguments::house_obliquity},
  };
};

PyObject* engine_planet_return(PyObject* self, PyObject* args, PyObject* kwargs) {
  PlanetReturnArguments given;
  if (!parse_arguments(args, kwargs, "planet_return", &given)) return nullptr;
  std::string body;
  double natal = 0.0;
  ChartRequest request;
  if (!arg_text(given.body, "planet_return", "body", &body) ||
      !arg_finite_double(given.natal_longitude, "planet_return", "natal_longitude", &natal) ||
      !read_chart_request(engine_state(self), "planet_return", given,
                          {ChartArgumentOrder::moment_first}, &request)) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return return_chart(kernels, body, natal, request); }, given.form);
}

struct ReturnsArguments : RecordArguments {
  PyObject* body = nullptr;
  PyObject* natal_longitude = nullptr;
  PyObject* start = nullptr;
  PyObject* end = nullptr;
  PyObject* zodiac_type = nullptr;
  PyObject* ayanamsa = nullptr;
  static constexpr int required = 4;
  static constexpr Parameter<ReturnsArguments> parameters[] = {
      {"body", &ReturnsArguments::body},
      {"natal_longitude", &ReturnsArguments::natal_longitude},
      {"start", &ReturnsArguments::start},
      {"end", &ReturnsArguments::end},
      {"zodiac_type", &ReturnsArguments::zodiac_type},
      {"ayanamsa", &ReturnsArguments::ayanamsa},
  };
};

PyObject* engine_returns(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  ReturnsArguments given;
  if (!parse_arguments(args, kwargs, "returns", &given)) return nullptr;
  std::string body;
  double natal = 0.0;
  UtcInstant start, end;
  ZodiacChoice zodiac;
  if (!arg_text(given.body, "returns", "body", &body) ||
      !arg_finite_double(given.natal_longitude, "returns", "natal_longitude", &natal) ||
      !read_moment(state, given.start, &start) || !read_moment(state, given.end, &end) ||
      !read_zodiac(state, "returns", given.zodiac_type, given.ayanamsa, &zodiac)) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&] {
    return list_returns(kernels, body, natal, start.julian_day(), end.julian_day(), zodiac);
  }, given.form);
}

struct TransitTimelineArguments : RecordArguments {
  PyObject* natal_chart = nullptr;
  PyObject* start = nullptr;
  PyObject* end = nullptr;
  PyObject* bodies = nullptr;
  PyObject* orb_settings = nullptr;
  PyObject* zodiac_type = nullptr;
  PyObject* ayanamsa = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<TransitTimelineArguments> parameters[] = {
      {"natal_chart", &TransitTimelineArguments::natal_chart},
      {"start", &TransitTimelineArguments::start},
      {"end", &TransitTimelineArguments::end},
      {"bodies", &TransitTimelineArguments::bodies},
      {"orb_settings", &TransitTimelineArguments::orb_settings},
      {"zodiac_type", &TransitTimelineArguments::zodiac_type},
      {"ayanamsa", &TransitTimelineArguments::ayanamsa},
  };
};

PyObject* engine_transit_timeline(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  TransitTimelineArguments given;
  if (!parse_arguments(args, kwargs, "transit_timeline", &given)) return nullptr;
  // None, like leaving them out, takes the natal chart's zodiac.
  if (given.zodiac_type == Py_None) given.zodiac_type = nullptr;
  if (given.ayanamsa == Py_None) given.ayanamsa = nullptr;
  auto natal = to_json_value(state, given.natal_chart, "natal_chart");
  if (!natal) return nullptr;
  UtcInstant start, end;
  std::optional<ZodiacChoice> zodiac;
  ChartRequest orbs;
  std::vector<std::string> bodies;
  if (!read_moment(state, given.start, &start) || !read_moment(state, given.end, &end)) {
    return nullptr;
  }
  if (given.bodies && given.bodies != Py_None && !read_text_list(given.bodies, "transit_timeline", "bodies", &bodies)) {
    return nullptr;
  }
  if (!read_orb_settings(state, given.orb_settings, &orbs) ||
      !warn_option_note(state, orb_method_note(orbs.orb_settings ? &*orbs.orb_settings : nullptr)) ||
      ((given.zodiac_type != nullptr || given.ayanamsa != nullptr) &&
       !read_zodiac(state, "transit_timeline", given.zodiac_type, given.ayanamsa,
                    &zodiac.emplace()))) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&]() -> Expected<TransitTimeline, EngineError> {
    auto request = timeline_natal(*natal);
    if (!request) return unexpected(std::move(request).error());
    request->bodies = bodies;
    request->start = start.julian_day();
    request->end = end.julian_day();
    auto used = timeline_zodiac(request->natal_zodiac, zodiac);
    if (!used) return unexpected(std::move(used).error());
    request->zodiac = *used;
    request->orb_settings = orbs.orb_settings;
    return transit_timeline(kernels, *request);
  }, given.form);
}

struct ProgressionsArguments : PlaceArguments {
  PyObject* birth = nullptr;
  PyObject* target = nullptr;
  PyObject* angle_method = nullptr;
  PyObject* orb_settings = nullptr;
  PyObject* kind = nullptr;
  PyObject* month = nullptr;
  static constexpr int required = 4;
  static constexpr Parameter<ProgressionsArguments> parameters[] = {
      {"birth", &ProgressionsArguments::birth},
      {"target", &ProgressionsArguments::target},
      {"latitude", &ProgressionsArguments::latitude},
      {"longitude", &ProgressionsArguments::longitude},
      {"angle_method", &ProgressionsArguments::angle_method},
      {"house_system", &ProgressionsArguments::house_system},
      {"zodiac_type", &ProgressionsArguments::zodiac_type},
      {"ayanamsa", &ProgressionsArguments::ayanamsa},
      {"orb_settings", &ProgressionsArguments::orb_settings},
      {"house_obliquity", &ProgressionsArguments::house_obliquity},
      {"kind", &ProgressionsArguments::kind},
      {"month", &ProgressionsArguments::month},
  };
};

PyObject* engine_progressions(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  ProgressionsArguments given;
  if (!parse_arguments(args, kwargs, "progressions", &given)) return nullptr;
  ChartRequest options;
  UtcInstant target;
  std::string method_text = "solar_arc";
  std::string kind_text = "secondary";
  std::string month_text = "tropical";
  if (!read_moment(state, given.birth, &options.moment) ||
      !read_moment(state, given.target, &target) ||
      !read_place_and_options("progressions", given, &options) ||
      !read_optional_text(given.angle_method, "progressions", "angle_method", &method_text) ||
      !read_optional_text(given.kind, "progressions", "kind", &kind_text) ||
      !read_optional_text(given.month, "progressions", "month", &month_text) ||
      !read_orb_settings(state, given.orb_settings, &options) ||
      !warn_unknown_options(state, options) || !warn_house_fallback(options)) {
    return nullptr;
  }
  const BirthPlace birth{options.moment, options.latitude, options.longitude};
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&]() -> Expected<ProgressedChart, EngineError> {
    auto method = angle_method_from_text(method_text);
    if (!method) return unexpected(std::move(method).error());
    auto kind = progression_kind_from_text(kind_text);
    if (!kind) return unexpected(std::move(kind).error());
    auto month = lunar_month_from_text(month_text);
    if (!month) return unexpected(std::move(month).error());
    return progressed_chart(kernels, options, birth, target, *method, {*kind, *month});
  }, given.form);
}

struct SolarArcArguments : PlaceArguments {
  PyObject* birth = nullptr;
  PyObject* start = nullptr;
  PyObject* end = nullptr;
  static constexpr int required = 5;
  static constexpr Parameter<SolarArcArguments> parameters[] = {
      {"birth", &SolarArcArguments::birth},
      {"start", &SolarArcArguments::start},
      {"end", &SolarArcArguments::end},
      {"latitude", &SolarArcArguments::latitude},
      {"longitude", &SolarArcArguments::longitude},
      {"house_system", &SolarArcArguments::house_system},
      {"zodiac_type", &SolarArcArguments::zodiac_type},
      {"ayanamsa", &SolarArcArguments::ayanamsa},
      {"house_obliquity", &SolarArcArguments::house_obliquity},
  };
};

PyObject* engine_solar_arc_directions(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  SolarArcArguments given;
  if (!parse_arguments(args, kwargs, "solar_arc_directions", &given)) return nullptr;
  ChartRequest options;
  UtcInstant start, end;
  if (!read_moment(state, given.birth, &options.moment) ||
      !read_moment(state, given.start, &start) || !read_moment(state, given.end, &end) ||
      !read_place_and_options("solar_arc_directions", given, &options) ||
      !warn_unknown_options(state, options) || !warn_house_fallback(options)) {
    return nullptr;
  }
  const BirthPlace birth{options.moment, options.latitude, options.longitude};
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return solar_arc_directions(kernels, options, birth, start, end); }, given.form);
}

}  // namespace

PyMethodDef engine_planet_return_method = {
    "planet_return", with_keywords(engine_planet_return), METH_VARARGS | METH_KEYWORDS,
    "planet_return($self, body, natal_longitude, after, latitude, longitude, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", orb_settings=None, "
    "dignity_scheme=\"lilly\", house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "The first return of `body` to `natal_longitude` at or after `after`, with its chart\n"
    "at the given place (a relocated return when it is not the birthplace)."};

PyMethodDef engine_returns_method = {
    "returns", with_keywords(engine_returns), METH_VARARGS | METH_KEYWORDS,
    "returns($self, body, natal_longitude, start, end, zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", *, json=False)\n--\n\n"
    "Every return of `body` to `natal_longitude` from `start` to `end` (at most a century)."};

PyMethodDef engine_transit_timeline_method = {
    "transit_timeline", with_keywords(engine_transit_timeline), METH_VARARGS | METH_KEYWORDS,
    "transit_timeline($self, natal_chart, start, end, bodies=None, orb_settings=None, "
    "zodiac_type=None, ayanamsa=None, *, json=False)\n--\n\n"
    "Aspect passes of the transiting bodies to the natal points (entering orb, exact\n"
    "hits, leaving orb), their sign and natal-house ingresses and stations. The\n"
    "transits are measured in the zodiac asked for, else the natal chart's (its\n"
    "zodiac_type and ayanamsa keys), else the tropical; a natal chart of another\n"
    "zodiac than the one asked for is refused (ValueError)."};

PyMethodDef engine_progressions_method = {
    "progressions", with_keywords(engine_progressions), METH_VARARGS | METH_KEYWORDS,
    "progressions($self, birth, target, latitude, longitude, angle_method=\"solar_arc\", "
    "house_system=\"P\", zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", "
    "orb_settings=None, house_obliquity=\"mean\", kind=\"secondary\", month=\"tropical\", "
    "*, json=False)\n--\n\n"
    "The progressed chart of a birth for `target`: `kind` \"secondary\" (a day for a year),\n"
    "\"tertiary\" (a day for a lunar month) or \"minor\" (a lunar month for a year); `month`\n"
    "the lunar month, \"tropical\" (27.321582 days) or \"synodic\" (29.530589 days)."};

PyMethodDef engine_solar_arc_directions_method = {
    "solar_arc_directions", with_keywords(engine_solar_arc_directions), METH_VARARGS | METH_KEYWORDS,
    "solar_arc_directions($self, birth, start, end, latitude, longitude, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "The natal points directed by the solar arc of `start`, and every exact\n"
    "directed-to-natal aspect from `start` to `end`. A directed node to the other natal\n"
    "node is left out: the nodes stay opposite, so each such aspect repeats one of the\n"
    "directed node to its own natal place, which is listed."};

}  // namespace quorvane::py
