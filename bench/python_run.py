"""What the Python package costs over the engine (a benchmark, not a test).

    PYTHONPATH=build/python /usr/bin/python3 bench/python_run.py

- the cost of nlframe.run over the analysis itself, on the portal example:
  the time of the call less the engine's own time for the run (median of
  many runs), and beside it the program started as a process;
- reading every table of the 204-member frame that keeps its fibre state in
  scratch files (the stored case frame-204-scratch) into DataFrames.
"""
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import nlframe

ROOT = Path(__file__).resolve().parents[1]


def median_ms(values):
    return 1000 * statistics.median(values)


def main():
    work = Path(tempfile.mkdtemp(prefix="nlframe-bench-"))
    try:
        deck = work / "portal.dat"
        shutil.copy(ROOT / "examples" / "portal.dat", deck)
        nlframe.run(deck, workdir=work / "warm", threads=1)
        calls, engine = [], []
        for k in range(60):
            t = time.perf_counter()
            r = nlframe.run(deck, workdir=work / "portal", threads=1)
            calls.append(time.perf_counter() - t)
            engine.append(r.seconds)
        over = [c - e for c, e in zip(calls, engine)]
        program = ROOT / "build" / "nlframe"
        procs = []
        if program.exists():
            for k in range(20):
                t = time.perf_counter()
                subprocess.run([str(program)], input=b"portal.dat\n", cwd=work, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env={"NLFRAME_THREADS": "1"}, check=True)
                procs.append(time.perf_counter() - t)
        print("portal, 1 thread: nlframe.run %.2f ms, the engine's run %.2f ms, overhead %.3f ms (median of %d)"
              % (median_ms(calls), median_ms(engine), median_ms(over), len(calls)))
        if procs:
            print("portal: the program as a process %.2f ms (median of %d)" % (median_ms(procs), len(procs)))

        case = ROOT / "tests" / "regress" / "cases" / "frame-204-scratch" / "1" / "frame.dat"
        shutil.copy(case, work / "frame.dat")
        big = nlframe.run(work / "frame.dat", threads=1)
        t = time.perf_counter()
        import pandas  # noqa: F401  the first DataFrame imports it; timed apart
        print("import pandas: %.0f ms" % (1000 * (time.perf_counter() - t)))
        reads = []
        for k in range(7):
            fresh = nlframe.Run(big.deck, big.folder, {**_result(big)})
            t = time.perf_counter()
            fresh._read()
            reads.append(time.perf_counter() - t)
        rows = sum(len(v) for k, v in fresh._read().items() if k != "curves")
        print("frame-204-scratch: every table read, %d rows, %.0f ms (median of %d)"
              % (rows, median_ms(reads), len(reads)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def _result(run):
    return {"status": run.status, "message": run.message, "steps": run.steps, "iterations": run.iterations,
            "not_converged": run.not_converged, "peaks": [p.__dict__ for p in run.peaks], "messages": [],
            "seconds": run.seconds}


if __name__ == "__main__":
    sys.exit(main())
