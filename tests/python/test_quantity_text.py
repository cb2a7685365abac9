"""Quantity text, tuple and pickle forms, copies, hash, rounding, float and int."""

import copy
import math
import os
import pickle
import struct
import subprocess
import sys

import pytest

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry

ABOVE_THREE = math.nextafter(3.0, 4.0)


# ---- str, repr, format ----


@pytest.mark.parametrize(
    "value, units, text",
    [
        (5, "m", "5 m"),
        (2.5, "m", "2.5 m"),
        (1e21, "m", "1" + "0" * 21 + " m"),
        (1e23, "m", "1" + "0" * 23 + " m"),  # shortest digits, not the exact binary value
        (1.5e-7, "m", "0.00000015 m"),
        (-0.0, "m", "-0 m"),
        (math.nan, "m", "NaN m"),
        (-math.inf, "m", "-inf m"),
        (3, "km/h", "3 km / h"),
        (1, "kg*m**2/s**2", "1 kg * m ** 2 / s ** 2"),
        (7, "dimensionless", "7 dimensionless"),
    ],
)
def test_str(Q_, value, units, text):
    assert str(Q_(value, units)) == text


@pytest.mark.parametrize(
    "value, number",
    [
        (5, "5"),
        (-2, "-2"),
        (2.5, "2.500000000"),
        (0.1, "0.100000000"),
        (1e-12, "0.000000000"),
        (1e14, "100000000000000"),
        (1e15, "1000000000000000.000000000"),  # too large to count as whole
        (ABOVE_THREE, "3.000000000"),  # not whole, though nine places hide it
        (2**-10, "0.000976562"),  # an exact tie at the ninth place goes to the even digit
        (3 * 2**-10, "0.002929688"),
        (math.nan, "NaN"),
        (math.inf, "inf"),
    ],
)
def test_repr(Q_, value, number):
    assert repr(Q_(value, "m")) == f"<Quantity({number}, 'm')>"


def test_repr_inserts_unit_text_unescaped(Q_):
    assert repr(Q_(3, "km/h")) == "<Quantity(3, 'km / h')>"


@pytest.mark.parametrize(
    "fmt, text",
    [
        ("", "2.5 m"),
        (".2f", "2.50 m"),
        ("10.3e", " 2.500e+00 m"),
        ("g", "2.5 m"),
        ("+", "+2.5 m"),
        ("~P", "2.5 m"),  # not a float format: the plain text
        ("d", "2.5 m"),
        ("Lx", "2.5 m"),
    ],
)
def test_format(Q_, fmt, text):
    q = Q_(2.5, "m")
    assert format(q, fmt) == text
    assert q.__format__(fmt) == text
    assert f"{q:{fmt}}" == text


def test_format_argument_must_be_str(Q_):
    with pytest.raises(TypeError, match=r"^argument 'spec': 'int' object cannot be converted to 'str'$"):
        Q_(2.5, "m").__format__(3)


# ---- unit texts and item lists ----


@pytest.mark.parametrize(
    "units, text, unit_items",
    [
        ("m/s**2", "m / s ** 2", [("meter", 1.0), ("second", -2.0)]),
        ("s**-2*m", "m / s ** 2", [("second", -2.0), ("meter", 1.0)]),  # container order kept
        ("km/h", "km / h", [("km", 1.0), ("hour", -1.0)]),
        ("", "dimensionless", []),
    ],
)
def test_units_str_and_items(Q_, units, text, unit_items):
    q = Q_(1, units)
    assert q._units_str() == text
    assert q._units_dict() == unit_items
    assert q.unit_items() == unit_items
    assert q.to_tuple() == (1.0, unit_items)


@pytest.mark.parametrize(
    "tup, magnitude, unit_items",
    [
        ((2.0, [("meter", 1.0), ("meter", -1.0)]), 2.0, []),
        ((2, (("meter", 1), ("second", -1), ("meter", 1))), 2.0, [("meter", 2.0), ("second", -1.0)]),
        ((True, []), 1.0, []),
        ((2.0, [("nosuchunit", 1.0)]), 2.0, [("nosuchunit", 1.0)]),  # names are not checked
    ],
)
def test_from_tuple(tup, magnitude, unit_items):
    q = Quantity.from_tuple(tup)
    assert type(q) is Quantity and q.magnitude == magnitude and q.unit_items() == unit_items


def test_from_tuple_unknown_name_fails_on_use():
    q = Quantity.from_tuple((2.0, [("nosuchunit", 1.0)]))
    assert str(q) == "2 nosuchunit"  # text needs no lookup
    with pytest.raises(UndefinedUnitError, match="'nosuchunit' is not defined in the unit registry"):
        q.to_base_units()


def test_from_tuple_round_trip_gets_a_fresh_registry(ureg, Q_):
    ureg.define("smoot = 1.7018 m")
    q = Q_(3, "smoot/s")
    r = Quantity.from_tuple(q.to_tuple())
    assert r.magnitude == 3 and r.unit_items() == q.unit_items()
    with pytest.raises(UndefinedUnitError):
        r.to("m/s")
    assert q.to("m/s").magnitude == pytest.approx(3 * 1.7018)


@pytest.mark.parametrize(
    "tup, message",
    [
        ((1.0, [], 3), "expected tuple of length 2, but got tuple of length 3"),
        ((1.0,), "expected tuple of length 2, but got tuple of length 1"),
        ([1.0, []], "'list' object cannot be converted to 'tuple'"),
        (("x", []), "must be real number, not str"),
        ((1.0, "meter"), "Can't extract `str` to `Vec`"),
        ((1.0, 5), "'int' object cannot be converted to 'Sequence'"),
        ((1.0, [["meter", 1.0]]), "'list' object cannot be converted to 'tuple'"),
        ((1.0, [("meter",)]), "expected tuple of length 2, but got tuple of length 1"),
        ((1.0, [(1, 1.0)]), "'int' object cannot be converted to 'str'"),
        ((1.0, [("meter", "2")]), "must be real number, not str"),
    ],
)
def test_from_tuple_errors(tup, message):
    with pytest.raises(TypeError) as excinfo:
        Quantity.from_tuple(tup)
    assert str(excinfo.value) == "argument 'tup': " + message


def test_from_tuple_argument_binding():
    assert Quantity.from_tuple(tup=(1.0, [])).magnitude == 1.0
    with pytest.raises(TypeError) as excinfo:
        Quantity.from_tuple()
    assert str(excinfo.value) == "Quantity.from_tuple() missing 1 required positional argument: 'tup'"


# ---- pickle and copies ----


def test_reduce_form(Q_):
    assert Q_(3, "km/h").__reduce__() == (Quantity, (3.0, "km / h"))


@pytest.mark.parametrize("value, units", [(3, "km/h"), (2.5, "degC"), (-1, "kg*m**2/s**2"), (4, "")])
def test_pickle_round_trip(Q_, value, units):
    q = Q_(value, units)
    r = pickle.loads(pickle.dumps(q))
    assert r.magnitude == q.magnitude and dict(r.unit_items()) == dict(q.unit_items())


def test_pickle_of_run_time_unit_fails_on_loading(ureg, Q_):
    ureg.define("smoot = 1.7018 m")
    data = pickle.dumps(Q_(3, "smoot"))
    with pytest.raises(UndefinedUnitError, match="'smoot' is not defined in the unit registry"):
        pickle.loads(data)


@pytest.mark.parametrize("make_copy", [copy.copy, copy.deepcopy, lambda q: q.__deepcopy__(None)])
def test_copies_share_the_registry(ureg, Q_, make_copy):
    q = Q_(3, "km")
    c = make_copy(q)
    assert c is not q and c.magnitude == 3 and c.unit_items() == [("km", 1.0)]
    ureg.define("smoot = 1.7018 m")
    assert c.to("smoot").magnitude == pytest.approx(3000 / 1.7018)
    c.ito("m")  # the copy is independent of the original's record
    assert q.unit_items() == [("km", 1.0)]


def test_deepcopy_requires_memo(Q_):
    with pytest.raises(TypeError) as excinfo:
        Q_(1, "m").__deepcopy__()
    assert str(excinfo.value) == "Quantity.__deepcopy__() missing 1 required positional argument: '_memo'"


# ---- hash ----


def siphash13_zero_key(data):
    """SipHash-1-3 with zero keys, computed by CPython's own bytes hash."""
    if sys.hash_info.algorithm != "siphash13":
        pytest.skip("this interpreter does not hash bytes with SipHash-1-3")
    code = f"print(hash({data!r}) & 0xFFFFFFFFFFFFFFFF)"
    env = dict(os.environ, PYTHONHASHSEED="0")
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    return int(out.stdout)


def expected_hash(base, root_items):
    h = struct.unpack("<Q", struct.pack("<d", base))[0]
    for name, exponent in root_items:
        h ^= siphash13_zero_key(name.encode() + b"\xff" + struct.pack("<d", exponent))
    h -= (h >> 63) << 64  # as a signed 64-bit integer
    return -2 if h == -1 else h


@pytest.mark.parametrize(
    "value, units, base, root_items",
    [
        (1, "m", 1.0, [("meter", 1.0)]),
        (1, "km", 1000.0, [("meter", 1.0)]),
        (2, "m/s**2", 2.0, [("meter", 1.0), ("second", -2.0)]),
    ],
)
def test_hash_of_dimensioned_quantities(Q_, value, units, base, root_items):
    assert hash(Q_(value, units)) == expected_hash(base, root_items)


@pytest.mark.parametrize(
    "a, b",
    [
        ((1, "km"), (1000, "m")),
        ((36, "km/h"), (10, "m/s")),
        ((1, "m*s"), (1, "s*m")),  # entry order plays no part
    ],
)
def test_equal_quantities_hash_alike(Q_, a, b):
    assert hash(Q_(*a)) == hash(Q_(*b))


@pytest.mark.parametrize(
    "a, b",
    [((1, "m"), (1, "s")), ((1, "m"), (2, "m")), ((1, "m"), (1, "m**2")), ((1, "m/s"), (1, "m*s"))],
)
def test_different_quantities_hash_apart(Q_, a, b):
    assert hash(Q_(*a)) != hash(Q_(*b))


@pytest.mark.parametrize(
    "value, units, number",
    [
        (1.0, "", 1.0),
        (-1.0, "", -1.0),  # hash(-1.0) is -2, never -1
        (1e30, "", 1e30),
        (2.5, "", 2.5),
        (50, "percent", 0.5),
        (3, "km/m", 3000.0),
    ],
)
def test_dimensionless_quantities_hash_like_their_float(Q_, value, units, number):
    q = Q_(value, units)
    assert hash(q) == hash(number)
    assert {number: "x"}[q] == "x"


def test_hash_of_undefined_unit_raises():
    with pytest.raises(UndefinedUnitError):
        hash(Quantity.from_tuple((1.0, [("nosuchunit", 1.0)])))


# ---- round ----


@pytest.mark.parametrize(
    "value, ndigits, magnitude",
    [
        (2.5, None, 3.0),
        (-2.5, None, -3.0),
        (0.5, None, 1.0),
        (2.4, None, 2.0),
        (1.25, 1, 1.3),
        (15, -1, 20.0),
        (-15, -1, -20.0),
        (1234.5678, 2, 1234.57),
    ],
)
def test_round_halves_away_from_zero(Q_, value, ndigits, magnitude):
    q = Q_(value, "m")
    r = round(q) if ndigits is None else round(q, ndigits)
    assert type(r) is Quantity and r.unit_items() == [("meter", 1.0)]
    assert r.magnitude == magnitude
    assert q.magnitude == value


@pytest.mark.parametrize(
    "ndigits, exc, message",
    [
        (1.5, TypeError, "argument 'ndigits': 'float' object cannot be interpreted as an integer"),
        ("2", TypeError, "argument 'ndigits': 'str' object cannot be interpreted as an integer"),
        (2**31, OverflowError, None),
        (-(2**31) - 1, OverflowError, None),
        (2**70, OverflowError, None),
    ],
)
def test_round_ndigits_errors(Q_, ndigits, exc, message):
    with pytest.raises(exc) as excinfo:
        Q_(1.5, "m").__round__(ndigits)
    if message is not None:
        assert str(excinfo.value) == message


def test_round_accepts_the_32_bit_limits(Q_):
    assert Q_(1.5, "m").__round__(2**31 - 1).unit_items() == [("meter", 1.0)]
    assert Q_(1.5, "m").__round__(ndigits=-(2**31)).magnitude != 1.5


# ---- float and int ----


@pytest.mark.parametrize(
    "value, units, number",
    [
        (2.5, "", 2.5),
        (50, "percent", 0.5),
        (180, "degree", math.pi),
        (3, "km/m", 3000.0),
    ],
)
def test_float(Q_, value, units, number):
    assert float(Q_(value, units)) == pytest.approx(number, rel=1e-15)


@pytest.mark.parametrize(
    "units, dims",
    [("m", "[length]"), ("m/s", "[length] / [time]"), ("degC", "[temperature]")],
)
@pytest.mark.parametrize("convert", [float, int])
def test_number_of_dimensioned_quantity(Q_, convert, units, dims):
    with pytest.raises(DimensionalityError) as excinfo:
        convert(Q_(5, units))
    assert str(excinfo.value) == f"Cannot convert Quantity with dimensionality {dims} to float"


@pytest.mark.parametrize(
    "value, units, number",
    [
        (2.9, "", 2),
        (-2.9, "", -2),
        (1e30, "", int(1e30)),  # exact, as int(float)
        (250, "percent", 2),
        (-0.0, "", 0),
    ],
)
def test_int(Q_, value, units, number):
    result = int(Q_(value, units))
    assert type(result) is int and result == number


@pytest.mark.parametrize("value, exc", [(math.nan, ValueError), (math.inf, OverflowError), (-math.inf, OverflowError)])
def test_int_of_non_finite(Q_, value, exc):
    with pytest.raises(exc):
        int(Q_(value, ""))


# ---- every unit's text reads back ----


@pytest.mark.parametrize("exponent", [1.0, -2.0, 0.5])
def test_every_unit_text_reads_back(exponent):
    """Pickling relies on this: the printed text of every unit of the default
    registry must parse back, in a fresh registry, to the same container."""
    failures = []
    for name in UnitRegistry():
        q = Quantity.from_tuple((1.0, [(name, exponent)]))
        expected = dict(q.unit_items())
        text = q._units_str()
        try:
            from_pickle = dict(pickle.loads(pickle.dumps(q)).unit_items())
            from_unit = dict(Unit(str(q.units))._units_dict())
        except Exception as exc:  # collect every failure, not just the first
            failures.append((name, text, repr(exc)))
            continue
        if from_pickle != expected or from_unit != expected:
            failures.append((name, text, from_pickle, from_unit))
    assert failures == []


@pytest.mark.parametrize(
    "magnitude, ndigits, expected",
    [(1.5, 309, 1.5), (1.5, 2**31 - 1, 1.5), (1e300, 10, 1e300), (1.5, -309, 0.0), (-1.5, -400, -0.0), (2.5, None, 3.0)],
)
def test_round_never_invents_nan(magnitude, ndigits, expected):
    # Where 10 ** ndigits (or the scaled magnitude) overflows, there is nothing
    # left to round; where it underflows, everything rounds to a signed zero.
    r = round(Quantity(magnitude, "m"), ndigits)
    assert r.magnitude == expected and math.copysign(1, r.magnitude) == math.copysign(1, expected)


def test_signed_zeros_hash_alike():
    assert hash(Quantity(0.0, "m")) == hash(Quantity(-0.0, "m"))
    assert len({Quantity(0.0, "m"), Quantity(-0.0, "m")}) == 1
