"""The Unit class: construction, text, hash, equality, algebra, queries,
conversion of quantities, copies and pickling."""

import copy
import inspect
import math
import os
import pickle
import re
import struct
import subprocess
import sys
from fractions import Fraction

import pytest

from qudimrs import (
    DimensionalityError,
    Quantity,
    UndefinedUnitError,
    Unit,
    UnitRegistry,
)


def entries(obj):
    """The unit map of a Unit or Quantity, in insertion order."""
    u = obj if isinstance(obj, Unit) else obj.units
    return u._units_dict()


# ---- construction ----


@pytest.mark.parametrize(
    "text, expected",
    [
        ("meter", [("meter", 1.0)]),
        ("m", [("meter", 1.0)]),
        ("km/h", [("km", 1.0), ("hour", -1.0)]),
        ("1/s*m", [("second", -1.0), ("meter", 1.0)]),
        ("m**0.5", [("meter", 0.5)]),
        ("dimensionless", []),
        ("", []),
    ],
)
def test_constructor_parses_the_text(text, expected):
    assert Unit(text)._units_dict() == expected
    assert Unit(units=text)._units_dict() == expected


@pytest.mark.parametrize(
    "args, kwargs, exc, message",
    [
        ((5,), {}, TypeError, "argument 'units': 'int' object cannot be converted to 'str'"),
        ((None,), {}, TypeError, "argument 'units': 'NoneType' object cannot be converted to 'str'"),
        ((), {}, TypeError, "Unit.__new__() missing 1 required positional argument: 'units'"),
        (("m", "s"), {}, TypeError, "Unit.__new__() takes 1 positional arguments but 2 were given"),
        ((), {"unit": "m"}, TypeError, "Unit.__new__() got an unexpected keyword argument 'unit'"),
        (("furlongz",), {}, UndefinedUnitError, "'furlongz' is not defined in the unit registry"),
    ],
)
def test_constructor_errors(args, kwargs, exc, message):
    with pytest.raises(exc) as info:
        Unit(*args, **kwargs)
    assert str(info.value) == message


def test_each_constructed_unit_has_a_private_registry_shared_by_its_derivatives():
    u = Unit("m")
    other = Unit("m")
    derived = [u * 2, u * Unit("s"), u / Unit("s"), u**2, copy.copy(u), copy.deepcopy(u)]
    (u * 1)._registry.define("smoot = 1.7018 m")
    assert u.is_compatible_with("smoot")
    for d in derived:  # smoot is known to each, and is a length there
        assert d.is_compatible_with("smoot") == d.is_compatible_with("m")
    with pytest.raises(UndefinedUnitError):
        other.is_compatible_with("smoot")


def test_cannot_be_subclassed():
    with pytest.raises(TypeError):
        type("MyUnit", (Unit,), {})


# ---- text forms ----


@pytest.mark.parametrize(
    "text, shown",
    [
        ("meter", "m"),
        ("kilometer/hour", "kilometer / h"),
        ("kg*m**2/s**2", "kg * m ** 2 / s ** 2"),
        ("1/s", "1 / s"),
        ("mol**-1/K", "1 / K / mol"),
        ("m**0.5", "m ** 0.5"),
        ("dimensionless", "dimensionless"),
    ],
)
def test_text_forms(text, shown):
    u = Unit(text)
    assert str(u) == shown
    assert u._units_str() == shown
    assert repr(u) == f"<Unit('{shown}')>"


def test_units_dict_is_a_fresh_list_of_name_float_pairs():
    u = Unit("kg*m**2/s**2")
    d = u._units_dict()
    assert d == [("kg", 1.0), ("meter", 2.0), ("second", -2.0)]
    assert all(type(name) is str and type(exp) is float for name, exp in d)
    d.clear()
    assert len(u._units_dict()) == 3


# ---- hash ----


def hash_feed(unit):
    """The bytes the hash covers: entries sorted by name, each as its UTF-8
    name, 0xFF and the exponent's little-endian IEEE-754 bits."""
    return b"".join(
        name.encode() + b"\xff" + struct.pack("<d", exp) for name, exp in sorted(unit._units_dict())
    )


@pytest.mark.skipif(sys.hash_info.algorithm != "siphash13", reason="needs CPython's siphash13")
def test_hash_is_zero_keyed_siphash13_of_the_sorted_feed():
    # With PYTHONHASHSEED=0 the interpreter hashes bytes with SipHash-1-3 and
    # zero keys, mapping -1 to -2: an independent reference for our hash.
    units = [Unit(t) for t in ("meter", "m/s", "kg*m**2/s**2", "m**0.5", "1/K/mol", "km/h")]
    feeds = [hash_feed(u).hex() for u in units]
    script = "import sys\nfor h in sys.argv[1:]: print(hash(bytes.fromhex(h)))"
    out = subprocess.run(
        [sys.executable, "-c", script, *feeds],
        env={**os.environ, "PYTHONHASHSEED": "0"},
        capture_output=True,
        text=True,
        check=True,
    ).stdout.split()
    assert [hash(u) for u in units] == [int(h) for h in out]


def test_hash_ignores_entry_order_and_registry():
    a = Unit("m/s")
    b = Unit("1/s*m")
    c = UnitRegistry().Unit("meter / second")
    assert a._units_dict() != b._units_dict()
    assert hash(a) == hash(b) == hash(c)
    assert len({a, b, c}) == 1


def test_hash_uses_exact_bits_while_equality_tolerates_epsilon():
    a = Unit("m") ** 0.5
    b = Unit("m") ** math.nextafter(0.5, 1.0)
    assert a == b
    assert hash(a) != hash(b)


# ---- equality and comparison ----


@pytest.mark.parametrize(
    "left, right, equal",
    [
        (Unit("meter"), Unit("meter"), True),
        (Unit("m"), Unit("meter"), True),
        (Unit("m/s"), Unit("1/s*m"), True),
        (Unit("m"), UnitRegistry().Unit("m"), True),
        (Unit("km"), Unit("kilometer"), False),
        (Unit("m"), Unit("m**2"), False),
        (Unit("m") ** 2, Unit("m") ** math.nextafter(2.0, 3.0), False),
        (Unit("m"), Unit("m*s"), False),
        (Unit("meter"), "meter", False),
        (Unit("m"), 1, False),
        (Unit("dimensionless"), 1, False),
        (Unit("m"), Quantity(1, "m"), False),
        (Unit("m"), None, False),
    ],
)
def test_equality(left, right, equal):
    assert (left == right) is equal
    assert (left != right) is (not equal)
    assert left.compare(right, "eq") is equal
    assert left.compare(right, "==") is equal
    assert left.compare(other=right, op="ne") is (not equal)
    assert left.compare(right, "!=") is (not equal)


@pytest.mark.parametrize("op", ["__lt__", "__le__", "__gt__", "__ge__"])
def test_ordering_is_not_implemented(op):
    a, b = Unit("m"), Unit("s")
    assert getattr(a, op)(b) is NotImplemented
    symbol = {"__lt__": "<", "__le__": "<=", "__gt__": ">", "__ge__": ">="}[op]
    with pytest.raises(TypeError, match=re.escape(f"'{symbol}' not supported")):
        eval(f"a {symbol} b")


def test_ordering_falls_to_the_other_operands_reflection():
    class Top:
        def __gt__(self, other):
            return "reflected"

    assert (Unit("m") < Top()) == "reflected"


@pytest.mark.parametrize(
    "op, exc, message",
    [
        ("lt", ValueError, "Unknown operator: lt"),
        ("<", ValueError, "Unknown operator: <"),
        ("EQ", ValueError, "Unknown operator: EQ"),
        (" eq", ValueError, "Unknown operator:  eq"),
        ("", ValueError, "Unknown operator: "),
        (1, TypeError, "argument 'op': 'int' object cannot be converted to 'str'"),
    ],
)
def test_compare_errors(op, exc, message):
    with pytest.raises(exc) as info:
        Unit("m").compare(Unit("m"), op)
    assert str(info.value) == message


# ---- algebra ----


@pytest.mark.parametrize(
    "make, expected",
    [
        (lambda: Unit("m") * Unit("s"), [("meter", 1.0), ("second", 1.0)]),
        (lambda: Unit("s") * Unit("m"), [("second", 1.0), ("meter", 1.0)]),
        (lambda: Unit("m") * Unit("m"), [("meter", 2.0)]),
        (lambda: Unit("m/s") * Unit("s"), [("meter", 1.0)]),
        (lambda: Unit("m") * Unit("1/m"), []),
        (lambda: Unit("m") / Unit("s"), [("meter", 1.0), ("second", -1.0)]),
        (lambda: Unit("m") / Unit("m"), []),
        (lambda: Unit("m*s") / Unit("m"), [("second", 1.0)]),
        (lambda: Unit("m") ** 2, [("meter", 2.0)]),
        (lambda: Unit("m/s") ** 2, [("meter", 2.0), ("second", -2.0)]),
        (lambda: Unit("m") ** -1, [("meter", -1.0)]),
        (lambda: Unit("m") ** 0.5, [("meter", 0.5)]),
        (lambda: Unit("m") ** 0, []),
        (lambda: Unit("m") ** True, [("meter", 1.0)]),
        (lambda: Unit("m") ** Fraction(3, 2), [("meter", 1.5)]),
        (lambda: Unit("m") ** Quantity(2), [("meter", 2.0)]),
        (lambda: pow(Unit("m"), 2, 5), [("meter", 2.0)]),
        (lambda: pow(Unit("m"), 2, None), [("meter", 2.0)]),
        (lambda: pow(Unit("m"), 3, 0), [("meter", 3.0)]),
        (lambda: pow(Unit("m"), 3, 2**32 - 1), [("meter", 3.0)]),
        (lambda: pow(Unit("m"), 2, True), [("meter", 2.0)]),
    ],
)
def test_unit_algebra_gives_units(make, expected):
    result = make()
    assert type(result) is Unit
    assert result._units_dict() == expected


def test_power_zero_prints_dimensionless():
    assert str(Unit("m") ** 0) == "dimensionless"


def test_algebra_leaves_operands_unchanged():
    a, b = Unit("m"), Unit("s")
    a * b, a / b, a**3, a * 2
    assert a._units_dict() == [("meter", 1.0)]
    assert b._units_dict() == [("second", 1.0)]


@pytest.mark.parametrize(
    "make, magnitude",
    [
        (lambda u: u * 3, 3.0),
        (lambda u: 3 * u, 3.0),
        (lambda u: u * 2.5, 2.5),
        (lambda u: -2.5 * u, -2.5),
        (lambda u: u * True, 1.0),
        (lambda u: Fraction(1, 4) * u, 0.25),
        (lambda u: u * Quantity(50, "percent"), 0.5),
        (lambda u: u * Quantity(3), 3.0),
    ],
)
def test_multiplying_by_a_number_makes_a_quantity(make, magnitude):
    u = Unit("m")
    q = make(u)
    assert type(q) is Quantity
    assert q.magnitude == magnitude
    assert q.units._units_dict() == [("meter", 1.0)]


def test_number_product_uses_the_units_registry():
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    u = ureg.Unit("smoot")
    for q in (u * 2, 2 * u):
        assert q.is_compatible_with("smoot")
        assert q.m_as("m") == pytest.approx(2 * 1.7018)


@pytest.mark.parametrize(
    "make",
    [
        lambda u: u * Quantity(3, "s"),
        lambda u: u * "3",
        lambda u: "3" * u,
        lambda u: u * None,
        lambda u: u * [1],
        lambda u: u * 10**400,
    ],
)
def test_multiplying_by_a_non_number(make):
    with pytest.raises(TypeError) as info:
        make(Unit("m"))
    assert str(info.value) == "Unsupported operand type for *"


@pytest.mark.parametrize("divisor", [2, 2.0, Quantity(2), Quantity(2, "s"), "s", None])
def test_dividing_by_a_non_unit(divisor):
    with pytest.raises(TypeError) as info:
        Unit("m") / divisor
    assert str(info.value) == "Unsupported operand type for /"


@pytest.mark.parametrize("dividend", [1, 2.5, "m"])
def test_no_reflected_division(dividend):
    with pytest.raises(TypeError, match=re.escape("unsupported operand type(s) for /")):
        dividend / Unit("m")


@pytest.mark.parametrize(
    "make",
    [
        lambda u: u ** "2",
        lambda u: u**None,
        lambda u: u ** Unit("m"),
        lambda u: 2**u,
        lambda u: pow(u, 2, 2**32),
        lambda u: pow(u, 2, -1),
        lambda u: pow(u, 2, 1.5),
        lambda u: pow(u, 2, "5"),
    ],
)
def test_power_refusals_end_in_pythons_type_error(make):
    # NotImplemented hands the operation on; Python (or the other operands'
    # types) then refuses it with its own wording, never with ours.
    with pytest.raises(TypeError) as info:
        make(Unit("m"))
    assert re.match(r"unsupported operand type\(s\) for |pow\(\) 3rd argument", str(info.value))


def test_power_by_a_dimensioned_quantity_is_refused():
    with pytest.raises(TypeError):
        Unit("m") ** Quantity(2, "m")


# ---- queries ----


@pytest.mark.parametrize(
    "text, dimensionality, dimensionless",
    [
        ("m/s", "[length] / [time]", False),
        ("kg*m**2/s**2", "[length] ** 2 * [mass] / [time] ** 2", False),
        ("1/s", "1 / [time]", False),
        ("m**0.5", "[length] ** 0.5", False),
        ("mol**-1/K", "1 / [substance] * [temperature]", False),
        ("degC", "[temperature]", False),
        ("m/km", "dimensionless", True),
        ("percent", "dimensionless", True),
        ("dimensionless", "dimensionless", True),
    ],
)
def test_dimensionality(text, dimensionality, dimensionless):
    u = Unit(text)
    assert u.dimensionality == dimensionality
    assert u.dimensionless is dimensionless


def test_systems_is_a_new_empty_list_each_time():
    u = Unit("m")
    first = u.systems
    assert first == []
    first.append("SI")
    assert u.systems == []
    assert u.systems is not u.systems


@pytest.mark.parametrize(
    "text, other, expected",
    [
        ("m", "kilometer", True),
        ("m", "mile", True),
        ("m", "second", False),
        ("m/s", "km/h", True),
        ("m/s", "km", False),
        ("m", Unit("mile"), True),
        ("m", UnitRegistry().Unit("ft"), True),
        ("m", Unit("s"), False),
        ("m", Quantity(1, "m"), False),
        ("m", 3, False),
        ("dimensionless", 3, False),
        ("dimensionless", Quantity(3), False),
        ("dimensionless", "percent", True),
        ("dimensionless", "", True),
        ("m", None, False),
    ],
)
def test_is_compatible_with(text, other, expected):
    assert Unit(text).is_compatible_with(other) is expected
    assert Unit(text).is_compatible_with(other=other) is expected


def test_is_compatible_with_errors():
    u = Unit("m")
    with pytest.raises(UndefinedUnitError) as info:
        u.is_compatible_with("nosuchunit")
    assert str(info.value) == "'nosuchunit' is not defined in the unit registry"
    # The other unit's names are looked up in this unit's registry.
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    assert ureg.Unit("smoot").is_compatible_with(u)
    with pytest.raises(UndefinedUnitError):
        u.is_compatible_with(ureg.Unit("smoot"))
    with pytest.raises(TypeError) as info:
        u.is_compatible_with()
    assert str(info.value) == "Unit.is_compatible_with() missing 1 required positional argument: 'other'"


def test_queries_on_names_unknown_to_the_units_own_registry():
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    u = Unit("m") * ureg.Unit("smoot")  # the product lives in the fresh registry
    for query in (
        lambda: u.dimensionality,
        lambda: u.dimensionless,
        lambda: u.compatible_units(),
        lambda: u.is_compatible_with(3),
    ):
        with pytest.raises(UndefinedUnitError) as info:
            query()
        assert str(info.value) == "'smoot' is not defined in the unit registry"


def test_compatible_units():
    names = Unit("m").compatible_units()
    assert all(type(n) is str for n in names)
    assert "meter" in names and "foot" in names and "mile" in names
    assert "second" not in names
    assert "kilometer" not in names and "km" not in names
    assert len(names) == len(set(names))
    u = Unit("m")
    assert all(u.is_compatible_with(n) for n in names)


def test_compatible_units_lists_units_of_the_units_registry():
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    assert "smoot" in ureg.Unit("m").compatible_units()
    assert "smoot" not in Unit("m").compatible_units()
    names = ureg.Unit("m/s").compatible_units()
    assert "meter" not in names
    assert all(ureg.Unit(n).dimensionality == "[length] / [time]" for n in names)


# ---- conversion of quantities ----


@pytest.mark.parametrize(
    "unit, value, units, expected",
    [
        ("meter", 1, "km", 1000.0),
        ("km", 1500, "m", 1.5),
        ("m/s", 36, "km/h", 10.0),
        ("kelvin", 0, "degC", 273.15),
        ("degC", 373.15, "kelvin", 100.0),
        ("dimensionless", 50, "percent", 0.5),
    ],
)
def test_from_and_m_from(unit, value, units, expected):
    u = Unit(unit)
    q = UnitRegistry()._scalar_quantity(value, units)
    result = u.from_(q)
    assert type(result) is Quantity
    assert result.magnitude == pytest.approx(expected)
    assert result.units == u
    m = u.m_from(value=q)
    assert type(m) is float
    assert m == pytest.approx(expected)
    assert q.magnitude == value  # the source is untouched


def test_from_gives_a_quantity_of_the_units_registry():
    ureg = UnitRegistry()
    u = ureg.Unit("m")
    q = Quantity(1, "km")  # another registry
    result = u.from_(q)
    ureg.define("smoot = 1.7018 m")
    assert result.is_compatible_with("smoot")


@pytest.mark.parametrize(
    "method, value, exc, message",
    [
        ("from_", 3, TypeError, "argument 'value': 'int' object cannot be converted to 'Quantity'"),
        ("m_from", Unit("m"), TypeError, "argument 'value': 'Unit' object cannot be converted to 'Quantity'"),
        ("from_", "1 km", TypeError, "argument 'value': 'str' object cannot be converted to 'Quantity'"),
        ("from_", Quantity(2, "s"), DimensionalityError, "Cannot convert from 'second' ([time]) to 'meter' ([length])"),
        ("m_from", Quantity(2, "s"), DimensionalityError, "Cannot convert from 'second' ([time]) to 'meter' ([length])"),
    ],
)
def test_from_errors(method, value, exc, message):
    with pytest.raises(exc) as info:
        getattr(Unit("m"), method)(value)
    assert str(info.value) == message


def test_from_looks_up_the_quantitys_names_in_the_units_registry():
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    with pytest.raises(UndefinedUnitError):
        Unit("m").from_(ureg._scalar_quantity(1, "smoot"))
    assert ureg.Unit("m").m_from(ureg._scalar_quantity(1, "smoot")) == pytest.approx(1.7018)


# ---- copies and pickling ----


@pytest.mark.parametrize("make_copy", [copy.copy, copy.deepcopy, lambda u: u.__deepcopy__({})])
def test_copies_share_the_registry(make_copy):
    ureg = UnitRegistry()
    u = ureg.Unit("km/h")
    c = make_copy(u)
    assert c is not u
    assert c == u and c._units_dict() == u._units_dict()
    ureg.define("smoot = 1.7018 m")
    assert (c * Unit("h")).is_compatible_with("smoot")


@pytest.mark.parametrize(
    "text, pickled_text",
    [
        ("kilometer/hour", "kilometer / h"),
        ("m/s**2", "m / s ** 2"),
        ("kg*m**2/s**2", "kg * m ** 2 / s ** 2"),
        ("degC", "°C"),
        ("1/K/mol", "1 / K / mol"),
        ("dimensionless", "dimensionless"),
    ],
)
def test_pickle_round_trip(text, pickled_text):
    u = Unit(text)
    assert u.__reduce__() == (Unit, (pickled_text,))
    back = pickle.loads(pickle.dumps(u))
    assert type(back) is Unit
    assert back == u


def test_unpickling_needs_the_text_to_parse_in_the_default_definitions():
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    data = pickle.dumps(ureg.Unit("smoot"))
    with pytest.raises(UndefinedUnitError):
        pickle.loads(data)


# ---- signatures and docstrings ----


@pytest.mark.parametrize(
    "name, signature, doc",
    [
        ("is_compatible_with", "(self, /, other)", None),
        ("compatible_units", "(self, /)", None),
        ("_units_str", "(self, /)", None),
        ("_units_dict", "(self, /)", None),
        ("__reduce__", "(self, /)", None),
        ("from_", "(self, /, value)", "Convert a Quantity to this Unit."),
        ("m_from", "(self, /, value)", "Get magnitude of a Quantity in this Unit."),
        ("compare", "(self, /, other, op)", "Compare to another Unit"),
        ("__copy__", "(self, /)", None),
        ("__deepcopy__", "(self, /, _memo)", None),
    ],
)
def test_method_signatures_and_docs(name, signature, doc):
    method = getattr(Unit, name)
    assert str(inspect.signature(method)) == signature
    assert (method.__doc__ or None) == doc


def test_class_text_signature_and_property_docs():
    assert Unit.__text_signature__ == "(units)"
    assert Unit.__module__ == "qudimrs._core"
    assert Unit.systems.__doc__ == "Return set of system names this unit belongs to (stub: returns empty set)."


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda u: u.compatible_units(1), "Unit.compatible_units() takes 0 positional arguments but 1 was given"),
        (lambda u: u._units_str(x=1), "Unit._units_str() got an unexpected keyword argument 'x'"),
        (lambda u: u.__deepcopy__(), "Unit.__deepcopy__() missing 1 required positional argument: '_memo'"),
        (lambda u: u.compare(u), "Unit.compare() missing 1 required positional argument: 'op'"),
        (lambda u: u.compare(u, "eq", other=u), "Unit.compare() got multiple values for argument 'other'"),
        (lambda u: u.from_(), "Unit.from_() missing 1 required positional argument: 'value'"),
    ],
)
def test_argument_errors(call, message):
    with pytest.raises(TypeError) as info:
        call(Unit("m"))
    assert str(info.value) == message


# ---- re-entrancy: Python code never runs under the registry lock ----


class Reentrant:
    """A number whose float conversion uses the registry of `target`."""

    def __init__(self, target, value=2.0):
        self.target = target
        self.value = value
        self.calls = 0

    def __float__(self):
        self.calls += 1
        t = self.target
        assert t.dimensionality == "[length]"
        assert "meter" in t.compatible_units()
        assert t.is_compatible_with("km")
        str(t)
        (t * 1)._registry.convert(1.0, "km", "m")
        return self.value


def test_float_conversion_of_an_operand_may_use_the_same_registry():
    u = Unit("m")
    operand = Reentrant(u)
    assert (u * operand).magnitude == 2.0
    assert (operand * u).magnitude == 2.0
    assert (u**operand)._units_dict() == [("meter", 2.0)]
    assert operand.calls == 3
