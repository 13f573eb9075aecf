"""What one request may ask of the chart service, and the guard on bodies.

Each limit keeps a single request from holding a worker for long or from
filling its memory; /api/about lists them, and the README repeats them.
"""
from __future__ import annotations

# A request body: a chart dict with its Chinese calendar is about 40 KiB,
# so a transit or derived chart request fits with room to spare.
MAX_BODY_BYTES = 256 * 1024
# The engine searches elections over 92 days at most; a search that long
# takes seconds, so the service keeps to the same bound.
MAX_ELECTION_DAYS = 92
# Time lords: a long life and then some.
MAX_TIME_LORD_YEARS = 150
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


def as_dict() -> dict:
    return {
        "max_body_bytes": MAX_BODY_BYTES,
        "max_election_days": MAX_ELECTION_DAYS,
        "max_time_lord_years": MAX_TIME_LORD_YEARS,
        "max_event_days": MAX_EVENT_DAYS,
        "max_points": MAX_POINTS,
        "max_query_chars": MAX_QUERY_CHARS,
        "max_places": MAX_PLACES,
        "deadline_seconds": DEADLINE_SECONDS,
    }


class BodyLimit:
    """ASGI middleware: refuse a body over `limit` bytes with 413.

    A declared Content-Length over the limit is refused before anything is
    read; a chunked body is counted as it arrives.
    """

    def __init__(self, app, limit: int = MAX_BODY_BYTES):
        self.app, self.limit = app, limit

    async def __call__(self, scope, receive, send):
        if scope["type"] != "http":
            return await self.app(scope, receive, send)
        for name, value in scope["headers"]:
            if name == b"content-length":
                if not value.isdigit() or int(value) > self.limit:
                    return await self.refuse(send)
        seen, over, started = 0, False, False

        async def counted():
            nonlocal seen, over
            message = await receive()
            if message["type"] == "http.request":
                seen += len(message.get("body", b""))
                if seen > self.limit:
                    # Tell the application the client went away: it stops
                    # reading, and the refusal below is the only answer.
                    over = True
                    return {"type": "http.disconnect"}
            return message

        async def guarded(message):
            nonlocal started
            if not over:
                started = True
                await send(message)

        try:
            await self.app(scope, counted, guarded)
        except Exception:
            if not over:
                raise
        if over and not started:
            await self.refuse(send)

    async def refuse(self, send):
        body = (b'{"detail":"request body over %d bytes"}' % self.limit)
        await send({"type": "http.response.start", "status": 413,
                    "headers": [(b"content-type", b"application/json"),
                                (b"content-length", str(len(body)).encode()),
                                (b"connection", b"close")]})
        await send({"type": "http.response.body", "body": body})
