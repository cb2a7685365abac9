"""Everyday user code, type-checked with mypy --strict and also run: each assert_type
holds statically and for the real object; each `type: ignore[...]` line must be refused
by mypy (strict mode reports an ignore that is not needed) and fail when run."""

from __future__ import annotations

from collections.abc import Callable
from typing import TYPE_CHECKING

from qudimrs import Quantity, Unit, UnitRegistry

if TYPE_CHECKING:
    from typing import assert_type
else:

    def assert_type(value, kind):
        assert type(value) is kind, f"{value!r} is not a {kind.__name__}"
        return value


def refused(action: Callable[[], object]) -> None:
    try:
        action()
    except TypeError:
        return
    raise AssertionError("accepted")


def trip_report(ureg: UnitRegistry) -> list[str]:
    metre, hour = ureg.Unit("m"), ureg.parse_units("hour")
    q = assert_type(metre * 3.0, Quantity)
    assert_type(2 * metre, Quantity)
    assert_type(metre * metre / hour, Unit)
    assert_type(metre**2, Unit)
    distance = ureg.parse_expression("42.195 km")
    duration = Quantity(2, "hour") + 3 * ureg.minute
    speed = assert_type(distance / duration, Quantity)
    kmh: float = speed.m_as("km/h")
    pace = assert_type(1 / speed, Quantity).to("min/km")
    assert_type(round(-abs(q**2), 2), Quantity)
    assert_type(q % 2 // Quantity(1, "m"), Quantity)
    assert_type(q <= assert_type(distance - q, Quantity), bool)
    laps = [Quantity(400, "m"), Quantity(0.5, "km")]
    assert_type(sum(laps, Quantity(0, "m")), Quantity)
    scale, base = ureg.get_base_units("km")
    assert_type(base.from_(distance), Quantity)
    refused(lambda: 1 / metre)  # type: ignore[operator]
    refused(lambda: 2**metre)  # type: ignore[operator]
    refused(lambda: q < 3)  # type: ignore[operator]
    refused(lambda: metre < hour)  # type: ignore[operator]
    refused(lambda: q + "1 m")  # type: ignore[operator]
    return [f"{distance} in {duration.to('min')}: {kmh:.1f} km/h, {pace:~}, {scale}", repr(q.units)]


if __name__ == "__main__":
    print("\n".join(trip_report(UnitRegistry())))
