"""nlframe from Python: run decks in-process, read their results as pandas
DataFrames, check decks, and run many decks at once on this machine or on a
dask.distributed cluster.

    import nlframe
    run = nlframe.run("portal.dat")            # results in portal/ beside the deck
    run.status, run.steps, run.peaks
    run.joint_displacements                     # a DataFrame, as nlframe-export writes it

numpy and pandas are imported only when a DataFrame is built.
"""

import errno as _errno
import os as _os
import re as _re
from dataclasses import dataclass as _dataclass, field as _field
from pathlib import Path as _Path

from . import _nlframe
from ._nlframe import Cancel, ResultError

__all__ = ["run", "check", "run_many", "Run", "Summary", "Peak", "Finding", "DeckError", "RunError",
           "ResultError", "Cancel", "CANCELLED"]

CANCELLED = _nlframe.CANCELLED  # the status of a cancelled run


@_dataclass(frozen=True)
class Peak:
    """The peak of a load group, one for every group run (the run's summary
    line names the same): kind "load_factor" (the largest load factor the
    group reached) or "force" (a group that prescribes displacements: the
    largest resisting force at its prescribed freedoms of one direction,
    summed over the joints, t or t-cm), the group's number in the run from
    1, the value and the step where it was reached; for a force also its
    direction ("x", "y" or "r"), the first prescribed joint and its total
    displacement there at the peak (cm or rad).

    How far the value can be trusted: `passed` is False when the group ended
    while the value was still rising (the largest value reached, not a peak
    the path went over); `converged` is False when the step of the peak
    stopped at its iteration limit; `strain` is the largest fibre strain
    (absolute value) of the frame at that step."""
    kind: str
    group: int
    value: float
    step: int
    direction: str = None
    joint: int = None
    displacement: float = None
    passed: bool = True
    converged: bool = True
    strain: float = 0.0


@_dataclass(frozen=True)
class Finding:
    """One report of the deck check: severity "error" or "warning", the deck
    line (0: the deck as a whole), the columns (first, last) or None, and
    the text after the place."""
    severity: str
    line: int
    columns: tuple
    message: str
    file: str = ""

    def __str__(self):
        return _place_text(self.file, self.line, self.columns,
                           ("warning: " if self.severity == "warning" else "") + self.message)


class DeckError(ValueError):
    """A deck that the program refuses before the analysis. `file`, `line`,
    `columns` and `message` are those of the program's line on standard
    error; `findings` holds every finding of the deck check."""

    def __init__(self, text, file, line, columns, message, findings):
        super().__init__(text)
        self.file = file
        self.line = line
        self.columns = columns
        self.message = message
        self.findings = findings


class RunError(RuntimeError):
    """A run that stopped on a fault of the program itself rather than of
    the deck (the program's "internal error" line). `status` is the run's
    exit status, `message` that line without the program's name, `deck` and
    `folder` those of the run, `messages` every line of its standard
    error."""

    def __init__(self, deck, folder, status, message, messages=()):
        super().__init__("%s: %s" % (deck, message))
        self.deck = deck
        self.folder = folder
        self.status = status
        self.message = message
        self.messages = list(messages)


@_dataclass
class Summary:
    """What a run did, without its tables: what run_many returns."""
    deck: str
    folder: str
    status: int
    message: str
    steps: int = 0
    iterations: int = 0
    not_converged: list = _field(default_factory=list)
    peaks: list = _field(default_factory=list)
    seconds: float = 0.0


def _place(file, text):
    """Splits "FILE: line N, columns A-B: detail" into (line, columns, detail);
    (0, None, text) when the text names no line of the file."""
    prefix = file + ": "
    if not text.startswith(prefix):
        return 0, None, text
    rest = text[len(prefix):]
    m = _re.match(r"line (\d+)(?:, columns? (\d+)(?:-(\d+))?)?: ", rest)
    if not m:
        return 0, None, rest
    cols = None
    if m.group(2):
        first = int(m.group(2))
        cols = (first, int(m.group(3)) if m.group(3) else first)
    return int(m.group(1)), cols, rest[m.end():]


def _place_text(file, line, columns, detail):
    where = ""
    if line > 0:
        where = "line %d" % line
        if columns:
            where += (", columns %d-%d" % columns) if columns[1] > columns[0] else ", column %d" % columns[0]
        where += ": "
    return "%s: %s%s" % (file, where, detail)


def check(deck):
    """Checks a deck with the program's own readers, without running it; a
    list of Finding, in deck-line order (empty: no errors, no warnings)."""
    name = _os.fspath(deck)
    r = _nlframe.check(name)
    out = []
    for status, _line, text in r["findings"]:
        line, cols, detail = _place(name, text)
        severity = "error"
        if status == 0:
            severity = "warning"
            if detail.startswith("warning: "):
                detail = detail[len("warning: "):]
        out.append(Finding(severity, line, cols, detail, name))
    return out


def _threads(threads):
    if threads is None:
        env = _os.environ.get("NLFRAME_THREADS", "")
        if env == "":
            return _nlframe.machine_threads()
        n = _nlframe.parse_thread_count(env)
        if n == 0:
            raise ValueError("NLFRAME_THREADS=%s: the number of threads must be a whole number from 1 to %d"
                             % (env, _nlframe.MAX_THREADS))
        return n
    if isinstance(threads, bool) or not isinstance(threads, int) or not 1 <= threads <= _nlframe.MAX_THREADS:
        raise ValueError("threads must be a whole number from 1 to %d, not %r" % (_nlframe.MAX_THREADS, threads))
    return threads


def _default_folder(deck):
    p = _Path(deck)
    return p.with_suffix("") if p.suffix else p.with_name(p.name + ".run")


def _raise_refused(name, r):
    """A run that stopped before its first load step on the deck or on a
    file: the exception that says so."""
    message = r["message"]
    if r["status"] == 2 and message.startswith((name + ": cannot open the deck", name + ": cannot read: ")):
        code = _errno.ENOENT if not _os.path.exists(name) else (
            _errno.EISDIR if _os.path.isdir(name) else _errno.EACCES)
        raise (FileNotFoundError if code == _errno.ENOENT else OSError)(code, message, name)
    if message.startswith(name + ": "):
        line, cols, detail = _place(name, message)
        try:
            findings = check(name)
        except Exception:  # the check's own trouble is no reason to hide the error
            findings = []
        raise DeckError(message, name, line, cols, detail, findings)
    if r["status"] == 2:
        raise OSError(message)


class Run:
    """A finished run: its status and figures, and its result files as
    DataFrames (read on first use, by the readers of nlframe-export)."""

    def __init__(self, deck, folder, result):
        self.deck = deck
        self.folder = _Path(folder)
        self.status = result["status"]
        self.message = result["message"]
        self.steps = result["steps"]
        self.iterations = result["iterations"]
        self.not_converged = [tuple(r) for r in result["not_converged"]]
        self.peaks = [Peak(**p) for p in result["peaks"]]
        self.messages = [m[len("nlframe: "):] if m.startswith("nlframe: ") else m.strip()
                         for m in result["messages"]]
        self.seconds = result["seconds"]
        self._tables = None

    def __repr__(self):
        return "<nlframe.Run %s: status %d, %s>" % (self.deck, self.status, self.message)

    @property
    def listing(self):
        """The text of the listing R.rst."""
        return (self.folder / "R.rst").read_text(errors="replace")

    def summary(self):
        return Summary(str(self.deck), str(self.folder), self.status, self.message, self.steps, self.iterations,
                       list(self.not_converged), list(self.peaks), self.seconds)

    def _read(self):
        if self._tables is None:
            self._tables = _frames(_nlframe.tables(_os.fspath(self.deck), _os.fspath(self.folder)))
        return self._tables

    joint_displacements = property(lambda self: self._read()["joint_displacements"],
                                   doc="Jdis.rst: step, joint, displacements (iteration, step, total).")
    joint_forces = property(lambda self: self._read()["joint_forces"],
                            doc="Jfor.rst: step, joint, unbalanced, applied and internal loads.")
    member_forces = property(lambda self: self._read()["member_forces"],
                             doc="Mfor.rst: member end forces and end strains.")
    member_nodes = property(lambda self: self._read()["member_nodes"],
                            doc="Mdis.rst: member node displacements, on the detail steps.")
    stations = property(lambda self: self._read()["stations"],
                        doc="Mstr.rst: fibre states, stresses and outer strains of every station.")
    curves = property(lambda self: self._read()["curves"],
                      doc="The response curves: curve unit -> DataFrame named by the watch codes.")


def _frames(t):
    import io
    import pandas as pd

    def frame(data, text_columns=()):
        # round_trip: every number exactly the double the printed digits name
        return pd.read_csv(io.BytesIO(data), dtype={c: str for c in text_columns}, keep_default_na=False,
                           na_values=[""], float_precision="round_trip")

    joints = frame(t["joints"])
    keys = ["step", "joint"]
    return {
        "joint_displacements": joints[keys + list(t["joint_displacement_columns"])],
        "joint_forces": joints[keys + list(t["joint_force_columns"])],
        "member_forces": frame(t["member_forces"]),
        "member_nodes": frame(t["member_nodes"]),
        "stations": frame(t["stations"], ["state"]),
        "curves": {unit: frame(text) for unit, text in t["curves"].items()},
    }


def run(deck, workdir=None, threads=None, progress=None, cancel=None):
    """Runs a deck in-process and returns a Run.

    The run happens in `workdir` (created if needed; default: a folder named
    after the deck, beside it), on `threads` threads (default: NLFRAME_THREADS,
    else every core). `progress(step, load_factor)` is called after every
    load step; `cancel` (a nlframe.Cancel) stops the run from another thread
    at its next iteration (status nlframe.CANCELLED). A progress function
    that raises stops the run the same way (setting `cancel`, if given), and
    its exception is raised once the run has closed its files. The interpreter's lock
    is released while the run goes on, so that threads can run several decks
    at once.

    A deck refused before the analysis raises DeckError; a deck that cannot
    be read FileNotFoundError or OSError; a bad thread count ValueError; a
    fault of the program itself RunError. An analysis that stops is a
    result: the Run's status is not 0.
    """
    name = _os.fspath(deck)
    n = _threads(threads)
    folder = _Path(workdir) if workdir is not None else _default_folder(name)
    folder.mkdir(parents=True, exist_ok=True)
    # The deck is opened by the path given, relative to this process's folder.
    opened = name if _os.path.isabs(name) else _os.path.abspath(name)
    r = _nlframe.run(opened, name, _os.fspath(folder.resolve()), n, progress, cancel)
    if r["internal_error"]:
        raise RunError(name, _os.fspath(folder), r["status"], r["message"], r["messages"])
    if r["status"] != 0 and not r["started"]:
        _raise_refused(name, r)
    return Run(_Path(name), folder, r)


def run_many(decks, jobs=None, client=None, workdir=None, threads=1):
    """Runs many decks and returns a Summary of each, in the order given; a
    deck that fails is reported in its Summary and the others go on.

    Without `client` a pool of `jobs` threads (default: every core) runs
    them on this machine. With `client` (a dask.distributed.Client) every
    deck goes to a worker of that cluster, which runs it in its own folder
    and sends back the summary; the decks and `workdir` must then be on a
    file system that the workers share. Each deck runs in a folder named
    after it under `workdir` (default: beside the deck)."""
    from ._study import run_many as _run_many
    return _run_many(decks, jobs=jobs, client=client, workdir=workdir, threads=threads)


# The model builder: frames described in code, written out as decks.
from .model import Model, FieldWarning, force, displacement  # noqa: E402
from . import sections  # noqa: E402

__all__ += ["Model", "FieldWarning", "force", "displacement", "sections"]
