"""The module, its exception classes, argument messages, the UnitRegistry class and
the notes of unknown-unit errors."""

import gc
import importlib
import sys

import pytest

import qudimrs
from qudimrs import DimensionalityError, Quantity, UndefinedUnitError, Unit, UnitRegistry, _core


def test_module_attributes_and_exception_classes():
    base = _core.QudimError
    assert (base.__name__, base.__module__, base.__bases__) == ("QudimError_Py", "_core", (ValueError,))
    for name in ("DimensionalityError", "UndefinedUnitError", "OffsetUnitCalculusError", "DefinitionSyntaxError",
                 "RedefinitionError"):
        cls = getattr(_core, name)
        assert (cls.__name__, cls.__module__, cls.__bases__) == (name, "_core", (base,)) and getattr(qudimrs, name) is cls
    for cls in (_core.UnitRegistry, _core.Quantity, _core.Unit):
        with pytest.raises(TypeError):
            type("Sub", (cls,), {})
    saved = sys.modules.pop("qudimrs._core")
    try:
        assert importlib.import_module("qudimrs._core") is _core
    finally:
        sys.modules["qudimrs._core"] = saved


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda r: r.convert(), TypeError,
         "UnitRegistry.convert() missing 3 required positional arguments: 'value', 'src', and 'dst'"),
        (lambda r: r.convert(1), TypeError,
         "UnitRegistry.convert() missing 2 required positional arguments: 'src' and 'dst'"),
        (lambda r: Unit(), TypeError, "Unit.__new__() missing 1 required positional argument: 'units'"),
        (lambda r: r.convert(1, "m", "km", 4), TypeError,
         "UnitRegistry.convert() takes 3 positional arguments but 4 were given"),
        (lambda r: r._get_prefixes(1), TypeError,
         "UnitRegistry._get_prefixes() takes 0 positional arguments but 1 was given"),
        (lambda r: Quantity(1, "m", 3), TypeError,
         "Quantity.__new__() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda r: r.convert(1, "m", dst="km", value=3), TypeError,
         "UnitRegistry.convert() got multiple values for argument 'value'"),
        (lambda r: r.convert("x", "m", "km"), TypeError, "argument 'value': must be real number, not str"),
        (lambda r: r._f64_quantity(1, units=b"m"), TypeError,
         "argument 'units': 'bytes' object cannot be converted to 'str'"),
        (lambda r: Unit("m").m_from(3), TypeError,
         "argument 'value': 'int' object cannot be converted to 'Quantity'"),
        (lambda r: Quantity(1, "m").__round__(1.5), TypeError,
         "argument 'ndigits': 'float' object cannot be interpreted as an integer"),
        (lambda r: r.__contains__(5), TypeError, "argument 'item': 'int' object cannot be converted to 'str'"),
        (lambda r: r.convert(10**400, "m", "km"), OverflowError, None),
    ],
)
def test_argument_messages(ureg, call, exc, message):
    with pytest.raises(exc) as info:
        call(ureg)
    assert message is None or str(info.value) == message
    assert ureg.convert(value=1, dst="m", src="km") == 1000.0


@pytest.mark.parametrize(
    "call, magnitude, units",
    [
        (lambda r: r.parse_expression("3.5 m/s"), 3.5, [("meter", 1.0), ("second", -1.0)]),
        (lambda r: r.parse_expression("2"), 2.0, []),
        (lambda r: r._f64_quantity(2), 2.0, []),
        (lambda r: r._scalar_quantity("3 m"), 3.0, [("meter", 1.0)]),
        (lambda r: r._scalar_quantity(r._f64_quantity(1.5, "km"), "m"), 1500.0, [("meter", 1.0)]),
        (lambda r: r.km, 1.0, [("km", 1.0)]),
        (lambda r: r.parse_expression(""), ValueError, "Cannot parse empty expression"),
        (lambda r: r._scalar_quantity("  "), ValueError, "Cannot parse empty expression"),
        (lambda r: r.parse_expression("- m"), ValueError, "Cannot parse magnitude: '-'"),
        (lambda r: r._scalar_quantity("3 m", "s"), ValueError, "Cannot specify units when value is a string"),
        (lambda r: r._f64_quantity("2"), TypeError, "argument 'value': must be real number, not str"),
        (lambda r: r.parse_expression("nan"), UndefinedUnitError, "'nan' is not defined in the unit registry"),
        (lambda r: r._private, AttributeError, "'UnitRegistry' object has no attribute '_private'"),
        (lambda r: r.nope, AttributeError, "'nope' is not defined in the unit registry"),
        (lambda r: r._scalar_quantity(r._f64_quantity(1.0, "s"), "m"), DimensionalityError, None),
    ],
)
def test_quantity_makers(ureg, call, magnitude, units):
    if isinstance(magnitude, type):
        with pytest.raises(magnitude) as info:
            call(ureg)
        assert units is None or str(info.value) == units
        assert type(info.value) is magnitude or magnitude is not AttributeError
        return
    q = call(ureg)
    assert type(q) is Quantity and q.magnitude == pytest.approx(magnitude) and q._units_dict() == units
    ureg.define("smoot = 1.7018 * meter")
    assert q.is_compatible_with("smoot") is (units == [("km", 1.0)] or units == [("meter", 1.0)])


def test_quantity_makers_rebind_a_quantity_of_another_registry(ureg):
    other = UnitRegistry()
    other.define("smoot = 1.7018 * meter")
    moved = ureg._scalar_quantity(other._f64_quantity(1.0, "smoot"))
    assert moved._units_dict() == [("smoot", 1.0)]
    with pytest.raises(UndefinedUnitError):
        moved.to("m")  # bound to ureg now, which does not know smoot


def test_define_and_load_definitions(ureg):
    other = UnitRegistry()
    ureg.define("smoot = 1.7018 * meter")
    assert ureg.convert(1, "smoot", "m") == pytest.approx(1.7018) and "smoot" not in other
    with pytest.raises(UndefinedUnitError, match="(?m)^'nope' is not defined in the unit registry$"):
        ureg.define("bad = nope * meter")
    assert "bad" not in ureg
    assert ureg.load_definitions("bad2 = nope * meter\ngood = 3 * meter") is None
    assert "bad2" not in ureg and ureg.convert(1, "good", "m") == pytest.approx(3.0)


@pytest.mark.parametrize(
    "method, arg, expected",
    [
        ("_get_root_units", "km/h", (pytest.approx(1 / 3.6), "m / s")), ("_get_conversion_factor", ("km", "m"), 1000.0),
        ("is_compatible_with", ("m/s", "km/h"), True), ("is_compatible_with", ("m", "s"), False),
        ("get_dimensionality", "m/s", "[length] / [time]"), ("_get_dimensionality", "N", "[length] * [mass] / [time] ** 2"),
        ("_format_units", "kg*m**2/K/s**2", "kg * m ** 2 / K / s ** 2"), ("get_name", "meters", "meter"),
        ("get_symbol", "km", "meter(prefixed)"), ("get_symbol", "metres", "m"), ("get_symbol", "bit", "bit"),
        ("parse_unit_name", "kilometer", [("kilo", "meter", "")]),
        ("get_name", "nope", UndefinedUnitError), ("is_compatible_with", ("m", "nope"), UndefinedUnitError),
        ("_get_conversion_factor", ("m", "s"), DimensionalityError),
    ],
)
def test_unit_queries(ureg, method, arg, expected):
    args = arg if isinstance(arg, tuple) else (arg,)
    if isinstance(expected, type):
        with pytest.raises(expected):
            getattr(ureg, method)(*args)
    else:
        assert getattr(ureg, method)(*args) == expected


def test_listings(ureg):
    for method in ("get_base_units", "get_root_units"):
        factor, unit = getattr(ureg, method)("km")
        assert factor == 1000.0 and type(unit) is Unit and unit._units_dict() == [("meter", 1.0)]
    names = ureg.get_compatible_units("m")
    assert {"meter", "mile", "inch"} <= set(names) and not {"km", "second"} & set(names)
    assert len(names) == len(set(names))
    assert {"radian", "bit", "count", "percent"} <= set(ureg.get_compatible_units("radian"))
    prefixes = dict(ureg._get_prefixes())
    assert len(prefixes) == 34 and "k" not in prefixes
    assert (prefixes["kilo"], prefixes["kibi"], prefixes["semi"]) == (1000.0, 1024.0, 0.5)
    names = list(ureg)
    assert names == sorted(names) and "meter" in names and "meters" not in names and "km" not in names
    it = iter(ureg)
    ureg.define("zzz_late = 2 * meter")
    assert "zzz_late" not in list(it) and "zzz_late" in list(ureg)
    for item, present in [("km", True), ("meters", True), ("m", True), ("nope", False), ("", False), ("kkm", False)]:
        assert (item in ureg) is present


@pytest.mark.parametrize(
    "call, name, note",
    [
        (lambda r: Quantity(1, "Meter"), "Meter", "Did you mean 'meter'?"),
        (lambda r: r.parse_units("kmh"), "kmh", "Did you mean 'kph' or 'km/h'?"),
        (lambda r: r.convert(1, "mins", "s"), "mins", "Did you mean 'min'?"),
        (lambda r: r.parse_expression("20 \u2103"), "\u2103", "Did you mean '\u00b0C'?"),
        (lambda r: r.get_name("qwertyuiop"), "qwertyuiop", None), (lambda r: r.parse_units("m\x00zz"), "m\x00zz", None),
        (lambda r: r.meterz, "meterz", "Did you mean 'meter'?"),
    ],
)
def test_an_unknown_units_close_spellings_come_as_a_note(ureg, call, name, note):
    with pytest.raises((UndefinedUnitError, AttributeError)) as info:  # an attribute's error stays one
        call(ureg)
    message = f"'{name}' is not defined in the unit registry"
    assert info.value.args == (message,) and str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (None if note is None else [note])


def test_init_kwargs_are_kept_and_a_cycle_through_them_is_collected():
    finalized = []

    class Witness:
        def __del__(self):
            finalized.append(True)

    assert UnitRegistry()._init_kwargs is None
    r = UnitRegistry(k=0)
    assert r._init_kwargs == {"k": 0} and r.default_format == "D" and r.auto_reduce_dimensions is False
    r._init_kwargs["self"] = r
    r._init_kwargs["witness"] = Witness()
    del r
    gc.collect()
    assert finalized == [True]


@pytest.mark.parametrize(
    "call, display, keyword",
    [
        (lambda kw: UnitRegistry().convert(1, "m", "km", **kw), "UnitRegistry.convert()", "a\x00b"),
        (lambda kw: UnitRegistry().get_name("m", **kw), "UnitRegistry.get_name()", "x\ud800y"),
        (lambda kw: Unit("m", **kw), "Unit.__new__()", "unit\x00"),
    ],
)
def test_unexpected_keyword_is_named_whole(call, display, keyword):
    with pytest.raises(TypeError) as info:
        call({keyword: 1})
    assert str(info.value) == f"{display} got an unexpected keyword argument '{keyword}'"


def test_dir_ends_with_the_unit_names_an_attribute_reaches(ureg):
    ureg.define("_hidden = 2 * meter")
    names = ureg.__dir__()
    units = sorted(n for n in ureg if not n.startswith("_"))
    assert names[-len(units) :] == units and "define" in names and "_hidden" not in names
