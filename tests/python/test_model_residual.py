"""Residual stresses of I and H sections: the S card the builder writes, the
named pattern, the values it refuses, and the program's view of them."""

import pytest

from builder_support import program, run_text
from nlframe.model import Model


def test_the_pattern_follows_its_section_card():
    m = Model("T")
    a = m.section("HEB300", 2.35, residual="classic")
    b = m.section("HEB300", 2.35, residual=" Classic")
    c = m.i_section(30., 30., 1.1, 1.9, 2.7, 2.35, residual=(-0.5, 0.3, 0.3, 0.3 + 1e-9))
    d = m.section("HEB300", 2.35)
    e = m.section("HEB300", 2.35, weak_axis=True, residual="classic")
    assert (a, b, c, d, e) == (1, 1, 2, 3, 4)
    cards = [s for s in m._sections if not s.startswith("$")]  # named ones have a comment first
    letters = [s[:4] for s in cards]
    assert letters == ["I  1", "S  1", "I  2", "S  2", "I  3", "H  4", "S  4"]
    x = [float(cards[1][k:k + 10]) for k in (10, 20, 30, 40)]
    assert x[0] == -0.705 and x[1] == x[2] == x[3] == pytest.approx(0.41114, abs=1e-5)
    assert cards[3] == "S  2  0  0      -0.5       0.3       0.3.300000001"


@pytest.mark.parametrize("residual, message", [
    ("parabolic", r"residual 'parabolic' is not a named pattern \(classic, ECCS\) nor four values"),
    ((-0.5, 0.3, 0.3), r"residual must be a named pattern or four values X1\.\.X4"),
    (0.3, r"residual must be a named pattern or four values"),
    ((-2.35, 0.3, 0.3, 0.3), r"residual \(-2\.35, 0\.3, 0\.3, 0\.3\) reaches the yield stress 2\.35"),
    ((-0.5, 0.3, float("nan"), 0.3), r"residual = nan is not a finite number"),
    ((-0.705, 0., 0., 0.), r"residual \(-0\.705, 0\.0, 0\.0, 0\.0\) is not self-equilibrated: its net axial force -38\.71 t is more than 1 % of "
                           r"A\*fy \(3\.503 t\)"),
])
def test_bad_patterns_are_refused_and_add_nothing(residual, message):
    m = Model("T")
    with pytest.raises(ValueError, match=r"Model\.i_section: " + message):
        m.section("HEB300", 2.35, residual=residual)
    assert m._sections == [] and m._nsections == 0


@pytest.mark.skipif(program() is None, reason="no program binary in build/")
def test_the_program_takes_the_named_pattern_as_balanced(tmp_path):
    m = Model("RESIDUAL")
    m.material(2100., 21., 21.)
    for name in ["IPE300", "HEB300", "HEM1000"]:
        for pattern in ("classic", "ECCS"):
            m.section(name, 3.55, residual=pattern)
            m.section(name, 3.55, weak_axis=True, residual=pattern)
    a, b = m.joint(0., 0.), m.joint(300., 0.)
    m.member(a, b, 1)
    m.supports(a)
    m.load(b, fy=-1.)
    m.load_steps(1)
    run_text(m.deck(), str(tmp_path))
    sums = [l.split() for l in (tmp_path / "R.rst").read_text().splitlines() if "RESIDUAL STRESSES:" in l]
    assert len(sums) == 12
    for s in sums:
        assert abs(float(s[5])) < 1e-5 and abs(float(s[10])) < 1e-8, s
