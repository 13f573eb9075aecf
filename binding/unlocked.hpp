// Running an engine computation with the interpreter lock released.
#pragma once

#include <string>
#include <type_traits>
#include <utility>

#include "convert.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "without_lock.hpp"
#include "quorvane/record_writer.hpp"

namespace quorvane::py {

template <class T>
struct is_expected : std::false_type {};
template <class T, class E>
struct is_expected<Expected<T, E>> : std::true_type {};

// A record's compact JSON text (a Json result is written as it is).
template <class Record>
Expected<std::string, std::string> record_text(const Record& record) {
  return compact_json(record);
}
inline Expected<std::string, std::string> record_text(const Json& record) {
  return to_compact_json(record);
}

// Calls `compute` (giving a record, or Expected<Record, EngineError>) and
// writes the record's JSON, both without the interpreter lock; then raises
// the error or hands the text to Python as a dict. `compute` must touch no
// Python object.
template <class Compute>
PyObject* run_unlocked(ModuleState* state, Compute&& compute) {
  using Result = std::invoke_result_t<Compute&>;
  auto done = without_lock([&]() -> Expected<Expected<std::string, std::string>, EngineError> {
    if constexpr (is_expected<Result>::value) {
      auto result = compute();
      if (!result) return unexpected(std::move(result).error());
      return record_text(result.value());
    } else {
      return record_text(compute());
    }
  });
  if (!done) return nullptr;
  if (!*done) return raise_engine_error(state, done->error());
  const auto& text = done->value();
  if (!text) return raise_engine_failure(state, text.error());
  return hand_off_text(*text);
}

// The same for an Engine method: the kernel files are checked for changes
// on disk before and after computing.
template <class Compute>
PyObject* compute_unlocked(PyObject* self, Compute&& compute) {
  const KernelSet& kernels = engine_kernels(self);
  return run_unlocked(engine_state(self), [&] { return with_unchanged_files(kernels, compute); });
}

}  // namespace quorvane::py
