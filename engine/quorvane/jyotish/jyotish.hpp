// The Jyotish chart of a birth: the sidereal rasi chart of the nine grahas
// and the lagna with nakshatras, dignities and houses, the sixteen
// divisional charts, the Vimshottari, Yogini and Ashtottari dashas, the
// ashtakavarga and the panchanga.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/jyotish/ashtakavarga.hpp"
#include "quorvane/jyotish/dashas.hpp"
#include "quorvane/jyotish/dignity.hpp"
#include "quorvane/jyotish/nakshatras.hpp"
#include "quorvane/jyotish/panchanga.hpp"
#include "quorvane/jyotish/vargas.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane::jyotish {

// Combustion: within these degrees of longitude from the Sun, Mercury and
// Venus closer when retrograde; as commonly tabulated after the Surya
// Siddhanta (chapter 9). The Sun and the nodes are never combust.
struct CombustionOrb {
  Graha graha;
  double direct = 0.0;
  double retrograde = 0.0;
};
inline constexpr std::array<CombustionOrb, 6> kCombustionOrbs{{
    {Moon, 12, 12}, {Mars, 17, 17}, {Mercury, 14, 12},
    {Jupiter, 11, 11}, {Venus, 10, 8}, {Saturn, 15, 15},
}};

struct JyotishRequest {
  UtcInstant moment;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
  std::string ayanamsa = "lahiri";
  std::string node = "mean";                // "mean" or "true"
  std::string dasha_year = "julian";        // see kDashaYears
  std::string house_division = "whole_sign";  // or "equal" (from the lagna's degree)
  std::string sunrise = "disc_centre";      // see kSunriseConventions
  int dasha_depth = 2;                      // levels of the full list (1-3), or of a span (1-5)
  std::optional<UtcInstant> dasha_at;       // the periods running then
  std::optional<UtcInstant> dasha_from;     // with dasha_to: only the periods of this span
  std::optional<UtcInstant> dasha_to;
};

struct JyotishPoint {
  std::string_view name;
  double longitude = 0.0;  // sidereal degrees
  uint8_t sign = 0;
  double degree = 0.0;     // in the sign
  uint8_t house = 1;
  NakshatraPlace nakshatra;
  double speed = 0.0;      // degrees a day
  bool retrograde = false;
  bool combust = false;
  std::string_view dignity;           // natural friendship
  std::string_view compound_dignity;  // panchadha friendship
};

// The condition under which Ashtottari is usually applied, reported and
// never enforced: Rahu in a kendra or trikona (not the first) from the
// lagna's lord, or birth by day in the dark fortnight or by night in the
// bright one.
struct AshtottariCondition {
  int rahu_from_lagna_lord = 1;  // house counted from the lagna lord's sign
  bool rahu_placed = false;
  bool paksha_and_time = false;
  bool applies() const { return rahu_placed || paksha_and_time; }
};

struct Jyotish {
  std::string_view ayanamsa;
  std::string_view ayanamsa_name;
  double ayanamsa_degrees = 0.0;
  std::string_view node;
  std::string_view house_division;
  DashaYear dasha_year;
  std::string moment;
  double julian_day = 0.0;
  JyotishPoint lagna;
  std::vector<JyotishPoint> bodies;
  std::array<std::array<uint8_t, 10>, 16> vargas{};  // [varga][lagna, then the nine grahas]
  std::vector<std::string_view> vargottama;
  std::array<DashaTable, 3> dashas;
  AshtottariCondition ashtottari_condition;
  Ashtakavarga ashtakavarga;
  Panchanga panchanga;
};

Expected<Jyotish, EngineError> jyotish(const KernelSet& kernels, const JyotishRequest& request);

void write(RecordWriter& out, const JyotishPoint& point);
void write(RecordWriter& out, const Jyotish& chart);

}  // namespace quorvane::jyotish
