"""The Unit class: construction, text, hash, equality, algebra, queries and copies."""

import copy
import math
import os
import pickle
import re
import struct
import subprocess
import sys
from fractions import Fraction

import pytest

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry


@pytest.fixture
def smoot_reg():
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    return ureg


@pytest.mark.parametrize(
    "text, expected, shown",
    [
        ("kilometer/hour", [("kilometer", 1.0), ("hour", -1.0)], "kilometer / h"),
        ("degC", [("degree_Celsius", 1.0)], "°C"), ("", [], "dimensionless"),
    ],
)
def test_construction_text_and_pickle(text, expected, shown):
    u = Unit(units=text)
    assert u._units_dict() == expected
    assert str(u) == u._units_str() == shown
    assert repr(u) == f"<Unit('{shown}')>"
    assert u.__reduce__() == (Unit, (shown,))
    back = pickle.loads(pickle.dumps(u))
    assert type(back) is Unit and back == u


@pytest.mark.parametrize("make_copy", [copy.copy, copy.deepcopy, lambda u: u * 2, lambda u: u**2, lambda u: u / u])
def test_derivatives_share_a_constructed_units_private_registry(make_copy):
    u = Unit("m")
    derived = make_copy(u)
    (u * 1)._registry.define("smoot = 1.7018 m")
    assert derived.is_compatible_with("smoot") == derived.is_compatible_with("m")  # known there
    with pytest.raises(UndefinedUnitError):
        Unit("m").is_compatible_with("smoot")


def hash_feed(unit):  # entries sorted by name: UTF-8 name, 0xFF, little-endian exponent
    return b"".join(n.encode() + b"\xff" + struct.pack("<d", e) for n, e in sorted(unit._units_dict()))


@pytest.mark.skipif(sys.hash_info.algorithm != "siphash13", reason="needs CPython's siphash13")
def test_hash_is_zero_keyed_siphash13_of_the_sorted_feed():
    # With PYTHONHASHSEED=0 the interpreter hashes bytes with SipHash-1-3 and
    # zero keys, mapping -1 to -2: an independent reference for our hash.
    # Feeds of every length modulo the 8-byte block: 14, 29, 40, 11, 17, 18, 28 and 15 bytes.
    texts = ("meter", "m/s", "kg*m**2/s**2", "kg", "kilogram", "kilometer", "1/K/mol", "s")
    units = [Unit(t) for t in texts]
    script = "import sys\nfor h in sys.argv[1:]: print(hash(bytes.fromhex(h)))"
    out = subprocess.run(
        [sys.executable, "-c", script, *(hash_feed(u).hex() for u in units)],
        env={**os.environ, "PYTHONHASHSEED": "0"}, capture_output=True, text=True, check=True,
    ).stdout.split()
    assert [hash(u) for u in units] == [int(h) for h in out]
    assert hash(Unit("m/s")) == hash(Unit("1/s*m")) == hash(UnitRegistry().Unit("meter / second"))
    # Equality tolerates EPSILON; the hash takes the exact bits.
    assert Unit("m") ** 0.5 == Unit("m") ** math.nextafter(0.5, 1.0)
    assert hash(Unit("m") ** 0.5) != hash(Unit("m") ** math.nextafter(0.5, 1.0))


@pytest.mark.parametrize(
    "left, right, equal",
    [
        (Unit("m"), Unit("meter"), True), (Unit("m"), UnitRegistry().Unit("m"), True),
        (Unit("km"), Unit("kilometer"), False), (Unit("m"), Unit("m*s"), False), (Unit("meter"), "meter", False),
        (Unit("dimensionless"), 1, False), (Unit("m"), Quantity(1, "m"), False),
    ],
)
def test_equality(left, right, equal):
    assert (left == right) is equal and (left != right) is not equal
    assert left.compare(right, "eq") is equal and left.compare(other=right, op="!=") is not equal
    assert left.compare(right, "==") is equal and left.compare(right, "ne") is not equal


def test_ordering_is_left_to_the_other_operand():
    assert Unit("m").__lt__(Unit("s")) is NotImplemented
    with pytest.raises(TypeError, match=re.escape("'>=' not supported")):
        Unit("m") >= Unit("s")
    for op in ("lt", "EQ", ""):
        with pytest.raises(ValueError, match=f"^Unknown operator: {op}$"):
            Unit("m").compare(Unit("m"), op)


@pytest.mark.parametrize(
    "make, expected",
    [
        (lambda: Unit("s") * Unit("m"), [("second", 1.0), ("meter", 1.0)]),
        (lambda: Unit("m") / Unit("s"), [("meter", 1.0), ("second", -1.0)]), (lambda: Unit("m") ** -1, [("meter", -1.0)]),
        (lambda: Unit("m") ** True, [("meter", 1.0)]), (lambda: Unit("m") ** Fraction(3, 2), [("meter", 1.5)]),
        (lambda: Unit("m") ** Quantity(2), [("meter", 2.0)]), (lambda: pow(Unit("m"), 3, 0), [("meter", 3.0)]),
        (lambda: pow(Unit("m"), 3, 2**32 - 1), [("meter", 3.0)]),
        # a number makes a quantity (of the unit's registry, as the copies test checks)
        (lambda: Unit("m") * 3, 3.0), (lambda: -2.5 * Unit("m"), -2.5), (lambda: Unit("m") * True, 1.0),
        (lambda: Fraction(1, 4) * Unit("m"), 0.25), (lambda: Unit("m") * Quantity(50, "percent"), 0.5),
        (lambda: Unit("m") * Quantity(3, "s"), "Unsupported operand type for *"),
        (lambda: Unit("m") * 10**400, "Unsupported operand type for *"),
        (lambda: Unit("m") / 2, "Unsupported operand type for /"),
        (lambda: 2 / Unit("m"), "unsupported operand type(s) for /"),
        (lambda: Unit("m") ** "2", "unsupported operand type(s) for **"),
        (lambda: Unit("m") ** Quantity(2, "m"), "unsupported operand type(s) for **"),
        (lambda: pow(Unit("m"), 2, 2**32), "unsupported operand type(s) for **"),
        (lambda: pow(Unit("m"), 2, -1), "unsupported operand type(s) for **"),
    ],
)
def test_unit_algebra(make, expected):
    if isinstance(expected, str):
        with pytest.raises(TypeError) as info:
            make()
        assert str(info.value).startswith(expected)
    elif isinstance(expected, float):
        q = make()
        assert type(q) is Quantity and q.magnitude == expected and q._units_dict() == [("meter", 1.0)]
    else:
        result = make()
        assert type(result) is Unit and result._units_dict() == expected


@pytest.mark.parametrize(
    "text, dimensionality, compatible",
    [
        ("m/s", "[length] / [time]", "km/h"), ("m/km", "dimensionless", "percent"),
    ],
)
def test_dimensionality_and_compatibility(text, dimensionality, compatible):
    u = Unit(text)
    assert u.dimensionality == dimensionality
    assert u.dimensionless is (dimensionality == "dimensionless")
    assert u.is_compatible_with(compatible) and u.is_compatible_with(other=Unit(compatible))
    assert not u.is_compatible_with("m*s")
    for other in (3, Quantity(3), Quantity(1, "m"), None):
        assert u.is_compatible_with(other) is False
    assert u.systems == [] and u.systems is not u.systems


def test_queries_look_names_up_in_the_units_own_registry(smoot_reg):
    assert smoot_reg.Unit("smoot").is_compatible_with(Unit("m"))
    names = smoot_reg.Unit("m").compatible_units()
    assert "smoot" in names and "foot" in names and "second" not in names and "km" not in names
    assert len(names) == len(set(names)) and "smoot" not in Unit("m").compatible_units()
    assert smoot_reg.Unit("m").m_from(smoot_reg._scalar_quantity(1, "smoot")) == pytest.approx(1.7018)
    u = Unit("m") * smoot_reg.Unit("smoot")  # the product lives in the fresh registry
    for query in (lambda: u.dimensionality, lambda: u.dimensionless, u.compatible_units,
                  lambda: u.is_compatible_with(3), lambda: Unit("m").is_compatible_with(u),
                  lambda: Unit("m").from_(smoot_reg._scalar_quantity(1, "smoot"))):
        with pytest.raises(UndefinedUnitError, match="(?m)^'smoot' is not defined in the unit registry$"):
            query()


@pytest.mark.parametrize(
    "unit, value, units, expected",
    [
        ("km", 1500, "m", 1.5), ("kelvin", 0, "degC", 273.15), ("dimensionless", 50, "percent", 0.5),
    ],
)
def test_from_and_m_from(unit, value, units, expected):
    ureg = UnitRegistry()
    u = ureg.Unit(unit)
    q = Quantity(value, units)  # another registry
    result = u.from_(q)
    assert type(result) is Quantity and result.units == u
    assert result.magnitude == pytest.approx(expected) == u.m_from(value=q)
    assert q.magnitude == value
    with pytest.raises(DimensionalityError, match=r"^Cannot convert from 'second' \(\[time\]\) to "):
        u.m_from(Quantity(2, "s"))
    ureg.define("smoot = 1.7018 m")
    assert result._registry is not None and "smoot" in result._registry
