"""The type stubs match the built module, name for name and parameter for parameter."""
import ast
import inspect
import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

import quorvane_engine as q

STUB = pathlib.Path(__file__).resolve().parents[2] / "python" / "quorvane_engine.pyi"
TREE = ast.parse(STUB.read_text())
EMPTY = inspect.Parameter.empty


def definitions(body):
    out = {}
    for node in body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            out[node.name] = node
        elif isinstance(node, ast.AnnAssign):
            out[node.target.id] = node
    return out


STUBS = definitions(TREE.body)
ENGINE_STUBS = definitions(STUBS["Engine"].body)


def public(names):
    return {n for n in names if not n.startswith("_")}


def stub_parameters(node, method):
    """(name, kind, default) of a stub function, as inspect would give them."""
    args = node.args
    positional = [(a, inspect.Parameter.POSITIONAL_ONLY) for a in args.posonlyargs] + \
                 [(a, inspect.Parameter.POSITIONAL_OR_KEYWORD) for a in args.args]
    defaults = [EMPTY] * (len(positional) - len(args.defaults)) + \
               [ast.literal_eval(d) for d in args.defaults]
    out = [(a.arg, kind, d) for (a, kind), d in zip(positional, defaults)]
    if args.vararg:
        out.append((args.vararg.arg, inspect.Parameter.VAR_POSITIONAL, EMPTY))
    out += [(a.arg, inspect.Parameter.KEYWORD_ONLY,
             EMPTY if d is None else ast.literal_eval(d))
            for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    if args.kwarg:
        out.append((args.kwarg.arg, inspect.Parameter.VAR_KEYWORD, EMPTY))
    return out[1:] if method else out


def runtime_parameters(function, method):
    params = [(p.name, p.kind, p.default)
              for p in inspect.signature(function).parameters.values()]
    return params[1:] if method else params


def typed(params):
    # False == 0 and 1.0 == 1: the types of the defaults must agree too.
    return [(name, kind, type(default), default) for name, kind, default in params]


def assert_complete(node):
    assert node.returns is not None, f"{node.name}: no return type"
    args = node.args.posonlyargs + node.args.args + node.args.kwonlyargs
    missing = [a.arg for a in args if a.annotation is None and a.arg != "self"]
    assert not missing, f"{node.name}: parameters without a type: {missing}"


def module_functions():
    return sorted(n for n in public(dir(q)) if inspect.isbuiltin(getattr(q, n)))


def engine_methods():
    return sorted(n for n, v in vars(q.Engine).items()
                  if inspect.ismethoddescriptor(v) and (not n.startswith("_") or
                                                        n == "__reduce__"))


class TestNames:
    def test_every_public_name_has_a_stub_and_no_more(self):
        assert public(STUBS) | {"__version__"} == public(dir(q)) | {"__version__"}
        assert "__version__" in STUBS

    def test_every_engine_member_has_a_stub_and_no_more(self):
        members = {n for n, v in vars(q.Engine).items()
                   if inspect.ismethoddescriptor(v) or inspect.isdatadescriptor(v)}
        assert public(ENGINE_STUBS) == public(members)
        assert "__reduce__" in ENGINE_STUBS

    def test_properties(self):
        for name, value in vars(q.Engine).items():
            if inspect.isdatadescriptor(value) and not name.startswith("_"):
                node = ENGINE_STUBS[name]
                decorators = [d.id for d in node.decorator_list if isinstance(d, ast.Name)]
                assert decorators == ["property"], name
                assert_complete(node)

    def test_exceptions_and_their_bases(self):
        for name in ("EngineError", "EphemerisRangeError"):
            bases = [b.id for b in STUBS[name].bases]
            assert bases == [b.__name__ for b in getattr(q, name).__bases__]


@pytest.mark.parametrize("name", module_functions())
def test_function_signature(name):
    node = STUBS[name]
    assert_complete(node)
    assert typed(stub_parameters(node, method=False)) == \
        typed(runtime_parameters(getattr(q, name), method=False))


@pytest.mark.parametrize("name", engine_methods())
def test_method_signature(name):
    node = ENGINE_STUBS[name]
    assert_complete(node)
    assert typed(stub_parameters(node, method=True)) == \
        typed(runtime_parameters(getattr(q.Engine, name), method=True))


def test_constructor_signature():
    init = ENGINE_STUBS["__init__"]
    assert_complete(init)
    assert typed(stub_parameters(init, method=True)) == \
        typed(runtime_parameters(q.Engine, method=False))


def test_signature_reader_sees_differences():
    # The comparison itself must notice a renamed parameter or a changed default.
    node = ast.parse("def f(a: int, b: str = 'x', c: bool = False) -> None: ...").body[0]
    assert stub_parameters(node, False) == runtime_parameters(
        eval("lambda a, b='x', c=False: None"), False)
    assert typed(stub_parameters(node, False)) != typed(
        runtime_parameters(eval("lambda a, b='x', c=0: None"), False))
    assert stub_parameters(node, False) != runtime_parameters(
        eval("lambda a, bb='x', c=False: None"), False)


GOOD = """
    import datetime
    import pathlib
    from typing import Any

    import quorvane_engine as q

    engine = q.Engine([pathlib.Path("de440.bsp"), "de441_part-1.bsp"])
    chart: dict[str, Any] = engine.chart("2024-03-20T12:00Z", 51.48, -0.0, house_system="K",
                                         orb_settings={"method": "per_aspect"})
    jd: float = q.julian_day(datetime.datetime(2000, 1, 1, 12)) + 0.5
    first, last = engine.coverage or (0.0, 0.0)
    names = [name.upper() for name, start, end in engine.kernels if start < jd < end]
    table = q.degree_quality_table()[0]["sign"]
    again = q.chart_dignities(chart, dignity_scheme="dorothean")
    text: str = engine.chart("2024-03-20T12:00Z", 51.48, -0.0, json=True).strip()
    try:
        engine.transit(chart["planets"], "2025-01-01T00:00Z", 51.48, 0)
    except q.EphemerisRangeError as error:
        message: str = str(error)
    except q.EngineError:
        pass
"""

BAD = """
    import quorvane_engine as q

    engine = q.Engine([])
    engine.chart(2451545.0, 51.48, -0.0)
    engine.chart("2024-03-20T12:00Z", 51.48, -0.0, houses="K")
    q.julian_day("2000-01-01T12:00Z").upper()
    engine.kernels = []
"""


def run_mypy(tmp_path, source):
    sample = tmp_path / "sample.py"
    sample.write_text(textwrap.dedent(source))
    env = dict(os.environ, MYPYPATH=str(STUB.parent))
    done = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-error-summary", "--hide-error-context",
         "--cache-dir", str(tmp_path / "cache"), str(sample)],
        capture_output=True, text=True, env=env, cwd=tmp_path, timeout=600)
    return done.returncode, done.stdout.splitlines()


def test_mypy_accepts_correct_use_and_rejects_misuse(tmp_path):
    pytest.importorskip("mypy", reason="mypy is not installed (pip install mypy)")
    status, lines = run_mypy(tmp_path, GOOD)
    assert (status, lines) == (0, [])
    status, lines = run_mypy(tmp_path, BAD)
    assert status == 1
    codes = [(line.split(":")[1], line.rsplit("[", 1)[-1].rstrip("]"))
             for line in lines if ": error: " in line]
    # The record methods are overloaded on `json`: misuse is "no overload matches".
    assert sorted(set(codes)) == [("5", "call-overload"), ("6", "call-overload"),
                                  ("7", "attr-defined"), ("8", "misc")], lines
