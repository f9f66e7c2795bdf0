"""Pinned steel columns pushed past their peak load: reference peaks, the
adaptive arc length against them, and the design buckling curves.

    python3 bench/column_study.py --program build/nlframe [--quick] [--json OUT]

The column: an HEB 300 bent about its strong axis (I card: depth 30, width
30, web 1.1, flanges 1.9, root fillet 2.7 cm, the published dimensions),
yield stress 2.4 t/cm2, E 2100, E2 = E3 = 21 t/cm2 (1 % hardening). It is
pinned at the base (X and Y held), held sideways at the top (Y free) and
loaded by one vertical force at the top. A half-sine bow of L/1000 at
mid-height is given by the joints (the column is split into `parts`
members, 4 unless said otherwise, whose joints lie on the sine) and by the
bow of each member (the sine between its joints, matched at its middle).

Slenderness: lambda = (L/i) / (pi sqrt(E/fy)), i = sqrt(I/A) of the 20
fibres the program cuts from the I card (fillets as trapezoids), computed
here with the program's strip rule and checked against the sums that the
program lists in R.rst. Py = A fy of the same fibres.

1. Reference peaks: fixed arc-length steps (X4 = 0, usual tangent, path
   following X3 = 1, end at 90 % of the peak X5 = 0.9) under a pattern of
   Py, so that the load factor is P/Py and the arc length is mostly
   displacement (cm). The arc length starts at L/1000 and is halved until
   three successive runs that count (below) agree to 0.1 % (each to the
   one before) and the finest of them takes at least 50 steps to the
   peak; the finest is the reference (coarser runs may agree to five
   digits and still move 0.2 % at the next halving). The same is done with 2, 4 and 8 parts at lambda 1.0
   (the mesh effect). A run counts when it converged in every step, took
   no step back (cut-backs) and its summary does not say that the peak's
   step did not converge or that no peak was passed.
   With a pattern of Py/100 instead, the arc length is mostly load factor;
   the linearised arc-length constraint of a step is then close to a level
   of the load, which the path no longer reaches when the peak falls
   inside the step, and even short fixed steps stop converging at the peak
   (a sharp one: first yield of the flange fibres). Hence Py for the
   references.
   Stocky columns (lambda <= 0.5) get a strain limit of 0.05 (X4 of the P
   card): a group ends at the first converged step in which a fibre
   strain passes 5 %. The law hardens without end, and a run that leaves
   the path may squash the column under a load rising without end; the
   limit stops it there, and its largest value is then flagged "not
   passed" (no peak). With short steps every column of the study goes over
   a true limit point far below that strain: once the whole section has
   yielded, the tangent modulus E2 = E/100 gives a buckling load of
   0.01 Py / lambda^2, below Py for every lambda above 0.1. So the limit
   changes no reference, and no value at a given shortening is needed.
   (A program that does not read X4 yet ignores it.)
2. Adaptive grid: X4 (target iterations) 3 and 4, X6 (exact tangent) 0 and
   1, starting arc lengths X2 0.5, 1, 2, 4, under a pattern of Py/100 (the
   load factor is 100 P/Py, O(1..100); --grid-pattern changes the
   divisor), X3 = 1, X5 = 0.9. For every run: exit status, peak P/Py (from
   the summary line on standard error), steps, iterations, steps that did
   not converge, and the error against the reference.
3. The references against the buckling curve b of EN 1993-1-1 (alpha 0.34)
   and the column curve of AISC 360.

--quick: lambda 0.5, 1.0, 1.5; the grid only X4 = 4 with both tangents and
X2 1 and 2; no mesh study. --json OUT writes every number.
"""

import argparse
import concurrent.futures
import importlib.util
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

# Section (cm), material (t, cm).
DEPTH, WIDTH, WEB, FLANGE, FILLET = 30.0, 30.0, 1.1, 1.9, 2.7
FY, E, E2 = 2.4, 2100.0, 21.0
BOW = 1e-3  # of L, at mid-height
STRAIN_LIMIT, STOCKY = 0.05, 0.5  # the P card's X4 for lambda up to STOCKY

LAMBDAS = [round(0.2 + 0.1 * k, 1) for k in range(19)]
QUICK_LAMBDAS = [0.5, 1.0, 1.5]
MESH_LAMBDA, MESH_PARTS = 1.0, (2, 4, 8)
GRID = dict(x4=(3, 4), x6=(0, 1), x2=(0.5, 1.0, 2.0, 4.0))
QUICK_GRID = dict(x4=(4,), x6=(0, 1), x2=(1.0, 2.0))

TOLERANCE = 1e-8
MAXIT, MINIT = 30, 1
END_BELOW = 0.9
MAX_STEPS = 999          # one group
REF_CHANGE = 1e-3        # the reference: two successive halvings within 0.1 %
REF_LEVELS = 8           # at most L/1000 / 2**7
MIN_PEAK_STEPS = 50      # and the finest reaches its peak in 50 steps or more
RUN_TIMEOUT = 300        # s, one run


# ---------------------------------------------------------------- section

def i_fibres(d, b, tw, tf, r):
    """The 20 (area, z) fibres of an I section about its strong axis, by the
    program's strip rule, from the Python package's section module (read
    from the source tree, so that no build of the package is needed)."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python", "nlframe", "sections.py")
    spec = importlib.util.spec_from_file_location("nlframe_sections", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module.i_fibres(d, b, tw, tf, r)


def section_figures():
    fibres = i_fibres(DEPTH, WIDTH, WEB, FLANGE, FILLET)
    area = sum(a for a, _ in fibres)
    inertia = sum(a * z * z for a, z in fibres)
    web_h = DEPTH - 2 * FLANGE
    plate_a = 2 * WIDTH * FLANGE + web_h * WEB
    plate_i = (WIDTH * DEPTH ** 3 - (WIDTH - WEB) * web_h ** 3) / 12
    return dict(area=area, inertia=inertia, radius=math.sqrt(inertia / area), py=area * FY,
                plates_area=plate_a, plates_inertia=plate_i, plates_radius=math.sqrt(plate_i / plate_a))


def limit_for(lam):
    return STRAIN_LIMIT if lam <= STOCKY + 1e-9 else 0.0


def length_for(lam, radius):
    return lam * math.pi * math.sqrt(E / FY) * radius


# ---------------------------------------------------------------- design curves

def en_curve_b(lam, alpha=0.34):
    phi = 0.5 * (1 + alpha * (lam - 0.2) + lam * lam)
    return min(1.0, 1 / (phi + math.sqrt(phi * phi - lam * lam)))


def aisc_curve(lam):
    return 0.658 ** (lam * lam) if lam <= 1.5 else 0.877 / (lam * lam)


# ---------------------------------------------------------------- deck

def real(v):
    """A real in 10 columns, as precise as fits, with a decimal point."""
    if v == 0:
        return "0.".rjust(10)
    for digits in range(15, 1, -1):
        s = "%.*G" % (digits, v)
        if "." not in s and "E" not in s:
            s += "."
        s = re.sub(r"^(-?)0\.", r"\1.", s)
        if len(s) <= 10:
            return s.rjust(10)
    raise ValueError(f"{v} does not fit in 10 columns")


def card(letter, i1=0, i2=0, i3=0, reals=()):
    return (f"{letter}{i1:3d}{i2:3d}{i3:3d}" + "".join(real(x) for x in reals)).rstrip()


def column_deck(length, parts, load, arc, x4=0.0, x6=0, strain_limit=0.0, title=None, section=None):
    """The deck of a column of `length` in `parts` members, a force `load`
    (t) at the top a unit of load factor, one arc-length group. `section`:
    the cards of section 1 (the HEB 300 of this study unless given), under
    the control card `title`."""
    e0 = BOW * length
    if section is None:
        section = [card("I", 1, reals=(DEPTH, WIDTH, WEB, FLANGE, FILLET, FY))]
    lines = [title or f"   0  0  1     PINNED HEB 300 COLUMN L={length:.1f} CM PARTS={parts}",
             card("P", reals=(E, E2, E2, strain_limit))] + list(section)
    # Joints on the half sine, bowed to -X: to the left of the member
    # direction (upward), the side a positive member bow takes.
    for k in range(parts + 1):
        s = k / parts
        x = -e0 * math.sin(math.pi * s) if 0 < k < parts else 0.0
        lines.append(card("J", k + 1, reals=(x, length * s)))
    for k in range(parts):
        s0, s1 = k / parts, (k + 1) / parts
        rest = e0 * (math.sin(math.pi * (s0 + s1) / 2) - (math.sin(math.pi * s0) + math.sin(math.pi * s1)) / 2)
        lines.append(card("M", k + 1, k + 2, 1, (0.2, 0.4, 0.6, 0.8, rest / (length / parts))))
    top, mid = parts + 1, parts // 2 + 1
    lines.append(card("W", reals=(top + 0.12, top + 0.22, mid + 0.21)))
    lines.append(f"L{MAXIT:3d}{MINIT:3d}  0")
    lines.append(card("B", 1, 110, 0, (0.0, 0.0)))
    lines.append(card("B", top, 100, 0, (0.0, -load)))
    lines.append(card("E", 0, MAX_STEPS, MAX_STEPS, (TOLERANCE, arc, 1.0, x4, END_BELOW, x6)))
    lines.append("F")
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------- runs

SUMMARY = re.compile(r"^nlframe: (\d+) steps, (\d+) iterations, (\d+) not converged(.*)$")
CUTS = re.compile(r"^, (\d+) cut-backs?")
PEAK = re.compile(r"group 1 load factor ([-+]?[0-9.]+(?:[eE][-+]?\d+)?) at step (\d+)((?: \([^)]*\))*)")


def parse_stderr(text):
    """Steps, iterations, steps not converged, cut-backs and the group's peak
    with the words in parentheses after it, from the summary line; the
    first line that is not a warning when there is no summary."""
    out = dict(steps=None, iterations=None, not_converged=None, cut_backs=0, peak=None, peak_step=None,
               peak_notes=None, summary=None, message=None)
    lines = [l for l in text.splitlines() if l.strip()]
    for line in lines:
        m = SUMMARY.match(line)
        if m:
            out.update(steps=int(m[1]), iterations=int(m[2]), not_converged=int(m[3]), summary=line)
            c = CUTS.match(m[4])
            if c:
                out["cut_backs"] = int(c[1])
            p = PEAK.search(m[4])
            if p:
                notes = re.findall(r"\(([^)]*)\)", p[3])
                out.update(peak=float(p[1]), peak_step=int(p[2]), peak_notes="; ".join(notes) or None)
    if out["summary"] is None:
        errors = [l for l in lines if not l.startswith("nlframe: warning")]
        out["message"] = (errors or lines or [""])[0]
    return out


def read_curve(path):
    """fort.61: step, top force Y (t), top displacement Y (mm), mid-height X (mm)."""
    rows = []
    try:
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 4 and parts[0].isdigit():
                    try:
                        rows.append((int(parts[0]), *map(float, parts[1:])))
                    except ValueError:
                        pass
    except OSError:
        pass
    return rows


def listing_section(path):
    """Area and second moment of section 1 as the program lists them."""
    try:
        text = open(path, errors="replace").read()
    except OSError:
        return None
    m = re.search(r"AAA\(CM\*\*2\)\s+AAZ\(CM\*\*3\)\s+AZZ\(CM\*\*4\)\s*\n\s*(\S+)\s+(\S+)\s+(\S+)", text)
    return (float(m[1]), float(m[3])) if m else None


class Runner:
    def __init__(self, program, workdir):
        self.program, self.workdir = program, workdir
        self.count = 0
        self.lock = threading.Lock()

    def run(self, name, deck):
        with self.lock:
            self.count += 1
        folder = os.path.join(self.workdir, name)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "column.dat"), "w") as f:
            f.write(deck)
        env = dict(os.environ, NLFRAME_THREADS="1")
        t = time.perf_counter()
        try:
            p = subprocess.run([self.program, "column.dat"], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True, errors="replace", timeout=RUN_TIMEOUT)
            status, stderr = p.returncode, p.stderr
        except subprocess.TimeoutExpired:
            status, stderr = "timeout", f"nlframe: no end after {RUN_TIMEOUT} s"
        result = dict(status=status, seconds=time.perf_counter() - t, folder=folder)
        result.update(parse_stderr(stderr))
        return result


def peak_figures(run, scale):
    """P/Py at the peak, whether the path went over it (the peak is not the
    last step), and the top shortening and mid-height deflection there (cm)."""
    if run["peak"] is None:
        run.update(p_py=None, passed=False)
        return run
    run["p_py"] = run["peak"] / scale
    notes = run["peak_notes"] or ""
    run["passed"] = run["peak_step"] < run["steps"] and "rising" not in notes
    run["peak_converged"] = "not converge" not in notes
    curve = {r[0]: r for r in read_curve(os.path.join(run["folder"], "fort.61"))}
    at = curve.get(run["peak_step"])
    run["shortening"] = -at[2] / 10 if at else None
    run["deflection"] = -at[3] / 10 if at else None
    return run


# ---------------------------------------------------------------- study parts

def reference(runner, sec, lam, parts=4):
    """Fixed arc lengths from L/1000, halved until three good runs in a row
    agree to 0.1 % (the last two changes); the finest is the reference."""
    length = length_for(lam, sec["radius"])
    levels, good = [], []
    arc = length / 1000

    def changes():
        return [abs(b["p_py"] / a["p_py"] - 1) for a, b in zip(good, good[1:])]

    for k in range(REF_LEVELS):
        name = f"ref-{lam:.1f}-p{parts}-{k}"
        deck = column_deck(length, parts, sec["py"], arc, strain_limit=limit_for(lam))
        r = peak_figures(runner.run(name, deck), 1.0)
        r["arc"] = arc
        r["good"] = (r["status"] == 0 and r["not_converged"] == 0 and r["passed"] and r["peak_converged"]
                     and not r["cut_backs"])
        levels.append(r)
        good = good + [r] if r["good"] else []  # successive good runs only
        if len(good) >= 3 and max(changes()[-2:]) <= REF_CHANGE and r["peak_step"] >= MIN_PEAK_STEPS:
            break
        if r["good"] and 2 * r["peak_step"] > MAX_STEPS - 10:
            break  # the next halving would not reach the peak in one group
        arc /= 2
    best = good[-1] if good else None
    last = changes()[-2:]
    return dict(lam=lam, length=length, parts=parts, p_py=best and best["p_py"], arc=best and best["arc"],
                peak_step=best and best["peak_step"], change=last[-1] if last else None,
                converged=len(last) == 2 and max(last) <= REF_CHANGE and best["peak_step"] >= MIN_PEAK_STEPS,
                shortening=best and best["shortening"], deflection=best and best["deflection"],
                levels=[{k: v for k, v in r.items() if k != "folder"} for r in levels],
                listing=listing_section(os.path.join(levels[0]["folder"], "R.rst")))


def grid_runs(runner, sec, lam, grid, divisor, ref):
    length = length_for(lam, sec["radius"])
    out = []
    for x4 in grid["x4"]:
        for x6 in grid["x6"]:
            for x2 in grid["x2"]:
                name = f"grid-{lam:.1f}-x4{x4}-x6{x6}-x2{x2:g}"
                deck = column_deck(length, 4, sec["py"] / divisor, x2, x4=float(x4), x6=x6,
                                   strain_limit=limit_for(lam))
                r = peak_figures(runner.run(name, deck), divisor)
                r.update(lam=lam, x4=x4, x6=x6, x2=x2)
                r["error"] = (r["p_py"] / ref - 1) if (r["p_py"] is not None and ref) else None
                r["outcome"] = ("failed" if r["status"] != 0 or r["p_py"] is None else
                                "not passed" if not r["passed"] else
                                "not converged at the peak" if r["not_converged"] or not r["peak_converged"] else "passed")
                r.pop("folder")
                out.append(r)
    return out


# ---------------------------------------------------------------- printing

def pct(v, digits=2):
    return "-" if v is None else f"{100 * v:+.{digits}f}%"


def num(v, fmt="%.4f"):
    return "-" if v is None else fmt % v


def print_section(sec):
    print("HEB 300, strong axis, 20 fibres as the program cuts them (root fillet 2.7 cm):")
    print(f"  A {sec['area']:.2f} cm2, I {sec['inertia']:.0f} cm4, i {sec['radius']:.3f} cm, "
          f"Py = A fy {sec['py']:.2f} t")
    print(f"  (nominal plates, no fillets: A {sec['plates_area']:.2f} cm2, I {sec['plates_inertia']:.0f} cm4, "
          f"i {sec['plates_radius']:.3f} cm; lambda uses the fibre figures)")
    if sec.get("listing"):
        a, i = sec["listing"]
        print(f"  the program's listing: A {a:g} cm2, I {i:g} cm4 "
              f"({pct(a / sec['area'] - 1)}, {pct(i / sec['inertia'] - 1)}; 4 digits printed)")


def print_references(refs):
    print("\nReference peaks (fixed arc length, 4 parts, pattern Py) and the design curves:")
    print("  lambda  L (cm)   P/Py ref  EN b    AISC    ref/EN  ref/AISC  arc (cm)  step  last change  "
          "shortening  deflection (cm)")
    for r in refs:
        lam, ref = r["lam"], r["p_py"]
        en, ai = en_curve_b(lam), aisc_curve(lam)
        flag = "" if r["converged"] else "  NOT CONVERGED"
        print(f"  {lam:4.1f}  {r['length']:8.1f}  {num(ref)}    {en:.4f}  {ai:.4f}  "
              f"{num(ref and ref / en, '%.3f')}   {num(ref and ref / ai, '%.3f')}    {num(r['arc'], '%.5f')}  "
              f"{r['peak_step'] or '-':>4}  {pct(r['change'], 3):>10}   {num(r['shortening'], '%.3f'):>8}    "
              f"{num(r['deflection'], '%.3f'):>8}{flag}")


def print_levels(refs, title):
    print(f"\n{title} (arc length cm: peak P/Py; * = the run does not count: a step not converged, "
          "a step taken back, or no peak passed):")
    for r in refs:
        cells = []
        for lv in r["levels"]:
            mark = "" if lv["good"] else "*"
            cells.append(f"{lv['arc']:.4g}: {num(lv['p_py'], '%.5f')}{mark}")
        head = f"  lambda {r['lam']:.1f}" + (f" parts {r['parts']}" if r["parts"] != 4 else "")
        print(f"{head}: " + ", ".join(cells))


def print_mesh(mesh):
    print(f"\nMesh at lambda {MESH_LAMBDA}: parts, reference P/Py, against the finest:")
    finest = mesh[-1]["p_py"]
    for r in mesh:
        print(f"  {r['parts']} parts: {num(r['p_py'], '%.5f')}  ({pct(r['p_py'] / finest - 1 if r['p_py'] and finest else None, 3)})"
              f"  arc {r['arc']:.4g} cm, last change {pct(r['change'], 3)}")


def grid_cell(r, length):
    if r["outcome"] == "failed":
        m = re.search(r"step (\d+)", r["message"] or "")
        return f"st {r['status']}" + (f" at step {m[1]}" if m else "")
    if r["outcome"] == "not passed":
        t = f"{r['p_py']:.4g} np"
        if r.get("shortening") and r["shortening"] > 0.03 * length:
            t += f" d/L {100 * r['shortening'] / length:.0f}%"
        return t + f" {r['steps']}/{r['iterations']}" + (f" cb {r['cut_backs']}" if r["cut_backs"] else "")
    t = f"{r['p_py']:.4f} {pct(r['error'], 1)} {r['steps']}/{r['iterations']}"
    t += f" nc {r['not_converged']}" if r["not_converged"] else ""
    t += " pk-nc" if not r["peak_converged"] else ""
    return t + (f" cb {r['cut_backs']}" if r["cut_backs"] else "")


def print_grid(grid, x2s, divisor, lengths):
    print(f"\nAdaptive grid (4 parts, pattern Py/{divisor:g}, X3 1, X5 {END_BELOW}). Cell: peak P/Py, error "
          "against the reference, steps/iterations; nc N: N steps did not converge; pk-nc: the peak's step did "
          "not converge; cb N: N steps taken back and tried shorter; np: no peak passed (the largest value "
          "was the last step, or the summary says still rising), d/L: the top shortening there over L; "
          "st S: exit status S and the step it stopped in.")
    print("  lambda X4 X6 | " + " | ".join(f"X2 = {x:<26g}" for x in x2s))
    rows = {}
    for r in grid:
        rows.setdefault((r["lam"], r["x4"], r["x6"]), {})[r["x2"]] = r
    for (lam, x4, x6), cells in rows.items():
        print(f"  {lam:4.1f}  {x4}  {x6} | " + " | ".join(f"{grid_cell(cells[x], lengths[lam]):<31}" for x in x2s))

    print("\nBy setting, over the slendernesses: runs failed (status not 0), not passed (np), passed with "
          "steps not converged (nc), passed cleanly; the largest |error| of the clean runs and of the nc runs:")
    print("  X4 X6  X2   failed  np  nc  clean  largest |error| clean     nc")
    sets = {}
    for r in grid:
        sets.setdefault((r["x4"], r["x6"], r["x2"]), []).append(r)
    for (x4, x6, x2), runs in sets.items():
        count = {o: sum(r["outcome"] == o for r in runs)
                 for o in ("failed", "not passed", "not converged at the peak", "passed")}
        worst = []
        for outcome in ("passed", "not converged at the peak"):
            w = max((r for r in runs if r["outcome"] == outcome), key=lambda r: abs(r["error"]), default=None)
            worst.append(f"{100 * abs(w['error']):.2f} % ({w['lam']:.1f})" if w else "-")
        print(f"  {x4}  {x6}  {x2:<4g}  {count['failed']:5d}  {count['not passed']:3d} "
              f"{count['not converged at the peak']:3d}  {count['passed']:5d}  {worst[0]:<20}  {worst[1]}")


# ---------------------------------------------------------------- main

def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--program", required=True, help="the nlframe program")
    ap.add_argument("--quick", action="store_true", help="lambda 0.5, 1.0, 1.5 and a few settings")
    ap.add_argument("--json", metavar="OUT", help="write every number to OUT")
    ap.add_argument("--grid-pattern", type=float, default=100.0, metavar="N",
                    help="the adaptive runs load the top with Py/N (default 100)")
    ap.add_argument("--jobs", type=int, default=2, help="runs at a time (default 2)")
    ap.add_argument("--keep", metavar="DIR", help="keep the run folders in DIR")
    args = ap.parse_args(argv)

    program = shutil.which(args.program) or args.program
    program = os.path.abspath(program)
    if not os.access(program, os.X_OK):
        ap.error(f"{args.program} is not an executable program")
    workdir = os.path.abspath(args.keep) if args.keep else tempfile.mkdtemp(prefix="column-study-")
    os.makedirs(workdir, exist_ok=True)
    runner = Runner(program, workdir)
    lams = QUICK_LAMBDAS if args.quick else LAMBDAS
    grid = QUICK_GRID if args.quick else GRID
    start = time.perf_counter()
    try:
        sec = section_figures()
        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            refs = list(pool.map(lambda lam: reference(runner, sec, lam), lams))
            mesh = [] if args.quick else list(pool.map(lambda n: reference(runner, sec, MESH_LAMBDA, n), MESH_PARTS))
            ref_of = {r["lam"]: r["p_py"] for r in refs}
            grids = list(pool.map(lambda lam: grid_runs(runner, sec, lam, grid, args.grid_pattern, ref_of[lam]), lams))
        sec["listing"] = refs[0]["listing"]
        seconds = time.perf_counter() - start

        print(f"Column study: {runner.count} runs of {program} in {seconds:.1f} s\n")
        print_section(sec)
        print_references(refs)
        print_levels(refs, "Convergence of the references")
        if mesh:
            print_mesh(mesh)
            print_levels(mesh, "Convergence with 2, 4 and 8 parts")
        flat = [r for g in grids for r in g]
        print_grid(flat, grid["x2"], args.grid_pattern, {r["lam"]: r["length"] for r in refs})
        count = {o: sum(r["outcome"] == o for r in flat)
                 for o in ("failed", "not passed", "not converged at the peak", "passed")}
        print(f"\n  {len(flat)} adaptive runs: " + ", ".join(f"{n} {o}" for o, n in count.items()))

        if args.json:
            data = dict(program=program, quick=args.quick, seconds=seconds, runs=runner.count,
                        section=sec, material=dict(fy=FY, E=E, E2=E2, E3=E2), bow=BOW,
                        settings=dict(strain_limit=STRAIN_LIMIT, strain_limit_up_to_lambda=STOCKY,
                                      tolerance=TOLERANCE, maxit=MAXIT, minit=MINIT, end_below=END_BELOW,
                                      reference_pattern="Py", grid_pattern_divisor=args.grid_pattern,
                                      reference_change=REF_CHANGE, parts=4),
                        references=[dict(r, en_b=en_curve_b(r["lam"]), aisc=aisc_curve(r["lam"])) for r in refs],
                        mesh=mesh, grid=flat)
            with open(args.json, "w") as f:
                json.dump(data, f, indent=1)
            print(f"\nNumbers written to {args.json}")
    finally:
        if not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
