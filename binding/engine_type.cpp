// The Engine class: an immutable set of loaded kernels.
#include "functions.hpp"
#include "module_state.hpp"

namespace quorvane::py {
namespace {

struct EngineObject {
  PyObject_HEAD
};

PyObject* engine_new(PyTypeObject* /*type*/, PyObject* /*args*/, PyObject* /*kwargs*/) {
  PyErr_SetString(PyExc_NotImplementedError, "kernels are not readable yet");
  return nullptr;
}

void engine_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

const char engine_doc[] =
    "Engine(kernels)\n--\n\nChart calculator over a set of JPL kernels.\n\n"
    "Engine([\"de440s.bsp\", \"de441_part-1.bsp\"]) loads the kernels in preference order:\n"
    "each date is computed with the first kernel that covers it.";

PyType_Slot engine_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(engine_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(engine_dealloc)},
    {Py_tp_doc, const_cast<char*>(engine_doc)},
    {0, nullptr},
};

PyType_Spec engine_spec = {
    "quorvane_engine.Engine",
    sizeof(EngineObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    engine_slots,
};

}  // namespace

int add_engine_type(PyObject* module) {
  ModuleState* state = state_of(module);
  PyObject* type = PyType_FromModuleAndSpec(module, &engine_spec, nullptr);
  if (!type) return -1;
  state->engine_type = type;
  return PyModule_AddObjectRef(module, "Engine", type);
}

}  // namespace quorvane::py
