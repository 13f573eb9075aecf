// Lilly's qualities of the zodiacal degrees: masculine or feminine; light,
// dark, smoky or void; pitted, azimene and degrees of increasing fortune.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"

namespace quorvane {

inline constexpr std::string_view kMasculine = "masculine";
inline constexpr std::string_view kFeminine = "feminine";
inline constexpr std::string_view kLight = "light";
inline constexpr std::string_view kDark = "dark";
inline constexpr std::string_view kSmoky = "smoky";
inline constexpr std::string_view kVoid = "void";

// One run of a quality over the degrees after the previous run's end up to
// `end` (degrees are numbered 1 to 30 within a sign).
struct DegreeRun {
  std::string_view quality;
  uint8_t end = 0;
};

// Seven is the most any sign needs for any list.
inline constexpr std::size_t kDegreeListCapacity = 7;

// One sign's row. Lists are stored in fixed arrays whose unused tail holds
// zero ends / zero degrees; the accessors return only the used part.
struct SignDegrees {
  std::string_view sign;
  std::array<DegreeRun, kDegreeListCapacity> gender_runs{};
  std::array<DegreeRun, kDegreeListCapacity> light_runs{};
  std::array<uint8_t, kDegreeListCapacity> pitted_degrees{};
  std::array<uint8_t, kDegreeListCapacity> azimene_degrees{};
  std::array<uint8_t, kDegreeListCapacity> fortune_degrees{};

  constexpr std::span<const DegreeRun> gender() const { return used(gender_runs); }
  constexpr std::span<const DegreeRun> light() const { return used(light_runs); }
  constexpr std::span<const uint8_t> pitted() const { return used(pitted_degrees); }
  constexpr std::span<const uint8_t> azimene() const { return used(azimene_degrees); }
  constexpr std::span<const uint8_t> fortune() const { return used(fortune_degrees); }

 private:
  static constexpr std::span<const DegreeRun> used(const std::array<DegreeRun, kDegreeListCapacity>& runs) {
    std::size_t n = 0;
    while (n < runs.size() && runs[n].end != 0) ++n;
    return {runs.data(), n};
  }
  static constexpr std::span<const uint8_t> used(const std::array<uint8_t, kDegreeListCapacity>& degrees) {
    std::size_t n = 0;
    while (n < degrees.size() && degrees[n] != 0) ++n;
    return {degrees.data(), n};
  }
};

// The answer for one longitude.
struct DegreeQualities {
  std::string_view sign;
  int64_t degree = 1;  // 1-30
  std::string_view gender;
  std::string_view light;
  bool pitted = false;
  bool azimene = false;
  bool fortune = false;
};

// The twelve rows, Aries first.
std::span<const SignDegrees, 12> degree_quality_table();

// The qualities of the degree a longitude (degrees, any range) falls in:
// 29.5° within a sign is its 30th degree, 0° its 1st. A non-finite
// longitude is read as 0° Aries.
DegreeQualities degree_qualities(double longitude);

void write(RecordWriter& out, const DegreeQualities& qualities);
void write(RecordWriter& out, const DegreeRun& run);
void write(RecordWriter& out, const SignDegrees& row);
// The whole table as a JSON array of twelve rows.
Json degree_quality_table_json();

}  // namespace quorvane
