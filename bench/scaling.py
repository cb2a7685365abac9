"""How parsing time grows with the text, for hostile shapes that once took
quadratic time.

For each shape the text is built at two sizes, four times apart; a linear
parser takes about 4x as long for the larger one, a quadratic one about 16x.

    python bench/scaling.py
"""

from __future__ import annotations

import math
import sys
import time

from qudimrs import UnitRegistry

MB = 1 << 20

# Each shape builds a text of about n bytes over the names lu0 ... lu39999.
SHAPES = {
    "flat": lambda n: "km*" * (n // 3) + "s",
    "nested": lambda n: "(" * (n // 3) + "m" + ")" * (n // 3),
    "unclosed": lambda n: "(m/" * (n // 3),
    "nested_group_of_many": lambda n: "(" * (n // 4) + "*".join(f"lu{i}" for i in range(n // 16)) + ")" * (n // 4),
    "cancelling": lambda n: "".join(f"lu{i % 40000}*" for i in range(n // 12))
    + "/".join(f"lu{i % 40000}" for i in range(n // 12)),
    "right_nested": lambda n: "".join(f"lu{i % 40000}*(" for i in range(n // 10)) + "s" + ")" * (n // 10),
    "right_nested_division": lambda n: "".join(f"lu{i % 40000}/(" for i in range(n // 10)) + "s" + ")" * (n // 10),
    # Nested powers over many names: each level must raise every exponent
    # (exactly, one rounding per level), so this one grows with depth x width.
    "nested_powers_of_many": lambda n: "(" * (n // 64) + "*".join(f"lu{i}" for i in range(n // 16))
    + ")**2" * (n // 64),
}


def registry_with_units(n):
    ureg = UnitRegistry()
    ureg.load_definitions("\n".join(f"lu{i} = {i + 1} * m" for i in range(n)))
    return ureg


def best_time(fn, arg, repeat=3) -> float:
    best = math.inf
    for _ in range(repeat):
        start = time.perf_counter()
        try:
            fn(arg)
        except (ValueError, TypeError, OverflowError):
            pass
        best = min(best, time.perf_counter() - start)
    return best


def main() -> int:
    ureg = registry_with_units(40_000)
    small, large = MB // 8, MB // 2
    definitions = {
        "prefix_definitions": lambda n: "\n".join(
            f"pf{i}- = {i + 2}\nlu{i} = {i + 1} * m\nlv{i} = pf{i}lu{i}" for i in range(n // 40)),
    }
    print(f"{'shape':<26}{'small s':>10}{'large s':>10}{'ratio':>8}  (4x the text; linear ~4)")
    rows = [(name, ureg.parse_units, make) for name, make in SHAPES.items()]
    rows += [(name, lambda text: UnitRegistry().load_definitions(text), make) for name, make in definitions.items()]
    for name, fn, make in rows:
        best_time(fn, make(small // 4), 1)  # warm caches and the allocator
        t_small = best_time(fn, make(small))
        t_large = best_time(fn, make(large))
        ratio = t_large / max(t_small, 1e-6)
        flag = "  super-linear" if ratio > 8 else ""
        print(f"{name:<26}{t_small:>10.4f}{t_large:>10.4f}{ratio:>8.1f}{flag}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
