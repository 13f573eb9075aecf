// numpy columns in and out of the bindings that work on batches.
#pragma once

#include <vector>

#include "pyref.hpp"

namespace quorvane::py {

// Whether a buffer holds native float64 items.
bool holds_float64(const Py_buffer& view);

// A new float64 array of `numpy` shaped (rows,) when `columns` < 0, else
// (rows, columns), filled from `data` in row order.
PyObject* new_array(PyObject* numpy, const std::vector<double>& data, Py_ssize_t rows,
                    Py_ssize_t columns);

}  // namespace quorvane::py
