"""Quantity queries: dimensionality, compatibility, compatible units, and the
bridges to datetime.timedelta and qudimrs.Measurement."""

import datetime
import inspect
from fractions import Fraction

import pytest

import qudimrs
from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry


@pytest.fixture
def smoot_reg():
    """A registry with a unit that the default definitions lack."""
    ureg = UnitRegistry()
    ureg.define("smoot = 1.7018 m")
    return ureg


@pytest.fixture
def orphan():
    """A quantity whose unit map names a unit its own registry lacks."""
    other = UnitRegistry()
    other.define("smoot = 1.7018 m")
    return (Unit("m") * other.Unit("smoot")) * 3


# ---- dimensionality, dimensionless, unitless ----


@pytest.mark.parametrize(
    "value, units, text, dimensionless",
    [
        (3, "m/s", "[length] / [time]", False),
        (5, None, "dimensionless", True),
        (1, "kg*m**2/s**2", "[length] ** 2 * [mass] / [time] ** 2", False),
        (1, "1/s", "1 / [time]", False),
        (1, "m**0.5", "[length] ** 0.5", False),
        (1, "degC", "[temperature]", False),
        (1, "m/km", "dimensionless", True),
        (50, "percent", "dimensionless", True),
        (1, "radian", "dimensionless", True),
        (0, "m", "[length]", False),
    ],
)
def test_dimensionality_and_dimensionless(Q_, value, units, text, dimensionless):
    q = Q_(value, units)
    assert q.dimensionality == text
    assert q.dimensionless is dimensionless
    assert q.unitless is dimensionless


def test_dimensionality_is_computed_once(Q_):
    q = Q_(3, "m/s")
    first = q.dimensionality
    assert q.dimensionality is first
    assert Q_(3, "m/s").dimensionality is not first


def test_dimensionality_errors_are_not_cached(orphan):
    for query in (lambda: orphan.dimensionality, lambda: orphan.dimensionless, lambda: orphan.unitless):
        with pytest.raises(UndefinedUnitError) as info:
            query()
        assert str(info.value) == "'smoot' is not defined in the unit registry"
    orphan._registry.define("smoot = 1.7018 m")
    assert orphan.dimensionality == "[length] ** 2"


# ---- check ----


@pytest.mark.parametrize(
    "value, units, dimension, expected",
    [
        (3, "m/s", "[length] / [time]", True),
        (3, "m/s", "[length]/[time]", False),
        (3, "m/s", "[time] ** -1 * [length]", False),
        (3, "m/s", " [length] / [time]", False),
        (3, "km/h", "[length] / [time]", True),
        (1, "m", "[length]", True),
        (1, "m", "[length] ** 1", False),
        (1, "m", "length", False),
        (1, "1/s", "1 / [time]", True),
        (1, "1/s", "[time] ** -1", False),
        (5, None, "dimensionless", True),
        (5, None, "", False),
        (1, "m/km", "dimensionless", True),
    ],
)
def test_check_compares_the_text_form_exactly(Q_, value, units, dimension, expected):
    q = Q_(value, units)
    assert q.check(dimension) is expected
    assert q.check(dimension=dimension) is expected


def test_check_errors(Q_, orphan):
    with pytest.raises(UndefinedUnitError):
        orphan.check("[length] ** 2")
    q = Q_(1, "m")
    for call, message in [
        (lambda: q.check(5), "argument 'dimension': 'int' object cannot be converted to 'str'"),
        (lambda: q.check(), "Quantity.check() missing 1 required positional argument: 'dimension'"),
        (lambda: q.check("a", "b"), "Quantity.check() takes 1 positional arguments but 2 were given"),
    ]:
        with pytest.raises(TypeError) as info:
            call()
        assert str(info.value) == message


# ---- compatible_units ----


def test_compatible_units_of_a_length(Q_):
    names = Q_(1, "m").compatible_units()
    assert all(type(n) is str for n in names)
    assert {"meter", "foot", "mile", "inch"} <= set(names)
    assert not {"kilometer", "km", "second"} & set(names)
    assert len(names) == len(set(names))
    probe = Q_(1, "m")
    assert all(probe.is_compatible_with(n) for n in names)


def test_compatible_units_follow_the_quantitys_registry(Q_, smoot_reg):
    assert "smoot" in smoot_reg._scalar_quantity(2, "km").compatible_units()
    assert "smoot" not in Q_(2, "km").compatible_units()
    speeds = Q_(1, "m/s").compatible_units()
    assert "meter" not in speeds
    assert all(Q_(1, n).dimensionality == "[length] / [time]" for n in speeds)


def test_compatible_units_errors(Q_, orphan):
    with pytest.raises(UndefinedUnitError):
        orphan.compatible_units()
    with pytest.raises(TypeError) as info:
        Q_(1, "m").compatible_units(1)
    assert str(info.value) == "Quantity.compatible_units() takes 0 positional arguments but 1 was given"


# ---- is_compatible_with ----


@pytest.mark.parametrize(
    "value, units, other, expected",
    [
        (3, "m", "km", True),
        (3, "m", "second", False),
        (3, "m", "", False),
        (3, "m", Unit("mile"), True),
        (3, "m", Unit("s"), False),
        (3, "m", Quantity(5, "km"), True),
        (3, "m", Quantity(5, "s"), False),
        (3, "m", 5, False),
        (3, "m", 5.0, False),
        (3, "m", None, False),
        (5, None, 5, True),
        (5, None, None, True),
        (5, None, [1, 2], True),
        (5, None, "percent", True),
        (5, None, "", True),
        (5, None, "m", False),
        (5, None, Unit("dimensionless"), True),
        (5, None, Quantity(2), True),
        (1, "m/km", 7, True),
        (1, "percent", 7, True),
        (1, "m/s", "km/h", True),
        (1, "m/s", Unit("km") / Unit("h"), True),
    ],
)
def test_is_compatible_with(Q_, value, units, other, expected):
    q = Q_(value, units)
    assert q.is_compatible_with(other) is expected
    assert q.is_compatible_with(other=other) is expected


@pytest.mark.parametrize(
    "make_other",
    [
        lambda reg: "smoot",
        lambda reg: reg._scalar_quantity(1, "smoot"),
        lambda reg: reg.Unit("smoot"),
    ],
)
def test_is_compatible_with_looks_names_up_in_this_quantitys_registry(Q_, smoot_reg, make_other):
    other = make_other(smoot_reg)
    with pytest.raises(UndefinedUnitError):
        Q_(3, "m").is_compatible_with(other)
    assert smoot_reg._scalar_quantity(3, "m").is_compatible_with(other) is True


def test_is_compatible_with_an_undefined_name(Q_):
    with pytest.raises(UndefinedUnitError) as info:
        Q_(3, "m").is_compatible_with("nosuchunit")
    assert str(info.value) == "'nosuchunit' is not defined in the unit registry"


def test_is_compatible_with_raises_for_its_own_undefined_units(orphan):
    for other in (5, "m", Unit("m")):
        with pytest.raises(UndefinedUnitError):
            orphan.is_compatible_with(other)


# ---- to_timedelta ----


@pytest.mark.parametrize(
    "value, units, expected",
    [
        (90, "s", datetime.timedelta(minutes=1, seconds=30)),
        (1.5, "hour", datetime.timedelta(seconds=5400)),
        (250, "ms", datetime.timedelta(milliseconds=250)),
        (2, "day", datetime.timedelta(days=2)),
        (-2, "minute", datetime.timedelta(seconds=-120)),
        (1.0000004, "s", datetime.timedelta(0, 1.0000004)),
        (1.0000006, "s", datetime.timedelta(microseconds=1000001)),
        (0, "s", datetime.timedelta(0)),
    ],
)
def test_to_timedelta(Q_, value, units, expected):
    td = Q_(value, units).to_timedelta()
    assert type(td) is datetime.timedelta
    assert td == expected


@pytest.mark.parametrize(
    "value, units, exc, message",
    [
        (2, "m", DimensionalityError, "Cannot convert from 'meter' ([length]) to 'second' ([time])"),
        (2, None, DimensionalityError, "Cannot convert from 'dimensionless' (dimensionless) to 'second' ([time])"),
        (1e20, "s", OverflowError, None),
        (float("nan"), "s", ValueError, None),
    ],
)
def test_to_timedelta_errors(Q_, value, units, exc, message):
    with pytest.raises(exc) as info:
        Q_(value, units).to_timedelta()
    if message is not None:
        assert str(info.value) == message
    else:
        assert not isinstance(info.value, qudimrs.QudimError)


def test_to_timedelta_takes_no_arguments(Q_):
    with pytest.raises(TypeError) as info:
        Q_(1, "s").to_timedelta(1)
    assert str(info.value) == "Quantity.to_timedelta() takes 0 positional arguments but 1 was given"


def test_timedelta_runs_after_the_registry_lock_is_released(Q_, monkeypatch):
    q = Q_(1.5, "minute")
    seen = []

    def fake_timedelta(*args, **kwargs):
        # Calls back into the same registry: with the lock still held this
        # would deadlock.
        seen.append((args, kwargs, q.check("[time]"), q.compatible_units() != [],
                     q._registry.convert(1.0, "minute", "s")))
        return "sentinel"

    monkeypatch.setattr(datetime, "timedelta", fake_timedelta)
    assert q.to_timedelta() == "sentinel"
    ((args, kwargs, *rest),) = seen
    assert args == (0, 90.0) and type(args[0]) is int and type(args[1]) is float
    assert kwargs == {}
    assert rest == [True, True, 60.0]


# ---- plus_minus ----


class Recorder:
    """Stands in for qudimrs.Measurement and records how it was called."""

    def __init__(self):
        self.calls = []

    def __call__(self, *args, **kwargs):
        self.calls.append((args, kwargs))
        return "measurement"


@pytest.fixture
def recorder(monkeypatch):
    r = Recorder()
    monkeypatch.setattr(qudimrs, "Measurement", r)
    return r


class FakeNumpyBool:
    """Looks like a NumPy boolean scalar by module and type name."""

    def __init__(self, value):
        self.value = value

    def __bool__(self):
        return self.value


def numpy_like(name, module="numpy"):
    return type(name, (FakeNumpyBool,), {"__module__": module})


@pytest.mark.parametrize(
    "magnitude, args, kwargs, uncertainty",
    [
        (5, (0.1,), {}, 0.1),
        (5, (0.1, False), {}, 0.1),
        (-5, (0.1,), {"relative": True}, 0.5),
        (-5, (0.1, True), {}, 0.5),
        (4, (), {"error": 0.5, "relative": True}, 2.0),
        (0, (0.1,), {"relative": True}, 0.0),
        (5, (2,), {}, 2.0),
        (5, (Fraction(1, 4),), {}, 0.25),
        (-8, (0.25,), {"relative": numpy_like("bool_")(True)}, 2.0),
        (-8, (0.25,), {"relative": numpy_like("bool")(True)}, 2.0),
        (-8, (0.25,), {"relative": numpy_like("bool_")(False)}, 0.25),
    ],
)
def test_plus_minus_calls_measurement_with_a_copy_and_the_uncertainty(
    Q_, recorder, magnitude, args, kwargs, uncertainty
):
    q = Q_(magnitude, "m")
    assert q.plus_minus(*args, **kwargs) == "measurement"
    ((call_args, call_kwargs),) = recorder.calls
    assert call_kwargs == {}
    copy, amount = call_args
    assert type(copy) is Quantity and copy is not q
    assert copy.magnitude == magnitude and copy.units == q.units
    assert type(amount) is float and amount == pytest.approx(uncertainty)


def test_plus_minus_copy_shares_registry_and_cache(Q_, ureg, recorder):
    q = Q_(5, "m")
    text = q.dimensionality
    q.plus_minus(0.1)
    copy = recorder.calls[0][0][0]
    assert copy.dimensionality is text
    ureg.define("smoot = 1.7018 m")
    assert copy.is_compatible_with("smoot")


def test_plus_minus_with_the_real_measurement(Q_):
    m = Q_(5, "m").plus_minus(0.1)
    assert isinstance(m, qudimrs.Measurement)
    assert m.error == 0.1 and m.magnitude == 5.0


@pytest.mark.parametrize(
    "relative",
    [1, 0, None, "yes", 1.0, numpy_like("int64")(True), numpy_like("bool_", module="mynumpy")(True)],
)
def test_plus_minus_refuses_a_relative_that_is_not_a_bool(Q_, recorder, relative):
    with pytest.raises(TypeError) as info:
        Q_(5, "m").plus_minus(0.1, relative)
    assert str(info.value).startswith("argument 'relative': ")
    assert recorder.calls == []


def test_plus_minus_accepts_a_real_numpy_bool(Q_, recorder):
    np = pytest.importorskip("numpy")
    Q_(-5, "m").plus_minus(0.1, relative=np.bool_(True))
    assert recorder.calls[0][0][1] == pytest.approx(0.5)


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (("x",), {}, "argument 'error': must be real number, not str"),
        ((None,), {}, "argument 'error': must be real number, not NoneType"),
        ((), {}, "Quantity.plus_minus() missing 1 required positional argument: 'error'"),
        ((0.1, True, 3), {}, "Quantity.plus_minus() takes from 1 to 2 positional arguments but 3 were given"),
        ((0.1,), {"rel": True}, "Quantity.plus_minus() got an unexpected keyword argument 'rel'"),
    ],
)
def test_plus_minus_argument_errors(Q_, recorder, args, kwargs, message):
    with pytest.raises(TypeError) as info:
        Q_(5, "m").plus_minus(*args, **kwargs)
    assert str(info.value) == message


def test_plus_minus_passes_measurement_errors_on(Q_, monkeypatch):
    def failing(value, error):
        raise KeyError("from Measurement")

    monkeypatch.setattr(qudimrs, "Measurement", failing)
    with pytest.raises(KeyError, match="from Measurement"):
        Q_(5, "m").plus_minus(0.1)
    monkeypatch.delattr(qudimrs, "Measurement")
    with pytest.raises(AttributeError):
        Q_(5, "m").plus_minus(0.1)


def test_the_quantity_is_borrowed_while_measurement_runs(Q_, monkeypatch):
    q = Q_(5, "km")
    outcome = []

    def changes_the_original(value, error):
        with pytest.raises(RuntimeError) as info:
            q.ito("m")
        outcome.append(str(info.value))
        return "done"

    monkeypatch.setattr(qudimrs, "Measurement", changes_the_original)
    assert q.plus_minus(0.1) == "done"
    assert outcome == ["Already borrowed"]
    assert q.magnitude == 5 and q.units == Unit("km")
    q.ito("m")  # the borrow ended with the call
    assert q.magnitude == 5000


def test_error_argument_may_use_the_same_registry(Q_, recorder):
    q = Q_(5, "m")

    class Reentrant:
        def __float__(self):
            assert q.check("[length]") and "meter" in q.compatible_units()
            return 0.25

    q.plus_minus(Reentrant())
    assert recorder.calls[0][0][1] == 0.25


# ---- signatures ----


@pytest.mark.parametrize(
    "name, signature, doc",
    [
        ("check", "(self, /, dimension)", None),
        ("compatible_units", "(self, /)", None),
        ("is_compatible_with", "(self, /, other)", None),
        ("to_timedelta", "(self, /)", "Convert to datetime.timedelta (for time quantities only)."),
        ("plus_minus", "(self, /, error, relative=False)", "Create a Measurement from this Quantity with given error."),
    ],
)
def test_signatures_and_docs(name, signature, doc):
    method = getattr(Quantity, name)
    assert str(inspect.signature(method)) == signature
    assert (method.__doc__ or None) == doc
