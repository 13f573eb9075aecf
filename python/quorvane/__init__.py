"""quorvane: the Python side of the quorvane_engine extension module.

What belongs in Python rather than in the computation library lives here:
the command line (`quorvane.cli`), and helpers for people's own inputs
(places, local time) and for pictures of charts.
"""
from quorvane_engine import __version__

__all__ = ["__version__"]
