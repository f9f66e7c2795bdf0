"""Column curves of rolled I and H sections with and without residual
stresses, next to the design buckling curves.

    python3 bench/column_curves.py --program build/nlframe [--quick] [--json OUT] [--svg OUT]

Columns: HEB 300 and IPE 300 (the published dimensions with their root
fillets), bent about the strong axis (`I` card) and about the weak axis
(`H` card), each without residual stresses and with the "classic" pattern
(0.3 fy of compression at the flange tips, linear across each half flange
to a tension at the web that is uniform over the rest of the section and
balances the program's own 20 fibres: the four values of the `S` card that
the Python builder writes for residual="classic").

Material fy = 2.4 t/cm2, E 2100, E2 = E3 = 21 t/cm2. Pinned at the base,
held sideways at the top, one vertical force at the top. A half-sine bow of
L/1000 over 4 members (joints on the sine, each member bowed by the sine
between its joints, as bench/column_study.py). Slenderness
lambda = (L/i) / (pi sqrt(E/fy)) with i = sqrt(I/A) of the 20 fibres about
the bending axis; Py = A fy of the same fibres.

Every column is one arc-length group: a pattern of Py (the load factor is
P/Py), path following X3 = 1, adaptive length X4 = 4, end at 90 % of the
peak X5 = 0.9, starting arc length X2 = 1 cm, usual tangent; a strain limit
of 0.05 (P card X4) up to lambda 0.5, as in the column study. The peak is
read from the summary line; a run that did not pass its peak, or whose peak
step did not converge, is reported as such.

Every column also gets a reference peak from short fixed arc-length steps
(X4 = 0), nearly the rule of bench/column_study.py: the length starts at
L/1000 and is halved until three clean runs in a row (the peak passed, its
step converged, no step taken back) agree to 0.1 % and the finest reaches
its peak in 50 steps or more; the finest is the reference. Unlike the
column study, a run in which a step away from the peak stopped at MAXIT
without converging still counts: with residual stresses the stocky columns
have one to ten such steps at every length while their peaks agree to five
digits. The table gives the
adaptive peak and its difference from the reference.

Then a check of the arc length: the columns with residual stresses at
lambda 0.5, 1.0 and 1.5 run again from starting arc lengths of 0.25 and
4 cm and with the exact tangent (X6 = 1).

--fraction F: F fy of compression at the tips instead of 0.3 (the same
shape, balanced the same way). --eccs: the builder's "ECCS" pattern instead
(0.5 fy at the tips for h/b <= 1.2, else 0.3 fy; a web that changes sign). --quick: lambda 0.5, 1.0, 1.5 only. --svg OUT draws the curves,
--markdown OUT writes the table of docs/column-curves.md.
"""

import argparse
import concurrent.futures
import importlib.util
import json
import math
import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def _load(name, path):
    spec = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# The deck writing, the runner and the summary parsing of the column study;
# the section tables and fibre rules of the Python package (read from the
# source tree, so that no build of the package is needed).
study = _load("column_study", os.path.join(HERE, "column_study.py"))
sections = _load("nlframe_sections", os.path.join(HERE, "..", "python", "nlframe", "sections.py"))

FY, E, E2 = 2.4, 2100.0, 21.0
BOW, PARTS = 1e-3, 4
STRAIN_LIMIT, STOCKY = 0.05, 0.5
TOLERANCE, MAXIT, MINIT = 1e-8, 30, 1
MAX_STEPS, END_BELOW, X2, X4 = 999, 0.9, 1.0, 4.0

LAMBDAS = [round(0.2 + 0.1 * k, 1) for k in range(24)]  # 0.2 .. 2.5
QUICK_LAMBDAS = [0.5, 1.0, 1.5]
SHAPES = ("HEB300", "IPE300")
CHECK_X2 = (0.25, 4.0)
CHECK_LAMBDAS = (0.5, 1.0, 1.5)

ALPHA = {"a": 0.21, "b": 0.34, "c": 0.49, "d": 0.76}


def en_curve(lam, alpha):
    phi = 0.5 * (1 + alpha * (lam - 0.2) + lam * lam)
    return min(1.0, 1 / (phi + math.sqrt(phi * phi - lam * lam)))


def aisc_curve(lam):
    return 0.658 ** (lam * lam) if lam <= 1.5 else 0.877 / (lam * lam)


def en_assignment(shape, weak):
    """The buckling curve of EN 1993-1-1 for a rolled I section (S235 to S420)."""
    if shape.depth / shape.width > 1.2:
        return None if shape.flange > 4.0 else ("b" if weak else "a")
    return None if shape.flange > 10.0 else ("c" if weak else "b")


# ---------------------------------------------------------------- cases

def case(name, weak, fraction=0.3, eccs=False):
    s = sections.lookup(name)
    fib = (sections.h_fibres(s.width, s.web, s.flange, s.fillet) if weak
           else sections.i_fibres(s.depth, s.width, s.web, s.flange, s.fillet))
    area = sum(a for a, _ in fib)
    inertia = sum(a * z * z for a, z in fib)
    dims = (s.depth, s.width, s.web, s.flange, s.fillet)
    residual = (sections.eccs_residual(*dims, FY, weak_axis=weak) if eccs
                else sections.classic_residual(*dims, FY, fraction, weak_axis=weak))
    return dict(name=name, weak=weak, label=f"{name[:3]} {name[3:]} {'weak' if weak else 'strong'} axis",
                shape=s._asdict(), area=area, inertia=inertia, radius=math.sqrt(inertia / area),
                py=area * FY, residual=residual, curve=en_assignment(s, weak))


def length_for(lam, radius):
    return lam * math.pi * math.sqrt(E / FY) * radius


def column_deck(c, length, residual, arc, x4=X4, x6=0, strain_limit=0.0):
    """The column study's deck for the section and axis of case `c`, with
    its residual stresses when `residual`."""
    card, s = study.card, c["shape"]
    title = (f"   0  0  1     PINNED {c['name']} {'WEAK' if c['weak'] else 'STRONG'} L={length:.1f} CM"
             + (" RESIDUAL" if residual else ""))
    if c["weak"]:
        section = [card("H", 1, reals=(0.0, s["width"], s["web"], s["flange"], s["fillet"], FY))]
    else:
        section = [card("I", 1, reals=(s["depth"], s["width"], s["web"], s["flange"], s["fillet"], FY))]
    if residual:
        section.append(card("S", 1, reals=c["residual"]))
    return study.column_deck(length, PARTS, c["py"], arc, x4, x6, strain_limit, title=title, section=section)


def outcome(r):
    if r["status"] != 0 or r["p_py"] is None:
        return "failed"
    if not r["passed"]:
        return "not passed"
    if not r.get("peak_converged", True):
        return "peak not converged"
    return "passed"


def one(runner, c, lam, residual, arc=X2, x4=X4, x6=0, tag=""):
    length = length_for(lam, c["radius"])
    name = f"{c['name']}-{'z' if c['weak'] else 'y'}-{'rs' if residual else 'no'}-{lam:.1f}{tag}"
    limit = STRAIN_LIMIT if lam <= STOCKY + 1e-9 else 0.0
    r = study.peak_figures(runner.run(name, column_deck(c, length, residual, arc, x4, x6, limit)), 1.0)
    r.pop("folder", None)
    r.update(section=c["label"], lam=lam, length=length, residual=residual, x2=arc, x4=x4, x6=x6)
    r["outcome"] = outcome(r)
    return r


REF_CHANGE, REF_LEVELS, MIN_PEAK_STEPS = 1e-3, 8, 50


def reference(runner, c, lam, residual):
    """Fixed arc lengths from L/1000, halved until three clean runs in a row
    agree to 0.1 % and the finest takes 50 steps or more to its peak."""
    arc, good, levels = length_for(lam, c["radius"]) / 1000, [], []
    for k in range(REF_LEVELS):
        r = one(runner, c, lam, residual, arc=arc, x4=0.0, tag=f"-ref{k}")
        levels.append(dict(arc=arc, p_py=r["p_py"], outcome=r["outcome"], steps=r["steps"],
                           peak_step=r["peak_step"], not_converged=r["not_converged"], cut_backs=r["cut_backs"],
                           message=r["message"]))
        clean = r["outcome"] == "passed" and not r["cut_backs"]
        good = good + [r] if clean else []
        ch = [abs(b["p_py"] / a["p_py"] - 1) for a, b in zip(good[-3:], good[-2:])]
        if len(ch) == 2 and max(ch) <= REF_CHANGE and r["peak_step"] >= MIN_PEAK_STEPS:
            return dict(p_py=r["p_py"], arc=arc, levels=levels, converged=True)
        if clean and 2 * r["peak_step"] > MAX_STEPS - 10:
            break
        arc /= 2
    return dict(p_py=good[-1]["p_py"] if good else None, arc=arc, levels=levels, converged=False)


# ---------------------------------------------------------------- picture

def draw(cases, rows, path, pattern="classic"):
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "column-curves"  # the same file from the same numbers
    import matplotlib.pyplot as plt

    fine = [0.2 + 0.01 * k for k in range(231)]
    fig, axes = plt.subplots(2, 2, figsize=(11, 8.5), sharex=True, sharey=True)
    for ax, c in zip(axes.flat, cases):
        for key, style in (("a", ":"), ("b", "--"), ("c", "-."), ("d", (0, (5, 1, 1, 1, 1, 1)))):
            lw = 2.0 if key == c["curve"] else 0.9
            ax.plot(fine, [en_curve(x, ALPHA[key]) for x in fine], linestyle=style, color="0.35", lw=lw,
                    label=f"EN curve {key}" + (" (applies)" if key == c["curve"] else ""))
        ax.plot(fine, [aisc_curve(x) for x in fine], color="tab:green", lw=1.2, label="AISC 360")
        for residual, color, marker, text in ((False, "tab:blue", "o", "no residual stresses"),
                                              (True, "tab:red", "s", f"{pattern} residual stresses")):
            pts = [(r["lam"], r["p_py"]) for r in rows
                   if r["section"] == c["label"] and r["residual"] == residual and r["outcome"] == "passed"]
            ax.plot([p[0] for p in pts], [p[1] for p in pts], color=color, marker=marker, ms=4, lw=1.3,
                    label=f"this program, {text}")
        ax.set_title(c["label"], fontsize=11)
        ax.grid(True, color="0.9")
        ax.set_xlim(0, 2.6)
        ax.set_ylim(0, 1.05)
    for ax in axes[1]:
        ax.set_xlabel("relative slenderness λ̄")
    for ax in axes[:, 0]:
        ax.set_ylabel("P / Py at the peak")
    axes[0, 0].legend(fontsize=7.5, loc="lower left")
    fig.suptitle("Pinned columns, half-sine bow L/1000, fy = 2.4 t/cm², 1 % hardening", fontsize=12)
    fig.tight_layout()
    fig.savefig(path, metadata={"Date": None})
    plt.close(fig)


def write_markdown(cases, by, lams, path, fraction):
    head = ["λ̄"]
    for c in cases:
        short = f"{c['name'][:3]} {c['name'][3:]} {'z' if c['weak'] else 'y'}"
        head += [f"{short} none", f"{short} " + (fraction if isinstance(fraction, str) else
                                                  "classic" if fraction == 0.3 else f"{fraction:g} fy"),
                 f"EN {c['curve']}"]
    head.append("AISC")
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for lam in lams:
        cells = [f"{lam:.1f}"]
        for c in cases:
            for rs in (False, True):
                r = by[(c["label"], rs, lam)]
                cells.append((f"{r['p_py']:.3f}" + ("*" if r["x6"] else "")) if r["outcome"] == "passed"
                             else r["outcome"])
            cells.append(f"{en_curve(lam, ALPHA[c['curve']]):.3f}")
        cells.append(f"{aisc_curve(lam):.3f}")
        lines.append("| " + " | ".join(cells) + " |")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


# ---------------------------------------------------------------- main

def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--program", required=True, help="the nlframe program")
    ap.add_argument("--quick", action="store_true", help="lambda 0.5, 1.0, 1.5 only")
    ap.add_argument("--json", metavar="OUT", help="write every number to OUT")
    ap.add_argument("--svg", metavar="OUT", help="draw the curves into OUT")
    ap.add_argument("--markdown", metavar="OUT", help="write the table as markdown to OUT")
    ap.add_argument("--fraction", type=float, default=0.3,
                    help="compression at the flange tips over fy (default 0.3, the classic pattern)")
    ap.add_argument("--eccs", action="store_true", help="the ECCS pattern instead of the classic one")
    ap.add_argument("--jobs", type=int, default=2, help="runs at a time (default 2)")
    ap.add_argument("--keep", metavar="DIR", help="keep the run folders in DIR")
    args = ap.parse_args(argv)

    if args.svg and importlib.util.find_spec("matplotlib") is None:
        ap.error(f"--svg needs matplotlib, which {sys.executable} does not have")
    program = os.path.abspath(shutil.which(args.program) or args.program)
    if not os.access(program, os.X_OK):
        ap.error(f"{args.program} is not an executable program")
    workdir = os.path.abspath(args.keep) if args.keep else tempfile.mkdtemp(prefix="column-curves-")
    os.makedirs(workdir, exist_ok=True)
    runner = study.Runner(program, workdir)
    lams = QUICK_LAMBDAS if args.quick else LAMBDAS
    cases = [case(n, w, args.fraction, args.eccs) for n in SHAPES for w in (False, True)]
    start = time.perf_counter()
    try:
        jobs = [(c, lam, rs) for c in cases for rs in (False, True) for lam in lams]
        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            rows = list(pool.map(lambda j: one(runner, *j), jobs))
            # A column whose usual tangent did not pass the peak: again with
            # the exact tangent (marked in the table).
            for k, r in enumerate(rows):
                if r["outcome"] != "passed":
                    retry = one(runner, *jobs[k], x6=1, tag="-x6")
                    retry["first_try"] = {key: r[key] for key in ("outcome", "p_py", "summary", "message")}
                    rows[k] = retry
            main_seconds = time.perf_counter() - start
            refs = list(pool.map(lambda j: reference(runner, *j), jobs))
            for r, ref in zip(rows, refs):
                r["reference"] = ref
                r["error"] = ((r["p_py"] / ref["p_py"] - 1) if r["outcome"] == "passed" and ref["p_py"]
                              else None)
            # The arc-length check: the columns with residual stresses again
            # from other starting lengths and with the exact tangent.
            checks = [(c, lam, True, x2, X4, x6, f"-x2{x2:g}-x6{x6}") for c in cases for lam in CHECK_LAMBDAS
                      if lam in lams for x2, x6 in [(a, 0) for a in CHECK_X2] + [(X2, 1)]]
            extra = list(pool.map(lambda j: one(runner, *j[:3], arc=j[3], x4=j[4], x6=j[5], tag=j[6]), checks))
        seconds = time.perf_counter() - start

        print(f"Column curves: {runner.count} runs of {program} in {seconds:.1f} s "
              f"(the curves {main_seconds:.1f} s, {args.jobs} at a time)\n")
        for c in cases:
            print(f"{c['label']}: A {c['area']:.2f} cm2, I {c['inertia']:.0f} cm4, i {c['radius']:.3f} cm, "
                  f"Py {c['py']:.1f} t; S card {', '.join(f'{v:.6g}' for v in c['residual'])}; "
                  f"EN curve {c['curve']}")
        by = {(r["section"], r["residual"], r["lam"]): r for r in rows}
        print("\nP/Py at the peak (no residual stresses / with them; * exact tangent), the EN curve that applies, AISC 360:")
        print("  lambda | " + " | ".join(f"{c['label']:<34}" for c in cases) + " | AISC")
        for lam in lams:
            cells = []
            for c in cases:
                a, b = by[(c["label"], False, lam)], by[(c["label"], True, lam)]
                f = lambda r: (f"{r['p_py']:.4f}" + ("*" if r["x6"] else "")) if r["outcome"] == "passed" else r["outcome"]
                cells.append(f"{f(a)} / {f(b)}  EN {c['curve']} {en_curve(lam, ALPHA[c['curve']]):.4f}")
            print(f"  {lam:5.1f}  | " + " | ".join(f"{x:<34}" for x in cells) + f" | {aisc_curve(lam):.4f}")
        bad = [r for r in rows if r["error"] is None or not r["reference"]["converged"]]
        for rs in (False, True):
            e = [abs(r["error"]) for r in rows if r["error"] is not None and r["residual"] == rs]
            print(f"\nAdaptive against the fixed-step references, {'classic' if rs else 'none'}: largest |error| "
                  f"{100 * max(e):.3f} %, mean {100 * sum(e) / len(e):.3f} % ({len(e)} columns)")
        for r in bad:
            print(f"  no converged reference: {r['section']} {'rs' if r['residual'] else 'no'} {r['lam']} "
                  f"(arc: peak, outcome, steps, peak step, not converged, cut-backs):")
            for lv in r["reference"]["levels"]:
                print(f"    {lv['arc']:.4g}: {lv['p_py']}, {lv['outcome']}, {lv['steps']}, {lv['peak_step']}, "
                      f"{lv['not_converged']}, {lv['cut_backs']} {lv['message'] or ''}")
        print("\nRuns that did not pass cleanly (* in the table: run again with the exact tangent):")
        for r in rows:
            if "first_try" in r:
                print(f"  {r['section']} {'rs' if r['residual'] else 'no'} {r['lam']}, usual tangent: "
                      f"{r['first_try']['outcome']}, {r['first_try']['summary'] or r['first_try']['message']}")
            if r["outcome"] != "passed" or r["not_converged"] or "first_try" in r:
                print(f"  {r['section']} {'rs' if r['residual'] else 'no'} {r['lam']}: {r['outcome']}, "
                      f"{r['summary'] or r['message']}")
        for rs in (False, True):
            sel = [r for r in rows if r["residual"] == rs and r["steps"]]
            print(f"  {'classic' if rs else 'none   '}: {len(sel)} runs, mean {sum(r['steps'] for r in sel) / len(sel):.0f} "
                  f"steps, {sum(r['iterations'] for r in sel) / len(sel):.0f} iterations, "
                  f"{sum(r['seconds'] for r in sel) / len(sel):.2f} s a run")
        print("\nArc-length check (with residual stresses; peak P/Py, steps/iterations):")
        for r in extra:
            base = by[(r["section"], True, r["lam"])]
            d = (r["p_py"] / base["p_py"] - 1) if r["p_py"] and base["p_py"] else None
            print(f"  {r['section']:<24} {r['lam']:.1f}  X2 {r['x2']:<8.4g} X4 {r['x4']:g} X6 {r['x6']}: "
                  f"{r['outcome']:<10} {r['p_py'] if r['p_py'] is None else round(r['p_py'], 5)}  "
                  f"{study.pct(d, 3)} against X2 = {X2:g}  {r['steps']}/{r['iterations']}"
                  + (f" nc {r['not_converged']}" if r["not_converged"] else "")
                  + (f" cb {r['cut_backs']}" if r["cut_backs"] else ""))
        if args.markdown:
            write_markdown(cases, by, lams, args.markdown, "ECCS" if args.eccs else args.fraction)
            print(f"\nTable written to {args.markdown}")
        if args.svg and not args.quick:
            draw(cases, rows, args.svg, "ECCS" if args.eccs else "classic")
            print(f"\nPicture written to {args.svg}")
        if args.json:
            with open(args.json, "w") as f:
                json.dump(dict(program=program, seconds=seconds, runs=runner.count, cases=cases,
                               rows=rows, checks=extra,
                               curves={str(lam): dict({k: en_curve(lam, a) for k, a in ALPHA.items()},
                                                      aisc=aisc_curve(lam)) for lam in lams}), f, indent=1)
            print(f"Numbers written to {args.json}")
    finally:
        if not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
