#include "quorvane/jyotish/nakshatras.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/jyotish/dashas.hpp"

namespace quorvane::jyotish {

double reduced_degrees(double longitude) {
  double x = std::fmod(longitude, 360.0);
  if (x < 0.0) x += 360.0;
  return x >= 360.0 ? 0.0 : x;  // -1e-17 + 360 rounds to 360
}

NakshatraPlace nakshatra_of(double longitude) {
  const double x = reduced_degrees(longitude);
  // Multiply rather than divide by 13°20' so that the exact boundaries
  // k * 40/3 land on whole numbers wherever the double can say so.
  const double mansions = x * 27.0 / 360.0;
  const int index = std::clamp(static_cast<int>(std::floor(mansions)), 0, 26);
  const double passed = std::clamp(mansions - index, 0.0, std::nextafter(1.0, 0.0));
  NakshatraPlace place;
  place.index = static_cast<uint8_t>(index);
  place.pada = static_cast<uint8_t>(std::min(3, static_cast<int>(std::floor(passed * 4.0))) + 1);
  place.passed = passed;
  place.name = kNakshatraNames[static_cast<size_t>(index)];
  place.lord = kVimshottari[static_cast<size_t>(index % 9)].lord;
  return place;
}

}  // namespace quorvane::jyotish
