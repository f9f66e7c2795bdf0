"""Imperfections of a Model by the design rules of EN 1993-1-1: the sway of
the frame (5.3.2(3)), the bows of members (Table 5.1), and the comment
cards that tell the listing and the report page what the model carries."""

from __future__ import annotations

import math
import warnings

from ._fields import FieldWarning, int_text, number, real_text

# e0/L of a member bow by buckling curve: elastic and plastic analysis.
BOW_RATIOS = {"a0": (350, 300), "a": (300, 250), "b": (250, 200), "c": (200, 150), "d": (150, 100)}
_SIDES = ("+x", "-x", "+y", "-y", "left", "right")
NOTE_WIDTH = 80


def sway_rule(height_cm: float, columns: int) -> tuple[float, float, float]:
    """phi, alpha_h and alpha_m of EN 1993-1-1 5.3.2(3): phi0 = 1/200,
    alpha_h = 2/sqrt(h) (h in metres, kept within 2/3 and 1), alpha_m =
    sqrt(0.5 (1 + 1/m))."""
    ah = min(max(2.0 / math.sqrt(height_cm / 100.0), 2.0 / 3.0), 1.0)
    am = math.sqrt(0.5 * (1.0 + 1.0 / columns))
    return ah * am / 200.0, ah, am


def bow_ratio(curve: str, analysis: str) -> float:
    """e0/L of EN 1993-1-1 Table 5.1 for a buckling curve and kind of analysis."""
    k = BOW_RATIOS.get(str(curve).strip().lower())
    if k is None:
        raise ValueError(f"Model.member: curve {curve!r} must be one of {', '.join(BOW_RATIOS)}")
    if analysis not in ("elastic", "plastic"):
        raise ValueError(f"Model.member: analysis must be 'elastic' or 'plastic', not {analysis!r}")
    return 1.0 / k[0 if analysis == "elastic" else 1]


def one_in(ratio: float) -> str:
    """A small ratio as 1/n."""
    return f"1/{1.0 / ratio:.0f}" if ratio else "0"


def ranges(numbers) -> str:
    """1, 2, 3, 5 as 1-3, 5."""
    out, ns = [], sorted(set(numbers))
    k = 0
    while k < len(ns):
        j = k
        while j + 1 < len(ns) and ns[j + 1] == ns[j] + 1:
            j += 1
        if j - k < 2:  # two in a row are named, not a range
            j = k
        out.append(str(ns[k]) if j == k else f"{ns[k]}-{ns[j]}")
        k = j + 1
    return ", ".join(out)


def note_cards(head: str, text: str) -> list[str]:
    """A note as comment cards of at most 80 columns: "$ head: text", the
    rest on cards "$   ..." that continue it."""
    words, lines, line = text.split(), [], f"$ {head}:"
    for w in words:
        if len(line) + 1 + len(w) > NOTE_WIDTH:
            lines.append(line)
            line = "$  "
        line += " " + w
    return lines + [line]


class Imperfections:
    """Mixin of Model: the sway, the bows and the notes."""

    def __init__(self) -> None:
        self._sway: dict | None = None
        self._bows: list[tuple[list[int], str, bool]] = []  # members, what, given by a rule or a side

    def sway(self, phi=None, direction: str = "+x", height=None, columns=None, forces: bool = False) -> float:
        """The frame's initial sway imperfection: the angle `phi` (radians),
        or by EN 1993-1-1 5.3.2(3) from the frame's `height` (cm; else the
        joints' extent in y) and the number of `columns` in a row (else the
        members that rise from the lowest joints within 1 in 10 of the
        vertical). It leans the frame
        towards `direction` ("+x" or "-x"): every joint moves by phi times its
        height above the lowest joint (forces=False), or every load pattern
        gets horizontal forces phi times the vertical load of each joint
        (forces=True). Returns phi."""
        m = "sway"
        self._open(m)
        if self._sway is not None:
            raise ValueError("Model.sway: the sway is already given (one per frame)")
        if direction not in ("+x", "-x"):
            raise ValueError(f"Model.sway: direction must be '+x' or '-x', not {direction!r}")
        if not isinstance(forces, bool):
            raise ValueError(f"Model.sway: forces must be True or False, not {forces!r}")
        ys = [y for _, y, _ in self._joints.values()]
        if phi is not None:
            if height is not None or columns is not None:
                raise ValueError("Model.sway: give phi, or height and columns for the rule, not both")
            p = number(phi, m, "phi")
            if not 0 < p <= 0.1:
                raise ValueError(f"Model.sway: phi = {p} must lie in 0 to 0.1 (radians; 1/200 is 0.005)")
            rule = None
        else:
            h = (max(ys) - min(ys) if ys else 0.0) if height is None else number(height, m, "height")
            if h <= 0:
                raise ValueError(f"Model.sway: the height {h:g} cm must be positive "
                                 "(give height=, or joints at more than one level)")
            n = self._columns() if columns is None else columns
            if n == 0 and columns is None:
                raise ValueError("Model.sway: no vertical member rises from the lowest joints; give columns=")
            int_text(n, 3, m, "columns", 1, 999)
            p, ah, am = sway_rule(h, n)
            rule = (h, n, ah, am)
        self._sway = {"phi": p, "sign": 1.0 if direction == "+x" else -1.0, "direction": direction,
                      "forces": forces, "rule": rule}
        return p

    def _columns(self) -> int:
        ys = [y for _, y, _ in self._joints.values()]
        if not ys:
            return 0
        base = min(ys)
        count = 0
        for a, b, _ in self._members:
            (xa, ya), (xb, yb) = self._xy(a), self._xy(b)
            # within 1 in 10 of the vertical: a bowed column in parts counts
            if abs(xb - xa) <= 0.1 * abs(yb - ya) and ya != yb and min(ya, yb) == base:
                count += 1
        return count

    def _bow_side(self, a: int, b: int, size: float, towards: str) -> float:
        """The deck's bow (positive to the left of a -> b) that moves the
        middle of the member by `size` * L towards that side."""
        if towards not in _SIDES:
            raise ValueError(f"Model.member: towards must be one of {', '.join(map(repr, _SIDES))}, "
                             f"not {towards!r}")
        if size < 0:
            raise ValueError(f"Model.member: bow = {size} must not be negative with towards "
                             "(the side gives the sign)")
        if towards in ("left", "right"):
            return size if towards == "left" else -size
        (xa, ya), (xb, yb) = self._xy(a), self._xy(b)
        span = math.hypot(xb - xa, yb - ya)
        left = (-(yb - ya) / span, (xb - xa) / span) if span else (0.0, 0.0)  # the left normal
        along = left[0] if towards[1] == "x" else left[1]
        if abs(along) < 1e-9:
            raise ValueError(f"Model.member: a member from joint {a} to joint {b} lies along {towards[1]}; "
                             f"it cannot bow towards {towards}")
        return size if (along > 0) == (towards[0] == "+") else -size

    def _record_bow(self, members: list[int], bow: float, curve, analysis: str, towards) -> None:
        if not bow:
            return
        what = f"e0/L = {one_in(abs(bow))}"
        if curve is not None:
            what += f" (curve {str(curve).strip().lower()}, {analysis})"
        side = towards or ("left" if bow > 0 else "right")
        what += f" towards {side}" + (" of I->J" if side in ("left", "right") else "")
        self._bows.append((members, what, curve is not None or towards is not None))

    # ---- the notes --------------------------------------------------------
    def _noted(self) -> bool:
        """Whether the model uses what its notes tell of (else it writes none,
        as before)."""
        eccs = any(s.lower() == "eccs" for s in self._residual_names.values())
        return self._sway is not None or any(new for *_, new in self._bows) or eccs

    def _notes(self) -> list[str]:
        if not self._noted():
            return []
        parts = []
        s = self._sway
        if s is not None:
            text = f"sway {one_in(s['phi'])} towards {s['direction']}"
            text += ", as equivalent horizontal forces" if s["forces"] else ", joints moved"
            if s["rule"]:
                h, n, ah, am = s["rule"]
                text += (f" (EN 1993-1-1 5.3.2(3): phi0 1/200, alpha_h {ah:.2f} for h = {h / 100:g} m, "
                         f"alpha_m {am:.2f} for m = {n})")
            parts.append(text)
        bows: dict[str, list[int]] = {}
        for members, what, _ in self._bows:
            bows.setdefault(what, []).extend(members)
        for what, members in bows.items():
            parts.append(f"bows {what} on member{'s' if len(members) > 1 else ''} {ranges(members)}")
        lines = []
        for k, p in enumerate(parts):
            lines += note_cards("imperfections", p + (";" if k + 1 < len(parts) else ""))
        by_name: dict[str, list[int]] = {}
        for sec, name in self._residual_names.items():
            by_name.setdefault(name, []).append(sec)
        if by_name:
            text = "; ".join(f"{n} on section{'s' if len(v) > 1 else ''} {ranges(v)}" for n, v in by_name.items())
            lines += note_cards("residual stresses", text)
        return lines

    # ---- the sway applied --------------------------------------------------
    def _joint_card(self, j: int) -> str:
        x, y, line = self._joints[j]
        s = self._sway
        if s is None or s["forces"]:
            return line
        base = min(yy for _, yy, _ in self._joints.values())
        with warnings.catch_warnings():  # the moved joint to the nearest that fits
            warnings.simplefilter("ignore", FieldWarning)
            xs = real_text(x + s["sign"] * s["phi"] * (y - base), 10, "sway", "x")
        return line[:10] + xs + line[20:]

    def _sway_forces(self) -> None:
        """Adds to the pattern being written the horizontal forces phi times
        the vertical load of each joint (its own and half of the members'
        loads that end there), towards the sway."""
        s = self._sway
        if s is None or not s["forces"]:
            return
        vertical: dict[int, float] = {}
        for j, (types, values) in self._pattern.items():
            if not types[1] and values[1]:
                vertical[j] = vertical.get(j, 0.0) + values[1]
        for (mem, local), (wx, wy) in self._member_loads.items():
            a, b, _ = self._members[mem - 1]
            (xa, ya), (xb, yb) = self._xy(a), self._xy(b)
            span = math.hypot(xb - xa, yb - ya)
            wy_global = (wx * (yb - ya) + wy * (xb - xa)) / span if local else wy
            for j in (a, b):
                vertical[j] = vertical.get(j, 0.0) + 0.5 * wy_global * span
        for j, v in vertical.items():
            h = -s["sign"] * s["phi"] * v
            if not h:
                continue
            types, values = self._pattern.setdefault(j, [list(self._standing.get(j, [0, 0, 0])), [0.0, 0.0, 0.0]])
            if not types[0]:
                values[0] += h
