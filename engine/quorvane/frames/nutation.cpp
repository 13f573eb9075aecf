#include "quorvane/frames/nutation.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "generated/nutation_tables.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane::nutation {

namespace {

constexpr double kTurnArcsec = 1296000.0;

double centuries(double jd_tt) { return (jd_tt - kJ2000) / 36525.0; }

// Arcsec polynomial reduced to one turn, in radians.
double arcsec_angle(double arcsec) { return std::fmod(arcsec, kTurnArcsec) * kRadiansPerArcsecond; }

// Radians reduced to [0, 2 pi).
double turn(double radians) {
  const double r = std::fmod(radians, kTwoPi);
  return r < 0.0 ? r + kTwoPi : r;
}

// Mean longitudes of Mercury to Uranus (IERS Conventions 2003), radians:
// constant and rate per Julian century. The planetary nutation and the
// complementary terms share them; each takes its own Neptune.
constexpr double kPlanetLongitudes[7][2] = {
    {4.402608842, 2608.7903141574}, {3.176146697, 1021.3285546211}, {1.753470314, 628.3075849991},
    {6.203480913, 334.06124267},    {0.599546497, 52.9690962641},   {0.874016757, 21.329910496},
    {5.481293872, 7.4781598567},
};

double planet_longitude(int planet, double t) {
  return turn(kPlanetLongitudes[planet][0] + kPlanetLongitudes[planet][1] * t);
}

// The five Delaunay arguments l, l', F, D, Omega with their full polynomials.
std::array<double, 5> delaunay_full(double t) {
  return {
      arcsec_angle(485868.249036 + t * (1717915923.2178 + t * (31.8792 + t * (0.051635 + t * -0.00024470)))),
      arcsec_angle(1287104.79305 + t * (129596581.0481 + t * (-0.5532 + t * (0.000136 + t * -0.00001149)))),
      arcsec_angle(335779.526232 + t * (1739527262.8478 + t * (-12.7512 + t * (-0.001037 + t * 0.00000417)))),
      arcsec_angle(1072260.70369 + t * (1602961601.2090 + t * (-6.3706 + t * (0.006593 + t * -0.00003169)))),
      arcsec_angle(450160.398036 + t * (-6962890.5431 + t * (7.4722 + t * (0.007702 + t * -0.00005939)))),
  };
}

// The same arguments cut to constant and linear terms.
std::array<double, 5> delaunay_linear(double t) {
  return {
      arcsec_angle(485868.249036 + t * 1717915923.2178),
      arcsec_angle(1287104.79305 + t * 129596581.0481),
      arcsec_angle(335779.526232 + t * 1739527262.8478),
      arcsec_angle(1072260.70369 + t * 1602961601.2090),
      arcsec_angle(450160.398036 + t * -6962890.5431),
  };
}

// Two instants side by side: each lane goes through the same operations
// as a lone double would, so its bits are those of the one-instant series.
using Pair = double __attribute__((vector_size(16)));

// cos and sin of one angle (of each instant's).
template <class Real>
struct Phasor {
  Real c, s;
};
template <class Real>
inline Phasor<Real> operator*(Phasor<Real> a, Phasor<Real> b) {
  return {a.c * b.c - a.s * b.s, a.s * b.c + a.c * b.s};
}

Phasor<double> unit_phasor(double angle) { return {std::cos(angle), std::sin(angle)}; }
Phasor<Pair> unit_phasor(Pair angle) {
  const Phasor<double> a = unit_phasor(angle[0]), b = unit_phasor(angle[1]);
  return {Pair{a.c, b.c}, Pair{a.s, b.s}};
}

// Largest multiplier magnitude in each table.
constexpr int max_multiplier(const auto& terms) {
  int most = 0;
  for (const auto& term : terms)
    for (int m : term.multipliers) most = std::max(most, m < 0 ? -m : m);
  return most;
}
constexpr int kLunisolarMax = max_multiplier(tables::lunisolar);
constexpr int kPlanetaryMax = max_multiplier(tables::planetary);

// Unit phasors e^{ik angle_j} for k = -K..K.
template <int N, int K, class Real>
struct PowerTable {
  Phasor<Real> power[N][2 * K + 1];

  void fill(int j, Real angle) {
    Phasor<Real>* row = power[j] + K;
    row[0] = {Real{} + 1.0, Real{}};
    const Phasor<Real> z = unit_phasor(angle);
    for (int k = 1; k <= K; ++k) {
      row[k] = row[k - 1] * z;
      row[-k] = {row[k].c, -row[k].s};
    }
  }
  Phasor<Real> at(int j, int k) const { return power[j][K + k]; }
};

// A term's argument uses a few of the fundamental angles only (at most five
// of the luni-solar ones, six of the planetary ones, about three on
// average); its phasor is the product of those angles' powers alone, the
// unit factors of the others left out (multiplying by 1 changes no bit).
// Terms are grouped by how many factors they take, so each group's loop
// has a fixed length; within a group the smallest terms come first.
template <int Count>
struct SparseTerm {
  std::uint16_t term = 0;  // index in its table
  std::array<std::uint8_t, Count> index{};
  std::array<std::int8_t, Count> multiplier{};
};

constexpr int nonzero(const auto& term) {
  int used = 0;
  for (int m : term.multipliers) used += m != 0;
  return used;
}

template <int Count, const auto& Terms>
constexpr std::size_t count_with() {
  std::size_t n = 0;
  for (const auto& term : Terms) n += nonzero(term) == Count;
  return n;
}

template <int Count, const auto& Terms>
constexpr auto group_with() {
  std::array<SparseTerm<Count>, count_with<Count, Terms>()> out{};
  std::size_t n = 0;
  for (std::size_t i = Terms.size(); i-- > 0;) {
    if (nonzero(Terms[i]) != Count) continue;
    SparseTerm<Count>& entry = out[n++];
    entry.term = static_cast<std::uint16_t>(i);
    int used = 0;
    for (std::size_t j = 0; j < Terms[i].multipliers.size(); ++j) {
      const int m = Terms[i].multipliers[j];
      if (m == 0) continue;
      entry.index[used] = static_cast<std::uint8_t>(j);
      entry.multiplier[used] = static_cast<std::int8_t>(m);
      ++used;
    }
  }
  return out;
}

template <const auto& Terms, int... Counts>
constexpr bool groups_cover(std::integer_sequence<int, Counts...>) {
  return ((count_with<Counts, Terms>()) + ...) == Terms.size();
}

// The groups of one table, one per factor count.
using FactorCounts = std::integer_sequence<int, 1, 2, 3, 4, 5, 6>;
static_assert(groups_cover<tables::lunisolar>(FactorCounts{}));
static_assert(groups_cover<tables::planetary>(FactorCounts{}));

template <int Count, const auto& Terms>
inline constexpr auto kGroup = group_with<Count, Terms>();

template <int Count, class Powers>
auto phasor_of(const SparseTerm<Count>& entry, const Powers& powers) {
  auto z = powers.at(entry.index[0], entry.multiplier[0]);
  for (int k = 1; k < Count; ++k) z = z * powers.at(entry.index[k], entry.multiplier[k]);
  return z;
}

// The luni-solar terms of one group among the first `count`.
template <int Count, class Powers, class Real>
void add_lunisolar(const Powers& powers, int count, Real t, Real* dpsi, Real* deps) {
  const auto& group = kGroup<Count, tables::lunisolar>;
  // Larger indices come first: skip those past the count at once.
  const auto first = std::partition_point(group.begin(), group.end(),
                                          [count](const SparseTerm<Count>& e) { return e.term >= count; });
  for (auto entry_at = first; entry_at != group.end(); ++entry_at) {
    const SparseTerm<Count>& entry = *entry_at;
    const auto& term = tables::lunisolar[entry.term];
    const auto z = phasor_of(entry, powers);
    *dpsi += (term.a + term.a1 * t) * z.s + term.a2 * z.c;
    *deps += (term.b + term.b1 * t) * z.c + term.b2 * z.s;
  }
}

template <int Count, class Powers, class Real>
void add_planetary(const Powers& powers, Real* dpsi, Real* deps) {
  for (const SparseTerm<Count>& entry : kGroup<Count, tables::planetary>) {
    const auto& term = tables::planetary[entry.term];
    const auto z = phasor_of(entry, powers);
    *dpsi += term.longitude_sin * z.s + term.longitude_cos * z.c;
    *deps += term.obliquity_sin * z.s + term.obliquity_cos * z.c;
  }
}

// Planetary arguments: linear fits of l, F, D, Omega, the planets'
// mean longitudes and the general precession.
std::array<double, 13> planetary_arguments(double t) {
  return {
      turn(2.35555598 + 8328.6914269554 * t),
      turn(1.627905234 + 8433.466158131 * t),
      turn(5.198466741 + 7771.3771468121 * t),
      turn(2.18243920 - 33.757045 * t),
      planet_longitude(0, t),
      planet_longitude(1, t),
      planet_longitude(2, t),
      planet_longitude(3, t),
      planet_longitude(4, t),
      planet_longitude(5, t),
      planet_longitude(6, t),
      turn(5.321159 + 3.8127774 * t),
      (0.02438175 + 0.00000538691 * t) * t,
  };
}

// The series at one instant (Real = double) or two (Real = Pair), from the
// Julian centuries and the fundamental angles of each.
template <class Real>
std::pair<Real, Real> series_of(int count, bool planetary, Real t, const Real (&f)[5],
                                const Real (&p)[13]) {
  // Each term's argument is an integer combination of a few fundamental
  // angles, so (cos, sin) of it is a product of small powers of their unit
  // phasors: two libm calls per angle instead of two per term.
  PowerTable<5, kLunisolarMax, Real> ls;
  for (int j = 0; j < 5; ++j) ls.fill(j, f[j]);

  Real dpsi{}, deps{};
  [&]<int... Counts>(std::integer_sequence<int, Counts...>) {
    (add_lunisolar<Counts>(ls, count, t, &dpsi, &deps), ...);
  }(FactorCounts{});
  if (!planetary) return {dpsi, deps};

  PowerTable<13, kPlanetaryMax, Real> pl;
  for (int j = 0; j < 13; ++j) pl.fill(j, p[j]);
  Real ppsi{}, peps{};
  [&]<int... Counts>(std::integer_sequence<int, Counts...>) {
    (add_planetary<Counts>(pl, &ppsi, &peps), ...);
  }(FactorCounts{});
  return {dpsi + ppsi, deps + peps};
}

}  // namespace

std::pair<double, double> series(int lunisolar_terms, bool planetary, double jd_tt) {
  const double t = centuries(jd_tt);
  const int count = std::clamp(lunisolar_terms, 0, static_cast<int>(tables::lunisolar.size()));
  const std::array<double, 5> f = planetary ? delaunay_full(t) : delaunay_linear(t);
  double angles[5], p[13] = {};
  std::copy(f.begin(), f.end(), angles);
  if (planetary) {
    const std::array<double, 13> q = planetary_arguments(t);
    std::copy(q.begin(), q.end(), p);
  }
  return series_of<double>(count, planetary, t, angles, p);
}

std::array<std::pair<double, double>, 2> series_2000a(double jd_tt, double other_jd_tt) {
  const double t0 = centuries(jd_tt), t1 = centuries(other_jd_tt);
  const std::array<double, 5> f0 = delaunay_full(t0), f1 = delaunay_full(t1);
  const std::array<double, 13> p0 = planetary_arguments(t0), p1 = planetary_arguments(t1);
  Pair f[5], p[13];
  for (int j = 0; j < 5; ++j) f[j] = Pair{f0[j], f1[j]};
  for (int j = 0; j < 13; ++j) p[j] = Pair{p0[j], p1[j]};
  const auto [dpsi, deps] =
      series_of<Pair>(static_cast<int>(tables::lunisolar.size()), true, Pair{t0, t1}, f, p);
  return {{{dpsi[0], deps[0]}, {dpsi[1], deps[1]}}};
}

std::pair<double, double> iau2000b(double jd_tt) {
  // The offsets in 0.1 uas: -0.135 mas in longitude, +0.388 mas in obliquity.
  constexpr double kDpsiOffset = -1350.0;
  constexpr double kDepsOffset = 3880.0;
  const auto [dpsi, deps] = series(77, false, jd_tt);
  return {dpsi + kDpsiOffset, deps + kDepsOffset};
}

double equation_of_the_equinoxes_complementary_terms(double jd_tt) {
  const double t = centuries(jd_tt);
  const std::array<double, 5> d = delaunay_full(t);
  const double f[14] = {
      turn(d[0]),
      turn(d[1]),
      turn(d[2]),
      turn(d[3]),
      turn(d[4]),
      planet_longitude(0, t),
      planet_longitude(1, t),
      planet_longitude(2, t),
      planet_longitude(3, t),
      planet_longitude(4, t),
      planet_longitude(5, t),
      planet_longitude(6, t),
      turn(5.311886287 + 3.8133035638 * t),
      turn((0.02438175 + 0.00000538691 * t) * t),
  };
  const auto argument = [&f](const tables::ComplementaryTerm& term) {
    double a = 0.0;
    for (int j = 0; j < 14; ++j) a += term.multipliers[j] * f[j];
    return a;
  };
  double s0 = 0.0;
  for (int i = static_cast<int>(tables::complementary.size()) - 1; i >= 0; --i) {
    const auto& term = tables::complementary[i];
    const double a = argument(term);
    s0 += term.sine * std::sin(a) + term.cosine * std::cos(a);
  }
  const auto& first = tables::complementary_first_order;
  const double a1 = argument(first);
  const double s1 = first.sine * std::sin(a1) + first.cosine * std::cos(a1);
  return (s0 + s1 * t) * kRadiansPerArcsecond;
}

}  // namespace quorvane::nutation
