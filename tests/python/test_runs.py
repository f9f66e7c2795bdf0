# Runs in-process: two at once in two threads write what the program writes,
# a cancelled run stops cleanly without harm to the next, and every way a
# deck fails reaches the caller in its own form.
import errno
import re
import threading
from pathlib import Path

import pytest

import nlframe
from conftest import expected, result_files


def same_files(folder, name):
    exp = expected(name)
    assert result_files(folder) == result_files(exp)
    for f in result_files(exp):
        assert (Path(folder) / f).read_bytes() == (exp / f).read_bytes(), f


def test_the_program_leaves_the_record_that_open_reads(case):
    import subprocess
    from conftest import BUILD
    deck = Path(case("frame-110-arc"))
    done = subprocess.run([str(BUILD / "nlframe"), "-o", "out", deck.name], cwd=deck.parent, capture_output=True)
    assert done.returncode == 0, done.stderr
    run = nlframe.open(deck.parent / "out")
    assert run.status == 0 and run.steps == 15 and run.peaks[1].step == 15
    assert run.deck == Path(deck.name) and run.message in done.stderr.decode()
    assert run.joint_displacements["step"].max() == 15
    # The companions find the run by its folder; beside the deck it is not.
    for tool, made in [("nlframe-export", "joints.csv"), ("nlframe-plot", "frame.svg")]:
        done = subprocess.run([str(BUILD / tool), "out"], cwd=deck.parent, capture_output=True)
        assert done.returncode == 0 and (deck.parent / "out" / made).is_file(), done.stderr
    assert not (deck.parent / "R.rst").exists()
    # A deck that is not the run's is refused, though the record names the run's.
    other = deck.parent / "other.dat"
    other.write_text("".join(l for l in deck.read_text().splitlines(True) if not l.startswith("P")))
    with pytest.raises(nlframe.ResultError, match="holds a card that .*other.dat lacks"):
        nlframe.open(deck.parent / "out", deck=other)
    page = run.report(deck.parent / "page")
    assert "<svg" in page.read_text() or (page.parent / "frame.svg").is_file()


def test_two_runs_at_once_write_what_the_program_writes(case):
    decks = {"frame-110-arc": case("frame-110-arc"), "example-pushover": case("example-pushover")}
    runs, steps = {}, {}

    def go(name):
        steps[name] = []
        runs[name] = nlframe.run(decks[name], threads=2, progress=lambda s, lf: steps[name].append((s, lf)))

    threads = [threading.Thread(target=go, args=(n,)) for n in decks]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for name, run in runs.items():
        assert run.status == 0
        same_files(run.folder, name)
        assert [s for s, _ in steps[name]] == list(range(1, run.steps + 1))
    peak = runs["frame-110-arc"].peaks[0]
    assert dict(steps["frame-110-arc"])[peak.step] == peak.value


def test_cancelled_run_stops_and_the_next_is_unharmed(case, tmp_path):
    token = nlframe.Cancel()
    seen = []

    def progress(step, lf):
        seen.append(step)
        if step == 3:
            threading.Thread(target=token.cancel).start()

    run = nlframe.run(case("frame-110-arc"), workdir=tmp_path / "cut", threads=1, progress=progress, cancel=token)
    assert token.cancelled
    assert run.status == nlframe.CANCELLED
    assert run.message.startswith("the run was cancelled in step ")
    assert 3 <= run.steps < 15 and seen == list(range(1, run.steps + 1))
    assert run.joint_displacements["step"].max() == run.steps  # files closed whole

    def fails(step, lf):
        raise KeyError("stop here")

    with pytest.raises(KeyError):
        nlframe.run(case("example-portal"), workdir=tmp_path / "raised", progress=fails)

    def ctrl_c(step, lf):
        if step == 4:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        nlframe.run(case("frame-110-arc"), workdir=tmp_path / "ctrl-c", threads=1, progress=ctrl_c)
    # The files are whole and the run left its record: the folder opens as it is.
    for folder, steps in [("raised", 1), ("ctrl-c", 4)]:
        cut = nlframe.open(tmp_path / folder)
        assert cut.status == nlframe.CANCELLED and cut.steps == steps, (folder, cut.message)
    assert cut.joint_displacements["step"].max() == 3  # output every third step

    again = nlframe.run(case("frame-110-arc"), threads=2)
    assert again.status == 0
    same_files(again.folder, "frame-110-arc")


@pytest.mark.parametrize("name", ["member-undefined-section", "Startup.BadDecksStopWithAMessageNamingTheCard"])
def test_deck_error_names_the_place_of_the_program_line(case, monkeypatch, name):
    deck = case(name)
    monkeypatch.chdir(deck.parent)
    with pytest.raises(nlframe.DeckError) as e:
        nlframe.run(deck.name, workdir="out")
    line = (expected(name) / ".stderr").read_text().strip()
    assert line == "nlframe: " + str(e.value)
    assert line.startswith("nlframe: %s: line %d, columns %d-%d: " % ((e.value.file, e.value.line) + e.value.columns))
    assert line.endswith(": " + e.value.message)
    assert isinstance(e.value, ValueError)
    assert [f.line for f in e.value.findings if f.severity == "error"][:1] == [e.value.line]
    assert nlframe.check(deck.name) == e.value.findings


def test_files_threads_and_stops(case, tmp_path, monkeypatch):
    with pytest.raises(FileNotFoundError, match="cannot open the deck"):
        nlframe.run(tmp_path / "missing.dat")
    deck = case("example-portal")
    (tmp_path / "plain").write_text("")
    with pytest.raises(OSError):
        nlframe.run(deck, workdir=tmp_path / "plain")  # a file, not a folder
    # A folder as the deck: refused before the results of an earlier run are touched.
    done = nlframe.run(deck, workdir=tmp_path / "done", threads=1)
    listing = (done.folder / "R.rst").read_bytes()
    with pytest.raises(OSError) as e:
        nlframe.run(tmp_path, workdir=done.folder)
    assert e.value.errno == errno.EISDIR and not isinstance(e.value, ValueError)
    assert (done.folder / "R.rst").read_bytes() == listing
    for bad in (0, 257, -1, 2**70, "2", 1.5, True):
        with pytest.raises(ValueError, match="^threads must be a whole number from 1 to 256, not %s$"
                           % re.escape(repr(bad))):
            nlframe.run(deck, threads=bad, workdir=tmp_path / "threads")
    monkeypatch.setenv("NLFRAME_THREADS", "two")
    with pytest.raises(ValueError, match="^NLFRAME_THREADS=two: the number of threads must be a whole number "
                                         "from 1 to 256$"):
        nlframe.run(deck, workdir=tmp_path / "threads")
    assert not (tmp_path / "threads").exists()  # refused before the folder is made
    monkeypatch.setenv("NLFRAME_THREADS", "2")
    assert nlframe.run(deck, workdir=tmp_path / "threads", threads=None).status == 0
    monkeypatch.delenv("NLFRAME_THREADS")

    run = nlframe.run(case("limit-point-stop"), threads=1)
    assert run.status == 1
    stderr = (expected("limit-point-stop") / ".stderr").read_text().splitlines()
    assert "nlframe: " + run.message == stderr[0]
    assert stderr[1].startswith("nlframe: before the stop: 11 steps")
    assert [(p.group, round(p.value, 4), p.passed) for p in run.peaks] == [(1, 5, False), (2, 3.2576, False)]
    assert run.steps == 11


def test_peaks_tell_their_trust_and_internal_faults_raise_run_error(case, tmp_path, monkeypatch):
    deck = case("example-portal")
    peak = nlframe.run(deck, workdir=tmp_path / "ok", threads=1).peaks[0]
    assert type(peak.passed) is bool and type(peak.converged) is bool and type(peak.strain) is float

    real = nlframe._nlframe.run

    def faulty(*args):
        r = real(*args)
        r.status, r.internal_error, r.message = 1, True, "internal error: lost"
        r.messages = ["nlframe: internal error: lost"]
        return r
    monkeypatch.setattr(nlframe._nlframe, "run", faulty)
    with pytest.raises(nlframe.RunError) as e:
        nlframe.run(deck, workdir=tmp_path / "bad", threads=1)
    assert (e.value.status, e.value.message) == (1, "internal error: lost")
    assert e.value.messages == ["nlframe: internal error: lost"]
    [s] = nlframe.run_many([deck], jobs=1, workdir=tmp_path / "many")
    assert (s.status, s.message) == (1, "internal error: lost")


def card(ch, i1=0, i2=0, i3=0, xs=()):
    return "%s%3d%3d%3d" % (ch, i1, i2, i3) + "".join("%10s" % ("%g." % x if x == int(x) else "%g" % x)
                                                      for x in xs) + "\n"


def test_check_finds_every_error_and_warning(tmp_path, monkeypatch):
    deck = ("   0  0  1     CHECKED\n" + card("P", xs=(2100, 21, 2100)) + card("J", 1, xs=(0, 0))
            + card("J", 2, xs=(300, 0)) + card("O", 1, xs=(20, 10, 0, 0, 0, 2.4))
            + card("R", 2, xs=(20, 0, 12, 0, 0, 2.4)) + card("M", 1, 7, 1, (0.2, 0.4, 0.6, 0.8))
            + card("L", 30, 1) + card("B", 1, 111) + card("E", 0, 5, 5, (1e-8,)) + "F\n")
    (tmp_path / "bad.dat").write_text(deck)
    monkeypatch.chdir(tmp_path)
    found = nlframe.check("bad.dat")
    assert [(f.severity, f.line, f.columns) for f in found] == \
        [("error", 2, (31, 40)), ("warning", 6, (31, 40)), ("error", 7, (5, 7))]
    assert found[0].message == "P card gives E3 = 2100, which is not below E = 2100"
    assert str(found[2]) == "bad.dat: line 7, columns 5-7: M card names joint 7, which is not defined"
    with pytest.raises(nlframe.DeckError) as e:
        nlframe.run("bad.dat")
    assert (e.value.line, e.value.columns, e.value.findings) == (2, (31, 40), found)
    assert not (tmp_path / "bad").exists()  # refused before its folder is made


def test_the_package_face_gives_every_public_name_and_the_programs_limits():
    assert [n for n in nlframe.__all__ if not hasattr(nlframe, n)] == []
    assert (nlframe.model.MAX_JOINTS, nlframe.model.FIXED_JOINTS) == (999, 333)
