// Running an engine computation with the interpreter lock released.
#pragma once

#include <optional>
#include <type_traits>

#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"

namespace quorvane::py {

// Calls `compute` (giving Expected<Record, EngineError>) without the
// interpreter lock, then raises its error or hands the record to Python
// as a dict. `compute` must touch no Python object.
template <class Compute>
PyObject* compute_unlocked(PyObject* self, Compute&& compute) {
  std::optional<std::invoke_result_t<Compute&>> result;
  Py_BEGIN_ALLOW_THREADS
  result.emplace(compute());
  Py_END_ALLOW_THREADS
  ModuleState* state = engine_state(self);
  if (!*result) return raise_engine_error(state, result->error());
  return hand_off(state, to_json(result->value()));
}

}  // namespace quorvane::py
