# The DataFrames of a run hold every value the result files print, each the
# double its printed digits name; the figures are those of the program's
# summary line.
import math
import re

import pytest

import nlframe
from conftest import expected

ROW = re.compile(r"^\s*\d+[\s(]")


def printed(path, cut):
    """(step, fields) for every row of a result file; cut(line) -> fields."""
    step, out = 0, []
    for line in path.read_text().splitlines():
        m = re.match(r" STEP[ =]+(\d+)", line)
        if m:
            step = int(m.group(1))
        elif ROW.match(line):
            out.append((step, cut(line)))
    return out


def member_row(line):  # "   1   1-  2     -8.000( -0.0134) ...": member, I, J by place
    return re.findall(r"\d+", line[:12]) + line[12:].replace("(", " ").replace(")", " ").split()


def node_row(line):  # "   1(  1-  2)  1  values"
    head, rest = line.split(")", 1)
    return re.findall(r"\d+", head) + rest.split()


def station_row(line):  # station, fibre states (strain) 20 stresses that may touch (strain)
    head, strain1, stresses, strain20 = re.match(r"(.*)\((.*?)\)(.*)\((.*)\)$", line).groups()
    return head.split() + [strain1.strip()] + re.findall(r"-?\d+", stresses) + [strain20.strip()]


def same(frame, rows, order=None):
    assert len(frame) == len(rows)
    for (step, fields), values in zip(rows, frame.itertuples(index=False)):
        values = list(values)
        if order:
            values = [values[i] for i in order]
        assert values[0] == step
        assert len(values) == len(fields) + 1
        for v, f in zip(values[1:], fields):
            if isinstance(v, str):
                assert v == f
            elif f.startswith("*"):
                assert math.isnan(v)
            else:
                assert v == float(f), (step, fields)


@pytest.mark.parametrize("name", ["example-portal", "frame-110-arc"])
def test_every_value_as_printed(case, name):
    run = nlframe.run(case(name), threads=2)
    exp = (expected(name) / ".stderr").read_text().strip()
    assert run.status == 0
    assert exp == "nlframe: " + run.message + ", T s"
    assert (run.steps, run.iterations) == tuple(int(x) for x in re.findall(r"(\d+) (?:steps|iterations)", exp))
    def text(p):  # as the summary line names a peak
        if p.kind == "load_factor":
            t = "group %d load factor %.5G at step %d" % (p.group, p.value, p.step)
        else:
            t = "group %d force %s %.5G t at step %d (displacement %.5G mm)" % (
                p.group, p.direction.upper(), p.value, p.step, 10 * p.displacement)
        return t + ("" if p.passed else " (still rising, no peak passed)")
    assert run.peaks and run.peaks[0].kind == "load_factor" and run.peaks[0].group == 1
    assert "; peak%s: %s, T s" % ("s" if len(run.peaks) > 1 else "", ", ".join(map(text, run.peaks))) in exp
    assert run.listing == (expected(name) / "R.rst").read_text()

    f = run.folder
    same(run.joint_displacements, printed(f / "Jdis.rst", str.split))
    same(run.joint_forces, printed(f / "Jfor.rst", str.split))
    same(run.member_forces, printed(f / "Mfor.rst", member_row))
    same(run.member_nodes, printed(f / "Mdis.rst", node_row))
    # stations: step, member, I, J, station, state, at_upper, at_lower, strains, stresses
    st = run.stations
    order = [0, 4, 5, 8] + list(range(10, 30)) + [9]
    same(st, printed(f / "Mstr.rst", station_row), order)
    assert list(st.columns[:10]) == ["step", "member", "joint_I", "joint_J", "station", "state", "at_upper",
                                     "at_lower", "STRAIN_1(%)", "STRAIN_20(%)"]
    for unit, curve in run.curves.items():
        lines = (f / ("fort.%d" % unit)).read_text().splitlines()
        head = next(i for i, l in enumerate(lines) if l.startswith("   STEP"))
        assert list(curve.columns) == ["step"] + lines[head].split()[1:]
        same(curve, [(int(l.split()[0]), l.split()[1:]) for l in lines[head + 1:]])


def test_values_too_wide_for_their_field_are_nan_with_a_warning_naming_them(case):
    run = nlframe.run(case("column-fixed-long-steps"))
    with pytest.warns(nlframe.TableWarning) as caught:
        stations = run.stations
    text = str(caught[0].message)
    m = re.search(r"STRAIN_1\(%\) in (\d+) rows \(rows (\d+), ", text)
    assert text.startswith("stations: ") and m, text
    strain = stations["STRAIN_1(%)"]
    assert strain.isna().sum() == int(m.group(1)) and math.isnan(strain.iloc[int(m.group(2))])
    assert strain.iloc[: int(m.group(2))].notna().all()
