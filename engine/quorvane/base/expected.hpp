// A value or an error, returned by every engine operation that can fail.
// The engine never throws across its boundary; callers inspect the result.
#pragma once

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

namespace quorvane {

template <class E>
struct Unexpected {
  E error;
};

template <class E>
Unexpected<std::decay_t<E>> unexpected(E&& error) {
  return Unexpected<std::decay_t<E>>{std::forward<E>(error)};
}

template <class T, class E>
class [[nodiscard]] Expected {
 public:
  using value_type = T;
  using error_type = E;

  Expected(const T& value) : storage_(std::in_place_index<0>, value) {}
  Expected(T&& value) : storage_(std::in_place_index<0>, std::move(value)) {}
  template <class G>
    requires std::is_constructible_v<E, G>
  Expected(Unexpected<G> failure) : storage_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool has_value() const noexcept { return storage_.index() == 0; }
  explicit operator bool() const noexcept { return has_value(); }

  T& value() & { assert(has_value()); return std::get<0>(storage_); }
  const T& value() const& { assert(has_value()); return std::get<0>(storage_); }
  T&& value() && { assert(has_value()); return std::get<0>(std::move(storage_)); }
  E& error() & { assert(!has_value()); return std::get<1>(storage_); }
  const E& error() const& { assert(!has_value()); return std::get<1>(storage_); }
  E&& error() && { assert(!has_value()); return std::get<1>(std::move(storage_)); }

  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

 private:
  std::variant<T, E> storage_;
};

// Success without a value.
struct Ok {};

}  // namespace quorvane
