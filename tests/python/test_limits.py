"""Hostile sizes and values: huge texts, deep nesting, extreme exponents, NUL
bytes and lone surrogates each give a result or a clean exception."""

import math

import pytest

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry

CLEAN = (ValueError, TypeError, OverflowError, ZeroDivisionError, AttributeError)
MB = 1 << 20
DEEP = 100_000


def outcome(fn, *args):
    """The result, or the class of a clean exception."""
    try:
        return fn(*args)
    except CLEAN as exc:
        return type(exc)


def test_ten_megabyte_unit_texts(ureg):
    flat = "m*" * (5 * MB) + "m"
    assert ureg.parse_units(flat)._units_dict() == [("meter", 5 * MB + 1.0)]
    assert ureg.Unit(" " * (10 * MB) + "s" + "\t" * MB)._units_str() == "s"
    long_name = "x" * (10 * MB)
    with pytest.raises(UndefinedUnitError) as info:
        ureg.convert(1, long_name, "m")
    assert str(info.value) == f"'{long_name}' is not defined in the unit registry"
    cancelling = "m/m*" * (2 * MB) + "s"
    assert ureg.parse_units(cancelling)._units_str() == "s"


@pytest.mark.parametrize(
    "text, expected",
    [
        ("(" * DEEP + "m" + ")" * DEEP, [("meter", 1.0)]),
        ("(" * DEEP + "m", [("meter", 1.0)]),
        ("m" + ")" * DEEP, [("meter", 1.0)]),
        ("m/(" * DEEP + "s" + ")" * DEEP, None),
        ("(" * DEEP + "m" + ")**2" * DEEP, [("meter", math.inf)]),
        ("m*(" * DEEP + "s" + ")" * DEEP, [("meter", float(DEEP)), ("second", 1.0)]),
    ],
)
def test_nesting_a_hundred_thousand_deep(ureg, text, expected):
    units = ureg.parse_units(text)._units_dict()
    if expected is not None:
        assert units == expected
    assert outcome(ureg.convert, 1, text, text) in (1.0, DimensionalityError)


def test_nested_definitions_and_numbers(ureg):
    ureg.define("deepunit = " + "(" * DEEP + "1000 * m" + ")" * DEEP)
    assert ureg.convert(1, "deepunit", "m") == 1000.0
    ureg.define("zq- = " + "(" * DEEP + "2 + 3" + ")" * DEEP)
    assert ureg.convert(1, "zqm", "m") == 5.0
    ureg.define("deepoff = kelvin; offset: " + "(" * DEEP + "7")
    assert ureg.convert(0, "deepoff", "K") == 7.0
    assert Quantity("1 " + "(" * DEEP + "km" + ")" * DEEP).m_as("m") == 1000.0


@pytest.mark.parametrize("exponent", ["1e308", "-1e308", "1e309", "inf", "-inf", "nan", "1e-320"])
def test_extreme_exponents_in_text(ureg, exponent):
    text = f"m**{exponent}"
    u = outcome(ureg.parse_units, text)
    assert isinstance(u, Unit) or issubclass(u, CLEAN)
    for fn, args in [
        (ureg.convert, (1.0, text, text)),
        (ureg.convert, (1.0, text, "m")),
        (ureg._get_root_units, (text,)),
        (ureg.get_dimensionality, (text,)),
        (ureg._format_units, (text,)),
        (ureg.get_compatible_units, (text,)),
        (ureg.define, (f"weird = {text}",)),
    ]:
        outcome(fn, *args)
    q = outcome(ureg._scalar_quantity, 2.0, text)
    if isinstance(q, type):  # "inf" and "nan" are no numbers in unit texts
        q = ureg._scalar_quantity(2.0, "m") ** float(exponent)
    for fn in (str, repr, hash, lambda x: x.to_tuple(), lambda x: x.to_base_units(),
               lambda x: x.to_compact(), lambda x: x * x, lambda x: x / x, lambda x: x + x,
               lambda x: x == x, lambda x: x.dimensionality, lambda x: Quantity.from_tuple(x.to_tuple())):
        outcome(fn, q)


@pytest.mark.parametrize("power", [1e308, -1e308, math.inf, -math.inf, math.nan, 2**1100])
def test_extreme_powers_of_objects(ureg, power):
    q = ureg._scalar_quantity(3.0, "m")
    for value in (outcome(pow, q, power), outcome(pow, ureg.Unit("m"), power)):
        if not isinstance(value, type):
            str(value), hash(value), value._units_dict()
            outcome(lambda: value == value)


@pytest.mark.parametrize(
    "text",
    ["\x00", "m\x00", "\x00m", "m\x00s", "1 m\x00", "kilo\x00meter", "m ** 2\x00", "[\x00]"],
)
def test_nul_bytes(ureg, text):
    assert outcome(ureg.parse_units, text) in (UndefinedUnitError, ValueError) or isinstance(
        outcome(ureg.parse_units, text), Unit)
    err = outcome(ureg.convert, 1, text, "m")
    assert err in (UndefinedUnitError, DimensionalityError, ValueError) or isinstance(err, float)
    outcome(ureg.define, f"{text} = 3 m")
    outcome(ureg.define, f"nulunit = {text}")
    outcome(ureg._scalar_quantity, text)
    assert outcome(getattr, ureg, text) is not None


def test_nul_inside_an_undefined_name_survives_into_the_message(ureg):
    with pytest.raises(UndefinedUnitError) as info:
        ureg.parse_units("m\x00zz")
    assert str(info.value) == "'m\x00zz' is not defined in the unit registry"


@pytest.mark.parametrize("text", ["\ud800", "m\udcff", "\udfff km", "k\ud83dm"])
def test_lone_surrogates(ureg, text):
    q = ureg._scalar_quantity(1.0, "m")
    for fn, args in [
        (ureg.parse_units, (text,)),
        (ureg.convert, (1, text, "m")),
        (ureg.convert, (1, "m", text)),
        (ureg.define, (text,)),
        (ureg.load_definitions, (text,)),
        (ureg.parse_expression, (text,)),
        (ureg._scalar_quantity, (1, text)),
        (ureg.__contains__, (text,)),
        (getattr, (ureg, text)),
        (Quantity, (1, text)),
        (Unit, (text,)),
        (q.to, (text,)),
        (q.ito, (text,)),
        (q.check, (text,)),
        (format, (q, text)),
    ]:
        with pytest.raises(CLEAN):
            fn(*args)
    assert q.to_tuple() == (1.0, [("meter", 1.0)])


def registry_with_units(n):
    ureg = UnitRegistry()
    ureg.load_definitions("\n".join(f"lu{i} = {i + 1} * m" for i in range(n)))
    return ureg


# Texts that once took quadratic time, each built from a size in bytes. Here
# each must give its result; bench/scaling.py times them at growing sizes.
SHAPES = {
    "flat": lambda n: "km*" * (n // 3) + "s",
    "nested": lambda n: "(" * (n // 3) + "m" + ")" * (n // 3),
    "unclosed": lambda n: "(m/" * (n // 3),
    "nested_group_of_many": lambda n: "(" * (n // 4) + "*".join(f"lu{i}" for i in range(n // 16)) + ")" * (n // 4),
    "cancelling": lambda n: "".join(f"lu{i % 40000}*" for i in range(n // 12)) + "/".join(f"lu{i % 40000}" for i in range(n // 12)),
    "right_nested": lambda n: "".join(f"lu{i % 40000}*(" for i in range(n // 10)) + "s" + ")" * (n // 10),
    "right_nested_division": lambda n: "".join(f"lu{i % 40000}/(" for i in range(n // 10)) + "s" + ")" * (n // 10),
}


@pytest.fixture(scope="module")
def many_units():
    return registry_with_units(40_000)


@pytest.mark.parametrize("shape", sorted(SHAPES))
def test_pathological_shapes_parse(many_units, shape):
    text = SHAPES[shape](MB // 2)
    result = outcome(many_units.parse_units, text)
    assert isinstance(result, Unit)
    items = result._units_dict()
    if shape.startswith("right_nested"):
        # The outermost names come first; under "/" every other level divides.
        assert [name for name, _ in items[:3]] == ["lu0", "lu1", "lu2"] and items[-1][0] == "second"
        assert (items[1][1] < 0) is shape.endswith("division")


def test_many_prefix_definitions_load():
    n = 8_000
    ureg = UnitRegistry()
    ureg.load_definitions("\n".join(f"pf{i}- = {i + 2}\nlu{i} = {i + 1} * m\nlv{i} = pf{i}lu{i}" for i in range(n)))
    assert ureg.convert(1, f"lv{n - 1}", "m") == pytest.approx((n + 1) * n)
