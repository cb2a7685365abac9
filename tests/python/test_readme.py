"""The README's examples run and print what it says: the Python tour and the
command-line session."""

import doctest
import re
import shlex
from pathlib import Path

from qudimrs.__main__ import main

README = Path(__file__).resolve().parents[2] / "README.md"
PROMPT = "$ python -m qudimrs "


def test_python_examples():
    result = doctest.testfile(str(README), module_relative=False, optionflags=doctest.ELLIPSIS)
    assert result.failed == 0
    assert result.attempted > 30


def test_command_line_session(capsys):
    blocks = re.findall(r"^```\w*\n(.*?)^```", README.read_text(), re.M | re.S)
    sessions = [block for block in blocks if block.startswith(PROMPT)]
    commands = re.split(r"^\$ python -m qudimrs ", "".join(sessions), flags=re.M)[1:]
    assert len(commands) >= 10
    for command in commands:
        line, _, shown = command.partition("\n")
        main(shlex.split(line))
        captured = capsys.readouterr()
        assert captured.out + captured.err == shown, line
