"""The HDF5 results file against the text result files on a long push (a
benchmark, not a test).

    PYTHONPATH=build/python /usr/bin/python3 bench/results_h5.py [--program build/nlframe] [--steps 1000]
        [--compress 0]

The 720-member frame of 20 storeys, 4 bays and 4 parts per member (the
builder's, as in bench/capacity_scaling.py) under gravity, then pushed
over by arc-length steps: 1 + (steps - 1) output steps. The deck is run as
a whole process by the program (--capacity auto, one thread) three ways:
text files only (as ever), text and results.h5 (--results h5), and
results.h5 alone (--results h5-only); then the tables are read into
DataFrames by the package: the fibre table (stations) from results.h5
against the same table parsed from the text files. Prints the sizes, the
run times and the read times; then the same with the fibre tables written
every 10 steps (the builder's default for a history of 1000 steps).
"""
import argparse
import io
import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from nlframe.model import Model
from frames import grid_frame

ROOT = Path(__file__).resolve().parents[1]
TEXT_TABLES = ("Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst")


def frame(steps, bays=4, storeys=20, parts=4):
    m = Model("PUSH %dx%dx%d" % (bays, storeys, parts))
    m.material(2100., 21., 21.)
    s = m.i_section(30, 15, 0.71, 1.07, 1.5, 2.4)
    rows = grid_frame(m, bays, storeys, s, s, parts)
    m.watch_displacement(rows[storeys][0], "x")
    m.iterations(30, 1)
    m.supports(*rows[0])
    for f in range(1, storeys + 1):
        for c in range(bays + 1):
            m.load(rows[f][c], fy=-0.5)
    m.load_steps(1)
    for f in range(1, storeys + 1):
        m.load(rows[f][0], fx=round(3.0 / storeys, 4))
    m.arc_length(steps - 1, 0.05, detail=50)
    m.finish()
    return m


class Time:
    """Wall and processor seconds of a run (the processor's those of every
    thread: the HDF5 writer's compression counts even when a spare core
    hides it from the wall clock)."""

    def __init__(self, wall, cpu):
        self.wall, self.cpu = wall, cpu

    def against(self, base):
        return "wall %.2f s (%+.1f %%), processor %.2f s (%+.1f %%)" % (
            self.wall, 100 * (self.wall - base.wall) / base.wall, self.cpu, 100 * (self.cpu - base.cpu) / base.cpu)


def run(program, folder, deck, *options):
    env = dict(os.environ, NLFRAME_THREADS="1")
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t0 = time.perf_counter()
    r = subprocess.run([program, "--capacity", "auto", *options, deck], cwd=folder, env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - t0
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if r.returncode != 0:
        sys.exit("%s: status %d: %s" % (" ".join(options) or "text", r.returncode, r.stderr.strip()))
    cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    return Time(wall, cpu), r.stderr.strip().splitlines()[-1]


def size(folder, names):
    return sum((Path(folder) / n).stat().st_size for n in names if (Path(folder) / n).exists())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default=str(ROOT / "build" / "nlframe"))
    ap.add_argument("--steps", type=int, default=1000)
    ap.add_argument("--compress", default="0", help="deflate level of results.h5 (the program's --compress)")
    a = ap.parse_args()
    import h5py  # noqa: F401 -- imported before the clocks, as pandas is
    import pandas as pd
    from nlframe import _h5, _nlframe
    with tempfile.TemporaryDirectory(prefix="nlframe-h5-") as d:
        folders = {k: Path(d) / k for k in ("text", "h5", "only", "text10", "h510")}
        for f in folders.values():
            f.mkdir()
            frame(a.steps).write(f / "push.dat")
        print(os.uname().nodename, "load average %.1f %.1f %.1f" % os.getloadavg(), flush=True)
        t_text, line = run(a.program, folders["text"], "push.dat")
        t_h5, _ = run(a.program, folders["h5"], "push.dat", "--results", "h5", "--compress", a.compress)
        t_only, _ = run(a.program, folders["only"], "push.dat", "--results", "h5-only", "--compress", a.compress)
        t_text10, _ = run(a.program, folders["text10"], "push.dat", "--fibres-every", "10")
        t_h510, _ = run(a.program, folders["h510"], "push.dat", "--results", "h5", "--fibres-every", "10",
                        "--compress", a.compress)
        text_bytes = size(folders["text"], TEXT_TABLES)
        h5_bytes = size(folders["h5"], ["results.h5"])
        print("run: %s" % line)
        print("text tables: %.1f MB (Mstr.rst %.1f MB); results.h5: %.1f MB, %.3f of the text"
              % (text_bytes / 1e6, size(folders["text"], ["Mstr.rst"]) / 1e6, h5_bytes / 1e6, h5_bytes / text_bytes))
        print("run time: text wall %.2f s, processor %.2f s; text and h5 %s; h5 alone %s"
              % (t_text.wall, t_text.cpu, t_h5.against(t_text), t_only.against(t_text)))
        h510_bytes = size(folders["h510"], ["results.h5"])
        print("fibres every 10 steps (the builder's default for 1000 steps): results.h5 %.1f MB, %.3f of the "
              "full text tables; run time text wall %.2f s, processor %.2f s; text and h5 %s"
              % (h510_bytes / 1e6, h510_bytes / text_bytes, t_text10.wall, t_text10.cpu, t_h510.against(t_text10)))
        deck = str(folders["text"] / "push.dat")
        t0 = time.perf_counter()
        raw = _nlframe.tables(deck, str(folders["text"]))
        t_parse = time.perf_counter() - t0
        t0 = time.perf_counter()
        stations_text = pd.read_csv(io.BytesIO(raw["stations"]), dtype={"state": str}, keep_default_na=False,
                                    na_values=[""], float_precision="round_trip")
        t_frame = time.perf_counter() - t0
        rows = len(stations_text)
        del raw, stations_text
        t0 = time.perf_counter()
        stations_h5 = _h5.read_stations(folders["h5"])
        t_h5_read = time.perf_counter() - t0
        assert len(stations_h5) == rows
        print("fibre table (%d rows) into a DataFrame: from the text files %.2f s (parsing the five files %.2f s, "
              "the DataFrame %.2f s); from results.h5 %.2f s: %.1f times faster"
              % (rows, t_parse + t_frame, t_parse, t_frame, t_h5_read, (t_parse + t_frame) / t_h5_read))
        del stations_h5
        t0 = time.perf_counter()
        _h5.read_tables(folders["h5"])
        print("every table from results.h5: %.2f s" % (time.perf_counter() - t0))

if __name__ == "__main__":
    main()
