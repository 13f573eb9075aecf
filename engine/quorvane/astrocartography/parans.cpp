#include "quorvane/astrocartography/parans.hpp"

#include <cmath>
#include <optional>

#include "quorvane/base/angles.hpp"
#include "quorvane/base/vector.hpp"

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

Vec3 unit_vector(double right_ascension, double declination) {
  const double a = right_ascension * kRadiansPerDegree, d = declination * kRadiansPerDegree;
  return {std::cos(d) * std::cos(a), std::cos(d) * std::sin(a), std::sin(d)};
}

struct HorizonMeeting {
  MapAngle first_angle;
  MapAngle second_angle;
  double latitude;
  double sidereal;  // the local sidereal time, degrees
};

// Where both points stand on the horizon at one sidereal time: the zenith
// is then square to both, so it is one end or the other of their cross
// product (in equatorial axes, its declination the latitude and its right
// ascension the sidereal time). The two ends put each point on opposite
// sides of the meridian, so they answer different pairs of angles. Points
// that coincide or stand opposite share every latitude or none: no answer.
std::vector<HorizonMeeting> horizon_meetings(const EquatorialPoint& a, const EquatorialPoint& b) {
  const Vec3 p = unit_vector(a.right_ascension, a.declination);
  const Vec3 q = unit_vector(b.right_ascension, b.declination);
  const Vec3 n{p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]};
  const double across = std::hypot(n[0], n[1]);
  // A zenith at a pole (both points on the equator) has no hour angles.
  if (length(n) < 1e-12 || across < 1e-12) return {};
  std::vector<HorizonMeeting> out;
  for (double end : {1.0, -1.0}) {
    const double sidereal = std::atan2(end * n[1], end * n[0]) * kDegreesPerRadian;
    const double latitude = std::atan2(end * n[2], across) * kDegreesPerRadian;
    // East of the meridian (hour angle below 0) rises, west sets.
    auto side = [&](const EquatorialPoint& e) {
      return wrap180(sidereal - e.right_ascension) < 0.0 ? MapAngle::asc : MapAngle::dsc;
    };
    out.push_back({side(a), side(b), latitude, sidereal});
  }
  return out;
}

}  // namespace

std::vector<Paran> parans(const std::vector<EquatorialPoint>& points, double sidereal_time) {
  std::vector<Paran> found;
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) {
      const EquatorialPoint& a = points[i];
      const EquatorialPoint& b = points[j];
      const std::vector<HorizonMeeting> meetings = horizon_meetings(a, b);
      for (MapAngle angle_a : kMapAngles) {
        for (MapAngle angle_b : kMapAngles) {
          if (on_meridian(angle_a) && on_meridian(angle_b)) continue;
          if (!on_meridian(angle_a) && !on_meridian(angle_b)) {
            for (const HorizonMeeting& m : meetings) {
              if (m.first_angle != angle_a || m.second_angle != angle_b) continue;
              found.push_back({i, angle_a, j, angle_b, m.latitude,
                               wrap_longitude(m.sidereal - sidereal_time)});
            }
            continue;
          }
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
            found.push_back(
                {i, angle_a, j, angle_b, *lat, wrap_longitude(sidereal - sidereal_time)});
          }
        }
      }
    }
  }
  return found;
}

}  // namespace quorvane
