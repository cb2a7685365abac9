"""Shared fixtures: a fresh registry per test."""

import pytest

from qudimrs import UnitRegistry


@pytest.fixture
def ureg():
    return UnitRegistry()


@pytest.fixture
def Q_(ureg):
    """Quantity maker bound to the test's registry: Q_(3, "m")."""
    return ureg._scalar_quantity
