// Engine.election and Engine.elections
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
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
  auto utf8 = to_json_text(state, criteria);
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

PyObject* engine_election(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"moment",      "latitude",     "longitude",
                                      "criteria",    "house_system", "zodiac_type",
                                      "ayanamsa",    "orb_settings", "dignity_scheme"};
  PyObject* values[9] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("election", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "election", names, 9, 3, values)) return nullptr;

  ChartRequest request;
  if (!read_place_and_options("election", values[1], values[2], &values[4], &request) ||
      !read_optional_text(values[8], "election", "dignity_scheme", &request.dignity_scheme)) {
    return nullptr;
  }

  auto criteria = to_criteria(state, values[3]);
  if (!criteria) return nullptr;
  auto moment = to_instant(state, values[0]);
  if (!moment) return nullptr;
  request.moment = *moment;
  if (!read_orb_settings(state, values[7], &request)) return nullptr;

  if (!warn_unknown_options(request)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self,
                          [&] { return calculate_election_chart(kernels, request, *criteria); }, form);
}

PyObject* engine_elections(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  static const char* const names[] = {"start",    "end",          "latitude",    "longitude",
                                      "criteria", "house_system", "zodiac_type", "ayanamsa"};
  PyObject* values[8] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("elections", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "elections", names, 8, 4, values)) return nullptr;

  ChartRequest request;
  if (!read_place_and_options("elections", values[2], values[3], &values[5], &request)) {
    return nullptr;
  }

  auto criteria = to_criteria(state, values[4]);
  if (!criteria) return nullptr;
  auto end = to_instant(state, values[1]);
  if (!end) return nullptr;
  auto start = to_instant(state, values[0]);
  if (!start) return nullptr;
  request.moment = *start;

  if (!warn_unknown_options(request)) return nullptr;
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self,
                          [&] { return search_elections(kernels, request, *end, *criteria); }, form);
}

}  // namespace

PyMethodDef engine_election_method = {
    "election", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_election)),
    METH_VARARGS | METH_KEYWORDS,
    "election($self, moment, latitude, longitude, criteria=None, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", orb_settings=None, "
    "dignity_scheme=\"lilly\", *, json=False)\n--\n\n"
    "A chart with its electional assessment under the `election_data` key."};

PyMethodDef engine_elections_method = {
    "elections", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_elections)),
    METH_VARARGS | METH_KEYWORDS,
    "elections($self, start, end, latitude, longitude, criteria=None, house_system=\"P\", "
    "zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", *, json=False)\n--\n\n"
    "The best electional windows from `start` to `end` at a place."};

}  // namespace quorvane::py
