# The README's figures are those the program gives: its examples are run as
# they stand and the figures quoted beside them compared.
import re
from pathlib import Path

import pytest

import nlframe
from conftest import SOURCE

README = (SOURCE / "README.md").read_text()


def block_after(lead):
    """The indented code block that follows the paragraph ending in `lead`."""
    rest = README[README.index(lead) + len(lead):]
    lines = []
    for line in rest.splitlines()[1:]:
        if line.startswith("    "):
            lines.append(line[4:])
        elif lines:
            break
    return lines


def test_built_portal_gives_the_figures_the_readme_quotes(tmp_path, monkeypatch):
    code = [l for l in block_after("A portal frame built, pushed past its peak and plotted:") if ".plot(" not in l]
    monkeypatch.chdir(tmp_path)
    scope = {}
    exec("\n".join(code), scope)
    run = scope["run"]
    m = re.search(r"load factor of ([\d.]+) \(`run.peaks\[1\]`, step (\d+)\)\s+near (\d+) mm of sway[.;].*?"
                  r"takes (\d+) steps and (\d+) iterations", README, re.S)
    factor, step, sway, steps, iterations = m.groups()
    peak = run.peaks[1]
    assert (run.status, run.steps, run.iterations, peak.step) == (0, int(steps), int(iterations), int(step))
    assert round(peak.value, 2) == float(factor)
    curve = run.curves[61]
    assert round(float(curve[curve.step == peak.step]["2D.X(MM)"].iloc[0])) == int(sway)


def test_portal_deck_gives_the_figures_the_readme_quotes(tmp_path):
    lines = block_after("numpy or pandas raises an ImportError that names the interpreter the\npackage was built for).")
    want = eval(lines[lines.index(">>> run.status, run.steps, run.iterations, run.peaks[1].value, "
                                  "run.peaks[1].step") + 1])
    run = nlframe.run(SOURCE / "examples" / "portal.dat", workdir=tmp_path / "portal")
    assert (run.status, run.steps, run.iterations, run.peaks[1].value, run.peaks[1].step) == want


def test_deck_check_of_the_portal_prints_what_the_readme_shows():
    import subprocess
    from conftest import BUILD
    shown = block_after("memory or goes to scratch files:")
    assert shown[0] == "$ build/nlframe-check examples/portal.dat"
    done = subprocess.run([str(BUILD / "nlframe-check"), "examples/portal.dat"], cwd=SOURCE, capture_output=True,
                          text=True)
    assert done.returncode == 0
    assert done.stdout.splitlines() == shown[1:]
