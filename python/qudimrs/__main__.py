"""Command line: convert and inspect quantities.

    python -m qudimrs "3.5 km/h" "m/s"      # 0.9722222222222222 m / s
    python -m qudimrs "3.5 km/h"            # the quantity, its base units, its dimensionality
    python -m qudimrs --compact "1500 m"    # 1.5 km
    python -m qudimrs --list mile           # units whose name contains "mile"
    python -m qudimrs --define "smoot = 1.7018 m" "10 smoot" m
"""

from __future__ import annotations

import argparse
import sys
from collections.abc import Sequence

from . import Quantity, UnitRegistry


class _Parser(argparse.ArgumentParser):
    """Usage mistakes print one line on stderr and exit 2, like other errors."""

    def error(self, message: str) -> None:  # type: ignore[override]
        print(f"error: {message}", file=sys.stderr)
        raise SystemExit(2)


def _parser() -> argparse.ArgumentParser:
    p = _Parser(
        prog="python -m qudimrs",
        description="Convert and inspect physical quantities.",
    )
    p.add_argument("quantity", nargs="?", help='a quantity such as "3.5 km/h"')
    p.add_argument("target", nargs="?", help='units to convert to, such as "m/s"')
    p.add_argument("--compact", action="store_true", help="show the result with the most fitting SI prefix")
    p.add_argument("--list", nargs="?", const="", metavar="PATTERN",
                   help="list the units whose name contains PATTERN (all units without one)")
    p.add_argument("--define", action="append", default=[], metavar="DEFINITION",
                   help='define a unit first, e.g. "smoot = 1.7018 m" (repeatable)')
    p.add_argument("--precision", type=int, metavar="N", help="show magnitudes with N significant digits")
    p.add_argument("--demo", action="store_true", help="run a short tour")
    return p


def _text(q: Quantity, precision: int | None) -> str:
    return str(q) if precision is None else format(q, f".{precision}g")


def _demo(ureg: UnitRegistry) -> None:
    rows = [
        ("3 km in miles", ureg.parse_expression("3 km").to("mile")),
        ("100 degC in degF", ureg._f64_quantity(100.0, "degC").to("degF")),
        ("3.5 km/h", ureg.parse_expression("3.5 km/h")),
        ("3.5 km/h in m/s", ureg.parse_expression("3.5 km/h").to("m/s")),
        ("1500 m, compact", ureg.parse_expression("1500 m").to_compact()),
        ("2 m * 3 km", ureg.parse_expression("2 m") * ureg.parse_expression("3 km")),
        ("1 km + 500 m", ureg.parse_expression("1 km") + ureg.parse_expression("500 m")),
    ]
    print("qudimrs demo")
    for label, q in rows:
        print(f"  {label:<18} {q}")
    print(f"  {'1 km == 1000 m':<18} {ureg.parse_expression('1 km') == ureg.parse_expression('1000 m')}")
    for bad in (lambda: ureg.convert(1.0, "meter", "second"), lambda: ureg.convert(1.0, "furlongz", "m")):
        try:
            bad()
        except ValueError as e:
            print(f"  {type(e).__name__}: {e}")


def main(argv: Sequence[str] | None = None) -> int:
    parser = _parser()
    args = parser.parse_args(argv)
    if args.precision is not None and args.precision < 1:
        parser.error("--precision must be at least 1")
    ureg = UnitRegistry()
    try:
        for definition in args.define:
            ureg.define(definition)
        if args.demo:
            _demo(ureg)
            return 0
        if args.list is not None:
            for name in ureg:
                if args.list in name:
                    print(name)
            return 0
        if args.quantity is None:
            parser.error("a quantity is required (or --list, --demo)")
        q = ureg.parse_expression(args.quantity)
        if args.target is not None:
            q = q.to(args.target)
        if args.compact:
            q = q.to_compact()
        if args.target is not None or args.compact:
            print(_text(q, args.precision))
        else:
            print(_text(q, args.precision))
            print(f"  base units:     {_text(q.to_base_units(), args.precision)}")
            print(f"  dimensionality: {q.dimensionality}")
    except (ValueError, TypeError) as e:
        print(f"error: {e}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
