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

// The arguments both functions share, converted in the calling order.
struct BirthArguments {
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

// values: calendar, moment, longitude, utc_offset_minutes, solar_time,
// zi_hour, sex, (own argument), year, date.
bool read_birth_arguments(PyObject* module, const char* function, PyObject* const* values,
                          BirthArguments* out) {
  if (!read_longitude(values[2], function, &out->longitude)) return false;
  // 18 hours either way is the most any civil time zone has needed.
  if (!arg_double_within(values[3], function, "utc_offset_minutes", 1080.0, "minutes",
                         &out->utc_offset_minutes)) {
    return false;
  }
  if (values[4] && !arg_bool(values[4], function, "solar_time", &out->solar_time)) return false;
  if (values[5] && !arg_text(values[5], function, "zi_hour", &out->zi_hour)) return false;
  if (values[6] && values[6] != Py_None) {
    std::string sex;
    if (!arg_text(values[6], function, "sex", &sex)) return false;
    out->sex = std::move(sex);
  }
  if (values[8] && values[8] != Py_None) {
    long long year = 0;
    if (!arg_int_within(values[8], function, "year", INT32_MIN, INT32_MAX, &year)) return false;
    out->year = static_cast<int32_t>(year);
  }
  if (values[9] && values[9] != Py_None) {
    std::string date;
    if (!arg_text(values[9], function, "date", &date)) return false;
    out->date = std::move(date);
  }

  // Read from the text itself so that a repeated key is reported.
  auto text = to_json_text(state_of(module), values[0]);
  if (!text) return false;
  auto calendar = chinese::read_chinese_calendar_text(*text);
  if (!calendar) {
    raise_engine_error(state_of(module), calendar.error());
    return false;
  }
  out->calendar = std::move(*calendar);
  auto moment = to_instant(state_of(module), values[1]);
  if (!moment) return false;
  out->moment = *moment;
  return true;
}

PyObject* bazi(PyObject* module, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"calendar", "moment",     "longitude", "utc_offset_minutes",
                                      "solar_time", "zi_hour",  "sex",       "luck_pillars",
                                      "year",     "date"};
  PyObject* values[10] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("bazi", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "bazi", names, 10, 4, values)) return nullptr;
  long long luck_pillars = 10;
  if (values[7] && !arg_int_within(values[7], "bazi", "luck_pillars", 0, 255, &luck_pillars)) {
    return nullptr;
  }
  BirthArguments a;
  if (!read_birth_arguments(module, "bazi", values, &a)) return nullptr;

  chinese::BaziOptions options;
  options.solar_time = a.solar_time;
  options.zi_hour = std::move(a.zi_hour);
  options.sex = std::move(a.sex);
  options.luck_pillars = static_cast<uint8_t>(luck_pillars);
  options.year = a.year;
  options.date = std::move(a.date);
  return run_unlocked(state_of(module), [&] {
    return chinese::bazi(a.calendar, a.moment, options, a.longitude, a.utc_offset_minutes);
  }, form);
}

PyObject* zi_wei(PyObject* module, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"calendar", "moment",     "longitude", "utc_offset_minutes",
                                      "solar_time", "zi_hour",  "sex",       "leap_month",
                                      "year",     "date"};
  PyObject* values[10] = {};
  ResultForm form;
  PyRef rest;
  if (!take_result_form("zi_wei", &kwargs, &rest, &form)) return nullptr;
  if (!parse_arguments(args, kwargs, "zi_wei", names, 10, 4, values)) return nullptr;
  std::string leap_month = "split";
  if (values[7] && !arg_text(values[7], "zi_wei", "leap_month", &leap_month)) return nullptr;
  BirthArguments a;
  if (!read_birth_arguments(module, "zi_wei", values, &a)) return nullptr;

  chinese::ZiWeiOptions options;
  options.solar_time = a.solar_time;
  options.zi_hour = std::move(a.zi_hour);
  options.sex = std::move(a.sex);
  options.leap_month = std::move(leap_month);
  options.year = a.year;
  options.date = std::move(a.date);
  return run_unlocked(state_of(module), [&] {
    return chinese::zi_wei(a.calendar, a.moment, options, a.longitude, a.utc_offset_minutes);
  }, form);
}

}  // namespace

PyMethodDef bazi_method = {
    "bazi", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(bazi)),
    METH_VARARGS | METH_KEYWORDS,
    "bazi(calendar, moment, longitude, utc_offset_minutes, solar_time=True, "
    "zi_hour=\"next_day\", sex=None, luck_pillars=10, year=None, date=None, *, json=False)\n--\n\n"
    "The Four Pillars of a birth at `moment`, at `longitude` (degrees east) where civil\n"
    "time was `utc_offset_minutes` ahead of UTC, from the chart's `chinese_calendar`.\n"
    "No kernel is needed."};

PyMethodDef zi_wei_method = {
    "zi_wei", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(zi_wei)),
    METH_VARARGS | METH_KEYWORDS,
    "zi_wei(calendar, moment, longitude, utc_offset_minutes, solar_time=True, "
    "zi_hour=\"next_day\", sex=None, leap_month=\"split\", year=None, date=None, *, json=False)\n--\n\n"
    "The Zi Wei Dou Shu chart of a birth at `moment`, at `longitude` (degrees east) where\n"
    "civil time was `utc_offset_minutes` ahead of UTC, from the chart's `chinese_calendar`.\n"
    "No kernel is needed."};

}  // namespace quorvane::py
