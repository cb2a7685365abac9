"""The UnitRegistry class: construction, methods, membership, iteration, attributes."""

import math
import random
import re

import pytest

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry


def units_of(q):
    return dict(q._units_dict())


def test_constructor_keywords():
    assert UnitRegistry()._init_kwargs is None
    assert UnitRegistry(foo=1)._init_kwargs == {"foo": 1}
    r = UnitRegistry()
    assert r.default_format == "D"
    assert r.auto_reduce_dimensions is False
    assert type(r).default_format.__doc__ == "Stub for default_format property."
    assert type(r).auto_reduce_dimensions.__doc__ == "Stub for auto_reduce_dimensions property."


def test_registries_are_independent():
    a, b = UnitRegistry(), UnitRegistry()
    a.define("smoot = 1.7018 * meter")
    assert "smoot" in a and "smoot" not in b
    with pytest.raises(UndefinedUnitError):
        b.convert(1, "smoot", "m")


@pytest.mark.parametrize(
    "value, src, dst, expected",
    [
        (100, "degC", "degF", 212.0),
        (0, "degC", "kelvin", 273.15),
        (32, "degF", "degC", 0.0),
        (3, "km", "mile", 1.8641135767120018),
        (3, "km/h", "m/s", 0.8333333333333334),
        (1, "kilometer", "m", 1000.0),
        (10, "degC", "kelvin / second * second", 283.15),
        (2, "", "dimensionless", 2.0),
    ],
)
def test_convert(ureg, value, src, dst, expected):
    assert ureg.convert(value, src, dst) == pytest.approx(expected, abs=1e-12)


@pytest.mark.parametrize(
    "src, dst, exc, message",
    [
        ("m", "s", DimensionalityError, "Cannot convert from 'meter' ([length]) to 'second' ([time])"),
        ("m", "nope", UndefinedUnitError, "'nope' is not defined in the unit registry"),
        ("nope", "zzz", UndefinedUnitError, "'nope' is not defined in the unit registry"),
    ],
)
def test_convert_errors(ureg, src, dst, exc, message):
    with pytest.raises(exc) as info:
        ureg.convert(1, src, dst)
    assert str(info.value) == message


def test_parse_expression(ureg):
    q = ureg.parse_expression("3.5 m/s")
    assert q.magnitude == 3.5 and units_of(q) == {"meter": 1.0, "second": -1.0}
    assert ureg.parse_expression("  km ").magnitude == 1.0
    assert ureg.parse_expression("2").units._units_dict() == []
    for bad in ["", "   "]:
        with pytest.raises(ValueError, match="^Cannot parse empty expression$"):
            ureg.parse_expression(bad)
    with pytest.raises(ValueError, match=re.escape("Cannot parse magnitude: '-'")):
        ureg.parse_expression("- m")


def test_f64_and_scalar_quantity(ureg):
    q = ureg._f64_quantity(2)
    assert q.magnitude == 2.0 and q._units_dict() == []
    assert units_of(ureg._f64_quantity(1.5, "km")) == {"km": 1.0}
    with pytest.raises(TypeError, match="argument 'value'"):
        ureg._f64_quantity("2")
    with pytest.raises(ValueError, match="^Cannot specify units when value is a string$"):
        ureg._scalar_quantity("3 m", "s")
    q = ureg._scalar_quantity("3 m")
    assert q.magnitude == 3.0 and units_of(q) == {"meter": 1.0}
    with pytest.raises(ValueError, match="^Cannot parse empty expression$"):
        ureg._scalar_quantity("  ")


def test_scalar_quantity_rebinds_and_converts(ureg):
    other = UnitRegistry()
    other.define("smoot = 1.7018 * meter")
    q = other._f64_quantity(1.0, "smoot")
    moved = ureg._scalar_quantity(q)
    assert moved.magnitude == 1.0 and units_of(moved) == {"smoot": 1.0}
    with pytest.raises(UndefinedUnitError):
        moved.to("m")  # bound to ureg now, which does not know smoot
    km = ureg._scalar_quantity(ureg._f64_quantity(1.5, "km"), "m")
    assert km.magnitude == pytest.approx(1500.0) and units_of(km) == {"meter": 1.0}
    with pytest.raises(DimensionalityError):
        ureg._scalar_quantity(ureg._f64_quantity(1.0, "s"), "m")


@pytest.mark.parametrize("method", ["Unit", "parse_units"])
def test_unit_makers(ureg, method):
    u = getattr(ureg, method)("km/h")
    assert isinstance(u, Unit)
    assert u._units_dict() == [("km", 1.0), ("hour", -1.0)]
    assert getattr(ureg, method)("")._units_dict() == []
    assert getattr(ureg, method)("dimensionless")._units_dict() == []


def test_define_and_load_definitions(ureg):
    ureg.define("smoot = 1.7018 * meter")
    assert ureg.convert(1, "smoot", "m") == pytest.approx(1.7018)
    with pytest.raises(UndefinedUnitError, match="^'nope' is not defined in the unit registry$"):
        ureg.define("bad = nope * meter")
    assert "bad" not in ureg
    assert ureg.load_definitions("bad2 = nope * meter\ngood = 3 * meter") is None
    assert "bad2" not in ureg and ureg.convert(1, "good", "m") == pytest.approx(3.0)
    # Earlier definitions of a failing define stay.
    with pytest.raises(UndefinedUnitError):
        ureg.define("first = 2 * meter\nsecond_bad = nope")
    assert "first" in ureg


def test_redefinition_takes_effect_after_use(ureg):
    ureg.define("widget = 2 * meter")
    assert ureg.convert(1, "widget", "m") == pytest.approx(2.0)
    ureg.define("widget = 5 * meter")
    assert ureg.convert(1, "widget", "m") == pytest.approx(5.0)


def test_user_prefix_is_stripped(ureg):
    ureg.define("myprefix- = 7")
    assert ureg.convert(1, "myprefixmeter", "m") == pytest.approx(7.0)
    assert "myprefixmeter" in ureg


def test_compatible_units(ureg):
    names = ureg.get_compatible_units("m")
    assert "meter" in names and "mile" in names and "inch" in names
    assert "km" not in names and "second" not in names
    assert len(names) == len(set(names))
    dimless = ureg.get_compatible_units("radian")
    assert {"radian", "bit", "count", "percent"} <= set(dimless)


@pytest.mark.parametrize(
    "method, arg, expected",
    [
        ("_get_root_units", "km/h", (pytest.approx(1 / 3.6), "m / s")),
        ("get_dimensionality", "m/s", "[length] / [time]"),
        ("_get_dimensionality", "N", "[length] * [mass] / [time] ** 2"),
        ("get_dimensionality", "radian", "dimensionless"),
        ("_format_units", "meter/second**2", "m / s ** 2"),
        ("_format_units", "kg*m**2/K/s**2", "kg * m ** 2 / K / s ** 2"),
        ("get_name", "meters", "meter"),
        ("get_name", "km", "meter(prefixed)"),
        ("get_symbol", "meters", "m"),
        ("get_symbol", "km", "meter(prefixed)"),
        ("get_symbol", "degree_Celsius", "°C"),
        ("parse_unit_name", "meter", [("", "meter", "")]),
        ("parse_unit_name", "kilometer", [("kilo", "meter", "")]),
        ("parse_unit_name", "km", []),
    ],
)
def test_unit_queries(ureg, method, arg, expected):
    assert getattr(ureg, method)(arg) == expected


def test_conversion_factor_and_base_units(ureg):
    assert ureg._get_conversion_factor("km", "m") == pytest.approx(1000.0)
    with pytest.raises(DimensionalityError):
        ureg._get_conversion_factor("m", "s")
    for method in ("get_base_units", "get_root_units"):
        factor, unit = getattr(ureg, method)("km")
        assert factor == pytest.approx(1000.0)
        assert isinstance(unit, Unit) and unit._units_dict() == [("meter", 1.0)]


@pytest.mark.parametrize("method", ["get_name", "get_symbol", "parse_unit_name"])
def test_name_queries_refuse_unknown(ureg, method):
    with pytest.raises(UndefinedUnitError, match="^'nope' is not defined in the unit registry$"):
        getattr(ureg, method)("nope")


def test_prefixes(ureg):
    prefixes = dict(ureg._get_prefixes())
    assert len(prefixes) == 34
    assert prefixes["kilo"] == 1000.0 and prefixes["kibi"] == 1024.0 and prefixes["semi"] == 0.5
    assert "k" not in prefixes


def test_is_compatible_with(ureg):
    assert ureg.is_compatible_with("m/s", "km/h") is True
    assert ureg.is_compatible_with("m", "s") is False
    with pytest.raises(UndefinedUnitError):
        ureg.is_compatible_with("m", "nope")


@pytest.mark.parametrize(
    "item, present",
    [("km", True), ("meters", True), ("meter", True), ("m", True), ("nope", False), ("", False), ("kkm", False)],
)
def test_membership(ureg, item, present):
    assert (item in ureg) is present


def test_membership_needs_str(ureg):
    with pytest.raises(TypeError, match="argument 'item'"):
        5 in ureg


def test_iteration(ureg):
    names = list(ureg)
    assert names == sorted(names)
    assert "meter" in names and "meters" not in names and "km" not in names
    it = iter(ureg)
    ureg.define("zzz_late = 2 * meter")
    assert "zzz_late" not in list(it)
    assert "zzz_late" in list(ureg)


def test_attribute_access(ureg):
    m = ureg.meter
    assert isinstance(m, Quantity) and m.magnitude == 1.0 and units_of(m) == {"meter": 1.0}
    assert units_of(ureg.km) == {"km": 1.0}
    assert callable(ureg.define)
    with pytest.raises(AttributeError) as info:
        ureg._private
    assert str(info.value) == "'UnitRegistry' object has no attribute '_private'"
    with pytest.raises(AttributeError) as info:
        ureg.nope
    assert str(info.value) == "'nope' is not defined in the unit registry"
    assert not isinstance(info.value, UndefinedUnitError)


def test_random_strings_never_crash():
    rng = random.Random(1234)
    alphabet = "kmsgKh/*^()-+.e0123456789 []_°µ%\u00a0\t"
    ureg = UnitRegistry()
    for _ in range(10000):
        text = "".join(rng.choice(alphabet) for _ in range(rng.randint(0, 12)))
        for call in (
            lambda: Quantity(text),
            lambda: ureg.parse_units(text),
            lambda: ureg.parse_expression(text),
            lambda: ureg.define(text),
            lambda: ureg.convert(1.0, text, "m"),
        ):
            try:
                call()
            except (ValueError, TypeError):
                pass


def test_non_finite_values_convert(ureg):
    assert ureg.convert(float("inf"), "km", "m") == math.inf
    assert math.isnan(ureg.convert(float("nan"), "degC", "degF"))
    # A leading word is never a number: "nan" is read as a unit name.
    with pytest.raises(UndefinedUnitError, match="'nan'"):
        ureg.parse_expression("nan")
