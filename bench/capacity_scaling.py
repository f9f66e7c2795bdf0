"""Time and memory against model size with stores that follow the model (a
benchmark, not a test).

    PYTHONPATH=build/python /usr/bin/python3 bench/capacity_scaling.py [--program build/nlframe] [--repeat 3]

Frames of 70 to about 1000 members, built with the package's builder (the
joints in its reverse Cuthill-McKee order), all under the same load history:
gravity and a lateral load, 4 load-control steps that each run to the
iteration limit of 10 (tolerance below reach), so every frame does the same
40 iterations. Each is run as a whole process by the program with
--capacity auto, on one and on two threads (NLFRAME_THREADS); the table
gives the best of --repeat runs: the time per member-iteration (the whole
run's wall time over members x iterations), the speed-up of two threads,
the band width of the equations (with the builder's order and with the
joints in the order given, from nlframe-check) and the peak memory of the
process.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from nlframe.model import Model
from frames import grid_frame

ROOT = Path(__file__).resolve().parents[1]
STEPS, MAXIT = 4, 10

# (bays, storeys, parts): members = storeys * (2 bays + 1) * parts
FRAMES = [(3, 10, 1), (4, 14, 1), (4, 20, 2), (4, 20, 3), (4, 20, 4), (3, 20, 7)]


def frame(bays, storeys, parts, order):
    m = Model("SCALING %dx%dx%d" % (bays, storeys, parts), joint_order=order)
    m.material(2100., 21., 21.)
    s = m.i_section(30, 15, 0.71, 1.07, 1.5, 2.4)
    rows = grid_frame(m, bays, storeys, s, s, parts)
    m.iterations(MAXIT, MAXIT - 1)
    m.supports(*rows[0])
    for f in range(1, storeys + 1):
        m.load(rows[f][0], fx=round(3.0 / storeys, 4))
        for c in range(bays + 1):
            m.load(rows[f][c], fy=-0.5)
    m.load_steps(STEPS, tolerance=1e-30)
    m.finish()
    return m


def band_width(check, deck):
    """The band width of the deck's equations, as nlframe-check sums it up."""
    out = subprocess.run([check, "--capacity", "auto", str(deck)], capture_output=True, text=True).stdout
    for line in out.splitlines():
        if ", band width " in line:
            return int(line.split(", band width ")[1])
    return 0


def run(program, deck, folder, threads):
    """Wall time, peak memory (MiB, as /usr/bin/time -f %M reports the
    program's own process) and iterations of one run."""
    env = dict(os.environ, NLFRAME_THREADS=str(threads))
    t0 = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", program, "--capacity", "auto", "-o", str(folder), str(deck)],
                          env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - t0
    if done.returncode != 0:
        sys.exit("%s: status %d\n%s" % (deck, done.returncode, done.stderr))
    lines = done.stderr.splitlines()
    iterations = int(lines[-2].split(" iterations")[0].split(", ")[-1])
    return seconds, int(lines[-1]) / 1024, iterations


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default=str(ROOT / "build" / "nlframe"))
    ap.add_argument("--repeat", type=int, default=3)
    a = ap.parse_args()
    work = Path(tempfile.mkdtemp(prefix="nlframe-scaling-"))
    print("| frame (bays x storeys x parts) | joints | members | band width (auto / given) "
          "| us per member-iteration, 1 thread | 2 threads | speed-up | peak memory MiB |")
    print("|---|---|---|---|---|---|---|---|")
    for bays, storeys, parts in FRAMES:
        m = frame(bays, storeys, parts, "auto")
        deck = Path(m.write(work / ("f%d-%d-%d.dat" % (bays, storeys, parts))))
        given = Path(frame(bays, storeys, parts, "given").write(work / "given.dat"))
        members = storeys * (2 * bays + 1) * parts
        joints = len(m._joints)
        best = {}
        for threads in (1, 2):
            runs = [run(a.program, deck, work / "run", threads) for _ in range(a.repeat)]
            best[threads] = min(runs)
        check = str(Path(a.program).with_name("nlframe-check"))
        band, band_given = band_width(check, deck), band_width(check, given)
        per = {t: 1e6 * best[t][0] / (members * best[t][2]) for t in (1, 2)}
        print("| %dx%dx%d | %d | %d | %d / %d | %.1f | %.1f | %.2f | %.0f |" % (
            bays, storeys, parts, joints, members, band, band_given, per[1], per[2], per[1] / per[2],
            max(best[1][1], best[2][1])))


if __name__ == "__main__":
    main()
