"""Rolled sections by name: the table against the published figures, the
fibres the program cuts from them, and names that are not in the table."""

import pytest

from builder_support import program, run_text
from nlframe import sections
from nlframe.model import Model


def test_every_shape_of_the_table_agrees_with_its_published_area_and_inertia():
    # The fibre cut replaces the root fillets by two trapezoids (0.857 r² for
    # the four against (4 - pi) r² = 0.858 r²) and lumps every strip at its
    # centroid; it lies within 0.5 % of the published area and second moment.
    assert len(sections.names()) == 18 + 3 * 24
    for name in sections.names():
        s = sections.lookup(name)
        area, inertia = sections.fibre_figures(sections.i_fibres(s.depth, s.width, s.web, s.flange, s.fillet))
        assert area == pytest.approx(s.area, rel=0.005), name
        assert inertia == pytest.approx(s.inertia, rel=0.005), name


def test_names_are_read_loosely_and_unknown_names_list_the_nearest():
    assert sections.lookup("HE 300 B") == sections.lookup("heb300") == sections.lookup("HEB-300")
    s = sections.lookup("IPE 200")
    assert (s.depth, s.width, s.web, s.flange, s.fillet) == (20., 10., 0.56, 0.85, 1.2)
    with pytest.raises(ValueError, match=r"Model\.section: name 'HEB310' is not in the section table; "
                                         r"nearest: .*HEB300.*") as e:
        sections.lookup("HEB310")
    assert "HEB320" in str(e.value)
    with pytest.raises(ValueError, match=r"series: IPE, HEA, HEB, HEM"):
        sections.lookup("ZZ9")


def test_a_name_gives_one_section_a_yield_stress_and_axis():
    m = Model("T")
    a, b = m.section("HEB300", 2.35), m.section("HE 300 B", 2.35)
    c, d = m.section("HEB300", 3.55), m.section("HEB300", 2.35, weak_axis=True)
    assert (a, b, c, d) == (1, 1, 2, 3)
    assert m._sections[:2] == ["$ section 1: HEB300",
                               "I  1  0  0       30.       30.       1.1       1.9       2.7      2.35"]
    assert m._sections[-1].startswith("H  3  0  0") and m._sections[-2] == "$ section 3: HEB300"


@pytest.mark.skipif(program() is None, reason="no program binary in build/")
def test_the_program_cuts_the_fibres_the_table_expects(tmp_path):
    names = ["IPE80", "HEA300", "HEB1000", "HEM320"]
    m = Model("SECTIONS")
    m.material(2100., 21., 21.)
    for n in names:
        m.section(n, 2.35)
    a, b = m.joint(0., 0.), m.joint(100., 0.)
    m.member(a, b, 1)
    m.supports(a)
    m.load_steps(1)
    run_text(m.deck(), str(tmp_path))
    listing = (tmp_path / "R.rst").read_text().splitlines()
    sums = [listing[k + 1].split() for k, l in enumerate(listing) if "AAA(CM**2)" in l]
    for n, (area, _, inertia) in zip(names, sums):
        s = sections.lookup(n)
        want = sections.fibre_figures(sections.i_fibres(s.depth, s.width, s.web, s.flange, s.fillet))
        assert (float(area), float(inertia)) == pytest.approx(want, rel=3e-4), n  # printed to four digits
