#include "quorvane/directions/direction_methods.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "quorvane/directions/keys.hpp"
#include "quorvane/directions/spherical_arcs.hpp"
#include "quorvane/zodiac/houses.hpp"

namespace {

namespace d = quorvane::directions;

constexpr double kRad = M_PI / 180.0;

// Angle a - b folded into (-180, 180].
double gap(double a, double b) { return std::remainder(a - b, 360.0); }

// Ecliptic to equator by rotating the unit vector about the equinox line,
// written apart from the engine's closed formulas.
TEST(DirectionSphere, EquatorialPlaceIsTheRotatedEclipticVector) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> lon(0.0, 360.0), lat(-80.0, 80.0), eps(22.0, 24.5);
  for (int i = 0; i < 2000; ++i) {
    const double l = lon(rng), b = lat(rng), e = eps(rng);
    const double x = std::cos(b * kRad) * std::cos(l * kRad);
    const double y0 = std::cos(b * kRad) * std::sin(l * kRad), z0 = std::sin(b * kRad);
    const double y = y0 * std::cos(e * kRad) - z0 * std::sin(e * kRad);
    const double z = y0 * std::sin(e * kRad) + z0 * std::cos(e * kRad);
    const d::EquatorialPoint p = d::equatorial_point(l, b, e);
    EXPECT_NEAR(gap(p.right_ascension, std::atan2(y, x) / kRad), 0.0, 1e-9);
    EXPECT_NEAR(p.declination, std::asin(z) / kRad, 1e-9);
  }
}

// The Ascendant lies on the horizon east of the meridian, beyond the polar
// circles too; the Midheaven's right ascension is the RAMC.
TEST(DirectionSphere, AnglesStandOnHorizonAndMeridian) {
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> ramc(0.0, 360.0), phi(-89.0, 89.0);
  const double e = 23.44;
  for (int i = 0; i < 2000; ++i) {
    const double r = ramc(rng), f = phi(rng);
    const d::EquatorialPoint asc = d::equatorial_point(quorvane::ascendant_degrees(r, f, e), 0.0, e);
    const double h = d::hour_angle(r, asc.right_ascension);
    const double altitude = std::sin(f * kRad) * std::sin(asc.declination * kRad) +
                            std::cos(f * kRad) * std::cos(asc.declination * kRad) *
                                std::cos(h * kRad);
    EXPECT_NEAR(altitude, 0.0, 1e-9);
    EXPECT_LT(h, 0.0);  // rising, not setting
    const double mc = quorvane::midheaven_degrees(r, e);
    EXPECT_NEAR(gap(d::right_ascension(mc, 0.0, e), r), 0.0, 1e-9);
  }
}

// A semi-arc is the hour angle of the horizon crossing: altitude 0 there.
TEST(DirectionSphere, SemiArcEndsOnTheHorizon) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> dec(-60.0, 60.0), phi(-60.0, 60.0);
  for (int i = 0; i < 2000; ++i) {
    const double de = dec(rng), f = phi(rng);
    const auto sa = d::diurnal_semi_arc(de, f);
    if (std::fabs(std::tan(f * kRad) * std::tan(de * kRad)) > 1.0) {
      EXPECT_FALSE(sa.has_value());
      continue;
    }
    ASSERT_TRUE(sa.has_value());
    const double altitude = std::sin(f * kRad) * std::sin(de * kRad) +
                            std::cos(f * kRad) * std::cos(de * kRad) * std::cos(*sa * kRad);
    EXPECT_NEAR(altitude, 0.0, 1e-9);
    EXPECT_NEAR(*sa + *d::nocturnal_semi_arc(de, f), 180.0, 1e-9);
  }
}

// Regiomontanus (through the equator) and Campanus (through the prime
// vertical) reach the same circle by different routes: same arcs. The
// mover then stands on that circle by the Regiomontanus position, too.
TEST(DirectionArcs, RegiomontanusAndCampanusShareTheCircleOfPosition) {
  std::mt19937 rng(14);
  std::uniform_real_distribution<double> ra(0.0, 360.0), dec(-25.0, 25.0), phi(-60.0, 60.0);
  int compared = 0;
  for (int i = 0; i < 3000; ++i) {
    const d::EquatorialPoint mover{ra(rng), dec(rng)}, target{ra(rng), dec(rng)};
    const double r = ra(rng), f = phi(rng);
    const auto regio = d::primary_arc(d::Method::Regiomontanus, mover, target, r, f);
    const auto campanus = d::primary_arc(d::Method::Campanus, mover, target, r, f);
    ASSERT_EQ(regio.has_value(), campanus.has_value());
    if (!regio) continue;
    ++compared;
    EXPECT_NEAR(gap(*regio, *campanus), 0.0, 1e-7);
    const double before = d::hour_angle(r, target.right_ascension);
    const double after = d::hour_angle(r + *regio, mover.right_ascension);
    EXPECT_NEAR(gap(d::regiomontanus_position(after, mover.declination, f),
                    d::regiomontanus_position(before, target.declination, f)),
                0.0, 1e-7);
  }
  EXPECT_GT(compared, 2500);
}

// Placidus: the mover ends at the target's fraction of the semi-arc, on the
// same side of the same meridian.
TEST(DirectionArcs, PlacidusKeepsTheProportionOfSemiArcs) {
  std::mt19937 rng(15);
  std::uniform_real_distribution<double> ra(0.0, 360.0), dec(-25.0, 25.0), phi(-60.0, 60.0);
  for (int i = 0; i < 3000; ++i) {
    const d::EquatorialPoint mover{ra(rng), dec(rng)}, target{ra(rng), dec(rng)};
    const double r = ra(rng), f = phi(rng);
    const auto arc = d::primary_arc(d::Method::PlacidusZodiacal, mover, target, r, f);
    if (!arc) continue;
    const double before = d::hour_angle(r, target.right_ascension);
    const double after = d::hour_angle(r + *arc, mover.right_ascension);
    EXPECT_NEAR(*d::semi_arc_fraction(after, mover.declination, f),
                *d::semi_arc_fraction(before, target.declination, f), 1e-9);
    EXPECT_EQ(after < 0.0, before < 0.0);
    const bool above_after = std::fabs(after) <= *d::diurnal_semi_arc(mover.declination, f);
    const bool above_before = std::fabs(before) <= *d::diurnal_semi_arc(target.declination, f);
    EXPECT_EQ(above_after, above_before);
  }
}

// The solar track is read back where its samples are, and between them it
// stays within the bracketing days.
TEST(DirectionKeys, SolarTrackGainsAreBracketed) {
  d::SolarRightAscensionTrack track;
  for (int k = 0; k <= 10; ++k) {
    track.right_ascension.push_back(100.0 + 1.05 * k + 0.001 * k * k);
    track.speed.push_back(1.05 + 0.002 * k);
  }
  EXPECT_NEAR(*d::days_to_gain(track, 1.05 * 4 + 0.016), 4.0, 1e-9);
  const double days = *d::days_to_gain(track, 5.0);
  EXPECT_GT(days, 4.0);
  EXPECT_LT(days, 5.0);
  EXPECT_FALSE(d::days_to_gain(track, 20.0).has_value());
}

}  // namespace
