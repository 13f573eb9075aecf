#include "quorvane/events/saros.hpp"

#include "quorvane/events/saros_table.hpp"

namespace quorvane {
namespace {

// Anchors: the solar eclipse of 2017-08-21 is of series 145 and the lunar
// eclipse of 2025-03-14 of series 123 (NASA's eclipse catalogues, F. Espenak).
constexpr long kSolarAnchorLunation = 218;
constexpr int kSolarAnchorSeries = 145;
constexpr long kLunarAnchorLunation = 311;
constexpr int kLunarAnchorSeries = 123;
constexpr long kInexInverse = 38;  // 358 * 38 = 1 (mod 223)

}  // namespace

int saros_series(long lunation, bool solar) {
  const long anchor = solar ? kSolarAnchorLunation : kLunarAnchorLunation;
  long b = ((lunation - anchor) % 223 + 223) % 223 * kInexInverse % 223;
  if (b > 111) b -= 223;  // the nearer of the two inex counts
  return (solar ? kSolarAnchorSeries : kLunarAnchorSeries) + static_cast<int>(b);
}

std::optional<int> saros_member(long lunation, bool solar) {
  const auto table = saros_series_table(solar);
  const int series = saros_series(lunation, solar);
  const int first_series = table.front().series;
  if (series < first_series || series - first_series >= static_cast<int>(table.size())) return std::nullopt;
  const SarosSeries& row = table[static_cast<size_t>(series - first_series)];
  if (lunation < row.first_lunation || lunation > row.last_lunation) return std::nullopt;
  return static_cast<int>((lunation - row.first_lunation) / 223) + 1;
}

}  // namespace quorvane
