"""Imperfections in the shape of a buckling mode: the joints of a Model moved
along mode k of a finished run, the members bowed to the mode's shape between
their joints."""

from __future__ import annotations

import math
import warnings

from ._fields import FieldWarning, card, number


def bow_amplitude(alpha: float, slenderness: float, chi: float, MRk: float, NRk: float,
                  gamma_M1: float = 1.0) -> float:
    """The amplitude e0 (in the units of MRk / NRk, cm for t·cm and t) of
    the equivalent imperfection in the shape of the elastic critical mode,
    e0 = alpha (l - 0.2) MRk / NRk (1 - chi l^2 / gamma_M1) / (1 - chi l^2),
    l the slenderness of the frame (sqrt of the factor of the resistance of
    the critical cross-section over the critical factor), alpha the
    imperfection factor of the buckling curve, chi its reduction factor at
    l; 0 when l is 0.2 or less."""
    vals = [number(v, "bow_amplitude", n) for v, n in ((alpha, "alpha"), (slenderness, "slenderness"), (chi, "chi"),
                                                        (MRk, "MRk"), (NRk, "NRk"), (gamma_M1, "gamma_M1"))]
    a, lam, x, m, n, g = vals
    if a < 0 or not 0 < x <= 1 or m <= 0 or n <= 0 or g <= 0:
        raise ValueError("bow_amplitude: alpha must not be negative, chi must lie in (0, 1], MRk, NRk and "
                         "gamma_M1 must be positive")
    if lam <= 0.2:
        return 0.0
    if x * lam * lam >= 1:
        raise ValueError(f"bow_amplitude: chi l^2 = {x * lam * lam:g} must stay below 1")
    return a * (lam - 0.2) * m / n * (1 - x * lam * lam / g) / (1 - x * lam * lam)


class ModeImperfection:
    """Mixin of Model: the mode-shaped imperfection."""

    def imperfection(self, run, mode: int = 1, sway=None, e0=None, member: int | None = None,
                     analysis: int = 1) -> float:
        """Moves the joints along mode `mode` of buckling analysis `analysis`
        of `run` (a run of this model with Model.buckling) and bows every
        member to the mode's shape between its moved joints. The amplitude:
        `sway` cm as the largest translation of any node point; or `e0` cm
        (see bow_amplitude) as the equivalent imperfection of the critical
        cross-section, eta_init = e0 Ncr / (EI eta''_cr,max) eta_cr, at the
        station of `member` (default: every compressed member) where the
        mode's moment EI eta'' is largest, with Ncr the critical factor times
        the pattern's axial force there. Returns the largest translation
        (cm) given to a node point."""
        if (sway is None) == (e0 is None):
            raise ValueError("Model.imperfection: give either sway or e0")
        block, m = run._block(analysis), run._mode(mode, analysis)
        if set(m["joints"]) != set(self._joints) or len(m["points"]) != len(self._members):
            raise ValueError("Model.imperfection: the run's frame is not this model's (joints %d / %d, members "
                             "%d / %d)" % (len(m["joints"]), len(self._joints), len(m["points"]),
                                           len(self._members)))
        if sway is not None:
            scale = number(sway, "imperfection", "sway")
        else:
            scale = self._en_scale(block, m, number(e0, "imperfection", "e0"), member)
        moved = {j: (x + scale * m["joints"][j][0], y + scale * m["joints"][j][1])
                 for j, (x, y, _) in self._joints.items()}
        members = []
        for k, (a, b, line) in enumerate(self._members, start=1):
            members.append((a, b, self._bowed(line, self._xy(a), self._xy(b), moved[a], moved[b],
                                              m["points"][k], scale)))
        with warnings.catch_warnings():  # coordinates to the digits that fit
            warnings.simplefilter("ignore", FieldWarning)
            for j, (x, y) in moved.items():
                line = self._joints[j][2]
                new = card("J", (line[1:4], line[4:7], line[7:10]), [self._r(x, "imperfection", "x"),
                                                                      self._r(y, "imperfection", "y")], 2)
                self._joints[j] = (float(new[10:20]), float(new[20:30]), new)
        self._members = members
        return abs(scale)

    @staticmethod
    def _en_scale(block, m, e0, member):
        stations = []
        for k, moments in m["moment"].items():
            if member is not None and k != member:
                continue
            for s, mk in enumerate(moments):
                n = block["axial"].get(k, [0.0] * 10)[s]
                if n < 0 or member is not None:
                    stations.append((abs(mk), n, k, s))
        if not stations:
            raise ValueError("Model.imperfection: no compressed member to take the critical cross-section in"
                             if member is None else f"Model.imperfection: member {member} does not exist")
        mk, n, _, _ = max(stations)
        if mk == 0 or n == 0:
            raise ValueError("Model.imperfection: the mode bends no compressed station of the member")
        return e0 * m["factor"] * abs(n) / mk

    def _bowed(self, line, a0, b0, a1, b1, inner, scale):
        """The member card with the bow that fits the mode's inner points."""
        line = line.ljust(80)
        fr = [float(line[10 + 10 * i:20 + 10 * i]) for i in range(4)]
        bow0 = float(line[50:60].strip() or 0)
        span0 = math.hypot(b0[0] - a0[0], b0[1] - a0[1])
        c0, s0 = (b0[0] - a0[0]) / span0, (b0[1] - a0[1]) / span0
        span = math.hypot(b1[0] - a1[0], b1[1] - a1[1])
        c, s = (b1[0] - a1[0]) / span, (b1[1] - a1[1]) / span
        num = den = 0.0
        for i, t in enumerate(fr):
            e0 = math.sin(math.pi * t) * bow0 * span0
            x = a0[0] + c0 * t * span0 - s0 * e0 + scale * inner[3 * i]
            y = a0[1] + s0 * t * span0 + c0 * e0 + scale * inner[3 * i + 1]
            w = -(x - a1[0]) * s + (y - a1[1]) * c  # to the left of the new chord
            num += math.sin(math.pi * t) * w
            den += math.sin(math.pi * t) ** 2
        bow = self._derived(num / den / span, "imperfection", "bow")
        return (line[:50] + bow + line[60:]).rstrip()
