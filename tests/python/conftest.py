# The package under test is the one the build put in <build>/python
# (NLFRAME_BUILD, default build/ of the source tree); the stored cases of
# tests/regress give the decks and what the program writes for them.
import os
import shutil
import sys
from pathlib import Path

import pytest

SOURCE = Path(os.environ.get("NLFRAME_SOURCE", Path(__file__).resolve().parents[2]))
BUILD = Path(os.environ.get("NLFRAME_BUILD", SOURCE / "build"))
CASES = SOURCE / "tests" / "regress" / "cases"
EXPECTED = SOURCE / "tests" / "regress" / "expected"

sys.path.insert(0, str(BUILD / "python"))
# Worker processes (dask) find the package the same way.
os.environ["PYTHONPATH"] = os.pathsep.join(
    [str(BUILD / "python")] + [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p])


@pytest.fixture
def case(tmp_path):
    """case(name) -> the deck of a stored case, copied into a folder of its own."""
    def make(name, run=1):
        src = CASES / name / str(run)
        dst, k = tmp_path / name, 1
        while dst.exists():
            k += 1
            dst = tmp_path / ("%s-%d" % (name, k))
        shutil.copytree(src, dst)
        return dst / (dst / ".stdin").read_text().strip()
    return make


def expected(name, run=1):
    """The files the program writes for a stored case."""
    return EXPECTED / name / str(run)


def result_files(folder):
    return sorted(p.name for p in Path(folder).iterdir() if p.name.endswith(".rst") or p.name.startswith("fort."))
