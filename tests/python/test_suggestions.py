"""An unknown unit's error carries close spellings as a note, never in its message."""

import pytest

from qudimrs import Quantity, UndefinedUnitError, UnitRegistry

ureg = UnitRegistry()


@pytest.mark.parametrize(
    "call, name, note",
    [
        (lambda: Quantity(1, "Meter"), "Meter", "Did you mean 'meter'?"),
        (lambda: ureg.parse_units("kmh"), "kmh", "Did you mean 'kph' or 'km/h'?"),
        (lambda: ureg.convert(1, "mins", "s"), "mins", "Did you mean 'min'?"),
        (lambda: ureg.parse_expression("20 \u2103"), "\u2103", "Did you mean '\u00b0C'?"),
        (lambda: ureg.get_name("qwertyuiop"), "qwertyuiop", None),
    ],
)
def test_undefined_unit_notes(call, name, note):
    with pytest.raises(UndefinedUnitError) as info:
        call()
    message = f"'{name}' is not defined in the unit registry"
    assert info.value.args == (message,)
    assert str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (None if note is None else [note])

