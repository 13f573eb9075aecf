"""uvicorn's h11 protocol with a deadline on the head of each request.

uvicorn times out an idle keep-alive connection, but not one that is
sending its request line and headers: a client may take for ever over
them. Here a head that is not in within HEAD_SECONDS of its first byte
(or of the connection) closes the connection. `quorvane serve` runs with
it; h11 also bounds the head's size (h11_max_incomplete_event_size).
"""
from __future__ import annotations

import h11
from uvicorn.protocols.http.h11_impl import H11Protocol

from .limits import HEAD_SECONDS


class HeadDeadlineH11(H11Protocol):
    head_timer = None

    def connection_made(self, transport) -> None:
        super().connection_made(transport)
        self.arm()

    def data_received(self, data: bytes) -> None:
        if self.conn.their_state is h11.IDLE:
            self.arm()
        super().data_received(data)
        if self.conn.their_state is not h11.IDLE:
            self.disarm()

    def connection_lost(self, exc) -> None:
        self.disarm()
        super().connection_lost(exc)

    def arm(self) -> None:
        if self.head_timer is None:
            self.head_timer = self.loop.call_later(HEAD_SECONDS, self.head_too_slow)

    def disarm(self) -> None:
        if self.head_timer is not None:
            self.head_timer.cancel()
            self.head_timer = None

    def head_too_slow(self) -> None:
        self.head_timer = None
        if self.conn.their_state is h11.IDLE and not self.transport.is_closing():
            self.transport.close()
