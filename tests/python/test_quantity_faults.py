"""Quantity at its seams with Python: arguments that run code, interrupts,
hashing like floats, and the edges of round, format and to_compact."""

import io
import math
import pickle
import struct

import pytest

from qudimrs import Quantity


class EmptiesKwargs:
    """A value whose float conversion empties the keyword dict it came in."""

    def __init__(self, kwargs):
        self.kwargs = kwargs

    def __float__(self):
        freed = id(self.kwargs["units"])
        self.kwargs.clear()
        # Same-sized strings until one takes the freed unit text's place.
        self.junk = [""]
        while id(self.junk[-1]) != freed and len(self.junk) < 1_000_000:
            self.junk.append("".join(("h", "o", "u", "r", "s")))
        return 2.0


def _unicode(text):
    data = text.encode()
    return b"\x8c" + struct.pack("<B", len(data)) + data  # SHORT_BINUNICODE


def test_constructor_keeps_units_when_value_empties_the_kwargs_dict():
    # cls, (), {"units": "meter", "value": EmptiesKwargs(<that dict>)}, NEWOBJ_EX:
    # the unpickler hands the dict itself to Quantity.__new__.
    stream = (
        b"\x80\x04"
        + _unicode("m") + _unicode("Quantity") + b"\x93"  # STACK_GLOBAL
        + b")"  # EMPTY_TUPLE
        + b"}\x94"  # EMPTY_DICT, MEMOIZE as 0
        + _unicode("units") + _unicode("meter") + b"s"  # SETITEM
        + _unicode("value")
        + _unicode("m") + _unicode("EmptiesKwargs") + b"\x93"
        + b"h\x00\x85R"  # BINGET 0, TUPLE1, REDUCE
        + b"s"
        + b"\x92."  # NEWOBJ_EX, STOP
    )

    class Loader(pickle.Unpickler):
        def find_class(self, module, name):
            return {"Quantity": Quantity, "EmptiesKwargs": EmptiesKwargs}[name]

    q = Loader(io.BytesIO(stream)).load()
    assert (q.magnitude, q.unit_items()) == (2.0, [("meter", 1.0)])


class Raises:
    """An operand whose float and index conversions raise exc."""

    def __init__(self, exc):
        self.exc = exc

    def __float__(self):
        raise self.exc

    def __index__(self):
        raise self.exc


# Each operation with its answer to an operand whose conversion fails with
# an ordinary exception.
OPERATIONS = [
    (lambda q, x: q + x, TypeError), (lambda q, x: q - x, TypeError), (lambda q, x: x - q, TypeError),
    (lambda q, x: q * x, TypeError), (lambda q, x: q / x, TypeError), (lambda q, x: x / q, TypeError),
    (lambda q, x: q // x, TypeError), (lambda q, x: x % q, TypeError), (lambda q, x: q**x, TypeError),
    (lambda q, x: pow(q, 2, x), TypeError), (lambda q, x: q == x, False), (lambda q, x: q != x, True),
    (lambda q, x: q.compare(x, "eq"), False),
]


@pytest.mark.parametrize("exc", [KeyboardInterrupt, SystemExit, MemoryError, ValueError])
@pytest.mark.parametrize("op, answer", OPERATIONS)
def test_only_ordinary_conversion_errors_become_operator_answers(Q_, op, answer, exc):
    q = Q_(2.0, "dimensionless")
    if exc is ValueError and answer is TypeError:
        with pytest.raises(TypeError):
            op(q, Raises(exc))
    elif exc is ValueError:
        assert op(q, Raises(exc)) is answer
    else:
        with pytest.raises(exc):
            op(q, Raises(exc))


@pytest.mark.parametrize(
    "x", [0.0, -0.0, 1.0, 0.5, -2.5, 0.1, 1e300, 1.5e-300, 2.0**61, 2.0**64 + 2**12, math.inf, -math.inf]
)
def test_dimensionless_quantity_hashes_like_its_float(Q_, x):
    assert hash(Q_(x, "")) == hash(x)
    assert hash(Q_(x * 100, "percent")) == hash(float(Q_(x * 100, "percent")))


def test_nan_quantity_hashes_by_identity(Q_):
    q = Q_(math.nan, "")
    assert hash(q) == object.__hash__(q)


@pytest.mark.parametrize("ndigits", [-400, 309, 400, 2**31 - 1, -(2**31)])
@pytest.mark.parametrize("m", [math.inf, -math.inf])
def test_round_of_an_infinite_magnitude_stays_infinite(Q_, m, ndigits):
    assert round(Q_(m, "m"), ndigits).magnitude == round(m, ndigits) == m


def test_plus_minus_names_relative_when_its_type_hides_the_module(Q_):
    class Hostile(type):
        def __getattribute__(cls, name):
            if name == "__module__":
                raise RuntimeError("no module here")
            return super().__getattribute__(name)

    with pytest.raises(TypeError, match="relative"):
        Q_(1, "m").plus_minus(0.1, relative=Hostile("H", (), {})())


def test_format_keeps_unit_text_after_a_nul():
    q = Quantity.from_tuple((1.0, [("a\x00b", 1.0)]))
    assert format(q, ".2f") == "1.00 " + q._units_str() == "1.00 a\x00b"


@pytest.mark.parametrize(
    "m, units, unit, want_m, want_units",
    [(1500, "degC", None, 1500, "degree_Celsius"), (0.001, "kelvin", None, 1, "millikelvin")],
)
def test_to_compact_leaves_a_temperature_scale_unprefixed(Q_, m, units, unit, want_m, want_units):
    q = Q_(m, units).to_compact(unit)
    assert q.magnitude == pytest.approx(want_m)
    assert [name for name, _ in q.unit_items()] == [want_units]
