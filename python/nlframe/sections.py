"""Standard rolled I and H sections by name.

Dimensions are the published ones of the European series IPE, HEA, HEB and
HEM (depth h, flange width b, web thickness tw, flange thickness tf, root
radius r, in millimetres), with the published area (cm²) and second moment
about the strong axis (cm⁴) for comparison. `lookup` returns them in
centimetres, the unit of the deck.
"""

from __future__ import annotations

import difflib
import re
from typing import NamedTuple


class Shape(NamedTuple):
    """A rolled section in centimetres, with its published area and inertia."""
    name: str
    depth: float
    width: float
    web: float
    flange: float
    fillet: float
    area: float      # published, cm²
    inertia: float   # published, strong axis, cm⁴


# name: h, b, tw, tf, r (mm), A (cm²), Iy (cm⁴)
_MM = {
    "IPE80": (80, 46, 3.8, 5.2, 5, 7.64, 80.1),
    "IPE100": (100, 55, 4.1, 5.7, 7, 10.3, 171),
    "IPE120": (120, 64, 4.4, 6.3, 7, 13.2, 318),
    "IPE140": (140, 73, 4.7, 6.9, 7, 16.4, 541),
    "IPE160": (160, 82, 5.0, 7.4, 9, 20.1, 869),
    "IPE180": (180, 91, 5.3, 8.0, 9, 23.9, 1317),
    "IPE200": (200, 100, 5.6, 8.5, 12, 28.5, 1943),
    "IPE220": (220, 110, 5.9, 9.2, 12, 33.4, 2772),
    "IPE240": (240, 120, 6.2, 9.8, 15, 39.1, 3892),
    "IPE270": (270, 135, 6.6, 10.2, 15, 45.9, 5790),
    "IPE300": (300, 150, 7.1, 10.7, 15, 53.8, 8356),
    "IPE330": (330, 160, 7.5, 11.5, 18, 62.6, 11770),
    "IPE360": (360, 170, 8.0, 12.7, 18, 72.7, 16270),
    "IPE400": (400, 180, 8.6, 13.5, 21, 84.5, 23130),
    "IPE450": (450, 190, 9.4, 14.6, 21, 98.8, 33740),
    "IPE500": (500, 200, 10.2, 16.0, 21, 116, 48200),
    "IPE550": (550, 210, 11.1, 17.2, 24, 134, 67120),
    "IPE600": (600, 220, 12.0, 19.0, 24, 156, 92080),
    "HEA100": (96, 100, 5.0, 8.0, 12, 21.2, 349),
    "HEA120": (114, 120, 5.0, 8.0, 12, 25.3, 606),
    "HEA140": (133, 140, 5.5, 8.5, 12, 31.4, 1033),
    "HEA160": (152, 160, 6.0, 9.0, 15, 38.8, 1673),
    "HEA180": (171, 180, 6.0, 9.5, 15, 45.3, 2510),
    "HEA200": (190, 200, 6.5, 10.0, 18, 53.8, 3692),
    "HEA220": (210, 220, 7.0, 11.0, 18, 64.3, 5410),
    "HEA240": (230, 240, 7.5, 12.0, 21, 76.8, 7763),
    "HEA260": (250, 260, 7.5, 12.5, 24, 86.8, 10450),
    "HEA280": (270, 280, 8.0, 13.0, 24, 97.3, 13670),
    "HEA300": (290, 300, 8.5, 14.0, 27, 112.5, 18260),
    "HEA320": (310, 300, 9.0, 15.5, 27, 124.4, 22930),
    "HEA340": (330, 300, 9.5, 16.5, 27, 133.5, 27690),
    "HEA360": (350, 300, 10.0, 17.5, 27, 142.8, 33090),
    "HEA400": (390, 300, 11.0, 19.0, 27, 159.0, 45070),
    "HEA450": (440, 300, 11.5, 21.0, 27, 178.0, 63720),
    "HEA500": (490, 300, 12.0, 23.0, 27, 197.5, 86970),
    "HEA550": (540, 300, 12.5, 24.0, 27, 211.8, 111900),
    "HEA600": (590, 300, 13.0, 25.0, 27, 226.5, 141200),
    "HEA650": (640, 300, 13.5, 26.0, 27, 241.6, 175200),
    "HEA700": (690, 300, 14.5, 27.0, 27, 260.5, 215300),
    "HEA800": (790, 300, 15.0, 28.0, 30, 285.8, 303400),
    "HEA900": (890, 300, 16.0, 30.0, 30, 320.5, 422100),
    "HEA1000": (990, 300, 16.5, 31.0, 30, 346.8, 553800),
    "HEB100": (100, 100, 6.0, 10.0, 12, 26.0, 450),
    "HEB120": (120, 120, 6.5, 11.0, 12, 34.0, 864),
    "HEB140": (140, 140, 7.0, 12.0, 12, 43.0, 1509),
    "HEB160": (160, 160, 8.0, 13.0, 15, 54.3, 2492),
    "HEB180": (180, 180, 8.5, 14.0, 15, 65.3, 3831),
    "HEB200": (200, 200, 9.0, 15.0, 18, 78.1, 5696),
    "HEB220": (220, 220, 9.5, 16.0, 18, 91.0, 8091),
    "HEB240": (240, 240, 10.0, 17.0, 21, 106.0, 11260),
    "HEB260": (260, 260, 10.0, 17.5, 24, 118.4, 14920),
    "HEB280": (280, 280, 10.5, 18.0, 24, 131.4, 19270),
    "HEB300": (300, 300, 11.0, 19.0, 27, 149.1, 25170),
    "HEB320": (320, 300, 11.5, 20.5, 27, 161.3, 30820),
    "HEB340": (340, 300, 12.0, 21.5, 27, 170.9, 36660),
    "HEB360": (360, 300, 12.5, 22.5, 27, 180.6, 43190),
    "HEB400": (400, 300, 13.5, 24.0, 27, 197.8, 57680),
    "HEB450": (450, 300, 14.0, 26.0, 27, 218.0, 79890),
    "HEB500": (500, 300, 14.5, 28.0, 27, 238.6, 107200),
    "HEB550": (550, 300, 15.0, 29.0, 27, 254.1, 136700),
    "HEB600": (600, 300, 15.5, 30.0, 27, 270.0, 171000),
    "HEB650": (650, 300, 16.0, 31.0, 27, 286.3, 210600),
    "HEB700": (700, 300, 17.0, 32.0, 27, 306.4, 256900),
    "HEB800": (800, 300, 17.5, 33.0, 30, 334.2, 359100),
    "HEB900": (900, 300, 18.5, 35.0, 30, 371.3, 494100),
    "HEB1000": (1000, 300, 19.0, 36.0, 30, 400.0, 644700),
    "HEM100": (120, 106, 12.0, 20.0, 12, 53.2, 1143),
    "HEM120": (140, 126, 12.5, 21.0, 12, 66.4, 2018),
    "HEM140": (160, 146, 13.0, 22.0, 12, 80.6, 3291),
    "HEM160": (180, 166, 14.0, 23.0, 15, 97.1, 5098),
    "HEM180": (200, 186, 14.5, 24.0, 15, 113.3, 7483),
    "HEM200": (220, 206, 15.0, 25.0, 18, 131.3, 10640),
    "HEM220": (240, 226, 15.5, 26.0, 18, 149.4, 14600),
    "HEM240": (270, 248, 18.0, 32.0, 21, 199.6, 24290),
    "HEM260": (290, 268, 18.0, 32.5, 24, 219.6, 31310),
    "HEM280": (310, 288, 18.5, 33.0, 24, 240.2, 39550),
    "HEM300": (340, 310, 21.0, 39.0, 27, 303.1, 59200),
    "HEM320": (359, 309, 21.0, 40.0, 27, 312.0, 68130),
    "HEM340": (377, 309, 21.0, 40.0, 27, 315.8, 76370),
    "HEM360": (395, 308, 21.0, 40.0, 27, 318.8, 84870),
    "HEM400": (432, 307, 21.0, 40.0, 27, 325.8, 104100),
    "HEM450": (478, 307, 21.0, 40.0, 27, 335.4, 131500),
    "HEM500": (524, 306, 21.0, 40.0, 27, 344.3, 161900),
    "HEM550": (572, 306, 21.0, 40.0, 27, 354.4, 198000),
    "HEM600": (620, 305, 21.0, 40.0, 27, 363.7, 237400),
    "HEM650": (668, 305, 21.0, 40.0, 27, 373.7, 281700),
    "HEM700": (716, 304, 21.0, 40.0, 27, 383.0, 329300),
    "HEM800": (814, 303, 21.0, 40.0, 30, 404.3, 442600),
    "HEM900": (910, 302, 21.0, 40.0, 30, 423.6, 570400),
    "HEM1000": (1008, 302, 21.0, 40.0, 30, 444.2, 722300),
}


def names(series: str | None = None) -> list[str]:
    """The names of the table, in order of size within each series."""
    return [n for n in _MM if series is None or n.startswith(series.upper())]


def _canonical(name: str) -> str:
    n = re.sub(r"[\s\-_]", "", str(name)).upper()
    m = re.fullmatch(r"HE(\d+)([ABM])", n)  # HE 300 B
    return f"HE{m.group(2)}{m.group(1)}" if m else n


def nearest(name: str, n: int = 5) -> list[str]:
    """The names of the table nearest to `name`: within its series nearest
    by size ("IPE299": IPE300, IPE270, ...), else nearest by spelling."""
    key = _canonical(name)
    m = re.fullmatch(r"(IPE|HEA|HEB|HEM)(\d+)", key)
    if m:
        size = int(m.group(2))
        series = names(m.group(1))
        return sorted(series, key=lambda s: (abs(int(s[len(m.group(1)):]) - size), -int(s[len(m.group(1)):])))[:n]
    return difflib.get_close_matches(key, list(_MM), n=n, cutoff=0.5)


def lookup(name: str) -> Shape:
    """The shape of that name in centimetres ("HEB300", "HE 300 B", "ipe 200").
    An unknown name raises a ValueError that lists the nearest names."""
    key = _canonical(name)
    if key not in _MM:
        near = nearest(key)
        hint = f"; nearest: {', '.join(near)}" if near else f"; series: IPE, HEA, HEB, HEM"
        raise ValueError(f"Model.section: name {name!r} is not in the section table{hint}")
    h, b, tw, tf, r, a, i = _MM[key]
    cm = [float(f"{v}e-1") for v in (h, b, tw, tf, r)]  # the decimal value, not v / 10
    return Shape(key, *cm, float(a), float(i))


def i_fibres(depth: float, width: float, web: float, flange: float, fillet: float) -> list[tuple[float, float]]:
    """The 20 (area, z) fibres the program cuts from an I section about its
    strong axis: ten trapezoidal strips above the axis, mirrored below."""
    d, b, tw, tf, r = depth, width, web, flange, fillet
    hw = (0.5 * d - 0.9 * r - tf) * 0.2
    steps = [tf / 3] * 3 + [0.238 * r, 0.662 * r] + [hw] * 5
    widths = [(b, b)] * 3 + [(tw + 1.8 * r, tw + 0.476 * r), (tw + 0.476 * r, tw)] + [(tw, tw)] * 5
    top, upper = 0.5 * d, []
    for step, (bt, bb) in zip(steps, widths):
        bot = top - step
        area = (top - bot) * 0.5 * (bt + bb)
        z = (top + bot + (top * bt + bot * bb) / (bt + bb)) / 3
        upper.append((area, z))
        top = bot
    return upper + [(a, -z) for a, z in reversed(upper)]


def h_fibres(width: float, web: float, flange: float, fillet: float) -> list[tuple[float, float]]:
    """The 20 (area, z) fibres the program cuts from an I section about its
    weak axis: seven strips of the flange outstands, two of the fillets and
    the web strip above the axis, mirrored below."""
    b, tw, tf, r = width, web, flange, fillet
    h = ((b - tw) / 2 - 0.9 * r) / 7
    steps = [h] * 7 + [0.662 * r, 0.238 * r, None]
    widths = [(2 * tf, 2 * tf)] * 7 + [(2 * tf, 2 * (tf + 0.238 * r)),
                                       (2 * (tf + 0.238 * r), 2 * (tf + 0.9 * r)), (b, b)]
    top, upper = 0.5 * b, []
    for k, (step, (bt, bb)) in enumerate(zip(steps, widths)):
        bot = top - step if k < 9 else 0.0
        area = (top - bot) * 0.5 * (bt + bb)
        z = (top + bot + (top * bt + bot * bb) / (bt + bb)) / 3
        upper.append((area, z))
        top = bot
    return upper + [(a, -z) for a, z in reversed(upper)]


# Named residual-stress patterns: "classic" has 0.3 fy of compression at
# the flange tips, balanced by a uniform tension elsewhere; "eccs" 0.5 fy
# (h/b <= 1.2) or 0.3 fy at the tips, a tension at the flange-web junction
# and the web ends, and a compression of the same size at mid-web.
RESIDUAL_PATTERNS = {"classic": 0.3, "eccs": None}
ECCS_STOCKY = 1.2   # h/b up to which the tips take 0.5 fy


def eccs_fraction(depth: float, width: float) -> float:
    """The compression at the flange tips of the ECCS pattern, as a share of fy."""
    return 0.5 if depth / width <= ECCS_STOCKY else 0.3


def residual_stresses(depth, width, web, flange, fillet, X, weak_axis=False) -> list[float]:
    """The initial stress of each of the 20 fibres for the pattern X (X1 at
    the flange tips, X2 where flange and web meet, X3 at the ends of the web,
    X4 at mid-depth), as the program works it out: the mean of the pattern
    over each strip (for the flange strips of an I section, the mean of
    their sub-fibres, which is the mean over the flange width)."""
    d, b, tw, tf, r = depth, width, web, flange, fillet
    x1, x2, x3, x4 = X
    if not weak_axis:
        fibres = i_fibres(d, b, tw, tf, r)
        flange_mean = (tw * x2 + (b - tw) * 0.5 * (x1 + x2)) / b
        out = []
        for k, (_, z) in enumerate(fibres):
            strip = k + 1 if k < 10 else 20 - k
            out.append(flange_mean if strip <= 3 else x4 + (x3 - x4) * min(abs(z) / (0.5 * d - tf), 1.0))
        return out
    fibres = h_fibres(b, tw, tf, r)

    def across(y):  # the flange at y from the web's centre line
        t = min(max((y - tw / 2) / ((b - tw) / 2), 0.0), 1.0)
        return x2 + (x1 - x2) * t

    top8 = tw / 2 + 0.9 * r
    parts = {8: (0.662 * r, top8 - 0.331 * r), 9: (0.238 * r, top8 - 0.662 * r - 0.119 * r)}
    out = []
    for k, (a, z) in enumerate(fibres):
        strip = k + 1 if k < 10 else 20 - k
        if strip <= 7:
            out.append(across(abs(z)))
        elif strip <= 9:
            height, mid = parts[strip]
            af = 2 * tf * height
            out.append((af * across(mid) + (a - af) * x3) / a)
        else:
            over = min(2 * tf, b)
            out.append((over * x2 + (b - over) * 0.5 * (x3 + x4)) / b)
    return out


def classic_residual(depth, width, web, flange, fillet, yield_stress, fraction=0.3, weak_axis=False):
    """X1..X4 of the pattern with compression fraction * fy at the flange
    tips, linear across each outstand to a tension at the web that is uniform
    over the flanges' middles, the fillets and the web, of the size that
    balances the program's own fibres."""
    fibres = (h_fibres(width, web, flange, fillet) if weak_axis
              else i_fibres(depth, width, web, flange, fillet))
    area = sum(a for a, _ in fibres)
    outstands = 2 * flange * (width - web)
    tips = -fraction * yield_stress
    tension = -tips * outstands / (2 * area - outstands)
    return (tips, tension, tension, tension)


def eccs_residual(depth, width, web, flange, fillet, yield_stress, weak_axis=False):
    """X1..X4 of the ECCS pattern: -c fy at the flange tips (c from
    eccs_fraction), +t where flange and web meet and at the ends of the web,
    -t at mid-web, linear in between; t balances the pattern on the
    program's own fibres (the tips keep their c fy exactly)."""
    dims = (depth, width, web, flange, fillet)
    fibres = h_fibres(*dims[1:]) if weak_axis else i_fibres(*dims)

    def force(X):
        return sum(a * s for (a, _), s in zip(fibres, residual_stresses(*dims, X, weak_axis)))

    tips = -eccs_fraction(depth, width) * yield_stress
    t = -force((tips, 0.0, 0.0, 0.0)) / force((0.0, 1.0, 1.0, -1.0))
    return (tips, t, t, -t)


def fibre_figures(fibres: list[tuple[float, float]]) -> tuple[float, float]:
    """Area and second moment about z = 0 of a fibre table."""
    return sum(a for a, _ in fibres), sum(a * z * z for a, z in fibres)
