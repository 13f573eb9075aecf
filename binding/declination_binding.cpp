// declination_aspects: out-of-bounds flags, parallels and contraparallels
// over the columns of Engine.positions.
#include <cstring>
#include <new>
#include <vector>

#include "args.hpp"
#include "columns.hpp"
#include "functions.hpp"
#include "quorvane/astronomy/declinations.hpp"

namespace quorvane::py {
namespace {

// About 0.5 GB of result dicts.
constexpr size_t kMaxDeclinationAspects = 1'000'000;

// A float64 array of the positions dict, copied in row order.
bool read_column(PyObject* positions, const char* key, std::vector<double>* out,
                 Py_ssize_t* rows, Py_ssize_t* columns) {
  PyObject* value = PyDict_Check(positions) ? PyDict_GetItemString(positions, key) : nullptr;
  if (!value) {
    PyErr_Format(PyExc_ValueError, "declination_aspects() needs the positions dict (no '%s')", key);
    return false;
  }
  Py_buffer view;
  if (PyObject_GetBuffer(value, &view, PyBUF_RECORDS_RO) < 0) return false;
  if (!holds_float64(view) || view.ndim < 1 || view.ndim > 2) {
    PyBuffer_Release(&view);
    PyErr_Format(PyExc_ValueError, "declination_aspects(): '%s' must be a float64 array", key);
    return false;
  }
  *rows = view.shape[0];
  *columns = view.ndim == 2 ? view.shape[1] : 1;
  const char* base = static_cast<const char*>(view.buf);
  for (Py_ssize_t i = 0; i < *rows; ++i) {
    for (Py_ssize_t j = 0; j < *columns; ++j) {
      double x;
      std::memcpy(&x, base + i * view.strides[0] + (view.ndim == 2 ? j * view.strides[1] : 0),
                  sizeof x);
      out->push_back(x);
    }
  }
  PyBuffer_Release(&view);
  return true;
}

struct DeclinationAspectsArguments {
  PyObject* positions = nullptr;
  PyObject* orb = nullptr;
  static constexpr int required = 1;
  static constexpr Parameter<DeclinationAspectsArguments> parameters[] = {
      {"positions", &DeclinationAspectsArguments::positions},
      {"orb", &DeclinationAspectsArguments::orb},
  };
};

PyObject* declination_aspects_function(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  DeclinationAspectsArguments given;
  if (!parse_arguments(args, kwargs, "declination_aspects", &given)) return nullptr;
  double orb = 1.0;
  if (given.orb && !arg_finite_double(given.orb, "declination_aspects", "orb", &orb)) {
    return nullptr;
  }
  // Declinations lie within 90 degrees of the equator: a wider orb only
  // multiplies the answer.
  if (orb < 0.0 || orb > 90.0) {
    PyErr_SetString(PyExc_ValueError,
                    "declination_aspects() argument 'orb' must be from 0 to 90 degrees");
    return nullptr;
  }
  std::vector<double> declination, obliquity;
  Py_ssize_t rows = 0, columns = 0, days = 0, one = 0;
  std::vector<DeclinationAspect> found;
  std::vector<bool> flags;
  try {
    if (!read_column(given.positions, "declination", &declination, &rows, &columns) ||
        !read_column(given.positions, "obliquity", &obliquity, &days, &one)) {
      return nullptr;
    }
    // Our own tuple of the names: the caller's list may be cleared by another
    // thread while the lock is released below.
    PyObject* listed = PyDict_GetItemString(given.positions, "bodies");
    PyRef bodies = PyRef::steal(listed && PyList_Check(listed) ? PyList_AsTuple(listed) : nullptr);
    if (listed && PyList_Check(listed) && !bodies) return nullptr;
    if (days != rows || !bodies || PyTuple_Size(bodies.get()) != columns) {
      PyErr_SetString(PyExc_ValueError,
                      "declination_aspects(): 'declination', 'obliquity' and 'bodies' disagree");
      return nullptr;
    }
    bool out_of_memory = false;
    Py_BEGIN_ALLOW_THREADS
    try {
      flags = out_of_bounds(declination, obliquity, static_cast<size_t>(columns));
      found = declination_aspects(declination, static_cast<size_t>(columns), orb,
                                  kMaxDeclinationAspects);
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
    Py_END_ALLOW_THREADS
    if (out_of_memory) return PyErr_NoMemory();
    if (found.size() > kMaxDeclinationAspects) {
      PyErr_Format(PyExc_ValueError,
                   "declination_aspects() would list more than %zu parallels and "
                   "contraparallels; lower the orb or pass fewer moments at a time",
                   kMaxDeclinationAspects);
      return nullptr;
    }

    PyRef numpy = PyRef::steal(PyImport_ImportModule("numpy"));
    if (!numpy) return nullptr;
    std::vector<double> as_numbers(flags.begin(), flags.end());
    PyRef numbers = PyRef::steal(new_array(numpy.get(), as_numbers, rows, columns));
    if (!numbers) return nullptr;
    PyRef bools = PyRef::steal(PyObject_CallMethod(numbers.get(), "astype", "s", "bool"));
    if (!bools) return nullptr;
    PyRef list = PyRef::steal(PyList_New(0));
    if (!list) return nullptr;
    for (const DeclinationAspect& a : found) {
      PyRef record = PyRef::steal(Py_BuildValue(
          "{s:n,s:O,s:O,s:s,s:d}", "moment", static_cast<Py_ssize_t>(a.moment), "first",
          PyTuple_GetItem(bodies.get(), static_cast<Py_ssize_t>(a.first)), "second",
          PyTuple_GetItem(bodies.get(), static_cast<Py_ssize_t>(a.second)),
          "aspect", a.contraparallel ? "contraparallel" : "parallel", "orb", a.orb));
      if (!record || PyList_Append(list.get(), record.get()) < 0) return nullptr;
    }
    return Py_BuildValue("{s:O,s:O}", "out_of_bounds", bools.get(), "aspects", list.get());
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  }
}

}  // namespace

PyMethodDef declination_aspects_method = {
    "declination_aspects",
    with_keywords(declination_aspects_function),
    METH_VARARGS | METH_KEYWORDS,
    "declination_aspects(positions, orb=1.0)\n--\n\n"
    "Out-of-bounds flags and the parallels and contraparallels within `orb` degrees\n"
    "between the bodies of each moment of an Engine.positions result. The orb is from 0\n"
    "to 90 degrees; an answer of more than 1,000,000 aspects is refused (ValueError).\n"
    "The result names the bodies as they stood when the call began."};

}  // namespace quorvane::py
