// The house systems after Whole Sign, each checked by its defining
// property in horizontal and equatorial coordinates worked out by the
// classical spherical-trigonometry formulas, apart from the plane
// intersections the engine uses.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace {

using namespace quorvane;

constexpr double kRad = std::numbers::pi / 180.0;
constexpr double kDeg = 180.0 / std::numbers::pi;

double diff(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d <= -180.0) d += 360.0;
  return d;
}

struct Sky {
  double ramc, phi, eps;

  double ra(double lambda) const {
    return std::atan2(std::sin(lambda * kRad) * std::cos(eps * kRad), std::cos(lambda * kRad)) * kDeg;
  }
  double dec(double lambda) const { return std::asin(std::sin(lambda * kRad) * std::sin(eps * kRad)) * kDeg; }
  // Altitude and azimuth (from north through east) of hour angle h, declination d.
  std::pair<double, double> horizontal(double h, double d) const {
    const double H = h * kRad, D = d * kRad, P = phi * kRad;
    const double alt = std::asin(std::sin(P) * std::sin(D) + std::cos(P) * std::cos(D) * std::cos(H));
    const double az = std::atan2(-std::sin(H) * std::cos(D),
                                 std::cos(P) * std::sin(D) - std::sin(P) * std::cos(D) * std::cos(H));
    return {alt * kDeg, normalize_degrees(az * kDeg)};
  }
  std::pair<double, double> horizontal_of(double lambda) const {
    return horizontal(ramc - ra(lambda), dec(lambda));
  }
  // Right ascension of altitude a, azimuth z.
  double ra_of_horizontal(double a, double z) const {
    const double A = a * kRad, Z = z * kRad, P = phi * kRad;
    const double h = std::atan2(-std::sin(Z) * std::cos(A),
                                std::cos(P) * std::sin(A) - std::sin(P) * std::cos(A) * std::cos(Z));
    return ramc - h * kDeg;
  }
  // The tilt of the great circle through the horizon's north and south
  // points and a point of the eastern half.
  double tilt(double alt, double az) const {
    return std::atan2(std::sin(alt * kRad), std::cos(alt * kRad) * std::sin(az * kRad)) * kDeg;
  }
  HouseResult cast(HouseSystem s, double sun_dec = kNoSun) const {
    return houses_at_ramc(s, ramc, phi, eps, sun_dec);
  }
  std::string label() const {
    return "ramc " + std::to_string(ramc) + " lat " + std::to_string(phi) + " eps " + std::to_string(eps);
  }
};

std::vector<Sky> skies(int count) {
  std::mt19937_64 rng(37);
  std::uniform_real_distribution<double> ramc(0.0, 360.0), lat(-66.0, 66.0), eps(22.0, 24.5);
  std::vector<Sky> out;
  for (int i = 0; i < count; ++i) out.push_back({ramc(rng), lat(rng), eps(rng)});
  return out;
}

TEST(HouseSystemsMore, EquatorDivisionsAlongHourCircles) {
  for (const Sky& k : skies(3000)) {
    const HouseResult x = k.cast(HouseSystem::Meridian), f = k.cast(HouseSystem::Carter);
    const double start = k.ra(f.ascendant);
    for (int h = 1; h <= 12; ++h) {
      EXPECT_NEAR(diff(k.ra(x.cusps[h - 1]), k.ramc + 30.0 * (h - 10)), 0.0, 1e-9) << h << k.label();
      EXPECT_NEAR(diff(k.ra(f.cusps[h - 1]), start + 30.0 * (h - 1)), 0.0, 1e-9) << h << k.label();
    }
  }
}

// Vertical circles at 30-degree steps of azimuth from the East point,
// cusps 11 and 12 toward the side of the horizon under the Midheaven.
TEST(HouseSystemsMore, HorizontalCuspsAtEqualAzimuths) {
  for (const Sky& k : skies(3000)) {
    const HouseResult r = k.cast(HouseSystem::Horizontal);
    const double toward = std::cos(k.horizontal_of(r.midheaven).second * kRad) > 0.0 ? -1.0 : 1.0;
    for (int h = 1; h <= 12; ++h) {
      const auto [alt, az] = k.horizontal_of(r.cusps[h - 1]);
      if (std::fabs(alt) > 89.99) continue;  // azimuth undefined at the zenith
      const double expected = 90.0 + toward * 30.0 * (13 - h);
      EXPECT_NEAR(diff(az, expected), 0.0, 1e-7) << h << k.label();
    }
    EXPECT_EQ(r.cusps[9], r.midheaven);
  }
}

// The circle through the Ascendant and the zenith is the Ascendant's
// vertical circle: the points at 30-degree steps of altitude along it,
// carried to the ecliptic along meridians.
TEST(HouseSystemsMore, KrusinskiCuspsShareRightAscensionWithTheAscendantsVertical) {
  for (const Sky& k : skies(3000)) {
    const HouseResult r = k.cast(HouseSystem::Krusinski);
    const double az = k.horizontal_of(r.ascendant).second;
    for (const auto& [house, altitude] : std::initializer_list<std::pair<int, double>>{
             {12, 30.0}, {11, 60.0}, {2, -30.0}, {3, -60.0}}) {
      EXPECT_NEAR(diff(k.ra(r.cusps[house - 1]), k.ra_of_horizontal(altitude, az)), 0.0, 1e-8)
          << house << k.label();
    }
    EXPECT_EQ(r.cusps[0], r.ascendant);
    EXPECT_EQ(r.cusps[9], r.midheaven);
  }
}

// APC (the Ascendant's parallel) and Sunshine (the Sun's): cusps 11, 12, 2
// and 3 lie on the circles through the horizon's north and south points
// and the points dividing the parallel's semi-arcs in three.
TEST(HouseSystemsMore, ParallelCircleSystemsDivideTheSemiArcs) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (const Sky& k : skies(3000)) {
    const double sun = unit(rng) * k.eps;
    const HouseResult apc = k.cast(HouseSystem::Apc), shine = k.cast(HouseSystem::Sunshine, sun);
    for (const auto& [r, dec] : {std::pair{apc, k.dec(apc.ascendant)}, std::pair{shine, sun}}) {
      const double dsa = std::acos(-std::tan(k.phi * kRad) * std::tan(dec * kRad)) * kDeg;
      const double nsa = 180.0 - dsa;
      for (const auto& [house, h] : std::initializer_list<std::pair<int, double>>{
               {11, -dsa / 3}, {12, -2 * dsa / 3}, {2, -dsa - nsa / 3}, {3, -dsa - 2 * nsa / 3}}) {
        const auto [alt, az] = k.horizontal(h, dec);
        const auto [calt, caz] = k.horizontal_of(r.cusps[house - 1]);
        EXPECT_GT(std::sin(caz * kRad), 0.0) << house << k.label();
        EXPECT_NEAR(k.tilt(calt, caz), k.tilt(alt, az), 1e-7) << house << k.label();
      }
      EXPECT_EQ(r.cusps[0], r.ascendant);
      EXPECT_EQ(r.cusps[9], r.midheaven);
    }
  }
}

// Pullen: around the half circle from the middle of one quadrant to the
// middle of the other, house sizes change by one step (delta) or one
// ratio; Sripati's cusps halve Porphyry's houses; D and N are 30 degrees
// from the MC and from 0 Aries.
TEST(HouseSystemsMore, ArithmeticSystems) {
  for (const Sky& k : skies(3000)) {
    const HouseResult l = k.cast(HouseSystem::PullenDelta), q = k.cast(HouseSystem::PullenRatio);
    const auto size = [](const HouseResult& r, int h) {
      return normalize_degrees(r.cusps[h % 12] - r.cusps[h - 1]);
    };
    const double q1 = normalize_degrees(l.ascendant - l.midheaven);
    if (q1 > 40.5 && q1 < 139.5) {
      EXPECT_NEAR(size(l, 10), size(l, 12), 1e-9);
      EXPECT_NEAR(size(l, 1), size(l, 3), 1e-9);
      const double d = size(l, 10) - size(l, 11);
      EXPECT_NEAR(size(l, 1) - size(l, 12), d, 1e-9) << k.label();
      EXPECT_NEAR(size(l, 2) - size(l, 1), d, 1e-9) << k.label();
    }
    const double ratio = size(q, 10) / size(q, 11);
    EXPECT_NEAR(size(q, 1) / size(q, 12), ratio, 1e-9) << k.label();
    EXPECT_NEAR(size(q, 2) / size(q, 1), ratio, 1e-9) << k.label();
    EXPECT_NEAR(size(q, 10), size(q, 12), 1e-9);
    for (const HouseResult* r : {&l, &q}) {
      EXPECT_NEAR(diff(r->cusps[0], r->ascendant), 0.0, 1e-12);
      EXPECT_NEAR(diff(r->cusps[9], r->midheaven), 0.0, 1e-12);
    }

    const HouseResult s = k.cast(HouseSystem::Sripati), o = k.cast(HouseSystem::Porphyry);
    for (int h = 0; h < 12; ++h) {
      EXPECT_NEAR(diff(s.cusps[h], o.cusps[(h + 11) % 12]), diff(o.cusps[h], s.cusps[h]), 1e-9);
      EXPECT_LT(normalize_degrees(o.cusps[h] - s.cusps[h]), 90.0);
    }
    const HouseResult d = k.cast(HouseSystem::EqualMidheaven), n = k.cast(HouseSystem::EqualAries);
    for (int h = 1; h <= 12; ++h) {
      EXPECT_NEAR(diff(d.cusps[h - 1], d.midheaven + 30.0 * (h - 10)), 0.0, 1e-9);
      EXPECT_NEAR(diff(n.cusps[h - 1], 30.0 * (h - 1)), 0.0, 1e-12);
    }
  }
}

TEST(HouseSystemsMore, NamesAndLetters) {
  const std::pair<const char*, char> cases[] = {
      {"Meridian", 'X'}, {"sunsh", 'I'},  {"i", 'I'},          {"Equal", 'E'},   {"equal mc", 'D'},
      {"Krusinski", 'U'}, {"apc", 'Y'},   {"Carter", 'F'},     {"pullen", 'P'},  {"Porphyry", 'P'},
      {"Horizontal", 'H'}, {"camp", 'C'}, {"Gauquelin", 'G'},  {"Pullen sinusoidal ratio", 'Q'}};
  for (const auto& [text, code] : cases) EXPECT_EQ(HouseSystem::from_code(text).code(), code) << text;
}

}  // namespace
