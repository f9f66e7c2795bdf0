"""Rebuilds examples/portal.dat with the model builder, runs both decks and
shows that they give the same results.

    PYTHONPATH=build/python python3 examples/python/portal.py [--out DIR]
"""

import argparse
import os
import sys

import nlframe


def build() -> nlframe.Model:
    """The portal frame of examples/portal.dat, card for card."""
    m = nlframe.Model("FIXED-BASE PORTAL FRAME PUSHED PAST ITS PEAK LOAD")
    m.material(E=2100., E2=21., E3=21.)
    ipe200 = m.section("IPE200", yield_stress=2.4)     # 20 x 10 cm, web 0.56, flanges 0.85, fillets 1.2
    left, top_left = m.joint(0., 0.), m.joint(0., 300.)
    top_right, right = m.joint(600., 300.), m.joint(600., 0.)
    m.member(left, top_left, ipe200)
    m.member(top_left, top_right, ipe200)
    m.member(top_right, right, ipe200)
    m.watch(nlframe.displacement(top_left, "x"), nlframe.force(top_left, "x"))
    m.iterations(maximum=30, minimum=1)
    m.comment("gravity")
    m.supports(left, right)
    m.load(top_left, fy=-8.)
    m.load(top_right, fy=-8.)
    m.load_steps(5, tolerance=1e-8, detail=5)
    m.comment("lateral load under arc-length control")
    m.load(top_left, fx=1.)                            # the supports carry over
    m.arc_length(5, length=1., tolerance=1e-8, detail=5, exact=False)
    m.comment("lateral push by prescribed displacement")
    m.displace(top_left, dx=0.5)
    m.displacement_steps(30, tolerance=1e-8, detail=5)
    return m


def main(argv=None) -> int:
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--out", default="out/python-portal", help="folder for the two runs")
    a = p.parse_args(argv)
    here = os.path.dirname(os.path.abspath(__file__))
    original = os.path.join(here, "..", "portal.dat")
    built = build().run(workdir=os.path.join(a.out, "built"))
    given = nlframe.run(original, workdir=os.path.join(a.out, "given"))
    same = True
    for name in ["Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst", "fort.61"]:
        with open(os.path.join(built.folder, name), "rb") as f, open(os.path.join(given.folder, name), "rb") as g:
            equal = f.read() == g.read()
        same &= equal
        print(f"{name:10} {'identical' if equal else 'DIFFERENT'}")
    lateral = next(p for p in built.peaks if p.group == 2)  # the lateral load under arc-length control
    push = next(p for p in built.peaks if p.kind == "force")  # the push by prescribed displacement
    print(f"{built.steps} steps, {built.iterations} iterations; lateral load factor {lateral.value:g} at step "
          f"{lateral.step}; push peak {push.value:g} t at step {push.step} ({10 * push.displacement:g} mm of sway)")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
