"""The Python examples run in the suite: the parametric push-over study with
a few values, and the portal rebuilt. Both need the compiled package."""

import importlib.util
import os

import pytest

from builder_support import ROOT

nlframe = pytest.importorskip("nlframe")
if not hasattr(nlframe, "run_many"):
    pytest.skip("the compiled package is not built", allow_module_level=True)


def example(name):
    spec = importlib.util.spec_from_file_location(name, os.path.join(ROOT, "examples", "python", name + ".py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def test_parametric_study_tabulates_falling_ultimate_loads(tmp_path, capsys):
    table = example("parametric").main(["--values", "3", "--jobs", "2", "--out", str(tmp_path)])
    assert [r["gravity"] for r in table] == [44., 63., 82.]
    assert all(r["status"] == 0 for r in table)
    ultimate = [r["ultimate"] for r in table]
    assert ultimate[0] > ultimate[1] > ultimate[2] > 0
    for r in table:  # the base shear is the load factor times the 3 t of the pattern
        assert r["ultimate"] == pytest.approx(3 * r["factor"], rel=0.01) and r["sway"] > 0 and r["step"] > 4
    assert (tmp_path / "parametric.png").stat().st_size > 10000
    assert "load factor" in capsys.readouterr().out


def test_portal_rebuilt_runs_to_the_same_files(tmp_path):
    assert example("portal").main(["--out", str(tmp_path)]) == 0
