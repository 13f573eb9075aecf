#include "quorvane/events/events.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>
#include <span>
#include <memory>
#include <string_view>

#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/events/eclipses.hpp"
#include "quorvane/events/moon_phenomena.hpp"
#include "quorvane/events/pair_track.hpp"
#include "quorvane/events/void_of_course.hpp"
#include "quorvane/predictive/body_tracks.hpp"
#include "quorvane/zodiac/orb_settings.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr std::array<std::string_view, 7> kGroups{
    "eclipses", "lunations", "ingresses", "stations", "void_of_course", "aspects", "phenomena"};

// The kinds a filter may name besides the groups.
constexpr std::array<std::string_view, 29> kKinds{
    "solar_eclipse", "lunar_eclipse",
    "new_moon", "first_quarter", "full_moon", "last_quarter", "ingress", "march_equinox",
    "june_solstice", "september_equinox", "december_solstice", "retrograde_station",
    "direct_station", "void_of_course", "conjunction", "sextile", "square", "trine",
    "opposition", "semi-sextile", "quincunx", "inferior_conjunction", "superior_conjunction",
    "cazimi", "greatest_elongation", "perigee", "apogee", "ascending_node",
    "descending_node"};

constexpr std::array<std::string_view, 4> kPhaseKinds{"new_moon", "first_quarter", "full_moon",
                                                      "last_quarter"};
constexpr std::array<std::string_view, 4> kCardinalKinds{"march_equinox", "june_solstice",
                                                         "september_equinox", "december_solstice"};

// Days searched beyond the span on each side: a void-of-course period that
// ends inside the span began at most a Moon's stay in one sign before it.
constexpr double kSearchMargin = 4.0;
// Days sampled beyond the search, so that every derived track is readable.
constexpr double kTrackMargin = 10.0;
// Cazimi: the planet within 17 minutes of arc of the Sun's centre.
constexpr double kCazimiDegrees = 17.0 / 60.0;

std::string lowercase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct Search {
  const EventsRequest& request;
  double from;  // the search span, with its margins
  double to;
  std::vector<std::unique_ptr<BodyTrack>> bodies;  // every body sampled, chart order
  std::vector<SkyEvent> out;

  const BodyTrack* body(std::string_view name) const {
    for (const auto& b : bodies) {
      if (b->name == name) return b.get();
    }
    return nullptr;
  }
  bool asked(std::string_view name) const {
    return request.bodies.empty() ||
           std::find(request.bodies.begin(), request.bodies.end(), name) != request.bodies.end();
  }
  static double longitude(const BodyTrack& b, double jd) { return normalize_degrees(b.track->at(jd)); }

  SkyEvent& add(std::string_view group, std::string kind, std::vector<const BodyTrack*> of,
                double jd) {
    SkyEvent e;
    e.group = std::string(group);
    e.kind = std::move(kind);
    e.jd = jd;
    for (const BodyTrack* b : of) {
      e.bodies.push_back(b->name);
      e.longitudes.push_back(longitude(*b, jd));
    }
    out.push_back(std::move(e));
    return out.back();
  }
};

Expected<Ok, EngineError> lunations(Search& s) {
  const BodyTrack& moon = *s.body("Moon");
  const BodyTrack& sun = *s.body("Sun");
  const PairTrack elongation = pair_track(moon, sun, s.from, s.to);
  for (size_t q = 0; q < kPhaseKinds.size(); ++q) {
    auto found = pair_crossings(elongation, 90.0 * static_cast<double>(q), s.from, s.to, true);
    if (!found) return unexpected(std::move(found).error());
    for (const Crossing& c : *found) {
      s.add("lunations", std::string(kPhaseKinds[q]), {&moon, &sun}, c.jd)
          .detail("elongation", 90.0 * static_cast<double>(q));
    }
  }
  return Ok{};
}

Expected<Ok, EngineError> ingresses_and_stations(Search& s) {
  std::vector<double> sign_starts;
  for (int i = 0; i < 12; ++i) sign_starts.push_back(30.0 * i);
  for (const auto& b : s.bodies) {
    if (!s.asked(b->name)) continue;
    std::vector<Ingress> found;
    auto done = boundary_ingresses(*b, sign_starts, false, s.from, s.to, found);
    if (!done) return unexpected(std::move(done).error());
    for (const Ingress& i : found) {
      // The Sun entering a cardinal sign of the tropical zodiac is an
      // equinox or a solstice.
      const bool cardinal = b->code == 10 && !s.request.zodiac.sidereal && i.index % 3 == 0;
      std::string kind = cardinal ? std::string(kCardinalKinds[static_cast<size_t>(i.index / 3)])
                                  : std::string("ingress");
      const int left = i.retrograde ? (i.index + 1) % 12 : (i.index + 11) % 12;
      s.add("ingresses", std::move(kind), {b.get()}, i.jd)
          .detail("sign", std::string(kSigns[static_cast<size_t>(i.index)].name))
          .detail("previous_sign", std::string(kSigns[static_cast<size_t>(left)].name))
          .detail("retrograde", i.retrograde);
    }
    for (const Station& st : b->stations) {
      if (st.jd < s.from || st.jd > s.to) continue;
      s.add("stations", st.turns_retrograde ? "retrograde_station" : "direct_station", {b.get()},
            st.jd);
    }
  }
  return Ok{};
}

Expected<Ok, EngineError> aspects(Search& s) {
  for (size_t i = 0; i < s.bodies.size(); ++i) {
    if (!s.asked(s.bodies[i]->name)) continue;
    for (size_t j = i + 1; j < s.bodies.size(); ++j) {
      if (!s.asked(s.bodies[j]->name)) continue;
      const BodyTrack& a = *s.bodies[i];
      const BodyTrack& b = *s.bodies[j];
      const PairTrack pair = pair_track(a, b, s.from, s.to);
      for (const AspectKind& aspect : kAspectTable) {
        for (double sign : {1.0, -1.0}) {
          if (sign < 0.0 && (aspect.angle == 0.0 || aspect.angle == 180.0)) continue;
          auto found = pair_crossings(pair, sign * aspect.angle, s.from, s.to, false);
          if (!found) return unexpected(std::move(found).error());
          for (const Crossing& c : *found) {
            s.add("aspects", lowercase(aspect.name), {&a, &b}, c.jd)
                .detail("aspect", std::string(aspect.name))
                .detail("angle", aspect.angle);
          }
        }
      }
    }
  }
  return Ok{};
}

// A planet's meetings with the Sun, its cazimi, its greatest elongations
// (Mercury and Venus) or its oppositions (Mars onwards).
Expected<Ok, EngineError> solar_phenomena(Search& s, const BodyTrack& planet) {
  const BodyTrack& sun = *s.body("Sun");
  const bool inner = planet.code == 199 || planet.code == 299;
  const PairTrack pair = pair_track(planet, sun, s.from, s.to);
  auto meetings = pair_crossings(pair, 0.0, s.from, s.to, true);
  if (!meetings) return unexpected(std::move(meetings).error());
  std::vector<double> edges;  // moments at 17' either side
  for (double side : {kCazimiDegrees, -kCazimiDegrees}) {
    auto found = pair_crossings(pair, side, s.from, s.to, true);
    if (!found) return unexpected(std::move(found).error());
    for (const Crossing& c : *found) edges.push_back(c.jd);
  }
  std::sort(edges.begin(), edges.end());
  for (const Crossing& c : *meetings) {
    const bool retrograde = planet.track->speed(c.jd) < 0.0;
    std::string kind = !inner ? "conjunction" : retrograde ? "inferior_conjunction" : "superior_conjunction";
    s.add("phenomena", std::move(kind), {&planet, &sun}, c.jd).detail("retrograde", retrograde);
    const auto after = std::upper_bound(edges.begin(), edges.end(), c.jd);
    if (after == edges.begin() || after == edges.end()) continue;  // cut by the search span
    s.add("phenomena", "cazimi", {&planet, &sun}, *(after - 1)).end = *after;
    s.out.back().detail("exact", c.jd);
  }
  if (inner) {
    for (const Station& st : pair.stations) {
      const double elongation = signed_difference(Search::longitude(planet, st.jd), Search::longitude(sun, st.jd));
      s.add("phenomena", "greatest_elongation", {&planet, &sun}, st.jd)
          .detail("direction", std::string(elongation > 0.0 ? "east" : "west"))
          .detail("elongation", std::fabs(elongation));
    }
  } else {
    auto found = pair_crossings(pair, 180.0, s.from, s.to, false);
    if (!found) return unexpected(std::move(found).error());
    for (const Crossing& c : *found) s.add("phenomena", "opposition", {&planet, &sun}, c.jd);
  }
  return Ok{};
}

bool wanted(const EventsRequest& request, const SkyEvent& e) {
  if (request.kinds.empty()) return true;
  return std::any_of(request.kinds.begin(), request.kinds.end(),
                     [&](const std::string& k) { return k == e.group || k == e.kind; });
}

bool group_wanted(const EventsRequest& request, std::string_view group,
                  std::span<const std::string_view> kinds) {
  if (request.kinds.empty()) return true;
  for (const std::string& k : request.kinds) {
    if (k == group || std::find(kinds.begin(), kinds.end(), k) != kinds.end()) return true;
  }
  return false;
}

}  // namespace

Expected<std::vector<SkyEvent>, EngineError> sky_events(const KernelSet& kernels,
                                                        const EventsRequest& request) {
  if (!(request.end > request.start)) {
    return unexpected(EngineError::invalid_input("end must be after start"));
  }
  const std::array<std::string_view, 2> eclipse_kinds{"solar_eclipse", "lunar_eclipse"};
  const bool only_eclipses =
      !request.kinds.empty() &&
      std::all_of(request.kinds.begin(), request.kinds.end(), [&](const std::string& k) {
        return k == "eclipses" || k == eclipse_kinds[0] || k == eclipse_kinds[1];
      });
  if (!only_eclipses && request.end - request.start > kLongestEventSpan) {
    return unexpected(EngineError::invalid_input(
        "an event search spans at most 73050 days (eclipses alone: the kernels' span)"));
  }
  for (const std::string& k : request.kinds) {
    if (std::find(kGroups.begin(), kGroups.end(), k) == kGroups.end() &&
        std::find(kKinds.begin(), kKinds.end(), k) == kKinds.end() && k != "greatest_north_declination" &&
        k != "greatest_south_declination") {
      return unexpected(EngineError::invalid_input("not an event kind: " + k));
    }
  }
  for (const std::string& name : request.bodies) {
    if (!kernel_body_code(name)) return unexpected(EngineError::invalid_input("not a moving body: " + name));
  }
  for (double jd : {request.start, request.end}) {
    auto covered = choose_kernel(kernels, jd);
    if (!covered) return unexpected(std::move(covered).error());
  }
  std::vector<SkyEvent> found_eclipses;
  if (group_wanted(request, "eclipses", eclipse_kinds)) {
    const auto wants = [&](std::string_view kind) {
      return request.kinds.empty() || std::find(request.kinds.begin(), request.kinds.end(), "eclipses") !=
                                          request.kinds.end() ||
             std::find(request.kinds.begin(), request.kinds.end(), kind) != request.kinds.end();
    };
    auto found = eclipses(kernels, request.start, request.end, wants("solar_eclipse"),
                          wants("lunar_eclipse"));
    if (!found) return unexpected(std::move(found).error());
    found_eclipses = std::move(found).value();
  }
  if (only_eclipses) return found_eclipses;

  Search s{request, request.start - kSearchMargin, request.end + kSearchMargin, {}, {}};
  for (double jd : {s.from - kTrackMargin, s.to + kTrackMargin}) {
    auto covered = choose_kernel(kernels, jd);
    if (!covered) return unexpected(std::move(covered).error());
  }
  // All ten are sampled: lunations, the void of course and the phenomena
  // need the Sun, the Moon and the planets whichever bodies are asked.
  std::vector<int32_t> codes;
  for (const Body& b : kKernelBodies) codes.push_back(b.naif_code);
  const NutationSamples nutation(s.from - kTrackMargin - 8.0, s.to + kTrackMargin + 8.0);
  const LongitudeSource source = LongitudeSource(kernels, request.zodiac).with_nutation(nutation);
  std::vector<size_t> slot;
  auto tracks = sample_bodies(source, codes, s.from - kTrackMargin, s.to + kTrackMargin, slot);
  if (!tracks) return unexpected(std::move(tracks).error());
  const SampledTrack* sun = &(*tracks)[slot[0]];
  for (size_t i = 0; i < codes.size(); ++i) {
    const SampledTrack& track = (*tracks)[slot[i]];
    s.bodies.push_back(std::make_unique<BodyTrack>(
        BodyTrack{std::string(kKernelBodies[i].name), codes[i], &track, codes[i] == 10 ? nullptr : sun,
                  &source, track.stations(s.from, s.to)}));
  }

  struct Step {
    std::string_view group;
    std::vector<std::string_view> kinds;
    std::function<Expected<Ok, EngineError>()> search;
  };
  const std::vector<Step> steps{
      {"lunations", {kPhaseKinds.begin(), kPhaseKinds.end()}, [&] { return lunations(s); }},
      {"ingresses", {"ingress", "march_equinox", "june_solstice", "september_equinox",
                     "december_solstice", "stations", "retrograde_station", "direct_station"},
       [&] { return ingresses_and_stations(s); }},
      {"aspects", {"conjunction", "sextile", "square", "trine", "opposition", "semi-sextile",
                   "quincunx"},
       [&] { return aspects(s); }},
      {"void_of_course", {}, [&]() -> Expected<Ok, EngineError> {
         std::vector<const BodyTrack*> counted;
         for (const auto& b : s.bodies) {
           if (b->code != 301 && (request.void_of_course_modern || b->code == 10 || b->code == 199 ||
                                  b->code == 299 || (b->code >= 4 && b->code <= 6))) {
             counted.push_back(b.get());
           }
         }
         auto found = void_of_course(*s.body("Moon"), counted, s.from, s.to);
         if (!found) return unexpected(std::move(found).error());
         s.out.insert(s.out.end(), found->begin(), found->end());
         return Ok{};
       }},
      {"phenomena", {"inferior_conjunction", "superior_conjunction", "conjunction", "cazimi",
                     "greatest_elongation", "opposition", "perigee", "apogee", "ascending_node",
                     "descending_node", "greatest_north_declination", "greatest_south_declination"},
       [&]() -> Expected<Ok, EngineError> {
         for (const auto& b : s.bodies) {
           if (b->code == 10 || b->code == 301 || !s.asked(b->name)) continue;
           auto done = solar_phenomena(s, *b);
           if (!done) return done;
         }
         if (!s.asked("Moon")) return Ok{};
         auto found = moon_phenomena(kernels, nutation, *s.body("Moon")->track, s.from, s.to);
         if (!found) return unexpected(std::move(found).error());
         s.out.insert(s.out.end(), found->begin(), found->end());
         return Ok{};
       }},
  };
  for (const Step& step : steps) {
    if (!group_wanted(request, step.group, step.kinds)) continue;
    auto done = step.search();
    if (!done) return unexpected(std::move(done).error());
  }
  std::vector<SkyEvent> events = std::move(found_eclipses);
  for (SkyEvent& e : s.out) {
    const bool inside = e.end ? (*e.end >= request.start && e.jd <= request.end)
                              : (e.jd >= request.start && e.jd <= request.end);
    if (inside && wanted(request, e)) events.push_back(std::move(e));
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const SkyEvent& a, const SkyEvent& b) { return a.jd < b.jd; });
  return events;
}

}  // namespace quorvane
