// The methods of primary directions: what "the same position" of two points
// means (the Placidian proportion of semi-arcs, or the circle of position
// under the pole of the significator), and the arc of primary motion that
// carries one point to the position of another.
//
// Positions are taken from the hour angle (west of the upper meridian) and
// the declination; a pole is signed so that the oblique ascension under it
// (oblique_ascension_under_pole) is the ascension on the eastern half of the
// sky and the descension on the western half.
#pragma once

#include <optional>
#include <string_view>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/directions/spherical_arcs.hpp"

namespace quorvane::directions {

enum class Method {
  PlacidusMundane,   // bodies in mundo, aspects by proportion of semi-arcs
  PlacidusZodiacal,  // zodiac points, proportion of semi-arcs
  PlacidusPole,      // zodiac points under the Placidian pole of the significator
  Regiomontanus,
  Campanus,
  Topocentric,  // Polich-Page
};

// "placidus_mundane", "placidus_zodiacal", "placidus_pole", "regiomontanus",
// "campanus" or "topocentric"; anything else is an InvalidInput error.
Expected<Method, EngineError> method_from_text(std::string_view text);
std::string_view method_name(Method method);

// The Placidian mundane position: 0 at the upper meridian, 90 on the
// western horizon, 180 at the lower meridian, 270 on the eastern horizon,
// each quadrant an equal share of the point's semi-arc (Placidus, Primum
// Mobile, tr. Cooper 1814, canon on proportional semi-arcs). None for a
// point that never rises or never sets.
std::optional<double> placidus_position(double hour_angle, double declination, double latitude);
// Its inverse: the hour angle in [0, 360) at which a point of `declination`
// stands at `position`.
std::optional<double> placidus_hour_angle(double position, double declination, double latitude);

// The part of its semi-arc a point has moved from the nearer meridian: 0 on
// the meridian, 1 on the horizon.
std::optional<double> semi_arc_fraction(double hour_angle, double declination, double latitude);

// tan pole = sin(fraction x AD) / tan(dec): the Placidian pole of the
// significator (Placidus, Primum Mobile, tr. Cooper 1814, on the poles).
std::optional<double> placidus_pole(double hour_angle, double declination, double latitude);
// tan pole = tan(latitude) sin(h), h the equator's point on the circle
// through the north and south points (Regiomontanus, Tabulae directionum).
double regiomontanus_pole(double hour_angle, double declination, double latitude);
// sin pole = sin(latitude) sin(c), c the prime vertical's point on the same
// circle, measured from the zenith (Campanus of Novara's division).
double campanus_pole(double hour_angle, double declination, double latitude);
// tan pole = tan(latitude) x fraction of the semi-arc (Polich and Page, The
// Topocentric System of Houses, 1964).
std::optional<double> topocentric_pole(double hour_angle, double declination, double latitude);

// The equator's point (an hour angle, (-180, 180]) of the circle through
// the north and south points of the horizon and the point.
double regiomontanus_position(double hour_angle, double declination, double latitude);
// The angle of that circle from the zenith about the north-south line,
// west positive, (-180, 180].
double campanus_position(double hour_angle, double declination, double latitude);

// The arc of primary motion in [0, 360) (the sky turned westward by it)
// that brings `mover` to the position of `target` under `method`, the
// target's Placidian position first moved by `mundane_shift` (mundane
// aspects). None when either point lacks the position (circumpolar).
std::optional<double> primary_arc(Method method, const EquatorialPoint& mover,
                                  const EquatorialPoint& target, double ramc, double latitude,
                                  double mundane_shift = 0.0);

}  // namespace quorvane::directions
