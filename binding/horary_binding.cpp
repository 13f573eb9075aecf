// Engine.horary
#include "args.hpp"
#include "engine_object.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "unlocked.hpp"
#include "quorvane/horary/horary.hpp"

namespace quorvane::py {
namespace {

// None, or a house from 1 to 12: a judgment of no house would pass for one.
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
  if (number < 1 || number > 12) {
    PyErr_Format(PyExc_ValueError,
                 "horary() argument 'quesited_house' must be None or a house from 1 to 12, "
                 "not %R",
                 value);
    return false;
  }
  *out = static_cast<uint8_t>(number);
  return true;
}

struct HoraryArguments : ChartRequestArguments {
  PyObject* quesited_house = nullptr;
  PyObject* chinese_calendar = nullptr;
  static constexpr int required = 3;
  static constexpr Parameter<HoraryArguments> parameters[] = {
      {"moment", &HoraryArguments::moment},
      {"latitude", &HoraryArguments::latitude},
      {"longitude", &HoraryArguments::longitude},
      {"house_system", &HoraryArguments::house_system},
      {"zodiac_type", &HoraryArguments::zodiac_type},
      {"ayanamsa", &HoraryArguments::ayanamsa},
      {"orb_settings", &HoraryArguments::orb_settings},
      {"dignity_scheme", &HoraryArguments::dignity_scheme},
      {"quesited_house", &HoraryArguments::quesited_house},
      {"chinese_calendar", &HoraryArguments::chinese_calendar},
      {"house_obliquity", &HoraryArguments::house_obliquity},
      {"node", &HoraryArguments::node},
  };
};

PyObject* engine_horary(PyObject* self, PyObject* args, PyObject* kwargs) {
  HoraryArguments given;
  if (!parse_arguments(args, kwargs, "horary", &given)) return nullptr;
  ChartRequest request;
  std::optional<uint8_t> quesited_house;
  if (!read_chart_request(engine_state(self), "horary", given, {}, &request, [&] {
        return arg_house(given.quesited_house, &quesited_house) &&
               (!given.chinese_calendar ||
                arg_bool(given.chinese_calendar, "horary", "chinese_calendar",
                         &request.chinese_calendar));
      })) {
    return nullptr;
  }
  const KernelSet& kernels = engine_kernels(self);
  return compute_unlocked(
      self, [&] { return calculate_horary_chart(kernels, request, quesited_house); }, given.form);
}

}  // namespace

PyMethodDef engine_horary_method = {
    "horary", with_keywords(engine_horary),
    METH_VARARGS | METH_KEYWORDS,
    "horary($self, moment, latitude, longitude, house_system=\"P\", zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", orb_settings=None, dignity_scheme=\"lilly\", "
    "quesited_house=None, chinese_calendar=False, house_obliquity=\"mean\", node=\"mean\", *, json=False)\n--\n\n"
    "A chart with its horary analysis under the `horary_data` key; `quesited_house`\n"
    "(1-12; ValueError outside) is the house of the matter asked about."};

}  // namespace quorvane::py
