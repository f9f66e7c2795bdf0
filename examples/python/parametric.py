"""A parametric push-over study: a two-storey, one-bay steel frame of rolled
sections under rising gravity load, pushed sideways to collapse. The gravity
load on every beam-column joint runs over --values values; the push-overs
run in parallel with nlframe.run_many. Prints the ultimate loads and draws
the base shear against the roof sway, the peaks marked, into parametric.png.

    PYTHONPATH=build/python python3 examples/python/parametric.py [--values 20] [--jobs 2] [--out DIR]
"""

import argparse
import os
import sys

import nlframe

BAY, STOREY = 600., 350.
LATERAL = (1., 2.)            # t at the first floor and at the roof: base shear = 3 t x load factor


def frame(gravity: float) -> nlframe.Model:
    """The frame with `gravity` t on each of its four beam-column joints."""
    m = nlframe.Model(f"TWO-STOREY FRAME, GRAVITY {gravity:g} T A JOINT")
    m.material(E=2100., E2=21., E3=21.)
    column = m.section("HEB200", yield_stress=2.35)
    beam = m.section("IPE300", yield_stress=2.35)
    (b1, b2), (f1, f2), (r1, r2) = [(m.joint(0., y), m.joint(BAY, y)) for y in (0., STOREY, 2 * STOREY)]
    for bottom, top in [(b1, f1), (b2, f2), (f1, r1), (f2, r2)]:
        m.member(bottom, top, column, bow=1 / 1000)          # columns out of straight by L/1000
    m.member(f1, f2, beam)
    m.member(r1, r2, beam)
    m.watch(nlframe.displacement(r1, "x"), nlframe.force(b1, "x"), nlframe.force(b2, "x"))
    m.iterations(maximum=30, minimum=1)
    m.supports(b1, b2)
    for j in (f1, f2, r1, r2):
        m.load(j, fy=-gravity / 4)                         # in four steps
    m.load_steps(4, tolerance=1e-8, detail=999)
    m.load(f1, fx=LATERAL[0])
    m.load(r1, fx=LATERAL[1])
    m.arc_length(300, length=0.3, tolerance=1e-8, follow=True, target_iterations=5, end_below=0.8, detail=999)
    return m


def push_curve(folder: str) -> list[tuple[int, float, float]]:
    """(step, roof sway mm, base shear t) of every step of the push."""
    rows = []
    with open(os.path.join(folder, "fort.61")) as f:
        for line in f:
            v = line.split()
            if len(v) == 4 and v[0].isdigit():
                rows.append((int(v[0]), float(v[1]), -(float(v[2]) + float(v[3]))))
    return rows


def main(argv=None) -> list[dict]:
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--values", type=int, default=20, help="number of gravity loads (default 20)")
    p.add_argument("--jobs", type=int, default=None, help="runs at a time (default: all cores)")
    p.add_argument("--out", default="out/parametric", help="folder for the decks, runs and parametric.png")
    a = p.parse_args(argv)
    gravities = [round(44. + 38. * k / max(a.values - 1, 1), 2) for k in range(a.values)]   # 44 to 82 t
    os.makedirs(a.out, exist_ok=True)
    decks = [frame(g).write(os.path.join(a.out, f"g{k:02d}.dat")) for k, g in enumerate(gravities)]
    summaries = nlframe.run_many(decks, jobs=a.jobs, workdir=os.path.join(a.out, "runs"))

    table, curves = [], []
    print(f"{'gravity t':>10} {'status':>6} {'load factor':>11} {'base shear t':>12} {'step':>5} {'sway mm':>8}")
    for g, s in zip(gravities, summaries):
        row = {"gravity": g, "status": s.status, "factor": None, "ultimate": None, "step": None, "sway": None}
        if s.status == 0:
            peak = next(p for p in s.peaks if p.group == 2)   # the push-over (group 2): its largest load factor
            curve = push_curve(s.folder)
            step, sway, shear = next(c for c in curve if c[0] == peak.step)
            row.update(factor=peak.value, ultimate=shear, step=peak.step, sway=sway)
            curves.append((g, curve, (sway, shear)))
            print(f"{g:10.2f} {s.status:6d} {peak.value:11.4f} {shear:12.3f} {peak.step:5d} {sway:8.1f}")
        else:
            print(f"{g:10.2f} {s.status:6d}  {s.message}")
        table.append(row)

    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(8, 5))
    colours = plt.cm.viridis([k / max(len(curves) - 1, 1) for k in range(len(curves))])
    for (g, curve, peak), colour in zip(curves, colours):
        ax.plot([c[1] for c in curve], [c[2] for c in curve], color=colour, lw=1.2, label=f"{g:g} t")
        ax.plot(*peak, "o", color=colour, ms=5)
    ax.set_xlabel("roof sway (mm)")
    ax.set_ylabel("base shear (t)")
    ax.set_title("Push-over of a two-storey frame (HEB200 columns, IPE300 beams): gravity a joint")
    ax.grid(alpha=0.3)
    ax.legend(fontsize=7, ncol=2, title="gravity", title_fontsize=8)
    fig.tight_layout()
    png = os.path.join(a.out, "parametric.png")
    fig.savefig(png, dpi=120)
    print(f"curves in {png}")
    return table


if __name__ == "__main__":
    rows = main()
    sys.exit(0 if all(r["status"] == 0 for r in rows) else 1)
