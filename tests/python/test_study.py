# Many decks at once, on a pool of threads and on a dask cluster of two
# worker processes on the loopback address: the summaries and the files of
# the runs one after the other; a failing deck is reported and the rest go on.
from pathlib import Path

import pytest

import nlframe
from nlframe._study import run_one
from conftest import expected, result_files

NAMES = ["example-portal", "example-cantilever", "member-undefined-section", "example-beam-udl"]


def decks(case):
    ds = [case(n) for n in NAMES]
    ds.insert(2, ds[0].parent / "missing.dat")
    return ds


def check(summaries, ds, workdir, sequential):
    assert [str(s.deck) for s in summaries] == [str(d) for d in ds]
    for s, one in zip(summaries, sequential):
        assert (s.status, s.message, s.steps, s.iterations, s.peaks) == \
               (one.status, one.message, one.steps, one.iterations, one.peaks)
        assert Path(s.folder).parent == Path(workdir)
    assert summaries[2].status == 2 and "cannot open the deck" in summaries[2].message
    assert summaries[3].status == 1 and ": line 5, columns 8-10: " in summaries[3].message
    for s, name in [(summaries[0], NAMES[0]), (summaries[4], NAMES[3])]:
        assert s.status == 0
        for f in result_files(expected(name)):
            assert (Path(s.folder) / f).read_bytes() == (expected(name) / f).read_bytes()


def test_thread_pool(case, tmp_path):
    ds = decks(case)
    sequential = [run_one(str(d), str(tmp_path / "one" / str(k))) for k, d in enumerate(ds)]
    check(nlframe.run_many(ds, jobs=2, workdir=tmp_path / "pool"), ds, tmp_path / "pool", sequential)
    with pytest.raises(ValueError):
        nlframe.run_many(ds, jobs=0)


@pytest.mark.filterwarnings("ignore::DeprecationWarning")  # from the event loop of the cluster
def test_dask_cluster(case, tmp_path):
    distributed = pytest.importorskip("distributed")
    ds = decks(case)
    sequential = [run_one(str(d), str(tmp_path / "one" / str(k))) for k, d in enumerate(ds)]
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=40) as cluster, \
            distributed.Client(cluster, timeout=60) as client:
        summaries = nlframe.run_many(ds, client=client, workdir=tmp_path / "dask")
        where = client.run(lambda: __import__("os").getpid())
    assert len(set(where.values())) == 2
    check(summaries, ds, tmp_path / "dask", sequential)
