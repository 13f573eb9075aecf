// The arguments that build a chart request, shared by Engine.chart,
// horary, election, elections, transit and the predictive calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "args.hpp"
#include "module_state.hpp"
#include "pyref.hpp"
#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/chart/chart.hpp"

namespace quorvane::py {

// A place's latitude: a finite number of degrees from -90 to 90, else
// ValueError naming the argument and the range.
bool read_latitude(PyObject* value, const char* function, double* out,
                   const char* name = "latitude");
// A place's longitude: any finite number of degrees (east positive; values
// beyond +-180 wrap), else ValueError naming the argument.
bool read_longitude(PyObject* value, const char* function, double* out,
                    const char* name = "longitude");

// A place and the option texts of every chart cast for it.
struct PlaceArguments : RecordArguments {
  PyObject* latitude = nullptr;
  PyObject* longitude = nullptr;
  PyObject* house_system = nullptr;
  PyObject* zodiac_type = nullptr;
  PyObject* ayanamsa = nullptr;
  PyObject* house_obliquity = nullptr;
};

// latitude and longitude (floats), then house_system, zodiac_type and
// ayanamsa (an omitted one keeps the default), converted in that order so
// the first bad argument is the one reported.
bool read_place_and_options(const char* function, const PlaceArguments& given,
                            ChartRequest* request);

// An optional "mean" or "true" (any case); omitted keeps `*out`, anything
// else is a ValueError naming the argument.
bool read_mean_or_true(PyObject* value, const char* function, const char* name, std::string* out);

// house_obliquity: omitted keeps "mean"; else "mean" or "true" (any case),
// or ValueError.
bool read_house_obliquity(PyObject* value, const char* function, ChartRequest* request);

// A moment argument (see to_instant).
bool read_moment(ModuleState* state, PyObject* value, UtcInstant* out);

// `bodies`: omitted or None (the call's default list), one name, or a
// sequence of names.
bool read_body_names(PyObject* value, const char* function, std::vector<std::string>* out);

// An optional text argument: omitted keeps `*out`.
bool read_optional_text(PyObject* value, const char* function, const char* name, std::string* out);

// An UnknownOptionWarning for each option text of the request that the
// engine does not know and replaces by its default; false when a warning
// was turned into an error.
bool warn_unknown_options(ModuleState* state, const ChartRequest& request);
// The same for one note (none is fine).
bool warn_option_note(ModuleState* state, const std::optional<std::string>& note);
// A UserWarning when the request's house system cannot be cast at its place
// (a quadrant system beyond the polar circles).
bool warn_house_fallback(const ChartRequest& request);

// orb_settings: omitted or None means none; else any object json.dumps takes.
bool read_orb_settings(ModuleState* state, PyObject* value, ChartRequest* request);

// The arguments every call that computes a chart of a moment and place
// shares; a call's own argument struct derives from it.
struct ChartRequestArguments : PlaceArguments {
  PyObject* moment = nullptr;
  PyObject* orb_settings = nullptr;
  PyObject* dignity_scheme = nullptr;
  PyObject* node = nullptr;  // only calls that list it take it
};

// The order in which a chart call converts its arguments; the first bad one
// is the one reported, so each call keeps the order it was published with.
enum class ChartArgumentOrder {
  // place, option texts, dignity scheme | the call's own | moment, orb settings
  place_first,
  // moment, place, option texts | the call's own | orb settings, dignity scheme
  moment_first,
};

struct ChartOpening {
  ChartArgumentOrder order = ChartArgumentOrder::place_first;
};

// The two halves of the opening, either side of the call's own arguments.
bool read_chart_request_head(ModuleState* state, const char* function,
                             const ChartRequestArguments& given, ChartArgumentOrder order,
                             ChartRequest* request);
bool read_chart_request_tail(ModuleState* state, const char* function,
                             const ChartRequestArguments& given, ChartArgumentOrder order,
                             ChartRequest* request);

// The chart request of a call, with `read_own` converting the call's own
// arguments at their place in the order (see ChartArgumentOrder); then the
// warnings for unknown option texts. False with a Python error set.
template <class ReadOwn>
bool read_chart_request(ModuleState* state, const char* function,
                        const ChartRequestArguments& given, ChartOpening opening,
                        ChartRequest* request, ReadOwn&& read_own) {
  return read_chart_request_head(state, function, given, opening.order, request) && read_own() &&
         read_chart_request_tail(state, function, given, opening.order, request) &&
         warn_unknown_options(state, *request) && warn_house_fallback(*request);
}

inline bool read_chart_request(ModuleState* state, const char* function,
                               const ChartRequestArguments& given, ChartOpening opening,
                               ChartRequest* request) {
  return read_chart_request(state, function, given, opening, request, [] { return true; });
}

// The zodiac of a search from its two texts (either may be omitted); an
// unknown text warns (UnknownOptionWarning).
bool read_zodiac(ModuleState* state, const char* function, PyObject* zodiac_type,
                 PyObject* ayanamsa, ZodiacChoice* out);

// A list or tuple of str (a str alone is refused, not read letter by letter);
// repeats are kept once.
bool read_text_list(PyObject* value, const char* function, const char* name,
                    std::vector<std::string>* out);

}  // namespace quorvane::py
