"""Command line: convert and inspect quantities.

    python -m qudimrs "100 degC" degF       # 212 °F
    python -m qudimrs "3.5 km/h" "m/s"      # 0.972222222222222 m / s
    python -m qudimrs "20 degC"             # the quantity, in base units, its dimensionality
    python -m qudimrs --compact "1500 m"    # 1.5 kilometer
    python -m qudimrs --list mph            # units whose name, symbol or spelling matches
    python -m qudimrs --define "smoot = 1.7018 m" "10 smoot" m

Errors print on stderr and exit with status 2.
"""

from __future__ import annotations

import argparse
import math
import sys
from collections.abc import Iterable, Sequence

from . import Quantity, UnitRegistry, __version__

_NUMBER_START = frozenset("0123456789.")


class _Parser(argparse.ArgumentParser):
    """Usage mistakes print one line on stderr and exit 2, like other errors."""

    def error(self, message: str) -> None:  # type: ignore[override]
        print(f"error: {message}", file=sys.stderr)
        raise SystemExit(2)


class _UsageError(Exception):
    """A request the command line refuses before the registry sees it."""


def _parser() -> argparse.ArgumentParser:
    p = _Parser(prog="python -m qudimrs", description="Convert and inspect physical quantities.")
    p.add_argument("quantity", nargs="?", help='a quantity such as "3.5 km/h"')
    p.add_argument("target", nargs="?", help='units to convert to, such as "m/s"')
    p.add_argument("--compact", action="store_true",
                   help="show the result with the most fitting SI prefix")
    p.add_argument("--list", nargs="?", const="", metavar="PATTERN",
                   help="list the units whose name or symbol contains PATTERN, or that PATTERN "
                        "spells, in any letter case (all units without one)")
    p.add_argument("--define", action="append", default=[], metavar="DEFINITION",
                   help='define a unit first, e.g. "smoot = 1.7018 m" (repeatable)')
    digits = p.add_mutually_exclusive_group()
    digits.add_argument("--precision", type=int, metavar="N",
                        help="show magnitudes with N significant digits")
    digits.add_argument("--exact", action="store_true",
                        help="show magnitudes unrounded, with every digit of the double")
    p.add_argument("--demo", action="store_true", help="run a short tour")
    p.add_argument("--version", action="version", version=f"qudimrs {__version__}")
    return p


def _tokens(text: str) -> list[tuple[str, str]]:
    """The unit-expression tokens of text as (kind, text) pairs: kind is "number", "name",
    "op" (text "*", "/" or "**"), "(" or ")". Mirrors the engine's tokenizer, except that a
    number-like run is kept even where the engine would drop it (such as "1e")."""
    tokens: list[tuple[str, str]] = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c in " \t":
            i += 1
        elif c in "()":
            tokens.append((c, c))
            i += 1
        elif c == "*":
            power = text.startswith("**", i)
            tokens.append(("op", "**" if power else "*"))
            i += 2 if power else 1
        elif c in "/^":
            tokens.append(("op", "/" if c == "/" else "**"))
            i += 1
        elif c == "-" and tokens and tokens[-1][0] not in ("op", "("):
            tokens.append(("op", "*"))  # a minus between operands multiplies
            i += 1
        elif c in _NUMBER_START or c == "-":
            j = i + 1
            while j < n and (text[j] in "0123456789.eE"
                             or (text[j] in "+-" and j > i + 1 and text[j - 1] in "eE")):
                j += 1
            tokens.append(("number", text[i:j]))
            i = j
        else:
            j = i
            while j < n and text[j] not in " \t()*/^":
                j += 1
            if text[i:j].strip():
                tokens.append(("name", text[i:j].strip()))
            i = j
    return tokens


def _is_float(text: str) -> bool:
    try:
        float(text)
    except ValueError:
        return False
    return True


def _stray_number(units: str) -> str | None:
    """The first number in a unit expression that is not an exponent, or None.

    The engine ignores such numbers ("2 * 3 m" is 2 m, "3 m/0" is 3 m), so a converter
    that passed them on would answer a question nobody asked. "1/s" stays allowed: a
    leading 1 over units is the usual way to write a reciprocal.
    """
    tokens = _tokens(units)
    depth = 0
    i = 0
    while i < len(tokens):
        kind, text = tokens[i]
        depth += kind == "("
        closes_group = kind == ")" and depth > 0
        depth -= closes_group
        # Only a name or a whole group takes an exponent, and only a well-formed number is one.
        if (kind == "name" or closes_group) and tokens[i + 1:i + 2] == [("op", "**")]:
            exponent = tokens[i + 2:i + 3]
            if exponent and exponent[0][0] == "number" and _is_float(exponent[0][1]):
                i += 3
                continue
        if kind == "number" and any(c.isdigit() for c in text):
            reciprocal = (_is_float(text) and float(text) == 1.0
                          and tokens[i + 1:i + 2] == [("op", "/")]
                          and (i == 0 or tokens[i - 1][0] == "("))
            if not reciprocal:
                return text
        i += 1
    return None


def _split(text: str) -> tuple[str, str]:
    """A quantity text split as the engine splits it: (magnitude text, unit text)."""
    text = text.strip()
    i = 1 if text[:1] in ("+", "-") else 0
    seen_point = seen_exponent = False
    while i < len(text):
        c = text[i]
        if c.isascii() and c.isdigit():
            i += 1
        elif c == "." and not (seen_point or seen_exponent):
            seen_point = True
            i += 1
        elif c in "eE" and not seen_exponent:
            seen_exponent = True
            i += 2 if text[i + 1:i + 2] in ("+", "-") else 1
        else:
            break
    return (text[:i], text[i:].strip()) if i else ("1", text)


def _check_units(units: str, text: str) -> None:
    """Refuses a number in units (the unit part of text) that is not an exponent."""
    number = _stray_number(units)
    if number is not None:
        raise _UsageError(f"the number {number} in {text!r} is not an exponent (numbers may "
                          "stand only before the units, or after ** or ^)")


def _quantity(ureg: UnitRegistry, text: str) -> Quantity:
    """Parses a quantity text; one without a number is one of its units ("eV" is 1 eV)."""
    stripped = text.strip()
    if stripped and stripped[0] not in _NUMBER_START and stripped[0] not in "+-":
        stripped = "1 " + stripped
    _check_units(_split(stripped)[1], text)
    return ureg.parse_expression(stripped)


def _define(ureg: UnitRegistry, text: str) -> None:
    """Defines text and refuses a line that would define nothing usable.

    The reader never rejects a line: "smoot 1.7018 m" silently becomes a unit named
    "smoot 1.7018 m", a prefix with a bad value is dropped, and dimension and @alias lines
    are ignored by define; each would leave the user's unit undefined later.
    """
    wanted: list[tuple[str, bool]] = []
    for line in text.splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        name = line.split("=", 1)[0].split(";", 1)[0].strip()
        prefix = name.endswith("-")
        name = name.rstrip("-").strip() if prefix else name
        if "=" not in line or line[0] in "[@" or _tokens(name) != [("name", name)]:
            raise _UsageError(f"--define {line!r} defines nothing: write a unit as "
                              "'name = definition', e.g. 'smoot = 1.7018 m'")
        wanted.append((name, prefix))
    ureg.define(text)
    prefixes = {p for p, _ in ureg._get_prefixes()} if any(p for _, p in wanted) else set()
    for name, prefix in wanted:
        if not (name in prefixes if prefix else name in ureg):
            raise _UsageError(f"--define could not use the definition of {name!r}")


def _number(x: float, scale: float) -> str:
    """x as a person writes it: rounded to 15 significant digits of scale (|x| itself, or
    more for a temperature, whose digits are only as good as its distance from absolute
    zero), then the shortest text that reads back as that: 212 rather than
    211.99999999999991, 1.602176634e-19 rather than a run of zeros."""
    if x and scale and math.isfinite(scale):
        try:
            x = round(x, 14 - math.floor(math.log10(scale)))
        except OverflowError:
            pass
    text = repr(x)
    return text[:-2] if text.endswith(".0") else text


def _text(ureg: UnitRegistry, q: Quantity, precision: int | None, exact: bool) -> str:
    """The text of q: rounded for people, with precision digits, or exact (the engine's)."""
    x = q.magnitude
    if exact or not math.isfinite(x):
        return str(q)
    if precision is not None:
        return f"{x:.{precision}g} {q.units}"
    units = str(q.units)
    # Where the base units' zero lies in these units: 0 except for offset scales (-459.67 °F).
    try:
        zero = ureg.convert(0.0, str(q.to_base_units().units), units)
    except ValueError:  # a unit text that does not read back: no scale to correct
        zero = 0.0
    return f"{_number(x, max(abs(x), abs(x - zero)))} {units}"


def _matches(ureg: UnitRegistry, pattern: str) -> list[str]:
    """The unit spellings to list for pattern: a spelling the registry knows under that name
    (any case) first, then every canonical name whose name or symbol contains pattern."""
    found: list[str] = []
    if pattern:
        spelling = _known_spelling(ureg, pattern)
        if spelling is not None:
            found.append(spelling)
    folded = pattern.casefold()
    for name in sorted(ureg, key=str.casefold):
        if folded in name.casefold() or folded in ureg.get_symbol(name).casefold():
            found.append(name)
    return found


def _known_spelling(ureg: UnitRegistry, pattern: str) -> str | None:
    """pattern itself, or a spelling differing from it only in case, when the registry
    knows it (aliases and prefixed forms such as "litre" or "kWh" have no listing of their
    own; the registry's close-spelling notes name the case variants)."""
    if pattern in ureg:
        return pattern
    try:
        ureg.parse_units(pattern)
    except ValueError as e:
        notes: list[str] = getattr(e, "__notes__", [])
        for note in notes:
            for piece in note.split("'")[1::2]:
                if piece.casefold() == pattern.casefold() and piece in ureg:
                    return piece
    return None


def _prefixed_name(ureg: UnitRegistry, spelling: str) -> str:
    """The full name of a prefixed spelling ("kWh" is "kilowatt_hour"), else spelling."""
    base = ureg.get_name(spelling).removesuffix("(prefixed)")
    for prefix, _ in ureg._get_prefixes():
        name = prefix + base
        if name in ureg and ureg.convert(1.0, spelling, name) == 1.0:
            return name
    return spelling


def _list(ureg: UnitRegistry, pattern: str) -> Iterable[str]:
    """Rows of name, symbol and dimensionality, in aligned columns."""
    rows = []
    seen = set()
    for spelling in _matches(ureg, pattern):
        name = ureg.get_name(spelling)
        if name.endswith("(prefixed)"):
            name = _prefixed_name(ureg, spelling)
        if name not in seen:
            seen.add(name)
            rows.append((name, str(ureg.Unit(spelling)), ureg.get_dimensionality(spelling)))
    width = [max((len(row[k]) for row in rows), default=0) for k in (0, 1)]
    for name, symbol, dims in rows:
        yield f"{name:<{width[0]}}  {symbol:<{width[1]}}  {dims}"


def _demo(ureg: UnitRegistry) -> None:
    q = ureg.parse_expression
    rows = [
        ("3 km in miles", q("3 km").to("mile")),
        ("100 degC in degF", q("100 degC").to("degF")),
        ("3.5 km/h", q("3.5 km/h")),
        ("3.5 km/h in m/s", q("3.5 km/h").to("m/s")),
        ("1500 m, compact", q("1500 m").to_compact()),
        ("2 m * 3 km", q("2 m") * q("3 km")),
        ("1 km + 500 m", q("1 km") + q("500 m")),
    ]
    print("qudimrs demo")
    for label, value in rows:
        print(f"  {label:<18} {_text(ureg, value, None, False)}")
    print(f"  {'1 km == 1000 m':<18} {q('1 km') == q('1000 m')}")
    for src, dst in (("meter", "second"), ("furlongz", "m")):
        try:
            ureg.convert(1.0, src, dst)
        except ValueError as e:
            print(f"  {type(e).__name__}: {e}")
            for note in getattr(e, "__notes__", ()):
                print(f"    {note}")


def _run(ureg: UnitRegistry, args: argparse.Namespace, parser: argparse.ArgumentParser) -> None:
    for definition in args.define:
        _define(ureg, definition)
    if args.demo:
        _demo(ureg)
        return
    if args.list is not None:
        for line in _list(ureg, args.list):
            print(line)
        return
    if args.quantity is None:
        parser.error("a quantity is required (or --list, --demo)")
    q = _quantity(ureg, args.quantity)
    if args.target is not None:
        _check_units(args.target, args.target)
        q = q.to(args.target)
    if args.compact:
        q = q.to_compact()
    print(_text(ureg, q, args.precision, args.exact))
    if args.target is None and not args.compact:
        # Conversion to the base units applies a temperature's offset (20 °C is 293.15 K),
        # which to_base_units alone, by design, does not.
        base = q.to(str(q.to_base_units().units))
        print(f"  base units:     {_text(ureg, base, args.precision, args.exact)}")
        print(f"  dimensionality: {q.dimensionality}")


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line on argv (sys.argv[1:] when None); returns the exit status."""
    parser = _parser()
    args = parser.parse_args(argv)
    if args.precision is not None and args.precision < 1:
        parser.error("--precision must be at least 1")
    try:
        _run(UnitRegistry(), args, parser)
    except (ValueError, TypeError, ArithmeticError, _UsageError) as e:
        notes: list[str] = getattr(e, "__notes__", [])
        print(f"error: {e}", *notes, sep="\n", file=sys.stderr)
        return 2
    return 0


def _entry() -> int:
    try:
        status = main()
        sys.stdout.flush()
    except BrokenPipeError:
        # The reader stopped early (`--list | head -1`): stop quietly, as a Unix tool killed
        # by SIGPIPE does, and keep the interpreter's final flush from failing again.
        import os

        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 141
    return status


if __name__ == "__main__":
    sys.exit(_entry())
