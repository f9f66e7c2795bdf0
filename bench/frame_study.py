"""A multi-storey steel frame under one load factor on its floor loads and
storey loads, by a second-order inelastic analysis with imperfections (the
sway of EN 1993-1-1 5.3.2(3), member bows by buckling curve, ECCS residual
stresses), built with the model builder.

    PYTHONPATH=build/python python3 bench/frame_study.py [--storeys 6] [--quick]

Prints one line per variant: the ultimate load factor, its step, the steps,
iterations and seconds of the push, and the largest fibre strain at the
peak. The variants: the beams in 1, 2, 4 and 8 parts with member loads (the
mesh study); the same frame with its floor loads lumped on the joints of
beams in 8 parts (the way without member loads); the usual tangent against
the exact one; strain limits.
"""
import argparse
import math
import tempfile
import time
from pathlib import Path

import nlframe

BAY, STOREY = 600.0, 350.0   # cm
FLOOR, ROOF = 0.05, 0.03     # t/cm: 50 and 30 kN/m
STOREY_LOAD = 2.0            # t at every floor, towards +x


def frame(storeys=6, bays=2, beam_parts=4, column_parts=2, member_loads=True, exact=True, strain_limit=None,
          E2=0.0, title=None, steps=400, length=0.5):
    m = nlframe.Model(title or f"FRAME {storeys}x{bays} BEAMS IN {beam_parts}")
    m.material(E=2100., E2=E2, E3=E2, strain_limit=strain_limit)
    outer = m.section("HEB260", yield_stress=2.35, residual="ECCS")
    inner = m.section("HEB300", yield_stress=2.35, residual="ECCS")
    beam = m.section("IPE360", yield_stress=2.35, residual="ECCS")
    grid = [[m.joint(i * BAY, k * STOREY) for i in range(bays + 1)] for k in range(storeys + 1)]
    for k in range(storeys):
        for i in range(bays + 1):
            s = outer if i in (0, bays) else inner
            m.member(grid[k][i], grid[k + 1][i], s, curve="b", analysis="plastic", towards="+x",
                     parts=column_parts)
    beams = []
    for k in range(1, storeys + 1):
        for i in range(bays):
            beams.append((k, m.member(grid[k][i], grid[k][i + 1], beam, parts=beam_parts)))
    m.sway(direction="+x")
    m.supports(*grid[0])
    lumped = {}
    for k, members in beams:
        q = ROOF if k == storeys else FLOOR
        if member_loads:
            m.member_load(members, wy=-q)
        else:
            # Lumped on the joints of the parts: half of each part's load on
            # each of its ends (the joints of a beam's ends share the column's).
            span = BAY / len(members)
            for mem in members:
                for j in m._members[mem - 1][:2]:
                    lumped[j] = lumped.get(j, 0.0) - q * span / 2
    for k in range(1, storeys + 1):
        j = grid[k][0]
        m.load(j, fx=STOREY_LOAD, fy=lumped.pop(j, 0.0))
    for j, fy in lumped.items():
        m.load(j, fy=fy)
    m.arc_length(steps, length, follow=True, target_iterations=4, end_below=0.8, exact=exact)
    return m


def push(model, folder):
    t = time.perf_counter()
    run = model.run(folder, threads=1)
    seconds = time.perf_counter() - t
    p = run.peaks[-1]
    return run, p, seconds


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--storeys", type=int, default=6)
    ap.add_argument("--quick", action="store_true", help="the mesh study and the lumped loads only")
    args = ap.parse_args()
    variants = [(f"member loads, beams in {n} part{'s' if n > 1 else ''}", dict(beam_parts=n)) for n in (1, 2, 4, 8)]
    variants.append(("loads lumped on the joints, beams in 8 parts", dict(beam_parts=8, member_loads=False)))
    if not args.quick:
        variants += [("usual tangent, beams in 4 parts", dict(beam_parts=4, exact=False)),
                     ("usual tangent, beams in 1 part", dict(beam_parts=1, exact=False)),
                     ("strain limit 0.05, beams in 4 parts", dict(beam_parts=4, strain_limit=0.05)),
                     ("strain limit 0.05, beams in 8 parts", dict(beam_parts=8, strain_limit=0.05)),
                     ("E2 = E/10^5 instead of 0, beams in 4 parts", dict(beam_parts=4, E2=2100. / 1e5)),
                     ("E2 = E/10^4 instead of 0, beams in 4 parts", dict(beam_parts=4, E2=2100. / 1e4))]
    print(f"{'variant':48s} {'peak':>8s} {'at':>4s} {'steps':>5s} {'iter':>6s} {'s':>7s} {'strain':>7s}  passed")
    with tempfile.TemporaryDirectory() as tmp:
        for n, (name, kw) in enumerate(variants):
            run, p, seconds = push(frame(args.storeys, **kw), Path(tmp) / str(n))
            print(f"{name:48s} {p.value:8.4f} {p.step:4d} {run.steps:5d} {run.iterations:6d} {seconds:7.2f} "
                  f"{p.strain:7.3f}  {p.passed}", flush=True)


if __name__ == "__main__":
    main()
