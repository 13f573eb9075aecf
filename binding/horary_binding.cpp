// Engine.horary
#include "args.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "quorvane/horary.hpp"

namespace quorvane::py {
namespace {

// None, or an int that fits an unsigned byte; the house range itself is the
// judgment's business.
bool arg_house(PyObject* value, std::optional<uint8_t>* out) {
  if (value == nullptr || value == Py_None) return true;
  long long number = 0;
  if (!PyLong_Check(value)) return arg_int(value, "horary", "quesited_house", &number);
  number = PyLong_AsLongLong(value);
  if (number == -1 && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return false;
    PyErr_Clear();
    number = -1;  // beyond long long: reported as out of range below
  }
  if (number < 0 || number > 255) {
    PyErr_Format(PyExc_TypeError,
                 "horary() argument 'quesited_house' must be None or an int from 0 to 255, "
                 "not %R",
                 value);
    return false;
  }
  *out = static_cast<uint8_t>(number);
  return true;
}

PyObject* engine_horary(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"moment",         "latitude",       "longitude",
                                      "house_system",   "zodiac_type",    "ayanamsa",
                                      "orb_settings",   "dignity_scheme", "quesited_house",
                                      "chinese_calendar"};
  PyObject* values[10] = {};
  if (!parse_arguments(args, kwargs, "horary", names, 10, 3, values)) return nullptr;

  ChartRequest request;
  if (!arg_double(values[1], "horary", "latitude", &request.latitude)) return nullptr;
  if (!arg_double(values[2], "horary", "longitude", &request.longitude)) return nullptr;
  if (values[3] && !arg_text(values[3], "horary", "house_system", &request.house_system)) return nullptr;
  if (values[4] && !arg_text(values[4], "horary", "zodiac_type", &request.zodiac_type)) return nullptr;
  if (values[5] && !arg_text(values[5], "horary", "ayanamsa", &request.ayanamsa)) return nullptr;
  std::string dignity_scheme = "lilly";
  if (values[7] && !arg_text(values[7], "horary", "dignity_scheme", &dignity_scheme)) return nullptr;
  std::optional<uint8_t> quesited_house;
  if (!arg_house(values[8], &quesited_house)) return nullptr;
  bool chinese_calendar = false;
  if (values[9] && !arg_bool(values[9], "horary", "chinese_calendar", &chinese_calendar)) {
    return nullptr;
  }

  auto moment = to_instant(values[0]);
  if (!moment) return nullptr;
  request.moment = *moment;
  if (values[6] && values[6] != Py_None) {
    auto settings = to_json_value(values[6]);
    if (!settings) return nullptr;
    request.orb_settings = std::move(*settings);
  }
  request.dignity_scheme = std::move(dignity_scheme);
  request.chinese_calendar = chinese_calendar;

  const KernelSet& kernels = engine_kernels(self);
  std::optional<Expected<HoraryChart, EngineError>> result;
  Py_BEGIN_ALLOW_THREADS
  result.emplace(calculate_horary_chart(kernels, request, quesited_house));
  Py_END_ALLOW_THREADS
  if (!*result) return raise_engine_error(engine_state(self), result->error());
  return hand_off(engine_state(self), to_json(result->value()));
}

}  // namespace

PyMethodDef engine_horary_method = {
    "horary", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(engine_horary)),
    METH_VARARGS | METH_KEYWORDS,
    "horary($self, moment, latitude, longitude, house_system=\"P\", zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", orb_settings=None, dignity_scheme=\"lilly\", "
    "quesited_house=None, chinese_calendar=False)\n--\n\n"
    "A chart with its horary analysis under the `horary_data` key; `quesited_house`\n"
    "(1-12) is the house of the matter asked about."};

}  // namespace quorvane::py
