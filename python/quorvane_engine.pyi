# Type stubs of the quorvane_engine extension module. Every public name of
# the module has its stub here, with the exact parameter names and
# defaults: tests/python/test_stubs.py fails when one is missing or differs.
import os
from datetime import datetime
from typing import Any, Literal, Mapping, Sequence, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

# A moment: an ISO text in UTC ("2024-03-20T12:00Z") or a datetime (naive
# ones are taken as UTC).
_Moment = Union[str, datetime]
# Every record comes back as plain JSON data: dicts, lists, str, numbers,
# bools and None; with json=True, as the compact JSON text of the same data.
_Record = dict[str, Any]
# Structured inputs go through json.dumps: any JSON-serialisable value.
_JsonObject = Mapping[str, Any]
_Points = Sequence[Mapping[str, Any]]
_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
# Many moments: moments or UT Julian days in a sequence, or a float64 array
# of Julian days; one moment or one Julian day alone gives one row.
_Moments = Union[_Moment, float, Sequence[Union[_Moment, float]], npt.NDArray[np.float64]]
# A body: a name ("Sun", "True Node") or a NAIF code some kernel holds.
_Body = Union[str, int]

# The accepted option codes (option_codes() lists them with their names).
# Any other text falls back to the first code with a UserWarning; house
# systems are also read from a beginning of their name ("Koch", "whole",
# "Meridian", "sunsh").
_HouseSystem = Literal[
    "P",  # Placidus
    "K",  # Koch
    "R",  # Regiomontanus
    "C",  # Campanus
    "T",  # Topocentric
    "B",  # Alcabitius
    "M",  # Morinus
    "O",  # Porphyry
    "E",  # Equal
    "V",  # Vehlow
    "W",  # Whole Sign
    "D",  # Equal MC
    "N",  # Equal Aries
    "X",  # Meridian
    "H",  # Horizontal
    "F",  # Carter poli-equatorial
    "U",  # Krusinski-Pisa-Goelzer
    "Y",  # APC
    "S",  # Sripati
    "I",  # Sunshine
    "L",  # Pullen sinusoidal delta
    "Q",  # Pullen sinusoidal ratio
    "G",  # Gauquelin sectors: a chart's "houses" then has 36 entries, sector 1 first
]
# The obliquity the houses use: the IAU 1980 mean, or the true one (mean
# plus the nutation in obliquity, as much of the field uses).
_HouseObliquity = Literal["mean", "true"]
# The lunar nodes of a chart: the mean ones or those of the osculating orbit.
_Node = Literal["mean", "true"]
_ZodiacType = Literal["tropical", "sidereal"]
_Ayanamsa = Literal[
    "lahiri", "fagan_bradley", "krishnamurti", "raman", "true_citra", "yukteshwar", "deluce",
    "ushashashi", "jn_bhasin", "aldebaran_15tau", "hipparchos", "sassanian", "galcent_0sag",
    "j2000",
]
_DignityScheme = Literal["lilly", "dorothean"]
_DirectionMethod = Literal["placidus_mundane", "placidus_zodiacal", "placidus_pole",
                           "regiomontanus", "campanus", "topocentric"]
_DirectionKey = Literal["ptolemy", "naibod", "cardan", "true_solar_arc", "simmonite", "kepler"]
# The "method" of orb_settings; anything else means "aspect".
_OrbMethod = Literal["moiety_hybrid", "moiety_aspect_weighted", "moiety_traditional", "aspect"]

class EngineError(Exception):
    """A calculation failed (malformed kernel, unsupported data)."""

class EphemerisRangeError(EngineError):
    """No loaded kernel covers the requested date."""

class UnknownOptionWarning(UserWarning):
    """An option text the engine does not know, replaced by its default."""

class Engine:
    """Chart calculator over a set of JPL kernels. It reads the kernels'
    records as calls need them and keeps them in memory (at most 256 MiB per
    file), shared by its calls and threads; a kernel file changed on disk is
    noticed by the next call, and the records kept from it are dropped."""

    def __init__(self, kernels: Sequence[_Path]) -> None: ...
    def __reduce__(self) -> tuple[type[Engine], tuple[tuple[Union[str, bytes], ...]]]: ...
    @property
    def kernels(self) -> list[tuple[str, float, float]]: ...
    @property
    def coverage(self) -> Union[tuple[float, float], None]: ...
    def supports(self, jd: float) -> bool: ...
    @overload
    def chart(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        chinese_calendar: bool = False,
        house_obliquity: _HouseObliquity = "mean",
        node: _Node = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def chart(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        chinese_calendar: bool = False,
        house_obliquity: _HouseObliquity = "mean",
        node: _Node = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def horary(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        quesited_house: Union[int, None] = None,
        chinese_calendar: bool = False,
        house_obliquity: _HouseObliquity = "mean",
        node: _Node = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def horary(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        quesited_house: Union[int, None] = None,
        chinese_calendar: bool = False,
        house_obliquity: _HouseObliquity = "mean",
        node: _Node = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def transit(
        self,
        natal_planets: _Points,
        moment: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def transit(
        self,
        natal_planets: _Points,
        moment: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def election(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        criteria: Union[_JsonObject, Sequence[Any], None] = None,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def election(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        criteria: Union[_JsonObject, Sequence[Any], None] = None,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def elections(
        self,
        start: _Moment,
        end: _Moment,
        latitude: float,
        longitude: float,
        criteria: Union[_JsonObject, Sequence[Any], None] = None,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def elections(
        self,
        start: _Moment,
        end: _Moment,
        latitude: float,
        longitude: float,
        criteria: Union[_JsonObject, Sequence[Any], None] = None,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    def positions(
        self,
        moments: _Moments,
        bodies: Union[_Body, Sequence[_Body], None] = None,
        *,
        zodiac_type: str = "tropical",
        ayanamsa: str = "galcent_0sag",
        center: str = "geocentric",
        latitude: Union[float, None] = None,
        longitude: Union[float, None] = None,
        height: float = 0.0,
        correction: str = "apparent",
        threads: Union[int, None] = None,
    ) -> dict[str, Any]: ...
    @overload
    def planet_return(
        self,
        body: str,
        natal_longitude: float,
        after: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def planet_return(
        self,
        body: str,
        natal_longitude: float,
        after: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def returns(
        self,
        body: str,
        natal_longitude: float,
        start: _Moment,
        end: _Moment,
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def returns(
        self,
        body: str,
        natal_longitude: float,
        start: _Moment,
        end: _Moment,
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def transit_timeline(
        self,
        natal_chart: Union[_JsonObject, _Points],
        start: _Moment,
        end: _Moment,
        bodies: Union[Sequence[str], None] = None,
        orb_settings: Union[_JsonObject, None] = None,
        zodiac_type: Union[_ZodiacType, None] = None,
        ayanamsa: Union[_Ayanamsa, None] = None,
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def transit_timeline(
        self,
        natal_chart: Union[_JsonObject, _Points],
        start: _Moment,
        end: _Moment,
        bodies: Union[Sequence[str], None] = None,
        orb_settings: Union[_JsonObject, None] = None,
        zodiac_type: Union[_ZodiacType, None] = None,
        ayanamsa: Union[_Ayanamsa, None] = None,
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    # The sky's events in time order; each a dict with group, kind, bodies,
    # moment, julian_day, end (a period's end or None), longitudes and
    # details (by kind; see docs/reference.md "The sky's events").
    @overload
    def events(
        self,
        start: _Moment,
        end: _Moment,
        kinds: Union[Sequence[str], None] = None,
        bodies: Union[Sequence[str], None] = None,
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        void_of_course: Literal["traditional", "modern"] = "traditional",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def events(
        self,
        start: _Moment,
        end: _Moment,
        kinds: Union[Sequence[str], None] = None,
        bodies: Union[Sequence[str], None] = None,
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        void_of_course: Literal["traditional", "modern"] = "traditional",
        *,
        json: Literal[False] = False,
    ) -> list[_Record]: ...
    # The solar eclipse nearest a moment (or an event dict) seen from a place.
    @overload
    def solar_eclipse_at(
        self,
        moment: Union[_Moment, _JsonObject],
        latitude: float,
        longitude: float,
        height: float = 0.0,
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def solar_eclipse_at(
        self,
        moment: Union[_Moment, _JsonObject],
        latitude: float,
        longitude: float,
        height: float = 0.0,
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    # The Jyotish chart: rasi, vargas, dashas, ashtakavarga and panchanga.
    @overload
    def jyotish(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        ayanamsa: _Ayanamsa = "lahiri",
        node: _Node = "mean",
        dasha_year: Literal["julian", "tropical", "savana"] = "julian",
        house_division: Literal["whole_sign", "equal"] = "whole_sign",
        sunrise: Literal["disc_centre", "upper_limb"] = "disc_centre",
        dasha_depth: int = 2,
        dasha_at: Union[_Moment, None] = None,
        dasha_from: Union[_Moment, None] = None,
        dasha_to: Union[_Moment, None] = None,
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def jyotish(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        ayanamsa: _Ayanamsa = "lahiri",
        node: _Node = "mean",
        dasha_year: Literal["julian", "tropical", "savana"] = "julian",
        house_division: Literal["whole_sign", "equal"] = "whole_sign",
        sunrise: Literal["disc_centre", "upper_limb"] = "disc_centre",
        dasha_depth: int = 2,
        dasha_at: Union[_Moment, None] = None,
        dasha_from: Union[_Moment, None] = None,
        dasha_to: Union[_Moment, None] = None,
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    # The last lunation, solar eclipse and lunar eclipse before a moment.
    @overload
    def prenatal(self, moment: _Moment, *, json: Literal[True]) -> str: ...
    @overload
    def prenatal(self, moment: _Moment, *, json: Literal[False] = False) -> _Record: ...
    @overload
    def progressions(
        self,
        birth: _Moment,
        target: _Moment,
        latitude: float,
        longitude: float,
        angle_method: str = "solar_arc",
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        house_obliquity: _HouseObliquity = "mean",
        kind: Literal["secondary", "tertiary", "minor"] = "secondary",
        month: Literal["tropical", "synodic"] = "tropical",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def progressions(
        self,
        birth: _Moment,
        target: _Moment,
        latitude: float,
        longitude: float,
        angle_method: str = "solar_arc",
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        house_obliquity: _HouseObliquity = "mean",
        kind: Literal["secondary", "tertiary", "minor"] = "secondary",
        month: Literal["tropical", "synodic"] = "tropical",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def zodiacal_releasing(
        self,
        birth: _Moment,
        latitude: float,
        longitude: float,
        start: _Moment,
        end: _Moment,
        lot: str = "spirit",
        levels: int = 4,
        year: Literal["360", "tropical"] = "360",
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        house_obliquity: _HouseObliquity = "mean",
        spirit_with_fortune: Literal["next_sign", "own_sign"] = "next_sign",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def zodiacal_releasing(
        self,
        birth: _Moment,
        latitude: float,
        longitude: float,
        start: _Moment,
        end: _Moment,
        lot: str = "spirit",
        levels: int = 4,
        year: Literal["360", "tropical"] = "360",
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        house_obliquity: _HouseObliquity = "mean",
        spirit_with_fortune: Literal["next_sign", "own_sign"] = "next_sign",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def solar_arc_directions(
        self,
        birth: _Moment,
        start: _Moment,
        end: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def solar_arc_directions(
        self,
        birth: _Moment,
        start: _Moment,
        end: _Moment,
        latitude: float,
        longitude: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def primary_directions(
        self,
        birth: _Moment,
        latitude: float,
        longitude: float,
        start_age: float = 0,
        end_age: float = 100,
        method: _DirectionMethod = "placidus_zodiacal",
        key: _DirectionKey = "naibod",
        promissor_latitude: Literal["zero", "bianchini", "planet"] = "zero",
        converse: Literal["traditional", "reverse"] = "traditional",
        dignity_scheme: str = "egyptian",
        significators: Sequence[str] | None = None,
        promissors: Sequence[str] | None = None,
        aspects: Sequence[str] | None = None,
        families: Sequence[str] | None = None,
        directions: Sequence[str] | None = None,
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def primary_directions(
        self,
        birth: _Moment,
        latitude: float,
        longitude: float,
        start_age: float = 0,
        end_age: float = 100,
        method: _DirectionMethod = "placidus_zodiacal",
        key: _DirectionKey = "naibod",
        promissor_latitude: Literal["zero", "bianchini", "planet"] = "zero",
        converse: Literal["traditional", "reverse"] = "traditional",
        dignity_scheme: str = "egyptian",
        significators: Sequence[str] | None = None,
        promissors: Sequence[str] | None = None,
        aspects: Sequence[str] | None = None,
        families: Sequence[str] | None = None,
        directions: Sequence[str] | None = None,
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def composite(
        self,
        moment_a: _Moment,
        latitude_a: float,
        longitude_a: float,
        moment_b: _Moment,
        latitude_b: float,
        longitude_b: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def composite(
        self,
        moment_a: _Moment,
        latitude_a: float,
        longitude_a: float,
        moment_b: _Moment,
        latitude_b: float,
        longitude_b: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    @overload
    def davison(
        self,
        moment_a: _Moment,
        latitude_a: float,
        longitude_a: float,
        moment_b: _Moment,
        latitude_b: float,
        longitude_b: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def davison(
        self,
        moment_a: _Moment,
        latitude_a: float,
        longitude_a: float,
        moment_b: _Moment,
        latitude_b: float,
        longitude_b: float,
        house_system: _HouseSystem = "P",
        zodiac_type: _ZodiacType = "tropical",
        ayanamsa: _Ayanamsa = "galcent_0sag",
        orb_settings: Union[_JsonObject, None] = None,
        dignity_scheme: _DignityScheme = "lilly",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    # Lines of each body at `moment`: MC/IC where its hour angle (Greenwich
    # apparent sidereal time + east longitude - right ascension) is 0/180;
    # ASC/DSC on the geometric horizon (no refraction, parallax or
    # semidiameter), east/west of the meridian, up to latitude +-(90 - |dec|).
    # mode "mundo": apparent RA/Dec of date; "zodiaco": the ecliptic point at
    # the body's longitude, latitude 0, through the houses' IAU 1980 mean
    # obliquity (as the chart's Ascendant). Segments
    # of [lon, lat] cut at the antimeridian, within 0.01 deg of the curve.
    @overload
    def astrocartography(
        self,
        moment: _Moment,
        bodies: Union[str, Sequence[str], None] = None,
        mode: Literal["mundo", "zodiaco"] = "mundo",
        latitude: Union[float, None] = None,
        longitude: Union[float, None] = None,
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def astrocartography(
        self,
        moment: _Moment,
        bodies: Union[str, Sequence[str], None] = None,
        mode: Literal["mundo", "zodiaco"] = "mundo",
        latitude: Union[float, None] = None,
        longitude: Union[float, None] = None,
        *,
        json: Literal[False] = False,
    ) -> _Record: ...
    # The fractional house of each body: {"moment", "jd", "house_system",
    # "polar_fallback", "ramc", "obliquity", "positions": [{"body",
    # "longitude", "latitude", "house_position"}, ...]}. Cusp h is exactly h;
    # 1.0 to below 13.0, or for "G" the sector, 1.0 to below 37.0 (sector 1
    # from the Ascendant up to the Midheaven, with the diurnal motion). From
    # the body's ecliptic longitude and latitude, in its system's own frame
    # (semi-arcs for P and G, circles through the horizon's north and south
    # points for R, C, Y, I, hour circles for X, F, B, U, azimuth for H, the
    # ecliptic for K and the ecliptic systems): see docs/reference.md.
    @overload
    def house_positions(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        bodies: Union[str, Sequence[str], None] = None,
        house_system: _HouseSystem = "P",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[True],
    ) -> str: ...
    @overload
    def house_positions(
        self,
        moment: _Moment,
        latitude: float,
        longitude: float,
        bodies: Union[str, Sequence[str], None] = None,
        house_system: _HouseSystem = "P",
        house_obliquity: _HouseObliquity = "mean",
        *,
        json: Literal[False] = False,
    ) -> _Record: ...

@overload
def synastry(
    chart_a_planets: _Points,
    chart_b_planets: _Points,
    orb_settings: Union[_JsonObject, None] = None,
    *,
    json: Literal[True],
) -> str: ...
@overload
def synastry(
    chart_a_planets: _Points,
    chart_b_planets: _Points,
    orb_settings: Union[_JsonObject, None] = None,
    *,
    json: Literal[False] = False,
) -> _Record: ...
@overload
def derived_chart(
    base_chart: _JsonObject, root_house: int, custom_name: Union[str, None] = None,
    *,
    json: Literal[True],
) -> str: ...
@overload
def derived_chart(
    base_chart: _JsonObject, root_house: int, custom_name: Union[str, None] = None,
    *,
    json: Literal[False] = False,
) -> _Record: ...
def julian_day(moment: _Moment) -> float: ...
@overload
def degree_qualities(longitude: float, *, json: Literal[True]) -> str: ...
@overload
def degree_qualities(longitude: float, *, json: Literal[False] = False) -> _Record: ...
@overload
def degree_quality_table(*, json: Literal[True]) -> str: ...
@overload
def degree_quality_table(*, json: Literal[False] = False) -> list[_Record]: ...
@overload
def option_codes(*, json: Literal[True]) -> str: ...
@overload
def option_codes(*, json: Literal[False] = False) -> dict[str, list[dict[str, str]]]: ...
@overload
def time_lords(
    birth: _Moment,
    sun_longitude: float,
    ascendant_longitude: float,
    start: _Moment,
    end: _Moment,
    *,
    json: Literal[True],
) -> str: ...
@overload
def time_lords(
    birth: _Moment,
    sun_longitude: float,
    ascendant_longitude: float,
    start: _Moment,
    end: _Moment,
    *,
    json: Literal[False] = False,
) -> _Record: ...
@overload
def chart_dignities(chart: _JsonObject, dignity_scheme: _DignityScheme = "lilly", *, json: Literal[True]) -> str: ...
@overload
def chart_dignities(chart: _JsonObject, dignity_scheme: _DignityScheme = "lilly", *, json: Literal[False] = False) -> _Record: ...
@overload
def chart_structure(chart: _JsonObject, *, rulers: Literal["traditional", "modern"] = "traditional", midpoint_orb: float = 1.5, json: Literal[True]) -> str: ...
@overload
def chart_structure(chart: _JsonObject, *, rulers: Literal["traditional", "modern"] = "traditional", midpoint_orb: float = 1.5, json: Literal[False] = False) -> _Record: ...
@overload
def harmonic_chart(chart: _JsonObject, n: int, *, json: Literal[True]) -> str: ...
@overload
def harmonic_chart(chart: _JsonObject, n: int, *, json: Literal[False] = False) -> _Record: ...
@overload
def bazi(
    calendar: _JsonObject,
    moment: _Moment,
    longitude: float,
    utc_offset_minutes: float,
    solar_time: bool = True,
    zi_hour: str = "next_day",
    sex: Union[str, None] = None,
    luck_pillars: int = 10,
    year: Union[int, None] = None,
    date: Union[str, None] = None,
    *,
    json: Literal[True],
) -> str: ...
@overload
def bazi(
    calendar: _JsonObject,
    moment: _Moment,
    longitude: float,
    utc_offset_minutes: float,
    solar_time: bool = True,
    zi_hour: str = "next_day",
    sex: Union[str, None] = None,
    luck_pillars: int = 10,
    year: Union[int, None] = None,
    date: Union[str, None] = None,
    *,
    json: Literal[False] = False,
) -> _Record: ...
@overload
def zi_wei(
    calendar: _JsonObject,
    moment: _Moment,
    longitude: float,
    utc_offset_minutes: float,
    solar_time: bool = True,
    zi_hour: str = "next_day",
    sex: Union[str, None] = None,
    leap_month: str = "split",
    year: Union[int, None] = None,
    date: Union[str, None] = None,
    *,
    json: Literal[True],
) -> str: ...
@overload
def zi_wei(
    calendar: _JsonObject,
    moment: _Moment,
    longitude: float,
    utc_offset_minutes: float,
    solar_time: bool = True,
    zi_hour: str = "next_day",
    sex: Union[str, None] = None,
    leap_month: str = "split",
    year: Union[int, None] = None,
    date: Union[str, None] = None,
    *,
    json: Literal[False] = False,
) -> _Record: ...
def declination_aspects(positions: Mapping[str, Any], orb: float = 1.0) -> _Record: ...
