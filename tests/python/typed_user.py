"""Everyday user code, type-checked with mypy --strict and also run.

Each assert_type states what the stubs promise: mypy checks it statically,
and when the file runs it checks the object really has that type. Lines
marked `type: ignore[...]` must be refused by mypy (strict mode reports an
ignore that is not needed) and also fail when run.
"""

from __future__ import annotations

import datetime
import pickle
from collections.abc import Callable
from typing import TYPE_CHECKING, Any

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry

if TYPE_CHECKING:
    from typing import assert_type
else:

    def assert_type(value, kind):
        assert type(value) is kind, f"{value!r} is not a {kind.__name__}"
        return value


def refused(action: Callable[[], object], error: type[Exception] = TypeError) -> None:
    try:
        action()
    except error:
        return
    raise AssertionError("accepted")


def trip_report(ureg: UnitRegistry) -> list[str]:
    metre = ureg.Unit("m")
    hour = ureg.parse_units("hour")
    q: Quantity = metre * 3.0
    assert_type(metre * 3.0, Quantity)
    assert_type(2 * metre, Quantity)
    assert_type(metre * metre, Unit)
    assert_type(metre / hour, Unit)
    assert_type(metre**2, Unit)
    assert_type(q * metre, Quantity)
    assert_type(q / hour, Quantity)

    distance = ureg.parse_expression("42.195 km")
    duration = Quantity(2, "hour") + 3 * ureg.minute
    speed = assert_type(distance / duration, Quantity)
    kmh: float = speed.m_as("km/h")
    pace = assert_type(duration / distance, Quantity).to("min/km")
    total = assert_type(distance + 500 * metre - q, Quantity)
    area = assert_type(q**2, Quantity)
    assert_type(-q, Quantity)
    assert_type(abs(q), Quantity)
    assert_type(round(pace, 2), Quantity)
    assert_type(q % 2, Quantity)
    assert_type(q // Quantity(1, "m"), Quantity)
    assert_type(1 / duration, Quantity)

    faster: bool = speed > Quantity(20, "km/h")
    same: bool = Quantity(1, "km") == 1000 * metre
    assert faster and same and q != 3 and metre == ureg.Unit("meter")
    assert_type(q <= total, bool)
    laps = [Quantity(400, "m"), Quantity(0.5, "km")]
    assert_type(sum(laps, Quantity(0, "m")), Quantity)
    assert min(laps) is laps[0] and sorted(laps, reverse=True)[0] is laps[1]

    boiling = ureg.convert(100, "degC", "degF")
    ratio = float(Quantity(50, "percent"))
    km = ureg.parse_units("km")
    assert km.is_compatible_with("mile") and not km.dimensionless
    assert duration.check("[time]") and speed.dimensionality == "[length] / [time]"
    scale, base = ureg.get_base_units("km")
    assert_type(base, Unit)
    assert_type(km.from_(distance), Quantity)
    span: datetime.timedelta = Quantity(90, "s").to_timedelta()
    copied = pickle.loads(pickle.dumps(area))
    assert copied == area and "meter" in ureg and "nope" not in ureg
    names: list[str] = sorted(ureg)[:3]
    magnitude, items = distance.to_tuple()
    again = Quantity.from_tuple((magnitude, items))
    assert again == distance

    refused(lambda: 1 / metre)  # type: ignore[operator]
    refused(lambda: metre / 2)  # type: ignore[operator]
    refused(lambda: 2**metre)  # type: ignore[operator]
    refused(lambda: q < 3)  # type: ignore[operator]
    refused(lambda: metre < hour)  # type: ignore[operator]
    refused(lambda: q + "1 m")  # type: ignore[operator]
    refused(lambda: ureg.convert(1, "m", "s"), DimensionalityError)
    refused(lambda: ureg.parse_units("Meter"), UndefinedUnitError)

    extras: dict[str, Any] = {"scale": scale, "names": names, "span": span}
    return [
        f"{distance} in {duration.to('min')}: {kmh:.1f} km/h, {pace:~}",
        f"boiling {boiling:.0f} degF, ratio {ratio}, {extras}",
        str(total.to_compact()),
        repr(q.units),
    ]


if __name__ == "__main__":
    print("\n".join(trip_report(UnitRegistry())))
