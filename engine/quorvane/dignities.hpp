// Essential dignities: the two schemes of triplicity lords and bounds.
#pragma once

#include <string_view>

namespace quorvane {

class DignityScheme {
 public:
  enum Value { Lilly, Dorothean };
  constexpr DignityScheme(Value value) : value_(value) {}
  constexpr operator Value() const { return value_; }

  // "dorothean", "dorotheus" and "egyptian" (trimmed, any case) are
  // Dorothean; every other text is Lilly.
  static DignityScheme from_code(std::string_view code);
  // "lilly" or "dorothean", as charts show it.
  std::string_view name() const { return value_ == Dorothean ? "dorothean" : "lilly"; }

 private:
  Value value_;
};

}  // namespace quorvane
