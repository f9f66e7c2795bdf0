"""Every example deck rebuilt with the model builder: the same cards, and
runs to the same result files and curves as the deck itself."""

import os

import pytest

from builder_support import ROOT, cards, program, run_text
from nlframe.model import Model, displacement, force

STEEL = dict(E=2100., E2=21., E3=21.)


def beam(title, joints, load=0.0):
    m = Model(title)
    m.material(**STEEL)
    s = m.rectangle(20., 10., yield_stress=2.4)
    j = [m.joint(x, 0.) for x in joints]
    for a, b in zip(j, j[1:]):
        m.member(a, b, s, load=load)
    return m, j


def cantilever():
    m, (a, b) = beam("ELASTIC CANTILEVER UNDER A TIP LOAD", [0., 300.])
    m.watch(displacement(b, "y"), force(b, "y"), force(a, "r"))
    m.iterations(20, 1)
    m.supports(a)
    m.load(b, fy=-1.)
    m.load_steps(5, tolerance=1e-10)
    return m


def beam_udl():
    m, (a, b, c) = beam("SIMPLY SUPPORTED BEAM UNDER A DISTRIBUTED LOAD", [0., 300., 600.], load=0.01)
    m.watch(2.22, 1.12, 3.12)
    m.iterations(20, 1)
    m.supports(a, fix="xy")
    m.supports(c, fix="y")
    m.load_steps(1, tolerance=1e-10)
    return m


def settlement():
    m, (a, b, c) = beam("TWO-SPAN BEAM WITH A SETTLING MIDDLE SUPPORT", [0., 300., 600.])
    m.watch(displacement(b, "y"), force(b, "y"), force(a, "y"))
    m.iterations(20, 1)
    m.supports(a, fix="xy")
    m.displace(b, dy=-0.5)
    m.supports(c, fix="y")
    m.displacement_steps(4, tolerance=1e-10)
    return m


def portal():
    m = Model("FIXED-BASE PORTAL FRAME PUSHED PAST ITS PEAK LOAD")
    m.material(**STEEL)
    s = m.section("IPE200", yield_stress=2.4)
    j = [m.joint(x, y) for x, y in [(0., 0.), (0., 300.), (600., 300.), (600., 0.)]]
    for a, b in zip(j, j[1:]):
        m.member(a, b, s)
    m.watch(2.21, 2.11)
    m.iterations(30, 1)
    m.supports(1, 4)
    m.load(2, fy=-8.)
    m.load(3, fy=-8.)
    m.load_steps(5, detail=5)
    m.load(2, fx=1.)
    m.arc_length(5, length=1., detail=5, exact=False)
    m.displace(2, dx=0.5)
    m.displacement_steps(30, detail=5)
    return m


def pushover():
    m = Model("TWO-STOREY FRAME PUSHED OVER TO COLLAPSE BY ARC LENGTH")
    m.material(**STEEL)
    s = m.i_section(20., 10., 0.56, 0.85, 1.2, yield_stress=2.4)
    for y in (0., 300., 600.):
        m.joint(0., y), m.joint(600., y)
    for a, b in [(1, 3), (2, 4), (3, 4), (3, 5), (4, 6), (5, 6)]:
        m.member(a, b, s)
    m.watch(5.21, 5.11, 3.21)
    m.iterations(30, 1)
    m.supports(1, 2)
    for j in (3, 4, 5, 6):
        m.load(j, fy=-6.)
    m.load_steps(4, detail=4)
    m.load(3, fx=0.5)
    m.load(5, fx=1.)
    m.arc_length(200, 0.5, follow=True, target_iterations=4, end_below=0.8, detail=10, exact=False)
    return m


@pytest.mark.parametrize("build", [cantilever, beam_udl, settlement, portal, pushover])
def test_rebuilt_example_has_the_same_cards_and_results(build, tmp_path):
    name = build.__name__.replace("_", "-") + ".dat"
    with open(os.path.join(ROOT, "examples", name)) as f:
        given = f.read()
    built = build().deck()
    assert cards(built) == cards(given)
    if program() is None:
        pytest.skip("no program binary in build/")
    ours = run_text(built, str(tmp_path / "built"))
    theirs = run_text(given, str(tmp_path / "given"))
    assert sorted(ours) == sorted(theirs) and "fort.61" in ours
    for n in theirs:
        assert ours[n] == theirs[n], n
