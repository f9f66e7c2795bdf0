"""Design by advanced analysis: a six-storey, two-bay steel frame under one
load factor on its floor loads and storey loads, by a second-order inelastic
analysis with the imperfections of EN 1993-1-1 (the sway of 5.3.2(3), bows of
Table 5.1, ECCS residual stresses), pushed past its peak. Writes the run and
its report page (push curve, frame and plastic zones at the peak) into
out/frame-design/.

    PYTHONPATH=build/python python3 examples/python/frame_design.py [--out DIR] [--parts 4]
"""

import argparse
import subprocess
from pathlib import Path

import nlframe

BAY, STOREY = 600.0, 350.0  # cm


def build(storeys=6, bays=2, beam_parts=4) -> nlframe.Model:
    m = nlframe.Model(f"{storeys}-STOREY FRAME, ADVANCED ANALYSIS")
    m.material(E=2100., E2=0., E3=0.)                        # S235, perfectly plastic
    outer = m.section("HEB260", yield_stress=2.35, residual="ECCS")
    inner = m.section("HEB300", yield_stress=2.35, residual="ECCS")
    beam = m.section("IPE360", yield_stress=2.35, residual="ECCS")
    grid = [[m.joint(i * BAY, k * STOREY) for i in range(bays + 1)] for k in range(storeys + 1)]
    for k in range(storeys):                                 # columns bowed by curve b, 2 parts
        for i in range(bays + 1):
            m.member(grid[k][i], grid[k + 1][i], outer if i in (0, bays) else inner,
                     curve="b", analysis="plastic", towards="+x", parts=2)
    floors = [m.member(grid[k][i], grid[k][i + 1], beam, parts=beam_parts)
              for k in range(1, storeys + 1) for i in range(bays)]
    phi = m.sway(direction="+x")                             # EN 1993-1-1 5.3.2(3)
    top = grid[storeys][0]
    m.watch(nlframe.displacement(top, "x"), nlframe.force(top, "x"))
    m.supports(*grid[0])
    for n, members in enumerate(floors):                     # 50 kN/m, the roof 30 kN/m
        m.member_load(members, wy=-0.03 if n >= (storeys - 1) * bays else -0.05)
    for k in range(1, storeys + 1):
        m.load(grid[k][0], fx=2.0)                            # 20 kN a floor
    m.arc_length(400, 0.5, follow=True, target_iterations=4, end_below=0.8)   # exact tangent
    print(f"sway imperfection 1/{1 / phi:.0f}")
    return m


def main() -> int:
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", default="out/frame-design")
    ap.add_argument("--parts", type=int, default=4, help="parts of every beam")
    args = ap.parse_args()
    out = Path(args.out)
    run = build(beam_parts=args.parts).run(out)
    peak = run.peaks[-1]
    print(f"ultimate load factor {peak.value:.4f} at step {peak.step} "
          f"({'peak passed' if peak.passed else 'still rising'}), {run.steps} steps, {run.iterations} iterations")
    plot = Path(__file__).resolve().parents[2] / "build" / "nlframe-plot"
    if plot.exists():
        subprocess.run([str(plot), "--html", "-o", str(out), str(run.deck)], check=True)
        print(f"report: {out / 'index.html'}")
    return 0 if run.status == 0 else 1


if __name__ == "__main__":
    raise SystemExit(main())
