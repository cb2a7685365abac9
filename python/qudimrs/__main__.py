"""Command line: ``python -m qudimrs "3.5 km/h" "m/s"``."""

from __future__ import annotations

import sys

from . import QudimError, UnitRegistry
from . import _core


def demo() -> None:
    """A short tour, printed."""
    ureg = UnitRegistry()
    print("qudimrs demo")
    for exc in (
        _core.DimensionalityError,
        _core.UndefinedUnitError,
        _core.OffsetUnitCalculusError,
        _core.DefinitionSyntaxError,
        _core.RedefinitionError,
    ):
        print(f"  {exc.__name__:<24} is a {exc.__mro__[1].__name__} and a ValueError: "
              f"{issubclass(exc, ValueError)}")
    try:
        ureg.convert(1.0, "meter", "second")
    except QudimError as e:
        print(f"  {type(e).__name__}: {e}")
    try:
        ureg.convert(1.0, "furlongz", "m")
    except QudimError as e:
        print(f"  {type(e).__name__}: {e}")


def main(argv: list[str] | None = None) -> int:
    args = sys.argv[1:] if argv is None else argv
    if args == ["--demo"]:
        demo()
        return 0
    print("usage: python -m qudimrs --demo", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
