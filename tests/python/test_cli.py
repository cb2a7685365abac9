"""The command line: outputs and exit codes."""

import subprocess
import sys

import pytest

from qudimrs.__main__ import main


@pytest.mark.parametrize(
    "argv, out",
    [
        (["3.5 km/h", "m/s"], "0.9722222222222223 m / s\n"),
        (["100 degC", "degF"], "211.99999999999991 °F\n"),
        (["--compact", "1500 m"], "1.5 kilometer\n"),
        (["--precision", "3", "1 mile", "km"], "1.61 km\n"),
        (["--define", "smoot = 1.7018 m", "--define", "dsmoot = 10 smoot", "1 dsmoot", "m"], "17.018 m\n"),
        (["--list", "furlong"], "furlong\n"),
        (["3 km/h"], "3 km / h\n  base units:     0.8333333333333334 m / s\n  dimensionality: [length] / [time]\n"),
    ],
)
def test_outputs(capsys, argv, out):
    assert main(argv) == 0
    captured = capsys.readouterr()
    assert captured.out == out
    assert captured.err == ""


@pytest.mark.parametrize(
    "argv, err",
    [
        (["3 m", "s"], "error: Cannot convert from 'meter' ([length]) to 'second' ([time])\n"),
        (["3 furlongz"], "error: 'furlongz' is not defined in the unit registry\n"),
        (["--define", "bad = nope * m", "1 m"], "error: 'nope' is not defined in the unit registry\n"),
        (["x m"], "error: 'x' is not defined in the unit registry\n"),
        (["- m"], "error: Cannot parse magnitude: '-'\n"),
    ],
)
def test_errors_exit_2_with_one_line(capsys, argv, err):
    assert main(argv) == 2
    captured = capsys.readouterr()
    assert captured.out == ""
    assert captured.err == err


@pytest.mark.parametrize("argv", [[], ["--precision", "0", "1 m"], ["--bogus"]])
def test_usage_errors(capsys, argv):
    with pytest.raises(SystemExit) as info:
        main(argv)
    assert info.value.code == 2
    assert capsys.readouterr().err.count("\n") == 1


def test_module_entry_point():
    proc = subprocess.run(
        [sys.executable, "-m", "qudimrs", "2 km", "m"], capture_output=True, text=True, check=False
    )
    assert proc.returncode == 0
    assert proc.stdout == "2000 m\n"
    demo = subprocess.run([sys.executable, "-m", "qudimrs", "--demo"], capture_output=True, text=True, check=False)
    assert demo.returncode == 0 and "DimensionalityError" in demo.stdout
