// The bodies and points a chart shows: name, glyph, the NAIF code a kernel
// gives the body by (0 for points the engine computes), and whether it can
// move retrograde.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quorvane {

struct Body {
  std::string_view name;
  std::string_view glyph;
  int32_t naif_code;  // 0: not a kernel body
  bool can_retrograde;
};

// The ten kernel bodies first, in chart order (Mars to Pluto are system
// barycentres), then the computed points and the two angles.
inline constexpr std::array<Body, 16> kBodies{{
    {"Sun", "\u2609", 10, false},
    {"Moon", "\u263D", 301, false},
    {"Mercury", "\u263F", 199, true},
    {"Venus", "\u2640", 299, true},
    {"Mars", "\u2642", 4, true},
    {"Jupiter", "\u2643", 5, true},
    {"Saturn", "\u2644", 6, true},
    {"Uranus", "\u2645", 7, true},
    {"Neptune", "\u2646", 8, true},
    {"Pluto", "\u2647", 9, true},
    {"Chiron", "\u26B7", 0, true},
    {"Lilith", "\u26B8", 0, false},
    {"North Node", "\u260A", 0, true},
    {"South Node", "\u260B", 0, true},
    {"Ascendant", "ASC", 0, false},
    {"Midheaven", "MC", 0, false},
}};

// The bodies a chart takes from the kernels.
inline constexpr std::span<const Body> kKernelBodies{kBodies.data(), 10};

// The glyph of a body or point; empty for any other name.
constexpr std::string_view symbol_of(std::string_view name) {
  for (const Body& body : kBodies) {
    if (body.name == name) return body.glyph;
  }
  return {};
}

// The code of a kernel body by its exact name; none for any other name.
constexpr std::optional<int32_t> kernel_body_code(std::string_view name) {
  for (const Body& body : kKernelBodies) {
    if (body.name == name) return body.naif_code;
  }
  return std::nullopt;
}

}  // namespace quorvane
