"""Quantity conversion: to, m_as, base units, unprefixed, compact, preferred, in place."""

import math
import re

import pytest

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError


def items(q):
    return q.unit_items()


# ---- to_compact ----


@pytest.mark.parametrize(
    "value, units, magnitude, name",
    [
        (1500, "m", 1.5, "kilometer"),  # deca, hecto and kilo fit; kilo is largest
        (2, "m", 20, "decimeter"),  # no entry for 1: deci beats centi
        (500, "m", 5, "hectometer"),
        (0.05, "m", 5, "centimeter"),
        (-1500, "m", -1.5, "kilometer"),  # the sign stays, |m| picks the prefix
        (999.5, "m", 9.995, "hectometer"),  # deca (99.95) and hecto fit; hecto is larger
        (1000, "m", 1, "kilometer"),  # ratio exactly 1 is a candidate
        (1e-30, "s", 1, "quectosecond"),
        (5e32, "s", 500, "quettasecond"),
        # A key that resolves only by prefix stripping is reduced first.
        (5000, "kilometer", 5, "megameter"),
        (5000, "km", 5, "megameter"),
        (2, "km", 2, "kilometer"),
        (0.003, "ms", 3, "microsecond"),
    ],
)
def test_to_compact(Q_, value, units, magnitude, name):
    c = Q_(value, units).to_compact()
    assert c.magnitude == pytest.approx(magnitude, rel=1e-15)
    assert items(c) == [(name, 1.0)]


@pytest.mark.parametrize(
    "value, units",
    [
        (0, "m"),
        (math.inf, "m"),
        (-math.inf, "m"),
        (1, "m**2"),
        (1, "m/s"),
        (3, "dimensionless"),
        (1e40, "m"),  # beyond quetta: no candidate
        (1e-40, "km"),  # no candidate even after reduction: left as written
    ],
)
def test_to_compact_leaves_unprefixable_quantities(Q_, value, units):
    q = Q_(value, units)
    c = q.to_compact()
    assert c.magnitude == q.magnitude and items(c) == items(q)


def test_to_compact_nan_comes_back_unchanged(Q_):
    c = Q_(math.nan, "m").to_compact()
    assert math.isnan(c.magnitude) and items(c) == [("meter", 1.0)]


@pytest.mark.parametrize(
    "value, units, target, magnitude, name",
    [
        (1.5, "km", "m", 1.5, "kilometer"),
        (1.5, "km", "km", 1.5, "kilometer"),
        (3600, "s", "hour", 10, "decihour"),  # no entry for factor 1
        (7200000, "s", "hour", 2, "kilohour"),
    ],
)
def test_to_compact_with_unit_converts_first(Q_, value, units, target, magnitude, name):
    c = Q_(value, units).to_compact(target)
    assert c.magnitude == pytest.approx(magnitude) and items(c) == [(name, 1.0)]


def test_to_compact_with_incompatible_unit(Q_):
    with pytest.raises(DimensionalityError):
        Q_(1, "km").to_compact(unit="s")


# ---- to, ito, m_as ----


@pytest.mark.parametrize(
    "value, units, target, magnitude, target_items",
    [
        (2, "km", "m", 2000.0, [("meter", 1.0)]),
        (1, "mile", "km", 1.609344, [("km", 1.0)]),
        (36, "km/h", "m/s", 10.0, [("meter", 1.0), ("second", -1.0)]),
        (25, "degC", "kelvin", 298.15, [("kelvin", 1.0)]),  # offset applied
        (100, "degC", "degF", 212.0, [("degree_Fahrenheit", 1.0)]),
    ],
)
def test_to_and_m_as(Q_, value, units, target, magnitude, target_items):
    q = Q_(value, units)
    r = q.to(target)
    assert r.magnitude == pytest.approx(magnitude, rel=1e-12)
    assert items(r) == target_items
    m = q.m_as(target)
    assert type(m) is float and m == r.magnitude
    assert q.magnitude == value  # left untouched


def test_m_as_metre_of_two_kilometres(Q_):
    assert Q_(2, "kilometer").m_as("m") == 2e3


def test_ito_changes_in_place(Q_):
    q = Q_(2, "km")
    assert q.ito("m") is None
    assert q.magnitude == 2000.0 and items(q) == [("meter", 1.0)]


@pytest.mark.parametrize(
    "call, exc",
    [
        (lambda q: q.ito("mile"), DimensionalityError),
        (lambda q: q.ito("nosuchunit"), UndefinedUnitError),
        (lambda q: q.ito_preferred(["nosuchunit", "second"]), UndefinedUnitError),
    ],
)
def test_failing_ito_leaves_quantity_unchanged(Q_, call, exc):
    q = Q_(3, "hour")
    with pytest.raises(exc):
        call(q)
    assert q.magnitude == 3 and items(q) == [("hour", 1.0)]


@pytest.mark.parametrize(
    "method", ["ito_base_units", "ito_root_units", "ito_reduced_units", "ito_unprefixed", "ito_preferred"]
)
def test_in_place_with_undefined_own_unit_leaves_quantity_unchanged(method):
    q = Quantity.from_tuple((2.0, [("nosuchunit", 1.0)]))
    with pytest.raises(UndefinedUnitError, match="'nosuchunit' is not defined in the unit registry"):
        if method == "ito_preferred":
            q.ito_preferred(["meter"])
        else:
            getattr(q, method)()
    assert q.magnitude == 2.0 and items(q) == [("nosuchunit", 1.0)]


# ---- base units, unprefixed ----


@pytest.mark.parametrize(
    "method", ["to_base_units", "to_root_units", "to_reduced_units", "to_unprefixed"]
)
def test_base_units_of_kilometre_per_hour(Q_, method):
    b = getattr(Q_(1, "km/h"), method)()
    assert b.magnitude == pytest.approx(5 / 18, rel=1e-15)
    assert items(b) == [("meter", 1.0), ("second", -1.0)]


@pytest.mark.parametrize(
    "value, units, magnitude, root_items",
    [
        (1, "km**2", 1e6, [("meter", 2.0)]),
        (1, "mm/ms", 1.0, [("meter", 1.0), ("second", -1.0)]),
        (1, "N", 1000.0, [("gram", 1.0), ("meter", 1.0), ("second", -2.0)]),  # gram is the root
        (1, "m/km", 1e-3, []),  # units cancel
    ],
)
def test_unprefixed_equals_base_units(Q_, value, units, magnitude, root_items):
    q = Q_(value, units)
    for r in (q.to_base_units(), q.to_unprefixed()):
        assert r.magnitude == pytest.approx(magnitude, rel=1e-15)
        assert dict(items(r)) == dict(root_items)
    assert q.to_unprefixed().unit_items() == q.to_base_units().unit_items()


def test_base_units_ignore_the_offset(Q_):
    q = Q_(25, "degC")
    b = q.to_base_units()
    assert b.magnitude == 25 and items(b) == [("kelvin", 1.0)]
    assert q.to("kelvin").magnitude == pytest.approx(298.15)


@pytest.mark.parametrize("method", ["ito_base_units", "ito_root_units", "ito_reduced_units", "ito_unprefixed"])
def test_in_place_base_units(Q_, method):
    q = Q_(3, "km")
    assert getattr(q, method)() is None
    assert q.magnitude == 3000 and items(q) == [("meter", 1.0)]


# ---- to_preferred ----


@pytest.mark.parametrize(
    "preferred, magnitude, result_items",
    [
        (["second", "meter"], 3000, [("meter", 1.0)]),
        (("mile", "meter"), 3 / 1.609344, [("mile", 1.0)]),
        (["s", "ft"], 3000 / 0.3048, [("foot", 1.0)]),
        (["second", "hour"], 3000, [("meter", 1.0)]),  # nothing fits: base units
        ([], 3000, [("meter", 1.0)]),
        (None, 3000, [("meter", 1.0)]),
    ],
)
def test_to_preferred(Q_, preferred, magnitude, result_items):
    r = Q_(3, "km").to_preferred(preferred)
    assert r.magnitude == pytest.approx(magnitude, rel=1e-12) and items(r) == result_items


def test_to_preferred_without_argument_gives_base_units(Q_):
    r = Q_(3, "km").to_preferred()
    assert r.magnitude == 3000 and items(r) == [("meter", 1.0)]


def test_to_preferred_applies_offsets(Q_):
    r = Q_(0, "degC").to_preferred(["degF"])
    assert r.magnitude == pytest.approx(32.0)


def test_to_preferred_stops_at_first_undefined_text(Q_):
    with pytest.raises(UndefinedUnitError, match="nosuchunit"):
        Q_(3, "km").to_preferred(["nosuchunit", "meter"])


def test_to_preferred_stops_at_first_match(Q_):
    # The text after the match is never parsed.
    r = Q_(3, "km").to_preferred(["meter", "nosuchunit"])
    assert items(r) == [("meter", 1.0)]


def test_ito_preferred(Q_):
    q = Q_(3, "km")
    assert q.ito_preferred(["mile"]) is None
    assert q.magnitude == pytest.approx(3 / 1.609344) and items(q) == [("mile", 1.0)]


class CustomSequence:
    def __init__(self, items):
        self._items = items

    def __len__(self):
        return len(self._items)

    def __getitem__(self, i):
        return self._items[i]


def test_preferred_units_accepts_any_sequence_of_str(Q_):
    assert items(Q_(3, "km").to_preferred(CustomSequence(["mile"]))) == [("mile", 1.0)]


VEC_ERROR = "argument 'preferred_units': Can't extract `str` to `Vec`"


@pytest.mark.parametrize(
    "preferred, message",
    [
        ("meter", VEC_ERROR),
        (["meter", 3], VEC_ERROR),
        ([b"meter"], VEC_ERROR),
        (5, "argument 'preferred_units': 'int' object cannot be converted to 'Sequence'"),
        ({"meter"}, "argument 'preferred_units': 'set' object cannot be converted to 'Sequence'"),
    ],
)
@pytest.mark.parametrize("method", ["to_preferred", "ito_preferred"])
def test_preferred_units_type_errors(Q_, method, preferred, message):
    q = Q_(3, "km")
    with pytest.raises(TypeError) as excinfo:
        getattr(q, method)(preferred)
    assert str(excinfo.value) == message
    assert q.magnitude == 3 and items(q) == [("km", 1.0)]


def test_ito_preferred_holds_the_quantity_exclusively(Q_):
    q = Q_(3, "km")

    class Meddling(CustomSequence):
        def __getitem__(self, i):
            q.to("m")  # reading q while ito_preferred changes it
            return super().__getitem__(i)

    with pytest.raises(RuntimeError, match="Already mutably borrowed"):
        q.ito_preferred(Meddling(["mile"]))
    assert q.magnitude == 3 and items(q) == [("km", 1.0)]
    assert q.to("m").magnitude == 3000  # the borrow was released


# ---- arguments and registries ----


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda q: q.to(5), "argument 'units': 'int' object cannot be converted to 'str'"),
        (lambda q: q.to(None), "argument 'units': 'NoneType' object cannot be converted to 'str'"),
        (lambda q: q.to(q.units), "argument 'units': 'Unit' object cannot be converted to 'str'"),
        (lambda q: q.ito(5), "argument 'units': 'int' object cannot be converted to 'str'"),
        (lambda q: q.m_as(1.0), "argument 'units': 'float' object cannot be converted to 'str'"),
        (lambda q: q.to(), "Quantity.to() missing 1 required positional argument: 'units'"),
        (lambda q: q.to("m", "s"), "Quantity.to() takes 1 positional arguments but 2 were given"),
        (lambda q: q.ito(unit="m"), "Quantity.ito() got an unexpected keyword argument 'unit'"),
        (lambda q: q.to_compact(3), "argument 'unit': 'int' object cannot be converted to 'str'"),
        (
            lambda q: q.to_compact("m", "s"),
            "Quantity.to_compact() takes from 0 to 1 positional arguments but 2 were given",
        ),
        (
            lambda q: q.to_base_units(1),
            "Quantity.to_base_units() takes 0 positional arguments but 1 was given",
        ),
        (
            lambda q: q.ito_unprefixed(x=1),
            "Quantity.ito_unprefixed() got an unexpected keyword argument 'x'",
        ),
        (
            lambda q: q.to_preferred(["m"], preferred_units=["m"]),
            "Quantity.to_preferred() got multiple values for argument 'preferred_units'",
        ),
    ],
)
def test_argument_errors(Q_, call, message):
    q = Q_(3, "km")
    with pytest.raises(TypeError) as excinfo:
        call(q)
    assert str(excinfo.value) == message
    assert q.magnitude == 3 and items(q) == [("km", 1.0)]


def test_keyword_arguments(Q_):
    q = Q_(1500, "m")
    assert q.to(units="km").magnitude == 1.5
    assert q.m_as(units="km") == 1.5
    assert items(q.to_compact(unit="km")) == [("kilometer", 1.0)]
    assert items(q.to_preferred(preferred_units=["km"])) == [("km", 1.0)]


@pytest.mark.parametrize(
    "call",
    [
        lambda q: q.to("m"),
        lambda q: q.to_base_units(),
        lambda q: q.to_unprefixed(),
        lambda q: q.to_compact(),
        lambda q: q.to_preferred(["m"]),
    ],
)
def test_results_share_the_registry(ureg, Q_, call):
    r = call(Q_(3, "km"))
    ureg.define("late_unit = 3 * meter")
    assert r.to("late_unit").magnitude == pytest.approx(1000)
