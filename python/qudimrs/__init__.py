"""qudimrs: physical units for Python scalars, with the engine in a native extension.

>>> from qudimrs import UnitRegistry
>>> ureg = UnitRegistry()
>>> ureg.convert(3.0, "km", "mile")  # doctest: +ELLIPSIS
1.864...
"""

# Annotations stay unevaluated strings, so importing the package never loads
# `typing` (most of what an import would otherwise cost).
from __future__ import annotations

from ._core import (
    DefinitionSyntaxError,
    DimensionalityError,
    OffsetUnitCalculusError,
    Quantity,
    QudimError,
    RedefinitionError,
    UndefinedUnitError,
    Unit,
    UnitRegistry,
)

__all__ = [
    "DefinitionSyntaxError",
    "DimensionalityError",
    "Measurement",
    "OffsetUnitCalculusError",
    "Quantity",
    "QudimError",
    "RedefinitionError",
    "UndefinedUnitError",
    "Unit",
    "UnitRegistry",
]

__version__ = "0.1.0"


class Measurement:
    """A quantity with an absolute uncertainty, as made by ``Quantity.plus_minus``.

    ``value`` is the quantity; ``error`` is the uncertainty in the quantity's
    own units (a plain number).
    """

    __slots__ = ("value", "error")

    def __init__(self, value: Quantity, error: float) -> None:
        self.value = value
        self.error = float(error)

    @property
    def magnitude(self) -> float:
        return float(self.value.magnitude)

    @property
    def units(self) -> Unit:
        return self.value.units

    @property
    def rel(self) -> float:
        """The relative uncertainty, error / |magnitude| (inf for a zero magnitude)."""
        m = abs(self.magnitude)
        return self.error / m if m else float("inf")

    def __repr__(self) -> str:
        return f"<Measurement({self.magnitude!r}, {self.error!r}, '{self.value._units_str()}')>"

    def __str__(self) -> str:
        return f"({self.magnitude} +/- {self.error}) {self.value._units_str()}"

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Measurement):
            return NotImplemented
        return bool(self.value == other.value) and self.error == other.error

    __hash__ = None  # type: ignore[assignment]
