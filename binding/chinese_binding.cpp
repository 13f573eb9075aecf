// bazi(calendar, moment, longitude, utc_offset_minutes, ...) and
// zi_wei(calendar, moment, longitude, utc_offset_minutes, ...): charts cast
// from a chart's `chinese_calendar` dict.
#include <cstdint>
#include <optional>
#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/chinese/bazi.hpp"
#include "quorvane/chinese/ziwei.hpp"

namespace quorvane::py {
namespace {

// An int argument within [low, high]; outside it, OverflowError naming it.
bool arg_int_within(PyObject* value, const char* function, const char* name, long long low,
                    long long high, long long* out) {
  if (!arg_int(value, function, name, out)) return false;
  if (*out < low || *out > high) {
    PyErr_Format(PyExc_OverflowError, "%s() argument '%s' must be between %lld and %lld",
                 function, name, low, high);
    return false;
  }
  return true;
}

// The birth both functions cast a chart of, converted in the calling order.
struct BirthData {
  chinese::ChineseCalendar calendar;
  UtcInstant moment;
  double longitude = 0.0;
  double utc_offset_minutes = 0.0;
  bool solar_time = true;
  std::string zi_hour = "next_day";
  std::optional<std::string> sex;
  std::optional<int32_t> year;
  std::optional<std::string> date;
};

// The arguments both functions take; each adds its own at the eighth place.
struct BirthArguments : RecordArguments {
  PyObject* calendar = nullptr;
  PyObject* moment = nullptr;
  PyObject* longitude = nullptr;
  PyObject* utc_offset_minutes = nullptr;
  PyObject* solar_time = nullptr;
  PyObject* zi_hour = nullptr;
  PyObject* sex = nullptr;
  PyObject* year = nullptr;
  PyObject* date = nullptr;
};

bool read_birth_arguments(PyObject* module, const char* function, const BirthArguments& given,
                          BirthData* out) {
  if (!read_longitude(given.longitude, function, &out->longitude)) return false;
  // 18 hours either way is the most any civil time zone has needed.
  if (!arg_double_within(given.utc_offset_minutes, function, "utc_offset_minutes", 1080.0,
                         "minutes", &out->utc_offset_minutes)) {
    return false;
  }
  if (given.solar_time && !arg_bool(given.solar_time, function, "solar_time", &out->solar_time)) {
    return false;
  }
  if (given.zi_hour && !arg_text(given.zi_hour, function, "zi_hour", &out->zi_hour)) return false;
  if (given.sex && given.sex != Py_None) {
    std::string sex;
    if (!arg_text(given.sex, function, "sex", &sex)) return false;
    out->sex = std::move(sex);
  }
  if (given.year && given.year != Py_None) {
    long long year = 0;
    if (!arg_int_within(given.year, function, "year", INT32_MIN, INT32_MAX, &year)) return false;
    out->year = static_cast<int32_t>(year);
  }
  if (given.date && given.date != Py_None) {
    std::string date;
    if (!arg_text(given.date, function, "date", &date)) return false;
    out->date = std::move(date);
  }

  // Read from the text itself so that a repeated key is reported.
  auto text = to_json_text(state_of(module), given.calendar, "calendar");
  if (!text) return false;
  auto calendar = chinese::read_chinese_calendar_text(*text);
  if (!calendar) {
    raise_engine_error(state_of(module), calendar.error());
    return false;
  }
  out->calendar = std::move(*calendar);
  auto moment = to_instant(state_of(module), given.moment);
  if (!moment) return false;
  out->moment = *moment;
  return true;
}

struct BaziArguments : BirthArguments {
  PyObject* luck_pillars = nullptr;
  static constexpr int required = 4;
  static constexpr Parameter<BaziArguments> parameters[] = {
      {"calendar", &BaziArguments::calendar},
      {"moment", &BaziArguments::moment},
      {"longitude", &BaziArguments::longitude},
      {"utc_offset_minutes", &BaziArguments::utc_offset_minutes},
      {"solar_time", &BaziArguments::solar_time},
      {"zi_hour", &BaziArguments::zi_hour},
      {"sex", &BaziArguments::sex},
      {"luck_pillars", &BaziArguments::luck_pillars},
      {"year", &BaziArguments::year},
      {"date", &BaziArguments::date},
  };
};

PyObject* bazi(PyObject* module, PyObject* args, PyObject* kwargs) {
  BaziArguments given;
  if (!parse_arguments(args, kwargs, "bazi", &given)) return nullptr;
  long long luck_pillars = 10;
  if (given.luck_pillars &&
      !arg_int_within(given.luck_pillars, "bazi", "luck_pillars", 0, 255, &luck_pillars)) {
    return nullptr;
  }
  BirthData a;
  if (!read_birth_arguments(module, "bazi", given, &a)) return nullptr;

  chinese::BaziOptions options;
  options.solar_time = a.solar_time;
  options.zi_hour = std::move(a.zi_hour);
  options.sex = std::move(a.sex);
  options.luck_pillars = static_cast<uint8_t>(luck_pillars);
  options.year = a.year;
  options.date = std::move(a.date);
  return run_unlocked(state_of(module), [&] {
    return chinese::bazi(a.calendar, a.moment, options, a.longitude, a.utc_offset_minutes);
  }, given.form);
}

struct ZiWeiArguments : BirthArguments {
  PyObject* leap_month = nullptr;
  static constexpr int required = 4;
  static constexpr Parameter<ZiWeiArguments> parameters[] = {
      {"calendar", &ZiWeiArguments::calendar},
      {"moment", &ZiWeiArguments::moment},
      {"longitude", &ZiWeiArguments::longitude},
      {"utc_offset_minutes", &ZiWeiArguments::utc_offset_minutes},
      {"solar_time", &ZiWeiArguments::solar_time},
      {"zi_hour", &ZiWeiArguments::zi_hour},
      {"sex", &ZiWeiArguments::sex},
      {"leap_month", &ZiWeiArguments::leap_month},
      {"year", &ZiWeiArguments::year},
      {"date", &ZiWeiArguments::date},
  };
};

PyObject* zi_wei(PyObject* module, PyObject* args, PyObject* kwargs) {
  ZiWeiArguments given;
  if (!parse_arguments(args, kwargs, "zi_wei", &given)) return nullptr;
  std::string leap_month = "split";
  if (given.leap_month && !arg_text(given.leap_month, "zi_wei", "leap_month", &leap_month)) {
    return nullptr;
  }
  BirthData a;
  if (!read_birth_arguments(module, "zi_wei", given, &a)) return nullptr;

  chinese::ZiWeiOptions options;
  options.solar_time = a.solar_time;
  options.zi_hour = std::move(a.zi_hour);
  options.sex = std::move(a.sex);
  options.leap_month = std::move(leap_month);
  options.year = a.year;
  options.date = std::move(a.date);
  return run_unlocked(state_of(module), [&] {
    return chinese::zi_wei(a.calendar, a.moment, options, a.longitude, a.utc_offset_minutes);
  }, given.form);
}

}  // namespace

PyMethodDef bazi_method = {
    "bazi", with_keywords(bazi),
    METH_VARARGS | METH_KEYWORDS,
    "bazi(calendar, moment, longitude, utc_offset_minutes, solar_time=True, "
    "zi_hour=\"next_day\", sex=None, luck_pillars=10, year=None, date=None, *, json=False)\n--\n\n"
    "The Four Pillars of a birth at `moment`, at `longitude` (degrees east) where civil\n"
    "time was `utc_offset_minutes` ahead of UTC, from the chart's `chinese_calendar`.\n"
    "No kernel is needed."};

PyMethodDef zi_wei_method = {
    "zi_wei", with_keywords(zi_wei),
    METH_VARARGS | METH_KEYWORDS,
    "zi_wei(calendar, moment, longitude, utc_offset_minutes, solar_time=True, "
    "zi_hour=\"next_day\", sex=None, leap_month=\"split\", year=None, date=None, *, json=False)\n--\n\n"
    "The Zi Wei Dou Shu chart of a birth at `moment`, at `longitude` (degrees east) where\n"
    "civil time was `utc_offset_minutes` ahead of UTC, from the chart's `chinese_calendar`.\n"
    "No kernel is needed."};

}  // namespace quorvane::py
