# A Run owns its results: a later run into its folder cannot change what it
# reports, a run going on keeps every other run out of its folder, a refused
# deck leaves the folder alone, and a finished folder opens as its Run again.
import os
import subprocess
import sys
import tempfile
import threading
from pathlib import Path

import pytest

import nlframe
from conftest import BUILD, CASES, expected, result_files


def snapshot(folder):
    return {p.name: (p.read_bytes(), p.stat().st_mtime_ns) for p in Path(folder).iterdir()}


def test_a_later_run_in_the_folder_does_not_change_a_run(case, tmp_path):
    w = tmp_path / "w"
    ra = nlframe.run(case("example-portal"), workdir=w, threads=1)
    read = nlframe.open(w)
    kept = read.joint_displacements.copy()  # read before: the Run keeps every table
    rb = nlframe.run(case("example-cantilever"), workdir=w, threads=1)
    assert read.joint_displacements.equals(kept) and len(read.curves[61]) == ra.steps
    ra2 = nlframe.open(w)
    with pytest.raises(nlframe.FolderReusedError, match=str(w)):
        ra.curves
    assert rb.curves[61].equals(nlframe.open(w).curves[61])
    (w / "fort.61").write_bytes((w / "fort.61").read_bytes() + b"\n")  # the files changed under it
    with pytest.raises(nlframe.FolderReusedError, match="changed"):
        ra2.listing
    assert isinstance(nlframe.FolderReusedError("x"), OSError)


def test_a_folder_in_use_refuses_a_second_run_from_a_thread_or_a_process(case, tmp_path):
    w, other = tmp_path / "w", case("example-cantilever")
    refused = []

    def second():
        try:
            nlframe.run(other, workdir=w, threads=1)
        except nlframe.FolderBusyError as e:
            refused.append(str(e))
        env = dict(os.environ, PYTHONPATH=str(BUILD / "python"))
        done = subprocess.run([sys.executable, "-c", "import nlframe, sys; nlframe.run(sys.argv[1], workdir=sys.argv[2])",
                               str(other), str(w)], env=env, capture_output=True, text=True)
        refused.append(done.stderr.strip().splitlines()[-1])

    def progress(step, lf):
        if step == 2:
            t = threading.Thread(target=second)
            t.start()
            t.join()

    run = nlframe.run(case("example-portal"), workdir=w, threads=1, progress=progress)
    assert len(refused) == 2
    assert refused[0] == ("%s: another run is going on in this folder" % w)
    assert refused[1].startswith("nlframe._folder.FolderBusyError") and str(w) in refused[1]
    assert run.status == 0
    for f in result_files(expected("example-portal")):
        assert (w / f).read_bytes() == (expected("example-portal") / f).read_bytes()
    assert nlframe.run(other, workdir=w, threads=1).status == 0  # free again once the run ended


def test_a_refused_deck_leaves_the_folder_as_it_was(case, tmp_path, monkeypatch):
    w = tmp_path / "w"
    good = nlframe.run(case("example-portal"), workdir=w, threads=1)
    before = snapshot(w)
    with pytest.raises(nlframe.DeckError) as e:
        nlframe.run(case("member-undefined-section"), workdir=w, threads=1)
    assert e.value.line == 5
    assert snapshot(w) == before
    assert good.curves[61].shape[0] == good.steps
    monkeypatch.chdir(tmp_path)
    with pytest.raises(FileNotFoundError):
        nlframe.run("no-such.dat")
    with pytest.raises(FileNotFoundError):
        nlframe.run("no-such.dat", workdir="made/not")
    assert sorted(p.name for p in tmp_path.iterdir()) == ["example-portal", "member-undefined-section", "w"]


def test_open_gives_the_run_back(case, tmp_path):
    deck = case("limit-point-stop")  # a run that stopped: its peaks, warnings and second line
    live = nlframe.run(deck, workdir=tmp_path / "w", threads=1)
    again = nlframe.open(tmp_path / "w")
    for a in ("status", "message", "steps", "iterations", "not_converged", "peaks", "messages", "seconds"):
        assert getattr(again, a) == getattr(live, a), a
    assert str(again.deck) == str(live.deck)
    for t in ("joint_displacements", "joint_forces", "member_forces", "member_nodes", "stations"):
        assert getattr(again, t).equals(getattr(live, t)), t
    assert again.listing == live.listing
    line = next(m for m in live.messages if m.startswith("before the stop: "))
    assert line.endswith(", %.2f s" % live.seconds)

    # A folder the program ran in: figures and peaks from its files.
    name = "example-portal"
    cli = nlframe.open(expected(name), deck=CASES / name / "1" / "portal.dat")
    ref = nlframe.run(case(name), workdir=tmp_path / "p", threads=1)
    assert (cli.status, cli.steps, cli.iterations) == (None, ref.steps, ref.iterations)
    assert [(p.group, p.step, p.joint) for p in cli.peaks] == [(p.group, p.step, p.joint) for p in ref.peaks]
    assert [p.value for p in cli.peaks] == pytest.approx([p.value for p in ref.peaks], rel=1e-3)  # forces as the tables print them
    assert cli.curves[61].equals(ref.curves[61])
    assert not (expected(name) / ".nlframe.lock").exists()  # a read writes nothing
    with pytest.raises(ValueError, match="name its deck"):
        nlframe.open(expected(name))


def portal(title, push):
    m = nlframe.Model(title)
    m.material(2100., 21., 21.)
    s = m.section("HEA200", yield_stress=2.35)
    a, b, c, d = [m.joint(x, y) for x, y in [(0, 0), (0, 300), (600, 300), (600, 0)]]
    for i, j in [(a, b), (b, c), (c, d)]:
        m.member(i, j, s)
    m.watch(nlframe.displacement(b, "x"))
    m.supports(a, d)
    m.load(b, fx=push)
    m.load_steps(3)
    return m


def test_run_many_takes_models_and_gives_runs(case, tmp_path, monkeypatch):
    monkeypatch.setattr(tempfile, "tempdir", str(tmp_path / "tmp"))
    (tmp_path / "tmp").mkdir()
    models = [portal("PUSH A", 1.), portal("PUSH B", 2.)]
    runs = nlframe.run_many(models + [case("example-portal")], jobs=2, workdir=tmp_path / "many")
    assert [Path(r.folder).name for r in runs] == ["push-a", "push-b", "portal"]
    a, b, deck = runs
    assert b.curves[61].iloc[-1, -1] == pytest.approx(2 * a.curves[61].iloc[-1, -1], rel=1e-3)
    assert deck.summary().status == 0
    single = models[0].run()
    assert single.curves[61].equals(a.curves[61])
    [bare] = nlframe.run_many([models[1]], jobs=1)
    assert bare.curves[61].equals(b.curves[61])
    assert list((tmp_path / "tmp").iterdir()) == []  # no temporary folder left
    kept = models[0].run(keep=True)
    assert kept.folder.is_dir() and kept.folder.parent == tmp_path / "tmp"
    [missing] = nlframe.run_many([tmp_path / "missing.dat"], jobs=1)
    assert missing.status == 2
    with pytest.raises(nlframe.ResultError, match="did not take place"):
        missing.joint_forces


def test_peaks_by_group_one_time_and_the_version(case, tmp_path, monkeypatch):
    run = nlframe.run(case("example-portal"), workdir=tmp_path / "w", threads=1)
    assert run.peak(2) is run.peaks[1] and run.peak(2).group == 2
    with pytest.raises(KeyError, match="groups 1, 2, 3"):
        run.peak(4)
    summary = next(m for m in run.messages if m.startswith(run.message))
    assert summary.endswith(", %.2f s" % run.seconds)
    force = run.peak(3)
    assert force.displacement_mm == 10 * force.displacement
    assert "(displacement %.5G mm)" % force.displacement_mm in run.message
    assert run.peak(1).displacement_mm is None
    assert nlframe.__version__ == "2.0"

    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="built for .*--system-site-packages"):
        run.curves
