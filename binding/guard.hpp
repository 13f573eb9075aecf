// One guard around every function and method of the module: a C++
// allocation that fails anywhere in a call becomes MemoryError instead of
// ending the process. Work done without the interpreter lock catches its
// own (without_lock.hpp): nothing may leave that region by an exception.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <new>
#include <stdexcept>
#include <utility>

#include "pyref.hpp"

namespace quorvane::py {

template <class Call>
PyObject* guarded(Call&& call) noexcept {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::length_error&) {
    return PyErr_NoMemory();
  }
}

// Entry I of `List` (an array of PyMethodDef pointers), called inside the guard.
template <auto& List, size_t I>
PyObject* guarded_with_keywords(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    return reinterpret_cast<PyCFunctionWithKeywords>(
        reinterpret_cast<void (*)()>(List[I]->ml_meth))(self, args, kwargs);
  });
}
template <auto& List, size_t I>
PyObject* guarded_plain(PyObject* self, PyObject* arg) {
  return guarded([&] { return List[I]->ml_meth(self, arg); });
}

template <auto& List, size_t I>
PyMethodDef guarded_definition() {
  PyMethodDef definition = *List[I];
  if (definition.ml_flags & METH_KEYWORDS) {
    definition.ml_meth = reinterpret_cast<PyCFunction>(
        reinterpret_cast<void (*)()>(&guarded_with_keywords<List, I>));
  } else {  // METH_NOARGS and METH_O share the two-argument form
    definition.ml_meth = &guarded_plain<List, I>;
  }
  return definition;
}

// The definitions of `List`, in order, each calling its function inside
// the guard.
template <auto& List>
std::array<PyMethodDef, std::size(List)> guarded_definitions() {
  return []<size_t... I>(std::index_sequence<I...>) {
    return std::array<PyMethodDef, sizeof...(I)>{guarded_definition<List, I>()...};
  }(std::make_index_sequence<std::size(List)>());
}

}  // namespace quorvane::py
