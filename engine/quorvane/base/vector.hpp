// Small fixed-size vectors and matrices for the astronomy code.
#pragma once

#include <array>
#include <cmath>

namespace quorvane {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;  // rows

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3 operator*(double s, const Vec3& a) { return {s * a[0], s * a[1], s * a[2]}; }
inline Vec3 operator/(const Vec3& a, double s) { return {a[0] / s, a[1] / s, a[2] / s}; }
inline double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline double length(const Vec3& a) { return std::sqrt(dot(a, a)); }

inline Vec3 operator*(const Mat3& m, const Vec3& v) { return {dot(m[0], v), dot(m[1], v), dot(m[2], v)}; }

inline Mat3 operator*(const Mat3& a, const Mat3& b) {
  Mat3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
  return r;
}

inline Mat3 transpose(const Mat3& m) {
  return {{{m[0][0], m[1][0], m[2][0]}, {m[0][1], m[1][1], m[2][1]}, {m[0][2], m[1][2], m[2][2]}}};
}

// Frame rotations: R1 about x, R3 about z (rotations of the frame).
inline Mat3 rotation_x(double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {{{1, 0, 0}, {0, c, s}, {0, -s, c}}};
}
inline Mat3 rotation_z(double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}};
}

}  // namespace quorvane
