#include "quorvane/astronomy/apparent_place.hpp"

#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

double ecliptic_longitude(const Orientation& orientation, const Vec3& gcrs) {
  const Vec3 v = orientation.true_ecliptic * gcrs;
  return normalize_degrees(std::atan2(v[1], v[0]) * kDegreesPerRadian);
}

EclipticPlace ecliptic_place(const Orientation& orientation, const Vec3& gcrs) {
  const Vec3 v = orientation.true_ecliptic * gcrs;
  return {normalize_degrees(std::atan2(v[1], v[0]) * kDegreesPerRadian),
          std::atan2(v[2], std::hypot(v[0], v[1])) * kDegreesPerRadian, length(v)};
}

EquatorialPlace equatorial_place(const Orientation& orientation, const Vec3& gcrs) {
  const Vec3 q = orientation.true_equator * gcrs;
  return {normalize_degrees(std::atan2(q[1], q[0]) * kDegreesPerRadian),
          std::atan2(q[2], std::hypot(q[0], q[1])) * kDegreesPerRadian};
}

Expected<ApparentSky, SpkError> ApparentSky::geocentric(const Kernel& kernel, const Time& time,
                                                        OrientationModel model,
                                                        RecordCache* records) {
  return geocentric(kernel, time, model(time), records);
}

Expected<ApparentSky, SpkError> ApparentSky::geocentric(const Kernel& kernel, const Time& time,
                                                        const Orientation& orientation,
                                                        RecordCache* records) {
  auto earth = geocentre(kernel, time, records);
  if (!earth) return unexpected(earth.error());
  ApparentSky sky{&kernel, time, orientation, *earth, records, std::nullopt};
  // A kernel without them fails each body as before, not the sky.
  if (auto found = deflectors_at(kernel, time, records)) sky.deflectors = *found;
  return sky;
}

Expected<Vec3, SpkError> ApparentSky::gcrs(int32_t code) const {
  return apparent_place(*kernel, observer, code, time, records,
                        deflectors ? &*deflectors : nullptr);
}

Expected<Vec3, SpkError> ApparentSky::deflected_gcrs(int32_t code) const {
  auto astrometric = observe_from(*kernel, observer, code, time, records);
  if (!astrometric) return unexpected(astrometric.error());
  return deflected_by_bodies(*kernel, *astrometric, time, records,
                             deflectors ? &*deflectors : nullptr);
}

Expected<EclipticPlace, SpkError> ApparentSky::ecliptic(int32_t code) const {
  auto seen = gcrs(code);
  if (!seen) return unexpected(seen.error());
  return ecliptic_place(orientation, *seen);
}

}  // namespace quorvane
