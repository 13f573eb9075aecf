#include "quorvane/dignities.hpp"

#include "quorvane/zodiac.hpp"

namespace quorvane {

DignityScheme DignityScheme::from_code(std::string_view code) {
  const std::string normalized = normalize_option_text(code);
  if (normalized == "dorothean" || normalized == "dorotheus" || normalized == "egyptian") {
    return Dorothean;
  }
  return Lilly;
}

}  // namespace quorvane
