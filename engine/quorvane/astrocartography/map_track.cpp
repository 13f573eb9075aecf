#include "quorvane/astrocartography/map_track.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/base/angles.hpp"

namespace quorvane {
namespace {

// Below this the bisection stops whatever the curve does: a circle that
// nearly touches a pole steps in latitude over a tiny span of longitude.
constexpr int kMaxDepth = 48;

// Adds the samples after `a` up to and including `b`.
void refine(const Vec3& normal, MapPoint a, MapPoint b, double tolerance, int depth,
            MapTrack* out) {
  const double width = b[0] - a[0];
  const double rise = b[1] - a[1];
  const double length = std::hypot(width, rise);
  double worst = 0.0;
  MapPoint middle{};
  // Three probes: a chord can cross the curve at its midpoint (a curve
  // symmetric about it) and still stray far on either side.
  for (double t : {0.25, 0.5, 0.75}) {
    const double x = a[0] + t * width;
    const double y = great_circle_latitude(normal, x);
    if (t == 0.5) middle = {x, y};
    // Distance from the curve point to the chord line, in the map plane.
    const double gap = std::abs(y - (a[1] + t * rise)) * width / length;
    if (gap > worst) worst = gap;
  }
  // Half the tolerance at the probes leaves room for what lies between them.
  if (worst <= 0.5 * tolerance || depth >= kMaxDepth) {
    out->push_back(b);
    return;
  }
  refine(normal, a, middle, tolerance, depth + 1, out);
  refine(normal, middle, b, tolerance, depth + 1, out);
}

}  // namespace

double wrap_longitude(double degrees) {
  double x = std::fmod(degrees + 180.0, 360.0);
  if (x < 0.0) x += 360.0;
  return x - 180.0;
}

double great_circle_latitude(const Vec3& normal, double longitude) {
  const double l = longitude * kRadiansPerDegree;
  const double across = normal[0] * std::cos(l) + normal[1] * std::sin(l);
  // The same circle whichever way its normal points: take it northward.
  const double up = normal[2] < 0.0 ? -1.0 : 1.0;
  return std::atan2(-across * up, normal[2] * up) * kDegreesPerRadian;
}

MapTrack sample_great_circle(const Vec3& normal, double from, double to, double tolerance) {
  // Knots at the ends and on every antimeridian between them, so the cut
  // there falls on a sample of the curve rather than on a chord.
  std::vector<double> knots{from};
  for (double edge = 360.0 * std::floor((from + 180.0) / 360.0) + 180.0; edge < to;
       edge += 360.0) {
    if (edge > from) knots.push_back(edge);
  }
  knots.push_back(to);
  MapTrack out;
  MapPoint a{from, great_circle_latitude(normal, from)};
  out.push_back(a);
  for (size_t k = 1; k < knots.size(); ++k) {
    // Pieces of at most 11.25 degrees to start from, so no probe pattern
    // can miss a whole turn of the curve.
    const double start = knots[k - 1], span = knots[k] - start;
    const int pieces = std::max(1, static_cast<int>(std::ceil(span / 11.25)));
    for (int i = 1; i <= pieces; ++i) {
      const double x = i == pieces ? knots[k] : start + span * i / pieces;
      MapPoint b{x, great_circle_latitude(normal, x)};
      refine(normal, a, b, tolerance, 0, &out);
      a = b;
    }
  }
  return out;
}

std::vector<MapTrack> split_at_antimeridian(const MapTrack& track) {
  std::vector<MapTrack> pieces;
  if (track.empty()) return pieces;
  // Sheet k holds the unwrapped longitudes [360k - 180, 360k + 180).
  auto sheet = [](double x) { return std::floor((x + 180.0) / 360.0); };
  pieces.emplace_back();
  pieces.back().push_back({wrap_longitude(track[0][0]), track[0][1]});
  for (size_t i = 1; i < track.size(); ++i) {
    const MapPoint& p = track[i - 1];
    const MapPoint& q = track[i];
    double s = sheet(p[0]);
    const double t = sheet(q[0]);
    while (s != t) {
      const bool east = t > s;
      const double edge = 360.0 * s + (east ? 180.0 : -180.0);
      const double f = (edge - p[0]) / (q[0] - p[0]);
      const double lat = p[1] + f * (q[1] - p[1]);
      pieces.back().push_back({east ? 180.0 : -180.0, lat});
      pieces.emplace_back();
      pieces.back().push_back({east ? -180.0 : 180.0, lat});
      s += east ? 1.0 : -1.0;
    }
    const double lon = q[0] - 360.0 * t;
    // A sample exactly on the edge is already there as the crossing.
    if (pieces.back().back() != MapPoint{lon, q[1]}) pieces.back().push_back({lon, q[1]});
  }
  // A piece reduced to the single crossing point draws nothing.
  std::erase_if(pieces, [](const MapTrack& piece) { return piece.size() < 2; });
  return pieces;
}

}  // namespace quorvane
