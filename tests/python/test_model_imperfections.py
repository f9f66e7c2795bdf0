"""Imperfections by the design rules, the ECCS pattern, the notes that tell
of them, member loads and the builder's default tangent."""

import math

import pytest

from builder_support import program
from nlframe import sections
from nlframe.model import Model


def frame(bays=1, storeys=2):
    """Storeys of 300 cm, bays of 600 cm: columns first, then the beams of each floor."""
    m = Model("T")
    m.material(2100., 21., 21.)
    s = m.section("HEB300", 2.35)
    n = bays + 1
    for k in range(storeys + 1):
        for i in range(n):
            m.joint(600. * i, 300. * k)
    for k in range(storeys):
        for i in range(n):
            m.member(k * n + i + 1, (k + 1) * n + i + 1, s)
        for i in range(bays):
            m.member((k + 1) * n + i + 1, (k + 1) * n + i + 2, s)
    return m


def joints(deck):
    return {int(l[1:4]): (float(l[10:20]), float(l[20:30])) for l in deck.splitlines() if l[0] == "J"}


def notes(deck):
    return [l for l in deck.splitlines() if l.startswith(("$ imperfections", "$ residual", "$   "))]


@pytest.mark.parametrize("bays, storeys, height, phi", [
    (1, 2, None, 2 / math.sqrt(6) * math.sqrt(0.75) / 200),  # 6 m, 2 columns
    (3, 1, None, math.sqrt(0.625) / 200),                   # 3 m: alpha_h 2/sqrt(3) kept at 1; 4 columns
    (1, 1, 2000., 2 / 3 * math.sqrt(0.75) / 200),           # 20 m: alpha_h 2/sqrt(20) kept at 2/3
])
def test_the_sway_rule_and_the_joints_it_moves(bays, storeys, height, phi):
    m = frame(bays, storeys)
    before = joints(m.deck())
    assert m.sway(height=height) == pytest.approx(phi, rel=1e-12)
    deck = m.deck()
    for j, (x, y) in joints(deck).items():
        assert y == before[j][1] and x == pytest.approx(before[j][0] + phi * y, rel=1e-8, abs=1e-8)
    assert f"sway 1/{1 / phi:.0f} towards +x, joints moved" in " ".join(l[2:].strip() for l in notes(deck))
    assert all(len(l) <= 80 for l in deck.splitlines())


def test_the_sway_as_forces_follows_the_vertical_load_of_each_pattern():
    m = frame()
    phi = m.sway(1 / 200, direction="-x", forces=True)
    m.supports(1)
    m.supports(2, fix="xr")
    m.load(3, fy=-10., fx=2.)
    m.member_load(3, wy=-0.05)              # the beam 3 -> 4 (600 cm): 15 t to each end
    m.member_load(6, wy=-0.02, local=True)  # the roof beam 5 -> 6: across is +y
    m.load_steps(2, total=True)
    m.load(2, fy=-5.)                       # held in x: no force
    m.load(6, fy=4.)                        # upward: towards the other side
    m.load_steps(1)
    b = {(k, int(l[1:4])): [float(l[10:20]), float(l[20:30])] for k, part in enumerate(m.deck().split("E  0")[:2])
         for l in part.splitlines() if l[0] == "B" and len(l) > 10}
    assert joints(m.deck())[6] == (600., 600.)
    assert b[0, 3] == pytest.approx([(2. - phi * 25.) / 2, -5.]) and b[0, 4][0] == pytest.approx(-phi * 15. / 2)
    assert b[0, 5][0] == b[0, 6][0] == pytest.approx(-phi * 6. / 2)
    assert b[1, 2] == [0., -5.] and b[1, 6] == pytest.approx([phi * 4., 4.])


def test_the_columns_counted():
    m = Model("T")
    m.material(2100., 21., 21.)
    s = m.section("HEB300", 2.35)
    m.member(m.joint(0., 0.), m.joint(400., 500.), s)
    with pytest.raises(ValueError, match=r"no vertical member rises from the lowest joints; give columns="):
        m.sway()
    m.member(m.joint(800., 0.), m.joint(800., 500.), s, curve="d", analysis="plastic", towards="+x", parts=4)
    assert m.sway() == pytest.approx(2 / math.sqrt(5) / 200)  # the bowed column in parts counts once


def test_bows_by_curve_and_side_and_their_notes():
    m = frame()
    bow = lambda k: float(m._members[k[0] - 1][2][50:60])  # noqa: E731
    got = [m.member(1, 3, 1, curve="b", towards="+x"),          # up: +x is right of the direction
           m.member(3, 1, 1, curve="b", towards="+x"),          # down: +x is left
           m.member(3, 4, 1, curve="c", analysis="plastic", towards="-y"),
           m.member(3, 4, 1, bow=1 / 1000, towards="right")]
    assert [bow(k) for k in got] == [-1 / 250, 1 / 250, pytest.approx(-1 / 150, abs=1e-8), -1e-3]
    m.member(1, 3, 1, curve="a0", towards="-x", parts=2)
    assert float(m._joints[7][2][10:20]) == pytest.approx(-300 / 350, abs=1e-7)  # the middle of the whole sine
    m.section("IPE300", 2.35, residual="eccs")
    m.i_section(30., 30., 1.1, 1.9, 2.7, 2.35, residual=(-0.5, 0.3, 0.3, 0.3))
    assert notes(m.deck()) == [
        "$ imperfections: bows e0/L = 1/250 (curve b, elastic) towards +x on members 7,", "$   8;",
        "$ imperfections: bows e0/L = 1/150 (curve c, plastic) towards -y on member 9;",
        "$ imperfections: bows e0/L = 1/1000 towards right of I->J on member 10;",
        "$ imperfections: bows e0/L = 1/350 (curve a0, elastic) towards -x on members 11,", "$   12",
        "$ residual stresses: ECCS on section 2; given values on section 3"]
    m = frame()  # what was there before: no note
    m.section("IPE300", 2.35, residual="classic")
    m.member(1, 3, 1, bow=-1 / 1000)
    assert notes(m.deck()) == []


@pytest.mark.parametrize("call, message", [
    (lambda m: m.sway(0.2), r"sway: phi = 0\.2 must lie in 0 to 0\.1"),
    (lambda m: m.sway(0.005, columns=2), r"sway: give phi, or height and columns for the rule, not both"),
    (lambda m: (m.supports(1), m.sway()), r"sway: the structure is closed once the load history has begun"),
    (lambda m: m.member(1, 3, 1, curve="e", towards="+x"), r"member: curve 'e' must be one of a0, a, b, c, d"),
    (lambda m: m.member(1, 3, 1, curve="b"), r"member: a bow by curve needs towards="),
    (lambda m: m.member(1, 3, 1, bow=-0.001, towards="+x"), r"member: bow = -0\.001 must not be negative"),
    (lambda m: m.member(1, 3, 1, curve="b", towards="+y"), r"member: a member from joint 1 to joint 3 lies "
                                                           r"along y; it cannot bow towards \+y"),
    (lambda m: m.member_load(7, wy=-1.), r"member_load: member 7 does not exist \(members 1 to 6\)"),
    (lambda m: m.member_load([1, 0], wy=-1.), r"member_load: members = 0 does not fit"),
    (lambda m: m.member_load(1), r"member_load: give wx or wy"),
])
def test_bad_values_are_refused_and_add_nothing(call, message):
    m = frame()
    with pytest.raises(ValueError, match=r"Model\." + message):
        call(m)
    assert m._bows == [] and m._sway is None and m._member_loads == {} and len(m._members) == len(m._joints) == 6


@pytest.mark.parametrize("name, weak, tips", [("HEB300", False, -0.5), ("HEB300", True, -0.5),
                                              ("IPE300", False, -0.3), ("HEM1000", True, -0.3)])
def test_the_eccs_pattern_keeps_its_tips_and_balances_the_fibres(name, weak, tips):
    s = sections.lookup(name)
    dims = (s.depth, s.width, s.web, s.flange, s.fillet)
    X = sections.eccs_residual(*dims, 2.35, weak)
    assert X[0] == tips * 2.35 and X[1] == X[2] == -X[3] and 0.8 * 2.35 * -tips < X[1] < 2.35 * -tips
    fibres = sections.h_fibres(*dims[1:]) if weak else sections.i_fibres(*dims)
    force = sum(a * t for (a, _), t in zip(fibres, sections.residual_stresses(*dims, X, weak)))
    assert abs(force) < 1e-12 * sum(a for a, _ in fibres)


def test_member_loads_join_ranges_and_carry_the_supports():
    m = frame()
    m.supports(1, 2)
    m.load(3, fy=-1.)
    m.load_steps(1)
    m.member_load([3, 6], wy=-0.1)
    m.member_load(range(1, 3), wx=0.01)
    m.member_load(4, wx=0.01)
    m.member_load(6, wy=-0.1)       # adds up
    m.member_load([1, 2], wx=0.02, wy=-0.05, local=True)
    m.load_steps(2, total=True)
    m.member_load(5, wy=-1e-9)
    m.arc_length(3, 0.5)
    m.arc_length(3, 0.5, exact=False)
    lines = m.deck().splitlines()
    assert lines[lines.index("E  0  1  1     1E-08") + 1:] == [
        "B  1111  0", "B  2111  0",
        "U  1  2  0     0.005        0.", "U  3  0  0        0.     -0.05", "U  4  0  0     0.005        0.",
        "U  6  0  0        0.      -0.1", "U  1  2  1      0.01    -0.025", "E  0  2  1     1E-08",
        "B  1111  0", "B  2111  0", "U  5  0  0        0.    -1E-09",
        "E  0  3  1     1E-08       0.5" + 3 * "        0." + "        1.",
        "E  0  3  1     1E-08       0.5", "F"]
    m.member_load(1, wy=-1.)
    with pytest.raises(ValueError, match=r"Model\.deck: the last supports or loads have no group of steps"):
        m.deck()


@pytest.mark.skipif(program() is None, reason="no program binary in build/")
def test_an_eccs_column_against_the_buckling_curves(tmp_path):
    """Pinned HEB 300 columns at slenderness 1, bow L/1000 over 4 parts, the
    ECCS pattern: about the strong axis the peak lies between curves b and a,
    about the weak axis on curve c (chi of EN 1993-1-1 6.3.1.2, computed
    here), and the program's sums find the pattern balanced."""
    def chi(alpha, lam=1.0):
        p = 0.5 * (1 + alpha * (lam - 0.2) + lam * lam)
        return 1 / (p + math.sqrt(p * p - lam * lam))

    fy, E = 2.4, 2100.
    s = sections.lookup("HEB300")
    dims = (s.depth, s.width, s.web, s.flange, s.fillet)
    for weak, low, high in ((False, 0.34, 0.21), (True, 0.49 + 0.06, 0.49 - 0.06)):
        area, inertia = sections.fibre_figures(sections.h_fibres(*dims[1:]) if weak else sections.i_fibres(*dims))
        m = Model("ECCS COLUMN")
        m.material(E, 21., 21.)
        sec = m.section("HEB300", fy, weak_axis=weak, residual="ECCS")
        length = round(math.pi * math.sqrt(E / fy) * math.sqrt(inertia / area), 4)
        m.member(m.joint(0., 0.), m.joint(0., length), sec, bow=1e-3, parts=4)
        m.supports(1, fix="xy")
        m.supports(2, fix="x")
        m.load(2, fy=-round(area * fy, 3))
        m.arc_length(999, 1., follow=True, target_iterations=4, end_below=0.9)
        run = m.run(tmp_path / str(weak))
        listing = (tmp_path / str(weak) / "R.rst").read_text()
        sums = [float(l.split()[5]) for l in listing.splitlines() if "RESIDUAL STRESSES:" in l]
        assert len(sums) == 1 and abs(sums[0]) < 1e-4 * area * fy
        assert run.peaks[0].passed and chi(low) < run.peaks[0].value < chi(high), (weak, run.peaks[0])


@pytest.mark.skipif(program() is None, reason="no program binary in build/")
def test_a_member_load_runs_as_the_closed_form_of_a_fixed_end_beam(tmp_path):
    """One member, fixed at both ends, 0.01 t/cm down in the pattern: the end
    moments q L^2 / 12 and shears q L / 2, under load and arc-length control."""
    for group in ("load", "arc"):
        m = Model("FIXED-END BEAM")
        m.material(E=2100., E2=21., E3=21.)
        s = m.rectangle(20, 10, 2.4)
        a, b = m.joint(0, 0), m.joint(600, 0)
        m.member(a, b, s)
        m.supports(a, b)
        m.member_load(1, wy=-0.01)
        if group == "load":
            m.load_steps(1, tolerance=1e-10)
        else:
            m.arc_length(10, 0.1, tolerance=1e-12)
        f = m.run(tmp_path / group).member_forces.iloc[-1]
        assert f["MI(T*CM)"] == pytest.approx(-300., abs=0.2)
        assert f["MJ(T*CM)"] == pytest.approx(300., abs=0.2)
        assert f["QI(TON)"] == pytest.approx(-3., abs=2e-3)
