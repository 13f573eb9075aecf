#include "quorvane/astronomy/chiron.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "generated/chiron_block.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/base/byte_order.hpp"
#include "quorvane/base/pyfloat.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::chiron {

namespace {

constexpr std::size_t kHeaderBytes = 8 + 8 + 4;

}  // namespace

std::optional<std::vector<double>> decode(const unsigned char* data, std::size_t size) {
  if (size < kHeaderBytes) return std::nullopt;
  const auto count = static_cast<std::size_t>(load_u32(data + 16));
  if (count != kCount || (size - kHeaderBytes) / 8 < count) return std::nullopt;
  std::vector<double> values(count);
  const unsigned char* p = data + kHeaderBytes;
  for (double& value : values) {
    value = load_f64(p);
    p += 8;
  }
  return values;
}

const std::vector<double>& table() {
  // Function-local static: one initialisation even when several threads
  // arrive first at once.
  static const std::vector<double> values = [] {
    auto decoded = decode(generated::chiron_block, generated::chiron_block_size);
    if (!decoded) {
      std::fputs("quorvane: embedded Chiron block is malformed\n", stderr);
      std::abort();
    }
    return std::move(*decoded);
  }();
  return values;
}

std::optional<ChironPosition> interpolate(std::span<const double> values, double jd,
                                          double ayanamsa) {
  if (values.size() < 4) return std::nullopt;
  // Compared as a double before any conversion: NaN and huge dates fall out
  // here (NaN fails both comparisons, as k = 0 would).
  const double k_real = std::trunc((jd - kFirstJd) / kStep);
  if (!(k_real > 0.0 && k_real < static_cast<double>(values.size() - 2))) return std::nullopt;
  const auto k = static_cast<std::size_t>(k_real);

  const double u = (jd - (kFirstJd + kStep * k_real)) / kStep;
  const double u2 = u * u;
  const double u3 = u2 * u;
  const double p0 = values[k - 1], p1 = values[k], p2 = values[k + 1], p3 = values[k + 2];

  const double lambda = p0 * (-u / 2 + u2 - u3 / 2) + p1 * (1 - 2.5 * u2 + 1.5 * u3) +
                        p2 * (u / 2 + 2 * u2 - 1.5 * u3) + p3 * (-u2 / 2 + u3 / 2);
  const double rate = (p0 * (-0.5 + 2 * u - 1.5 * u2) + p1 * (-5 * u + 4.5 * u2) +
                       p2 * (0.5 + 4 * u - 4.5 * u2) + p3 * (-u + 1.5 * u2)) /
                      kStep;
  const double speed = rate * kDegreesPerRadian;

  return ChironPosition{normalize_degrees(lambda * kDegreesPerRadian - ayanamsa),
                        pyfloat::round(speed, 4), speed < 0.0};
}

std::optional<ChironPosition> position(double jd, double ayanamsa) {
  return interpolate(table(), jd, ayanamsa);
}

}  // namespace quorvane::chiron
