"""Helpers of the model-builder tests: the package from the source tree, and
decks run through the program binary in a folder of their own."""

import os
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
# The built package (build/python) wins when it is on the path; the source
# tree serves the pure-Python builder without it.
sys.path.append(os.path.join(ROOT, "python"))

RESULT_FILES = ["Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst"]


def program() -> str | None:
    """The program of the build folder (NLFRAME names another one)."""
    p = os.environ.get("NLFRAME") or os.path.join(ROOT, "build", "nlframe")
    return p if os.access(p, os.X_OK) else None


def run_text(text: str, folder: str, name: str = "deck.dat") -> dict[str, bytes]:
    """Runs a deck text in `folder`; returns its result files and curves by name."""
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "w") as f:
        f.write(text)
    done = subprocess.run([program()], input=name + "\n", cwd=folder, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    files = {}
    for n in sorted(os.listdir(folder)):
        if n in RESULT_FILES or n.startswith("fort.6"):
            with open(os.path.join(folder, n), "rb") as f:
                files[n] = f.read()
    return files


def cards(text: str) -> list[str]:
    """The lines of a deck that are not comments."""
    return [l.rstrip() for l in text.splitlines() if not l.startswith("$")]
