// julian_day(moment)
#include "convert.hpp"
#include "args.hpp"
#include "functions.hpp"

namespace quorvane::py {
namespace {

PyObject* julian_day(PyObject* module, PyObject* args, PyObject* kwargs) {
  PyObject* moment = nullptr;
  if (!parse_argument(args, kwargs, "julian_day", "moment", &moment)) return nullptr;
  auto instant = to_instant(state_of(module), moment);
  if (!instant) return nullptr;
  return PyFloat_FromDouble(instant->julian_day());
}

}  // namespace

PyMethodDef julian_day_method = {
    "julian_day", with_keywords(julian_day),
    METH_VARARGS | METH_KEYWORDS,
    "julian_day(moment)\n--\n\nJulian day of a moment, as the chart calculation uses it."};

}  // namespace quorvane::py
