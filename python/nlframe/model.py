"""A frame described in code, written out as a column-exact deck.

    m = Model("PORTAL FRAME")
    m.material(2100., 21., 21.)
    s = m.section("IPE200", yield_stress=2.4)
    a, b, c, d = (m.joint(x, y) for x, y in [(0, 0), (0, 300), (600, 300), (600, 0)])
    for i, j in [(a, b), (b, c), (c, d)]:
        m.member(i, j, s)
    m.supports(a, d)
    m.load(b, fx=1.)
    m.arc_length(50, 0.5, follow=True, end_below=0.8)
    run = m.run()

Every value is checked when it is given: a ValueError names the method, the
argument and the limit. The structure cards are written in the order the
program needs (material, sections, joints, links, members, springs, watches,
iteration limits); the load history in the order of the calls.
"""

from __future__ import annotations

import copy
import functools
import math
import numbers
import os
import shutil
import tempfile
import warnings

from . import sections as _tables
from ._fields import FieldWarning, UnitWarning, card, int_text, number, real_text, stress_unit_hint, warn
from ._history import History
from ._imperfections import Imperfections, bow_ratio
from ._mode_imperfection import ModeImperfection, bow_amplitude
# The deck's limits as the program has them: a joint number has three
# columns (MAX_JOINTS), and the program's fixed stores hold FIXED_JOINTS.
from ._nlframe import FIXED_JOINTS, MAX_JOINTS
from ._order import narrow_order

__all__ = ["Model", "FieldWarning", "UnitWarning", "force", "displacement", "bow_amplitude"]

_DIRS = {"x": 1, "y": 2, "r": 3}
_LINKS = {"pin": 110, "rigid": 111, "rotation": 1}
_OWN_UNITS = {1, 2, 5, 6} | set(range(10, 22))
# What the deck's units (t, cm) make plausible for steel frames.
E_PLAUSIBLE = (1000.0, 4400.0)   # t/cm²; steel's is 2000 to 2200
YIELD_PLAUSIBLE = 10.0           # t/cm²; steel's is 2.4 to 7
FRAME_PLAUSIBLE = 1e6            # cm: 10 km
STOREY_PLAUSIBLE = 2500.0        # cm: a storey higher than 25 m is no building's
SPAN_PLAUSIBLE = 30000.0         # cm: a span longer than 300 m is no frame's
SLENDER_PLAUSIBLE = 200.0        # a member longer than 200 section depths
SLOPE_PLAUSIBLE = 210.0          # t/cm²: E2 and E3 of steel are some 21 (1 % of E)


def _code(joint: int, kind: int, direction: str, method: str) -> float:
    d = _DIRS.get(str(direction).lower())
    if d is None:
        raise ValueError(f"Model.{method}: direction {direction!r} must be 'x', 'y' or 'r'")
    int_text(joint, 3, method, "joint", 1, MAX_JOINTS)
    return float(f"{int(joint)}.{kind}{d}")


def force(joint: int, direction: str) -> float:
    """The watch code of the internal force (a reaction at a support) of a joint."""
    return _code(joint, 1, direction, "watch")


def displacement(joint: int, direction: str) -> float:
    """The watch code of the total displacement of a joint."""
    return _code(joint, 2, direction, "watch")


class Model(History, Imperfections, ModeImperfection):
    """A frame and its load history; see the module note."""

    def __init__(self, title: str, nprint: int = 1, restart_in: int | None = None,
                 restart_out: int | None = None, joint_order: str = "auto"):
        title = str(title)
        if len(title) > 64 or not title.isascii() or not title.isprintable():
            raise ValueError("Model: title must be at most 64 printable ASCII characters "
                             f"(it has {len(title)})")
        if joint_order not in ("auto", "given"):
            raise ValueError(f"Model: joint_order must be 'auto' or 'given', not {joint_order!r}")
        self.title, self.joint_order = title, joint_order
        self._control = [int_text(nprint, 3, "__init__", "nprint", 1, 999)]
        for arg, unit in (("restart_in", restart_in), ("restart_out", restart_out)):
            if unit is not None:
                int_text(unit, 3, "__init__", arg, 3, 999)
                if unit in _OWN_UNITS:
                    raise ValueError(f"Model.__init__: {arg} = {unit} is a unit the program uses itself "
                                     "(1, 2, 5, 6, 10 to 21); choose another from 3 to 999")
        self.restart_in, self.restart_out = restart_in, restart_out
        self._head: list[str] = []
        self._material: str | None = None
        self._modulus = 0.0
        self._sections: list[str] = []
        self._nsections = 0
        self._named: dict[tuple, int] = {}
        self._joints: dict[int, tuple[float, float, str]] = {}
        self._links: list[tuple[int, int, int, str]] = []
        self._members: list[tuple[int, int, str]] = []
        self._springs: list[str] = []
        self._watches: list[str] = []
        self._limits = (30, 1)
        self._box: tuple[float, float, float, float] | None = None  # the joints' extent
        self._depths: dict[int, float] = {}  # section -> depth in the plane of bending (I and H sections)
        self._length_warned = False
        self._depth = 0  # calls of the user's under way
        self._residual_names: dict[int, str] = {}  # section: the pattern's name, or "given values"
        History.__init__(self)
        Imperfections.__init__(self)

    @property
    def _call(self) -> str | None:
        return self.__dict__.get("_outer")

    def _snapshot(self) -> dict:
        return {k: copy.deepcopy(v) if k in ("_pattern", "_standing", "_member_loads") else
                v.copy() if isinstance(v, (list, dict, set)) else v for k, v in self.__dict__.items()}

    # ---- checks shared by the methods -----------------------------------
    def _open(self, method: str, restart: bool = False) -> None:
        if self._history_started:
            raise ValueError(f"Model.{method}: the structure is closed once the load history has begun")
        if self.restart_in and not restart:
            raise ValueError(f"Model.{method}: a continuing run (restart_in) takes the frame from its restart "
                             "file; it may only copy sections, watch and set iteration limits")
        self._structure_given = True

    def _joint(self, joint, method: str, arg: str = "joint") -> int:
        int_text(joint, 3, method, arg, 1, MAX_JOINTS)
        if joint not in self._joints and not self.restart_in:
            have = f"joints {min(self._joints)} to {max(self._joints)}" if self._joints else "no joints yet"
            raise ValueError(f"Model.{method}: {arg} {joint} does not exist ({have})")
        return int(joint)

    def _section(self, section, method: str, arg: str = "section") -> int:
        int_text(section, 3, method, arg, 1, 999)
        if section > self._nsections and not self.restart_in:
            raise ValueError(f"Model.{method}: {arg} {section} is beyond the section table "
                             f"(sections 1 to {self._nsections})")
        return int(section)

    def _positive(self, value, method: str, arg: str) -> float:
        v = number(value, method, arg)
        if v <= 0:
            raise ValueError(f"Model.{method}: {arg} = {v} must be positive")
        return v

    def _r(self, value, method: str, arg: str) -> str:
        return real_text(value, 10, method, arg)

    def comment(self, text: str) -> None:
        """Comment cards ($ in column 1), wrapped at 78 characters."""
        import textwrap
        text = str(text)
        if not text.isascii() or not all(c.isprintable() or c == "\n" for c in text):
            raise ValueError("Model.comment: text must be printable ASCII")
        lines = []
        for para in text.split("\n"):
            lines += ["$ " + w for w in textwrap.wrap(para, 78)] or ["$"]
        self._add_comments(lines)

    # ---- material and sections -------------------------------------------
    def material(self, E: float, E2: float, E3: float, strain_limit=None) -> None:
        """Young's modulus, the hardening slope and the slope of the bounding
        lines (t/cm²); E3 must lie below E. One material per frame.
        `strain_limit`: a group ends at the first converged step whose largest
        fibre strain goes beyond it (0.05 is 5 %); None or 0: no limit."""
        self._open("material")
        if self._material is not None:
            raise ValueError("Model.material: the material is already given (one per frame)")
        e = self._positive(E, "material", "E")
        e3 = number(E3, "material", "E3")
        if e3 >= e:
            raise ValueError(f"Model.material: E3 = {e3} must lie below E = {e}")
        limit = 0.0 if strain_limit is None else number(strain_limit, "material", "strain_limit")
        if limit < 0:
            raise ValueError(f"Model.material: strain_limit = {limit} must be positive (None or 0: no limit)")
        limit = limit or 0.0  # -0.0 too: no field
        if not E_PLAUSIBLE[0] <= e <= E_PLAUSIBLE[1]:
            warn(f"Model.material: E = {e:g} t/cm² is far from steel's 2000 to 2200 t/cm² (the deck is in t "
                 f"and cm){stress_unit_hint(e, 2100.0)}", UnitWarning)
        for v, n in ((E2, "E2"), (e3, "E3")):
            v = number(v, "material", n)
            if v > SLOPE_PLAUSIBLE:
                warn(f"Model.material: {n} = {v:g} t/cm² is far above the slopes of steel past yield (some "
                     f"21 t/cm², 1 % of E; the deck is in t and cm){stress_unit_hint(v, 21.0)}", UnitWarning)
        self._modulus = e
        self._material = card("P", ("  0",) * 3, [self._r(v, "material", n) for v, n in
                                                  ((E, "E"), (E2, "E2"), (E3, "E3"), (limit, "strain_limit"))], 3)

    def _add_section(self, letter: str, method: str, x: list, fy, number_=None, names=None) -> int:
        self._open(method, restart=letter == "C")
        fy_ = self._positive(fy, method, "yield_stress")
        if fy_ > YIELD_PLAUSIBLE:
            warn(f"Model.{self._call or method}: yield_stress = {fy_:g} t/cm² is above {YIELD_PLAUSIBLE:g} t/cm², "
                 f"more than any steel (the deck is in t and cm){stress_unit_hint(fy_, 3.0)}", UnitWarning)
        if number_ is None:
            if self._nsections >= 999:
                raise ValueError(f"Model.{method}: the section table is full (999 sections)")
            self._nsections += 1
            number_ = self._nsections
        if letter in "HITOR" and isinstance(x[1 if letter == "H" else 0], numbers.Real):
            self._depths[number_] = float(x[1 if letter == "H" else 0])  # the depth in the plane of bending
        names = (names or ["X1", "X2", "X3", "X4", "X5"]) + ["yield_stress", "shift"]
        x = list(x[:5]) + [fy_] + [x[5]]
        reals = [self._r(v, method, n) for v, n in zip(x, names)]
        self._sections.append(card(letter, (int_text(number_, 3, method, "section"), "  0", "  0"), reals, 0))
        return number_

    def _residual(self, residual, method: str, dims: tuple, fy: float, weak_axis: bool):
        """The pattern X1..X4 of `residual` (four values or a name) and whether
        the builder worked it out, checked: every value inside the elastic
        range, the pattern self-equilibrated on the program's own fibres."""
        if residual is None:
            return None
        if isinstance(residual, str):
            name = residual.strip().lower()
            if name not in _tables.RESIDUAL_PATTERNS:
                raise ValueError(f"Model.{method}: residual {residual!r} is not a named pattern "
                                 "(classic, ECCS) nor four values")
            if name == "eccs":
                return _tables.eccs_residual(*dims, fy, weak_axis), True
            return _tables.classic_residual(*dims, fy, _tables.RESIDUAL_PATTERNS[name], weak_axis), True
        try:
            values = list(residual)
        except TypeError:
            values = None
        if values is None or len(values) != 4:
            raise ValueError(f"Model.{method}: residual must be a named pattern or four values X1..X4 "
                             f"(tips, flange-web junction, web ends, mid-web), not {residual!r}")
        X = tuple(number(v, method, "residual") for v in values)
        if max(abs(v) for v in X) >= fy:
            raise ValueError(f"Model.{method}: residual {X} reaches the yield stress {fy:g}: every value "
                             "must lie strictly between -yield_stress and yield_stress")
        sig = _tables.residual_stresses(*dims, X, weak_axis)
        fibres = (_tables.h_fibres(*dims[1:]) if weak_axis else _tables.i_fibres(*dims))
        area = sum(a for a, _ in fibres)
        force = sum(a * s for (a, _), s in zip(fibres, sig))
        if abs(force) > 0.01 * area * fy:
            raise ValueError(f"Model.{method}: residual {X} is not self-equilibrated: its net axial force "
                             f"{force:.4g} t is more than 1 % of A*fy ({0.01 * area * fy:.4g} t)")
        return X, False

    def i_section(self, depth, width, web, flange, fillet, yield_stress, weak_axis=False, shift=0.0,
                  residual=None) -> int:
        """An I or H section (cm); bending about the weak axis with weak_axis.
        `residual`: residual stresses, four values X1..X4 (t/cm², compression
        negative: flange tips, flange-web junction, web ends, mid-web) or the
        name of a pattern ("classic": 0.3 fy of compression at the tips;
        "ECCS": 0.5 fy at the tips for depth/width <= 1.2, else 0.3 fy, a
        tension at the flange-web junction and the web ends, a compression
        of the same size at mid-web)."""
        m = "i_section"
        d, b, tw, tf = (self._positive(v, m, n) for v, n in
                        ((depth, "depth"), (width, "width"), (web, "web"), (flange, "flange")))
        r = number(fillet, m, "fillet")
        if r < 0:
            raise ValueError(f"Model.i_section: fillet = {r} must not be negative")
        if not weak_axis and 0.5 * d - 0.9 * r - tf <= 0:
            raise ValueError(f"Model.i_section: flange + 0.9 fillet = {tf + 0.9 * r:g} must stay below "
                             f"half the depth {0.5 * d:g}")
        if 0.5 * (b - tw) - 0.9 * r <= 0 or tw >= b:
            raise ValueError(f"Model.i_section: web + 1.8 fillet = {tw + 1.8 * r:g} must stay below the width {b:g}")
        pattern = self._residual(residual, m, (d, b, tw, tf, r), self._positive(yield_stress, m, "yield_stress"),
                                 bool(weak_axis))
        if pattern is not None:  # the texts first: a value that does not fit stops before the section is added
            X, derived = pattern
            reals = [(self._derived if derived else self._r)(v, m, "residual") for v in X]
        s = self._add_section("H" if weak_axis else "I", m, [d, b, tw, tf, r, shift], yield_stress,
                              names=["depth", "width", "web", "flange", "fillet"])
        if pattern is not None:
            self._sections.append(card("S", (int_text(s, 3, m, "section"), "  0", "  0"), reals, 1))
            self._residual_names[s] = ({"eccs": "ECCS"}.get(residual.strip().lower(), residual.strip().lower())
                                       if isinstance(residual, str) else "given values")
        return s

    def section(self, name: str, yield_stress, weak_axis=False, shift=0.0, residual=None) -> int:
        """A rolled section by name ("HEB300", "IPE 200"); the same name and
        values give the same section number. `residual` as for i_section."""
        shape = _tables.lookup(name)
        if residual is not None and not isinstance(residual, str):
            try:
                residual = tuple(residual)
            except TypeError:
                pass  # i_section says why it is not a pattern
        key = (shape.name, number(yield_stress, "section", "yield_stress"), bool(weak_axis),
               number(shift, "section", "shift"), residual.strip().lower() if isinstance(residual, str) else residual)
        try:
            hash(key)
        except TypeError:
            key = None
        if key is None or key not in self._named:
            at = len(self._sections)
            s = self.i_section(shape.depth, shape.width, shape.web, shape.flange, shape.fillet, yield_stress,
                               weak_axis, shift, residual)
            # The name, as a comment before its card, for the report page.
            self._sections.insert(at, f"$ section {s}: {shape.name}")
            if key is not None:
                self._named[key] = s
            return s
        return self._named[key]

    def tee(self, depth, width, stem, flange, yield_stress, tip=0.0) -> int:
        """A T section, flange on top; its stem tip lies at z = tip."""
        m = "tee"
        d, b, tw, tf = (self._positive(v, m, n) for v, n in
                        ((depth, "depth"), (width, "width"), (stem, "stem"), (flange, "flange")))
        if tf >= d:
            raise ValueError(f"Model.tee: flange = {tf:g} must stay below the depth {d:g}")
        return self._add_section("T", m, [d, b, tw, tf, 0.0, tip], yield_stress)

    def rectangle(self, depth, width, yield_stress, shift=0.0) -> int:
        """A solid rectangle of 20 equal strips."""
        d, b = (self._positive(v, "rectangle", n) for v, n in ((depth, "depth"), (width, "width")))
        return self._add_section("O", "rectangle", [d, b, 0.0, 0.0, 0.0, shift], yield_stress)

    def tube(self, diameter, wall, yield_stress, shift=0.0) -> int:
        """A circular tube of 20 equal fibres."""
        d, t = (self._positive(v, "tube", n) for v, n in ((diameter, "diameter"), (wall, "wall")))
        if t >= d / 2:
            raise ValueError(f"Model.tube: wall = {t:g} must stay below the radius {d / 2:g}")
        return self._add_section("R", "tube", [d, 0.0, t, 0.0, 0.0, shift], yield_stress)

    def round_bar(self, diameter, yield_stress, shift=0.0, half=False) -> int:
        """A solid round bar (half=True: every fibre area halved)."""
        d = self._positive(diameter, "round_bar", "diameter")
        return self._add_section("R", "round_bar", [d, 0.0, -1.0 if half else 0.0, 0.0, 0.0, shift], yield_stress)

    def copy(self, section: int, yield_stress, shift=0.0) -> int:
        """Shifts the fibres held under `section` and gives it a new yield
        stress (a C card). The fibres are shared: every member of that section
        sees the shift; the yield stress holds for members given afterwards."""
        s = self._section(section, "copy")
        return self._add_section("C", "copy", [0.0] * 5 + [shift], yield_stress, s)

    # ---- joints, links, members, springs, watches -------------------------
    def joint(self, x, y, number: int | None = None) -> int:
        """A joint at (x, y) cm; numbered 1, 2, ... unless a number is given."""
        self._open("joint")
        if len(self._joints) >= MAX_JOINTS:
            raise ValueError(f"Model.joint: a frame holds at most {MAX_JOINTS} joints")
        n = number if number is not None else max(self._joints, default=0) + 1
        int_text(n, 3, "joint", "number", 1, MAX_JOINTS)
        if n in self._joints:
            raise ValueError(f"Model.joint: joint number {n} is already used")
        line = card("J", (int_text(n, 3, "joint", "number"), "  0", "  0"),
                    [self._r(x, "joint", "x"), self._r(y, "joint", "y")], 2)
        x_, y_ = float(line[10:20]), float(line[20:30])
        self._joints[n] = (x_, y_, line)
        was = self._box
        b = (x_, y_, x_, y_) if was is None else (min(was[0], x_), min(was[1], y_), max(was[2], x_), max(was[3], y_))
        self._box = b
        size, before = max(b[2] - b[0], b[3] - b[1]), max(was[2] - was[0], was[3] - was[1]) if was else 0.0
        if size > FRAME_PLAUSIBLE >= before:
            warn(f"Model.joint: the frame is now {size / 1e5:g} km across; coordinates are in cm "
                 f"(given in mm? {size:g} mm is {size / 1e3:g} m)", UnitWarning)
        return n

    def link(self, a: int, b: int, code) -> None:
        """Ties directions of joint b (the later one) to joint a: code 'pin'
        (110), 'rigid' (111), 'rotation' (001) or three digits X, Y, rotation."""
        self._open("link")
        if self._members:
            raise ValueError("Model.link: links must come before the first member")
        a, b = self._joint(a, "link", "a"), self._joint(b, "link", "b")
        if a == b:
            raise ValueError(f"Model.link: a and b are the same joint {a}")
        c = _LINKS.get(code, int(code) if code.isdigit() else code) if isinstance(code, str) else code
        int_text(c, 3, "link", "code", 1, 211)
        if c // 100 > 2 or c // 10 % 10 > 2 or c % 10 > 1:
            raise ValueError(f"Model.link: code {c:03d}: X and Y digits must be 0 to 2, the rotation digit 0 or 1")
        self._links.append((a, b, c, card("Q", (int_text(a, 3, "", ""), int_text(b, 3, "", ""), f"{c:3d}"), [])))

    def member(self, a: int, b: int, section: int, fractions=(0.2, 0.4, 0.6, 0.8), bow=0.0,
               springs=0.0, load=0.0, geometric=True, parts=1, curve=None, analysis="elastic",
               towards=None) -> list[int]:
        """Members from joint a to joint b; parts=n splits the span into n
        members through new joints on the (bowed) axis. Returns their numbers.
        `bow`: the rise of the half sine at mid-span over the span, to the
        left of the direction a -> b when positive (for a column drawn
        upwards, towards -x). `curve` ("a0", "a", "b", "c", "d") takes it
        from the buckling curve and `analysis` ("elastic", "plastic");
        `towards` ("+x", "-x", "+y", "-y", "left", "right") names the side
        the middle moves to, and the bow is its size."""
        m = "member"
        self._open(m)
        if self._material is None and not self.restart_in:
            raise ValueError("Model.member: give the material before the first member")
        a, b, s = self._joint(a, m, "a"), self._joint(b, m, "b"), self._section(section, m)
        fr = [number(t, m, "fractions") for t in fractions]
        if len(fr) != 4 or not 0 < fr[0] < fr[1] < fr[2] < fr[3] < 1:
            raise ValueError(f"Model.member: fractions {tuple(fractions)} must be four values rising "
                             "strictly between 0 and 1")
        int_text(parts, 3, m, "parts", 1, 999)
        bow_, k6, q = number(bow, m, "bow"), number(springs, m, "springs"), number(load, m, "load")
        if curve is not None:
            if bow_:
                raise ValueError("Model.member: give bow or curve, not both")
            if towards is None:
                raise ValueError("Model.member: a bow by curve needs towards= (the side its middle moves to)")
            bow_ = bow_ratio(curve, analysis)
        if k6 < 0:
            raise ValueError(f"Model.member: springs = {k6} must not be negative")
        (xa, ya), (xb, yb) = self._xy(a), self._xy(b)
        span = math.hypot(xb - xa, yb - ya)
        if span == 0 and not self.restart_in:
            raise ValueError(f"Model.member: joints {a} and {b} lie at the same place")
        c, sn = ((xb - xa) / span, (yb - ya) / span) if span else (1.0, 0.0)
        if towards is not None:
            bow_ = self._bow_side(a, b, bow_, towards)
        self._check_length(xb - xa, yb - ya, span, s)

        def on_axis(t):
            e = math.sin(math.pi * t) * bow_ * span
            return xa + c * t * span - sn * e, ya + sn * t * span + c * e

        if len(self._joints) + parts - 1 > MAX_JOINTS:
            raise ValueError(f"Model.member: parts = {parts} needs {parts - 1} new joints; a frame holds at most "
                             f"{MAX_JOINTS} joints and has {len(self._joints)}")
        bow_text = (self._derived if curve is not None else self._r)(bow_, m, "bow")  # the rule's: rounded
        given = [self._r(t, m, "fractions") for t in fr] + [bow_text, self._r(k6, m, "springs")]
        load_ = self._r(q, m, "load")
        ends = [a]
        for k in range(1, parts):
            with warnings.catch_warnings():  # the new joints lie where the sine puts them, to 10 columns
                warnings.simplefilter("ignore", FieldWarning)
                ends.append(self.joint(*on_axis(k / parts)))
        ends.append(b)
        out = []
        for k in range(parts):
            (x0, y0), (x1, y1) = self._xy(ends[k]), self._xy(ends[k + 1])
            length = math.hypot(x1 - x0, y1 - y0)
            xm, ym = on_axis((k + 0.5) / parts)
            part_bow = 0.0
            if bow_ and length:  # the sine between the new joints, matched at the middle of each part
                part_bow = ((xm - (x0 + x1) / 2) * -(y1 - y0) + (ym - (y0 + y1) / 2) * (x1 - x0)) / length ** 2
            reals = given[:4] + [self._derived(part_bow, m, "bow"), self._derived(k6 / parts, m, "springs"),
                                 load_] if parts > 1 else given + [load_]
            ints = (int_text(ends[k], 3, m, "a"), int_text(ends[k + 1], 3, m, "b"),
                    int_text(s if geometric else -s, 3, m, "section"))
            self._members.append((ends[k], ends[k + 1], card("M", ints, reals, 4)))
            out.append(len(self._members))
        self._record_bow(out, bow_, curve, analysis, towards)
        return out

    def _check_length(self, dx, dy, span, section):
        """A storey, a span or a member far beyond buildings' and bridges'
        (a frame drawn in mm): one UnitWarning for the model."""
        if self._length_warned:
            return
        depth = self._depths.get(section, 0.0)
        text = None
        if abs(dx) <= 0.05 * abs(dy) and abs(dy) > STOREY_PLAUSIBLE:
            text = f"a storey {abs(dy):g} cm high is far beyond buildings' storeys"
        elif abs(dy) <= 0.05 * abs(dx) and abs(dx) > SPAN_PLAUSIBLE:
            text = f"a span of {abs(dx):g} cm is far beyond buildings' and bridges' spans"
        elif depth and span / depth > SLENDER_PLAUSIBLE:
            text = f"a member {span:g} cm long is {span / depth:.0f} times the depth of its section ({depth:g} cm)"
        if text:
            self._length_warned = True
            warn(f"Model.member: {text}; coordinates are in cm (given in mm? In cm it is {span / 10:g})",
                 UnitWarning)

    def _derived(self, value: float, method: str, arg: str) -> str:
        """A value the builder works out itself, written to the nearest that fits."""
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", FieldWarning)
            return self._r(value, method, arg)

    def _xy(self, j: int) -> tuple[float, float]:
        x, y, _ = self._joints.get(j, (0.0, 0.0, ""))
        return x, y

    def spring(self, joint: int, kx=0.0, ky=0.0, kr=0.0) -> None:
        """Linear springs at a joint: t/cm in X and Y, t·cm per radian."""
        self._open("spring")
        j = self._joint(joint, "spring")
        self._springs.append(card("K", (int_text(j, 3, "", ""), "  0", "  0"),
                                  [self._r(v, "spring", n) for v, n in ((kx, "kx"), (ky, "ky"), (kr, "kr"))]))

    def watch(self, *codes) -> int:
        """A response curve of up to seven watch codes (force(2, "x"),
        displacement(5, "y"), or codes like 2.21); returns its unit (61, ...)."""
        self._open("watch", restart=True)
        if not 1 <= len(codes) <= 7:
            raise ValueError(f"Model.watch: give 1 to 7 codes, not {len(codes)}")
        for code in codes:
            v = number(code, "watch", "code")
            j = int(v + 0.5)
            f = int(10 * v + 0.5) - 10 * j
            g = int(100 * v + 0.5) - 100 * j - 10 * f
            if v <= 0 or f not in (1, 2) or g not in (1, 2, 3):
                raise ValueError(f"Model.watch: code {code!r} is not JOINT.KD with K 1 (force) or 2 "
                                 "(displacement) and D 1, 2 or 3 (x, y, r)")
            self._joint(j, "watch")
        self._watches.append(card("W", ("  0",) * 3, [self._r(v, "watch", "code") for v in codes]))
        return 60 + len(self._watches)

    def watch_force(self, joint: int, direction: str) -> int:
        """A response curve of the internal force of a joint in one direction."""
        return self.watch(force(joint, direction))

    def watch_displacement(self, joint: int, direction: str) -> int:
        """A response curve of the displacement of a joint in one direction."""
        return self.watch(displacement(joint, direction))

    def iterations(self, maximum: int, minimum: int = 1) -> None:
        """The most and the fewest equilibrium iterations of a step."""
        self._open("iterations", restart=True)
        int_text(maximum, 3, "iterations", "maximum", 1, 999)
        int_text(minimum, 3, "iterations", "minimum", 0, 99)
        if minimum >= maximum:
            raise ValueError(f"Model.iterations: minimum = {minimum} must lie below maximum = {maximum}")
        self._limits = (int(maximum), int(minimum))

    # ---- the deck -----------------------------------------------------------
    def _structure(self) -> list[str]:
        order = list(self._joints)
        if self.joint_order == "auto" and not any(c // 100 == 2 or c // 10 % 10 == 2 for *_, c, _ in self._links):
            pairs = [(a, b) for a, b, _ in self._members] + [(a, b) for a, b, *_ in self._links]
            pairs = [(a, b) for a, b in pairs if a in self._joints and b in self._joints]
            order = narrow_order(order, pairs)
        mx, mn = self._limits
        if self.restart_in:
            mx = -mx
        lines = [self._material] if self._material else []
        lines += self._sections + [self._joint_card(j) for j in order]
        lines += [q for *_, q in self._links] + [m for *_, m in self._members] + self._springs + self._watches
        return lines + [f"L{mx:3d}{mn:3d}  0"]

    def deck(self) -> str:
        """The column-exact deck text."""
        out = self.restart_out
        if out is not None and 61 <= out <= 60 + len(self._watches):
            raise ValueError(f"Model.__init__: restart_out = {out} is the unit of a response curve "
                             f"(61 to {60 + len(self._watches)})")
        if self.restart_in is not None and 61 <= self.restart_in <= 60 + len(self._watches):
            raise ValueError(f"Model.__init__: restart_in = {self.restart_in} is the unit of a response curve")
        control = (" " + f"{self.restart_in or 0:3d}{out or 0:3d}" + self._control[0] + " " * 5 + self.title).rstrip()
        notes = self._notes() + self._group_notes()
        return "\n".join([control] + self._head + notes + self._structure() + self._history_lines()) + "\n"

    def write(self, path) -> str:
        """Writes the deck to `path` and returns the path."""
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write(self.deck())
        return os.fspath(path)

    def check(self, capacity=None):
        """The findings of the program's deck check (nlframe.check), for the
        stores the model's run takes (see run)."""
        from ._run import check
        with tempfile.TemporaryDirectory(prefix="nlframe-") as d:
            path = self.write(os.path.join(d, "model.dat"))
            return check(path, capacity=_stores_for(path, capacity))

    def run(self, workdir=None, threads=None, progress=None, keep=False, capacity=None, results="text", tables=None,
            every=None, fibres_every=None, compress=None):
        """Writes the deck as model.dat into `workdir` and runs it there
        (nlframe.run). Without a workdir the run goes into a temporary
        folder that is removed afterwards, its tables read into the Run
        first; keep=True keeps that folder (the Run's folder).

        The stores: with capacity=None the program's fixed stores when they
        hold the model, else stores that follow it ("auto": past 333 joints,
        or workspaces beyond the fixed ones). "auto" or a fibre budget in
        MiB is passed on as it is (nlframe.run).

        `results`, `tables`, `every`, `fibres_every` and `compress` choose the result
        store and what is written (nlframe.run). A history of more than 200
        load steps writes its fibre tables at about 100 of them, every
        (steps // 100)th step, unless fibres_every is given (1: every step):
        the fibre tables of every step of a long push are most of its
        output."""
        from ._run import run as run_deck
        if fibres_every is None and self._steps > KEEP_EVERY_FIBRE_STEP:
            fibres_every = self._steps // 100

        def run(path, **kw):
            return run_deck(path, results=results, tables=tables, every=every, fibres_every=fibres_every,
                            compress=compress, **kw)
        if workdir is not None:
            workdir = os.fspath(workdir)
            os.makedirs(workdir, exist_ok=True)
            path = self.write(os.path.join(workdir, "model.dat"))
            return run(path, workdir=workdir, threads=threads, progress=progress,
                       capacity=_stores_for(path, capacity))
        deck = self.deck()  # refused before a folder is made
        workdir = tempfile.mkdtemp(prefix="nlframe-")
        try:
            path = os.path.join(workdir, "model.dat")
            with open(path, "w", encoding="ascii", newline="\n") as f:
                f.write(deck)
            r = run(path, workdir=workdir, threads=threads, progress=progress,
                    capacity=_stores_for(path, capacity))
            if not keep:
                r._own()
            return r
        finally:
            if not keep:
                shutil.rmtree(workdir, ignore_errors=True)


# Up to this many load steps the builder writes the fibre tables of every step.
KEEP_EVERY_FIBRE_STEP = 200


def _stores_for(path, capacity):
    """The capacity a model's run asks for: the one given, else the fixed
    stores (None) when the deck check finds that they hold the deck, else
    stores that follow the model ("auto")."""
    if capacity is not None:
        return capacity
    from . import _nlframe
    need = _nlframe.check(os.fspath(path), "auto")["capacity"]
    return None if need["fixed_holds"] else "auto"


def _refused_changes_nothing(method):
    """A call of the user's: when it is refused (raises), the model is as it
    was before it, whatever the calls it made on the way."""
    @functools.wraps(method)
    def call(self, *args, **kwargs):
        if self._depth:
            return method(self, *args, **kwargs)
        before = self._snapshot()
        self._depth, self._outer = 1, method.__name__
        try:
            return method(self, *args, **kwargs)
        except BaseException:
            self.__dict__.clear()
            self.__dict__.update(before)
            raise
        finally:
            self._depth, self._outer = 0, None
    return call


for _name in ("comment", "material", "i_section", "section", "tee", "rectangle", "tube", "round_bar", "copy",
              "joint", "link", "member", "spring", "watch", "watch_force", "watch_displacement", "iterations",
              "sway", "supports", "load", "member_load", "displace", "load_steps", "displacement_steps",
              "factored_steps", "arc_length", "buckling", "imperfection", "finish"):
    setattr(Model, _name, _refused_changes_nothing(getattr(Model, _name)))
