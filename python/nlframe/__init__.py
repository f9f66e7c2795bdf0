"""nlframe from Python: run decks in-process, read their results as pandas
DataFrames, check decks, and run many decks at once on this machine or on a
dask.distributed cluster.

    import nlframe
    run = nlframe.run("portal.dat")            # results in portal/ beside the deck
    run.status, run.steps, run.peaks
    run.joint_displacements                     # a DataFrame, as nlframe-export writes it

numpy and pandas are imported only when a DataFrame is built.
"""

from . import _nlframe
from ._nlframe import Cancel, ResultError
from ._folder import FolderBusyError, FolderReusedError
from ._run import DeckError, Finding, Peak, Run, RunError, Summary, TableWarning, check, open, run  # noqa: A004
from ._study import run_many

__all__ = ["run", "check", "run_many", "open", "Run", "Summary", "Peak", "Finding", "DeckError", "RunError",
           "ResultError", "FolderBusyError", "FolderReusedError", "Cancel", "CANCELLED", "TableWarning"]

__version__ = _nlframe.VERSION  # the program's version
CANCELLED = _nlframe.CANCELLED  # the status of a cancelled run

# The package's names are the package's, wherever they are made: in messages,
# help() and pickles.
for _name in ("DeckError", "Finding", "Peak", "Run", "RunError", "Summary", "TableWarning", "check", "open", "run",
              "run_many"):
    globals()[_name].__module__ = __name__
del _name

# The model builder: frames described in code, written out as decks.
from .model import Model, FieldWarning, UnitWarning, force, displacement  # noqa: E402
from . import sections  # noqa: E402

__all__ += ["Model", "FieldWarning", "UnitWarning", "force", "displacement", "sections"]
