# The builder's guards: a refused call leaves the model as it was, warnings
# name the caller's call at the caller's line, values implausible in t and cm
# are told of, and a group's pattern is a step's share or the group's total.
import warnings

import pytest

import nlframe
from nlframe.sections import lookup


def frame():
    m = nlframe.Model("GUARDS")
    m.material(2100., 21., 21.)
    s = m.section("IPE300", yield_stress=2.4)
    a, b = m.joint(0, 0), m.joint(0, 300)
    m.member(a, b, s)
    return m, a, b


def test_a_refused_call_changes_nothing():
    m, a, b = frame()
    clean = m.deck()
    for bad in (lambda: m.load(99, fy=-1.), lambda: m.load(b, fy=float("nan")),
                lambda: m.member(a, b, 1, parts=999), lambda: m.section("IPE299", 2.4),
                lambda: m.load_steps(0)):
        with pytest.raises(ValueError):
            bad()
        assert m.deck() == clean
    c = m.joint(300, 300)  # the structure is still open
    m.member(b, c, 1)
    m.supports(a)
    m.load(c, fy=-1.)
    m.load_steps(2)
    assert m.deck().count("\nJ") == 3


def test_warnings_name_the_call_at_the_callers_line():
    m, a, b = frame()
    with pytest.warns(nlframe.FieldWarning, match=r"^Model\.load: fy = 0\.3333") as w:
        m.load(b, fy=1 / 3)
    assert w[0].filename == __file__
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        m.supports(a)
        m.load_steps(2)  # told of once, at the load


def test_values_implausible_in_t_and_cm_warn():
    m = nlframe.Model("UNITS")
    with pytest.warns(nlframe.UnitWarning, match=r"N/mm² \(MPa\)\? 210000 N/mm² \(MPa\) is 2141 t/cm²") as w:
        m.material(210000., 2100., 2100.)
    assert w[0].filename == __file__
    with pytest.warns(nlframe.UnitWarning, match=r"yield_stress = 355 .*N/mm² \(MPa\)\? .* 3\.62 t/cm²"):
        m.section("HEB300", yield_stress=355)
    m.joint(0, 0)
    with pytest.warns(nlframe.UnitWarning, match="20 km across"):
        m.joint(0, 2e6)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        p = nlframe.Model("PLAUSIBLE")
        p.material(2100., 21., 21.)
        p.section("HEB300", yield_stress=3.55)
        p.joint(0, 0), p.joint(0, 9e5)


def test_a_pattern_per_step_or_as_the_groups_total():
    decks = []
    for total in (False, True):
        m, a, b = frame()
        m.supports(a)
        m.load(b, fy=-80.)
        m.load_steps(4, total=total)
        decks.append([l for l in m.deck().splitlines() if l.startswith("B")][-1])
    assert decks == ["B  2  0  0        0.      -80.", "B  2  0  0        0.      -20."]
    m, a, b = frame()
    m.supports(a)
    m.load(b, fy=-80.)
    with pytest.warns(nlframe.FieldWarning, match="load_steps: y of joint 2 divided by 3 steps"):
        m.load_steps(3, total=True)
    # A note at the deck's head names the groups that spread a total, for
    # the readers of the deck (the report page); a deck without them has none.
    m.load(b, fy=-1.)
    m.load_steps(2)
    m.load(b, fy=-1.)
    m.load_steps(5, total=True)
    lines = m.deck().splitlines()
    k = next(i for i, l in enumerate(lines) if l.startswith("$ load groups: "))
    note = " ".join(l[2:].strip() for l in lines[k:k + 3] if l.startswith("$ "))
    assert note.startswith("load groups: group 1 adds its total load in 3 steps; group 3 adds its total load in 5 steps")
    assert all(len(l) <= 80 for l in lines) and "load groups" not in frame()[0].deck()


def test_nearest_sections_by_size_within_the_series():
    with pytest.raises(ValueError, match="nearest: IPE300, IPE270, IPE330"):
        lookup("IPE299")
    with pytest.raises(ValueError, match="nearest: HEB240, HEB260"):
        lookup("HE 245 B")


def test_a_portal_drawn_in_mm_and_slopes_in_mpa_warn():
    m = nlframe.Model("MM")
    with pytest.warns(nlframe.UnitWarning, match=r"E2 = 2100 t/cm² is far above .* is 21\.41 t/cm²"):
        m.material(210000., 2100., 2100.)
    s = m.section("HEA200", yield_stress=2.4)
    a, b, c = m.joint(0, 0), m.joint(0, 3000), m.joint(6000, 3000)
    with pytest.warns(nlframe.UnitWarning, match=r"a storey 3000 cm high .* In cm it is 300\b"):
        m.member(a, b, s)
    with warnings.catch_warnings():  # told once for the model
        warnings.simplefilter("error")
        m.member(b, c, s)
    p = nlframe.Model("SLENDER")
    p.material(2100., 21., 21.)
    s = p.section("HEA200", yield_stress=2.4)
    with pytest.warns(nlframe.UnitWarning, match=r"4000 cm long is 211 times the depth of its section \(19 cm\)"):
        p.member(p.joint(0, 0), p.joint(4000, 0), s)
