"""The errors of people's own inputs: a place that is not found, a local
time that does not exist or happens twice. Each is a ValueError, like the
engine's own bad-input errors, so one `except ValueError` catches them all.
"""
from __future__ import annotations

import datetime


class PlaceNotFound(ValueError):
    """No place in the index has this name; `suggestions` holds the places
    (at most five) whose names start so or are one letter off it."""

    def __init__(self, message: str, suggestions=()):
        super().__init__(message)
        self.suggestions = list(suggestions)


class LocalTimeError(ValueError):
    """A wall-clock time that does not name one moment in its zone."""


class NonexistentTimeError(LocalTimeError):
    """A wall-clock time skipped when the clocks went forward.

    `before` and `after` are the nearest valid wall-clock times on either
    side of the gap (naive datetimes), `transition` the UTC moment of the
    change.
    """

    def __init__(self, message: str, before: datetime.datetime, after: datetime.datetime,
                 transition: datetime.datetime):
        super().__init__(message)
        self.before, self.after, self.transition = before, after, transition


class AmbiguousTimeError(LocalTimeError):
    """A wall-clock time that happened twice when the clocks went back.

    `first` and `second` are its two readings as UTC moments, in order.
    """

    def __init__(self, message: str, first: datetime.datetime, second: datetime.datetime):
        super().__init__(message)
        self.first, self.second = first, second
