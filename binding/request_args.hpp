// The arguments that build a chart request, shared by Engine.chart,
// horary, election, elections, transit and the predictive calls.
#pragma once

#include <optional>
#include <string>

#include "args.hpp"
#include "module_state.hpp"
#include "pyref.hpp"
#include "quorvane/chart/chart.hpp"

namespace quorvane::py {

// A place's latitude: a finite number of degrees from -90 to 90, else
// ValueError naming the argument and the range.
bool read_latitude(PyObject* value, const char* function, double* out);
// A place's longitude: any finite number of degrees (east positive; values
// beyond +-180 wrap), else ValueError naming the argument.
bool read_longitude(PyObject* value, const char* function, double* out);

// latitude and longitude (floats), then house_system, zodiac_type and
// ayanamsa (an omitted one keeps the default), converted in that order so
// the first bad argument is the one reported.
bool read_place_and_options(const char* function, PyObject* latitude, PyObject* longitude,
                            PyObject* house_system, PyObject* zodiac_type, PyObject* ayanamsa,
                            ChartRequest* request);

// A moment argument (see to_instant).
bool read_moment(ModuleState* state, PyObject* value, UtcInstant* out);

// An optional text argument: omitted keeps `*out`.
bool read_optional_text(PyObject* value, const char* function, const char* name, std::string* out);

// A UserWarning for each option text of the request that the engine does
// not know and replaces by its default; false when a warning was turned
// into an error.
bool warn_unknown_options(const ChartRequest& request);
// The same for one note (none is fine).
bool warn_option_note(const std::optional<std::string>& note);

// orb_settings: omitted or None means none; else any object json.dumps takes.
bool read_orb_settings(ModuleState* state, PyObject* value, ChartRequest* request);

// The arguments every call that computes a chart of a moment and place
// shares; a call's own argument struct derives from it.
struct ChartRequestArguments : RecordArguments {
  PyObject* moment = nullptr;
  PyObject* latitude = nullptr;
  PyObject* longitude = nullptr;
  PyObject* house_system = nullptr;
  PyObject* zodiac_type = nullptr;
  PyObject* ayanamsa = nullptr;
  PyObject* orb_settings = nullptr;
  PyObject* dignity_scheme = nullptr;
};

}  // namespace quorvane::py
