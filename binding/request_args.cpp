#include "request_args.hpp"

#include "args.hpp"
#include "convert.hpp"

namespace quorvane::py {

bool read_place_and_options(const char* function, PyObject* latitude, PyObject* longitude,
                            PyObject* const* texts, ChartRequest* request) {
  return arg_double(latitude, function, "latitude", &request->latitude) &&
         arg_double(longitude, function, "longitude", &request->longitude) &&
         read_optional_text(texts[0], function, "house_system", &request->house_system) &&
         read_optional_text(texts[1], function, "zodiac_type", &request->zodiac_type) &&
         read_optional_text(texts[2], function, "ayanamsa", &request->ayanamsa);
}

bool read_optional_text(PyObject* value, const char* function, const char* name, std::string* out) {
  return value == nullptr || arg_text(value, function, name, out);
}

bool read_orb_settings(PyObject* value, ChartRequest* request) {
  if (value == nullptr || value == Py_None) return true;
  auto settings = to_json_value(value);
  if (!settings) return false;
  request->orb_settings = std::move(*settings);
  return true;
}

}  // namespace quorvane::py
