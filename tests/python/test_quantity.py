"""Quantity: construction, conversion, text and pickle forms, numbers and queries."""

import copy
import datetime
import io
import math
import pickle
import struct
from fractions import Fraction

import pytest

import qudimrs
from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry

M, S, KM = [("meter", 1.0)], [("second", 1.0)], [("km", 1.0)]


class Seq:
    """A sequence that is neither list nor tuple; `hook` runs on each read."""

    def __init__(self, items, hook=lambda: None):
        self.items, self.hook = items, hook

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        self.hook()
        return self.items[i]


@pytest.mark.parametrize(
    "args, magnitude, units",
    [
        ((True,), 1.0, []), ((2, "m"), 2.0, M), (("km",), 1.0, KM), (("0 s",), 0.0, S),
        ((" -2e3 m/s ",), -2000.0, [("meter", 1.0), ("second", -1.0)]), (("1e400 m",), math.inf, M),
        (("- m",), ValueError, "Cannot parse magnitude: '-'"),
        (("3 m", "m"), ValueError, "Cannot specify units when value is a string"),
        ((3, "nope"), UndefinedUnitError, "'nope' is not defined in the unit registry"),
        ((None,), TypeError, None), ((Unit("m"),), TypeError, None), ((10**400,), OverflowError, None),
    ],
)
def test_construction(args, magnitude, units):
    if isinstance(magnitude, type):
        with pytest.raises(magnitude) as info:
            Quantity(*args)
        assert units is None or str(info.value) == units
        return
    q = Quantity(*args)
    assert q.magnitude == q.m == magnitude and q._units_dict() == units
    assert bool(q) is not (magnitude == 0)


def test_properties_share_the_registry(ureg):
    ureg.define("smoot = 1.7018 * meter")
    q = ureg._f64_quantity(2.0, "smoot/s")
    assert q.units._units_dict() == q.u._units_dict() == [("smoot", 1.0), ("second", -1.0)]
    r1, r2 = q._registry, q._registry
    assert r1 is not r2 and r1._init_kwargs is None
    r1.define("late = 4 * meter")
    assert "late" in r2 and q.units.is_compatible_with("late / s")
    # Quantity(q) rebinds to a fresh registry, converting when given units.
    assert Quantity(q)._units_dict() == q._units_dict()
    with pytest.raises(UndefinedUnitError):
        Quantity(q).to("m/s")
    assert Quantity(ureg._f64_quantity(1.0, "km"), "m").magnitude == pytest.approx(1000.0)
    with pytest.raises(DimensionalityError):
        Quantity(ureg._f64_quantity(1.0, "s"), "m")
    for name in ("magnitude", "m", "units", "u", "_registry", "other"):
        with pytest.raises(AttributeError):
            setattr(q, name, 1)
    assert bool(Quantity(-0.0, "m")) is False and bool(Quantity(math.nan, "m")) is True


MPS = [("meter", 1.0), ("second", -1.0)]


@pytest.mark.parametrize(
    "value, units, method, args, magnitude, items",
    [
        (2, "kilometer", "to", ("m",), 2000.0, M), (100, "degC", "to", ("degF",), 212.0, [("degree_Fahrenheit", 1.0)]),
        (-1500, "m", "to_compact", (), -1.5, [("kilometer", 1.0)]),
        (5000, "km", "to_compact", (None,), 5, [("megameter", 1.0)]),  # km is reduced first
        (3600, "s", "to_compact", ("hour",), 10, [("decihour", 1.0)]), (0, "m", "to_compact", (), 0, M),
        (1.5, "kilometer", "to_compact", ("m",), 1.5, [("kilometer", 1.0)]),
        (1500, "m**2", "to_compact", (), 1500, [("meter", 2.0)]),  # only a first power takes a prefix
        (0.001, "kelvin", "to_compact", (), 1, [("millikelvin", 1.0)]),
        (1500, "degC", "to_compact", (), 1500, [("degree_Celsius", 1.0)]),  # keeps its zero point
        (1, "degC", "to_compact", ("degF",), 33.8, [("degree_Fahrenheit", 1.0)]),
        (1, "km/h", "to_base_units", (), 5 / 18, MPS), (1, "km/h", "to_root_units", (), 5 / 18, MPS),
        (1, "km/h", "to_reduced_units", (), 5 / 18, MPS), (1, "km/h", "to_unprefixed", (), 5 / 18, MPS),
        (25, "degC", "to_base_units", (), 25, [("kelvin", 1.0)]),  # the offset is ignored
        (3, "km", "to_preferred", (("mile", "meter"),), 3 / 1.609344, [("mile", 1.0)]),
        (3, "km", "to_preferred", (["meter", "nosuchunit"],), 3000, M),  # later texts are never parsed
        (3, "km", "to_preferred", (Seq(["s", "ft"]),), 3000 / 0.3048, [("foot", 1.0)]),
        (3, "km", "to_preferred", (None,), 3000, M), (0, "degC", "to_preferred", (["degF"],), 32.0, [("degree_Fahrenheit", 1.0)]),
    ],
)
def test_conversions(ureg, Q_, value, units, method, args, magnitude, items):
    q = Q_(value, units)
    r = getattr(q, method)(*args)
    assert r.magnitude == pytest.approx(magnitude, rel=1e-12) and r.unit_items() == items and q.magnitude == value
    if method == "to":
        assert q.m_as(*args) == r.magnitude
    if method != "to_compact":
        assert getattr(q, "i" + method)(*args) is None  # in place: the same result
        assert (q.magnitude, q.unit_items()) == (r.magnitude, r.unit_items())
    ureg.define("late = 3 * meter")  # results share the registry
    assert r.is_compatible_with("late") is (r.dimensionality == "[length]")


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda q: q.ito("mile"), DimensionalityError, "Cannot convert from 'hour' ([time]) to 'mile' ([length])"),
        (lambda q: q.ito("nosuchunit"), UndefinedUnitError, "'nosuchunit' is not defined in the unit registry"),
        (lambda q: q.ito_preferred(["nosuchunit", "s"]), UndefinedUnitError, None),
        (lambda q: q.to_compact(unit="m"), DimensionalityError, None),
        (lambda q: q.ito_preferred("meter"), TypeError, "argument 'preferred_units': Can't extract `str` to `Vec`"),
        (lambda q: q.to_preferred(["meter", 3]), TypeError, None),
        (lambda q: q.ito_preferred(["s", "\ud800"]), UnicodeEncodeError, None),
        (lambda q: q.ito_preferred(5), TypeError,
         "argument 'preferred_units': 'int' object cannot be converted to 'Sequence'"),
    ],
)
def test_failing_conversions_leave_the_quantity_unchanged(Q_, call, exc, message):
    q = Q_(3, "hour")
    with pytest.raises(exc) as info:
        call(q)
    assert message is None or str(info.value) == message
    assert q.magnitude == 3 and q.unit_items() == [("hour", 1.0)]


@pytest.mark.parametrize("method", ["ito_base_units", "ito_root_units", "ito_reduced_units", "ito_unprefixed"])
def test_in_place_with_an_undefined_own_unit_leaves_the_quantity_unchanged(method):
    q = Quantity.from_tuple((2.0, [("nosuchunit", 1.0)]))
    for call in (getattr(q, method), lambda: q.ito_preferred(["meter"])):
        with pytest.raises(UndefinedUnitError, match="'nosuchunit' is not defined in the unit registry"):
            call()
        assert q.magnitude == 2.0 and q.unit_items() == [("nosuchunit", 1.0)]


def test_a_quantity_changing_in_place_is_borrowed_exclusively(Q_):
    q = Q_(90.0, "s")
    seen = []

    def read():
        for r in (lambda: q.magnitude, lambda: q.units, lambda: q.to("m"), lambda: q.ito("s")):
            try:
                r()
            except RuntimeError as e:
                seen.append(str(e))

    q.ito_preferred(Seq(["minute"], lambda: seen or read()))
    assert seen == ["Already mutably borrowed"] * 3 + ["Already borrowed"]
    assert q.magnitude == 1.5 and q.to("s").magnitude == 90.0  # the borrow was released


@pytest.mark.parametrize(
    "value, units, text, number",
    [
        (5, "m", "5 m", "5"), (2.5, "m", "2.5 m", "2.500000000"),
        (1e15, "m", "1000000000000000 m", "1000000000000000.000000000"),  # too large to count as whole
        (1e14, "m", "100000000000000 m", "100000000000000"), (-0.0, "m", "-0 m", "-0"),
        (3, "km/h", "3 km / h", "3"), (7, "", "7 dimensionless", "7"),
    ],
)
def test_str_and_repr(Q_, value, units, text, number):
    q = Q_(value, units)
    assert str(q) == text
    assert repr(q) == f"<Quantity({number}, '{text.split(' ', 1)[1]}')>"


def test_format(Q_):
    formats = {"": "2.5 m", ".2f": "2.50 m", "10.3e": " 2.500e+00 m", "+": "+2.5 m", "~P": "2.5 m", "d": "2.5 m"}
    for fmt, text in formats.items():
        assert format(Q_(2.5, "m"), fmt) == text
    q = Quantity.from_tuple((1.0, [("a\x00b", 1.0)]))  # the unit text goes on after a NUL
    assert format(q, ".2f") == "1.00 " + q._units_str() == "1.00 a\x00b"


@pytest.mark.parametrize(
    "tup, expected",
    [
        ((2.0, [("meter", 1.0), ("meter", -1.0)]), (2.0, [])),
        ((2, (("meter", 1), ("second", -1), ("meter", 1))), (2.0, [("meter", 2.0), ("second", -1.0)])),
        ((True, Seq([("nosuchunit", 1.0)])), (1.0, [("nosuchunit", 1.0)])),  # names are not checked
        ((1.0, [], 3), "expected tuple of length 2, but got tuple of length 3"),
        ([1.0, []], "'list' object cannot be converted to 'tuple'"),
        ((1.0, [(1, 1.0)]), "'int' object cannot be converted to 'str'"),
    ],
)
def test_from_tuple(tup, expected):
    if isinstance(expected, str):
        with pytest.raises(TypeError) as info:
            Quantity.from_tuple(tup)
        assert str(info.value) == "argument 'tup': " + expected
    else:
        assert Quantity.from_tuple(tup=tup).to_tuple() == expected


def test_tuple_and_pickle_get_a_fresh_registry(ureg, Q_):
    ureg.define("smoot = 1.7018 m")
    q = Q_(3, "smoot/s")
    assert q.__reduce__() == (Quantity, (3.0, "smoot / s"))
    r = Quantity.from_tuple(q.to_tuple())
    assert str(r) == "3 smoot / s"  # text needs no lookup
    with pytest.raises(UndefinedUnitError):
        r.to("m/s")
    with pytest.raises(UndefinedUnitError, match="'smoot' is not defined in the unit registry"):
        pickle.loads(pickle.dumps(q))
    for make_copy in (copy.copy, copy.deepcopy):
        c = make_copy(q)
        assert c is not q and c.to("m/s").magnitude == pytest.approx(3 * 1.7018)
        c.ito("m/s")  # the copy is independent of the original's record
        assert q.unit_items() == [("smoot", 1.0), ("second", -1.0)]


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


@pytest.mark.parametrize("exponent", [1.0, -2.0, 0.5])
def test_every_unit_text_reads_back(exponent):
    # Pickling relies on every unit's text parsing back, in a fresh registry, to its map.
    for name in UnitRegistry():
        q = Quantity.from_tuple((1.0, [(name, exponent)]))
        text = str(q.units)
        assert pickle.loads(pickle.dumps(q)).unit_items() == q.unit_items() == Unit(text)._units_dict(), text


@pytest.mark.parametrize(
    "x", [0.0, -0.0, 1.0, -1.0, 0.5, -2.5, 0.1, 1e300, 1.5e-300, 2.0**61, 2.0**64 + 2**12, math.inf, -math.inf]
)
def test_hash_follows_the_value_in_root_units(Q_, x):
    assert hash(Q_(x, "")) == hash(x)  # a dimensionless quantity hashes like its float
    assert hash(Q_(x * 100, "percent")) == hash(float(Q_(x * 100, "percent")))
    assert hash(Q_(x, "km")) == hash(Q_(x * 1000, "m"))


def test_hash_of_dimensions_nan_and_unknown_names(Q_):
    assert hash(Q_(1, "m/s")) != hash(Q_(1, "m*s")) and hash(Q_(-0.0, "m")) == hash(Q_(0.0, "m"))
    nan = Q_(math.nan, "")
    assert hash(nan) == object.__hash__(nan)  # by identity
    with pytest.raises(UndefinedUnitError):
        hash(Quantity.from_tuple((1.0, [("nosuchunit", 1.0)])))


@pytest.mark.parametrize(
    "value, ndigits, magnitude",
    [(-2.5, None, -3.0), (-1.5, -(2**31), -0.0), (1.5, 2**31, OverflowError), (1.5, 1.5, TypeError)],
)
def test_round(Q_, value, ndigits, magnitude):
    q = Q_(value, "m")
    if isinstance(magnitude, type):
        with pytest.raises(magnitude):
            round(q, ndigits)
        return
    r = round(q) if ndigits is None else round(q, ndigits)
    assert type(r) is Quantity and r.unit_items() == M and q.magnitude == value
    assert r.magnitude == magnitude and math.copysign(1, r.magnitude) == math.copysign(1, magnitude)


@pytest.mark.parametrize(
    "value, units, as_float, as_int",
    [
        (2.9, "", 2.9, 2), (-2.9, "", -2.9, -2), (1e30, "", 1e30, int(1e30)), (250, "percent", 2.5, 2),
        (180, "degree", math.pi, 3), (3, "km/m", 3000.0, 3000), (math.nan, "", math.nan, ValueError),
        (-math.inf, "", -math.inf, OverflowError), (5, "m/s", "[length] / [time]", DimensionalityError),
    ],
)
def test_float_and_int(Q_, value, units, as_float, as_int):
    q = Q_(value, units)
    if isinstance(as_float, str):
        for convert in (float, int):
            with pytest.raises(DimensionalityError) as info:
                convert(q)
            assert str(info.value) == f"Cannot convert Quantity with dimensionality {as_float} to float"
        return
    assert float(q) == pytest.approx(as_float, rel=1e-15, nan_ok=True)
    if isinstance(as_int, int):
        assert type(int(q)) is int and int(q) == as_int
    else:
        with pytest.raises(as_int):
            int(q)


@pytest.mark.parametrize(
    "units, text, checks",
    [
        ("m/s", "[length] / [time]", ["[length]/[time]", "[time] ** -1 * [length]", " [length] / [time]"]),
        ("", "dimensionless", [""]), ("m/km", "dimensionless", []),
    ],
)
def test_dimensionality_and_check(Q_, units, text, checks):
    q = Q_(0, units)
    assert q.dimensionality == text and q.dimensionality is q.dimensionality  # computed once
    assert q.dimensionless is q.unitless is (text == "dimensionless")
    assert q.check(text) and q.check(dimension=text)
    assert not any(q.check(c) for c in checks)  # the text form is compared exactly


def test_dimensionality_follows_a_redefinition(ureg):
    ureg.define("foo = 2 * meter")
    q = ureg._f64_quantity(1.0, "foo")
    assert q.dimensionality == "[length]"
    ureg.define("foo = 2 * second")
    assert q.dimensionality == copy.copy(q).dimensionality == "[time]" and q.check("[time]")
    other = UnitRegistry()
    other.define("smoot = 1.7018 m")
    orphan = (Unit("m") * other.Unit("smoot")) * 3  # its registry does not know smoot
    for query in (lambda: orphan.dimensionality, lambda: orphan.unitless, lambda: orphan.check(""),
                  orphan.compatible_units, lambda: orphan.is_compatible_with(5),
                  lambda: ureg._scalar_quantity(3, "m").is_compatible_with(orphan)):
        with pytest.raises(UndefinedUnitError, match="^'smoot' is not defined in the unit registry$"):
            query()
    orphan._registry.define("smoot = 1.7018 m")  # errors are not cached
    assert orphan.dimensionality == "[length] ** 2"


@pytest.mark.parametrize(
    "units, other, expected",
    [
        ("m", "km", True), ("m", Unit("s"), False), ("m", Quantity(5, "km"), True), ("m", Quantity(5, "s"), False),
        ("m", 5.0, False), ("m", None, False), ("", None, True), ("", [1, 2], True), ("", "m", False),
        ("percent", 7, True),
    ],
)
def test_is_compatible_with(Q_, units, other, expected):
    assert Q_(3, units).is_compatible_with(other=other) is expected


@pytest.mark.parametrize(
    "value, units, expected",
    [
        (-2, "minute", datetime.timedelta(seconds=-120)), (1.0000004, "s", datetime.timedelta(0, 1.0000004)),
        (2, "", DimensionalityError("Cannot convert from 'dimensionless' (dimensionless) to 'second' ([time])")),
        (1e20, "s", OverflowError()), (math.nan, "s", ValueError()),
    ],
)
def test_to_timedelta(Q_, value, units, expected):
    if isinstance(expected, Exception):
        with pytest.raises(type(expected)) as info:
            Q_(value, units).to_timedelta()
        assert str(expected) in str(info.value)
        assert isinstance(info.value, qudimrs.QudimError) is isinstance(expected, DimensionalityError)
    else:
        td = Q_(value, units).to_timedelta()
        assert type(td) is datetime.timedelta and td == expected


class HidesItsModule(type):
    """A metaclass whose instances' type refuses to say its module."""

    def __getattribute__(cls, name):
        if name == "__module__":
            raise RuntimeError("no module here")
        return super().__getattribute__(name)


# Stands in for numpy.bool_: the type's module and name are what is checked.
NumpyBool = type("bool_", (), {"__module__": "numpy", "__init__": lambda s, v: setattr(s, "v", v),
                               "__bool__": lambda s: s.v})


@pytest.mark.parametrize(
    "magnitude, args, kwargs, uncertainty",
    [
        (5, (0.1,), {}, 0.1), (-5, (0.1,), {"relative": True}, 0.5), (-5, (0.1, True), {}, 0.5),
        (4, (), {"error": 0.5, "relative": False}, 0.5), (5, (Fraction(1, 4),), {}, 0.25),
        (-8, (0.25,), {"relative": NumpyBool(True)}, 2.0), (-8, (0.25,), {"relative": NumpyBool(False)}, 0.25),
        (5, (0.1, 1), {}, TypeError), (5, (0.1, None), {}, TypeError), (5, (0.1, "yes"), {}, TypeError),
        (5, (0.1, HidesItsModule("H", (), {})()), {}, TypeError),
    ],
)
def test_plus_minus_calls_measurement_with_a_copy(Q_, ureg, monkeypatch, magnitude, args, kwargs, uncertainty):
    calls = []
    monkeypatch.setattr(qudimrs, "Measurement", lambda *a, **k: calls.append((a, k)) or "measurement")
    q = Q_(magnitude, "m")
    if uncertainty is TypeError:
        with pytest.raises(TypeError, match="^argument 'relative': "):
            q.plus_minus(*args, **kwargs)
        assert calls == []
        return
    assert q.plus_minus(*args, **kwargs) == "measurement"
    (((c, amount), call_kwargs),) = calls
    assert call_kwargs == {} and type(c) is Quantity and c is not q
    assert c.magnitude == magnitude and c.units == q.units
    assert type(amount) is float and amount == pytest.approx(uncertainty)
    ureg.define("smoot = 1.7018 m")
    assert c.is_compatible_with("smoot")



@pytest.mark.parametrize("name", ["to_base_units", "to_root_units", "to_reduced_units", "ito_base_units",
                                  "ito_root_units", "ito_reduced_units", "to_unprefixed", "ito_unprefixed",
                                  "_units_dict", "unit_items"])
def test_an_argument_error_names_the_method_called(Q_, name):
    # Several names share one implementation; each still has its own display name.
    with pytest.raises(TypeError) as info:
        getattr(Q_(1, "km"), name)(1)
    assert str(info.value) == f"Quantity.{name}() takes 0 positional arguments but 1 was given"
