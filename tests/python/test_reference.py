"""docs/reference.md is generated from the built module; it must match."""
import os
import sys

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))

import gen_reference


def test_reference_matches_the_module(de440):
    with open(gen_reference.OUTPUT, encoding="utf-8") as f:
        committed = f.read()
    assert committed == gen_reference.render(), \
        "docs/reference.md is stale: run python tools/gen_reference.py"
