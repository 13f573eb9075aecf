// Engine.positions: a batch of moments in, numpy columns out.
#include <cmath>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "args.hpp"
#include "columns.hpp"
#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "functions.hpp"
#include "request_args.hpp"
#include "without_lock.hpp"
#include "quorvane/astronomy/positions.hpp"
#include "quorvane/astronomy/positions_threads.hpp"
#include "quorvane/zodiac/options.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::py {
namespace {

// About 1.6 GB of columns; more is a job for several calls.
constexpr size_t kMaxPositionCells = 10'000'000;
// Body-moments computed between two looks for Ctrl-C: well under a second.
constexpr size_t kCellsPerSpan = 20'000;
// How long a batch on several threads runs between two looks for Ctrl-C.
constexpr std::chrono::milliseconds kSignalLook{50};
// More threads than any machine has cores is a mistake, not a request.
constexpr long long kMaxThreads = 1024;

// A Julian day: a float or an int, or a number type of its own (numpy's
// scalars) that converts to one. Booleans are not days.
bool is_number(PyObject* value) {
  if (PyBool_Check(value)) return false;
  if (PyFloat_Check(value) || PyLong_Check(value) || PyIndex_Check(value)) return true;
  return PyType_GetSlot(Py_TYPE(value), Py_nb_float) != nullptr;
}

// One item of `moments`: a UT Julian day, an ISO text or a datetime.
bool read_moment(ModuleState* state, PyObject* item, size_t index, std::vector<double>* jds) {
  double jd = 0.0;
  if (is_number(item)) {
    jd = PyFloat_AsDouble(item);
    if (jd == -1.0 && PyErr_Occurred()) return false;
  } else {
    auto instant = to_instant(state, item);
    if (!instant) return false;
    jd = instant->julian_day();
  }
  if (!std::isfinite(jd)) {
    PyErr_Format(PyExc_ValueError,
                 "positions() argument 'moments' holds a non-finite Julian day at index %zu",
                 index);
    return false;
  }
  jds->push_back(jd);
  return true;
}

// A contiguous or strided one-dimensional float64 buffer (a numpy array of
// Julian days); false without an error when the object is not one.
bool read_day_buffer(PyObject* value, std::vector<double>* jds, bool* taken) {
  *taken = false;
  if (!PyObject_CheckBuffer(value) || PyBytes_Check(value) || PyByteArray_Check(value)) {
    return true;
  }
  Py_buffer view;
  if (PyObject_GetBuffer(value, &view, PyBUF_RECORDS_RO) < 0) {
    PyErr_Clear();
    return true;
  }
  // A table of days has no one order to read it in: refused, not flattened.
  if (view.ndim > 1) {
    PyBuffer_Release(&view);
    PyErr_Format(PyExc_ValueError,
                 "positions() argument 'moments' must be one-dimensional, not %d-dimensional",
                 view.ndim);
    return false;
  }
  if (holds_float64(view) && view.ndim <= 1) {
    *taken = true;
    const Py_ssize_t count = view.ndim == 0 ? 1 : view.shape[0];
    const Py_ssize_t stride = view.ndim == 0 ? 0 : view.strides[0];
    const char* base = static_cast<const char*>(view.buf);
    for (Py_ssize_t i = 0; i < count; ++i) {
      double jd;
      std::memcpy(&jd, base + i * stride, sizeof jd);
      if (!std::isfinite(jd)) {
        PyBuffer_Release(&view);
        PyErr_Format(PyExc_ValueError,
                     "positions() argument 'moments' holds a non-finite Julian day at index %zd",
                     i);
        return false;
      }
      jds->push_back(jd);
    }
  }
  PyBuffer_Release(&view);
  return true;
}

bool read_moments(ModuleState* state, PyObject* value, std::vector<double>* jds) {
  if (PyUnicode_Check(value) || PyFloat_Check(value) || PyLong_Check(value)) {
    return read_moment(state, value, 0, jds);
  }
  // Arrays first: they are numbers too, to the number protocol.
  bool taken = false;
  if (!read_day_buffer(value, jds, &taken)) return false;
  if (taken) return true;
  PyRef iterator = PyRef::steal(PyObject_GetIter(value));
  if (!iterator) {
    PyErr_Clear();  // not iterable: one datetime or number, or what to_instant refuses
    return read_moment(state, value, 0, jds);
  }
  // Items are taken as they come: a claimed length is never trusted.
  for (size_t index = 0;; ++index) {
    PyRef item = PyRef::steal(PyIter_Next(iterator.get()));
    if (!item) return !PyErr_Occurred();
    if (!read_moment(state, item.get(), index, jds)) return false;
  }
}

// Bodies by name or NAIF code, and the list of them as the result shows it.
bool read_bodies(PyObject* value, std::vector<PositionBody>* bodies, PyRef* shown) {
  PyRef items;
  if (value == nullptr || value == Py_None) {
    items = PyRef::steal(PyList_New(0));
    if (!items) return false;
    for (std::string_view name : chart_body_names()) {
      PyRef text = PyRef::steal(
          PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
      if (!text || PyList_Append(items.get(), text.get()) < 0) return false;
    }
  } else if (PyUnicode_Check(value) || PyLong_Check(value) ||
             (PyIndex_Check(value) && !PySequence_Check(value))) {
    items = PyRef::steal(PyList_New(0));
    if (!items || PyList_Append(items.get(), value) < 0) return false;
  } else {
    items = PyRef::steal(PySequence_List(value));
    if (!items) return false;
  }
  const Py_ssize_t count = PyList_Size(items.get());
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* item = PyList_GetItem(items.get(), i);
    if (PyUnicode_Check(item)) {
      auto name = to_text(item);
      if (!name) return false;
      auto body = position_body(*name);
      if (!body) {
        PyErr_Format(PyExc_ValueError, "unknown body: %R", item);
        return false;
      }
      bodies->push_back(*body);
    } else if (PyIndex_Check(item) && !PyBool_Check(item)) {
      PyRef index = PyRef::steal(PyNumber_Index(item));
      if (!index) return false;
      int overflow = 0;
      const long long code = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
      if (code == -1 && PyErr_Occurred()) return false;
      if (overflow || code < std::numeric_limits<int32_t>::min() ||
          code > std::numeric_limits<int32_t>::max()) {
        PyErr_Format(PyExc_ValueError, "NAIF code out of range: %R", item);
        return false;
      }
      bodies->push_back({PointKind::kernel_body, static_cast<int32_t>(code)});
    } else {
      PyErr_Format(PyExc_TypeError, "a body is a name or a NAIF code, not %.200s",
                   type_name(item).c_str());
      return false;
    }
  }
  *shown = std::move(items);
  return true;
}

bool read_choice(PyObject* value, const char* name, const char* const* choices, int count,
                 int* out) {
  if (value == nullptr) return true;
  std::string text;
  if (!arg_text(value, "positions", name, &text)) return false;
  std::string listed;
  for (int i = 0; i < count; ++i) {
    if (text == choices[i]) {
      *out = i;
      return true;
    }
    listed += (i ? ", '" : "'") + std::string(choices[i]) + "'";
  }
  PyErr_Format(PyExc_ValueError, "positions() argument '%s' must be one of %s, not %R", name,
               listed.c_str(), value);
  return false;
}

bool read_site(PyObject* latitude, PyObject* longitude, PyObject* height, GeodeticSite* site) {
  if (!read_latitude(latitude, "positions", &site->latitude) ||
      !read_longitude(longitude, "positions", &site->longitude)) {
    return false;
  }
  if (height && !arg_finite_double(height, "positions", "height", &site->height)) return false;
  // From the deepest mine to the edge of space: far outside it the observer
  // is no longer on the Earth the site describes (at -6,357 km, its centre).
  if (site->height < -12'000.0 || site->height > 100'000.0) {
    PyErr_Format(PyExc_ValueError,
                 "positions() argument 'height' must be from -12000 to 100000 metres, not %R",
                 height);
    return false;
  }
  return true;
}

bool put(PyObject* dict, const char* key, PyObject* value) {
  PyRef owned = PyRef::steal(value);
  return owned && PyDict_SetItemString(dict, key, owned.get()) == 0;
}

PyObject* columns_dict(const PositionColumns& c, const std::vector<double>& jds, PyObject* bodies,
                       const char* zodiac) {
  PyRef numpy = PyRef::steal(PyImport_ImportModule("numpy"));
  if (!numpy) return nullptr;
  PyRef out = PyRef::steal(PyDict_New());
  if (!out) return nullptr;
  const auto rows = static_cast<Py_ssize_t>(c.moments);
  const auto columns = static_cast<Py_ssize_t>(c.bodies);
  const std::pair<const char*, const std::vector<double>*> per_body[] = {
      {"longitude", &c.longitude},
      {"latitude", &c.latitude},
      {"distance", &c.distance},
      {"longitude_speed", &c.longitude_speed},
      {"latitude_speed", &c.latitude_speed},
      {"distance_speed", &c.distance_speed},
      {"right_ascension", &c.right_ascension},
      {"declination", &c.declination},
      {"right_ascension_speed", &c.right_ascension_speed},
      {"declination_speed", &c.declination_speed},
  };
  const bool ok = put(out.get(), "jd", new_array(numpy.get(), jds, rows, -1)) &&
                  PyDict_SetItemString(out.get(), "bodies", bodies) == 0 &&
                  put(out.get(), "zodiac_type", PyUnicode_FromString(zodiac)) &&
                  put(out.get(), "ayanamsa", new_array(numpy.get(), c.ayanamsa, rows, -1)) &&
                  put(out.get(), "obliquity", new_array(numpy.get(), c.obliquity, rows, -1)) &&
                  put(out.get(), "sidereal_time",
                      new_array(numpy.get(), c.sidereal_time, rows, -1));
  if (!ok) return nullptr;
  for (const auto& [key, data] : per_body) {
    if (!put(out.get(), key, new_array(numpy.get(), *data, rows, columns))) return nullptr;
  }
  return out.release();
}

// The engine's error, led by the moment of the batch that failed.
PyObject* raise_failure(ModuleState* state, const PositionsFailure& failure,
                        const std::vector<double>& jds) {
  raise_engine_error(state, failure.error);
  if (!failure.moment) return nullptr;
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyRef owned_type = PyRef::steal(type), owned_value = PyRef::steal(value),
        owned_traceback = PyRef::steal(traceback);
  PyRef jd = PyRef::steal(PyFloat_FromDouble(jds[*failure.moment]));
  if (!jd) return nullptr;
  PyErr_Format(type, "moments[%zu] (UT JD %R): %S", *failure.moment, jd.get(),
               value ? value : Py_None);
  return nullptr;
}

PyObject* engine_positions(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* names[] = {"moments",   "bodies",   "zodiac_type", "ayanamsa",
                                "center",    "latitude", "longitude",   "height",
                                "correction", "threads",  nullptr};
  PyObject *moments = nullptr, *bodies = nullptr, *zodiac = nullptr, *ayanamsa_code = nullptr,
           *center = nullptr, *latitude = nullptr, *longitude = nullptr, *height = nullptr,
           *correction = nullptr, *threads_arg = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|O$OOOOOOOO:positions",
                                   const_cast<char**>(names), &moments, &bodies, &zodiac,
                                   &ayanamsa_code, &center, &latitude, &longitude, &height,
                                   &correction, &threads_arg)) {
    return nullptr;
  }
  long long asked_threads = 0;  // 0: the engine's choice
  if (threads_arg && threads_arg != Py_None) {
    if (!arg_int(threads_arg, "positions", "threads", &asked_threads)) return nullptr;
    if (asked_threads < 1 || asked_threads > kMaxThreads) {
      PyErr_Format(PyExc_ValueError,
                   "positions() argument 'threads' must be from 1 to %lld, or None, not %R",
                   kMaxThreads, threads_arg);
      return nullptr;
    }
  }

  PositionsRequest request;
  std::string zodiac_text = "tropical";
  request.ayanamsa = "galcent_0sag";
  if ((zodiac && !arg_text(zodiac, "positions", "zodiac_type", &zodiac_text)) ||
      (ayanamsa_code && !arg_text(ayanamsa_code, "positions", "ayanamsa", &request.ayanamsa))) {
    return nullptr;
  }
  if (!warn_option_note(engine_state(self), zodiac_type_note(zodiac_text)) ||
      !warn_option_note(engine_state(self), ayanamsa_note(request.ayanamsa))) {
    return nullptr;
  }
  request.sidereal = zodiac_type_from_text(zodiac_text) == ZodiacType::Sidereal;

  static const char* const centres[] = {"geocentric", "topocentric", "heliocentric"};
  static const char* const corrections[] = {"apparent", "astrometric", "geometric"};
  const bool placed = latitude != nullptr || longitude != nullptr;
  int centre = 0, light = 0;
  if (!read_choice(center, "center", centres, 3, &centre) ||
      !read_choice(correction, "correction", corrections, 3, &light)) {
    return nullptr;
  }
  request.centre = static_cast<PositionCentre>(centre);
  request.correction = static_cast<PositionCorrection>(light);
  if (request.centre == PositionCentre::topocentric) {
    if (!latitude || !longitude) {
      PyErr_SetString(PyExc_ValueError,
                      "positions() needs 'latitude' and 'longitude' for a topocentric center");
      return nullptr;
    }
    if (!read_site(latitude, longitude, height, &request.site)) return nullptr;
  } else if (placed || height) {
    PyErr_SetString(PyExc_ValueError,
                    "positions() takes 'latitude', 'longitude' and 'height' only with "
                    "center='topocentric'");
    return nullptr;
  }

  PyRef shown;
  try {
    if (!read_moments(engine_state(self), moments, &request.jds)) return nullptr;
    if (!read_bodies(bodies, &request.bodies, &shown)) return nullptr;
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  }

  const size_t cells = request.jds.size() * request.bodies.size();
  if (!request.bodies.empty() && cells / request.bodies.size() != request.jds.size()) {
    return PyErr_NoMemory();
  }
  if (cells > kMaxPositionCells) {
    PyErr_Format(PyExc_ValueError,
                 "positions() would compute %zu body-moments, more than the %zu one call may "
                 "ask for; split the moments into batches",
                 cells, kMaxPositionCells);
    return nullptr;
  }

  const KernelSet& kernels = engine_kernels(self);
  // The same change checks as every other Engine call: a batch during which
  // a kernel file changed is refused rather than handed back. The batch is
  // computed in spans, with Ctrl-C looked for between them.
  using Outcome = Expected<PositionColumns, PositionsFailure>;
  const auto failed = [](EngineError error) {
    return Outcome(unexpected(PositionsFailure{std::nullopt, std::move(error)}));
  };
  std::optional<uint64_t> before;
  std::vector<size_t> order;
  auto started = without_lock([&]() -> std::optional<PositionsFailure> {
    auto generation = kernels.generation();
    if (!generation) return PositionsFailure{std::nullopt, std::move(generation).error()};
    before = *generation;
    return check_positions_request(kernels, request);
  });
  if (!started) return nullptr;
  if (*started) return raise_failure(engine_state(self), **started, request.jds);
  // The order and the columns, with Ctrl-C looked for between steps.
  PositionsPreparation preparation(request);
  for (;;) {
    auto prepared = without_lock([&] { return preparation.step(); });
    if (!prepared) return nullptr;
    if (*prepared) break;
    if (PyErr_CheckSignals() < 0) return nullptr;
  }
  order = preparation.take_order();
  Outcome result = preparation.take_columns();
  const size_t n = request.jds.size();
  const unsigned threads = asked_threads ? static_cast<unsigned>(asked_threads)
                                         : default_position_threads(cells);
  std::optional<PositionsWork> work;
  if (result && threads > 1 && n > 1) {
    try {
      work.emplace(kernels, request, order, &*result, threads);
    } catch (const std::exception&) {
      // No thread could start: the batch is filled on this one below.
    }
  }
  if (work) {
    // The threads stop at their next run once Ctrl-C is seen here, and are
    // joined when `work` goes.
    for (;;) {
      auto finished = without_lock([&] { return work->wait_for(kSignalLook); });
      if (finished && *finished) break;
      if (!finished || PyErr_CheckSignals() < 0) return nullptr;
    }
    if (work->out_of_memory()) return PyErr_NoMemory();
    if (work->failure()) result = unexpected(*work->failure());
  }
  // On this thread: spans of the order, the earliest failure (by index)
  // kept until all are filled.
  const size_t span = std::max<size_t>(1, kCellsPerSpan / std::max<size_t>(1, request.bodies.size()));
  std::optional<PositionsFailure> earliest;
  std::atomic<size_t> skip_from = n;
  for (size_t first = 0; !work && result && first < n; first += span) {
    if (first > 0 && PyErr_CheckSignals() < 0) return nullptr;
    const std::span<const size_t> moments(order.data() + first, std::min(n, first + span) - first);
    auto filled =
        without_lock([&] { return fill_positions_in_order(kernels, request, moments, &skip_from, &*result); });
    if (!filled) return nullptr;
    if (*filled && (!earliest || *(*filled)->moment < *earliest->moment)) earliest = std::move(*filled);
  }
  if (earliest) result = unexpected(std::move(*earliest));
  if (result) {
    auto after = without_lock([&] { return kernels.generation(); });
    if (!after) return nullptr;
    if (!*after) {
      result = failed(std::move(*after).error());
    } else if (**after != *before) {
      result = failed(EngineError::spk(
          SpkError::io("a kernel file changed on disk during the computation")));
    }
  }
  if (!result) return raise_failure(engine_state(self), result.error(), request.jds);
  return columns_dict(result.value(), request.jds, shown.get(),
                      request.sidereal ? "sidereal" : "tropical");
}

}  // namespace

PyMethodDef engine_positions_method = {
    "positions", with_keywords(engine_positions),
    METH_VARARGS | METH_KEYWORDS,
    "positions($self, moments, bodies=None, *, zodiac_type=\"tropical\", "
    "ayanamsa=\"galcent_0sag\", center=\"geocentric\", latitude=None, longitude=None, "
    "height=0.0, correction=\"apparent\", threads=None)\n--\n\n"
    "Positions of bodies at one moment or many, as numpy columns (moments x bodies):\n"
    "ecliptic longitude, latitude, distance, right ascension and declination of date,\n"
    "with their speeds per day. The chart's longitudes and speeds, to the bit.\n\n"
    "`moments`: a moment, a UT Julian day, a sequence of either, or a float64 array of\n"
    "Julian days. `bodies`: names (the chart's fourteen by default, and \"True Node\",\n"
    "\"True South Node\", \"True Lilith\" for the osculating lunar node and apogee) or\n"
    "NAIF codes held by a loaded kernel (an asteroid kernel chains through the first\n"
    "planetary kernel). `center`: \"geocentric\", \"topocentric\" (with `latitude`,\n"
    "`longitude` and `height` in metres on WGS84, from -12000 to 100000) or\n"
    "\"heliocentric\" (light time from the Sun's centre; bodies of the kernels only: the\n"
    "nodes, Lilith and Chiron are refused there). `correction`: \"apparent\" (light time, deflection, aberration),\n"
    "\"astrometric\" (light time only) or \"geometric\". Speeds are the change over the\n"
    "following hour, per day; the mean node, Lilith and Chiron keep the chart's speeds.\n"
    "Chiron outside its table (1849 to 2150) is NaN. A moment no kernel covers raises\n"
    "EphemerisRangeError naming its index in `moments`. One call computes at most\n"
    "10,000,000 body-moments (ValueError beyond) and looks for Ctrl-C as it goes.\n"
    "`threads`: native threads sharing a batch (the same numbers whatever the count);\n"
    "None uses every core for batches of 20,000 body-moments or more and one thread\n"
    "below; 1 keeps the work on the calling thread (for callers that parallelise)."};

}  // namespace quorvane::py
