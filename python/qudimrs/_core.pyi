"""Type stubs for the native engine of qudimrs."""

import datetime
from collections.abc import Iterator, Sequence
from typing import Any, Never, SupportsFloat, SupportsIndex, TypeAlias, final, overload

# Anything the engine turns into a double: floats, ints, bools, numpy
# scalars, and dimensionless quantities.
_Number: TypeAlias = SupportsFloat | SupportsIndex
# UnitRegistry has a method named Unit; inside its body the class is reached
# through this alias.
_UnitT: TypeAlias = Unit

@final
class UnitRegistry:
    def __new__(cls, **kwargs: Any) -> UnitRegistry:
        """A registry of the built-in units; keyword arguments are kept, not used."""
    @property
    def _init_kwargs(self) -> dict[str, Any] | None: ...
    @property
    def default_format(self) -> str:
        """Stub for default_format property."""
    @property
    def auto_reduce_dimensions(self) -> bool:
        """Stub for auto_reduce_dimensions property."""
    def _f64_quantity(self, value: _Number, units: str | None = None) -> Quantity: ...
    def _scalar_quantity(self, value: Quantity | str | _Number, units: str | None = None) -> Quantity: ...
    def Unit(self, units: str) -> _UnitT:
        """The unit expression `units` ("km/h") as a Unit of this registry."""
    def parse_expression(self, expr: str) -> Quantity:
        """A quantity string ("3.5 m/s") as a Quantity of this registry."""
    def parse_units(self, units: str) -> _UnitT:
        """The unit expression `units` ("km/h") as a Unit of this registry."""
    def convert(self, value: _Number, src: str, dst: str) -> float:
        """`value` in unit `src` expressed in unit `dst` (offsets such as °C included)."""
    def define(self, definition: str) -> None:
        """Define a new unit at runtime: ureg.define("smoot = 1.7018 * meter")"""
    def load_definitions(self, text: str) -> None:
        """Load additional definitions from a string."""
    def get_compatible_units(self, unit: str) -> list[str]:
        """Get compatible units for a given unit"""
    def _get_conversion_factor(self, src: str, dst: str) -> float: ...
    def _get_root_units(self, unit: str) -> tuple[float, str]: ...
    def _get_dimensionality(self, unit: str) -> str: ...
    def _format_units(self, unit: str) -> str: ...
    def _get_prefixes(self) -> list[tuple[str, float]]: ...
    def get_base_units(self, unit: str) -> tuple[float, _UnitT]:
        """Get the base units for a unit expression. Returns (factor, Unit)."""
    def get_root_units(self, unit: str) -> tuple[float, _UnitT]:
        """Get root units (alias for get_base_units)."""
    def get_dimensionality(self, unit: str) -> str:
        """Get the dimensionality of a unit expression."""
    def get_name(self, unit: str) -> str:
        """Get the canonical name for a unit."""
    def get_symbol(self, unit: str) -> str:
        """Get the symbol for a unit."""
    def is_compatible_with(self, unit1: str, unit2: str) -> bool:
        """Check if two unit expressions are dimensionally compatible."""
    def parse_unit_name(self, name: str) -> list[tuple[str, str, str]]:
        """Parse a unit name into (prefix, unit_name, suffix) tuples."""
    def __contains__(self, item: str, /) -> bool:
        """Whether `item` is a unit spelling of this registry (prefixes included)."""
    def __iter__(self) -> Iterator[str]:
        """The canonical unit names, sorted."""
    def __getattr__(self, name: str) -> Quantity:
        """One of the named unit: `ureg.km` is 1 km."""

@final
class Quantity:
    def __new__(cls, value: Quantity | str | _Number, units: str | None = None) -> Quantity:
        """A magnitude with units: Quantity(3, "m"), Quantity("3 m"), Quantity(q, "km")."""
    @property
    def magnitude(self) -> float:
        """The number without its units."""
    @property
    def m(self) -> float:
        """The number without its units."""
    @property
    def units(self) -> Unit:
        """The units without the number."""
    @property
    def u(self) -> Unit:
        """The units without the number."""
    @property
    def _registry(self) -> UnitRegistry: ...
    @property
    def dimensionality(self) -> str:
        """The dimensions as text, e.g. "[length] / [time]"."""
    @property
    def dimensionless(self) -> bool:
        """Whether the units carry no dimensions."""
    @property
    def unitless(self) -> bool:
        """Whether the units carry no dimensions."""
    def __bool__(self) -> bool:
        """Whether the magnitude is non-zero."""
    # conversion
    def to(self, units: str) -> Quantity:
        """This quantity converted to `units`."""
    def ito(self, units: str) -> None:
        """Converts this quantity to `units` in place."""
    def m_as(self, units: str) -> float:
        """The magnitude this quantity has in `units`."""
    def to_base_units(self) -> Quantity:
        """This quantity in base units (SI for the built-in units)."""
    def ito_base_units(self) -> None:
        """Converts this quantity to base units in place."""
    def to_root_units(self) -> Quantity:
        """This quantity in base units (same as to_base_units)."""
    def ito_root_units(self) -> None:
        """Converts this quantity to base units in place."""
    def to_reduced_units(self) -> Quantity:
        """Reduce compound units to their simplest form."""
    def ito_reduced_units(self) -> None:
        """Reduces this quantity's units in place."""
    def to_unprefixed(self) -> Quantity:
        """Convert prefixed units to their unprefixed base form."""
    def ito_unprefixed(self) -> None:
        """Removes the prefixes of this quantity's units in place."""
    def to_compact(self, unit: str | None = None) -> Quantity:
        """Convert to the most "compact" form with the most appropriate SI prefix."""
    def to_preferred(self, preferred_units: Sequence[str] | None = None) -> Quantity:
        """Convert to preferred units (list of unit strings)."""
    def ito_preferred(self, preferred_units: Sequence[str] | None = None) -> None:
        """Converts this quantity to the first fitting preferred unit in place."""
    # text and serialization
    def __format__(self, spec: str) -> str:
        """The same text as str()."""
    def _units_str(self) -> str: ...
    def _units_dict(self) -> list[tuple[str, float]]: ...
    def unit_items(self) -> list[tuple[str, float]]:
        """Return unit_name -> exponent items."""
    def to_tuple(self) -> tuple[float, list[tuple[str, float]]]:
        """Return (magnitude, units_tuple) for serialization."""
    @staticmethod
    def from_tuple(tup: tuple[_Number, Sequence[tuple[str, _Number]]]) -> Quantity:
        """The quantity of a to_tuple() result."""
    def __reduce__(self) -> tuple[type[Quantity], tuple[float, str]]:
        """Pickles as its magnitude and unit text."""
    def __copy__(self) -> Quantity:
        """A copy sharing this quantity's registry."""
    def __deepcopy__(self, _memo: Any) -> Quantity:
        """A copy sharing this quantity's registry."""
    def __hash__(self) -> int:
        """Hash of the magnitude and units."""
    def __round__(self, ndigits: int | None = None) -> Quantity:
        """This quantity with its magnitude rounded."""
    def __float__(self) -> float:
        """The value as a plain number; only for dimensionless quantities."""
    def __int__(self) -> int:
        """The value as a whole number; only for dimensionless quantities."""
    # queries
    def check(self, dimension: str) -> bool:
        """Whether this quantity has the dimensions `dimension` ("[length]")."""
    def compatible_units(self) -> list[str]:
        """The unit names this quantity could be converted to."""
    def is_compatible_with(self, other: object) -> bool:
        """Whether this quantity converts to `other` (a Quantity, Unit or unit text)."""
    def to_timedelta(self) -> datetime.timedelta:
        """Convert to datetime.timedelta (for time quantities only)."""
    def plus_minus(self, error: _Number, relative: bool = False) -> Any:
        """Create a Measurement from this Quantity with given error."""
    # arithmetic: +, - and % bring the other operand into this quantity's
    # units; *, / and // combine the units.
    def __add__(self, other: Quantity | _Number, /) -> Quantity:
        """Sum in this quantity's units."""
    def __radd__(self, other: Quantity | _Number, /) -> Quantity:
        """Sum in this quantity's units."""
    def __sub__(self, other: Quantity | _Number, /) -> Quantity:
        """Difference in this quantity's units."""
    def __rsub__(self, other: Quantity | _Number, /) -> Quantity:
        """Difference in this quantity's units."""
    def __mul__(self, other: Quantity | Unit | _Number, /) -> Quantity:
        """Product; units are combined, never converted."""
    def __rmul__(self, other: _Number, /) -> Quantity:
        """Product; units are combined, never converted."""
    def __truediv__(self, other: Quantity | Unit | _Number, /) -> Quantity:
        """Quotient; units are combined, never converted."""
    def __rtruediv__(self, other: _Number, /) -> Quantity:
        """A number divided by this quantity: inverted units."""
    def __floordiv__(self, other: Quantity | _Number, /) -> Quantity:
        """Floored quotient; units are combined."""
    def __rfloordiv__(self, other: _Number, /) -> Quantity:
        """A number floor-divided by this quantity: inverted units."""
    def __mod__(self, other: Quantity | _Number, /) -> Quantity:
        """Remainder (sign of this quantity) in this quantity's units."""
    def __rmod__(self, other: _Number, /) -> Quantity:
        """A number modulo this quantity, in this quantity's units."""
    def __pow__(self, exp: _Number, mod: int | None = None, /) -> Quantity:
        """This quantity to a power; units too."""
    def __rpow__(self, other: Never, mod: None = None, /) -> Never:
        """Refused: nothing can be raised to a quantity."""
    def __neg__(self) -> Quantity:
        """The negated quantity."""
    def __abs__(self) -> Quantity:
        """The quantity with a non-negative magnitude."""
    # comparison: equality is tolerant and never raises; ordering needs
    # another quantity of compatible units.
    def __eq__(self, other: object, /) -> bool:
        """Equal in value, in any compatible units."""
    def __ne__(self, other: object, /) -> bool:
        """Not equal in value."""
    def __lt__(self, other: Quantity, /) -> bool:
        """Less than another quantity of compatible units."""
    def __le__(self, other: Quantity, /) -> bool:
        """At most another quantity of compatible units."""
    def __gt__(self, other: Quantity, /) -> bool:
        """Greater than another quantity of compatible units."""
    def __ge__(self, other: Quantity, /) -> bool:
        """At least another quantity of compatible units."""
    def compare(self, other: object, op: str) -> bool:
        """Compare two quantities with a given operator string."""

@final
class Unit:
    def __new__(cls, units: str) -> Unit:
        """A unit expression ("km/h") in a private registry of the built-in units."""
    @property
    def dimensionality(self) -> str:
        """The dimensions as text, e.g. "[length] / [time]"."""
    @property
    def dimensionless(self) -> bool:
        """Whether this unit carries no dimensions."""
    @property
    def systems(self) -> list[str]:
        """Return set of system names this unit belongs to (stub: returns empty set)."""
    def is_compatible_with(self, other: object) -> bool:
        """Whether this unit converts to `other` (a Unit or unit text)."""
    def compatible_units(self) -> list[str]:
        """The unit names this unit could be converted to."""
    def _units_str(self) -> str: ...
    def _units_dict(self) -> list[tuple[str, float]]: ...
    def __reduce__(self) -> tuple[type[Unit], tuple[str]]:
        """Pickles as its unit text."""
    def from_(self, value: Quantity) -> Quantity:
        """Convert a Quantity to this Unit."""
    def m_from(self, value: Quantity) -> float:
        """Get magnitude of a Quantity in this Unit."""
    def compare(self, other: object, op: str) -> bool:
        """Compare to another Unit"""
    def __copy__(self) -> Unit:
        """A copy sharing this unit's registry."""
    def __deepcopy__(self, _memo: Any) -> Unit:
        """A copy sharing this unit's registry."""
    def __hash__(self) -> int:
        """Hash of the units, whatever their order."""
    def __eq__(self, other: object, /) -> bool:
        """The same units (in any order)."""
    def __ne__(self, other: object, /) -> bool:
        """Not the same units."""
    @overload
    def __mul__(self, other: Unit, /) -> Unit:
        """A unit times a unit is a unit; times a number, a quantity."""
    @overload
    def __mul__(self, other: _Number, /) -> Quantity: ...
    @overload
    def __rmul__(self, other: Unit, /) -> Unit:
        """A number times a unit is a quantity."""
    @overload
    def __rmul__(self, other: _Number, /) -> Quantity: ...
    def __truediv__(self, other: Unit, /) -> Unit:
        """The quotient of two units (a unit divided by a number is refused)."""
    def __rtruediv__(self, other: Unit, /) -> Unit:
        """The quotient of two units (a number divided by a unit is refused)."""
    def __pow__(self, exp: _Number, mod: int | None = None, /) -> Unit:
        """This unit to a power."""
    def __rpow__(self, other: Never, mod: None = None, /) -> Never:
        """Refused: nothing can be raised to a unit."""

class QudimError(ValueError):
    """Base of the errors of qudimrs."""

class DimensionalityError(QudimError):
    """Units of different dimensions where they must agree."""

class UndefinedUnitError(QudimError):
    """A unit name the registry does not know; close spellings come as a note."""

class OffsetUnitCalculusError(QudimError):
    """An operation that is ambiguous for an offset unit such as °C."""

class DefinitionSyntaxError(QudimError):
    """A malformed definition."""

class RedefinitionError(QudimError):
    """A definition that may not replace an existing one."""
