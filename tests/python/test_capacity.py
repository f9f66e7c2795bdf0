# Stores that follow the model from Python: nlframe.run(capacity=...), the
# deck check's needs, and the builder choosing them by itself for a frame
# past the fixed stores; the tables of such a run hold every joint.
import pytest

import nlframe
from nlframe.model import Model


def tower(storeys, bays=3):
    """A frame of `storeys` storeys, joints numbered floor by floor, under a
    lateral load small enough to keep it elastic."""
    m = Model("TOWER %d" % storeys)
    m.material(2100., 21., 21.)
    s = m.i_section(30, 15, 0.71, 1.07, 1.5, 2.4)
    rows = [[m.joint(600. * c, 350. * f) for c in range(bays + 1)] for f in range(storeys + 1)]
    for f in range(1, storeys + 1):
        for c in range(bays + 1):
            m.member(rows[f - 1][c], rows[f][c], s)
        for c in range(bays):
            m.member(rows[f][c], rows[f][c + 1], s)
    m.supports(*rows[0])
    for f in range(1, storeys + 1):
        m.load(rows[f][0], fx=0.01)
    m.load_steps(1)
    m.finish()
    return m


def test_a_deck_past_the_fixed_joints_runs_with_the_capacity_and_is_refused_without(tmp_path):
    deck = tower(83).write(tmp_path / "tower.dat")  # 336 joints
    with pytest.raises(nlframe.DeckError, match=r"more than 333 joints.*--capacity auto"):
        nlframe.run(deck, workdir=tmp_path / "fixed", threads=1)
    assert not (tmp_path / "fixed").exists()
    assert [f.severity for f in nlframe.check(deck)] == ["error"]
    assert nlframe.check(deck, capacity="auto") == []
    run = nlframe.run(deck, workdir=tmp_path / "auto", threads=2, capacity="auto")
    assert run.status == 0, run.message
    d = run.joint_displacements
    assert sorted(d[d.step == d.step.max()].joint) == list(range(1, 337))
    many = nlframe.run_many([deck], workdir=tmp_path / "many", capacity="auto")
    assert many[0].status == 0 and many[0].peaks == run.peaks
    assert len(run.member_forces[run.member_forces.step == 1]) == 83 * 7
    for bad in (0, -1, "big", 1.5, True, 1 << 21):
        with pytest.raises(ValueError, match="capacity must be None, 'auto' or a size in MiB"):
            nlframe.run(deck, workdir=tmp_path / "bad", capacity=bad)


def test_the_builder_chooses_the_stores(tmp_path):
    small = tower(2)
    from nlframe.model import _stores_for
    assert _stores_for(small.write(tmp_path / "small.dat"), None) is None
    big = tower(83)
    assert _stores_for(big.write(tmp_path / "big.dat"), None) == "auto"
    assert _stores_for(tmp_path / "big.dat", 64) == 64
    assert big.check() == []
    run = big.run(threads=1)
    assert run.status == 0, run.message
    assert run.joint_displacements.joint.max() == 336
    # Up to 999 joints, and no more.
    m = Model("JOINTS")
    for k in range(999):
        m.joint(k, 0.)
    with pytest.raises(ValueError, match=r"Model\.joint: a frame holds at most 999 joints"):
        m.joint(0., 1.)
