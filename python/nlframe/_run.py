"""A run of the engine in-process and its results: nlframe.run, check and
open, the Run they give and the exceptions of a deck or a run refused. The
package's face (nlframe/__init__.py) gives these names."""

import builtins
import errno
import os
import re
from dataclasses import dataclass, field
from pathlib import Path

from . import _nlframe
from ._folder import FolderBusyError
from ._nlframe import ResultError


@dataclass(frozen=True)
class Peak:
    """The peak of a load group, one for every group run (the run's summary
    line names the same): kind "load_factor" (the largest load factor the
    group reached) or "force" (a group that prescribes displacements: the
    largest resisting force at its prescribed freedoms of one direction,
    summed over the joints, t or t-cm), the group's number in the run from
    1, the value and the step where it was reached; for a force also its
    direction ("x", "y" or "r"), the first prescribed joint and its total
    displacement there at the peak (cm or rad; `displacement_mm` gives it
    in mm, as the summary line does).

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

    @property
    def displacement_mm(self):
        """The displacement at the peak in mm, as the summary line gives it
        (None for a load factor and for a rotation, whose `displacement` is
        in rad)."""
        if self.displacement is None or self.direction not in ("x", "y"):
            return None
        return 10 * self.displacement


@dataclass(frozen=True)
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


@dataclass
class Summary:
    """What a run did, without its tables: what run_many returns."""
    deck: str
    folder: str
    status: int
    message: str
    steps: int = 0
    iterations: int = 0
    not_converged: list = field(default_factory=list)
    peaks: list = field(default_factory=list)
    seconds: float = 0.0


def _place(file, text):
    """Splits "FILE: line N, columns A-B: detail" into (line, columns, detail);
    (0, None, text) when the text names no line of the file."""
    prefix = file + ": "
    if not text.startswith(prefix):
        return 0, None, text
    rest = text[len(prefix):]
    m = re.match(r"line (\d+)(?:, columns? (\d+)(?:-(\d+))?)?: ", rest)
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


def _capacity(capacity):
    """The capacity argument as the engine takes it: "" for the fixed
    stores, "auto", or a fibre budget in MiB."""
    if capacity is None:
        return ""
    if capacity == "auto":
        return "auto"
    if isinstance(capacity, bool) or not isinstance(capacity, int) or not 1 <= capacity <= 1 << 20:
        raise ValueError("capacity must be None, 'auto' or a size in MiB from 1 to 1048576, not %r" % (capacity,))
    return str(capacity)


def check(deck, capacity=None):
    """Checks a deck with the program's own readers, without running it; a
    list of Finding, in deck-line order (empty: no errors, no warnings).
    `capacity` as for run: with None a model beyond the fixed stores is an
    error, as it is in such a run."""
    name = os.fspath(deck)
    r = _nlframe.check(name, _capacity(capacity))
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


def _default_folder(deck):
    p = Path(deck)
    return p.with_suffix("") if p.suffix else p.with_name(p.name + ".run")


def _raise_refused(name, status, message, findings=None):
    """A run that stopped before its first load step on the deck or on a
    file: the exception that says so."""
    if status == 2 and message.startswith((name + ": cannot open the deck", name + ": cannot read: ")):
        code = errno.ENOENT if not os.path.exists(name) else (
            errno.EISDIR if os.path.isdir(name) else errno.EACCES)
        raise (FileNotFoundError if code == errno.ENOENT else OSError)(code, message, name)
    if message.startswith(name + ": "):
        line, cols, detail = _place(name, message)
        if findings is None:
            try:
                findings = check(name)
            except Exception:  # the check's own trouble is no reason to hide the error
                findings = []
        raise DeckError(message, name, line, cols, detail, findings)
    if status == 2 and message.endswith(": another run is going on in this folder"):
        # The program itself, run from the command line, holds the folder.
        raise FolderBusyError(errno.EBUSY, message)
    if status == 2:
        raise OSError(message)


def _restart_input(path):
    """The restart input unit of the deck's control card (0: none, or a card
    the check will refuse)."""
    try:
        with builtins.open(path, "rb") as f:
            for line in f:
                if not line.startswith(b"$"):
                    field = line[1:4].strip()
                    return int(field) if field else 0
    except (OSError, ValueError):
        pass
    return 0


def _check_before(name, capacity=""):
    """Refuses a deck before the run touches its folder: a deck that cannot
    be read, or one the deck check finds an error in. A continuing deck
    (restart input) reads its restart file from the run's folder, which the
    check cannot see: the run itself checks it."""
    r = _nlframe.check(name, capacity)
    if r["status"] == 0 or (_restart_input(name) and os.path.isfile(name)):
        return
    findings, first = [], None
    for status, _line, text in r["findings"]:
        line, cols, detail = _place(name, text)
        severity = "warning" if status == 0 else "error"
        if severity == "warning" and detail.startswith("warning: "):
            detail = detail[len("warning: "):]
        findings.append(Finding(severity, line, cols, detail, name))
        if first is None and status != 0:
            first = text
    _raise_refused(name, r["status"], first or "", findings)
    raise DeckError(first or name, name, 0, None, first or "", findings)


_SUMMARY_TIME = re.compile(r", (\d+\.\d+) s$")


def _seconds(r):
    """The time of the run's summary line (to 1/100 s) where it wrote one."""
    leads = ["nlframe: before the stop: "] + (["nlframe: " + r.message] if r.status == 0 else [])
    for m in r.messages:
        if m.startswith(tuple(leads)):
            t = _SUMMARY_TIME.search(m)
            if t:
                return float(t.group(1))
    return r.seconds


# What a Run keeps of the engine's result (_nlframe.RunResult), as its
# record in the folder holds it: the field and its value for a run that did
# not take place.
_RESULT = {"status": None, "message": None, "steps": 0, "iterations": 0, "not_converged": [], "peaks": [],
           "messages": [], "seconds": 0.0}


def _record(r):
    """The record of the engine's result r: plain values, as JSON keeps them."""
    record = {k: getattr(r, k) for k in _RESULT}
    record["not_converged"] = [list(x) for x in r.not_converged]
    record["seconds"] = _seconds(r)
    return record


class Run:
    """A run and its results: its status and figures, and its result files
    as DataFrames (read on first use: from results.h5 when the run wrote
    one, at full precision, else by the readers of nlframe-export).

    A Run owns what it reports: it reads its tables only from the files it
    wrote. Every run of the package leaves a record of itself in its folder
    (`.nlframe-run.json`, with an identity of its own and the size and time
    of every result file); a read from a folder that a later run has reused,
    or whose files have changed since, raises FolderReusedError. Tables once
    read stay with the Run."""

    def __init__(self, deck, folder, result, record=None):
        self.deck = Path(deck)
        self.folder = Path(folder)
        self.status = result["status"]
        self.message = result["message"]
        self.steps = result["steps"]
        self.iterations = result["iterations"]
        self.not_converged = [tuple(r) for r in result["not_converged"]]
        self.peaks = [Peak(**p) for p in result["peaks"]]
        self.messages = [m[len("nlframe: "):] if m.startswith("nlframe: ") else m.strip()
                         for m in result["messages"]]
        self.seconds = result["seconds"]
        record = record or {}
        self._deck_path = record.get("deck_path", os.path.abspath(deck))
        self._where = record.get("folder", os.path.abspath(folder))
        self._id = record.get("id")
        self._files = record.get("files")
        self._refused = None  # why there are no files to read
        self._tables = None
        self._raw = None      # the tables' text, read before the folder went
        self._listing = None
        self._modes_text = None  # modes.rst ("" when the run wrote none)

    @classmethod
    def _not_run(cls, deck, folder, status, message):
        run = cls(deck, folder, dict(_RESULT, status=status, message=message))
        run._refused = message
        return run

    def __repr__(self):
        return "<nlframe.Run %s: status %d, %s>" % (self.deck, self.status, self.message)

    def __getstate__(self):
        state = dict(self.__dict__)
        state["_tables"] = None  # DataFrames are rebuilt from the text
        return state

    def peak(self, group):
        """The peak of load group `group` (numbered from 1, as in the summary line)."""
        for p in self.peaks:
            if p.group == group:
                return p
        raise KeyError("%s: no peak of group %r (the peaks are of groups %s)"
                       % (self.deck, group, ", ".join(str(p.group) for p in self.peaks) or "none"))

    def _owned(self, read):
        """read() on the Run's own files: refused when they are no longer those."""
        from ._folder import FolderLock, FolderReusedError, fingerprint, read_record
        if self._refused is not None:
            raise ResultError("%s: the run did not take place, so it has no results: %s"
                              % (self.deck, self._refused))
        with FolderLock(self._where, exclusive=False):
            record = read_record(self._where)
            if (record or {}).get("id") != self._id:
                raise FolderReusedError(
                    "%s: the folder has been reused by another run since this run of %s ended; its results "
                    "are gone (nlframe.open reads the folder's new run)" % (self.folder, self.deck))
            if self._files is not None and fingerprint(self._where, self._deck_path) != self._files:
                raise FolderReusedError(
                    "%s: the result files have changed since this run of %s ended (another run in the folder, "
                    "or its deck edited); its results are gone" % (self.folder, self.deck))
            return read()

    def _own(self):
        """Reads the tables' text and the listing now, so that the Run needs
        its folder no more."""
        try:
            self._listing = self._owned(lambda: (Path(self._where) / "R.rst").read_text(errors="replace"))
            self._raw = self._owned(self._read_store)
            self._modes_text = self._owned(self._read_modes)
        except (ResultError, OSError) as e:
            self._refused = str(e)
        self._files = None

    @property
    def listing(self):
        """The text of the listing R.rst."""
        if self._listing is None:
            self._listing = self._owned(lambda: (Path(self._where) / "R.rst").read_text(errors="replace"))
        return self._listing

    def report(self, folder=None):
        """Writes the run's report page (index.html) and its pictures, as
        nlframe-plot --html does, into `folder` (created if needed; default:
        the run's folder). Returns the path of the page; a ResultError when
        the run's files cannot be drawn."""
        out = Path(folder) if folder is not None else Path(self._where)
        out.mkdir(parents=True, exist_ok=True)
        status, _, err = self._owned(lambda: _nlframe.report(self._deck_path, self._where, os.fspath(out)))
        if status != 0:
            raise ResultError("%s: the report page could not be written: %s"
                              % (self.deck, err.strip().replace("\n", "; ")))
        return out / "index.html"

    def summary(self):
        return Summary(str(self.deck), str(self.folder), self.status, self.message, self.steps, self.iterations,
                       list(self.not_converged), list(self.peaks), self.seconds)

    def _read_store(self):
        """The tables' store: the DataFrames of results.h5 when the run wrote
        one, else the text of the result files."""
        from ._h5 import h5_path, read_tables
        if os.path.exists(h5_path(self._where)):
            return ("h5", read_tables(self._where))
        return ("text", _nlframe.tables(self._deck_path, self._where))

    @property
    def store(self):
        """Where the tables are read from: "h5" (results.h5) or "text"."""
        if self._raw is None:
            self._raw = self._owned(self._read_store)
        return self._raw[0]

    def _read(self):
        if self._tables is None:
            if self._raw is None:
                self._raw = self._owned(self._read_store)
            kind, data = self._raw
            self._tables = _frames(data) if kind == "text" else data
        return self._tables

    def _read_modes(self):
        p = Path(self._where) / "modes.rst"
        return p.read_text() if p.exists() else ""

    def _blocks(self):
        """The analyses of modes.rst, parsed (see _parse_modes)."""
        if self._modes_text is None:
            self._modes_text = self._owned(self._read_modes)
        return _parse_modes(self._modes_text)

    @property
    def buckling(self):
        """The critical load factors of every V card: a DataFrame of analysis
        (the V card's number in the run), step (the steps done before it),
        stiffness ("ELASTIC" or "TANGENT"), mode and factor; empty when the
        deck asked for none."""
        pd = _import_pandas()
        rows = [(b["analysis"], b["step"], b["stiffness"], m["mode"], m["factor"])
                for b in self._blocks() for m in b["modes"]]
        return pd.DataFrame(rows, columns=["analysis", "step", "stiffness", "mode", "factor"])

    def _block(self, analysis):
        blocks = self._blocks()
        for b in blocks:
            if b["analysis"] == analysis:
                return b
        raise KeyError("%s: no buckling analysis %r (the run has %d)" % (self.deck, analysis, len(blocks)))

    def _mode(self, k, analysis):
        for m in self._block(analysis)["modes"]:
            if m["mode"] == k:
                return m
        raise KeyError("%s: buckling analysis %d has no mode %r" % (self.deck, analysis, k))

    def mode(self, k, analysis=1, points=False):
        """Mode k (from 1) of buckling analysis `analysis`: a DataFrame of
        joint, x, y, r (translations scaled to a largest node-point
        translation of 1, rotations per cm of it); points=True: of member,
        point (2 to 5, the inner points), x, y, r."""
        pd = _import_pandas()
        m = self._mode(k, analysis)
        if points:
            rows = [(n, p + 2, *v[3 * p:3 * p + 3]) for n, v in m["points"].items() for p in range(4)]
            return pd.DataFrame(rows, columns=["member", "point", "x", "y", "r"])
        return pd.DataFrame([(j, *v) for j, v in m["joints"].items()], columns=["joint", "x", "y", "r"])

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


def _parse_modes(text):
    """modes.rst as a list of analyses: dicts of analysis, step, stiffness,
    axial (member -> the pattern's N at its ten stations) and modes (dicts
    of mode, factor, joints: joint -> (x, y, r), points: member -> X, Y, R
    of the inner points 2..5, moment: member -> the mode's moment at its
    ten stations)."""
    blocks = []
    for line in text.splitlines():
        t = line.split()
        if not t:
            continue
        key = t[0]
        if key == "BUCKLING":
            blocks.append({"analysis": int(t[1]), "step": int(t[4]), "stiffness": t[5], "axial": {}, "modes": []})
        elif key == "MODE":
            blocks[-1]["modes"].append({"mode": int(t[1]), "factor": float(t[3]), "joints": {}, "points": {},
                                        "moment": {}})
        elif key == "N":
            blocks[-1]["axial"][int(t[1])] = [float(v) for v in t[2:]]
        elif key in ("J", "M", "K"):
            table = {"J": "joints", "M": "points", "K": "moment"}[key]
            blocks[-1]["modes"][-1][table][int(t[1])] = [float(v) for v in t[2:]]
    return blocks


def _import_pandas():
    try:
        import numpy  # noqa: F401
        import pandas
    except ImportError as e:
        import sys
        built = _nlframe.BUILT_FOR_EXECUTABLE or "the system's python3 (/usr/bin/python3)"
        raise ImportError(
            "nlframe reads tables with numpy and pandas, which this interpreter (%s, Python %s) cannot "
            "import (%s). The package was built for %s, Python %s, whose numpy and pandas are Debian "
            "packages (python3-numpy, python3-pandas; bash tools/ensure-tools installs them): run the "
            "script with that interpreter, or from a venv that sees them: python3 -m venv "
            "--system-site-packages" % (sys.executable, sys.version.split()[0], e, built,
                                        _nlframe.BUILT_FOR_VERSION), name=e.name) from e
    return pandas


class TableWarning(UserWarning):
    """Values of a result file too wide for their printed field (asterisks):
    they are NaN in the table. The warning names the table, the columns and
    the rows."""


def _frames(t):
    import io
    import warnings
    pd = _import_pandas()
    for table, places in t.get("overflows", ()):
        # The row numbers count from 0 as the DataFrame's index does.
        warnings.warn("%s: values printed as asterisks (too wide for their field) are NaN: %s; the deck-format "
                      "reference (Mstr.rst, Mfor.rst) says where the full values are"
                      % (table, _zero_based(places)), TableWarning, stacklevel=4)

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


def _zero_based(places):
    """The places of the CSV rows (from 1 below the header) as DataFrame rows (from 0)."""
    def rows(m):
        return m.group(1) + ", ".join(str(int(n) - 1) if n.isdigit() else n for n in m.group(2).split(", "))
    return re.sub(r"(\(rows? )([\d, .]+)", rows, places)


def _results_args(results, tables, every, fibres_every, compress):
    """The engine's arguments of the result files, checked (ValueError)."""
    if results not in ("text", "h5", "h5-only"):
        raise ValueError("results needs 'text', 'h5' or 'h5-only', not %r" % (results,))
    if tables is None:
        tables = "all"
    elif not isinstance(tables, str):
        tables = ",".join(tables) if tables else "none"
    for name, n in (("every", every), ("fibres_every", fibres_every)):
        if n is not None and (not isinstance(n, int) or isinstance(n, bool) or n < 1):
            raise ValueError("%s needs a whole number of steps from 1 up, not %r" % (name, n))
    if compress is not None and (not isinstance(compress, int) or isinstance(compress, bool) or
                                 not 0 <= compress <= 9):
        raise ValueError("compress needs a deflate level from 0 (none) to 9, not %r" % (compress,))
    args = (results, tables, every or 1, fibres_every or 1, compress or 0)
    _nlframe.check_results(*args)
    return args


def run(deck, workdir=None, threads=None, progress=None, cancel=None, capacity=None, results="text", tables=None,
        every=None, fibres_every=None, compress=None):
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

    `capacity` sizes the stores: None, the fixed stores (333 joints; the
    fibre state of more than 124 members in scratch files), as the program
    without options; "auto", stores that follow the model (up to 999
    joints, the fibre state in memory up to 1 GiB, in scratch files
    beyond), as the program's --capacity auto; a number, the same with
    that many MiB for the fibre state. A ValueError for anything else.

    `results` says where the tables go: "text", the result files as the
    program writes them; "h5", those and the HDF5 file results.h5 beside
    them, every value at full precision; "h5-only", the tables in
    results.h5 alone (the listing and the response curves stay text). The
    Run reads its tables from results.h5 when there is one. `tables` (a
    list or comma string of joints, curves, members, nodes, fibres) says
    which tables are written, `every` at which steps (those whose number is
    a multiple of it), `fibres_every` the same for the fibre tables alone,
    the bulk of a long run; `compress` the deflate level of the tables of
    results.h5, 0 (none, the default: fastest, largest) to 9.
    docs/results-h5.md says what each choice costs.

    The deck is checked before the folder is touched: a deck refused raises
    DeckError, one that cannot be read FileNotFoundError or OSError, and the
    folder stays as it was (or is not made). While the run goes on the
    folder is locked: a second run into it, from any thread or process,
    raises FolderBusyError (an OSError) naming the folder. A bad thread
    count raises ValueError; a fault of the program itself RunError. An
    analysis that stops is a result: the Run's status is not 0.
    """
    from ._folder import FolderLock, drop_record
    name = os.fspath(deck)
    n = _nlframe.threads(threads)  # the engine's rule; a ValueError before anything is touched
    cap = _capacity(capacity)
    stores = _results_args(results, tables, every, fibres_every, compress)
    folder = Path(workdir) if workdir is not None else _default_folder(name)
    _check_before(name, cap)
    folder.mkdir(parents=True, exist_ok=True)
    where = os.fspath(folder.resolve())
    # The deck is opened by the path given, relative to this process's folder.
    opened = name if os.path.isabs(name) else os.path.abspath(name)
    with FolderLock(where):
        drop_record(where)  # the Runs of the folder's last run lose their files now
        try:
            r = _nlframe.run(opened, name, where, n, progress, cancel, cap, *stores)
        except BaseException as e:
            # Ctrl-C (or a progress function that raised) ended the run after
            # it closed its files: they are whole, so the record is written.
            done = getattr(e, "nlframe_result", None)
            if done is not None and (done.status == 0 or done.started) and not done.internal_error:
                _write_run_record(done, name, opened, where)
            raise
        if r.internal_error:
            raise RunError(name, os.fspath(folder), r.status, r.message, r.messages)
        if r.status != 0 and not r.started:
            _raise_refused(name, r.status, r.message)
        record = _write_run_record(r, name, opened, where)
    return Run(name, folder, record, record)


def _write_run_record(r, name, opened, where):
    from ._folder import fingerprint, new_identity, write_record
    record = _record(r)
    record.update(deck=name, deck_path=opened, folder=where, id=new_identity(), files=fingerprint(where, opened))
    write_record(where, record)
    return record


def open(folder, deck=None):  # noqa: A001 -- nlframe.open, as in the guide
    """The Run of a finished run folder, as the run returned it: its status,
    summary and peaks from the record the package's run left there, its
    tables read (when asked for) by the same readers.

    A folder the program ran in (no record) needs its `deck`; its steps,
    iterations and peaks are read from its listing and joint tables (force
    peaks of the output steps only, no strain), its status and message are
    None."""
    from ._folder import fingerprint, read_record
    where = os.path.abspath(folder)
    if not os.path.isdir(where):
        raise FileNotFoundError(errno.ENOENT, "%s: no such run folder" % os.fspath(folder), os.fspath(folder))
    record = read_record(where)
    if deck is not None:
        # The deck named must be the run's, by the check the companions make.
        _nlframe.check_run(os.fspath(deck), where)
    if record is not None:
        record = dict(record, folder=where)
        return Run(deck if deck is not None else record["deck"], folder, record, record)
    if deck is None:
        raise ValueError("%s: the folder holds no record of a run of the package (a run of the program?); "
                         "name its deck: nlframe.open(folder, deck=...)" % os.fspath(folder))
    s = _nlframe.listing_summary(where)
    steps = s["not_converged"]
    ranges = []
    for k in steps:
        if ranges and ranges[-1][1] == k - 1:
            ranges[-1][1] = k
        else:
            ranges.append([k, k])
    result = dict(_RESULT, steps=s["steps"], iterations=s["iterations"], not_converged=ranges, peaks=s["peaks"],
                  seconds=None)
    path = os.path.abspath(deck)
    return Run(deck, folder, result, {"deck_path": path, "folder": where, "id": None,
                                      "files": fingerprint(where, path)})
