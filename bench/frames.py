"""The grid frame the benchmarks build with the model builder."""


def grid_frame(m, bays, storeys, column, beam, parts, bay=600., storey=350.):
    """Joints on a grid of `bays` by `storeys` and the members between them,
    floor by floor: the columns, then the beams, each in `parts` parts.
    Returns the joints as rows[floor][column line]."""
    rows = [[m.joint(bay * c, storey * f) for c in range(bays + 1)] for f in range(storeys + 1)]
    for f in range(1, storeys + 1):
        for c in range(bays + 1):
            m.member(rows[f - 1][c], rows[f][c], column, parts=parts)
        for c in range(bays):
            m.member(rows[f][c], rows[f][c + 1], beam, parts=parts)
    return rows
