"""The README's Python examples run and print what it says."""

import doctest
from pathlib import Path

README = Path(__file__).resolve().parents[2] / "README.md"


def test_readme_examples():
    result = doctest.testfile(str(README), module_relative=False, optionflags=doctest.ELLIPSIS)
    assert result.failed == 0
    assert result.attempted > 30
