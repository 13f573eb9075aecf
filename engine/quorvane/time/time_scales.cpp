#include "quorvane/time/time_scales.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "generated/delta_t_block.hpp"
#include "quorvane/base/byte_order.hpp"
#include "quorvane/base/pyfloat.hpp"

namespace quorvane {

namespace {

constexpr double kSecondsPerDay = 86400.0;

// Bounds-checked reader of the little-endian block.
class Reader {
 public:
  Reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  bool has(std::size_t bytes) const { return bytes <= size_ - pos_; }

  uint32_t u32() {
    const uint32_t v = load_u32(data_ + pos_);
    pos_ += 4;
    return v;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  double f64() {
    const double v = load_f64(data_ + pos_);
    pos_ += 8;
    return v;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<DeltaT> DeltaT::decode(const unsigned char* data, std::size_t size) {
  Reader in(data, size);
  if (!in.has(8)) return std::nullopt;
  const uint32_t n = in.u32();
  const uint32_t m = in.u32();
  if (!in.has(std::size_t{m} * 12)) return std::nullopt;
  std::vector<std::pair<uint32_t, double>> runs(m);
  for (auto& run : runs) {
    run.first = in.u32();
    run.second = in.f64();
  }
  // The first run must start the table and starts must ascend, or some
  // points would have no grid offset.
  if (n > 0 && (runs.empty() || runs.front().first != 0)) return std::nullopt;
  for (std::size_t r = 1; r < runs.size(); ++r)
    if (runs[r].first <= runs[r - 1].first) return std::nullopt;
  if (!in.has(std::size_t{n} * 4 + 4)) return std::nullopt;

  DeltaT table;
  table.points.resize(n);
  table.values.resize(n);
  std::size_t run = 0;
  for (uint32_t i = 0; i < n; ++i) {
    while (run + 1 < runs.size() && runs[run + 1].first <= i) ++run;
    table.points[i] = static_cast<double>(i) + runs[run].second;
    table.values[i] = pyfloat::round(static_cast<double>(in.i32()) / 1e7, 7);
  }
  const uint32_t k = in.u32();
  if (!in.has(std::size_t{k} * 48)) return std::nullopt;
  table.segments.resize(k);
  for (auto& segment : table.segments)
    for (double& field : segment) field = in.f64();
  return table;
}

double DeltaT::at(double jd) const {
  if (!points.empty() && jd >= points.front() && jd <= points.back()) {
    if (jd == points.back()) return values.back();
    // Last point <= jd; jd < last point, so i + 1 exists.
    const auto i = static_cast<std::size_t>(
        std::upper_bound(points.begin(), points.end(), jd) - points.begin() - 1);
    return values[i] + (jd - points[i]) * (values[i + 1] - values[i]) / (points[i + 1] - points[i]);
  }
  if (segments.empty()) return 0.0;
  const double year = (jd - 1721045.0) / 365.25;
  std::size_t s;
  if (year <= segments.front()[0]) {
    s = 0;
  } else if (year >= segments.back()[0]) {
    s = segments.size() - 1;
  } else {
    // First segment whose start exceeds the year, minus one.
    s = static_cast<std::size_t>(
        std::upper_bound(segments.begin(), segments.end(), year,
                         [](double y, const std::array<double, 6>& seg) { return y < seg[0]; }) -
        segments.begin() - 1);
  }
  const auto& [start, end, a3, a2, a1, a0] = segments[s];
  const double t = (year - start) / (end - start);
  return ((a3 * t + a2) * t + a1) * t + a0;
}

const DeltaT& delta_t() {
  // Function-local static: C++ guarantees one initialisation even when
  // several threads arrive first at once.
  static const DeltaT table = [] {
    auto decoded = DeltaT::decode(generated::delta_t_block, generated::delta_t_block_size);
    if (!decoded) {
      std::fputs("quorvane: embedded Delta T block is truncated\n", stderr);
      std::abort();
    }
    return std::move(*decoded);
  }();
  return table;
}

double tdb_minus_tt(double jd_tt) {
  const double t = (jd_tt - kJ2000) / 36525.0;
  // The annual terms share one angle x = 628.3076 t (the semi-annual one is
  // 2x): one sine and cosine for three terms, by the addition formulas.
  const double x = 628.3076 * t;
  const double sx = std::sin(x), cx = std::cos(x);
  const double s2x = 2.0 * sx * cx, c2x = (cx - sx) * (cx + sx);
  const auto shifted = [](double s, double c, double phase) {
    return s * std::cos(phase) + c * std::sin(phase);  // sin(angle + phase)
  };
  return 0.001657 * shifted(sx, cx, 6.2401) + 0.000022 * std::sin(575.3385 * t + 4.2970) +
         0.000014 * shifted(s2x, c2x, 6.1969) + 0.000005 * std::sin(606.9777 * t + 4.0212) +
         0.000005 * std::sin(52.9691 * t + 0.4444) + 0.000002 * std::sin(21.3299 * t + 5.5431) +
         0.000010 * t * shifted(sx, cx, 4.2490);
}

double tdb_minus_tt_rate(double jd_tt) {
  const double t = (jd_tt - kJ2000) / 36525.0;
  const double x = 628.3076 * t;
  const double sx = std::sin(x), cx = std::cos(x);
  const double s2x = 2.0 * sx * cx, c2x = (cx - sx) * (cx + sx);
  // d/dt of a sin(n x + phase) is a n x' cos(n x + phase), per century.
  const auto shifted_cos = [](double s, double c, double phase) {
    return c * std::cos(phase) - s * std::sin(phase);  // cos(angle + phase)
  };
  const double per_century =
      628.3076 * (0.001657 * shifted_cos(sx, cx, 6.2401) + 2.0 * 0.000014 * shifted_cos(s2x, c2x, 6.1969) +
                  0.000010 * t * shifted_cos(sx, cx, 4.2490)) +
      0.000010 * (sx * std::cos(4.2490) + cx * std::sin(4.2490));
  return per_century / 36525.0;
}

Time Time::from_ut1(double jd_ut1) {
  const DeltaT& table = delta_t();
  // The table is keyed by TT: look again at the approximate TT.
  const double first = table.at(jd_ut1);
  const double dt = table.at(jd_ut1 + first / kSecondsPerDay);
  Time time;
  time.whole = jd_ut1;
  time.tt_fraction = dt / kSecondsPerDay;
  time.ut1_fraction = 0.0;
  time.tdb_fraction = time.tt_fraction + tdb_minus_tt(time.whole + time.tt_fraction) / kSecondsPerDay;
  return time;
}

Time Time::from_tt(double whole, double fraction) {
  Time time;
  time.whole = whole;
  time.tt_fraction = fraction;
  time.tdb_fraction = fraction + tdb_minus_tt(whole + fraction) / kSecondsPerDay;
  time.ut1_fraction = fraction - delta_t().at(whole + fraction) / kSecondsPerDay;
  return time;
}

}  // namespace quorvane
