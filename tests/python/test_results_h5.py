# results.h5 against the text result files: every value the text prints
# equals the file's value to the printed digits, and a value the text
# cannot print (asterisks) is whole in the file; on 1 and 2 threads, with
# the fibre state in memory and in scratch files, for a continued run, and
# for runs that stop (an error, a signal, a cancel).
import io
import os
import signal
import subprocess
import time

import h5py
import numpy as np
import pandas as pd
import pytest

import nlframe
from nlframe import _h5, _nlframe
from nlframe.model import Model
from conftest import BUILD

PROGRAM = BUILD / "nlframe"
NUMBER = r"^([-+]?)(\d*)\.?(\d*)(?:[EeDd]?([-+]\d+))?$"


def program(folder, deck, *options, threads=1):
    env = dict(os.environ, NLFRAME_THREADS=str(threads))
    return subprocess.run([str(PROGRAM), *options, deck], cwd=folder, env=env, capture_output=True, text=True)


def half_unit(printed):
    """Half a unit of the last printed digit of every number as the text prints it."""
    parts = printed.str.extract(NUMBER)
    exp = pd.to_numeric(parts[3], errors="coerce").fillna(0).to_numpy()
    return 0.5 * 10.0 ** (exp - parts[2].fillna("").str.len().to_numpy())


def text_tables(deck, folder):
    """The tables of the text files, every number as the string it prints."""
    t = _nlframe.tables(str(deck), str(folder))
    frame = lambda data: pd.read_csv(io.BytesIO(data), dtype=str, keep_default_na=False)
    joints = frame(t["joints"])
    keys = ["step", "joint"]
    return {"joint_displacements": joints[keys + list(t["joint_displacement_columns"])],
            "joint_forces": joints[keys + list(t["joint_force_columns"])],
            "member_forces": frame(t["member_forces"]), "member_nodes": frame(t["member_nodes"]),
            "stations": frame(t["stations"]), "curves": {u: frame(x) for u, x in t["curves"].items()}}


def assert_same(text, h5, what):
    assert list(h5.columns) == list(text.columns), what
    assert len(h5) == len(text), what
    overflowed = 0
    for c in text.columns:
        printed, value = text[c], h5[c].to_numpy()
        if c == "state":
            assert (value == printed.to_numpy()).all(), what
            continue
        empty = (printed == "").to_numpy()  # asterisks: the file keeps the value whole
        assert np.isfinite(value[empty].astype(float)).all(), (what, c)
        overflowed += int(empty.sum())
        shown = printed[~empty]
        number = pd.to_numeric(shown.str.replace("D", "E")).to_numpy()
        # Stresses: hundredths rounded half away from zero.
        tol = 0.5 + 1e-9 if c.startswith("STRESS") else half_unit(shown) * (1 + 1e-9) + 1e-300
        bad = np.abs(value[~empty] - number) > tol
        assert not bad.any(), (what, c, shown[bad][:3].tolist(), value[~empty][bad][:3])
    return overflowed


def compare(deck, folder):
    """Every table of the two stores; the count of values the text overflowed."""
    text, h5 = text_tables(deck, folder), _h5.read_tables(folder)
    n = 0
    for name in ("joint_displacements", "joint_forces", "member_forces", "member_nodes", "stations"):
        n += assert_same(text[name], h5[name], name)
    assert sorted(text["curves"]) == sorted(h5["curves"])
    for unit, t in text["curves"].items():
        c = h5["curves"][unit]
        # A continued run's curve file has no header of labels: the file still names its values.
        unnamed = [k for k, name in enumerate(t.columns) if name.startswith("column_")]
        c.columns = [t.columns[k] if k in unnamed else name for k, name in enumerate(c.columns)]
        n += assert_same(t, c, "curve %d" % unit)
    return n


@pytest.mark.parametrize("threads", [1, 2])
@pytest.mark.parametrize("name", ["example-pushover", "frame-204-scratch", "limit-point-stop"])
def test_every_value_equals_the_text_to_its_digits(case, name, threads):
    deck = case(name)
    r = program(deck.parent, deck.name, "--results", "h5", threads=threads)
    compare(deck, deck.parent)
    with h5py.File(deck.parent / "results.h5") as f:
        assert f["summary"].attrs["status"] == r.returncode
        assert f.attrs["complete"] == 1
        assert f["deck"][()].decode() == deck.read_text()


# A bar pulled by 2000 t a step: forces, stresses and the curve outgrow their fields.
PULLED_BAR = """   0  0  1     PULLED BAR
P  0  0  0     2100.       21.       21.
I  1  0  0       30.       15.      0.71      1.07       1.5    90000.
J  1  0  0        0.        0.
J  2  0  0        0.      300.
M  1  2  1       0.2       0.4       0.6       0.8
W  0  0  0      2.12
L 30  1  0
B  1111  0
B  2  0  0        0.  2000000.
E  0  2  1     1E-08
F
"""


def test_the_text_files_hold_the_tables_and_steps_chosen(case):
    deck = case("example-pushover")
    assert program(deck.parent, deck.name, "--tables", "joints,fibres", "--every", "5").returncode == 0
    text = text_tables(deck, deck.parent)
    assert sorted(set(text["joint_forces"]["step"].astype(int))) == list(range(5, 36, 5))
    assert sorted(set(text["stations"]["step"].astype(int))) == list(range(5, 36, 5))
    assert text["member_forces"].empty and text["curves"][61].empty
    assert "STEP" not in (deck.parent / "Mfor.rst").read_text().split("MEMBER FORCES")[-1]


def test_values_that_overflow_the_text_are_whole_in_the_file(tmp_path):
    (tmp_path / "bar.dat").write_text(PULLED_BAR)
    assert program(tmp_path, "bar.dat", "--results", "h5").returncode == 0
    assert compare(tmp_path / "bar.dat", tmp_path) > 0
    with h5py.File(tmp_path / "results.h5") as f:
        # End I carries the load: 2000 t, then 4000 t at step 2 (tension).
        assert f["members/forces"][:, 0, 0] == pytest.approx([2.0e6, 4.0e6], rel=1e-9)


def test_a_continued_run_holds_its_own_steps(case):
    first = case("Restart.SavedAndContinuedRunMatchesAnUninterruptedRun-2", 1)
    assert program(first.parent, first.name, "--results", "h5").returncode == 0
    compare(first, first.parent)
    cont = case("Restart.SavedAndContinuedRunMatchesAnUninterruptedRun-2", 2)
    assert program(cont.parent, cont.name, "--results", "h5").returncode == 0
    compare(cont, cont.parent)
    with h5py.File(first.parent / "results.h5") as a, h5py.File(cont.parent / "results.h5") as b:
        assert b["joints/step"][0] == a["joints/step"][-1] + 1


def long_frame(path, steps):
    m = Model("LONG FRAME")
    m.material(2100., 21., 21.)
    s = m.i_section(30, 15, 0.71, 1.07, 1.5, 2.4)
    rows = [[m.joint(600. * c, 350. * f) for c in range(4)] for f in range(11)]
    for f in range(1, 11):
        for c in range(4):
            m.member(rows[f - 1][c], rows[f][c], s)
        for c in range(3):
            m.member(rows[f][c], rows[f][c + 1], s)
    m.iterations(30, 29)
    m.supports(*rows[0])
    for f in range(1, 11):
        m.load(rows[f][0], fx=0.001)
    m.load_steps(steps, tolerance=1e-30)
    m.finish()
    return m.write(path)


def test_a_run_stopped_by_a_signal_leaves_a_readable_file_of_its_steps(tmp_path):
    deck = long_frame(tmp_path / "long.dat", 999)
    p = subprocess.Popen([str(PROGRAM), "--results", "h5", "long.dat"], cwd=tmp_path, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, env=dict(os.environ, NLFRAME_THREADS="1"))
    time.sleep(1.0)
    p.send_signal(signal.SIGTERM)
    p.communicate(timeout=120)
    assert p.returncode == 128 + signal.SIGTERM  # the program's status of a run ended by SIGTERM
    with h5py.File(tmp_path / "results.h5") as f:
        steps = f["joints/step"][()]
        assert len(steps) >= 2 and list(steps) == list(range(1, len(steps) + 1))
        assert f["fibres/stress"].shape[0] == len(steps)
        assert f["summary"].attrs["status"] == nlframe.CANCELLED
    compare(deck, tmp_path)


def test_python_runs_read_the_file_and_choose_what_is_written(case, tmp_path):
    deck = case("example-pushover")
    text = nlframe.run(deck, workdir=tmp_path / "text")
    both = nlframe.run(deck, workdir=tmp_path / "h5", results="h5")
    only = nlframe.run(deck, workdir=tmp_path / "only", results="h5-only", fibres_every=10, tables="joints,fibres,curves")
    assert (text.store, both.store, only.store) == ("text", "h5", "h5")
    assert not (tmp_path / "only" / "Mstr.rst").exists() and (tmp_path / "only" / "fort.61").exists()
    for name in ("joint_forces", "member_forces", "stations"):
        a, b = text.__getattribute__(name), both.__getattribute__(name)
        assert list(a.columns) == list(b.columns) and len(a) == len(b)
    assert sorted(set(only.stations["step"])) == [10, 20, 30]
    packed = nlframe.run(deck, workdir=tmp_path / "packed", results="h5-only", compress=6)
    assert packed.stations.equals(both.stations)
    assert (tmp_path / "packed" / "results.h5").stat().st_size < (tmp_path / "h5" / "results.h5").stat().st_size
    assert only.member_forces.empty and len(only.joint_forces) == len(text.joint_forces)
    # A later text run in the folder takes the earlier file away.
    earlier = nlframe.open(tmp_path / "h5")
    again = nlframe.run(deck, workdir=tmp_path / "h5")
    assert again.store == "text" and not (tmp_path / "h5" / "results.h5").exists()
    with pytest.raises(nlframe.FolderReusedError):
        earlier.stations
    with pytest.raises(ValueError, match="tables"):
        nlframe.run(deck, workdir=tmp_path / "bad", tables="joints,stress")
    with pytest.raises(ValueError, match="compress"):
        nlframe.run(deck, workdir=tmp_path / "bad", results="h5", compress=10)
    with pytest.raises(ValueError, match="fibres_every"):
        nlframe.run(deck, workdir=tmp_path / "bad", fibres_every=0)


def test_the_builder_writes_the_fibres_of_a_long_history_at_about_100_steps(tmp_path):
    m = Model("LONG CANTILEVER")
    m.material(2100., 21., 21.)
    s = m.i_section(30, 15, 0.71, 1.07, 1.5, 2.4)
    a, b = m.joint(0., 0.), m.joint(300., 0.)
    m.member(a, b, s)
    m.supports(a)
    m.load(b, fy=-0.001)
    m.load_steps(250)
    m.finish()
    default, every = m.run(tmp_path / "default", results="h5"), m.run(tmp_path / "every", fibres_every=1)
    assert sorted(set(default.stations["step"])) == list(range(2, 251, 2))
    assert len(default.joint_forces) == len(every.joint_forces) == 2 * 250
    assert sorted(set(every.stations["step"])) == list(range(1, 251))


def test_export_and_plot_read_a_run_kept_in_results_h5_alone(case, tmp_path):
    (tmp_path / "bar.dat").write_text(PULLED_BAR)
    assert program(tmp_path, "bar.dat", "--results", "h5-only").returncode == 0
    assert not (tmp_path / "Mfor.rst").exists()
    e = subprocess.run([str(BUILD / "nlframe-export"), "-o", "csv", "bar.dat"], cwd=tmp_path, capture_output=True,
                       text=True)
    assert e.returncode == 0, e.stderr
    forces = pd.read_csv(tmp_path / "csv" / "member-forces.csv")
    assert list(forces["NI(TON)"]) == pytest.approx([2.0e6, 4.0e6], rel=1e-12)  # whole: Mfor.rst overflows
    stations = pd.read_csv(tmp_path / "csv" / "stations.csv", dtype={"state": str})
    h5 = _h5.read_tables(tmp_path)["stations"]
    assert list(stations.columns) == list(h5.columns)
    assert np.array_equal(stations["STRESS_7(T/CM2/100)"], h5["STRESS_7(T/CM2/100)"])  # round trip, bit for bit
    # The push both ways: the CSV tables from the file hold the text's digits; the
    # plastic zones (fibre states) draw the same.
    text, only = case("example-pushover"), case("example-pushover")
    assert program(text.parent, text.name).returncode == 0
    assert program(only.parent, only.name, "--results", "h5-only").returncode == 0
    for d in (text, only):
        p = subprocess.run([str(BUILD / "nlframe-plot"), d.name], cwd=d.parent, capture_output=True, text=True)
        assert p.returncode == 0, p.stderr
        e = subprocess.run([str(BUILD / "nlframe-export"), "-o", "csv", d.name], cwd=d.parent, capture_output=True)
        assert e.returncode == 0, e.stderr
    for svg in ("frame.svg", "base-shear.svg", "curve-61.svg"):
        assert (only.parent / svg).exists(), svg
    assert (only.parent / "plastic.svg").read_text() == (text.parent / "plastic.svg").read_text()
    read = lambda d, name, **kw: pd.read_csv(d.parent / "csv" / name, keep_default_na=False, **kw)
    for name in ("joints.csv", "member-forces.csv", "member-nodes.csv", "stations.csv", "curve-61.csv"):
        assert_same(read(text, name, dtype=str), read(only, name, dtype={"state": str}), name)
    deck = only
    opened = nlframe.open(deck.parent, deck=deck)  # a program's run: figures from the listing and the file
    assert opened.store == "h5" and opened.peaks and len(opened.stations) == 35 * 6 * 10


def test_an_earlier_file_never_passes_for_the_runs_own(case):
    deck = case("member-undefined-section")  # stops in the structure input, before any step
    (deck.parent / "results.h5").write_bytes(b"an earlier run's file")
    assert program(deck.parent, deck.name, "--results", "h5").returncode == 1
    with h5py.File(deck.parent / "results.h5") as f:
        assert f["summary"].attrs["status"] == 1 and "joints" not in f
    (deck.parent / "results.h5").write_bytes(b"an earlier run's file")
    assert program(deck.parent, deck.name).returncode == 1
    assert not (deck.parent / "results.h5").exists()
