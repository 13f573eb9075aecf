// Engine.zodiacal_releasing: the periods released from a lot of the natal
// chart, cast with the birth's place and options.
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/predictive/zodiacal_releasing.hpp"

namespace quorvane::py {
namespace {

struct ReleasingArguments : PlaceArguments {
  PyObject* birth = nullptr;
  PyObject* start = nullptr;
  PyObject* end = nullptr;
  PyObject* lot = nullptr;
  PyObject* levels = nullptr;
  PyObject* year = nullptr;
  PyObject* spirit_with_fortune = nullptr;
  static constexpr int required = 5;
  static constexpr Parameter<ReleasingArguments> parameters[] = {
      {"birth", &ReleasingArguments::birth},
      {"latitude", &ReleasingArguments::latitude},
      {"longitude", &ReleasingArguments::longitude},
      {"start", &ReleasingArguments::start},
      {"end", &ReleasingArguments::end},
      {"lot", &ReleasingArguments::lot},
      {"levels", &ReleasingArguments::levels},
      {"year", &ReleasingArguments::year},
      {"house_system", &ReleasingArguments::house_system},
      {"zodiac_type", &ReleasingArguments::zodiac_type},
      {"ayanamsa", &ReleasingArguments::ayanamsa},
      {"house_obliquity", &ReleasingArguments::house_obliquity},
      {"spirit_with_fortune", &ReleasingArguments::spirit_with_fortune},
  };
};

PyObject* engine_zodiacal_releasing(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState* state = engine_state(self);
  ReleasingArguments given;
  if (!parse_arguments(args, kwargs, "zodiacal_releasing", &given)) return nullptr;
  ChartRequest options;
  UtcInstant start, end;
  std::string lot = "spirit";
  std::string year_text = "360";
  std::string spirit_text = "next_sign";
  long long levels = kMaxReleasingLevel;
  if (!read_moment(state, given.birth, &options.moment) ||
      !read_moment(state, given.start, &start) || !read_moment(state, given.end, &end) ||
      !read_place_and_options("zodiacal_releasing", given, &options) ||
      !read_optional_text(given.lot, "zodiacal_releasing", "lot", &lot) ||
      !read_optional_text(given.year, "zodiacal_releasing", "year", &year_text) ||
      !read_optional_text(given.spirit_with_fortune, "zodiacal_releasing", "spirit_with_fortune",
                          &spirit_text) ||
      (given.levels && !arg_int(given.levels, "zodiacal_releasing", "levels", &levels)) ||
      !warn_unknown_options(state, options) || !warn_house_fallback(options)) {
    return nullptr;
  }
  const BirthPlace birth{options.moment, options.latitude, options.longitude};
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(self, [&]() -> Expected<ZodiacalReleasing, EngineError> {
    auto year = releasing_year_from_text(year_text);
    if (!year) return unexpected(std::move(year).error());
    auto spirit = spirit_with_fortune_from_text(spirit_text);
    if (!spirit) return unexpected(std::move(spirit).error());
    if (levels < 1 || levels > kMaxReleasingLevel) {
      return unexpected(EngineError::invalid_input("levels must be 1 to 4"));
    }
    return zodiacal_releasing(kernels, options, birth, lot, *year, static_cast<int>(levels), start,
                              end, *spirit);
  }, given.form);
}

}  // namespace

PyMethodDef engine_zodiacal_releasing_method = {
    "zodiacal_releasing", with_keywords(engine_zodiacal_releasing), METH_VARARGS | METH_KEYWORDS,
    "zodiacal_releasing($self, birth, latitude, longitude, start, end, lot=\"spirit\", levels=4, "
    "year=\"360\", house_system=\"P\", zodiac_type=\"tropical\", ayanamsa=\"galcent_0sag\", "
    "house_obliquity=\"mean\", spirit_with_fortune=\"next_sign\", *, json=False)\n--\n\n"
    "Zodiacal releasing (Valens) from a lot of the natal chart (\"spirit\" or \"fortune\", or\n"
    "any lot of the chart by name), as the chart's lots place it: the periods of `levels`\n"
    "levels (1-4) overlapping `start`..`end`, flat and sorted by start (a parent before its\n"
    "first sub-period), each with its level, sign, ruler, start, end, whether the bond was\n"
    "loosed to it and whether it is a peak (angular from the Lot of Fortune, with the\n"
    "angle). `year`: the level-1 year, \"360\" days (Valens) or \"tropical\" (365.24219 days);\n"
    "sub-periods always use 360-day years. `spirit_with_fortune`: when Spirit shares\n"
    "Fortune's sign, release it from the \"next_sign\" (Valens) or its \"own_sign\"; the\n"
    "sign the periods start from is `released_sign`."};

}  // namespace quorvane::py
