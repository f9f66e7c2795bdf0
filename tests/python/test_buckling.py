"""The buckling analysis from Python: Model.buckling, Run.buckling and
Run.mode, and the imperfection in the shape of a mode against the closed
forms of a pinned column."""
import math

import pytest

from nlframe.model import Model, bow_amplitude

E, L = 2100.0, 1000.0
EI = E * 10 * 20 ** 3 / 12 * (1 - 1 / 400)  # the rectangle's 20 strips
EULER = math.pi ** 2 * EI / L ** 2
# An elastic column: a yield stress no steel has.
pytestmark = pytest.mark.filterwarnings("ignore::nlframe.model.UnitWarning")


def column(parts, yield_stress=1000.0):
    m = Model("PINNED COLUMN")
    m.material(E, 21., 21.)
    s = m.rectangle(20, 10, yield_stress)
    base, top = m.joint(0, 0), m.joint(0, L)
    m.member(base, top, s, parts=parts)
    mid = [j for j, (x, y, _) in m._joints.items() if y == L / 2]
    m.watch_displacement(mid[0] if mid else top, "x")
    m.iterations(30, 1)
    m.supports(base, fix="xy")
    m.supports(top, fix="x")
    m.load(top, fy=-1.0)
    return m, (mid[0] if mid else None)


def test_factors_modes_and_the_shape_of_mode_one(tmp_path):
    m, mid = column(4)
    m.buckling(modes=3)
    m.load_steps(1)
    run = m.run(tmp_path / "a")
    b = run.buckling
    assert list(b["mode"]) == [1, 2, 3] and set(b["stiffness"]) == {"ELASTIC"}
    assert b["factor"][0] == pytest.approx(EULER, rel=1e-4)
    assert b["factor"][1] == pytest.approx(4 * EULER, rel=1e-4)
    shape = run.mode(1).set_index("joint")
    assert shape.loc[mid, "x"] == pytest.approx(1.0)  # the half sine's crest
    assert run.mode(1, points=True)["x"].abs().max() <= 1.0
    with pytest.raises(KeyError):
        run.mode(4)
    plain, _ = column(1)
    plain.load_steps(1)
    assert plain.run(tmp_path / "b").buckling.empty


def test_a_small_mode_shaped_imperfection_leads_to_the_critical_load(tmp_path):
    m, mid = column(4)
    m.buckling()
    m.load_steps(1)
    run = m.run(tmp_path / "a")
    alpha = run.buckling["factor"][0]
    # A sway of L / 1000 at mid-height, then pushed by arc length: at a sway
    # fifty times the imperfection the load is within 2 % of the critical one.
    imperfect, mid = column(4)
    assert imperfect.imperfection(run, sway=L / 1000) == pytest.approx(1.0)
    assert imperfect._joints[mid][0] == pytest.approx(1.0)
    imperfect.arc_length(80, 4.0)
    done = imperfect.run(tmp_path / "b")
    curve = done.curves[61]
    step = curve["step"][curve.iloc[:, 1].abs() >= 500.0].iloc[0]  # mm
    f = done.joint_forces
    applied = -f[(f["step"] == step) & (f["joint"] == 2)]["applied_Y(TON)"].iloc[0]
    assert 0.97 * alpha < applied < 1.01 * alpha


def test_the_equivalent_imperfection_of_a_pinned_column_is_its_e0(tmp_path):
    # The sine mode: EI eta'' = EI pi^2 / L^2 = Ncr at unit amplitude, so
    # eta_init = e0 at mid-height.
    m, _ = column(4)  # a station at mid-height
    m.buckling()
    m.load_steps(1)
    run = m.run(tmp_path / "a")
    imperfect, _ = column(4)
    assert imperfect.imperfection(run, e0=2.0) == pytest.approx(2.0, rel=5e-3)
    with pytest.raises(ValueError):
        imperfect.imperfection(run, e0=1.0, sway=1.0)
    # e0 = alpha (l - 0.2) MRk / NRk (1 - chi l^2 / gM1) / (1 - chi l^2)
    assert bow_amplitude(0.34, 1.0, 0.6, 100.0, 50.0, 1.1) == pytest.approx(
        0.34 * 0.8 * 2.0 * (1 - 0.6 / 1.1) / 0.4)
    assert bow_amplitude(0.34, 0.2, 1.0, 1.0, 1.0) == 0.0
