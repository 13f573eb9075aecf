// Engine.election and Engine.elections
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/election/election.hpp"
#include "quorvane/election/election_search.hpp"

namespace quorvane::py {
namespace {

// The `criteria` argument: None (or omitted) for the defaults, else any
// object json.dumps accepts. The criteria are read from the dumped text
// rather than a parsed value so that a repeated key is still seen.
std::optional<ElectionCriteria> to_criteria(ModuleState* state, PyObject* criteria) {
  if (criteria == nullptr || criteria == Py_None) {
    auto defaults = ElectionCriteria::from_value(Json(nullptr));
    if (!defaults) {
      raise_engine_error(state, defaults.error());
      return std::nullopt;
    }
    return std::move(defaults).value();
  }
  auto utf8 = to_json_text(state, criteria, "criteria");
  if (!utf8) return std::nullopt;
  // Text the JSON reader refuses (NaN, Infinity) fails as every JSON argument does.
  if (auto parsed = parse_json(*utf8); !parsed) {
    raise_message(PyExc_ValueError, parsed.error());
    return std::nullopt;
  }
  auto read = ElectionCriteria::from_text(*utf8);
  if (!read) {
    raise_engine_error(state, read.error());
    return std::nullopt;
  }
  return std::move(read).value();
}

struct ElectionArguments : ChartRequestArguments {
  PyObject* criteria = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<ElectionArguments> parameters[] = {
      {"moment", &ElectionArguments::moment},
      {"latitude", &ElectionArguments::latitude},
      {"longitude", &ElectionArguments::longitude},
      {"criteria", &ElectionArguments::criteria},
      {"house_system", &ElectionArguments::house_system},
      {"zodiac_type", &ElectionArguments::zodiac_type},
      {"ayanamsa", &ElectionArguments::ayanamsa},
      {"orb_settings", &ElectionArguments::orb_settings},
      {"dignity_scheme", &ElectionArguments::dignity_scheme},
      {"house_obliquity", &ElectionArguments::house_obliquity},
  };
};

PyObject* engine_election(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  ElectionArguments given;
  if (!parse_arguments(args, kwargs, "election", &given)) return nullptr;
  ChartRequest request;
  std::optional<ElectionCriteria> criteria;
  if (!read_chart_request(state, "election", given, {}, &request, [&] {
        criteria = to_criteria(state, given.criteria);
        return criteria.has_value();
      })) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return calculate_election_chart(kernels, request, *criteria); }, given.form);
}

struct ElectionsArguments : PlaceArguments {
  PyObject* start = nullptr;
  PyObject* end = nullptr;
  PyObject* criteria = nullptr;
  static constexpr int required = 4;
  static constexpr Parameter<ElectionsArguments> parameters[] = {
      {"start", &ElectionsArguments::start},
      {"end", &ElectionsArguments::end},
      {"latitude", &ElectionsArguments::latitude},
      {"longitude", &ElectionsArguments::longitude},
      {"criteria", &ElectionsArguments::criteria},
      {"house_system", &ElectionsArguments::house_system},
      {"zodiac_type", &ElectionsArguments::zodiac_type},
      {"ayanamsa", &ElectionsArguments::ayanamsa},
      {"house_obliquity", &ElectionsArguments::house_obliquity},
  };
};

PyObject* engine_elections(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  ElectionsArguments given;
  if (!parse_arguments(args, kwargs, "elections", &given)) return nullptr;

  ChartRequest request;
  if (!read_place_and_options("elections", given, &request)) return nullptr;
  auto criteria = to_criteria(state, given.criteria);
  if (!criteria) return nullptr;
  auto end = to_instant(state, given.end);
  if (!end) return nullptr;
  auto start = to_instant(state, given.start);
  if (!start) return nullptr;
  request.moment = *start;

  if (!warn_unknown_options(state, request) || !warn_house_fallback(request)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return search_elections(kernels, request, *end, *criteria); }, given.form);
}

}  // namespace

PyMethodDef engine_election_method = {
    "election", with_keywords(engine_election),
    METH_VARARGS | METH_KEYWORDS,
    "election($self, moment, latitude, longitude, criteria=None, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", orb_settings=None, "
    "dignity_scheme=\"lilly\", house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "A chart with its electional assessment under the `election_data` key."};

PyMethodDef engine_elections_method = {
    "elections", with_keywords(engine_elections),
    METH_VARARGS | METH_KEYWORDS,
    "elections($self, start, end, latitude, longitude, criteria=None, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", house_obliquity=\"mean\", *, json=False)\n--\n\n"
    "The best electional windows from `start` to `end` at a place."};

}  // namespace quorvane::py
