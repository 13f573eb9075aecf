#include "quorvane/horary/judgment.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "quorvane/astronomy/planets.hpp"
#include "quorvane/zodiac/zodiac.hpp"
#include "support.hpp"

namespace {

using quorvane::AspectTiming;
using quorvane::Json;
using quorvane::Judgment;
using quorvane::JudgmentInput;
using quorvane::KernelSet;
using quorvane::MovingBody;
using quorvane::Placement;
using quorvane::next_aspect;

// ---------------------------------------------------------------------------
// next_aspect against stepping the two bodies forward

struct Found {
  std::string_view aspect;
  double days;
};

// The first exact aspect met by stepping both bodies at their speeds, before
// either crosses into another sign (whose time lands in `exit_time`).
std::optional<Found> stepped_aspect(const MovingBody& x, const MovingBody& y, double* exit_time) {
  static const std::pair<double, std::string_view> targets[] = {
      {0, "Conjunction"}, {60, "Sextile"}, {-60, "Sextile"}, {90, "Square"},
      {-90, "Square"},    {120, "Trine"},  {-120, "Trine"},  {180, "Opposition"}};
  auto sign_at = [](double l) { return std::floor(l / 30.0); };
  auto inside = [&](double t) {
    return sign_at(x.longitude + x.speed * t) == sign_at(x.longitude) &&
           sign_at(y.longitude + y.speed * t) == sign_at(y.longitude);
  };
  // Relative angle minus the target, folded into (-180, 180].
  auto off = [&](double t, double target) {
    const double d = std::fmod(x.longitude - y.longitude + (x.speed - y.speed) * t - target, 360.0);
    return d <= -180.0 ? d + 360.0 : d > 180.0 ? d - 360.0 : d;
  };
  // Shrinks [lo, hi] onto the point where `same_as_lo` stops holding.
  auto bisect = [](double lo, double hi, auto same_as_lo) {
    for (int k = 0; k < 200 && hi - lo > 1e-14 * std::max(1.0, hi); ++k) {
      const double mid = 0.5 * (lo + hi);
      (same_as_lo(mid) ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
  };
  const double dt =
      0.25 / std::max({std::fabs(x.speed - y.speed), std::fabs(x.speed), std::fabs(y.speed)});
  std::optional<Found> best;
  for (double t0 = 0.0; t0 < 1e7; t0 += dt) {
    const double t1 = t0 + dt;
    double end = t1;
    *exit_time = std::numeric_limits<double>::infinity();
    if (!inside(t1)) end = *exit_time = bisect(t0, t1, inside);
    for (const auto& [angle, name] : targets) {
      const double f0 = off(t0, angle), f1 = off(end, angle);
      // A true crossing is slow; a fold jumps by nearly 360.
      if (std::fabs(f0 - f1) > 90.0 || (f0 < 0.0) == (f1 < 0.0)) continue;
      const double root = bisect(t0, end, [&](double t) { return (off(t, angle) < 0.0) == (f0 < 0.0); });
      if (root > 1e-9 && (!best || root < best->days)) best = Found{name, root};
    }
    if (best || end < t1) break;
  }
  return best;
}

double planet_like_speed(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> kind(0, 6);
  auto between = [&](double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(rng); };
  switch (kind(rng)) {
    case 0: return between(11.8, 15.2);   // Moon
    case 1: return between(0.95, 1.02);   // Sun
    case 2: return between(-1.4, 2.2);    // Mercury, retrograde too
    case 3: return between(-0.65, 1.27);  // Venus
    case 4: return between(-0.4, 0.8);    // Mars
    case 5: return between(-0.14, 0.25);  // Jupiter
    default: return between(-0.08, 0.13); // Saturn
  }
}

double random_longitude(std::mt19937_64& rng) {
  std::uniform_real_distribution<> any(0.0, 360.0);
  std::uniform_int_distribution<int> sign(0, 11), edge(0, 3);
  std::uniform_real_distribution<> near(0.0, 0.2);
  switch (edge(rng)) {
    case 0: return sign(rng) * 30.0 + 30.0 - near(rng) - 1e-9;  // about to leave
    case 1: return sign(rng) * 30.0 + near(rng) + 1e-9;         // just arrived
    default: return any(rng);
  }
}

TEST(NextAspect, AgreesWithSteppingTheBodies) {
  std::mt19937_64 rng(20240611);
  int found = 0, compared = 0, retrograde = 0;
  for (int i = 0; i < 3000; ++i) {
    const MovingBody x{"X", random_longitude(rng), planet_like_speed(rng)};
    const MovingBody y{"Y", random_longitude(rng), planet_like_speed(rng)};
    if (std::fabs(x.speed - y.speed) < 1e-6) continue;
    double exit_time = 0.0;
    const auto stepped = stepped_aspect(x, y, &exit_time);
    // A perfection falling on the very moment one of them changes sign is
    // a coin toss between the two methods.
    if (stepped && std::fabs(stepped->days - exit_time) < 1e-6) continue;
    const auto closed = next_aspect(x, y);
    ++compared;
    ASSERT_EQ(closed.has_value(), stepped.has_value())
        << "x " << x.longitude << " @" << x.speed << " y " << y.longitude << " @" << y.speed;
    if (!closed) continue;
    ++found;
    if (x.speed < 0.0 || y.speed < 0.0) ++retrograde;
    EXPECT_EQ(closed->aspect, stepped->aspect) << x.longitude << " " << y.longitude;
    EXPECT_NEAR(closed->days, stepped->days, 1e-6) << x.longitude << " " << y.longitude;
    EXPECT_NEAR(closed->degrees, std::fabs(x.speed - y.speed) * stepped->days, 1e-6);
  }
  // The sample must exercise both outcomes and retrograde perfections.
  EXPECT_GT(compared, 2500);
  EXPECT_GT(found, 300);
  EXPECT_LT(found, compared - 300);
  EXPECT_GT(retrograde, 50);
}

TEST(NextAspect, WorkedExamples) {
  // The conjunction would fall exactly when both leave the sign.
  EXPECT_FALSE(next_aspect({"X", 10.0, 1.0}, {"Y", 20.0, 0.5}));

  const auto sextile = next_aspect({"X", 0.0, 1.0}, {"Y", 70.0, 0.5});
  ASSERT_TRUE(sextile);
  EXPECT_EQ(sextile->aspect, "Sextile");
  EXPECT_DOUBLE_EQ(sextile->days, 20.0);
  EXPECT_DOUBLE_EQ(sextile->degrees, 10.0);

  // Equal speeds never close the gap; a NaN speed gives nothing either.
  EXPECT_FALSE(next_aspect({"X", 10.0, 0.7}, {"Y", 15.0, 0.7}));
  EXPECT_FALSE(next_aspect({"X", 10.0, std::nan("")}, {"Y", 15.0, 0.7}));
  // Exact now is not "next".
  EXPECT_FALSE(next_aspect({"X", 15.0, 1.0}, {"Y", 15.0, 0.5}));

  // Run backwards: the conjunction 20 days ago, after both entered their signs.
  const auto last = quorvane::last_aspect({"X", 25.0, 1.0}, {"Y", 15.0, 0.5});
  ASSERT_TRUE(last);
  EXPECT_EQ(last->aspect, "Conjunction");
  EXPECT_DOUBLE_EQ(last->days, 20.0);
  // ... but not when X was still in the previous sign then.
  EXPECT_FALSE(quorvane::last_aspect({"X", 15.0, 1.0}, {"Y", 5.0, 0.5}));
}

TEST(NextAspect, CuspSigns) {
  const std::vector<double> cusps{0.0, 29.999999, 30.0, -0.5, 360.0, 725.0, std::nan("")};
  const auto signs = quorvane::cusp_signs(cusps);
  const std::vector<std::string_view> expected{"Aries",  "Aries", "Taurus", "Pisces",
                                               "Aries",  "Aries", "Aries"};
  EXPECT_EQ(signs, expected);
}

// ---------------------------------------------------------------------------
// judge over hand-made placements

Placement body(const std::string& name, double longitude, double speed) {
  Placement p;
  p.name = name;
  p.ecliptic_longitude = longitude;
  p.speed = speed;
  return p;
}

// The signs on the twelve cusps of a whole-sign chart rising in `first`.
std::vector<std::string_view> whole_signs(int first) {
  std::vector<std::string_view> out;
  for (int i = 0; i < 12; ++i) out.push_back(quorvane::kSigns[(first + i) % 12].name);
  return out;
}

struct Case {
  std::vector<Placement> placements;
  std::vector<std::string_view> cusps;
  std::vector<quorvane::Reception> receptions;
  std::optional<uint8_t> house;

  Judgment judge(const KernelSet& kernels = KernelSet()) const {
    JudgmentInput in;
    in.quesited_house = house;
    in.placements = placements;
    in.cusp_signs = cusps;
    in.jd = 2451545.0;
    in.ascendant_sign = cusps.empty() ? std::string_view("Aries") : cusps.front();
    in.receptions = receptions;
    return quorvane::judge(kernels, in);
  }
};

TEST(Judge, Significators) {
  Case aries{{body("Mars", 5, 0.6), body("Venus", 100, 1.1), body("Moon", 200, 13)},
             whole_signs(0), {}, 7};
  Judgment j = aries.judge();
  EXPECT_EQ(j.querent, "Mars");
  EXPECT_EQ(j.co_significator, "Moon");
  EXPECT_EQ(j.quesited, "Venus");
  EXPECT_FALSE(j.same_significator);

  // Cancer rising with Aries on the 10th.
  Case cancer{{body("Moon", 95, 13), body("Mars", 200, 0.6)}, whole_signs(3), {}, 10};
  j = cancer.judge();
  EXPECT_EQ(j.querent, "Moon");
  EXPECT_EQ(j.quesited, "Mars");

  // An unknown Ascendant sign falls back to Mars.
  JudgmentInput odd;
  odd.ascendant_sign = "Ophiuchus";
  EXPECT_EQ(quorvane::judge(KernelSet(), odd).querent, "Mars");
}

TEST(Judge, NoQuesitedLeavesEverythingEmpty) {
  const std::vector<Placement> sky{body("Mars", 5, 0.6), body("Venus", 10, 1.1),
                                   body("Moon", 2, 13)};
  for (std::optional<uint8_t> house : {std::optional<uint8_t>(13), std::optional<uint8_t>(0),
                                       std::optional<uint8_t>()}) {
    Case c{sky, whole_signs(0), {}, house};
    const Judgment j = c.judge();
    EXPECT_EQ(j.quesited_house, house);
    EXPECT_FALSE(j.quesited);
    EXPECT_FALSE(j.moon_perfection);
    EXPECT_FALSE(j.perfection);
    EXPECT_EQ(quorvane::to_json_tree(j)["quesited_house"],
              house ? Json(*house) : Json(nullptr));
  }
  // House 7 when the chart has only six cusps.
  Case short_list{sky, {"Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo"}, {}, 7};
  EXPECT_FALSE(short_list.judge().quesited);
  // A quesited with no placement: the lord is named but nothing is judged.
  Case missing{{body("Mars", 5, 0.6), body("Moon", 2, 13)}, whole_signs(0), {}, 7};
  const Judgment j = missing.judge();
  EXPECT_EQ(j.quesited, "Venus");
  EXPECT_FALSE(j.moon_perfection);
}

TEST(Judge, SameSignificatorOnlyJudgesTheMoon) {
  Case c{{body("Mars", 20, 0.6), body("Moon", 5, 13), body("Venus", 21, 1.2)},
         whole_signs(0), {}, 1};
  const Judgment j = c.judge();
  EXPECT_TRUE(j.same_significator);
  ASSERT_TRUE(j.moon_perfection);
  EXPECT_EQ(j.moon_perfection->applying, "Moon");
  EXPECT_EQ(j.moon_perfection->to, "Mars");
  EXPECT_EQ(j.moon_perfection->aspect, "Conjunction");
  EXPECT_DOUBLE_EQ(j.moon_perfection->degrees, 15.0);
  EXPECT_DOUBLE_EQ(j.moon_perfection->days, 1.21);  // 15 / 12.4
  EXPECT_FALSE(j.perfection);
  EXPECT_TRUE(j.translation.empty() && j.collection.empty());

  // The Moon as quesited (Cancer on the 4th of an Aries chart) has no
  // perfection with herself.
  Case moon{{body("Mars", 20, 0.6), body("Moon", 5, 13)}, whole_signs(0), {}, 4};
  EXPECT_EQ(moon.judge().quesited, "Moon");
  EXPECT_FALSE(moon.judge().moon_perfection);
}

TEST(Judge, PerfectionAppliesFromTheFasterBody) {
  // Mars (querent) at 5° Aries, Venus (quesited) at 1° Aries, faster.
  Case c{{body("Mars", 5, 0.5), body("Venus", 1, 1.5)}, whole_signs(0), {}, 7};
  Judgment j = c.judge();
  ASSERT_TRUE(j.perfection);
  EXPECT_EQ(j.perfection->applying, "Venus");
  EXPECT_EQ(j.perfection->to, "Mars");
  EXPECT_DOUBLE_EQ(j.perfection->days, 4.0);
  EXPECT_DOUBLE_EQ(j.perfection->degrees, 4.0);

  // Equal absolute speeds (one retrograde): the querent applies.
  c.placements = {body("Mars", 5, 1.0), body("Venus", 15, -1.0)};
  j = c.judge();
  ASSERT_TRUE(j.perfection);
  EXPECT_EQ(j.perfection->applying, "Mars");
  EXPECT_EQ(j.perfection->to, "Venus");
  EXPECT_DOUBLE_EQ(j.perfection->days, 5.0);
}

TEST(Judge, ReceptionsBetweenTheSignificators) {
  const std::vector<quorvane::Reception> receptions = {
      {"Mars", "Venus", {"domicile"}, false, std::nullopt},
      {"Mars", "Sun", {"face"}, false, std::nullopt},
      {"Venus", "Mars", {"bound"}, false, "Square"},
  };
  Case c{{body("Mars", 35, 0.5), body("Venus", 5, 1.2)}, whole_signs(0), receptions, 7};
  const Judgment j = c.judge();
  ASSERT_EQ(j.receptions.size(), 2u);
  EXPECT_EQ(j.receptions[0].receiver, "Venus");
  EXPECT_EQ(j.receptions[1].planet, "Venus");
  EXPECT_EQ(j.receptions[1].aspect, "Square");
}

TEST(Judge, TranslationOfLight) {
  // Mars (querent) 10° Aries and Venus (quesited) 20° Gemini do not meet
  // within their signs. Mercury, faster than both, left Mars' conjunction
  // 1.33 days ago and reaches Venus' sextile in 5.7 days, still in Aries.
  Case c{{body("Mars", 10, 0.5), body("Venus", 80, 0.6), body("Mercury", 12, 2.0)},
         whole_signs(0), {}, 7};
  Judgment j = c.judge();
  ASSERT_FALSE(j.perfection);
  ASSERT_EQ(j.translation.size(), 1u);
  EXPECT_EQ(j.translation[0].by, "Mercury");
  EXPECT_EQ(j.translation[0].from, "Mars");
  EXPECT_EQ(j.translation[0].from_aspect, "Conjunction");
  EXPECT_EQ(j.translation[0].to, "Venus");
  EXPECT_EQ(j.translation[0].to_aspect, "Sextile");
  EXPECT_TRUE(j.collection.empty());
  EXPECT_FALSE(j.prohibition);
  EXPECT_FALSE(j.refranation);

  // The same light carried the other way: from the quesited to the querent.
  c.placements = {body("Mars", 80, 0.6), body("Venus", 10, 0.5), body("Mercury", 12, 2.0)};
  j = c.judge();
  ASSERT_EQ(j.translation.size(), 1u);
  EXPECT_EQ(j.translation[0].from, "Venus");
  EXPECT_EQ(j.translation[0].from_aspect, "Conjunction");
  EXPECT_EQ(j.translation[0].to, "Mars");
  EXPECT_EQ(j.translation[0].to_aspect, "Sextile");

  // Several translators are listed in Chaldean order: the Moon after Mercury.
  c.placements = {body("Mars", 10, 0.5), body("Venus", 80, 0.6), body("Moon", 14, 13.0),
                  body("Mercury", 12, 2.0)};
  j = c.judge();
  ASSERT_EQ(j.translation.size(), 2u);
  EXPECT_EQ(j.translation[0].by, "Mercury");
  EXPECT_EQ(j.translation[1].by, "Moon");
  EXPECT_EQ(j.translation[1].to_aspect, "Sextile");

  // A translator must outpace both significators.
  c.placements = {body("Mars", 10, 0.5), body("Venus", 80, 2.5), body("Mercury", 12, 2.0)};
  EXPECT_TRUE(c.judge().translation.empty());
}

TEST(Judge, CollectionOfLight) {
  // Mars and Venus never meet in their signs; slow Saturn at 25° Aries
  // receives Mars' conjunction and Venus' sextile.
  Case c{{body("Mars", 10, 0.5), body("Venus", 80, 0.6), body("Saturn", 25, 0.03)},
         whole_signs(0), {}, 7};
  const Judgment j = c.judge();
  ASSERT_FALSE(j.perfection);
  ASSERT_EQ(j.collection.size(), 1u);
  EXPECT_EQ(j.collection[0].by, "Saturn");
  EXPECT_EQ(j.collection[0].querent_aspect, "Conjunction");
  EXPECT_EQ(j.collection[0].quesited_aspect, "Sextile");
  EXPECT_TRUE(j.translation.empty());
}

TEST(Judge, ProhibitionIsTheEarliestInterference) {
  // Mars (querent) 5° Aries reaches Venus (quesited) 15° Aries in 12.5
  // days. Jupiter squares both before that (12.2 and 10 days), but Mercury
  // at 2° Aries overtakes Mars first, in 1.5 days.
  Case c{{body("Mars", 5, 1.0), body("Venus", 15, 0.2), body("Mercury", 2, 3.0),
          body("Jupiter", 106, 0.1)},
         whole_signs(0), {}, 7};
  const Judgment j = c.judge();
  ASSERT_TRUE(j.perfection);
  EXPECT_DOUBLE_EQ(j.perfection->days, 12.5);
  ASSERT_TRUE(j.prohibition);
  EXPECT_EQ(j.prohibition->by, "Mercury");
  EXPECT_EQ(j.prohibition->significator, "Mars");
  EXPECT_EQ(j.prohibition->aspect, "Conjunction");
  EXPECT_DOUBLE_EQ(j.prohibition->days, 1.5);
  EXPECT_TRUE(j.translation.empty() && j.collection.empty());
  // Without kernels the refranation scan gives up quietly.
  EXPECT_FALSE(j.refranation);
}

// ---------------------------------------------------------------------------
// Refranation

TEST(Refranation, StationFoundAtTheStepThatShowsIt) {
  const double jd0 = 2460000.0;
  // Direct now, stationing 3.37 days on: an 8-day perfection steps by 0.25.
  auto turning = [&](double station) {
    return [=](double jd) -> std::optional<double> { return 0.2 * (station - (jd - jd0)); };
  };
  EXPECT_EQ(quorvane::station_within(turning(3.37), jd0, 0.674, 8.0), 3.5);
  // Longer spans step by D/60; the last step is cut short at D.
  EXPECT_EQ(quorvane::station_within(turning(50.3), jd0, 10.0, 120.0), 52.0);
  EXPECT_EQ(quorvane::station_within(turning(119.5), jd0, 10.0, 120.0), 120.0);
  // At most 400 days, in steps of at most 5.
  EXPECT_EQ(quorvane::station_within(turning(397.0), jd0, 80.0, 1000.0), 400.0);
  EXPECT_FALSE(quorvane::station_within(turning(401.0), jd0, 80.0, 1000.0));
  // Retrograde turning direct; a speed of -0.0 counts as retrograde.
  auto direct_at = [&](double station) {
    return [=](double jd) -> std::optional<double> { return (jd - jd0) - station; };
  };
  EXPECT_EQ(quorvane::station_within(direct_at(1.1), jd0, -1.1, 3.0), 1.25);
  auto stalls = [](double) -> std::optional<double> { return -0.0; };
  EXPECT_EQ(quorvane::station_within(stalls, jd0, 0.3, 3.0), 0.25);
  EXPECT_FALSE(quorvane::station_within(stalls, jd0, -0.3, 3.0));
  // A failed position ends the scan.
  auto fails = [](double) -> std::optional<double> { return std::nullopt; };
  EXPECT_FALSE(quorvane::station_within(fails, jd0, 0.3, 3.0));
}

std::optional<double> mercury_speed(const KernelSet& kernels, double jd) {
  auto sky = quorvane::planets_and_sidereal_time(kernels, jd, 0.0);
  if (!sky) return std::nullopt;
  for (const auto& b : sky->bodies) {
    if (std::string_view(b.name) == "Mercury") return b.speed;
  }
  return std::nullopt;
}

TEST(Refranation, MercuryStationInDE440) {
  const std::string path = quorvane::testing::real_kernel_path();
  if (path.empty()) GTEST_SKIP() << "DE440 not installed";
  auto loaded = KernelSet::load({path});
  ASSERT_TRUE(loaded) << loaded.error();
  const KernelSet& kernels = *loaded;

  // Mercury stationed retrograde around 2024-11-26 (JD 2460640.5).
  double lo = 2460636.0, hi = 2460645.0;
  ASSERT_GT(*mercury_speed(kernels, lo), 0.0);
  ASSERT_LT(*mercury_speed(kernels, hi), 0.0);
  while (hi - lo > 1e-7) {
    const double mid = 0.5 * (lo + hi);
    (*mercury_speed(kernels, mid) > 0.0 ? lo : hi) = mid;
  }
  const double jd = lo - 3.37;
  auto sky = quorvane::planets_and_sidereal_time(kernels, jd, 0.0);
  ASSERT_TRUE(sky);
  double mercury = 0.0, speed = 0.0;
  for (const auto& b : sky->bodies) {
    if (std::string_view(b.name) == "Mercury") mercury = b.longitude, speed = b.speed;
  }
  ASSERT_GT(speed, 0.0);

  // Gemini rising makes Mercury the querent; Leo on the 3rd the Sun the
  // quesited, placed to reach Mercury's conjunction in exactly 8 days.
  const double sun_speed = 1.0;
  std::vector<Placement> placements{body("Mercury", mercury, speed),
                                    body("Sun", mercury - 8.0 * (sun_speed - speed), sun_speed)};
  JudgmentInput in;
  in.quesited_house = 3;
  in.placements = placements;
  const auto cusps = whole_signs(2);
  in.cusp_signs = cusps;
  in.jd = jd;
  in.ascendant_sign = "Gemini";
  const Judgment j = quorvane::judge(kernels, in);
  ASSERT_TRUE(j.perfection);
  EXPECT_EQ(j.perfection->applying, "Sun");
  EXPECT_DOUBLE_EQ(j.perfection->days, 8.0);
  ASSERT_TRUE(j.refranation);
  EXPECT_EQ(j.refranation->planet, "Mercury");
  EXPECT_EQ(j.refranation->aspect, "Conjunction");
  EXPECT_DOUBLE_EQ(j.refranation->days, 3.5);

  // The lights never refranate: make the Sun the querent (Leo rising) and
  // Mercury the quesited (Gemini on the 11th); Mercury still turns.
  in.ascendant_sign = "Leo";
  const auto leo = whole_signs(4);
  in.cusp_signs = leo;
  in.quesited_house = 11;
  const Judgment swapped = quorvane::judge(kernels, in);
  ASSERT_TRUE(swapped.refranation);
  EXPECT_EQ(swapped.refranation->planet, "Mercury");
  // Beyond the kernel the scan ends without a finding.
  in.jd = 2700000.0;
  EXPECT_FALSE(quorvane::judge(kernels, in).refranation);
}

}  // namespace
