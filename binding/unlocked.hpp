// Running an engine computation with the interpreter lock released, and
// handing its record to Python.
#pragma once

#include <string>
#include <type_traits>
#include <utility>

#include "args.hpp"
#include "engine_object.hpp"
#include "errors.hpp"
#include "record_objects.hpp"
#include "without_lock.hpp"

namespace quorvane::py {

template <class T>
struct is_expected : std::false_type {};
template <class T, class E>
struct is_expected<Expected<T, E>> : std::true_type {};

template <class T>
struct record_of {
  using type = T;
};
template <class T, class E>
struct record_of<Expected<T, E>> {
  using type = T;
};

// The compact text of a record, as a Python str.
PyObject* text_object(ModuleState* state, const Expected<std::string, std::string>& text);

// Calls `compute` (giving a record, or Expected<Record, EngineError>)
// without the interpreter lock; then raises the error, or hands the record
// over in the asked form (the text is written without the lock too).
// `compute` must touch no Python object.
template <class Compute>
PyObject* run_unlocked(ModuleState* state, Compute&& compute,
                       ResultForm form = ResultForm::objects) {
  using Result = std::invoke_result_t<Compute&>;
  using Record = typename record_of<Result>::type;
  struct Done {
    std::optional<Record> record;
    std::optional<Expected<std::string, std::string>> text;
  };
  auto done = without_lock([&]() -> Expected<Done, EngineError> {
    Done out;
    if constexpr (is_expected<Result>::value) {
      auto result = compute();
      if (!result) return unexpected(std::move(result).error());
      out.record.emplace(std::move(result).value());
    } else {
      out.record.emplace(compute());
    }
    if (form == ResultForm::json_text) {
      out.text.emplace(compact_json(*out.record));
      out.record.reset();
    }
    return out;
  });
  if (!done) return nullptr;
  if (!*done) return raise_engine_error(state, done->error());
  Done& result = done->value();
  if (result.text) return text_object(state, *result.text);
  return to_python(state, *result.record);
}

// The same for an Engine method: the kernel files are checked for changes
// on disk before and after computing.
template <class Compute>
PyObject* compute_unlocked(PyObject* self, Compute&& compute,
                           ResultForm form = ResultForm::objects) {
  const KernelSet& kernels = engine_kernels(self);
  return run_unlocked(
      engine_state(self), [&] { return with_unchanged_files(kernels, compute); }, form);
}

}  // namespace quorvane::py
