"""The stubs match the module and type everyday code correctly."""

import os
import runpy
import subprocess
import sys
from pathlib import Path

import pytest

import qudimrs

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

