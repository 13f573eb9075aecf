// The engine-side error value. Operations return it instead of throwing;
// only the binding turns it into a Python exception.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "quorvane/base/spk_error.hpp"

namespace quorvane {

struct OutOfRange {
  double jd;  // UT Julian day asked for
  std::optional<std::pair<double, double>> coverage;
  // Why that day was needed, when the caller asked for another one.
  std::string reason;
};

struct SpkFailure {
  SpkError error;
};

struct InvalidInput {
  std::string message;
};

struct EngineError {
  std::variant<OutOfRange, SpkFailure, InvalidInput> kind;

  static EngineError out_of_range(double jd, std::optional<std::pair<double, double>> coverage) {
    return {OutOfRange{jd, coverage, {}}};
  }
  static EngineError spk(SpkError error) { return {SpkFailure{std::move(error)}}; }
  static EngineError invalid_input(std::string message) { return {InvalidInput{std::move(message)}}; }

  // The display text of the variant.
  std::string text() const;
};

// printf-style formatting into a std::string (the engine's fixed texts).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quorvane
