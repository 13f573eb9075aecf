// The Engine class: an immutable set of loaded kernels.
#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "args.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "functions.hpp"
#include "guard.hpp"
#include "module_state.hpp"
#include "without_lock.hpp"
#include "quorvane/chart/chart.hpp"

namespace quorvane::py {
namespace {

// Engine methods, in the order `dir(Engine)` does not care about but
// readers do: append one line per method defined in another file.
PyMethodDef* const engine_method_list[] = {
    &engine_chart_method,
    &engine_supports_method,
    &engine_transit_method,
    &engine_reduce_method,
    &engine_horary_method,
    &engine_election_method,
    &engine_elections_method,
    &engine_positions_method,
    &engine_planet_return_method,
    &engine_returns_method,
    &engine_transit_timeline_method,
    &engine_progressions_method,
    &engine_solar_arc_directions_method,
    &engine_zodiacal_releasing_method,
    &engine_primary_directions_method,
    &engine_composite_method,
    &engine_davison_method,
    &engine_astrocartography_method,
    &engine_house_positions_method,
    &engine_events_method,
    &engine_prenatal_method,
    &engine_solar_eclipse_at_method,
    &engine_jyotish_method,
};

struct EngineObject {
  PyObject_HEAD
  std::shared_ptr<const KernelSet> kernels;  // constructed in place by engine_new
  PyObject* paths;  // tuple of the paths as given (str or bytes), for pickling
};

EngineObject* as_engine(PyObject* self) { return reinterpret_cast<EngineObject*>(self); }

PyObject* not_paths(PyObject* kernels) {
  PyErr_Format(PyExc_TypeError,
               "Engine() argument 'kernels' must be a sequence of paths, not %.200s",
               type_name(kernels).c_str());
  return nullptr;
}

// One path (a str or bytes from os.fspath) as the bytes the file system
// sees (str through the file-system encoding, so undecodable names survive).
std::optional<std::string> path_bytes(const PyRef& path) {
  PyRef bytes = PyUnicode_Check(path.get()) ? PyRef::steal(PyUnicode_EncodeFSDefault(path.get()))
                                            : path;
  if (!bytes) return std::nullopt;
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) < 0) return std::nullopt;
  return std::string(data, static_cast<size_t>(size));
}

PyObject* engine_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  PyObject* kernels = nullptr;
  if (!parse_argument(args, kwargs, "Engine", "kernels", &kernels)) return nullptr;
  // A str is a sequence too, of one-letter paths: refuse it outright.
  if (PyUnicode_Check(kernels) || !PySequence_Check(kernels)) return not_paths(kernels);
  // Items are checked as they come: a length (of range(10**9), or one a
  // class makes up) is never trusted for an allocation.
  PyRef iterator = PyRef::steal(PyObject_GetIter(kernels));
  if (!iterator) return nullptr;
  std::vector<std::string> paths;
  // Path-like objects are kept as os.fspath gives them, so a pickled engine
  // reopens the same files whatever the worker's path classes are.
  PyRef given = PyRef::steal(PyList_New(0));
  if (!given) return nullptr;
  while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
    PyRef fs_path = PyRef::steal(PyOS_FSPath(item.get()));
    if (!fs_path) return nullptr;
    auto path = path_bytes(fs_path);
    if (!path) return nullptr;
    paths.push_back(std::move(*path));
    if (PyList_Append(given.get(), fs_path.get()) < 0) return nullptr;
    if (PyErr_CheckSignals() < 0) return nullptr;
  }
  if (PyErr_Occurred()) return nullptr;
  PyRef given_paths = PyRef::steal(PyList_AsTuple(given.get()));
  if (!given_paths) return nullptr;

  auto loaded = without_lock([&]() -> Expected<std::shared_ptr<const KernelSet>, std::string> {
    auto set = KernelSet::load(paths);
    if (!set) return unexpected(std::move(set).error());
    return std::make_shared<const KernelSet>(std::move(*set));
  });
  if (!loaded) return nullptr;
  // Ctrl-C pressed while the files were opened stops the call here.
  if (PyErr_CheckSignals() < 0) return nullptr;
  if (!*loaded) return raise_engine_failure(state_of_type(type), loaded->error());

  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (!self) return nullptr;
  new (&as_engine(self)->kernels) std::shared_ptr<const KernelSet>(std::move(loaded->value()));
  as_engine(self)->paths = given_paths.release();
  return self;
}

PyObject* guarded_engine_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded([&] { return engine_new(type, args, kwargs); });
}

void engine_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  // Closes the kernel files unless a computation still shares the set.
  as_engine(self)->kernels.~shared_ptr();
  Py_XDECREF(as_engine(self)->paths);
  reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
  Py_DECREF(type);
}

PyObject* get_kernels(PyObject* self, void* /*closure*/) {
  const KernelSet& set = engine_kernels(self);
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(set.kernels().size())));
  if (!list) return nullptr;
  Py_ssize_t i = 0;
  for (const Kernel& kernel : set.kernels()) {
    PyRef entry = PyRef::steal(Py_BuildValue("(s#dd)", kernel.name().data(),
                                             static_cast<Py_ssize_t>(kernel.name().size()),
                                             kernel.start(), kernel.end()));
    if (!entry) return nullptr;
    if (PyList_SetItem(list.get(), i++, entry.release()) < 0) return nullptr;
  }
  return list.release();
}

PyObject* get_coverage(PyObject* self, void* /*closure*/) {
  auto coverage = engine_kernels(self).coverage();
  if (!coverage) Py_RETURN_NONE;
  return Py_BuildValue("(dd)", coverage->first, coverage->second);
}

PyGetSetDef engine_getset[] = {
    {"kernels", get_kernels, nullptr,
     "The loaded kernels in preference order, as (name, start, end) with Julian days.", nullptr},
    {"coverage", get_coverage, nullptr,
     "None without kernels, else (first, last): the earliest start and the latest end.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyObject* supports(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* value = nullptr;
  if (!parse_argument(args, kwargs, "supports", "jd", &value)) return nullptr;
  double jd = 0.0;
  if (!arg_double(value, "supports", "jd", &jd)) return nullptr;
  if (!std::isfinite(jd)) Py_RETURN_FALSE;
  const KernelSet& kernels = engine_kernels(self);
  std::optional<bool> castable = without_lock([&] { return can_cast_chart(kernels, jd); });
  if (!castable) return nullptr;
  return PyBool_FromLong(*castable);
}

// Pickling sends the paths, not the kernels: a worker process opens the
// files again, and a missing file fails there as the constructor would.
PyObject* reduce(PyObject* self, PyObject* /*unused*/) {
  return Py_BuildValue("(O(O))", reinterpret_cast<PyObject*>(Py_TYPE(self)),
                       as_engine(self)->paths);
}

const char engine_doc[] =
    "Engine(kernels)\n--\n\nChart calculator over a set of JPL kernels. It reads the kernels'\n"
    "records as calls need them and keeps them in memory (at most 256 MiB per file), shared\n"
    "by its calls and threads; a kernel file changed on disk is noticed by the next call,\n"
    "and the records kept from it are dropped.\n\n"
    "Engine([\"de440s.bsp\", \"de441_part-1.bsp\"]) loads the kernels in preference order:\n"
    "each date is computed with the first kernel that covers it.";

// The method table handed to the type: the list above, each method inside
// the guard, and the sentinel.
PyMethodDef* engine_methods() {
  static std::vector<PyMethodDef> table = [] {
    const auto methods = guarded_definitions<engine_method_list>();
    std::vector<PyMethodDef> out(methods.begin(), methods.end());
    out.push_back({nullptr, nullptr, 0, nullptr});
    return out;
  }();
  return table.data();
}

}  // namespace

PyMethodDef engine_supports_method = {
    "supports", with_keywords(supports),
    METH_VARARGS | METH_KEYWORDS,
    "supports($self, jd)\n--\n\nWhether a chart of this UT Julian date can be cast: a loaded kernel\n"
    "covers it and everything a chart reaches for around it (light time hours back, the\n"
    "hour after for the speeds)."};

PyMethodDef engine_reduce_method = {
    "__reduce__", reduce, METH_NOARGS,
    "__reduce__($self, /)\n--\n\nPickle support: the engine is rebuilt from its kernel paths."};

const KernelSet& engine_kernels(PyObject* self) { return *as_engine(self)->kernels; }

std::shared_ptr<const KernelSet> engine_kernels_shared(PyObject* self) {
  return as_engine(self)->kernels;
}

ModuleState* engine_state(PyObject* self) { return state_of_type(Py_TYPE(self)); }

int add_engine_type(PyObject* module) {
  ModuleState* state = state_of(module);
  PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(guarded_engine_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(engine_dealloc)},
      {Py_tp_doc, const_cast<char*>(engine_doc)},
      {Py_tp_methods, engine_methods()},
      {Py_tp_getset, engine_getset},
      {0, nullptr},
  };
  PyType_Spec spec = {
      "quorvane_engine.Engine",
      sizeof(EngineObject),
      0,
      Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
      slots,
  };
  PyObject* type = PyType_FromModuleAndSpec(module, &spec, nullptr);
  if (!type) return -1;
  state->engine_type = type;
  return PyModule_AddObjectRef(module, "Engine", type);
}

}  // namespace quorvane::py
