"""How many members a column or beam needs: a 10-storey, 3-bay frame of
rectangular sections pushed sideways at the roof, with every member split
into 1, 2 and 4 parts; prints the base shear at several roof drifts and the
run times. Runs the program binary, so it needs no compiled package:

    python3 examples/python/convergence.py --program build/nlframe [--parts 1 2 4]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from nlframe.model import Model, force, displacement  # noqa: E402

STOREYS, BAYS, HEIGHT, SPAN = 10, 3, 300., 600.
PUSH, STEPS = 1.0, 90          # cm of roof sway a step, steps (3 % drift)
DRIFTS = [0.25, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0]  # per cent of the height


def frame(parts: int) -> Model:
    m = Model(f"10-STOREY 3-BAY FRAME, MEMBERS IN {parts} PARTS")
    m.material(2100., 21., 21.)
    column = m.rectangle(40., 20., yield_stress=2.4)
    beam = m.rectangle(50., 20., yield_stress=2.4)
    grid = [[m.joint(SPAN * b, HEIGHT * s) for b in range(BAYS + 1)] for s in range(STOREYS + 1)]
    for s in range(STOREYS):
        for b in range(BAYS + 1):
            m.member(grid[s][b], grid[s + 1][b], column, parts=parts)
        for b in range(BAYS):
            m.member(grid[s + 1][b], grid[s + 1][b + 1], beam, parts=parts)
    roof = grid[STOREYS][0]
    m.watch(displacement(roof, "x"), *(force(j, "x") for j in grid[0]))
    m.iterations(30, 1)
    m.supports(*grid[0])
    for row in grid[1:]:
        for j in row:
            m.load(j, fy=-10.)
    m.load_steps(1, tolerance=1e-8, detail=999)
    m.displace(roof, dx=PUSH)
    m.displacement_steps(STEPS, tolerance=1e-8, detail=999)
    return m


def curve(folder: str) -> list[tuple[float, float]]:
    """(roof sway cm, base shear t) a step, from fort.61."""
    out = []
    with open(os.path.join(folder, "fort.61")) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 6 and parts[0].isdigit():
                sway, shear = float(parts[1]) / 10, -sum(float(v) for v in parts[2:])
                out.append((sway, shear))
    return out


def main(argv=None) -> int:
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--program", default="build/nlframe")
    p.add_argument("--parts", type=int, nargs="+", default=[1, 2, 4])
    a = p.parse_args(argv)
    prog = os.path.abspath(a.program)
    results = {}
    for n in a.parts:
        folder = tempfile.mkdtemp(prefix=f"parts{n}-")
        frame(n).write(os.path.join(folder, "frame.dat"))
        t0 = time.perf_counter()
        done = subprocess.run([prog], input="frame.dat\n", cwd=folder, capture_output=True, text=True)
        seconds = time.perf_counter() - t0
        if done.returncode:
            print(f"parts {n}: status {done.returncode}: {done.stderr.strip()}")
            continue
        results[n] = (curve(folder), seconds, done.stderr.strip().splitlines()[-1])
        print(f"parts {n}: {seconds:.1f} s, {results[n][2]}", flush=True)
    total = STOREYS * HEIGHT
    print("\ndrift %  " + "".join(f"  parts {n} (t)" for n in results))
    for d in DRIFTS:
        row = []
        for n, (c, _, _) in results.items():
            near = min(c, key=lambda p: abs(p[0] - d / 100 * total))
            row.append(f"{near[1]:14.2f}")
        print(f"{d:7.2f}  " + "".join(row))
    return 0


if __name__ == "__main__":
    sys.exit(main())
