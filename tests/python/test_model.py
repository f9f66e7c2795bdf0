"""The model builder: values written so the program reads them back, refused
values, members split into parts, patterns and the order of the joints."""

import math
import warnings

import pytest

from builder_support import program, run_text
from nlframe.model import FieldWarning, Model


def frame(**kw):
    m = Model("T", **kw)
    m.material(2100., 21., 21.)
    m.rectangle(20., 10., 2.4)
    m.joint(0., 0.), m.joint(0., 300.)
    return m


def field(line, k):
    """Real field k (1 to 7) of a card."""
    return line[10 * k:10 * k + 10]


def test_reals_read_back_exactly_or_warn_with_both_values():
    m = Model("T")
    for v in [0.1, -2.5, 123.456, 1e-7, -2.5e12, 2100., 0.0, 1234567890., 5e-324]:
        line = m._joints[m.joint(v, 1.)][2]
        assert len(field(line, 1)) == 10 and float(field(line, 1)) == v
    with pytest.warns(FieldWarning, match=r"x = 0\.3333333333333333 .* reads as 0\.333333333"):
        line = m._joints[m.joint(1 / 3, 0.)][2]
    assert field(line, 1) == ".333333333"
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert m.deck().splitlines()[0] == "   0  0  1     T"


REFUSED = [
    (lambda m: m.joint(0., 1., 1000), r"Model\.joint: number = 1000 does not fit: it must lie in 1 to 999"),
    (lambda m: m.joint(0., 1., 2), r"Model\.joint: joint number 2 is already used"),
    (lambda m: m.joint(math.nan, 0.), r"Model\.joint: x = nan is not a finite number"),
    (lambda m: [m.joint(k, 1.) for k in range(998)], r"Model\.joint: a frame holds at most 999 joints"),
    (lambda m: m.member(1, 2, 1, parts=999), r"Model\.member: parts = 999 needs 998 new joints"),
    (lambda m: m.member(1, 9, 1), r"Model\.member: b 9 does not exist \(joints 1 to 2\)"),
    (lambda m: m.member(1, 2, 2), r"Model\.member: section 2 is beyond the section table \(sections 1 to 1\)"),
    (lambda m: m.member(1, 2, 1, fractions=(0.2, 0.6, 0.4, 0.8)), r"Model\.member: fractions .* rising"),
    (lambda m: m.member(1, 2, 1, fractions=(0, 0.4, 0.6, 0.8)), r"Model\.member: fractions"),
    (lambda m: m.member(1, 1, 1), r"Model\.member: joints 1 and 1 lie at the same place"),
    (lambda m: m.material(2100., 21., 21.), r"Model\.material: the material is already given"),
    (lambda m: m.rectangle(-20., 10., 2.4), r"Model\.rectangle: depth = -20.0 must be positive"),
    (lambda m: m.i_section(20., 10., 0.5, 9.5, 1., 2.4), r"Model\.i_section: flange \+ 0\.9 fillet"),
    (lambda m: m.tube(10., 5., 2.4), r"Model\.tube: wall = 5 must stay below the radius 5"),
    (lambda m: m.copy(4, 2.4), r"Model\.copy: section 4 is beyond the section table"),
    (lambda m: m.link(1, 2, 300), r"Model\.link: code = 300 does not fit: it must lie in 1 to 211"),
    (lambda m: m.link(1, 1, "pin"), r"Model\.link: a and b are the same joint 1"),
    (lambda m: m.watch(2.31), r"Model\.watch: code 2\.31 is not JOINT\.KD"),
    (lambda m: m.watch(7.21), r"Model\.watch: joint 7 does not exist"),
    (lambda m: m.watch(*[1.21] * 8), r"Model\.watch: give 1 to 7 codes, not 8"),
    (lambda m: m.iterations(1000), r"Model\.iterations: maximum = 1000 does not fit"),
    (lambda m: m.iterations(5, 5), r"Model\.iterations: minimum = 5 must lie below maximum = 5"),
    (lambda m: m.load_steps(3), r"Model\.load_steps: no supports or loads before the first group"),
    (lambda m: (m.supports(1), m.load_steps(1000)), r"Model\.load_steps: steps = 1000 does not fit: it must lie in 1 to 999"),
    (lambda m: (m.supports(1), m.arc_length(5, 0.5, end_below=1.)), r"Model\.arc_length: end_below = 1.0 must lie in 0 to 1"),
    (lambda m: (m.supports(1), m.arc_length(5, 0.)), r"Model\.arc_length: length must not be zero"),
    (lambda m: (m.supports(1), m.load(1, fx=1.)), r"Model\.load: joint 1 is held in x"),
    (lambda m: (m.supports(1), m.load_steps(1), m.joint(5., 5.)), r"Model\.joint: the structure is closed"),
    (lambda m: (m.load(2, fy=1.), m.finish()), r"Model\.finish: the last supports or loads have no group"),
]


@pytest.mark.parametrize("act, message", REFUSED, ids=[r[1].split(":")[0].replace("\\", "") + str(k) for k, r in enumerate(REFUSED)])
def test_refused_values_name_the_method_the_argument_and_the_limit(act, message):
    with pytest.raises(ValueError, match=message):
        act(frame())


def test_refused_settings_of_the_model():
    with pytest.raises(ValueError, match=r"Model: title must be at most 64"):
        Model("X" * 65)
    with pytest.raises(ValueError, match=r"restart_out = 10 is a unit the program uses itself"):
        Model("T", restart_out=10)
    with pytest.raises(ValueError, match=r"Model\.__init__: nprint = 0 does not fit"):
        Model("T", nprint=0)
    m = frame(restart_out=61)
    m.watch(2.21)
    m.supports(1)
    m.load_steps(1)
    with pytest.raises(ValueError, match=r"restart_out = 61 is the unit of a response curve"):
        m.deck()
    m = Model("T")
    with pytest.raises(ValueError, match=r"Model\.member: give the material before the first member"):
        m.member(m.joint(0., 0.), m.joint(1., 0.), 1)
    m = frame()
    m.member(1, 2, 1)
    with pytest.raises(ValueError, match=r"Model\.link: links must come before the first member"):
        m.link(1, 2, "pin")


def test_the_strain_limit_is_x4_of_the_material_card():
    for limit, card in [(None, "P  0  0  0     2100.       21.       21."), (0, None), (-0.0, None),
                        (0.05, "P  0  0  0     2100.       21.       21.      0.05")]:
        m = Model("T")
        m.material(2100., 21., 21., strain_limit=limit)
        assert m._material == (card or "P  0  0  0     2100.       21.       21.")
    for limit, message in [(-0.05, r"strain_limit = -0\.05 must be positive \(None or 0: no limit\)"),
                           (math.inf, r"strain_limit = inf is not a finite number"),
                           ("5%", r"strain_limit must be a number")]:
        with pytest.raises(ValueError, match=r"Model\.material: " + message):
            Model("T").material(2100., 21., 21., strain_limit=limit)


def test_a_pattern_merges_cards_of_one_joint_and_keeps_the_supports():
    m = frame()
    m.supports(1)
    m.supports(2, fix="x")
    m.load(2, fy=-3.)
    m.load_steps(2)
    m.deck()  # a look on the way closes nothing
    m.displace(2, dy=-0.5)
    m.displacement_steps(3)
    m.load(2, fy=1.)
    m.arc_length(5, 0.5, exact=True)
    assert m.deck().splitlines()[-10:] == [
        "B  1111  0", "B  2100  0        0.       -3.", "E  0  2  1     1E-08",
        "B  1111  0", "B  2110  0        0.      -0.5", "E  1  3  1     1E-08",
        "B  1111  0", "B  2100  0        0.        1.", "E  0  5  1     1E-08       0.5" + 3 * "        0." + "        1.", "F"]


def test_parts_put_new_joints_on_the_bowed_axis_and_share_springs():
    m = frame()
    parts = m.member(1, 2, 1, bow=0.01, springs=4., load=0.02, parts=4)
    assert parts == [1, 2, 3, 4] and len(m._joints) == 5
    for j, t in zip((3, 4, 5), (0.25, 0.5, 0.75)):  # left of the direction 1 -> 2 is -x
        x, y, _ = m._joints[j]
        assert x == pytest.approx(-0.01 * 300 * math.sin(math.pi * t)) and y == pytest.approx(300 * t)
    members = [l for l in m.deck().splitlines() if l.startswith("M")]
    assert [l[1:7] for l in members] == ["  1  3", "  3  4", "  4  5", "  5  2"]
    assert all(float(field(l, 6)) == 1. and float(field(l, 7)) == 0.02 for l in members)
    bows = [float(field(l, 5)) for l in members]
    assert bows[0] == pytest.approx(bows[3]) and bows[1] == pytest.approx(bows[2]) and 0 < bows[0] < 0.01


@pytest.mark.skipif(program() is None, reason="no program binary in build/")
def test_a_bowed_column_deflects_alike_in_two_and_four_parts(tmp_path):
    """Pin-ended column 500 cm, bow 1 cm, 20 t of Pcr = 68.9 t: the middle
    sways by e P / (Pcr - P) = 4.09 mm to the left of its direction."""
    sways = []
    for n in (2, 4):
        m = Model("BOWED COLUMN")
        m.material(2100., 21., 21.)
        s = m.rectangle(10., 10., 2.4)
        a, b = m.joint(0., 0.), m.joint(0., 500.)
        m.member(a, b, s, bow=1 / 500, parts=n)
        middle = 3 if n == 2 else 4
        m.watch_displacement(middle, "x")
        m.supports(a, fix="xy")
        m.supports(b, fix="x")
        m.load(b, fy=-5.)
        m.load_steps(4, tolerance=1e-10)
        curve = run_text(m.deck(), str(tmp_path / f"p{n}"))["fort.61"].decode().splitlines()
        sways.append(float(curve[-1].split()[1]))
    assert sways[0] == pytest.approx(-4.09, rel=0.03) and sways[1] == pytest.approx(sways[0], rel=0.02)


def test_joint_cards_follow_a_narrow_order_unless_asked_not_to():
    def ladder(order):
        m = Model("T", joint_order=order)
        m.material(2100., 21., 21.)
        s = m.rectangle(20., 10., 2.4)
        left = [m.joint(0., 300. * k) for k in range(6)]
        right = [m.joint(600., 300. * k) for k in range(6)]
        for k in range(5):
            m.member(left[k], left[k + 1], s), m.member(right[k], right[k + 1], s)
            m.member(left[k + 1], right[k + 1], s)
        m.supports(left[0], right[0])
        m.load_steps(1)
        return [int(l[1:4]) for l in m.deck().splitlines() if l.startswith("J")]

    assert ladder("given") == list(range(1, 13))
    order = ladder("auto")
    place = {j: k for k, j in enumerate(order)}
    assert sorted(order) == list(range(1, 13)) and max(abs(place[k] - place[k + 6]) for k in range(1, 7)) <= 2


def test_run_and_check_go_through_the_package(tmp_path):
    nlframe = pytest.importorskip("nlframe")
    if not hasattr(nlframe, "run"):
        pytest.skip("the compiled package is not built")
    m = frame()
    m.member(1, 2, 1)
    m.watch_displacement(2, "x")
    m.supports(1)
    m.load(2, fx=0.1)
    m.load_steps(2)
    assert all(str(f.severity).lower() != "error" for f in m.check())
    run = m.run(tmp_path / "run")
    assert run.status == 0 and run.steps == 2 and (tmp_path / "run" / "model.dat").exists()


@pytest.mark.skipif(program() is None, reason="no program binary in build/")
def test_a_continuing_run_goes_on_where_the_saved_one_stopped(tmp_path):
    def portal(restart_out=None, lateral=True):
        m = Model("PORTAL", restart_out=restart_out)
        m.material(2100., 21., 21.)
        s = m.section("IPE200", 2.4)
        j = [m.joint(x, y) for x, y in [(0., 0.), (0., 300.), (600., 300.), (600., 0.)]]
        for a, b in zip(j, j[1:]):
            m.member(a, b, s)
        m.watch(2.21, 2.11)
        m.supports(1, 4)
        m.load(2, fy=-8.), m.load(3, fy=-8.)
        m.load_steps(5)
        if lateral:
            m.load(2, fx=1.)
            m.arc_length(5, 1.)
        return m

    whole = run_text(portal().deck(), str(tmp_path / "whole"))["fort.61"].decode().splitlines()
    run_text(portal(restart_out=9, lateral=False).deck(), str(tmp_path / "first"))
    m = Model("PORTAL GOES ON", restart_in=9)
    with pytest.raises(ValueError, match=r"Model\.joint: a continuing run \(restart_in\) takes the frame"):
        m.joint(0., 0.)
    m.watch(2.21, 2.11)
    m.supports(1, 4)
    m.load(2, fx=1.)
    m.arc_length(5, 1.)
    assert m.deck().splitlines()[:3] == ["   9  0  1     PORTAL GOES ON", "W  0  0  0      2.21      2.11", "L-30  1  0"]
    (tmp_path / "next").mkdir()
    (tmp_path / "next" / "fort.9").write_bytes((tmp_path / "first" / "fort.9").read_bytes())
    rest = run_text(m.deck(), str(tmp_path / "next"))["fort.61"].decode().splitlines()
    assert rest == whole[-5:] and rest[0].split()[0] == "6"
