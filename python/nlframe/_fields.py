"""Card text: integers and reals written into the fixed columns of a deck.

A real field is written with the fewest characters that read back as the
very same double; when no such text fits the field, the nearest value that
does fit is written and a `FieldWarning` names both.
"""

from __future__ import annotations

import math
import numbers
import os
import sys
import warnings
from decimal import Decimal


class FieldWarning(UserWarning):
    """A value had to be rounded to fit its field."""


class UnitWarning(UserWarning):
    """A value that is implausible in the units of the deck (t, cm): most
    likely given in another unit."""


_HERE = os.path.dirname(os.path.abspath(__file__))


def warn(message: str, category) -> None:
    """Warns at the line of the caller's own code, outside the package."""
    frame, level = sys._getframe(0), 1
    while frame is not None and os.path.dirname(os.path.abspath(frame.f_code.co_filename)) == _HERE:
        frame, level = frame.f_back, level + 1
    warnings.warn(message, category, stacklevel=level)


# Stress units and how many of them make a t/cm².
_STRESS_UNITS = [("N/mm² (MPa)", 98.0665), ("kN/cm²", 9.80665), ("kN/mm² (GPa)", 0.0980665), ("ksi", 13.9476),
                 ("kN/m² (kPa)", 98066.5), ("Pa", 9.80665e7), ("kg/cm²", 1000.0), ("psi", 14223.3)]


def stress_unit_hint(value: float, typical: float) -> str:
    """Which stress unit `value` was likely given in, when a typical value of
    `typical` t/cm² explains it."""
    if value <= 0:
        return ""
    name, f = min(_STRESS_UNITS, key=lambda u: abs(math.log(value / (typical * u[1]))))
    if abs(math.log(value / (typical * f))) > math.log(3):
        return ""
    return f"; given in {name}? {value:g} {name} is {value / f:.4g} t/cm²"


def _where(method: str, arg: str) -> str:
    return f"Model.{method}: {arg}"


def int_text(value, width: int, method: str, arg: str, low: int | None = None, high: int | None = None) -> str:
    """The integer right-justified in `width` columns, checked against [low, high]."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise ValueError(f"{_where(method, arg)} must be a whole number, not {value!r}")
    v = int(value)
    lo = -(10 ** (width - 1) - 1) if low is None else low
    hi = 10 ** width - 1 if high is None else high
    if not lo <= v <= hi:
        raise ValueError(f"{_where(method, arg)} = {v} does not fit: it must lie in {lo} to {hi}")
    return f"{v:{width}d}"


def number(value, method: str, arg: str) -> float:
    """A finite real, or a ValueError naming the method and the argument."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise ValueError(f"{_where(method, arg)} must be a number, not {value!r}")
    v = float(value)
    if not math.isfinite(v):
        raise ValueError(f"{_where(method, arg)} = {v} is not a finite number")
    return v


def _forms(text: str, python_form: bool = True) -> list[str]:
    """Ways of writing the decimal `text` (a Python float text), preferred first."""
    d = Decimal(text)
    sign, digits, exp = d.as_tuple()
    s = "-" if sign else ""
    ds = "".join(map(str, digits)).lstrip("0") or "0"
    # Drop trailing zeros into the exponent.
    tz = len(ds) - len(ds.rstrip("0")) if ds != "0" else 0
    if tz:
        ds, exp = ds[:-tz], exp + tz
    if ds == "0":
        exp = 0
    if exp >= 0:
        fixed = ds + "0" * exp + "."
    elif -exp < len(ds):
        fixed = ds[:exp] + "." + ds[exp:]
    else:
        fixed = "0." + "0" * (-exp - len(ds)) + ds
    e10 = exp + len(ds) - 1
    mant = ds[0] + ("." + ds[1:] if len(ds) > 1 else "")
    forms = []
    low = text.lower()
    if python_form and "e" in low:  # Python's own choice of form: exponent for very large or small values
        forms.append(f"{s}{mant}E{e10:+03d}")
    forms.append(s + fixed)
    if fixed.startswith("0.") and fixed != "0.":
        forms.append(s + fixed[1:])
    if exp >= 0:
        forms.append(s + fixed[:-1])
    forms += [f"{s}{mant}E{e10:+03d}", f"{s}{mant}E{e10}"]
    return forms


def real_text(value, width: int, method: str, arg: str) -> str:
    """The real right-justified in `width` columns (see the module note)."""
    v = number(value, method, arg)
    for f in _forms(repr(v)):
        if len(f) <= width and float(f) == v and not (f.startswith("-") and v == 0 and math.copysign(1, v) > 0):
            return f.rjust(width)
    for p in range(17, 0, -1):
        fits = [f for f in _forms(f"{v:.{p - 1}e}", False) if len(f) <= width]
        if fits:
            f = fits[0]
            warn(f"{_where(method, arg)} = {v!r} does not fit in {width} columns; "
                 f"written as {f.strip()}, which reads as {float(f)!r}", FieldWarning)
            return f.rjust(width)
    raise ValueError(f"{_where(method, arg)} = {v!r} cannot be written in {width} columns")


def card(letter: str, ints: tuple, reals: list[str], minimum: int = 0) -> str:
    """One card: the letter, three integer fields (already text) and the real
    fields (texts, 10 wide) up to the last nonzero one or `minimum`."""
    n = len(reals)
    while n > minimum and float(reals[n - 1]) == 0.0 and "-" not in reals[n - 1]:
        n -= 1
    return letter + "".join(ints) + "".join(reals[:n])
