"""Random arguments to every method and operator of the three classes: the
only outcomes allowed are a result or an exception of the families a caller
is told to expect."""

import copy
import operator
import pickle

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from qudimrs import Quantity, Unit, UnitRegistry

ALLOWED = (ValueError, TypeError, OverflowError, ZeroDivisionError, AttributeError)

FUZZ = settings(max_examples=120, deadline=None, suppress_health_check=[HealthCheck.too_slow])

UNIT_WORDS = ["m", "km", "s", "h", "kg", "degC", "degF", "K", "delta_degC", "J", "N", "mile",
              "dimensionless", "percent", "rad", "mol", "µs", "kWh", "ft", "Hz", "nope", "[length]"]
SAFE_WORDS = ["m", "km", "s", "h", "kg", "degC", "degF", "K", "J", "N", "mile", "percent", "rad", "ft"]
JOINERS = ["*", "/", " ", "**2", "^-1", "**0.5", "(", ")", "**1e308", "**nan", "**inf", "-", ""]

unit_texts = st.one_of(
    st.lists(st.one_of(st.sampled_from(UNIT_WORDS), st.sampled_from(JOINERS)), max_size=6).map("".join),
    st.text(max_size=20),
    st.sampled_from(["\x00", "m\x00s", "\ud800", "m\udcff", "  ", "1 m", "3.5 km/h", "1e400 m"]),
)
numbers = st.one_of(
    st.floats(allow_nan=True, allow_infinity=True),
    st.integers(min_value=-(2**70), max_value=2**70),
    st.sampled_from([0, 0.0, -0.0, 1, True, 1e308, -1e-320]),
)


def public_methods(cls, exclude=()):
    """Callable members a caller can reach: public ones and the wrapper's entry points."""
    names = []
    for name in sorted(dir(cls)):
        if name in exclude or (name.startswith("__") and name.endswith("__")):
            continue
        if callable(getattr(cls, name, None)):
            names.append(name)
    return names


@st.composite
def quantities(draw, ureg):
    try:
        return ureg._scalar_quantity(draw(numbers), draw(unit_texts))
    except ALLOWED:
        return ureg._scalar_quantity(draw(numbers), draw(st.sampled_from(SAFE_WORDS)))


@st.composite
def units(draw, ureg):
    try:
        return ureg.Unit(draw(unit_texts))
    except ALLOWED:
        return ureg.Unit(draw(st.sampled_from(SAFE_WORDS)))


def arguments(ureg):
    """Anything a caller might pass."""
    return st.one_of(numbers, unit_texts, st.none(), quantities(ureg), units(ureg),
                     st.lists(unit_texts, max_size=3), st.tuples(numbers, st.lists(st.tuples(unit_texts, numbers), max_size=2)),
                     st.just(object()))


def call(fn, *args, **kwargs):
    """Calls fn; a result or an allowed exception passes, anything else fails."""
    try:
        return fn(*args, **kwargs)
    except ALLOWED:
        return None


REGISTRY_METHODS = public_methods(UnitRegistry)
QUANTITY_METHODS = public_methods(Quantity)
UNIT_METHODS = public_methods(Unit)


def test_every_class_has_methods_to_fuzz():
    # A rename must not silently empty the tables below.
    assert {"convert", "define", "parse_expression"} <= set(REGISTRY_METHODS)
    assert {"to", "ito", "m_as", "to_compact", "from_tuple"} <= set(QUANTITY_METHODS)
    assert {"from_", "m_from", "is_compatible_with"} <= set(UNIT_METHODS)


@pytest.mark.parametrize("name", REGISTRY_METHODS)
@FUZZ
@given(data=st.data())
def test_registry_methods(name, data):
    ureg = UnitRegistry()
    args = data.draw(st.lists(arguments(ureg), max_size=3))
    call(getattr(ureg, name), *args)
    # The registry still works afterwards.
    assert ureg.convert(1, "km", "m") == 1000.0


@pytest.mark.parametrize("name", QUANTITY_METHODS)
@settings(FUZZ, max_examples=30)
@given(data=st.data())
def test_quantity_methods(name, data):
    ureg = UnitRegistry()
    q = data.draw(quantities(ureg))
    args = data.draw(st.lists(arguments(ureg), max_size=2))
    before = q.to_tuple()
    result = call(getattr(q, name), *args)
    if not name.startswith("i"):
        assert q.to_tuple() == before or q.to_tuple() != q.to_tuple()  # NaN magnitudes never equal
    if isinstance(result, Quantity):
        # from_tuple accepts any names, so using the result may fail too.
        for use in (str, repr, hash):
            call(use, result)


@pytest.mark.parametrize("name", UNIT_METHODS)
@settings(FUZZ, max_examples=30)
@given(data=st.data())
def test_unit_methods(name, data):
    ureg = UnitRegistry()
    u = data.draw(units(ureg))
    args = data.draw(st.lists(arguments(ureg), max_size=2))
    call(getattr(u, name), *args)


BINARY = [operator.add, operator.sub, operator.mul, operator.truediv, operator.floordiv,
          operator.mod, operator.pow, operator.eq, operator.ne, operator.lt, operator.le,
          operator.gt, operator.ge, divmod]


@pytest.mark.parametrize("op", BINARY, ids=lambda op: op.__name__)
@settings(FUZZ, max_examples=70)
@given(data=st.data())
def test_binary_operators(op, data):
    ureg = UnitRegistry()
    left = data.draw(st.one_of(quantities(ureg), units(ureg)))
    right = data.draw(arguments(ureg))
    call(op, left, right)
    call(op, right, left)


@settings(FUZZ, max_examples=100)
@given(data=st.data())
def test_unary_forms_and_copies(data):
    ureg = UnitRegistry()
    obj = data.draw(st.one_of(quantities(ureg), units(ureg)))
    for fn in (operator.neg, operator.pos, abs, float, int, round, bool, hash, str, repr,
               copy.copy, copy.deepcopy, lambda o: pickle.loads(pickle.dumps(o))):
        call(fn, obj)
    call(format, obj, data.draw(st.one_of(st.sampled_from(["", "~", "P", "~P", ".3f", "D", "C", "H"]),
                                          st.text(max_size=6))))
    call(round, obj, data.draw(st.one_of(st.integers(-400, 400), numbers, st.none())))


@settings(FUZZ, max_examples=100)
@given(data=st.data())
def test_constructors_and_tuples(data):
    for args in (data.draw(st.lists(arguments(UnitRegistry()), max_size=3)),):
        call(Quantity, *args)
        call(Unit, *args)
        call(Quantity.from_tuple, *args)


@settings(FUZZ, max_examples=70)
@given(lines=st.lists(st.one_of(
    st.text(max_size=30),
    st.builds("{} = {} = {}".format, st.sampled_from(["foo", "bar", "m", "kilo-", "_", "[x]"]),
              unit_texts, st.sampled_from(["f", "_", "", "b-"])),
    st.builds("{} = {}; offset: {}".format, st.sampled_from(["tC", "tF"]), unit_texts,
              st.sampled_from(["1", "nan", "1e308", "(", "π"])),
), max_size=4), conversions=st.lists(st.tuples(unit_texts, unit_texts), max_size=3))
def test_definitions_then_conversions(lines, conversions):
    ureg = UnitRegistry()
    for line in lines:
        call(ureg.define, line)
    call(ureg.load_definitions, "\n".join(lines))
    for src, dst in conversions + [("foo", "bar"), ("tC", "tF")]:
        call(ureg.convert, 1.5, src, dst)
        call(ureg.is_compatible_with, src, dst)
        call(ureg._scalar_quantity, 2.0, src)
