// Errors of the SPK kernel reader, with their display texts.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace quorvane {

struct SpkIo { std::string message; };                 // "SPK I/O error: {}"
struct SpkMalformed { std::string message; };          // "malformed SPK file: {}"
struct SpkUnsupportedType { int32_t data_type; };      // "unsupported SPK segment type {}"
struct SpkNotCovered { int32_t target; int32_t center; double et; };
struct SpkNoSegment { int32_t target; int32_t center; };

struct SpkError {
  std::variant<SpkIo, SpkMalformed, SpkUnsupportedType, SpkNotCovered, SpkNoSegment> kind;

  static SpkError io(std::string message) { return {SpkIo{std::move(message)}}; }
  static SpkError malformed(std::string message) { return {SpkMalformed{std::move(message)}}; }
  static SpkError unsupported_type(int32_t t) { return {SpkUnsupportedType{t}}; }
  static SpkError not_covered(int32_t target, int32_t center, double et) {
    return {SpkNotCovered{target, center, et}};
  }
  static SpkError no_segment(int32_t target, int32_t center) { return {SpkNoSegment{target, center}}; }

  std::string text() const;
};

}  // namespace quorvane
