#include "quorvane/base/error.hpp"

#include <cstdarg>
#include <cstdio>

namespace quorvane {

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int size = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  va_end(args);
  return out;
}

std::string SpkError::text() const {
  struct Visitor {
    std::string operator()(const SpkIo& e) const { return "SPK I/O error: " + e.message; }
    std::string operator()(const SpkMalformed& e) const { return "malformed SPK file: " + e.message; }
    std::string operator()(const SpkUnsupportedType& e) const {
      return format("unsupported SPK segment type %d", e.data_type);
    }
    std::string operator()(const SpkNotCovered& e) const {
      return format("no SPK segment for %d -> %d covers ET %.1f s", e.center, e.target, e.et);
    }
    std::string operator()(const SpkNoSegment& e) const {
      return format("kernel has no segment for %d -> %d", e.center, e.target);
    }
  };
  return std::visit(Visitor{}, kind);
}

namespace {

// Six decimals (a tenth of a second) with the trailing zeros dropped: days
// a few seconds apart print apart, whole days stay short ("2451545.0").
std::string julian_day_text(double jd) {
  std::string text = format("%.6f", jd);
  const size_t dot = text.find('.');
  if (dot == std::string::npos) return text;
  size_t last = text.find_last_not_of('0');
  if (last == dot) ++last;
  text.erase(last + 1);
  return text;
}

}  // namespace

std::string EngineError::text() const {
  struct Visitor {
    std::string operator()(const OutOfRange& e) const {
      if (e.coverage) {
        return "JD " + julian_day_text(e.jd) + " is outside the loaded ephemeris coverage (JD " +
               julian_day_text(e.coverage->first) + " to " + julian_day_text(e.coverage->second) +
               ")" + (e.reason.empty() ? "" : ": " + e.reason);
      }
      return "JD " + julian_day_text(e.jd) + " cannot be computed: no ephemeris loaded";
    }
    std::string operator()(const SpkFailure& e) const { return e.error.text(); }
    std::string operator()(const InvalidInput& e) const { return "invalid input: " + e.message; }
  };
  return std::visit(Visitor{}, kind);
}

}  // namespace quorvane
