"""Request bodies of the chart service, as people give their data.

A moment is either `moment`, a UTC text ("2024-03-20T12:00Z"), or `local`,
a civil time ("1990-07-14 08:30") read in the zone of `tz`, of an explicit
`utc_offset`, or of the place. A place is either `place`, a name looked up
in the place search, or `latitude` and `longitude`; coordinates given
beside a name win over the name's own. These models say what each field
is, so the OpenAPI document at /docs describes every input.
"""
from __future__ import annotations

from typing import Any, Literal, Optional, Union

from pydantic import BaseModel, ConfigDict, Field, model_validator

from quorvane.serve import limits

HouseSystem = Literal["P", "K", "R", "C", "T", "B", "M", "O", "E", "V", "W",
                      "D", "N", "X", "H", "F", "U", "Y", "S", "I", "L", "Q", "G"]
Ayanamsa = Literal["lahiri", "fagan_bradley", "krishnamurti", "raman", "true_citra",
                   "yukteshwar", "deluce", "ushashashi", "jn_bhasin", "aldebaran_15tau",
                   "hipparchos", "sassanian", "galcent_0sag", "j2000"]

TEXT = 64  # longest moment, zone or option text accepted


class Strict(BaseModel):
    # An unknown field is a typo the caller wants to hear about.
    model_config = ConfigDict(extra="forbid")


class When(Strict):
    moment: Optional[str] = Field(
        None, max_length=TEXT, examples=["1990-07-14T12:30:00Z"],
        description="UTC moment: ISO text ending in Z or +00:00")
    local: Optional[str] = Field(
        None, max_length=TEXT, examples=["1990-07-14 08:30"],
        description="local civil time YYYY-MM-DD HH:MM[:SS], read in `tz`, `utc_offset` "
                    "or the zone of the place")
    tz: Optional[str] = Field(None, max_length=TEXT, examples=["America/New_York"],
                              description="IANA time zone of `local`")
    utc_offset: Optional[float] = Field(
        None, ge=-1080, le=1080, allow_inf_nan=False,
        description="minutes that `local` is ahead of UTC, instead of a zone")
    fold: Optional[Literal["first", "second"]] = Field(
        None, description="which of a local time that happens twice (a clock set back)")

    @model_validator(mode="after")
    def one_moment(self):
        if (self.moment is None) == (self.local is None):
            raise ValueError("give either moment (UTC) or local (civil time)")
        return self


class Where(Strict):
    place: Optional[str] = Field(None, max_length=limits.MAX_QUERY_CHARS,
                                 examples=["New York"],
                                 description="place name, looked up in the place search")
    latitude: Optional[float] = Field(None, ge=-90, le=90, allow_inf_nan=False,
                                      description="degrees, north positive")
    longitude: Optional[float] = Field(None, ge=-180, le=180, allow_inf_nan=False,
                                       description="degrees, east positive")

    @model_validator(mode="after")
    def one_place(self):
        if (self.latitude is None) != (self.longitude is None):
            raise ValueError("give latitude and longitude together")
        if self.place is None and self.latitude is None:
            raise ValueError("give a place or latitude and longitude")
        return self


class Birth(Where, When):
    """A moment and a place."""


class Zodiac(Strict):
    house_system: HouseSystem = Field(
        "P", description="P Placidus, K Koch, R Regiomontanus, C Campanus, T Topocentric, "
                         "B Alcabitius, M Morinus, O Porphyry, E Equal, V Vehlow, W Whole Sign, "
                         "D Equal MC, N Equal Aries, X Meridian, H Horizontal, "
                         "F Carter poli-equatorial, U Krusinski-Pisa-Goelzer, Y APC, S Sripati, "
                         "I Sunshine, L Pullen sinusoidal delta, Q Pullen sinusoidal ratio, "
                         "G Gauquelin sectors (36 entries in a chart's houses, sector 1 from "
                         "the Ascendant; the planets' twelve houses: every third boundary, the "
                         "Placidus cusps)")
    house_obliquity: Literal["mean", "true"] = Field(
        "mean", description="obliquity of the houses: the IAU 1980 mean, or true (plus the "
                            "nutation in obliquity; cusps move by up to about half an arcminute)")
    zodiac_type: Literal["tropical", "sidereal"] = "tropical"
    ayanamsa: Ayanamsa = Field("galcent_0sag", description="ayanamsa of the sidereal zodiac")


class ChartOptions(Zodiac):
    orb_settings: Optional[dict[str, Any]] = Field(
        None, description="orb settings (method, include_minor_aspects, include_chiron, "
                          "include_lilith, aspect_orbs, planet_orbs)")
    dignity_scheme: Literal["lilly", "dorothean"] = "lilly"


class ChartRequest(ChartOptions, Birth):
    chinese_calendar: bool = Field(False, description="add the Chinese calendar of the moment")
    node: Literal["mean", "true"] = Field(
        "mean", description="the lunar nodes: mean, or true (of the Moon's osculating orbit)")


class StructureRequest(ChartRequest):
    rulers: Literal["traditional", "modern"] = Field(
        "traditional", description="the dispositors' rulers")
    midpoint_orb: float = Field(1.5, ge=0, le=22.5, allow_inf_nan=False,
                                description="orb of the midpoint trees, degrees")
    harmonic: Optional[int] = Field(None, ge=1, le=360,
                                    description="also the chart's harmonic of this number")


class HoraryRequest(ChartRequest):
    quesited_house: Optional[int] = Field(None, ge=1, le=12,
                                          description="house of the matter asked about")


class Point(BaseModel):
    """A natal position; other keys of a chart's placement are ignored."""

    model_config = ConfigDict(extra="ignore")
    name: str = Field(max_length=TEXT, examples=["Sun"])
    ecliptic_longitude: float = Field(ge=-360, le=720, allow_inf_nan=False)


Points = list[Point]


class Natal(Strict):
    """Whose chart: a birth to compute, or positions already known."""

    birth: Optional[Birth] = None
    planets: Optional[Points] = Field(None, max_length=limits.MAX_POINTS)

    @model_validator(mode="after")
    def one_source(self):
        if (self.birth is None) == (self.planets is None):
            raise ValueError("give either birth or planets")
        return self


class TransitRequest(ChartOptions, Birth):
    natal: Natal = Field(description="the natal chart the transits aspect")


class SynastryRequest(Zodiac):
    a: Natal = Field(description="chart A, the base")
    b: Natal = Field(description="chart B, the overlay")
    orb_settings: Optional[dict[str, Any]] = None


Criteria = Union[dict[str, Any], list[Any]]


class ElectionRequest(ChartOptions, Birth):
    criteria: Optional[Criteria] = Field(None, description="election criteria")


class ElectionsRequest(Zodiac, Where):
    start: When = Field(description="when the search starts")
    end: When = Field(description="when the search ends, at most "
                                  f"{limits.MAX_ELECTION_DAYS} days later")
    criteria: Optional[Criteria] = None


class DerivedRequest(ChartOptions, Birth):
    root_house: int = Field(ge=1, le=12, description="radix house that becomes house 1")
    custom_name: Optional[str] = Field(None, max_length=TEXT)


class TimeLordsRequest(Birth):
    start: When = Field(description="first moment of the period")
    end: When = Field(description="last moment of the period, at most "
                                  f"{limits.MAX_TIME_LORD_YEARS} years after the start")


class ProgressionsRequest(Zodiac, Birth):
    target: When = Field(description="the moment the chart is progressed to")
    orb_settings: Optional[dict[str, Any]] = Field(None, description="orb settings of the "
                                                                     "progressed aspects")
    kind: Literal["secondary", "tertiary", "minor"] = Field(
        "secondary", description="a day for a year, a day for a lunar month, or a lunar month "
                                 "for a year")
    month: Literal["tropical", "synodic"] = Field(
        "tropical", description="the lunar month of tertiary and minor progressions: tropical "
                                "(27.321582 days) or synodic (29.530589 days)")
    angle_method: Literal["solar_arc", "naibod"] = "solar_arc"


class ReleasingRequest(Zodiac, Birth):
    start: When = Field(description="first moment of the period")
    end: When = Field(description="last moment of the period, at most "
                                  f"{limits.MAX_TIME_LORD_YEARS} years after the start "
                                  f"({limits.MAX_FINE_RELEASING_YEARS} with levels 3 and 4)")
    lot: Literal["spirit", "fortune"] = Field("spirit", description="the lot released")
    levels: int = Field(2, ge=1, le=4, description="levels of periods: years, months, "
                                                   "2.5-day and 5/24-day spans")
    year: Literal["360", "tropical"] = Field(
        "360", description="the level-1 year: 360 days (Valens) or tropical (365.24219 days)")
    spirit_with_fortune: Literal["next_sign", "own_sign"] = Field(
        "next_sign", description="Spirit in Fortune's sign: released from the next sign "
                                 "(Valens) or its own")


class ChineseRequest(Birth):
    sex: Optional[Literal["male", "female"]] = Field(None, description="needed for luck periods")
    solar_time: bool = Field(True, description="true solar time rather than civil time")
    zi_hour: Literal["next_day", "split"] = "next_day"
    year: Optional[int] = Field(None, ge=1900, le=2100, description="also the pillars of this year")
    date: Optional[str] = Field(None, max_length=10, description="also the pillars of this "
                                                                  "date, YYYY-MM-DD")


class BaziRequest(ChineseRequest):
    luck_pillars: int = Field(10, ge=0, le=12, description="ten-year luck pillars")


class ZiWeiRequest(ChineseRequest):
    leap_month: Literal["split", "same"] = "split"


class JyotishRequest(Birth):
    ayanamsa: Ayanamsa = Field("lahiri", description="ayanamsa of the sidereal zodiac")
    node: Literal["mean", "true"] = Field(
        "mean", description="Rahu and Ketu: the mean nodes, or the true (osculating) ones")
    dasha_year: Literal["julian", "tropical", "savana"] = Field(
        "julian", description="the dasha year: julian 365.25 days, tropical 365.2422, "
                              "savana 360")
    house_division: Literal["whole_sign", "equal"] = Field(
        "whole_sign", description="whole signs from the lagna, or equal bhavas from its degree")
    sunrise: Literal["disc_centre", "upper_limb"] = Field(
        "disc_centre", description="when the panchanga's day begins: the Sun's centre on the "
                                   "horizon without refraction, or its upper limb with refraction")
    dasha_depth: int = Field(2, ge=1, le=5, description="levels of dasha periods: 1-3, or up "
                                                        "to 5 with dasha_from and dasha_to")
    dasha_at: Optional[When] = Field(None, description="also the five levels running then")
    dasha_from: Optional[When] = Field(None, description="only the periods from this moment")
    dasha_to: Optional[When] = Field(None, description="... to this one")
    svg: Optional[Literal["north", "south"]] = Field(
        None, description="also the chart drawn in the North or South Indian style, as SVG "
                          "text under `svg`")
    varga: str = Field("D1", max_length=4, description="the divisional chart drawn")
    size: int = Field(480, ge=200, le=2400, description="the picture's side in pixels")
    theme: Literal["light", "dark"] = "light"


class Picture(Strict):
    size: int = Field(800, ge=200, le=2400,
                      description="the wheel's side in pixels; the tables under it add height")
    theme: Literal["light", "dark"] = "light"
    aspects: Literal["all", "major", "none"] = Field("all", description="aspect lines drawn")


class WheelRequest(Picture, ChartOptions, Birth):
    pass


class BiWheelRequest(Picture, TransitRequest):
    pass


MapBody = Literal["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus",
                  "Neptune", "Pluto", "Chiron", "Lilith", "North Node", "South Node",
                  "True Node", "True South Node", "True Lilith"]


class AstrocartographyRequest(Birth):
    bodies: Optional[list[MapBody]] = Field(
        None, min_length=1, max_length=17, description="bodies to map (default Sun to Pluto)")
    mode: Literal["mundo", "zodiaco"] = Field(
        "mundo", description="mundo: the bodies' right ascension and declination; zodiaco: "
                             "the ecliptic point of their longitude")


class HousePositionsRequest(Birth):
    bodies: Optional[list[MapBody]] = Field(
        None, min_length=1, max_length=17, description="bodies to place (default the chart's)")
    house_system: HouseSystem = Field("P", description="house system code, as for charts")
    house_obliquity: Literal["mean", "true"] = Field(
        "mean", description="obliquity of the houses: the IAU 1980 mean, or true")


class MapRequest(AstrocartographyRequest):
    size: int = Field(1200, ge=400, le=2400, description="width, in pixels")
    theme: Literal["light", "dark"] = "light"


MovingBody = Literal["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus",
                     "Neptune", "Pluto"]
EventGroup = Literal["eclipses", "lunations", "ingresses", "stations", "void_of_course",
                     "aspects", "phenomena"]


class EventsRequest(Strict):
    start: When = Field(description="when the span starts")
    end: When = Field(description="when the span ends, at most "
                                  f"{limits.MAX_EVENT_DAYS} days later")
    tz: Optional[str] = Field(None, max_length=TEXT, examples=["Europe/London"],
                              description="IANA zone of the events' local times (default: "
                                          "the start's zone, else UTC)")
    kinds: Optional[list[EventGroup]] = Field(None, min_length=1, max_length=7,
                                              description="groups of events (default all)")
    bodies: Optional[list[MovingBody]] = Field(
        None, min_length=1, max_length=10,
        description="bodies of ingresses, stations, aspects and phenomena (default all ten)")
    zodiac_type: Literal["tropical", "sidereal"] = "tropical"
    ayanamsa: Ayanamsa = Field("galcent_0sag", description="ayanamsa of the sidereal zodiac")
    void_of_course: Literal["traditional", "modern"] = Field(
        "traditional", description="bodies the Moon's last aspect counts: the seven planets, "
                                   "or the ten")


class EclipseAtRequest(Birth):
    height: float = Field(0.0, ge=-500, le=10000, allow_inf_nan=False,
                          description="metres above the WGS 84 ellipsoid")


class PrimaryDirectionsRequest(Birth):
    start_age: float = Field(0.0, ge=0, le=150, allow_inf_nan=False, description="years")
    end_age: float = Field(100.0, ge=0, le=150, allow_inf_nan=False, description="years")
    method: Literal["placidus_mundane", "placidus_zodiacal", "placidus_pole", "regiomontanus",
                    "campanus", "topocentric"] = "placidus_zodiacal"
    key: Literal["ptolemy", "naibod", "cardan", "true_solar_arc", "simmonite", "kepler"] = Field(
        "naibod", description="how arcs become years")
    promissor_latitude: Literal["zero", "bianchini", "planet"] = Field(
        "zero", description="ecliptic latitude of the zodiacal promissors")
    converse: Literal["traditional", "reverse"] = Field(
        "traditional", description="traditional: the significator carried by primary motion "
                                   "to the promissor; reverse: the promissor moved against it")
    dignity_scheme: Literal["egyptian", "lilly"] = Field(
        "egyptian", description="the table of bounds directed through")
    significators: Optional[list[Literal["Ascendant", "Midheaven", "Sun", "Moon", "Fortune"]]] = \
        Field(None, min_length=1, max_length=5, description="default all five")
    promissors: Optional[list[str]] = Field(
        None, min_length=1, max_length=100,
        description="bodies, stars or bound lords by name (default all)")
    aspects: Optional[list[Literal["conjunction", "sextile", "square", "trine", "opposition",
                                   "antiscion", "contra-antiscion", "bound"]]] = Field(
        None, min_length=1, max_length=8, description="default all")
    families: Optional[list[Literal["planets", "aspects", "antiscia", "bounds", "stars"]]] = \
        Field(None, min_length=1, max_length=5, description="default all")
    directions: Optional[list[Literal["direct", "converse"]]] = Field(
        None, min_length=1, max_length=2, description="default both")
