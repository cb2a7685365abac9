"""The module's contents, its exception classes and the argument conventions."""

import importlib
import inspect
import pytest

import qudimrs
from qudimrs import _core


def test_attributes_in_order():
    names = [n for n in vars(_core) if not n.startswith("__")]
    assert names == [
        "UnitRegistry", "Quantity", "Unit", "QudimError", "DimensionalityError",
        "UndefinedUnitError", "OffsetUnitCalculusError", "DefinitionSyntaxError",
        "RedefinitionError",
    ]


@pytest.mark.parametrize(
    "name, doc",
    [
        ("DimensionalityError", "Raised when converting between incompatible dimensions."),
        ("UndefinedUnitError", "Raised when a unit is not found in the registry."),
        ("OffsetUnitCalculusError", "Raised on ambiguous operations with offset units."),
        ("DefinitionSyntaxError", "Raised on malformed unit definitions."),
        ("RedefinitionError", "Raised when redefining an existing unit."),
    ],
)
def test_exception_classes(name, doc):
    cls = getattr(_core, name)
    assert cls.__name__ == name
    assert cls.__module__ == "_core"
    assert cls.__doc__ == doc
    assert cls.__bases__ == (_core.QudimError,)
    assert issubclass(cls, ValueError)
    assert getattr(qudimrs, name) is cls


def test_base_class():
    base = _core.QudimError
    assert base.__name__ == "QudimError_Py"
    assert base.__module__ == "_core"
    assert base.__doc__ == "Base qudim error."
    assert base.__bases__ == (ValueError,)


def test_core_error_carries_only_its_message(ureg):
    with pytest.raises(_core.DimensionalityError) as info:
        ureg.convert(1.0, "meter", "second")
    assert info.value.args == ("Cannot convert from 'meter' ([length]) to 'second' ([time])",)
    with pytest.raises(_core.UndefinedUnitError) as info:
        ureg.convert(1.0, "furlongz", "m")
    assert str(info.value) == "'furlongz' is not defined in the unit registry"


def test_reimport_gives_the_same_module():
    import sys

    saved = sys.modules.pop("qudimrs._core")
    try:
        assert importlib.import_module("qudimrs._core") is _core
    finally:
        sys.modules["qudimrs._core"] = saved


@pytest.mark.parametrize("cls", [_core.UnitRegistry, _core.Quantity, _core.Unit])
def test_types_cannot_be_subclassed_and_have_no_dict(cls):
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    assert cls.__module__ == "qudimrs._core"
    assert not hasattr(cls, "__dict__") or "__weakref__" not in cls.__dict__


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda r: r.convert(1), "UnitRegistry.convert() missing 2 required positional arguments: 'src' and 'dst'"),
        (lambda r: r.convert(), "UnitRegistry.convert() missing 3 required positional arguments: 'value', 'src', and 'dst'"),
        (lambda r: r.define(), "UnitRegistry.define() missing 1 required positional argument: 'definition'"),
        (lambda r: r.convert(1, "m", "km", 4), "UnitRegistry.convert() takes 3 positional arguments but 4 were given"),
        (lambda r: r._f64_quantity(1, "m", 3), "UnitRegistry._f64_quantity() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda r: r._get_prefixes(1), "UnitRegistry._get_prefixes() takes 0 positional arguments but 1 was given"),
        (lambda r: r.convert(1, "m", dst="km", value=3), "UnitRegistry.convert() got multiple values for argument 'value'"),
        (lambda r: r.convert(1, "m", "km", foo=3), "UnitRegistry.convert() got an unexpected keyword argument 'foo'"),
        (lambda r: r.convert("x", "m", "km"), "argument 'value': must be real number, not str"),
        (lambda r: r.convert(1, 5, "km"), "argument 'src': 'int' object cannot be converted to 'str'"),
        (lambda r: r._f64_quantity(1, units=b"m"), "argument 'units': 'bytes' object cannot be converted to 'str'"),
        (lambda r: _core.UnitRegistry(1), "UnitRegistry.__new__() takes 0 positional arguments but 1 was given"),
        (lambda r: _core.Quantity(), "Quantity.__new__() missing 1 required positional argument: 'value'"),
        (lambda r: _core.Quantity(1, "m", 3), "Quantity.__new__() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda r: _core.Quantity(3, 5), "argument 'units': 'int' object cannot be converted to 'str'"),
    ],
)
def test_argument_convention_messages(ureg, call, message):
    with pytest.raises(TypeError) as info:
        call(ureg)
    assert str(info.value) == message


def test_keyword_arguments_are_accepted(ureg):
    assert ureg.convert(value=1, src="km", dst="m") == pytest.approx(1000.0)
    assert ureg.convert(1, dst="m", src="km") == pytest.approx(1000.0)


def test_text_signatures():
    ureg = _core.UnitRegistry()
    assert str(inspect.signature(ureg.convert)) == "(value, src, dst)"
    assert str(inspect.signature(ureg._f64_quantity)) == "(value, units=None)"
    assert str(inspect.signature(_core.Quantity)) == "(value, units=None)"
    assert str(inspect.signature(_core.UnitRegistry)) == "(**kwargs)"
    assert str(inspect.signature(_core.Unit)) == "(units)"


def test_overflowing_int_argument_keeps_its_own_error(ureg):
    with pytest.raises(OverflowError):
        ureg.convert(10**400, "m", "km")
