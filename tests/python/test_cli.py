"""The command line: outputs, messages and exit codes."""

import os
import subprocess
import sys

import pytest

from qudimrs.__main__ import main

REFUSED = "is not an exponent"


@pytest.mark.parametrize(
    "argv, out, err, code",
    [
        # The README's session checks the everyday outputs; these are the edges.
        (["-40 degF", "degC"], "-40 °C\n", "", 0),
        (["1 eV", "J"], "1.602176634e-19 J\n", "", 0),
        # Numbers inside units: only exponents and a leading reciprocal 1 pass.
        (["3 m**2", "m^2"], "3 m ** 2\n", "", 0),
        (["1/2 m"], "", f"the number 2 in '1/2 m' {REFUSED}", 2),
        (["4 m ** (1/2)"], "", f"the number 2 in '4 m ** (1/2)' {REFUSED}", 2),
        (["1 km", "1000 m"], "", f"the number 1000 in '1000 m' {REFUSED}", 2),
        # Definitions: used in order; lines that would define nothing are refused.
        (["--define", "smoot = 1.7018 m", "--define", "dsmoot = 10 smoot", "1 dsmoot", "m"],
         "17.018 m\n", "", 0),
        (["--define", "smoot 1.7018 m", "1 m"], "", "'smoot 1.7018 m' defines nothing", 2),
        (["--define", "[wave] = [length]", "1 m"], "", "defines nothing", 2),
        (["--define", "foo- = abc", "1 m"], "", "could not use the definition of 'foo'", 2),
        (["--define", "bad = nope * m", "1 m"], "", "'nope' is not defined", 2),
        # Listing: names, symbols and known spellings, any case.
        (["--list", "CELSIUS"], "degree_Celsius  °C  [temperature]\n", "", 0),
        (["--list", "litre"], "liter  l  [length] ** 3\n", "", 0),
        (["--list", "no such unit"], "", "", 0),
        # Errors: one message on stderr, status 2.
        (["3 furlongz"], "", "error: 'furlongz' is not defined in the unit registry\n", 2),
        (["- m"], "", "error: Cannot parse magnitude: '-'\n", 2),
        ([], "", "a quantity is required", 2),
        (["--precision", "0", "1 m"], "", "--precision must be at least 1", 2),
        (["--precision", "3", "--exact", "1 m"], "", "not allowed with", 2),
        (["--version"], "qudimrs 0.1.0\n", "", 0),
    ],
)
def test_command_line(capsys, argv, out, err, code):
    try:
        status = main(argv)
    except SystemExit as e:  # argparse's own exits (usage errors, --version)
        status = e.code
    captured = capsys.readouterr()
    assert (captured.out, status) == (out, code)
    assert err in captured.err and (err == "") == (captured.err == "")


def test_closed_pipe_ends_quietly(tmp_path):
    # The pipe has no reader from the start, so the first write fails every time.
    read_end, write_end = os.pipe()
    os.close(read_end)
    try:
        proc = subprocess.run([sys.executable, "-m", "qudimrs", "--list"], stdout=write_end,
                              stderr=subprocess.PIPE, text=True, check=False)
    finally:
        os.close(write_end)
    assert (proc.returncode, proc.stderr) == (141, "")


def test_import_does_not_load_typing():
    code = ("import sys; old = set(sys.modules); import qudimrs; "
            "print('typing' in set(sys.modules) - old)")
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            check=True)
    assert result.stdout == "False\n"
