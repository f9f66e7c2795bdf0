"""The 720-member push-over: what the exact tangent, a second thread and
output every step cost (a benchmark, not a test).

    PYTHONPATH=build/python /usr/bin/python3 bench/speed720.py [--program build/nlframe] [--steps 200]
        [--repeat 3] [--decks DIR]

The frame: 4 bays of 600 cm, 20 storeys of 350 cm, HEB 300 columns and
HEB 260 beams, every member in 4 parts (720 members), written with the
package's builder (joints in its reverse Cuthill-McKee order). Gravity
first (3 load steps of 2 t at every joint), then the roof's left joint
pushed sideways by --steps displacement steps of --push cm (0.5: 200
steps take the roof 100 cm, a drift of 1/70, well into the plastic range). Every step runs to
the iteration limit of 6 (tolerance below reach), so the usual and the
exact tangent do the same number of iterations and their times compare
per iteration. Three decks:

    usual    X6 = 0, results of the last step only (NPRINT 999)
    exact    X6 = 1, results of the last step only
    output   X6 = 1, results every step (NPRINT 1)

Each is run as a whole process with --capacity auto; the pairs are taken
in turn (A B A B ...) and the ratios pair by pair, median of --repeat:

    exact / usual             one thread
    one thread / two threads  the exact deck
    output / exact            one thread and two threads

--decks DIR only writes the decks into DIR (for a profiler or another
timer) and prints their names.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from nlframe.model import Model
from frames import grid_frame

ROOT = Path(__file__).resolve().parents[1]
BAYS, STOREYS, PARTS = 4, 20, 4
MAXIT = 6


def frame(steps: int, exact: bool, nprint: int, push: float = 0.5) -> Model:
    m = Model("PUSH 4X20X4 %s" % ("EXACT" if exact else "USUAL"), nprint=nprint)
    m.material(2100., 21., 21.)
    column = m.section("HEB300", 2.4)
    beam = m.section("HEB260", 2.4)
    rows = grid_frame(m, BAYS, STOREYS, column, beam, PARTS)
    m.iterations(MAXIT, MAXIT - 1)
    m.supports(*rows[0])
    for f in range(1, STOREYS + 1):
        for c in range(BAYS + 1):
            m.load(rows[f][c], fy=-2.0)
    m.load_steps(3, tolerance=1e-30, exact=exact)
    m.supports(*rows[0])
    m.displace(rows[STOREYS][0], dx=push)
    m.displacement_steps(steps, tolerance=1e-30, exact=exact, detail=999)
    m.finish()
    return m


def decks(folder: Path, steps: int, push: float = 0.5) -> dict:
    made = {}
    for name, exact, nprint in (("usual", False, 999), ("exact", True, 999), ("output", True, 1)):
        path = folder / ("push720-%s.dat" % name)
        frame(steps, exact, nprint, push).write(path)
        made[name] = path
    return made


def run(program: str, deck: Path, threads: int) -> float:
    with tempfile.TemporaryDirectory() as out:
        env = dict(os.environ, NLFRAME_THREADS=str(threads))
        t0 = time.perf_counter()
        r = subprocess.run([program, "--capacity", "auto", "-o", out, str(deck)], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        t = time.perf_counter() - t0
        if r.returncode != 0:
            sys.exit("%s failed on %s (status %d)" % (program, deck, r.returncode))
        return t


def ratio(program, a, b, repeat):
    """Median of A/B over `repeat` pairs run in turn; a and b are (deck, threads)."""
    return statistics.median(run(program, *a) / run(program, *b) for _ in range(repeat))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default=str(ROOT / "build" / "nlframe"))
    ap.add_argument("--steps", type=int, default=200)
    ap.add_argument("--push", type=float, default=0.5, help="cm a displacement step")
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--decks", help="only write the decks into this folder")
    args = ap.parse_args()
    if args.decks:
        folder = Path(args.decks)
        folder.mkdir(parents=True, exist_ok=True)
        for path in decks(folder, args.steps, args.push).values():
            print(path)
        return
    with tempfile.TemporaryDirectory() as tmp:
        d = decks(Path(tmp), args.steps, args.push)
        print("| ratio | median of %d pairs |" % args.repeat)
        print("|---|---|")
        print("| exact / usual tangent, one thread | %.2f |" %
              ratio(args.program, (d["exact"], 1), (d["usual"], 1), args.repeat))
        print("| one thread / two threads | %.2f |" %
              ratio(args.program, (d["exact"], 1), (d["exact"], 2), args.repeat))
        for t in (1, 2):
            print("| output every step / one output step, %d thread%s | %.2f |" %
                  (t, "s" if t > 1 else "", ratio(args.program, (d["output"], t), (d["exact"], t), args.repeat)))


if __name__ == "__main__":
    main()
