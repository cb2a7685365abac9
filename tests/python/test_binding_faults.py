"""Faults at the seams of the registry and unit bindings: garbage collection,
odd keyword names, attribute lookup of unknown names, dir()."""

import gc

import pytest

from qudimrs import Unit, UnitRegistry


def test_registry_cycle_through_init_kwargs_is_collected():
    finalized = []

    class Witness:
        def __del__(self):
            finalized.append(True)

    r = UnitRegistry(k=0)
    r._init_kwargs["self"] = r
    r._init_kwargs["witness"] = Witness()
    del r
    gc.collect()
    assert finalized == [True]


@pytest.mark.parametrize("keyword", ["a\x00b", "x\ud800y", "unit\x00"])
@pytest.mark.parametrize(
    "call, display",
    [
        (lambda kw: UnitRegistry().convert(1, "m", "km", **kw), "UnitRegistry.convert()"),
        (lambda kw: UnitRegistry().get_name("m", **kw), "UnitRegistry.get_name()"),
        (lambda kw: Unit("m", **kw), "Unit.__new__()"),
    ],
)
def test_unexpected_keyword_is_named_whole(call, display, keyword):
    with pytest.raises(TypeError) as info:
        call({keyword: 1})
    assert str(info.value) == f"{display} got an unexpected keyword argument '{keyword}'"


def test_unknown_unit_attribute_keeps_its_message_and_offers_close_spellings(ureg):
    with pytest.raises(AttributeError) as info:
        ureg.meterz
    assert info.value.args == ("'meterz' is not defined in the unit registry",)
    assert any("'meter'" in note for note in info.value.__notes__)


def test_dir_ends_with_the_unit_names_an_attribute_reaches(ureg):
    ureg.define("_hidden = 2 * meter")
    names = ureg.__dir__()
    units = sorted(n for n in ureg if not n.startswith("_"))
    assert names[-len(units) :] == units and "define" in names and "_hidden" not in names
