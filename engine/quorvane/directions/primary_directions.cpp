#include "quorvane/directions/primary_directions.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/astronomy/positions.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/predictive/time_lords.hpp"
#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::directions {
namespace {

constexpr std::string_view kAspectNames[] = {"conjunction", "sextile",   "square",
                                             "trine",       "opposition", "antiscion",
                                             "contra-antiscion", "bound"};
constexpr std::string_view kDirectionNames[] = {"direct", "converse"};

// The apparent places of the chart's kernel bodies at birth, with the
// moment's true obliquity and apparent sidereal time.
Expected<NatalSky, EngineError> natal_sky(const KernelSet& kernels, const BirthPlace& birth) {
  PositionsRequest request;
  request.jds = {birth.moment.julian_day()};
  for (const Body& b : kKernelBodies) request.bodies.push_back({PointKind::kernel_body, b.naif_code});
  auto columns = positions(kernels, request);
  if (!columns) return unexpected(std::move(columns).error().error);
  NatalSky sky;
  sky.jd = request.jds.front();
  sky.latitude = birth.latitude;
  sky.obliquity = columns->obliquity.front();
  sky.ramc = normalize_degrees(columns->sidereal_time.front() * 15.0 + birth.longitude);
  sky.ascendant = ascendant_degrees(sky.ramc, sky.latitude, sky.obliquity);
  sky.midheaven = midheaven_degrees(sky.ramc, sky.obliquity);
  for (size_t i = 0; i < kKernelBodies.size(); ++i) {
    sky.bodies.push_back({kKernelBodies[i].name, columns->longitude[i], columns->latitude[i],
                          {columns->right_ascension[i], columns->declination[i]}});
  }
  return sky;
}

// Samples of the Sun's right ascension for the true solar arc: cubic
// Hermite over five days, with the rates the positions give (over the hour
// after each sample), stays within about 1e-4 deg of the ephemeris.
constexpr double kSolarTrackStepDays = 5.0;

// The Sun's right ascension at birth and every `step` days after, until
// `days` are covered.
Expected<SolarRightAscensionTrack, EngineError> solar_track(const KernelSet& kernels, double jd,
                                                            double days, double step) {
  PositionsRequest request;
  for (int k = 0; k * step <= days + step; ++k) request.jds.push_back(jd + k * step);
  request.bodies = {{PointKind::kernel_body, kSunCode}};
  auto columns = positions(kernels, request);
  if (!columns) return unexpected(std::move(columns).error().error);
  SolarRightAscensionTrack track;
  track.step_days = step;
  track.speed = columns->right_ascension_speed;
  double turns = 0.0;
  for (size_t k = 0; k < columns->right_ascension.size(); ++k) {
    const double ra = columns->right_ascension[k];
    if (k > 0 && ra + turns < track.right_ascension.back() - 180.0) turns += 360.0;
    track.right_ascension.push_back(ra + turns);
  }
  return track;
}

Expected<ArcKey, EngineError> arc_key(const KernelSet& kernels, Key key, const NatalSky& sky,
                                      double end_age) {
  switch (key) {
    case Key::Ptolemy:
      return ArcKey::uniform(key, kPtolemyDegreesPerYear);
    case Key::Naibod:
      return ArcKey::uniform(key, kNaibodDegreesPerYear);
    case Key::Cardan:
      return ArcKey::uniform(key, kCardanDegreesPerYear);
    case Key::Simmonite: {
      auto track = solar_track(kernels, sky.jd, 0.0, 1.0);
      if (!track) return unexpected(std::move(track).error());
      return ArcKey::uniform(key, track->speed.front());
    }
    case Key::Kepler: {
      auto track = solar_track(kernels, sky.jd, 1.0, 1.0);
      if (!track) return unexpected(std::move(track).error());
      return ArcKey::uniform(key, track->right_ascension[1] - track->right_ascension[0]);
    }
    case Key::TrueSolarArc: {
      auto track = solar_track(kernels, sky.jd, end_age, kSolarTrackStepDays);
      if (!track) return unexpected(std::move(track).error());
      return ArcKey::solar(std::move(*track));
    }
  }
  return unexpected(EngineError::invalid_input("unknown key"));
}

bool kept(const std::vector<std::string>& filter, std::string_view name) {
  return filter.empty() || std::find(filter.begin(), filter.end(), name) != filter.end();
}

// Every text of a filter must name something the directions can hold.
template <class Known>
std::optional<EngineError> unknown_in(const std::vector<std::string>& filter, std::string_view what,
                                      const Known& known) {
  for (const std::string& text : filter) {
    if (std::none_of(std::begin(known), std::end(known),
                     [&](const auto& k) { return std::string_view(k) == text; })) {
      return EngineError::invalid_input("unknown " + std::string(what) + ": " + text);
    }
  }
  return std::nullopt;
}

std::optional<EngineError> check_filters(const PrimaryDirectionsRequest& r,
                                         const std::vector<DirectionPoint>& significators,
                                         const std::vector<DirectionPoint>& promissors) {
  std::vector<std::string> significator_names, promissor_names;
  for (const auto& p : significators) significator_names.push_back(p.name);
  for (const auto& p : promissors) promissor_names.push_back(p.name);
  for (const std::string& family : r.families) {
    auto parsed = family_from_text(family);
    if (!parsed) return std::move(parsed).error();
  }
  if (auto e = unknown_in(r.significators, "significator", significator_names)) return e;
  if (auto e = unknown_in(r.promissors, "promissor", promissor_names)) return e;
  if (auto e = unknown_in(r.aspects, "aspect", kAspectNames)) return e;
  return unknown_in(r.directions, "direction", kDirectionNames);
}

bool is_self(const DirectionPoint& promissor, const DirectionPoint& significator) {
  return promissor.name == significator.name &&
         (promissor.family == Family::Planets || promissor.family == Family::Aspects);
}

}  // namespace

Expected<Converse, EngineError> converse_from_text(std::string_view text) {
  if (text == "traditional") return Converse::Traditional;
  if (text == "reverse") return Converse::Reverse;
  return unexpected(
      EngineError::invalid_input("converse must be traditional or reverse, got " + std::string(text)));
}

Expected<PrimaryDirections, EngineError> primary_directions(const KernelSet& kernels,
                                                            const PrimaryDirectionsRequest& r) {
  if (!(r.start_age >= 0.0 && r.start_age <= r.end_age && r.end_age <= kLongestDirectionAge)) {
    return unexpected(EngineError::invalid_input(
        "ages must satisfy 0 <= start_age <= end_age <= 150 years"));
  }
  auto method = method_from_text(r.method);
  if (!method) return unexpected(std::move(method).error());
  auto key = key_from_text(r.key);
  if (!key) return unexpected(std::move(key).error());
  auto latitude = promissor_latitude_from_text(r.promissor_latitude);
  if (!latitude) return unexpected(std::move(latitude).error());
  auto converse = converse_from_text(r.converse);
  if (!converse) return unexpected(std::move(converse).error());
  const DignityScheme scheme = DignityScheme::from_code(r.dignity_scheme);

  auto sky = natal_sky(kernels, r.birth);
  if (!sky) return unexpected(std::move(sky).error());
  PrimaryDirections out;
  out.birth = r.birth;
  out.start_age = r.start_age;
  out.end_age = r.end_age;
  out.method = *method;
  out.key = *key;
  out.promissor_latitude = *latitude;
  out.converse = *converse;
  out.bounds = scheme.name();
  out.obliquity = sky->obliquity;
  out.ramc = sky->ramc;
  out.diurnal = is_diurnal(*sky);
  out.significators = significators(*sky);
  out.promissors = promissors(*sky, *method, *latitude, scheme);
  if (auto error = check_filters(r, out.significators, out.promissors)) {
    return unexpected(std::move(*error));
  }
  auto timing = arc_key(kernels, *key, *sky, r.end_age);
  if (!timing) return unexpected(std::move(timing).error());
  out.key_rate = timing->rate();

  const auto add = [&](const DirectionPoint& p, const DirectionPoint& s, bool is_converse,
                       std::optional<double> arc) {
    if (!arc) return;
    const auto age = timing->age(*arc);
    if (!age || *age < r.start_age || *age > r.end_age) return;
    out.directions.push_back(
        {&p, &s, *method, is_converse, *arc, *age, years_after(r.birth.moment, *age)});
  };
  const bool direct = kept(r.directions, "direct"), conversely = kept(r.directions, "converse");
  for (const DirectionPoint& s : out.significators) {
    if (!kept(r.significators, s.name)) continue;
    for (const DirectionPoint& p : out.promissors) {
      if (!kept(r.promissors, p.name) || !kept(r.aspects, p.aspect) ||
          !kept(r.families, family_name(p.family)) || is_self(p, s)) {
        continue;
      }
      const auto forward =
          primary_arc(*method, p.place, s.place, sky->ramc, sky->latitude, -p.mundane_offset);
      if (direct) add(p, s, false, forward);
      if (!conversely) continue;
      if (*converse == Converse::Reverse) {
        add(p, s, true, forward ? std::optional(normalize_degrees(-*forward)) : std::nullopt);
      } else {
        add(p, s, true,
            primary_arc(*method, s.place, p.place, sky->ramc, sky->latitude, p.mundane_offset));
      }
    }
  }
  std::stable_sort(out.directions.begin(), out.directions.end(),
                   [](const PrimaryDirection& a, const PrimaryDirection& b) { return a.arc < b.arc; });
  return out;
}

void write(RecordWriter& out, const PrimaryDirection& d) {
  ObjectWriter(out)
      .field("promissor", d.promissor->name)
      .field("family", family_name(d.promissor->family))
      .field("aspect", d.promissor->aspect)
      .field("side", side_or_none(d.promissor->side))
      .field("promissor_longitude", d.promissor->longitude)
      .field("significator", d.significator->name)
      .field("method", method_name(d.method))
      .field("direction", d.converse ? "converse" : "direct")
      .field("arc", d.arc)
      .field("age", d.age)
      .field("date", d.date.isoformat());
}

namespace {

struct Conventions {
  const PrimaryDirections* d;
};

std::string_view converse_text(Converse converse) {
  return converse == Converse::Traditional
             ? "traditional: the significator carried by primary motion to the promissor"
             : "reverse: the promissor moved against primary motion to the significator";
}

void write(RecordWriter& out, const Conventions& c) {
  const PrimaryDirections& d = *c.d;
  ObjectWriter(out)
      .field("method", method_name(d.method))
      .field("key", key_name(d.key))
      .field("key_rate", d.key_rate)
      .field("year_days", kDirectionYearDays)
      .field("obliquity", "true obliquity of date")
      .field("obliquity_degrees", d.obliquity)
      .field("ramc", "Greenwich apparent sidereal time plus east longitude")
      .field("ramc_degrees", d.ramc)
      .field("promissor_latitude", promissor_latitude_name(d.promissor_latitude))
      .field("converse", d.converse == Converse::Traditional ? "traditional" : "reverse")
      .field("converse_definition", converse_text(d.converse))
      .field("fortune", "Ascendant + Moon - Sun by day, Ascendant + Sun - Moon by night")
      .field("diurnal", d.diurnal)
      .field("bounds", d.bounds);
}

}  // namespace

void write(RecordWriter& out, const PrimaryDirections& d) {
  ObjectWriter(out)
      .field("birth", d.birth)
      .field("start_age", d.start_age)
      .field("end_age", d.end_age)
      .field("conventions", Conventions{&d})
      .field("significators", d.significators)
      .field("promissors", d.promissors)
      .field("directions", d.directions);
}

}  // namespace quorvane::directions
