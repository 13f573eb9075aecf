#include "quorvane/zodiac/houses.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>

#include "quorvane/base/vector.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace {

using namespace quorvane;

constexpr double kRad = std::numbers::pi / 180.0;
constexpr double kDeg = 180.0 / std::numbers::pi;

const HouseSystem kAllSystems[] = {
    HouseSystem::Placidus, HouseSystem::Koch,     HouseSystem::Regiomontanus,
    HouseSystem::Campanus, HouseSystem::Topocentric, HouseSystem::Alcabitius,
    HouseSystem::Morinus,  HouseSystem::Porphyry, HouseSystem::Equal,
    HouseSystem::Vehlow,   HouseSystem::WholeSign};

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Signed difference a - b folded into (-180, 180].
double angle_diff(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d <= -180.0) d += 360.0;
  return d;
}

// Equatorial unit vector of a point on the ecliptic: the ecliptic frame
// turned about the equinox direction by the obliquity.
Vec3 equatorial_of(double lambda, double obliquity) {
  const Vec3 ecliptic{std::cos(lambda * kRad), std::sin(lambda * kRad), 0.0};
  return rotation_x(-obliquity * kRad) * ecliptic;
}

// The sky of a place at a local sidereal time, built by rotations: in its
// "meridian frame" x points to the equator on the upper meridian, y to the
// east point and z to the north celestial pole.
struct Place {
  double ramc, latitude, obliquity;

  Vec3 meridian_frame(double lambda) const {
    return rotation_z(ramc * kRad) * equatorial_of(lambda, obliquity);
  }
  Vec3 zenith() const { return {std::cos(latitude * kRad), 0.0, std::sin(latitude * kRad)}; }
  Vec3 north_point() const { return {-std::sin(latitude * kRad), 0.0, std::cos(latitude * kRad)}; }
  static Vec3 east_point() { return {0.0, 1.0, 0.0}; }

  double altitude(double lambda) const { return std::asin(dot(meridian_frame(lambda), zenith())) * kDeg; }
  // Hour angle in degrees, negative east of the meridian.
  double hour_angle(double lambda) const {
    const Vec3 v = meridian_frame(lambda);
    return std::atan2(-v[1], v[0]) * kDeg;
  }
  double declination(double lambda) const { return std::asin(meridian_frame(lambda)[2]) * kDeg; }
  double right_ascension(double lambda) const {
    const Vec3 v = equatorial_of(lambda, obliquity);
    return normalize_degrees(std::atan2(v[1], v[0]) * kDeg);
  }
  // Diurnal semi-arc of a declination, degrees of hour angle.
  double diurnal_semi_arc(double dec) const {
    return std::acos(-std::tan(latitude * kRad) * std::tan(dec * kRad)) * kDeg;
  }
  // True when the ecliptic point rises on the horizon here, in the east.
  void expect_rising(double lambda, const std::string& what) const {
    EXPECT_NEAR(altitude(lambda), 0.0, 1e-8) << what;
    EXPECT_GT(dot(meridian_frame(lambda), east_point()), 0.0) << what;
  }
  // True when the point lies on the great circle through the north and
  // south points of the horizon and `through`, on the half holding `through`.
  void expect_on_circle(double lambda, const Vec3& through, const std::string& what) const {
    const Vec3 n = north_point();
    Vec3 normal = cross(n, through);
    normal = normal / length(normal);
    const Vec3 c = meridian_frame(lambda);
    EXPECT_NEAR(dot(c, normal), 0.0, 1e-9) << what;
    const Vec3 side = through - dot(through, n) * n;
    EXPECT_GT(dot(c, side), 0.0) << what;
  }
};

struct Sample {
  Place place;
  std::string label() const {
    return "ramc " + std::to_string(place.ramc) + " lat " + std::to_string(place.latitude) +
           " eps " + std::to_string(place.obliquity);
  }
};

// Random RAMC, latitudes within the polar circles and obliquities of the
// last and next few millennia.
std::vector<Sample> samples(int count, double max_latitude, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> ramc(0.0, 360.0), lat(-max_latitude, max_latitude),
      eps(23.0, 23.8);
  std::vector<Sample> out;
  for (int i = 0; i < count; ++i) out.push_back({{ramc(rng), lat(rng), eps(rng)}});
  // Grid corners: the equator, the quadrant angles, the limits.
  for (double r : {0.0, 90.0, 180.0, 270.0, 359.999})
    for (double l : {-max_latitude, 0.0, max_latitude}) out.push_back({{r, l, 23.4392911}});
  return out;
}

TEST(HousesCodes, FirstCharacterChoosesTheSystem) {
  EXPECT_EQ(HouseSystem::from_code(""), HouseSystem::Placidus);
  for (const char* placidus : {"P", "p", "Placidus", "Z", "z", "1", " K", "\u00C9", "\u212A"})
    EXPECT_EQ(HouseSystem::from_code(placidus), HouseSystem::Placidus) << placidus;
  EXPECT_EQ(HouseSystem::from_code("koch"), HouseSystem::Koch);
  EXPECT_EQ(HouseSystem::from_code("w"), HouseSystem::WholeSign);
  EXPECT_EQ(HouseSystem::from_code("whole"), HouseSystem::WholeSign);
  EXPECT_EQ(HouseSystem::from_code("Equal"), HouseSystem::Equal);
  const std::string letters = "PKRCTBMOEVW";
  for (size_t i = 0; i < letters.size(); ++i) {
    const HouseSystem upper = HouseSystem::from_code(letters.substr(i, 1));
    EXPECT_EQ(static_cast<size_t>(upper), i) << letters[i];
    EXPECT_EQ(upper.code(), letters[i]);
    EXPECT_EQ(HouseSystem::from_code(std::string(1, static_cast<char>(letters[i] + 32))), upper);
  }
}

TEST(HousesCommon, ObliquityAndRamc) {
  EXPECT_DOUBLE_EQ(mean_obliquity_iau1980(2451545.0), 23.4392911);
  EXPECT_NEAR(mean_obliquity_iau1980(2451545.0 + 36525.0), 23.4392911 - 0.0130042 - 1.6e-7 + 5.04e-7, 1e-13);
  EXPECT_NEAR(mean_obliquity_iau1980(2451545.0 - 2 * 36525.0), 23.4392911 + 0.0260084 - 6.4e-7 - 40.32e-7, 1e-13);
  EXPECT_EQ(ramc_degrees(1.0, -30.0), 345.0);
  EXPECT_EQ(ramc_degrees(23.0, 30.0), 15.0);
  EXPECT_EQ(ramc_degrees(0.0, 0.0), 0.0);
  EXPECT_EQ(ramc_degrees(-2.0, 0.0), 330.0);
}

// The Ascendant rises in the east and the Midheaven culminates, for every
// system (they do not depend on it), checked in the local sky.
TEST(HousesAngles, AscendantOnEasternHorizonMidheavenOnMeridian) {
  for (const Sample& s : samples(4000, 66.0, 1)) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Equal, p.ramc, p.latitude, p.obliquity);
    p.expect_rising(r.ascendant, "asc " + s.label());
    EXPECT_NEAR(p.hour_angle(r.midheaven), 0.0, 1e-9) << s.label();
    EXPECT_GT(p.altitude(r.midheaven), 0.0) << s.label();
    for (HouseSystem system : kAllSystems) {
      const HouseResult other = houses_at_ramc(system, p.ramc, p.latitude, p.obliquity);
      ASSERT_EQ(other.ascendant, r.ascendant);
      ASSERT_EQ(other.midheaven, r.midheaven);
    }
  }
}

TEST(HousesRange, CuspsStayInTheCircleEverywhere) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> lat(-89.0, 89.0), ayanamsa(-30.0, 400.0),
      st(-48.0, 48.0), lon(-180.0, 180.0), jd(2086302.5, 2816787.5);
  for (int i = 0; i < 5000; ++i) {
    const double latitude = lat(rng), a = ayanamsa(rng);
    for (HouseSystem system : kAllSystems) {
      const HouseResult r = houses_at_sidereal_time(system, jd(rng), st(rng), latitude, lon(rng), a);
      for (double cusp : r.cusps) {
        ASSERT_GE(cusp, 0.0) << system.code() << " lat " << latitude;
        ASSERT_LT(cusp, 360.0) << system.code() << " lat " << latitude;
      }
      ASSERT_GE(r.ascendant, 0.0);
      ASSERT_LT(r.ascendant, 360.0);
      ASSERT_GE(r.midheaven, 0.0);
      ASSERT_LT(r.midheaven, 360.0);
    }
  }
}

// Quadrant systems share their angles and have opposite cusps opposite.
TEST(HousesCommon, AnglesAndOppositeCusps) {
  for (const Sample& s : samples(500, 66.0, 2)) {
    const Place& p = s.place;
    for (HouseSystem system : kAllSystems) {
      const HouseResult r = houses_at_ramc(system, p.ramc, p.latitude, p.obliquity);
      for (int h = 0; h < 6; ++h)
        EXPECT_NEAR(std::fabs(angle_diff(r.cusps[h + 6], r.cusps[h])), 180.0, 1e-9)
            << system.code() << " house " << h + 1 << " " << s.label();
      const bool angular = system != HouseSystem::Morinus && system != HouseSystem::Equal &&
                           system != HouseSystem::Vehlow && system != HouseSystem::WholeSign;
      if (angular) {
        EXPECT_EQ(r.cusps[0], r.ascendant) << system.code();
        EXPECT_EQ(r.cusps[9], r.midheaven) << system.code();
      }
    }
  }
}

// Placidus: each intermediate cusp's hour angle is its fraction of the
// semi-arc (diurnal above the horizon, nocturnal below). The correction
// loop converges linearly and stops after 25 rounds, so towards the polar
// circles the cusps keep a small residual; below 59 degrees it always
// reaches its 1e-8 rad stop.
double placidus_tolerance(double latitude) {
  const double a = std::fabs(latitude);
  return a <= 59.0 ? 1e-6 : a <= 63.0 ? 1e-4 : 2e-2;
}

TEST(HousesPlacidus, HourAnglesTrisectTheSemiArcs) {
  double worst_below_59 = 0.0, worst_above = 0.0;
  std::vector<Sample> all = samples(5000, 66.0, 3);
  for (const Sample& s : samples(3000, 59.0, 33)) all.push_back(s);
  for (const Sample& s : all) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Placidus, p.ramc, p.latitude, p.obliquity);
    struct Expect {
      int house;
      double dsa_factor, nsa_factor, offset;
    };
    // H = offset + dsa_factor * DSA + nsa_factor * NSA
    const Expect expects[] = {{11, -1.0 / 3, 0, 0},     {12, -2.0 / 3, 0, 0}, {2, 0, 2.0 / 3, -180},
                              {3, 0, 1.0 / 3, -180},    {5, 0, -1.0 / 3, 180}, {6, 0, -2.0 / 3, 180},
                              {8, 2.0 / 3, 0, 0},       {9, 1.0 / 3, 0, 0}};
    for (const Expect& e : expects) {
      const double lambda = r.cusps[e.house - 1];
      const double dsa = p.diurnal_semi_arc(p.declination(lambda));
      const double expected = e.offset + e.dsa_factor * dsa + e.nsa_factor * (180.0 - dsa);
      const double error = std::fabs(angle_diff(p.hour_angle(lambda), expected));
      double& worst = std::fabs(p.latitude) <= 59.0 ? worst_below_59 : worst_above;
      worst = std::max(worst, error);
      ASSERT_LT(error, placidus_tolerance(p.latitude)) << "house " << e.house << " " << s.label();
    }
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3g / %.3g", worst_below_59, worst_above);
  RecordProperty("worst_hour_angle_error_deg_below_59_and_to_66", text);
}

// The loop is capped at 25 rounds: at 66 degrees it leaves residuals of
// some thousandths of a degree rather than running on.
TEST(HousesPlacidus, CorrectionLoopIsCapped) {
  const Place p0{0.0, 66.0, 23.4392911};
  double worst = 0.0;
  for (double ramc = 0.0; ramc < 360.0; ramc += 0.5) {
    const Place p{ramc, p0.latitude, p0.obliquity};
    const HouseResult r = houses_at_ramc(HouseSystem::Placidus, ramc, p.latitude, p.obliquity);
    for (const auto& [house, fraction] : {std::pair{11, -1.0 / 3}, {12, -2.0 / 3}, {9, 1.0 / 3}, {8, 2.0 / 3}}) {
      const double lambda = r.cusps[house - 1];
      const double dsa = p.diurnal_semi_arc(p.declination(lambda));
      worst = std::max(worst, std::fabs(angle_diff(p.hour_angle(lambda), fraction * dsa)));
    }
  }
  EXPECT_GT(worst, 1e-4) << worst;
  EXPECT_LT(worst, 2e-2) << worst;
}

// Regiomontanus: house circles through the north and south points cut the
// celestial equator every 30 degrees of hour angle from the meridian.
TEST(HousesRegiomontanus, CuspsOnCirclesDividingTheEquator) {
  for (const Sample& s : samples(5000, 66.0, 4)) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Regiomontanus, p.ramc, p.latitude, p.obliquity);
    for (int h = 1; h <= 12; ++h) {
      const double theta = 30.0 * (h - 10) * kRad;  // east of the meridian
      const Vec3 equator_point{std::cos(theta), std::sin(theta), 0.0};
      p.expect_on_circle(r.cusps[h - 1], equator_point, "house " + std::to_string(h) + " " + s.label());
    }
  }
}

// Campanus: the same circles cut the prime vertical every 30 degrees from
// the zenith.
TEST(HousesCampanus, CuspsOnCirclesDividingThePrimeVertical) {
  for (const Sample& s : samples(5000, 66.0, 5)) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Campanus, p.ramc, p.latitude, p.obliquity);
    for (int h = 1; h <= 12; ++h) {
      const double theta = 30.0 * (h - 10) * kRad;
      const Vec3 vertical_point = std::cos(theta) * p.zenith() + std::sin(theta) * Place::east_point();
      p.expect_on_circle(r.cusps[h - 1], vertical_point, "house " + std::to_string(h) + " " + s.label());
    }
  }
}

// Koch: cusp 11 is the point rising when the MC degree had covered one
// third of its diurnal semi-arc, cusp 12 two thirds; cusps 2 and 3 rise when
// it is one and two thirds beyond the meridian.
TEST(HousesKoch, CuspsRiseAtThirdsOfTheMidheavenSemiArc) {
  for (const Sample& s : samples(5000, 66.0, 6)) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Koch, p.ramc, p.latitude, p.obliquity);
    const double dsa = p.diurnal_semi_arc(p.declination(r.midheaven));
    const std::pair<int, double> moments[] = {{11, -2.0 / 3}, {12, -1.0 / 3}, {2, 1.0 / 3}, {3, 2.0 / 3}};
    for (const auto& [house, fraction] : moments) {
      const Place then{p.ramc + fraction * dsa, p.latitude, p.obliquity};
      then.expect_rising(r.cusps[house - 1], "house " + std::to_string(house) + " " + s.label());
    }
  }
}

// Beyond the polar circles every quadrant system falls back to Porphyry:
// cusps 1 and 10 on the angles, in zodiac order, no house wider than a half
// circle. Inside them Koch stays Koch.
TEST(HousesPolar, QuadrantSystemsShareAnOrderedFallback) {
  const double eps = mean_obliquity_iau1980(2460676.5);
  for (double ramc = 0.0; ramc < 360.0; ramc += 7.0) {
    for (double lat : {70.0, -70.0, 90.0 - eps, -(90.0 - eps), 80.0, 89.99, -89.99}) {
      const HouseResult first = houses_at_ramc(HouseSystem::Placidus, ramc, lat, eps);
      for (HouseSystem system : kAllSystems) {
        if (!quorvane::is_quadrant_system(system)) continue;
        const HouseResult r = houses_at_ramc(system, ramc, lat, eps);
        EXPECT_EQ(r.cusps, first.cusps) << system.code() << " " << ramc << " " << lat;
        EXPECT_EQ(r.cusps[0], r.ascendant);
        EXPECT_EQ(r.cusps[9], r.midheaven);
        double total = 0.0;
        for (int h = 0; h < 12; ++h) {
          const double arc = normalize_degrees(r.cusps[(h + 1) % 12] - r.cusps[h]);
          EXPECT_LT(arc, 180.0) << system.code() << " " << ramc << " " << lat << " house " << h + 1;
          total += arc;
        }
        EXPECT_NEAR(total, 360.0, 1e-9) << system.code() << " " << ramc << " " << lat;
      }
    }
    const HouseResult koch = houses_at_ramc(HouseSystem::Koch, ramc, 60.0, eps);
    const HouseResult porphyry = houses_at_ramc(HouseSystem::Porphyry, ramc, 60.0, eps);
    EXPECT_GT(std::fabs(angle_diff(koch.cusps[10], porphyry.cusps[10])), 1e-3) << ramc;
  }
}

// Topocentric: cusp 11 is the Ascendant of a place on the pole whose
// tangent is a third of the latitude's, 60 degrees of RAMC earlier; cusp 12
// uses two thirds and 30 degrees; cusps 2 and 3 the same poles later.
TEST(HousesTopocentric, CuspsRiseOverTheirPoles) {
  for (const Sample& s : samples(5000, 66.0, 7)) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Topocentric, p.ramc, p.latitude, p.obliquity);
    const double tan_phi = std::tan(p.latitude * kRad);
    const struct {
      int house;
      double ramc_shift, pole_factor;
    } circles[] = {{11, -60, 1.0 / 3}, {12, -30, 2.0 / 3}, {2, 30, 2.0 / 3}, {3, 60, 1.0 / 3}};
    for (const auto& c : circles) {
      const Place pole{p.ramc + c.ramc_shift, std::atan(c.pole_factor * tan_phi) * kDeg, p.obliquity};
      pole.expect_rising(r.cusps[c.house - 1], "house " + std::to_string(c.house) + " " + s.label());
    }
  }
}

// Alcabitius: intermediate cusps at thirds of the Ascendant's semi-arcs,
// measured in right ascension from the meridian.
TEST(HousesAlcabitius, RightAscensionsTrisectTheAscendantSemiArcs) {
  for (const Sample& s : samples(5000, 66.0, 8)) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Alcabitius, p.ramc, p.latitude, p.obliquity);
    const double dsa = p.diurnal_semi_arc(p.declination(r.ascendant));
    const double nsa = 180.0 - dsa;
    const std::pair<int, double> targets[] = {{11, dsa / 3},       {12, 2 * dsa / 3},
                                              {2, 180 - 2 * nsa / 3}, {3, 180 - nsa / 3},
                                              {5, 180 + dsa / 3},  {6, 180 + 2 * dsa / 3},
                                              {8, -2 * nsa / 3},   {9, -nsa / 3}};
    for (const auto& [house, offset] : targets)
      EXPECT_NEAR(angle_diff(p.right_ascension(r.cusps[house - 1]), p.ramc + offset), 0.0, 1e-8)
          << "house " << house << " " << s.label();
  }
}

// Morinus: equator points every 30 degrees from the RAMC carried to the
// ecliptic along circles through the ecliptic poles.
TEST(HousesMorinus, CuspsShareEclipticLongitudeWithEquatorDivisions) {
  for (const Sample& s : samples(3000, 66.0, 9)) {
    const Place& p = s.place;
    const HouseResult r = houses_at_ramc(HouseSystem::Morinus, p.ramc, p.latitude, p.obliquity);
    const Vec3 ecliptic_pole = rotation_x(-p.obliquity * kRad) * Vec3{0.0, 0.0, 1.0};
    for (int h = 1; h <= 12; ++h) {
      const double a = (p.ramc + 30.0 * (h - 10)) * kRad;
      const Vec3 equator_point{std::cos(a), std::sin(a), 0.0};
      const Vec3 cusp = equatorial_of(r.cusps[h - 1], p.obliquity);
      EXPECT_NEAR(dot(cross(equator_point, cusp), ecliptic_pole), 0.0, 1e-12) << h << " " << s.label();
      EXPECT_GT(dot(equator_point, cusp), 0.0) << h << " " << s.label();
    }
    // Not the angles, except by coincidence.
    if (std::fabs(p.latitude) > 1.0 && std::fmod(p.ramc, 90.0) != 0.0)
      EXPECT_GT(std::fabs(angle_diff(r.cusps[0], r.ascendant)), 1e-6) << s.label();
  }
}

// The arithmetic systems.
TEST(HousesArithmetic, PorphyryEqualVehlowWholeSign) {
  for (const Sample& s : samples(3000, 66.0, 10)) {
    const Place& p = s.place;
    const double asc = houses_at_ramc(HouseSystem::Equal, p.ramc, p.latitude, p.obliquity).ascendant;

    const HouseResult porphyry = houses_at_ramc(HouseSystem::Porphyry, p.ramc, p.latitude, p.obliquity);
    const auto& c = porphyry.cusps;
    const double upper = normalize_degrees(c[0] - c[9]) / 3.0;  // MC to ASC
    const double lower = normalize_degrees(c[3] - c[0]) / 3.0;  // ASC to IC
    EXPECT_NEAR(normalize_degrees(c[10] - c[9]), upper, 1e-9) << s.label();
    EXPECT_NEAR(normalize_degrees(c[11] - c[10]), upper, 1e-9) << s.label();
    EXPECT_NEAR(normalize_degrees(c[0] - c[11]), upper, 1e-9) << s.label();
    EXPECT_NEAR(normalize_degrees(c[1] - c[0]), lower, 1e-9) << s.label();
    EXPECT_NEAR(normalize_degrees(c[2] - c[1]), lower, 1e-9) << s.label();
    EXPECT_NEAR(normalize_degrees(c[3] - c[2]), lower, 1e-9) << s.label();
    std::array<double, 12> direct{};
    quorvane::porphyry(direct, porphyry.ascendant, porphyry.midheaven);
    EXPECT_EQ(direct, c);

    const HouseResult equal = houses_at_ramc(HouseSystem::Equal, p.ramc, p.latitude, p.obliquity);
    const HouseResult vehlow = houses_at_ramc(HouseSystem::Vehlow, p.ramc, p.latitude, p.obliquity);
    const HouseResult whole = houses_at_ramc(HouseSystem::WholeSign, p.ramc, p.latitude, p.obliquity);
    const double sign_start = 30.0 * std::floor(asc / 30.0);
    for (int h = 0; h < 12; ++h) {
      EXPECT_NEAR(angle_diff(equal.cusps[h], asc + 30.0 * h), 0.0, 1e-9) << h;
      EXPECT_NEAR(angle_diff(vehlow.cusps[h], asc - 15.0 + 30.0 * h), 0.0, 1e-9) << h;
      EXPECT_EQ(std::fmod(whole.cusps[h], 30.0), 0.0) << h;
      EXPECT_EQ(whole.cusps[h], normalize_degrees(sign_start + 30.0 * h)) << h;
    }
  }
}

// A sidereal chart is the tropical one moved back by the ayanamsa, except
// Whole Sign cusps, which are the sidereal signs themselves.
TEST(HousesAyanamsa, OffsetMovesEveryValue) {
  std::mt19937_64 rng(12);
  std::uniform_real_distribution<double> st(0.0, 24.0), lat(-66.0, 66.0), lon(-180.0, 180.0),
      jd(2415020.5, 2488069.5);
  for (int i = 0; i < 500; ++i) {
    const double t = jd(rng), s = st(rng), la = lat(rng), lo = lon(rng);
    for (HouseSystem system : kAllSystems) {
      const HouseResult tropical = houses_at_sidereal_time(system, t, s, la, lo, 0.0);
      const HouseResult sidereal = houses_at_sidereal_time(system, t, s, la, lo, 24.0);
      for (int h = 0; h < 12 && system != HouseSystem::WholeSign; ++h)
        EXPECT_NEAR(angle_diff(tropical.cusps[h], sidereal.cusps[h]), 24.0, 1e-9) << system.code();
      EXPECT_NEAR(angle_diff(tropical.ascendant, sidereal.ascendant), 24.0, 1e-9);
      EXPECT_NEAR(angle_diff(tropical.midheaven, sidereal.midheaven), 24.0, 1e-9);

      const HouseResult direct =
          houses_at_ramc(system, ramc_degrees(s, lo), la, mean_obliquity_iau1980(t));
      EXPECT_EQ(direct.cusps, tropical.cusps);
      EXPECT_EQ(direct.ascendant, tropical.ascendant);
    }
    const HouseResult whole = houses_at_sidereal_time(HouseSystem::WholeSign, t, s, la, lo, 24.0);
    for (int h = 0; h < 12; ++h) EXPECT_EQ(std::fmod(whole.cusps[h], 30.0), 0.0);
    EXPECT_EQ(determine_house(whole.cusps, whole.ascendant), 1);
  }
}

// The cusps of every quadrant system come in zodiacal order below the polar
// circles, so each longitude belongs to exactly the house whose arc holds it.
TEST(HousesMembership, LongitudesFallInTheArcBetweenCusps) {
  std::mt19937_64 rng(13);
  std::uniform_real_distribution<double> any(0.0, 360.0);
  for (const Sample& s : samples(400, 60.0, 14)) {
    const Place& p = s.place;
    for (HouseSystem system : kAllSystems) {
      const HouseResult r = houses_at_ramc(system, p.ramc, p.latitude, p.obliquity);
      double total = 0.0;
      for (int h = 0; h < 12; ++h) total += normalize_degrees(r.cusps[(h + 1) % 12] - r.cusps[h]);
      ASSERT_NEAR(total, 360.0, 1e-6) << system.code() << " " << s.label();
      for (int i = 0; i < 20; ++i) {
        const double x = i == 0 ? r.cusps[5] : any(rng);
        const int house = determine_house(r.cusps, x);
        const double into = normalize_degrees(x - r.cusps[house - 1]);
        const double span = normalize_degrees(r.cusps[house % 12] - r.cusps[house - 1]);
        ASSERT_LT(into, span) << system.code() << " x " << x << " " << s.label();
      }
    }
  }
}

}  // namespace
