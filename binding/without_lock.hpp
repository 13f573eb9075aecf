// Running C++ work with the interpreter lock released.
#pragma once

#include <new>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "pyref.hpp"

namespace quorvane::py {

// Calls `work`, which must touch no Python object, without the interpreter
// lock. Its value; or none with MemoryError set when an allocation inside
// failed (caught here, while the lock is still released, since nothing may
// leave the unlocked region by an exception).
template <class Work>
std::optional<std::invoke_result_t<Work&>> without_lock(Work&& work) {
  std::optional<std::invoke_result_t<Work&>> result;
  bool out_of_memory = false;
  Py_BEGIN_ALLOW_THREADS
  try {
    result.emplace(work());
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  } catch (const std::length_error&) {
    out_of_memory = true;
  }
  Py_END_ALLOW_THREADS
  if (out_of_memory) PyErr_NoMemory();
  return result;
}

}  // namespace quorvane::py
