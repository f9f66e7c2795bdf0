"""Many decks at once: a pool of threads on this machine, or the workers of
a dask.distributed cluster."""

import os
import re
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path


def _is_model(d):
    from .model import Model
    return isinstance(d, Model)


def _slug(title):
    return re.sub(r"[^a-z0-9]+", "-", title.lower()).strip("-") or "model"


def _folders(decks, workdir):
    """A folder for every deck: named after the deck, under workdir (or beside
    the deck); a Model after its title, under workdir (None without one);
    decks of the same name get -2, -3, ... after it."""
    from ._run import _default_folder
    out, taken = [], set()
    for d in decks:
        if _is_model(d):
            if workdir is None:
                out.append(None)
                continue
            base = Path(workdir) / _slug(d.title)
        else:
            base = Path(workdir) / _default_folder(Path(d).name).name if workdir is not None else _default_folder(d)
        folder, k = base, 1
        while os.path.abspath(folder) in taken:
            k += 1
            folder = base.with_name("%s-%d" % (base.name, k))
        taken.add(os.path.abspath(folder))
        out.append(str(folder))
    return out


def run_one(deck, folder, threads=1, capacity=None):
    """Runs one deck (or Model) and returns its Run; whatever goes wrong is
    in the Run (status and message), never raised. Runs on a dask worker
    too."""
    from ._run import Run, RunError, run
    model = _is_model(deck)
    name = "<Model %r>" % deck.title if model else str(deck)
    try:
        if model:
            return deck.run(workdir=folder, threads=threads, **({} if capacity is None else {"capacity": capacity}))
        return run(deck, workdir=folder, threads=threads, capacity=capacity)
    except RunError as e:
        return Run._not_run(name, folder, e.status, e.message)
    except (OSError, ValueError) as e:
        status = 2 if isinstance(e, OSError) else 1
        return Run._not_run(name, folder, status, str(e))
    except Exception as e:  # a worker that fails for any other reason reports it as well
        return Run._not_run(name, folder, 1, "%s: %s" % (type(e).__name__, e))


def run_many(decks, jobs=None, client=None, workdir=None, threads=1, capacity=None):
    """Runs many decks (file names or Model objects) and returns a Run of
    each, in the order given; a deck that fails is reported in its Run
    (status and message, no tables) and the others go on.

    Without `client` a pool of `jobs` threads (default: every core) runs
    them on this machine. With `client` (a dask.distributed.Client) every
    deck goes to a worker of that cluster, which runs it in its own folder
    and sends back the Run; the decks and `workdir` must then be on a
    file system that the workers share. Each deck runs in a folder named
    after it under `workdir` (default: beside the deck); a Model as its title
    says (its deck written there as model.dat), or without `workdir` as
    Model.run() runs it. The tables of a Run are read when asked for.
    `capacity` is passed to every run (as nlframe.run takes it); a Model
    without it chooses its stores itself."""
    decks = [d if _is_model(d) else os.path.abspath(os.fspath(d)) for d in decks]
    folders = [f if f is None else os.path.abspath(f) for f in _folders(decks, workdir)]
    if client is not None:
        futures = client.map(run_one, decks, folders, threads=threads, capacity=capacity, pure=False)
        return client.gather(futures)
    if jobs is None:
        jobs = os.cpu_count() or 1
    if isinstance(jobs, bool) or not isinstance(jobs, int) or jobs < 1:
        raise ValueError("jobs must be a positive whole number, not %r" % (jobs,))
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(lambda df: run_one(df[0], df[1], threads, capacity), zip(decks, folders)))
