"""Quantity arithmetic and comparison: result and error tables, registries of
mixed operands, number-protocol operands and compare(other, op)."""

import math
import re

import pytest

from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, UnitRegistry

EPS = 2.220446049250313e-16


def evaluate(expr, Q_, ureg):
    names = {"Q": Q_, "U": ureg.Unit, "up": math.nextafter, "nan": math.nan, "inf": math.inf}
    return eval(expr, {**names, "EPS": EPS, "math": math})


M, KM, S_1 = [("meter", 1.0)], [("kilometer", 1.0)], [("second", -1.0)]
MPS, PCT = [("meter", 1.0), ("second", -1.0)], [("percent", 1.0)]

# (expression, magnitude, unit items in order)
RESULTS = [
    # addition and subtraction keep self's units
    ("Q(3, 'meter') + Q(2, 'meter')", 5.0, M), ("Q(1, 'kilometer') + Q(500, 'meter')", 1.5, KM),
    ("Q(500, 'meter') + Q(1, 'kilometer')", 1500.0, [("meter", 1.0)]),
    ("Q(1, 'kilometer') - Q(500, 'meter')", 0.5, KM), ("Q(2, 'meter') + -0.0", 2.0, M),
    ("0 + Q(2, 'meter')", 2.0, M), ("Q(50, 'percent') + 1", 51.0, PCT),
    ("1 + Q(50, 'percent')", 51.0, PCT), ("Q(50, 'percent') - 1", 49.0, PCT),
    ("10 - Q(3, 'percent')", 7.0, PCT),
    ("Q(20, 'degree_Celsius') + Q(10, 'kelvin')", 30.0, [("degree_Celsius", 1.0)]),
    # multiplication and division combine the maps and never convert
    ("Q(2, 'meter') * Q(3, 'kilometer')", 6.0, [("meter", 1.0), ("kilometer", 1.0)]),
    ("Q(2, 'meter') * Q(3, 'meter')", 6.0, [("meter", 2.0)]),
    ("Q(2, 'meter/second') * Q(3, 'second')", 6.0, M), ("3 * Q(2, 'meter')", 6.0, M),
    ("Q(2, 'meter') * U('second')", 2.0, [("meter", 1.0), ("second", 1.0)]),
    ("Q(2, 'meter') / U('second')", 2.0, MPS), ("Q(6, 'meter') / Q(2, 'meter')", 3.0, []),
    ("Q(6, 'meter') / Q(2, 'second')", 3.0, MPS), ("Q(6, 'meter') / 4", 1.5, M),
    ("3 / Q(2, 'meter/second')", 1.5, [("meter", -1.0), ("second", 1.0)]),
    # floor division floors, remainder is C's fmod
    ("Q(-7, 'meter') // Q(2, 'meter')", -4.0, []), ("Q(7, 'meter') // Q(2, 'second')", 3.0, MPS),
    ("Q(7, 'meter') // 2", 3.0, M), ("-7 // Q(2, 'second')", -4.0, S_1),
    ("Q(-7, 'meter') % Q(3, 'meter')", -1.0, M), ("Q(7, 'meter') % Q(-3, 'meter')", 1.0, M),
    ("Q(7, 'meter') % 3", 1.0, M), ("-7 % Q(2, 'meter')", -1.0, M),
    ("Q(1, 'kilometer') % Q(300, 'meter')", math.fmod(1.0, 0.3), KM),
    # power scales the exponents
    ("Q(2, 'meter') ** 3", 8.0, [("meter", 3.0)]), ("Q(4, 'meter') ** 0", 1.0, []),
    ("Q(4, 'meter/second') ** -1", 0.25, [("meter", -1.0), ("second", 1.0)]),
    ("Q(-8, 'meter') ** (1 / 3)", math.nan, [("meter", 1 / 3)]),
    ("pow(Q(2, 'meter'), 2, 0)", 4.0, [("meter", 2.0)]),
    ("pow(Q(2, 'meter'), 2, 4294967295)", 4.0, [("meter", 2.0)]),
    ("pow(Q(2, 'meter'), 2, None)", 4.0, [("meter", 2.0)]),
    ("Q(3, 'meter') ** Q(200, 'percent')", 9.0, [("meter", 2.0)]),
    ("-Q(3, 'meter/second')", -3.0, MPS), ("abs(Q(-3, 'meter'))", 3.0, M),
    # signs of zero: x - q is -(q - x)
    ("-Q(0.0, 'meter')", -0.0, M), ("-Q(-0.0, 'meter')", 0.0, M), ("abs(Q(-0.0, 'meter'))", 0.0, M),
    ("3 - Q(3, '')", -0.0, []), ("Q(3, '') - 3", 0.0, []), ("-Q(nan, 'meter')", math.nan, M),
]


@pytest.mark.parametrize("expr, magnitude, units", RESULTS, ids=[r[0] for r in RESULTS])
def test_results(ureg, Q_, expr, magnitude, units):
    q = evaluate(expr, Q_, ureg)
    assert isinstance(q, Quantity)
    assert q.magnitude == magnitude or (math.isnan(magnitude) and math.isnan(q.magnitude))
    assert math.copysign(1, q.magnitude) == math.copysign(1, magnitude) or math.isnan(magnitude)
    assert q._units_dict() == units


TIME_TO_LENGTH = "Cannot convert from 'second' ([time]) to 'meter' ([length])"
ADD = "Cannot add dimensionless to quantity with dimensions"
SUB = "Cannot subtract dimensionless from quantity with dimensions"
NOT_Q = "Cannot compare Quantity with non-Quantity"
UNSUPPORTED = "Unsupported operand type for "
ERRORS = [
    ("Q(1, 'meter') + Q(1, 'second')", DimensionalityError, TIME_TO_LENGTH),
    ("Q(1, 'meter') % Q(1, 'second')", DimensionalityError, TIME_TO_LENGTH),
    ("Q(1, 'meter') >= Q(1, 'second')", DimensionalityError, TIME_TO_LENGTH),
    ("Q(2, 'meter') + 1", DimensionalityError, ADD), ("1 + Q(2, 'meter')", DimensionalityError, ADD),
    ("Q(2, 'meter') + 0.0001", DimensionalityError, ADD),
    ("Q(2, 'meter') + nan", DimensionalityError, ADD),
    ("Q(2, 'meter') - 1", DimensionalityError, SUB), ("10 - Q(3, 'meter')", DimensionalityError, SUB),
    ("Q(1, 'meter') + U('meter')", TypeError, UNSUPPORTED + "+"),
    ("'a' - Q(1, 'meter')", TypeError, UNSUPPORTED + "-"),
    ("[1] * Q(1, 'meter')", TypeError, UNSUPPORTED + "*"),
    ("'a' / Q(1, 'meter')", TypeError, UNSUPPORTED + "/"),
    ("'a' // Q(1, 'meter')", TypeError, UNSUPPORTED + "//"),
    ("Q(1, 'meter') % U('meter')", TypeError, UNSUPPORTED + "%"),
    # only * and / pass the int conversion's own error on
    ("10**400 * Q(1, 'meter')", OverflowError, None), ("Q(1, 'meter') / 10**400", OverflowError, None),
    ("Q(1, '') - 10**400", TypeError, UNSUPPORTED + "-"),
    ("Q(1, 'meter') // 10**400", TypeError, UNSUPPORTED + "//"),
    ("10**400 / Q(1, 'meter')", TypeError, UNSUPPORTED + "/"),
    # zero divisors; reflected forms test self before looking at the other operand
    ("Q(1, 'meter') / -0.0", ZeroDivisionError, "Division by zero"),
    ("Q(1, 'meter') // Q(-0.0, 'second')", ZeroDivisionError, "Division by zero"),
    ("Q(1, 'meter') / Q(0, 'second')", ZeroDivisionError, "Division by zero"),
    ("Q(1, 'meter') % 0", ZeroDivisionError, "Modulo by zero"),
    ("Q(1, 'meter') % Q(0, 'second')", ZeroDivisionError, "Modulo by zero"),
    ("'a' / Q(0, 'meter')", ZeroDivisionError, "Division by zero"),
    ("None % Q(0, 'meter')", ZeroDivisionError, "Modulo by zero"),
    # power refuses through NotImplemented, so Python words the TypeError
    ("2 ** Q(2, '')", TypeError, None), ("Q(2, 'meter') ** Q(2, 'meter')", TypeError, None),
    ("pow(Q(2, 'meter'), 2, -1)", TypeError, None), ("pow(Q(2, 'meter'), 2, 2.0)", TypeError, None),
    ("pow(Q(2, 'meter'), 2, 4294967296)", TypeError, None),
    ("Q(2, 'meter') < 3", TypeError, NOT_Q), ("None >= Q(2, '')", TypeError, NOT_Q),
]


@pytest.mark.parametrize("expr, exc, message", ERRORS, ids=[e[0] for e in ERRORS])
def test_errors(ureg, Q_, expr, exc, message):
    with pytest.raises(exc) as info:
        evaluate(expr, Q_, ureg)
    if message is not None:
        assert info.value.args == (message,)


COMPARISONS = [
    ("Q(1, 'kilometer') == Q(1000, 'meter')", True), ("Q(1, 'meter') != Q(1, 'second')", True),
    ("Q(50, 'percent') == 0.5", True), ("Q(50, 'percent') == 50", False),
    ("0.5 == Q(50, 'percent')", True), ("Q(3, '') != 3", False), ("Q(0, 'meter') == 0", False),
    ("Q(2, 'meter') == '2 meter'", False), ("Q(2, 'meter') == 10**400", False),
    ("Q(1, 'kilometer') > Q(999, 'meter')", True), ("Q(1, 'kilometer') < Q(999, 'meter')", False),
    ("Q(1, 'kilometer') >= Q(1000, 'meter')", True), ("Q(1, 'kilometer') <= Q(1000, 'meter')", True),
    ("Q(2, 'meter') < Q(2, 'meter')", False), ("Q(2, 'meter') > Q(2, 'meter')", False),
    ("Q(20, 'degree_Celsius') < Q(25, 'kelvin')", True),  # factor only: 20 < 25
    # tolerance: strict, scaled by the left operand, floor 1
    ("Q(1.5, 'meter') == Q(up(1.5, inf), 'meter')", True),
    ("Q(1.0, 'meter') == Q(up(1.0, inf), 'meter')", False),
    ("Q(up(1.0, inf), 'meter') == Q(1.0, 'meter')", True),
    ("Q(0, 'meter') == Q(up(EPS, 0), 'meter')", True),
    ("Q(up(1.0, inf), '') == 1.0", False), ("Q(1.0, '') == up(1.0, inf)", True),
    # NaN and infinities
    ("Q(nan, 'meter') != Q(nan, 'meter')", True), ("Q(inf, '') == inf", False),
    ("Q(inf, 'meter') >= Q(inf, 'meter')", True), ("Q(1, 'kilometer') > Q(nan, 'meter')", False),
]


@pytest.mark.parametrize("expr, expected", COMPARISONS, ids=[r[0] for r in COMPARISONS])
def test_comparisons(ureg, Q_, expr, expected):
    assert evaluate(expr, Q_, ureg) is expected


def test_operands_are_left_unchanged(Q_):
    a, b = Q_(1, "kilometer"), Q_(500, "meter")
    for result in (a + b, a - b, a * b, a / b, a // b, a % b, a**2, -a, abs(a), 0 - a, 2 / a):
        assert result is not a and result is not b
    assert (a.magnitude, a._units_dict(), b.magnitude, b._units_dict()) == (
        1.0, [("kilometer", 1.0)], 500.0, [("meter", 1.0)])
    q = a
    q += b
    assert a.magnitude == 1.0 and q.magnitude == 1.5


def zork(magnitude, exponent=1.0, *more):
    return Quantity.from_tuple((magnitude, [("zork", exponent), *more]))


def test_unknown_names_are_looked_up_only_when_needed():
    # Exponents within EPSILON and maps in another order need no registry.
    a, b = zork(1.0, 0.3), zork(2.0, 0.1 + 0.2)
    assert (a + b).magnitude == 3.0 and (a + b)._units_dict() == [("zork", 0.3)]
    assert (b - a)._units_dict() == [("zork", 0.1 + 0.2)] and (b % a).magnitude == 0.0
    assert zork(1.0, 0.3) == zork(1.0, 0.1 + 0.2) and a <= b and not b < a
    c, d = zork(1.0, 1.0, ("blip", -1.0)), Quantity.from_tuple((2.0, [("blip", -1.0), ("zork", 1.0)]))
    assert (c + d)._units_dict() == [("zork", 1.0), ("blip", -1.0)]
    meter = Quantity(1.0, "meter")
    assert (zork(1.0) == meter) is False and (zork(1.0) != "text") is True
    assert (zork(1.0) + 0).magnitude == 1.0
    for fails in (lambda: zork(1.0) + meter, lambda: zork(1.0) + 1, lambda: zork(1.0) < meter,
                  lambda: zork(1.0) == 1):
        with pytest.raises(UndefinedUnitError, match="'zork' is not defined in the unit registry"):
            fails()


@pytest.mark.parametrize("op", ["+", "-", "*", "/", "//", "%", "<", "=="])
def test_mixed_registries_work_in_selfs_registry(op):
    with_smoot = UnitRegistry()
    with_smoot.define("smoot = 1.7018 * meter")
    smoot, meter = with_smoot._scalar_quantity(1, "smoot"), UnitRegistry()._scalar_quantity(1.7018, "meter")
    result = eval(f"smoot {op} meter")
    if op == "+":
        assert result.magnitude == pytest.approx(2.0) and result._units_dict() == [("smoot", 1.0)]
    if op == "==":
        assert result is True and (meter == smoot) is False
    else:
        assert op == "<" or "smoot" in result._registry
        with pytest.raises(UndefinedUnitError):
            eval(f"meter {op} smoot") if op in "+-%<" else eval(f"meter {op} smoot").to("m")
    for reflected in (3 + with_smoot._scalar_quantity(2, ""), 3 % with_smoot._scalar_quantity(2, "")):
        assert "smoot" in reflected._registry


class Floaty:
    def __float__(self):
        return 2.5


class Indexy:
    def __index__(self):
        return 4


@pytest.mark.parametrize(
    "expr, expected",
    [
        ("Q(2, 'meter') * F", 5.0), ("F * Q(2, 'meter')", 5.0), ("Q(5, 'meter') / F", 2.0), ("F / Q(2, 'meter')", 1.25),
        ("Q(5, 'meter') // F", 2.0), ("Q(5, 'meter') % F", 0.0), ("Q(2, 'meter') ** F", 2.0**2.5),
        ("Q(2, 'meter') * I", 8.0), ("pow(Q(2, 'meter'), 2, I)", 4.0), ("Q(250, 'percent') == F", True),
        ("Q(2, '') < F", TypeError("Cannot compare Quantity with non-Quantity")),
    ],
)
def test_number_protocol_operands(Q_, expr, expected):
    names = {"Q": Q_, "F": Floaty(), "I": Indexy()}
    if isinstance(expected, Exception):
        with pytest.raises(type(expected), match=re.escape(str(expected))):
            eval(expr, names)
    else:
        result = eval(expr, names)
        assert result is expected if isinstance(expected, bool) else result.magnitude == expected


def test_operand_conversion_cannot_change_self_in_place(Q_):
    q = Q_(1, "kilometer")

    class Mutating:
        def __float__(self):
            q.ito("meter")
            return 0.0

    with pytest.raises(TypeError, match=re.escape("Unsupported operand type for +")):
        q + Mutating()
    assert q.magnitude == 1.0 and q._units_dict() == [("kilometer", 1.0)]


@pytest.mark.parametrize("word, symbol", [("eq", "=="), ("ne", "!="), ("lt", "<"), ("le", "<="), ("gt", ">"), ("ge", ">=")])
def test_compare_matches_the_operators(Q_, word, symbol):
    q = Q_(1, "kilometer")
    for other in (Q_(1000, "meter"), Q_(999, "meter"), Q_(1001, "meter")):
        assert q.compare(other, word) is q.compare(other=other, op=symbol) is eval(f"q {symbol} other")
    with pytest.raises(ValueError, match=re.escape(f"Unknown operator: {symbol}\x00")):
        q.compare(q, f"{symbol}\x00")


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
    expected = answer if exc is ValueError else exc
    if isinstance(expected, bool):
        assert op(q, Raises(exc)) is expected
    else:
        with pytest.raises(expected):
            op(q, Raises(exc))
