"""The order of the joint cards: the equations of a joint are numbered in the
order of its card, so the order decides the band width of the stiffness."""

from __future__ import annotations

from collections import deque


def spread(order: list[int], pairs: list[tuple[int, int]]) -> int:
    """The largest distance, in places of `order`, between two joined joints."""
    place = {j: k for k, j in enumerate(order)}
    return max((abs(place[a] - place[b]) for a, b in pairs), default=0)


def narrow_order(joints: list[int], pairs: list[tuple[int, int]]) -> list[int]:
    """Reverse Cuthill-McKee order of the joints, or the given order when that
    is no wider."""
    nbr: dict[int, set[int]] = {j: set() for j in joints}
    for a, b in pairs:
        if a != b:
            nbr[a].add(b)
            nbr[b].add(a)
    rank = {j: k for k, j in enumerate(joints)}
    seen: set[int] = set()
    out: list[int] = []
    for start in sorted(joints, key=lambda j: (len(nbr[j]), rank[j])):
        if start in seen:
            continue
        # A far end of this piece: the last joint of a breadth-first sweep.
        far = _sweep(start, nbr)[-1]
        for j in _sweep(far, nbr, rank):
            seen.add(j)
            out.append(j)
    out.reverse()
    return out if spread(out, pairs) < spread(joints, pairs) else list(joints)


def _sweep(start: int, nbr: dict[int, set[int]], rank: dict[int, int] | None = None) -> list[int]:
    key = (lambda j: (len(nbr[j]), rank[j])) if rank else (lambda j: (len(nbr[j]), j))
    seen, out, todo = {start}, [], deque([start])
    while todo:
        j = todo.popleft()
        out.append(j)
        for k in sorted(nbr[j] - seen, key=key):
            seen.add(k)
            todo.append(k)
    return out
