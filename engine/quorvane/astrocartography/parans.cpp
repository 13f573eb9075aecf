#include "quorvane/astrocartography/parans.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/base/angles.hpp"

namespace quorvane {
namespace {

bool on_meridian(MapAngle angle) { return angle == MapAngle::mc || angle == MapAngle::ic; }

double wrap180(double degrees) { return wrap_longitude(degrees); }

// The latitude where `b` stands on its horizon angle at hour angle
// `hour_angle`: cos H = -tan(lat) tan(dec). None when the hour angle lies on
// the other side of the meridian, or the point is on the equator (then
// every latitude or none).
std::optional<double> latitude_at_hour_angle(MapAngle angle, double hour_angle,
                                             double declination) {
  const double h = wrap180(hour_angle);
  if (angle == MapAngle::asc ? !(h < 0.0 && h > -180.0) : !(h > 0.0 && h < 180.0)) {
    return std::nullopt;
  }
  const double t = std::tan(declination * kRadiansPerDegree);
  if (std::abs(t) < 1e-15) return std::nullopt;
  return std::atan(-std::cos(h * kRadiansPerDegree) / t) * kDegreesPerRadian;
}

// Latitudes where both horizon angles meet: the roots of the difference of
// the local sidereal times that put each point on its angle. Sampled, then
// bisected; a jump of the wrapped difference is no root.
void horizon_pair_latitudes(const EquatorialPoint& a, MapAngle angle_a, const EquatorialPoint& b,
                            MapAngle angle_b, std::vector<double>* out) {
  const double reach =
      std::min(90.0 - std::abs(a.declination), 90.0 - std::abs(b.declination));
  auto gap = [&](double lat) {
    const auto ha = hour_angle_on(angle_a, lat, a.declination);
    const auto hb = hour_angle_on(angle_b, lat, b.declination);
    return wrap180(a.right_ascension + *ha - b.right_ascension - *hb);
  };
  constexpr int kSteps = 720;
  double x0 = -reach, g0 = gap(x0);
  if (g0 == 0.0) out->push_back(x0);
  for (int k = 1; k <= kSteps; ++k) {
    const double x1 = -reach + 2.0 * reach * k / kSteps;
    const double g1 = gap(x1);
    if (g1 == 0.0) {
      out->push_back(x1);
    } else if (g0 != 0.0 && (g0 < 0.0) != (g1 < 0.0) && std::abs(g0 - g1) < 180.0) {
      double lo = x0, glo = g0, hi = x1;
      for (int i = 0; i < 60 && hi - lo > 1e-13; ++i) {
        const double mid = 0.5 * (lo + hi);
        const double gm = gap(mid);
        if ((gm < 0.0) == (glo < 0.0)) {
          lo = mid;
          glo = gm;
        } else {
          hi = mid;
        }
      }
      out->push_back(0.5 * (lo + hi));
    }
    x0 = x1;
    g0 = g1;
  }
}

}  // namespace

std::vector<Paran> parans(const std::vector<EquatorialPoint>& points, double sidereal_time) {
  std::vector<Paran> found;
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) {
      const EquatorialPoint& a = points[i];
      const EquatorialPoint& b = points[j];
      for (MapAngle angle_a : kMapAngles) {
        for (MapAngle angle_b : kMapAngles) {
          std::vector<double> latitudes;
          if (on_meridian(angle_a) && on_meridian(angle_b)) continue;
          if (on_meridian(angle_a) || on_meridian(angle_b)) {
            // The meridian point fixes the sidereal time, hence the other's
            // hour angle, and its declination the latitude.
            const bool a_fixed = on_meridian(angle_a);
            const EquatorialPoint& fixed = a_fixed ? a : b;
            const EquatorialPoint& moving = a_fixed ? b : a;
            const MapAngle fixed_angle = a_fixed ? angle_a : angle_b;
            const MapAngle moving_angle = a_fixed ? angle_b : angle_a;
            const double sidereal = fixed.right_ascension + *hour_angle_on(fixed_angle, 0.0, 0.0);
            if (auto lat = latitude_at_hour_angle(moving_angle, sidereal - moving.right_ascension,
                                                  moving.declination)) {
              latitudes.push_back(*lat);
            }
          } else {
            horizon_pair_latitudes(a, angle_a, b, angle_b, &latitudes);
          }
          for (double lat : latitudes) {
            const double local = a.right_ascension + *hour_angle_on(angle_a, lat, a.declination);
            found.push_back({i, angle_a, j, angle_b, lat, wrap_longitude(local - sidereal_time)});
          }
        }
      }
    }
  }
  return found;
}

}  // namespace quorvane
