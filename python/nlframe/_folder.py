"""The folder of a run: the lock that keeps a second run out while one goes
on, and the record that ties a finished Run to the files it wrote.

The lock is an flock on `.nlframe.lock` in the folder, held for the whole
run: it keeps out a run of another thread (each run opens the file anew, and
the process also keeps a set of its own busy folders for file systems where
flock is per process) and of another process. Reading the files of a Run
takes it shared, so that no run can rewrite them half-way through a read.

The record `.nlframe-run.json` is written when a run ends: what the run
reported (status, summary, peaks, messages), an identity drawn afresh for
every run, and the size, time and inode of every result file. A Run reads
its files only while the record still names its identity and the files are
still those it wrote."""

import errno
import fcntl
import json
import os
import threading
import uuid

from ._nlframe import ResultError

LOCK = ".nlframe.lock"
RECORD = ".nlframe-run.json"

_busy = set()
_busy_guard = threading.Lock()


class FolderBusyError(BlockingIOError):
    """Another run is going on in the folder (`filename`)."""

    def __str__(self):
        return self.strerror or super().__str__()


class FolderReusedError(ResultError):
    """The folder of a Run was reused by another run (or its files changed)
    after the Run ended: its results are no longer there."""


def _result_file(name):
    return name.endswith(".rst") or name.startswith("fort.") or name == "results.h5"


def fingerprint(folder, deck=None):
    """Size, modification time and inode of every result file (and of the
    deck, which the table readers read too)."""
    out = {}
    try:
        names = sorted(n for n in os.listdir(folder) if _result_file(n))
    except OSError:
        return out
    for n in names:
        try:
            st = os.stat(os.path.join(folder, n))
        except OSError:
            continue
        out[n] = [st.st_size, st.st_mtime_ns, st.st_ino]
    if deck is not None:
        try:
            st = os.stat(deck)
            out["<deck>"] = [st.st_size, st.st_mtime_ns, st.st_ino]
        except OSError:
            out["<deck>"] = None
    return out


class FolderLock:
    """Held for a run (exclusive) or a read of a Run's files (shared)."""

    def __init__(self, folder, exclusive=True):
        self.folder = os.fspath(folder)
        self.exclusive = exclusive
        self.fd = None
        self.key = None

    def __enter__(self):
        if self.exclusive:
            key = os.path.realpath(self.folder)
            with _busy_guard:
                if key in _busy:
                    raise self._busy()
                _busy.add(key)
            self.key = key
        try:
            path = os.path.join(self.folder, LOCK)
            try:
                if self.exclusive:
                    self.fd = os.open(path, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o666)
                else:  # a read makes no file
                    self.fd = os.open(path, os.O_RDONLY | os.O_CLOEXEC)
            except OSError:
                if self.exclusive:
                    raise
                return self  # no run of the package has been here, or none can write here
            try:
                fcntl.flock(self.fd, (fcntl.LOCK_EX if self.exclusive else fcntl.LOCK_SH) | fcntl.LOCK_NB)
            except BlockingIOError:
                raise self._busy() from None
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        if self.fd is not None:
            os.close(self.fd)  # closing it releases the flock
            self.fd = None
        if self.key is not None:
            with _busy_guard:
                _busy.discard(self.key)
            self.key = None

    def _busy(self):
        if self.exclusive:
            return FolderBusyError(errno.EBUSY, "%s: another run is going on in this folder" % self.folder,
                                   self.folder)
        return FolderReusedError("%s: a new run is going on in this folder; the results of this Run are being "
                                 "overwritten" % self.folder)


def new_identity():
    return uuid.uuid4().hex


def drop_record(folder):
    try:
        os.unlink(os.path.join(folder, RECORD))
    except FileNotFoundError:
        pass


def write_record(folder, record):
    path = os.path.join(folder, RECORD)
    part = path + ".part"
    with open(part, "w", encoding="utf-8") as f:
        json.dump(record, f, indent=1)
    os.replace(part, path)


def read_record(folder):
    """The record of the folder's last run, or None (a folder the program
    ran in, not the package)."""
    try:
        with open(os.path.join(folder, RECORD), encoding="utf-8") as f:
            return json.load(f)
    except FileNotFoundError:
        return None
    except ValueError as e:
        raise ResultError("%s: the run record %s cannot be read: %s" % (folder, RECORD, e)) from None
