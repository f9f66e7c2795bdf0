"""Time of the buckling analysis (V card) against frame size (a benchmark,
not a test).

    PYTHONPATH=build/python /usr/bin/python3 bench/buckling.py [--program build/nlframe] [--repeat 3] [--modes 4]

Frames of about 100, 400 and 999 joints (bays x storeys, every member one
part), written by the package's builder, under gravity on every joint and a
lateral load: one load-controlled step, with and without a V card before it.
Each deck runs as a whole process with --capacity auto on one thread; the
buckling analysis takes the difference of the best of --repeat runs of
either. The table gives the equations of the eigenproblem (every node
point's three freedoms, from R.rst), the time and the first factor.
"""
import argparse
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from nlframe.model import Model

ROOT = Path(__file__).resolve().parents[1]
# (bays, storeys): joints = (bays + 1)(storeys + 1)
FRAMES = [(4, 19), (7, 49), (26, 36)]


def frame(bays, storeys, modes):
    m = Model("BUCKLING %dx%d" % (bays, storeys))
    m.material(2100., 21., 21.)
    s = m.i_section(30, 15, 0.71, 1.07, 1.5, 2.4)
    rows = [[m.joint(600. * c, 350. * f) for c in range(bays + 1)] for f in range(storeys + 1)]
    for f in range(1, storeys + 1):
        for c in range(bays + 1):
            m.member(rows[f - 1][c], rows[f][c], s)
        for c in range(bays):
            m.member(rows[f][c], rows[f][c + 1], s)
    m.iterations(2, 1)
    m.supports(*rows[0])
    for f in range(1, storeys + 1):
        m.load(rows[f][0], fx=0.1)
        for c in range(bays + 1):
            m.load(rows[f][c], fy=-1.0)
    if modes:
        m.buckling(modes=modes)
    m.load_steps(1)
    m.finish()
    return m


def run(program, deck, folder):
    t0 = time.perf_counter()
    done = subprocess.run([program, "--capacity", "auto", "-o", str(folder), str(deck)],
                          env={"NLFRAME_THREADS": "1"}, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit("%s: status %d\n%s" % (deck, done.returncode, done.stderr))
    return time.perf_counter() - t0


def listing_figures(folder):
    equations, first = 0, 0.0
    lines = (Path(folder) / "R.rst").read_text().splitlines()
    for i, line in enumerate(lines):
        if "*** BUCKLING ANALYSIS ***" in line:
            equations = int(line.split("EQUATIONS")[1])
        if "CRITICAL FACTOR" in line:
            first = float(lines[i + 1].split()[1])
            break
    return equations, first


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default=str(ROOT / "build" / "nlframe"))
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--modes", type=int, default=4)
    a = ap.parse_args()
    work = Path(tempfile.mkdtemp(prefix="nlframe-buckling-"))
    print("| frame (bays x storeys) | joints | members | equations | buckling analysis, s | first factor |")
    print("|---|---|---|---|---|---|")
    for bays, storeys in FRAMES:
        with_v = Path(frame(bays, storeys, a.modes).write(work / ("v%d-%d.dat" % (bays, storeys))))
        plain = Path(frame(bays, storeys, 0).write(work / ("p%d-%d.dat" % (bays, storeys))))
        t_v = min(run(a.program, with_v, work / "v") for _ in range(a.repeat))
        t_p = min(run(a.program, plain, work / "p") for _ in range(a.repeat))
        equations, first = listing_figures(work / "v")
        print("| %dx%d | %d | %d | %d | %.2f | %.4g |" % (bays, storeys, (bays + 1) * (storeys + 1),
                                                          storeys * (2 * bays + 1), equations, t_v - t_p, first))


if __name__ == "__main__":
    main()
