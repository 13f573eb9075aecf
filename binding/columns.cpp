#include "columns.hpp"

#include <cstring>

namespace quorvane::py {

bool holds_float64(const Py_buffer& view) {
  return view.format && (std::strcmp(view.format, "d") == 0 ||
                         std::strcmp(view.format, "=d") == 0 ||
                         std::strcmp(view.format, "<d") == 0);
}

// A numpy array of the given shape filled from `data`.
PyObject* new_array(PyObject* numpy, const std::vector<double>& data, Py_ssize_t rows,
                    Py_ssize_t columns) {
  PyRef shape = PyRef::steal(columns < 0 ? Py_BuildValue("(n)", rows)
                                         : Py_BuildValue("(nn)", rows, columns));
  if (!shape) return nullptr;
  PyRef array = PyRef::steal(PyObject_CallMethod(numpy, "empty", "(O)", shape.get()));
  if (!array) return nullptr;
  Py_buffer view;
  if (PyObject_GetBuffer(array.get(), &view, PyBUF_WRITABLE | PyBUF_C_CONTIGUOUS) < 0) {
    return nullptr;
  }
  if (static_cast<size_t>(view.len) == data.size() * sizeof(double) && !data.empty()) {
    std::memcpy(view.buf, data.data(), static_cast<size_t>(view.len));
  }
  PyBuffer_Release(&view);
  return array.release();
}

}  // namespace quorvane::py
