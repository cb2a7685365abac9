"""The stubs match the module, type everyday code correctly, and document it;
every method has a usable signature."""

import ast
import inspect
import os
import runpy
import subprocess
import sys
from pathlib import Path

import pytest

import qudimrs
from qudimrs import _core

HERE = Path(__file__).parent


@pytest.mark.parametrize(
    "command",
    [
        ["mypy.stubtest", "qudimrs._core", "--allowlist", str(HERE / "stubtest_allowlist.txt")],
        ["mypy", "--strict", str(HERE / "typed_user.py")],
    ],
    ids=["stubtest", "strict-user-code"],
)
def test_mypy_accepts(command, tmp_path):
    pytest.importorskip("mypy")
    # Checked against the stubs of the package under test, which an installed
    # copy must not shadow; mypy's cache goes to the working directory.
    paths = [str(Path(qudimrs.__file__).parent.parent), os.environ.get("PYTHONPATH")]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in paths if p))
    proc = subprocess.run(
        [sys.executable, "-m", *command],
        capture_output=True, text=True, check=False, cwd=tmp_path, env=env,
    )
    assert proc.returncode == 0, proc.stdout + proc.stderr


def test_typed_user_code_runs_as_typed():
    trip_report = runpy.run_path(str(HERE / "typed_user.py"))["trip_report"]
    assert trip_report(qudimrs.UnitRegistry())[-1] == "<Unit('m')>"


def test_every_public_stub_member_has_a_docstring():
    tree = ast.parse((Path(qudimrs.__file__).parent / "_core.pyi").read_text())
    bare = [
        f"{cls.name}.{fn.name}"
        for cls in tree.body if isinstance(cls, ast.ClassDef)
        for fn in cls.body if isinstance(fn, ast.FunctionDef)
        if not fn.name.startswith("_") or fn.name.startswith("__")
        if ast.get_docstring(fn) is None
        and not any(ast.unparse(d) == "overload" for d in fn.decorator_list)
    ]
    assert bare == []


def test_every_method_signature_is_readable():
    for cls in (_core.UnitRegistry, _core.Quantity, _core.Unit):
        for name, member in vars(cls).items():
            if callable(member) and getattr(member, "__text_signature__", None) is not None:
                assert all(p.name for p in inspect.signature(member).parameters.values()), name
