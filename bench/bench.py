"""Speed of qudimrs against the cost of a C-implemented Python number.

Every operation is timed with timeit (best-of-repeat per run, median over
runs) and reported in ns/op and as a ratio to the floor, ``Decimal + Decimal``
(a C number type that allocates its result), timed right after it in every
run; the ratio is the median of those per-run ratios. When
astropy or unyt are installed (``pip install .[bench]``) the same operations
are timed there and our speed-up over each is shown.

    python bench/bench.py [--runs N] [--json PATH]
"""

from __future__ import annotations

import argparse
import json
import os
import pickle
import platform
import resource
import statistics
import subprocess
import sys
import timeit
from decimal import Decimal
from pathlib import Path

from qudimrs import Quantity, Unit, UnitRegistry

# operation -> target ratio to the floor (None: reported only)
TARGETS: dict[str, float | None] = {
    "q1 + q2 (same units)": 1.5,
    "q_km + q_m": 4.0,
    "q1 * q2": 2.0,
    "q / 2.0": 1.5,
    "q1 == q2 (different units)": 4.0,
    "q1 < q2": None,
    'ureg._f64_quantity(3.0, "m/s")': 3.0,
    "ureg.meter": None,
    'q.to("km")': 5.0,
    'q.m_as("km")': 5.0,
    'ureg.convert(3.0, "km", "mile")': 5.0,
    "str(q)": 8.0,
    "repr(q)": None,
    'Quantity("3.5 km")': 40.0,
    'Quantity(3.0, "m")': None,
    'Unit("m/s")': 40.0,
    "UnitRegistry()": 40.0,
    "pickle round-trip": 60.0,
    "hash(q)": None,
    "q.to_base_units()": None,
    "q.dimensionality (cached)": None,
    'q.check("[length]")': None,
}


def our_cases() -> dict[str, tuple[str, dict]]:
    ureg = UnitRegistry()
    q1 = ureg._f64_quantity(3.0, "m")
    q2 = ureg._f64_quantity(2.0, "m")
    q_km = ureg._f64_quantity(1.0, "km")
    q_s = ureg._f64_quantity(5.0, "m")
    _ = q1.dimensionality
    ns = {
        "ureg": ureg, "q": q1, "q1": q1, "q2": q2, "q_km": q_km, "q_m": q_s,
        "Quantity": Quantity, "Unit": Unit, "UnitRegistry": UnitRegistry, "pickle": pickle,
    }
    ns["q1000"] = ureg._f64_quantity(1000.0, "m")
    stmts = {
        "q1 + q2 (same units)": "q1 + q2",
        "q_km + q_m": "q_km + q_m",
        "q1 * q2": "q1 * q2",
        "q / 2.0": "q / 2.0",
        "q1 == q2 (different units)": "q_km == q1000",
        "q1 < q2": "q1 < q2",
        'ureg._f64_quantity(3.0, "m/s")': 'ureg._f64_quantity(3.0, "m/s")',
        "ureg.meter": "ureg.meter",
        'q.to("km")': 'q.to("km")',
        'q.m_as("km")': 'q.m_as("km")',
        'ureg.convert(3.0, "km", "mile")': 'ureg.convert(3.0, "km", "mile")',
        "str(q)": "str(q)",
        "repr(q)": "repr(q)",
        'Quantity("3.5 km")': 'Quantity("3.5 km")',
        'Quantity(3.0, "m")': 'Quantity(3.0, "m")',
        'Unit("m/s")': 'Unit("m/s")',
        "UnitRegistry()": "UnitRegistry()",
        "pickle round-trip": "pickle.loads(pickle.dumps(q))",
        "hash(q)": "hash(q)",
        "q.to_base_units()": "q.to_base_units()",
        "q.dimensionality (cached)": "q.dimensionality",
        'q.check("[length]")': 'q.check("[length]")',
    }
    return {name: (stmt, ns) for name, stmt in stmts.items()}


def peer_cases() -> dict[str, dict[str, tuple[str, dict]]]:
    peers: dict[str, dict[str, tuple[str, dict]]] = {}
    try:
        import astropy.units as u  # type: ignore

        ns = {"u": u, "q1": 3.0 * u.m, "q2": 2.0 * u.m, "q_km": 1.0 * u.km, "q_m": 5.0 * u.m,
              "q1000": 1000.0 * u.m, "q": 3.0 * u.m, "pickle": pickle}
        peers["astropy"] = {
            "q1 + q2 (same units)": ("q1 + q2", ns),
            "q_km + q_m": ("q_km + q_m", ns),
            "q1 * q2": ("q1 * q2", ns),
            "q / 2.0": ("q / 2.0", ns),
            "q1 == q2 (different units)": ("q_km == q1000", ns),
            "q1 < q2": ("q1 < q2", ns),
            'q.to("km")': ("q.to(u.km)", ns),
            'q.m_as("km")': ("q.to_value(u.km)", ns),
            "str(q)": ("str(q)", ns),
            'Quantity("3.5 km")': ('u.Quantity("3.5 km")', ns),
            'Quantity(3.0, "m")': ('u.Quantity(3.0, "m")', ns),
            'Unit("m/s")': ('u.Unit("m/s")', ns),
            "pickle round-trip": ("pickle.loads(pickle.dumps(q))", ns),
            "q.to_base_units()": ("q.si", ns),
        }
    except ImportError:
        pass
    try:
        import unyt  # type: ignore

        ns = {"unyt": unyt, "q1": unyt.unyt_quantity(3.0, "m"), "q2": unyt.unyt_quantity(2.0, "m"),
              "q_km": unyt.unyt_quantity(1.0, "km"), "q_m": unyt.unyt_quantity(5.0, "m"),
              "q1000": unyt.unyt_quantity(1000.0, "m"), "q": unyt.unyt_quantity(3.0, "m"), "pickle": pickle}
        peers["unyt"] = {
            "q1 + q2 (same units)": ("q1 + q2", ns),
            "q_km + q_m": ("q_km + q_m", ns),
            "q1 * q2": ("q1 * q2", ns),
            "q / 2.0": ("q / 2.0", ns),
            "q1 == q2 (different units)": ("q_km == q1000", ns),
            "q1 < q2": ("q1 < q2", ns),
            'q.to("km")': ('q.to("km")', ns),
            'q.m_as("km")': ('q.to_value("km")', ns),
            "str(q)": ("str(q)", ns),
            'Quantity(3.0, "m")': ('unyt.unyt_quantity(3.0, "m")', ns),
            'Unit("m/s")': ('unyt.Unit("m/s")', ns),
            "pickle round-trip": ("pickle.loads(pickle.dumps(q))", ns),
            "q.to_base_units()": ("q.in_base()", ns),
        }
    except ImportError:
        pass
    return peers


def calibrated(stmt: str, ns: dict, budget: float = 0.05) -> tuple[timeit.Timer, int]:
    """A timer for stmt and the loop count that fills about budget seconds."""
    timer = timeit.Timer(stmt, globals=ns)
    number, _ = timer.autorange()
    return timer, max(1, int(number * budget / 0.2))


def best_of_5(timer: timeit.Timer, number: int) -> float:
    return min(timer.repeat(repeat=5, number=number)) / number


def time_ns(stmt: str, ns: dict, runs: int) -> float:
    """Median over runs of the best-of-5 per-call time, in nanoseconds."""
    timer, number = calibrated(stmt, ns)
    return statistics.median(best_of_5(timer, number) for _ in range(runs)) * 1e9


def time_against_floor(stmt: str, ns: dict, floor: tuple[timeit.Timer, int], runs: int) -> tuple[float, float]:
    """(median ns, median ratio to the floor). Each run times the floor right
    after the operation: the machine's speed drifts over a whole table (other
    guests of a shared host), and a ratio taken across such a drift misleads."""
    timer, number = calibrated(stmt, ns)
    times, ratios = [], []
    for _ in range(runs):
        t = best_of_5(timer, number)
        times.append(t)
        ratios.append(t / best_of_5(*floor))
    return statistics.median(times) * 1e9, statistics.median(ratios)


_GROWTH = """
import os, sys
def rss_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * (os.sysconf("SC_PAGE_SIZE") // 1024)
from qudimrs import UnitRegistry
make = UnitRegistry()._f64_quantity
values = [float(i) + 0.5 for i in range(1_000_000)]
base = rss_kib()
items = [v + 0.0 for v in values] if sys.argv[1] == "floats" else [make(v, "m") for v in values]
print(rss_kib() - base)
"""


def memory_ratio() -> float:
    """Resident growth of 1e6 quantities of one unit over a list of 1e6 floats.

    Each is measured in a fresh interpreter, so memory that other work of this
    run freed cannot be reused and hide part of the growth. Both lists hold
    objects made during the measurement: new floats, or new quantities."""
    def growth(kind: str) -> int:
        out = subprocess.run([sys.executable, "-c", _GROWTH, kind], capture_output=True, text=True,
                             check=True, env=os.environ.copy())
        return int(out.stdout.strip())

    return growth("quantities") / max(growth("floats"), 1)


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--json", default=str(Path(__file__).with_name("results.json")))
    ap.add_argument("--no-peers", action="store_true")
    args = ap.parse_args()

    floor_timer = calibrated("a + b", {"a": Decimal("1.5"), "b": Decimal("2.25")})
    floor = statistics.median(best_of_5(*floor_timer) for _ in range(args.runs)) * 1e9
    ours = {name: time_against_floor(stmt, ns, floor_timer, args.runs)
            for name, (stmt, ns) in our_cases().items()}
    peers = {} if args.no_peers else {
        peer: {name: time_ns(stmt, ns, args.runs) for name, (stmt, ns) in cases.items()}
        for peer, cases in peer_cases().items()
    }
    mem = memory_ratio()

    print(f"qudimrs benchmark: Python {platform.python_version()} on {platform.machine()}, "
          f"{os.cpu_count()} cores; floor Decimal+Decimal = {floor:.1f} ns\n"
          "(each ratio is the median of per-run ratios to the floor timed next to that operation)")
    head = f"{'operation':<34}{'ns/op':>10}{'ratio':>8}{'target':>8}  status"
    for peer in peers:
        head += f"{'vs ' + peer:>14}"
    print(head)
    print("-" * len(head))
    missed = 0
    rows = []
    for name, (t, ratio) in ours.items():
        target = TARGETS.get(name)
        status = "" if target is None else ("met" if ratio <= target else "MISSED")
        missed += status == "MISSED"
        line = f"{name:<34}{t:>10.1f}{ratio:>8.2f}{'' if target is None else f'{target:.1f}':>8}  {status:<6}"
        row = {"operation": name, "ns": t, "ratio": ratio, "target": target, "status": status}
        for peer, times in peers.items():
            if name in times:
                speedup = times[name] / t
                line += f"{speedup:>13.1f}x"
                row[f"speedup_{peer}"] = speedup
            else:
                line += f"{'-':>14}"
        print(line)
        rows.append(row)
    mem_status = "met" if mem <= 6.0 else "MISSED"
    missed += mem_status == "MISSED"
    print(f"{'memory: 1e6 quantities / 1e6 floats':<34}{'':>10}{mem:>8.2f}{6.0:>8.1f}  {mem_status}")
    Path(args.json).write_text(json.dumps({
        "python": platform.python_version(), "machine": platform.machine(), "floor_ns": floor,
        "rows": rows, "memory_ratio": mem,
        "maxrss_kib": resource.getrusage(resource.RUSAGE_SELF).ru_maxrss,
    }, indent=2))
    print(f"\n{missed} target(s) missed; results written to {args.json}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
