"""What one request may ask of the chart service, and the guard on bodies.

Each limit keeps a single request from holding a worker for long or from
filling its memory; /api/about lists them, and the README repeats them.
"""
from __future__ import annotations

import asyncio
import json

# A request body: a chart dict with its Chinese calendar is about 40 KiB,
# so a transit or derived chart request fits with room to spare.
MAX_BODY_BYTES = 256 * 1024
# The engine searches elections over 92 days at most; a search that long
# takes seconds, so the service keeps to the same bound.
MAX_ELECTION_DAYS = 92
# Time lords: a long life and then some.
MAX_TIME_LORD_YEARS = 150
# Zodiacal releasing to levels 3 and 4: about a hundred periods a year.
MAX_FINE_RELEASING_YEARS = 30
# The sky's events: a year and a little (a year of every kind takes about
# 0.1 s and is a few thousand events).
MAX_EVENT_DAYS = 400
# Natal points of a transit or synastry request.
MAX_POINTS = 64
# Place search: the text typed and the number of matches returned.
MAX_QUERY_CHARS = 100
MAX_PLACES = 50
# Wall-clock time of one computation; past it the client gets 503 (the
# engine cannot be interrupted, so the thread finishes in the background).
DEADLINE_SECONDS = 30.0
# A request body arrives in full within this time or is answered 408: a
# client that stops halfway does not hold a connection for ever.
BODY_SECONDS = 20.0
# Of a body over the limit, this much is read and dropped before the 413,
# so that the client reads the answer rather than a reset connection; a
# larger one is cut off.
DRAIN_BYTES = 4 * 1024 * 1024
# The request line and headers together (the server's own guard), and how
# long an idle connection between requests is kept.
MAX_HEADER_BYTES = 64 * 1024
IDLE_SECONDS = 5.0
# The request line and headers arrive within this time of their first byte.
HEAD_SECONDS = 10.0


def as_dict() -> dict:
    return {
        "max_body_bytes": MAX_BODY_BYTES,
        "max_election_days": MAX_ELECTION_DAYS,
        "max_time_lord_years": MAX_TIME_LORD_YEARS,
        "max_fine_releasing_years": MAX_FINE_RELEASING_YEARS,
        "max_event_days": MAX_EVENT_DAYS,
        "max_points": MAX_POINTS,
        "max_query_chars": MAX_QUERY_CHARS,
        "max_places": MAX_PLACES,
        "deadline_seconds": DEADLINE_SECONDS,
        "body_seconds": BODY_SECONDS,
        "max_header_bytes": MAX_HEADER_BYTES,
        "idle_seconds": IDLE_SECONDS,
        "head_seconds": HEAD_SECONDS,
    }


class BodyLimit:
    """ASGI middleware: refuse a body over `limit` bytes with 413, and one
    that does not arrive within `seconds` with 408.

    A declared Content-Length over the limit is refused before the
    application sees it; a chunked body is counted as it arrives. Either
    way what the client is still sending is read and dropped (up to
    DRAIN_BYTES) before the answer: a server that closes with unread data
    resets the connection, and the client never reads why.
    """

    def __init__(self, app, limit: int = MAX_BODY_BYTES, seconds: float = BODY_SECONDS):
        self.app, self.limit, self.seconds = app, limit, seconds

    async def __call__(self, scope, receive, send):
        if scope["type"] != "http":
            return await self.app(scope, receive, send)
        deadline = asyncio.get_running_loop().time() + self.seconds
        headers = dict(scope["headers"])
        value = headers.get(b"content-length")
        if value is not None and (not value.isdigit() or int(value) > self.limit):
            # A client waiting for "100 Continue" has sent nothing to drop.
            if value.isdigit() and int(value) <= DRAIN_BYTES \
                    and headers.get(b"expect", b"").lower() != b"100-continue":
                await self.drain(receive, deadline)
            return await self.refuse(send, 413, f"request body over {self.limit} bytes")
        seen, refusal, started, complete = 0, None, False, False

        async def counted():
            nonlocal seen, refusal, complete
            if complete:  # the body is in: what follows is a wait for the client to go
                return await receive()
            try:
                message = await asyncio.wait_for(
                    receive(), max(0.0, deadline - asyncio.get_running_loop().time()))
            except asyncio.TimeoutError:
                refusal = (408, f"request body not received within {self.seconds:g} s")
                return {"type": "http.disconnect"}
            if message["type"] == "http.request":
                complete = not message.get("more_body", False)
                seen += len(message.get("body", b""))
                if seen > self.limit:
                    # Tell the application the client went away: it stops
                    # reading, and the refusal below is the only answer.
                    refusal = (413, f"request body over {self.limit} bytes")
                    if message.get("more_body", False):
                        await self.drain(receive, deadline)
                    return {"type": "http.disconnect"}
            return message

        async def guarded(message):
            nonlocal started
            if refusal is None:
                started = True
                await send(message)

        try:
            await self.app(scope, counted, guarded)
        except Exception:
            if refusal is None:
                raise
        if refusal is not None and not started:
            await self.refuse(send, *refusal)

    @staticmethod
    async def drain(receive, deadline: float) -> None:
        """Reads and drops the rest of a body, up to DRAIN_BYTES or the deadline."""
        loop, dropped = asyncio.get_running_loop(), 0
        while dropped <= DRAIN_BYTES:
            try:
                message = await asyncio.wait_for(receive(), max(0.0, deadline - loop.time()))
            except asyncio.TimeoutError:
                return
            if message["type"] != "http.request":
                return
            dropped += len(message.get("body", b""))
            if not message.get("more_body", False):
                return

    @staticmethod
    async def refuse(send, status: int, message: str):
        body = json.dumps({"detail": message}).encode()
        await send({"type": "http.response.start", "status": status,
                    "headers": [(b"content-type", b"application/json"),
                                (b"content-length", str(len(body)).encode()),
                                (b"connection", b"close")]})
        await send({"type": "http.response.body", "body": body})
