// Returns and the transit timeline against the exact positions: every
// moment they give is checked where it lies, and a fine brute-force scan
// of exact positions must find nothing they missed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/predictive/returns.hpp"
#include "quorvane/predictive/timeline.hpp"
#include "quorvane/zodiac/zodiac.hpp"
#include "support.hpp"

namespace {

using namespace quorvane;

constexpr double kArcsecond = 1.0 / 3600.0;

const KernelSet* kernels_or_skip() { return quorvane::testing::de440(); }

double exact(const LongitudeSource& source, int32_t code, double jd) {
  auto value = source.longitude(code, jd);
  EXPECT_TRUE(value.has_value());
  return value ? *value : 0.0;
}

TEST(SampledTrack, ReadsEveryBodyAwayFromTheSunAsTheExactPositions) {
  const KernelSet* kernels = kernels_or_skip();
  if (!kernels) GTEST_SKIP() << "no real kernel";
  const LongitudeSource source(*kernels, {});
  std::mt19937_64 rng(27);
  std::uniform_real_distribution<double> start(2415020.0, 2488070.0);  // 1900 to 2100
  for (int round = 0; round < 3; ++round) {
    const double from = start(rng), to = from + 200.0;
    for (const Body& body : kKernelBodies) {
      auto tracks = sample_tracks(source, std::span<const int32_t>(&body.naif_code, 1), from, to,
                                  sampling_step(body.naif_code));
      ASSERT_TRUE(tracks.has_value());
      std::uniform_real_distribution<double> moment(from, to);
      for (int k = 0; k < 40; ++k) {
        const double t = moment(rng);
        const double read = normalize_degrees(tracks->front().at(t));
        const double at = exact(source, body.naif_code, t);
        // Near the Sun the searches use the positions themselves.
        if (body.naif_code != 10 && std::fabs(signed_difference(exact(source, 10, t), at)) < 4.0) continue;
        EXPECT_LT(std::fabs(signed_difference(read, at)), 2e-3 * kArcsecond) << body.name << " at " << t;
      }
    }
  }
}

TEST(Returns, EachIsExactAndAFineScanFindsNoOther) {
  const KernelSet* kernels = kernels_or_skip();
  if (!kernels) GTEST_SKIP() << "no real kernel";
  std::mt19937_64 rng(2027);
  std::uniform_real_distribution<double> start(2433282.0, 2469807.0);  // 1950 to 2050
  std::uniform_real_distribution<double> degrees(0.0, 360.0);
  for (const char* zodiac : {"tropical", "sidereal"}) {
    const LongitudeSource source(*kernels, ZodiacChoice::from_texts(zodiac, "lahiri"));
    for (const Body& body : kKernelBodies) {
      const double from = start(rng), to = from + 120.0, natal = degrees(rng);
      auto found = return_moments(source, body.naif_code, natal, from, to);
      ASSERT_TRUE(found.has_value());
      for (double jd : *found) {
        EXPECT_LT(std::fabs(signed_difference(exact(source, body.naif_code, jd), natal)),
                  0.01 * kArcsecond) << body.name;
      }
      // Brute force: sign changes of the offset from natal at a quarter-day
      // step (0.05 day for the Moon), away from the wrap at 180 degrees.
      const double step = body.naif_code == 301 ? 0.05 : 0.25;
      size_t expected = 0;
      double previous = signed_difference(exact(source, body.naif_code, from), natal);
      for (double t = from + step; t <= to; t += step) {
        const double now = signed_difference(exact(source, body.naif_code, t), natal);
        if ((previous < 0.0) != (now < 0.0) && std::fabs(now - previous) < 90.0) ++expected;
        previous = now;
      }
      EXPECT_GE(found->size(), expected) << body.name << " " << zodiac;
      EXPECT_LE(found->size(), expected + 2) << body.name << " " << zodiac;  // tangential double passes
    }
  }
}

TEST(Returns, NextSolarAndLunarReturnsFollowTheStart) {
  const KernelSet* kernels = kernels_or_skip();
  if (!kernels) GTEST_SKIP() << "no real kernel";
  const LongitudeSource source(*kernels, {});
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> start(2440000.0, 2470000.0);
  std::uniform_real_distribution<double> degrees(0.0, 360.0);
  for (int k = 0; k < 40; ++k) {
    const int32_t code = k % 2 ? 301 : 10;
    const double after = start(rng), natal = degrees(rng);
    auto next = next_return(source, code, natal, after, 400.0);
    ASSERT_TRUE(next.has_value());
    EXPECT_GE(*next, after);
    EXPECT_LT(std::fabs(signed_difference(exact(source, code, *next), natal)), 0.01 * kArcsecond);
    // Nothing earlier: the list over the gap holds only this one.
    auto between = return_moments(source, code, natal, after, *next + 0.01);
    ASSERT_TRUE(between.has_value());
    ASSERT_EQ(between->size(), 1u);
    EXPECT_NEAR(between->front(), *next, 1e-7);
  }
}

// Exact longitudes at a fine step, the brute force the timeline must match.
std::vector<double> fine_scan(const LongitudeSource& source, int32_t code, double from, double to,
                              double step) {
  const int n = static_cast<int>(std::ceil((to - from) / step));
  std::vector<double> out;
  for (int i = 0; i <= n; ++i) out.push_back(exact(source, code, i == n ? to : from + i * step));
  return out;
}

size_t sign_changes(const std::vector<double>& scan, double target) {
  size_t count = 0;
  for (size_t i = 1; i < scan.size(); ++i) {
    const double before = signed_difference(scan[i - 1], target);
    const double now = signed_difference(scan[i], target);
    if ((before < 0.0) != (now < 0.0) && std::fabs(now - before) < 90.0) ++count;
  }
  return count;
}

TEST(TransitTimeline, FindsWhatAFineScanFindsAndEachMomentIsExact) {
  const KernelSet* kernels = kernels_or_skip();
  if (!kernels) GTEST_SKIP() << "no real kernel";
  const LongitudeSource source(*kernels, {});
  std::mt19937_64 rng(4);
  std::uniform_real_distribution<double> degrees(0.0, 360.0);
  // Random spans, and one over Mercury's retrograde of 2024 April
  // (stationary on the 1st and the 25th) with a natal point inside its loop.
  std::vector<double> starts = {2460380.5, 2451000.0 + 3000.0 * std::uniform_real_distribution<double>(0, 1)(rng),
                                2445000.0 + 3000.0 * std::uniform_real_distribution<double>(0, 1)(rng)};
  for (size_t round = 0; round < starts.size(); ++round) {
    TimelineRequest request;
    request.start = starts[round];
    request.end = request.start + 60.0;
    request.bodies = {"Moon", "Mercury", "Venus", "Mars"};
    const double loop = exact(source, 199, 2460412.5);
    request.natal = {{"Sun", round == 0 ? loop : degrees(rng)}, {"Mars", degrees(rng)}};
    std::array<double, 12> cusps{};
    const double first = degrees(rng);
    for (int i = 0; i < 12; ++i) cusps[i] = normalize_degrees(first + 30.0 * i + 5.0 * std::sin(i));
    request.natal_cusps = cusps;
    auto timeline = transit_timeline(*kernels, request);
    ASSERT_TRUE(timeline.has_value());

    for (const std::string& body : request.bodies) {
      const int32_t code = *kernel_body_code(body);
      const double step = code == 301 ? 0.02 : 0.1;
      const std::vector<double> scan = fine_scan(source, code, request.start, request.end, step);
      // Ingresses: each exact, and as many as the scan sees.
      for (const auto* list : {&timeline->sign_ingresses, &timeline->house_ingresses}) {
        const bool houses = list == &timeline->house_ingresses;
        for (int i = 0; i < 12; ++i) {
          const double boundary = houses ? cusps[i] : 30.0 * i;
          size_t found = 0;
          for (const Ingress& ingress : *list) {
            if (ingress.body != body) continue;
            const double at = exact(source, code, ingress.jd);
            if (std::fabs(signed_difference(at, boundary)) < 1e-6) ++found;
          }
          EXPECT_EQ(found, sign_changes(scan, boundary))
              << body << (houses ? " house cusp " : " sign ") << i;
        }
      }
      // Aspect passes: exact hits at zero deviation, edges at the orb, and
      // every hit the scan sees.
      for (const Point& natal : request.natal) {
        for (const AspectKind& aspect : kAspectTable) {
          for (double sign : {1.0, -1.0}) {
            if (sign < 0 && (aspect.angle == 0.0 || aspect.angle == 180.0)) continue;
            const double target = normalize_degrees(natal.longitude + sign * aspect.angle);
            size_t hits = 0;
            for (const AspectPass& pass : timeline->aspects) {
              if (pass.body != body || pass.natal != natal.name || pass.aspect != &aspect ||
                  std::fabs(signed_difference(pass.target, target)) > 1e-9) {
                continue;
              }
              for (double jd : pass.exact) {
                EXPECT_LT(std::fabs(signed_difference(exact(source, code, jd), target)), 1e-6);
                ++hits;
              }
              for (const auto& edge : {pass.enters, pass.leaves}) {
                if (!edge) continue;
                EXPECT_NEAR(std::fabs(signed_difference(exact(source, code, *edge), target)), pass.orb, 1e-6);
              }
            }
            EXPECT_EQ(hits, sign_changes(scan, target))
                << body << " " << aspect.name << " " << natal.name;
          }
        }
      }
      // Stations: zero speed, and one per change of direction in the scan.
      size_t stations = 0;
      for (const StationMoment& s : timeline->stations) {
        if (s.body != body) continue;
        ++stations;
        const double h = 0.01;
        const double speed =
            signed_difference(exact(source, code, s.jd + h), exact(source, code, s.jd - h)) / (2 * h);
        EXPECT_LT(std::fabs(speed), 1e-5) << body;
      }
      size_t turns = 0;
      for (size_t i = 2; i < scan.size(); ++i) {
        const double before = signed_difference(scan[i - 1], scan[i - 2]);
        const double now = signed_difference(scan[i], scan[i - 1]);
        if ((before < 0.0) != (now < 0.0)) ++turns;
      }
      EXPECT_EQ(stations, turns) << body;
    }
    if (round == 0) {
      const bool triple = std::any_of(timeline->aspects.begin(), timeline->aspects.end(),
                                      [](const AspectPass& p) {
                                        return p.body == "Mercury" && p.natal == "Sun" &&
                                               p.aspect->angle == 0.0 && p.exact.size() == 3;
                                      });
      EXPECT_TRUE(triple) << "Mercury's retrograde loop over the natal Sun";
    }
  }
}

}  // namespace
