"""The stubs match the module, and every method has a usable signature."""

import inspect
import subprocess
import sys
from pathlib import Path

import pytest

import qudimrs
from qudimrs import _core


def test_stubtest_agrees_with_the_module():
    pytest.importorskip("mypy")
    allowlist = Path(__file__).with_name("stubtest_allowlist.txt")
    proc = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "qudimrs._core", "--allowlist", str(allowlist)],
        capture_output=True, text=True, check=False,
    )
    assert proc.returncode == 0, proc.stdout + proc.stderr


def test_stub_and_marker_ship_with_the_package():
    root = Path(qudimrs.__file__).parent
    assert (root / "_core.pyi").is_file()
    assert (root / "py.typed").is_file()


def _methods():
    for cls in (_core.UnitRegistry, _core.Quantity, _core.Unit):
        for name, member in vars(cls).items():
            if callable(member) and getattr(member, "__text_signature__", None) is not None:
                yield cls.__name__, name, member


@pytest.mark.parametrize("cls_name, name, member", list(_methods()))
def test_every_method_signature_is_readable(cls_name, name, member):
    sig = inspect.signature(member)
    assert all(p.name for p in sig.parameters.values())


def test_help_lists_members_with_docs():
    text = inspect.getdoc(_core.Quantity.to_compact)
    assert "compact" in text
    import pydoc

    page = pydoc.render_doc(_core.Quantity, renderer=pydoc.plaintext)
    for member in ("to_base_units", "plus_minus", "magnitude", "__add__", "from_tuple"):
        assert member in page
    assert "to(self, /, units)" in page
