"""The load history of a Model: patterns of supports, joint and member
loads and prescribed displacements, the groups of steps that apply them,
and the end."""

from __future__ import annotations

import warnings

from ._fields import FieldWarning, card, int_text, number, real_text
from ._imperfections import note_cards

_AXES = "xyr"


class History:
    """Mixin of Model: the load-history methods."""

    def __init__(self) -> None:
        self._history: list[str] = []
        self._history_started = False
        self._structure_given = False
        self._pattern: dict[int, list] = {}   # joint: [three type digits, three values]
        self._pattern_has_supports = False
        self._standing: dict[int, list[int]] = {}
        self._groups = 0
        self._total_groups: list[tuple[int, int]] = []  # (group from 1, steps) of total=True
        self._steps = 0  # load steps of every group: the builder's default output
        self._finished = False
        self._member_loads: dict[tuple[int, bool], list[float]] = {}  # (member, local): wx, wy

    def _add_comments(self, lines: list[str]) -> None:
        if self._history_started or self._structure_given:
            self._begin_history()
            self._history += lines
        else:
            self._head += lines

    def _begin_history(self) -> None:
        if self._finished:
            raise ValueError("Model: the load history is finished")
        self._history_started = True

    def _entry(self, method: str, joint: int) -> list:
        self._begin_history()
        j = self._joint(joint, method)
        self._start_pattern(method)
        return self._pattern.setdefault(j, [[0, 0, 0], [0.0, 0.0, 0.0]])

    def _start_pattern(self, method: str) -> None:
        if not self._pattern and not self._member_loads:  # a new pattern keeps the supports of the last one
            if method != "supports":
                for k, types in self._standing.items():
                    self._pattern[k] = [list(types), [0.0, 0.0, 0.0]]
            else:
                self._standing = {}

    def supports(self, *joints: int, fix: str = "xyr") -> None:
        """Holds the directions `fix` ("xyr" fixed, "xy" pinned, "y" a roller)
        of the joints at zero. The supports carry over into the next pattern
        until a pattern begins with its own supports() call."""
        if not joints:
            raise ValueError("Model.supports: name at least one joint")
        if not fix or any(c not in _AXES for c in fix) or len(set(fix)) != len(fix):
            raise ValueError(f"Model.supports: fix = {fix!r} must be made of 'x', 'y' and 'r'")
        for joint in joints:
            types, values = self._entry("supports", joint)
            for k, axis in enumerate(_AXES):
                if axis in fix:
                    if types[k] == 0 and values[k] != 0:
                        raise ValueError(f"Model.supports: joint {joint} carries a load in {axis}")
                    types[k] = 1
            self._standing[int(joint)] = list(types)

    def load(self, joint: int, fx=0.0, fy=0.0, m=0.0) -> None:
        """Forces (t) and a moment (t·cm) at a joint, per step times the load factor."""
        vals = [number(v, "load", n) for v, n in ((fx, "fx"), (fy, "fy"), (m, "m"))]
        for v, n in zip(vals, ("fx", "fy", "m")):
            if v:
                real_text(v, 10, "load", n)  # a value its field cannot hold is told of here
        types, values = self._entry("load", joint)
        for k, v in enumerate(vals):
            if v and types[k]:
                raise ValueError(f"Model.load: joint {joint} is held in {_AXES[k]}; a load there does nothing")
            if v:
                values[k] = v

    def member_load(self, members, wx=0.0, wy=0.0, local: bool = False) -> None:
        """A load per cm (t/cm) along members, a step times the load factor
        like joint loads: wx, wy in global X and Y (negative wy downward), or
        with local=True wx along the member (from end I to end J) and wy
        across it (positive to the left of I -> J). `members`: a number or a
        list of them (as member() returns). Loads on one member in one
        pattern add up."""
        m = "member_load"
        try:
            given = [members] if isinstance(members, int) or not hasattr(members, "__iter__") else list(members)
        except TypeError:
            given = [members]
        if not given:
            raise ValueError("Model.member_load: name at least one member")
        if not isinstance(local, bool):
            raise ValueError(f"Model.member_load: local must be True or False, not {local!r}")
        high = 999 if self.restart_in else len(self._members)
        for k in given:
            int_text(k, 3, m, "members", 1, 999)
            if k > high:
                raise ValueError(f"Model.member_load: member {k} does not exist (members 1 to {high})")
        w = [number(v, m, n) for v, n in ((wx, "wx"), (wy, "wy"))]
        if not any(w):
            raise ValueError("Model.member_load: give wx or wy")
        for v, n in zip(w, ("wx", "wy")):
            if v:
                real_text(v, 10, m, n)  # a value its field cannot hold is told of here
        self._begin_history()
        self._start_pattern(m)
        for k in given:
            now = self._member_loads.setdefault((int(k), local), [0.0, 0.0])
            now[0] += w[0]
            now[1] += w[1]

    def displace(self, joint: int, dx=None, dy=None, r=None) -> None:
        """Prescribed displacements (cm) and rotation (radians) of a joint,
        imposed per step by displacement_steps."""
        given = [(k, number(v, "displace", n)) for k, (v, n) in enumerate(((dx, "dx"), (dy, "dy"), (r, "r")))
                 if v is not None]
        if not given:
            raise ValueError("Model.displace: give dx, dy or r")
        for k, v in given:
            real_text(v, 10, "displace", ("dx", "dy", "r")[k])
        types, values = self._entry("displace", joint)
        for k, v in given:
            if types[k] == 0 and values[k]:
                raise ValueError(f"Model.displace: joint {joint} carries a load in {_AXES[k]}")
            types[k], values[k] = 1, v

    def _group(self, letter: str, method: str, steps, tolerance, detail, impose, x2=0.0, x3=0.0, x4=0.0, x5=0.0,
               exact: bool = False, total: bool = False):
        self._begin_history()
        ints = (int_text(1 if impose else 0, 3, method, "impose"), int_text(steps, 3, method, "steps", 1, 999),
                int_text(detail, 3, method, "detail", 0, 999))
        tol = number(tolerance, method, "tolerance")
        if tol < 0:
            raise ValueError(f"Model.{method}: tolerance = {tol} must not be negative")
        if not self._pattern and not self._member_loads and not self._groups:
            raise ValueError(f"Model.{method}: no supports or loads before the first group")
        if not isinstance(total, bool):
            raise ValueError(f"Model.{method}: total must be True or False, not {total!r}")
        self._sway_forces()
        for j, (types, values) in self._pattern.items():
            code = f"{types[0]}{types[1]}{types[2]}".lstrip("0") or "0"
            if total:  # every step adds its share of the group's total
                reals = [real_text(v / steps, 10, method, f"{_AXES[k]} of joint {j} divided by {steps} steps")
                         for k, v in enumerate(values)]
            else:
                with warnings.catch_warnings():  # told of when the value was given
                    warnings.simplefilter("ignore", FieldWarning)
                    reals = [real_text(v, 10, method, "value") for v in values]
            self._history.append(card("B", (f"{j:3d}", f"{code:>3}", "  0"), reals, 2 if any(values) else 0))
        self._history += self._member_load_cards(method, steps, total)
        self._pattern, self._pattern_has_supports = {}, False
        reals = [real_text(v, 10, method, n) for v, n in
                 ((tol, "tolerance"), (x2, "length"), (x3, "follow"), (x4, "target_iterations"), (x5, "end_below"),
                  (1.0 if exact else 0.0, "exact"))]
        self._history.append(card(letter, ints, reals, 1))
        self._groups += 1
        self._steps += int(steps)
        if total:
            self._total_groups.append((self._groups, max(int(steps), 1)))

    def _group_notes(self) -> list[str]:
        """The note that tells a reader of the deck (nlframe-plot) which groups
        hold their total load in steps, so that they do not read as the
        pattern applied `steps` times."""
        if not self._total_groups:
            return []
        text = "; ".join(f"group {g} adds its total load in {n} steps" for g, n in self._total_groups)
        return note_cards("load groups", text + " (its B and U cards hold one step's share)")

    def load_steps(self, steps: int, tolerance=1e-8, detail: int = 1, impose: bool = False,
                   exact: bool = False, total: bool = False) -> None:
        """`steps` load-controlled steps, each adding the pattern once (as
        the deck does: 4 steps of a 80 t load end at 320 t); total=True: the
        pattern is the group's total, each step adds 1/steps of it (4 steps
        of 20 t, ending at 80 t). `detail`: member node displacements every
        so many steps; `exact`: iterate with the exact tangent (X6)."""
        self._group("E", "load_steps", steps, tolerance, detail, impose, exact=exact, total=total)

    def displacement_steps(self, steps: int, tolerance=1e-8, detail: int = 1, exact: bool = False,
                           total: bool = False) -> None:
        """Steps that move the prescribed directions by their values each
        step; total=True: by 1/steps of them, so the group ends at them."""
        self._group("E", "displacement_steps", steps, tolerance, detail, True, exact=exact, total=total)

    def factored_steps(self, steps: int, factor, detail: int = 1, impose: bool = False) -> None:
        """Load-controlled steps of `factor` times the pattern; the factor is
        also the convergence tolerance of these steps."""
        f = number(factor, "factored_steps", "factor")
        if f <= 0:
            raise ValueError(f"Model.factored_steps: factor = {f} must be positive")
        self._group("A", "factored_steps", steps, f, detail, impose)

    def arc_length(self, steps: int, length, tolerance=1e-8, follow: bool = False, target_iterations=0,
                   end_below=0.0, detail: int = 1, impose: bool = False, exact: bool = True) -> None:
        """Arc-length steps of `length`; follow=True passes limit points,
        target_iterations adapts the length, end_below ends the group when the
        load factor falls below that share of its largest value. The steps
        iterate with the exact tangent (X6 = 1); exact=False: with the usual
        tangent."""
        m = "arc_length"
        a = number(length, m, "length")
        if a == 0:
            raise ValueError("Model.arc_length: length must not be zero")
        t = number(target_iterations, m, "target_iterations")
        if t < 0:
            raise ValueError(f"Model.arc_length: target_iterations = {t} must not be negative")
        e = number(end_below, m, "end_below")
        if not 0 <= e < 1:
            raise ValueError(f"Model.arc_length: end_below = {e} must lie in 0 to 1 (below 1)")
        self._group("E", m, steps, tolerance, detail, impose, a, 1.0 if follow else 0.0, t, e, exact)

    def _member_load_cards(self, method: str, steps: int, total: bool) -> list[str]:
        cards, items = [], sorted(self._member_loads.items(), key=lambda kv: (kv[0][1], kv[0][0]))
        with warnings.catch_warnings():  # told of when the value was given
            warnings.simplefilter("ignore", FieldWarning)
            texts = [(mem, local, [real_text(v / steps if total else v, 10, method, "member load") for v in w])
                     for (mem, local), w in items]
        k = 0
        while k < len(texts):
            mem, local, reals = texts[k]
            j = k
            while j + 1 < len(texts) and texts[j + 1][1:] == (local, reals) and texts[j + 1][0] == texts[j][0] + 1:
                j += 1
            last = texts[j][0]
            cards.append(card("U", (f"{mem:3d}", f"{last:3d}" if last != mem else "  0", f"{int(local):3d}"),
                              reals, 2))
            k = j + 1
        self._member_loads = {}
        return cards

    def buckling(self, modes: int = 4, negative: bool = False, tangent: bool = False) -> None:
        """The critical load factors and buckling modes (a V card) of the
        pattern of the next group of steps, or after the last group of its
        pattern: `modes` factors of each sign (1 to 50), the negative ones too
        when `negative`; the elastic stiffness, or with tangent=True the
        tangent of the state the steps so far have left. The factors multiply
        the pattern as given (the loads of one step); Run.buckling and
        Run.mode(k) read them back."""
        self._begin_history()
        n = int_text(modes, 3, "buckling", "modes", 1, 50)
        for arg, v in (("negative", negative), ("tangent", tangent)):
            if not isinstance(v, bool):
                raise ValueError(f"Model.buckling: {arg} must be True or False, not {v!r}")
        self._history.append(card("V", (n, int_text(1 if negative else 0, 3, "buckling", "negative"),
                                        int_text(1 if tangent else 0, 3, "buckling", "tangent")), []))

    def finish(self) -> None:
        """Ends the load history (written by deck() if not called)."""
        if self._pattern or self._member_loads:
            raise ValueError("Model.finish: the last supports or loads have no group of steps")
        self._begin_history()
        self._finished = True

    def _history_lines(self) -> list[str]:
        if self._pattern or self._member_loads:  # deck() may be called on the way, so it closes nothing
            raise ValueError("Model.deck: the last supports or loads have no group of steps")
        return self._history + ["F"]
