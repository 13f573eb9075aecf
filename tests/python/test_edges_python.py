"""Hostile and careless inputs to the Python side: the library, the
command line and the service each refuse them with the error of their
kind and a message naming what was wrong, never a traceback."""
import asyncio
import json
import math
import os
import pathlib
import random
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

import pytest

import quorvane
import quorvane_engine as q
from quorvane import localtime, wheel
from quorvane.serve.limits import BodyLimit
from tests.python.test_cli import run

BIRTH = dict(tz="America/New_York", latitude=40.71427, longitude=-74.00597)


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def chart(engine):
    return quorvane.natal("1990-07-14 08:30", engine=engine, **BIRTH)


LIBRARY = [  # (call of the chart, the engine), exception, what the message names
    *[(lambda c, e, zone=zone: localtime.to_utc("2024-01-01 12:00", zone), ValueError,
       "time zone") for zone in ("Etc", "America", "Europe/" + "x" * 300)],
    (lambda c, e: quorvane.natal("2024-01-01 12:00", tz="Etc", latitude=0, longitude=0,
                                 engine=e), ValueError, "time zone"),
    (lambda c, e: localtime.to_utc("0001-01-01 00:30", "Asia/Tokyo"), ValueError, "calendar"),
    (lambda c, e: localtime.to_utc("9999-12-31 23:30", "America/New_York"), ValueError,
     "calendar"),
    (lambda c, e: localtime.to_utc("0001-01-01 00:00", offset="+01:00"), ValueError,
     "calendar"),
    (lambda c, e: wheel.natal_svg({"planets": [{"ecliptic_longitude": 1.0}]}), ValueError,
     "name"),
    (lambda c, e: wheel.natal_svg({"planets": [{"name": "Sun", "ecliptic_longitude": math.nan}]}),
     ValueError, "ecliptic_longitude"),
    (lambda c, e: wheel.natal_svg({**c, "house_system": 5}), TypeError, "house_system"),
    (lambda c, e: wheel.natal_svg({**c, "houses": [{"ecliptic_longitude": "x"}] * 12}),
     ValueError, "ecliptic_longitude"),
    (lambda c, e: wheel.bi_wheel_svg(c, c, labels=["Natal"]), ValueError, "labels"),
    (lambda c, e: wheel.to_png(wheel.natal_svg(c, size=5000), scale=4), ValueError, "PNG"),
    (lambda c, e: wheel.to_png(wheel.natal_svg(c), scale=math.inf), ValueError, "scale"),
    (lambda c, e: quorvane.solar_return("1990-07-14 08:30", engine=e, **BIRTH), ValueError,
     "year"),
    (lambda c, e: quorvane.planet_return("Vulcan", "1990-07-14 08:30", after="2024-01-01",
                                         engine=e, **BIRTH), ValueError, "body"),
    (lambda c, e: quorvane.progressions("1990-07-14 08:30", target="2024-02-30", engine=e,
                                        **BIRTH), ValueError, "2024-02-30"),
]


@pytest.mark.parametrize("call, kind, named", LIBRARY)
def test_library_refusals(chart, engine, call, kind, named):
    with pytest.raises(kind, match=re.escape(named)):
        call(chart, engine)


def hostile_text(rng: random.Random) -> str:
    """Text with what XML cannot carry mixed into ordinary and astral characters."""
    pool = ["\x00", "\x01", "\x0b", "\x1f", "\ud800", "\udfff", "\ufffe", "\uffff", "<", "&",
            "]]>", "\"", "'", "a", "\u00e9", "\u2648", "\U0001f600", "\t", "\n"]
    return "".join(rng.choice(pool) for _ in range(rng.randrange(1, 40)))


def test_pictures_stay_well_formed_for_any_text(chart, engine):
    rng = random.Random(20)
    bazi = quorvane.bazi("1990-07-14 08:30", engine=engine, **BIRTH)
    for _ in range(60):
        name, title = hostile_text(rng), hostile_text(rng)
        named = {**chart, "planets": chart["planets"] + [
            {"name": name, "ecliptic_longitude": rng.uniform(0, 360)}]}
        for svg in (wheel.natal_svg(named, title=title),
                    wheel.bi_wheel_svg(chart, named["planets"], [], labels=(name, title)),
                    wheel.bazi_svg(bazi, title=title)):
            ET.fromstring(svg)  # raises on anything not well-formed


CLI = [  # arguments, exit status, text in the error (or in the note)
    (["chart", "2024-01-01 12:00", "40.7", "-74", "--tz", "Etc"], 2, "unknown time zone"),
    (["chart", "2024-01-01 12:00", "40.7", "-74", "--tz", "UTC", "--orbs", "@/dev/zero"], 2,
     "MiB"),
    (["chart", "2024-01-01 12:00", "40.7", "-74", "--tz", "UTC", "--orbs",
      '{"method": "junk"}'], 2, "accepted"),
    (["transit", "2024-01-01T12:00Z", "40.7", "-74", "--natal", "natal.json"], 2,
     "@natal.json"),
    (["chart", "2024-01-01 12:00", "40.7", "-74", "--place", "Paris"], 2, "not both"),
    (["chart", "2024-11-03 01:30", "40.7", "-74", "--tz", "America/New_York"], 2,
     "--fold first"),
    (["chart", "0001-01-01", "40.7", "-74", "--tz", "Asia/Tokyo"], 2, "calendar"),
    (["chart", "1990-07-14", "40.7", "-74", "--tz", "America/New_York"], 0, "no time of day"),
    (["returns", "Sun", "1990-07-14 08:30", "40.7", "-74", "2020-01-01"], 2, "START END"),
]


@pytest.mark.parametrize("args, status, said", CLI)
def test_command_line_refusals(de440, args, status, said):
    done = run(*args)
    assert (done.returncode, "Traceback" in done.stderr) == (status, False), done.stderr
    assert said in done.stderr


def test_predictive_commands_read_local_time(de440):
    # 08:30 EDT is 12:30 UTC; read as UTC the return came out four hours early.
    done = run("return", "Sun", "1990-07-14 08:30", "40.71427", "-74.00597", "--tz",
               "America/New_York", "--after", "2024-01-01", "--json")
    assert done.returncode == 0, done.stderr
    assert json.loads(done.stdout)["moment"].startswith("2024-07-13T17:45:03")


def test_pictures_to_standard_output(de440):
    done = run("chart", "2024-01-01T12:00Z", "40.7", "-74", "--svg", "-")
    assert done.returncode == 0, done.stderr
    assert ET.fromstring(done.stdout).tag.endswith("svg")


# ------------------------------------------------------------------ service

@pytest.fixture(scope="module")
def logged_server(de440, tmp_path_factory):
    """A service of its own, whose log is a file the tests can read."""
    pytest.importorskip("fastapi")
    import time

    from tests.support.service import Client, environment, free_port

    log, port = tmp_path_factory.mktemp("serve") / "log.txt", free_port()
    with open(log, "w") as out:
        process = subprocess.Popen(
            [sys.executable, "-m", "quorvane", "serve", "--port", str(port), "--kernel", de440],
            env=environment(), stdout=out, stderr=subprocess.STDOUT)
    try:
        for _ in range(600):
            try:
                if Client(port).get("/api/about")[0] == 200:
                    break
            except OSError:
                time.sleep(0.1)
        yield port, log
    finally:
        process.terminate()
        process.wait(30)


NOON = {"moment": "2024-01-01T12:00Z", "latitude": 40.7, "longitude": -74.0}
SERVICE = [  # path, body, status, text of the reason
    *[(path, dict(NOON, orb_settings={"method": method}), 422, "accepted")
      for path in ("/api/chart", "/api/horary", "/api/election", "/api/wheel.svg")
      for method in ("junk", None, 5)],
    ("/api/transit", dict(NOON, natal={"planets": [{"name": "Sun", "ecliptic_longitude": 1}]},
                          orb_settings={"method": "junk"}), 422, "accepted"),
    *[("/api/chart", dict(NOON, moment=None, local="2024-01-01 12:00", tz=zone), 422,
       "unknown time zone") for zone in ("Etc", "America")],
    ("/api/chart", dict(NOON, moment=None, local="9999-12-31 23:30", tz="America/New_York"),
     422, "calendar"),
]


@pytest.mark.parametrize("path, body, status, reason", SERVICE)
def test_service_refusals_leave_no_traceback(logged_server, path, body, status, reason):
    from tests.support.service import Client

    port, log = logged_server
    got, data = Client(port).post(path, {k: v for k, v in body.items() if v is not None})
    assert (got, reason in str(data)) == (status, True), data
    assert "Traceback" not in log.read_text()


def raw_exchange(port: int, head: bytes, body: bytes = b"") -> bytes:
    import socket

    with socket.create_connection(("127.0.0.1", port), timeout=30) as raw:
        try:
            raw.sendall(head + body)
        except (BrokenPipeError, ConnectionResetError):
            pass
        answer = b""
        while part := raw.recv(65536):  # a reset raises: the answer was lost
            answer += part
    return answer


def test_service_limits_answer_rather_than_reset(logged_server):
    port, log = logged_server
    big = b"{" + b" " * 600_000 + b"}"
    answer = raw_exchange(port, b"POST /api/chart HTTP/1.1\r\nHost: x\r\nContent-Type: "
                          b"application/json\r\nContent-Length: %d\r\n\r\n" % len(big), big)
    assert answer.startswith(b"HTTP/1.1 413") and b"request body over" in answer
    # A head past the limit, still unfinished: answered at once, not read on.
    answer = raw_exchange(port, b"GET /api/about HTTP/1.1\r\nHost: x\r\nX-Big: "
                          + b"y" * 70_000)
    assert re.match(rb"HTTP/1.1 4\d\d", answer), answer[:200]
    answer = raw_exchange(port, b"HEAD /api/about HTTP/1.1\r\nHost: x\r\nConnection: "
                          b"close\r\n\r\n")
    assert answer.startswith(b"HTTP/1.1 200")
    assert "Traceback" not in log.read_text()


def test_half_sent_body_times_out():
    async def app(scope, receive, send):
        assert (await receive())["type"] == "http.disconnect"  # as when the client left

    async def never():
        await asyncio.sleep(3600)

    sent = []

    async def send(message):
        sent.append(message)

    guard = BodyLimit(app, seconds=0.2)
    asyncio.run(asyncio.wait_for(guard({"type": "http", "headers": []}, never, send), 5))
    assert sent[0]["status"] == 408


README_BLOCKS = re.findall(r"```python\n(.*?)```", (pathlib.Path(__file__).parents[2]
                                                    / "README.md").read_text(), re.S)


@pytest.mark.parametrize("block", README_BLOCKS)
def test_readme_examples_run_as_written(de440, block):
    if "dask" in block:
        pytest.importorskip("distributed")
    done = run_python(block)
    assert done.returncode == 0, done.stderr



def run_python(code: str):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [os.environ.get("PYTHONPATH", ""), str(pathlib.Path(q.__file__).parent),
         str(pathlib.Path(__file__).parents[2] / "python")]))
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env=env, timeout=300)
