"""Quantity construction, the quantity-string splitter, properties, truth value."""

import math
import re

import pytest

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry


def units_of(q):
    return dict(q._units_dict())


@pytest.mark.parametrize(
    "args, magnitude, units",
    [
        ((5,), 5.0, {}),
        ((5.0,), 5.0, {}),
        ((True,), 1.0, {}),
        ((2, "m"), 2.0, {"meter": 1.0}),
        (("3.5 km",), 3.5, {"km": 1.0}),
        (("km",), 1.0, {"km": 1.0}),
        (("",), 1.0, {}),
        (("  -2e3 m/s  ",), -2000.0, {"meter": 1.0, "second": -1.0}),
        ((".5 m",), 0.5, {"meter": 1.0}),
        (("5. m",), 5.0, {"meter": 1.0}),
        (("+4 s",), 4.0, {"second": 1.0}),
        (("1e5.5 m",), 1e5, {"meter": 1.0}),  # ".5 m" is the unit text: 5 is ignored
        (("1e400 m",), math.inf, {"meter": 1.0}),
        (("e",), 1.0, {"elementary_charge": 1.0}),
        (("eV",), 1.0, {"electron_volt": 1.0}),
        (("2 e",), 2.0, {"elementary_charge": 1.0}),
        (("3E2 m",), 300.0, {"meter": 1.0}),
    ],
)
def test_construction(args, magnitude, units):
    q = Quantity(*args)
    assert q.magnitude == magnitude and q.m == magnitude
    assert units_of(q) == units


@pytest.mark.parametrize("text, shown", [("- m", "-"), ("-e", "-"), (".", "."), ("1e m", "1e"), ("1e+", "1e+"), ("-.e5", "-.")])
def test_unparsable_magnitude(text, shown):
    with pytest.raises(ValueError) as info:
        Quantity(text)
    assert str(info.value) == f"Cannot parse magnitude: '{shown}'"


@pytest.mark.parametrize(
    "args, exc, message",
    [
        (("3 m", "m"), ValueError, "Cannot specify units when value is a string"),
        ((3, 5), TypeError, "argument 'units': 'int' object cannot be converted to 'str'"),
        (("3 furlongz",), UndefinedUnitError, "'furlongz' is not defined in the unit registry"),
        ((3, "nope"), UndefinedUnitError, "'nope' is not defined in the unit registry"),
    ],
)
def test_construction_errors(args, exc, message):
    with pytest.raises(exc) as info:
        Quantity(*args)
    assert str(info.value) == message


@pytest.mark.parametrize("value", [None, object(), [1], b"3"])
def test_non_numbers_raise_the_hosts_error(value):
    with pytest.raises(TypeError):
        Quantity(value)


def test_unit_and_huge_int_are_refused():
    with pytest.raises(TypeError):
        Quantity(Unit("m"))
    with pytest.raises(OverflowError):
        Quantity(10**400)


def test_quantity_value_rebinds_to_a_fresh_registry():
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 * meter")
    q = ureg._f64_quantity(2.0, "smoot")
    copy = Quantity(q)
    assert copy.magnitude == 2.0 and units_of(copy) == {"smoot": 1.0}
    with pytest.raises(UndefinedUnitError):
        copy.to("m")
    assert Quantity(ureg._f64_quantity(1.0, "km"), "m").magnitude == pytest.approx(1000.0)
    with pytest.raises(DimensionalityError):
        Quantity(ureg._f64_quantity(1.0, "s"), "m")


@pytest.mark.parametrize("magnitude, truth", [(0.0, False), (-0.0, False), (math.nan, True), (1e-300, True), (-2.0, True)])
def test_truth_value(magnitude, truth):
    assert bool(Quantity(magnitude, "m")) is truth


def test_units_property_shares_the_registry(ureg):
    q = ureg._f64_quantity(3.0, "m/s")
    u = q.units
    assert isinstance(u, Unit) and u._units_dict() == [("meter", 1.0), ("second", -1.0)]
    assert q.u._units_dict() == u._units_dict()
    ureg.define("late_speed = 3 * meter / second")
    assert q.units.is_compatible_with("late_speed")


def test_registry_property_wraps_the_same_core(ureg):
    q = ureg._f64_quantity(1.0, "m")
    r1, r2 = q._registry, q._registry
    assert r1 is not r2 and isinstance(r1, UnitRegistry)
    assert r1._init_kwargs is None
    r1.define("shared_unit = 4 * meter")
    assert "shared_unit" in r2 and "shared_unit" in ureg
    assert q.to("shared_unit").magnitude == pytest.approx(0.25)


def test_properties_are_read_only():
    q = Quantity(1, "m")
    for name in ("magnitude", "m", "units", "u", "_registry"):
        with pytest.raises(AttributeError):
            setattr(q, name, 1)
    with pytest.raises(AttributeError):
        q.other = 1


def test_dimensionality_follows_a_redefinition(ureg):
    ureg.define("foo = 2 * meter")
    q = ureg._f64_quantity(1.0, "foo")
    assert q.dimensionality == "[length]"
    ureg.define("foo = 2 * second")
    assert q.dimensionality == "[time]"
    assert q.check("[time]") and not q.dimensionless
    import copy

    assert copy.copy(q).dimensionality == "[time]"


def test_reading_a_quantity_while_it_is_changed_in_place(ureg):
    q = ureg._f64_quantity(90.0, "s")
    seen = []

    class Preferred:
        def __len__(self):
            return 1

        def __getitem__(self, i):
            if i:
                raise IndexError
            for read in (lambda: q.magnitude, lambda: q.units, lambda: q._registry, lambda: q.ito("s")):
                try:
                    read()
                except RuntimeError as e:
                    seen.append(str(e))
            return "minute"

    q.ito_preferred(Preferred())
    assert seen == ["Already mutably borrowed"] * 3 + ["Already borrowed"]
    assert q.magnitude == 1.5
