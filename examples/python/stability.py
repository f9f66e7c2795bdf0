"""The sway check of a portal frame and its advanced analysis with an
imperfection in the shape of the first buckling mode, as docs/stability.md
works it through.

    PYTHONPATH=build/python python3 examples/python/stability.py

The portal of examples/buckling.dat: the critical factors of the design
load; the first-order forces (an elastic run without the axial-force
terms) give the resistance factor of the critical cross-section, hence the
frame's slenderness, the buckling curve's reduction and the amplitude e0 of
the equivalent imperfection; the frame is then pushed past its peak by arc
length, perfect and with that imperfection.
"""

import copy
import math

import nlframe
from nlframe.model import bow_amplitude

H, V = 1.0, 40.0            # t: the design load, sideways at the left top and down on either top
A, MP, FY = 28.4818, 529.462, 2.4   # the section's area (cm2), plastic moment (t cm), yield stress (nlframe-check)


def portal(elastic_first_order=False):
    m = nlframe.Model("PORTAL FRAME STABILITY")
    m.material(2100., 21., 21.)
    s = m.i_section(20, 10, 0.56, 0.85, 1.2, 1000. if elastic_first_order else FY)
    a, b, c, d = m.joint(0, 0), m.joint(0, 300), m.joint(600, 300), m.joint(600, 0)
    for i, j in ((a, b), (b, c), (c, d)):
        m.member(i, j, s, parts=2, geometric=not elastic_first_order)
    m.watch_displacement(b, "x")
    m.supports(a, d)
    m.load(b, fx=H, fy=-V)
    m.load(c, fy=-V)
    return m


def main():
    import warnings
    warnings.simplefilter("ignore", nlframe.UnitWarning)  # the elastic run's yield stress
    m = portal()
    m.buckling()
    m.arc_length(60, 0.05, follow=True, target_iterations=4, end_below=0.9)
    perfect = m.run()
    alpha_cr = perfect.buckling["factor"][0]
    print("critical factors:", ", ".join("%.3f" % f for f in perfect.buckling["factor"]))

    first = portal(elastic_first_order=True)
    first.load_steps(1)
    forces = first.run().member_forces
    worst = 0.0
    for _, r in forces.iterrows():
        for n, mo in ((r["NI(TON)"], r["MI(T*CM)"]), (r["NJ(TON)"], r["MJ(T*CM)"])):
            worst = max(worst, abs(n) / (A * FY) + abs(mo) / MP)
    alpha_ult = 1 / worst
    lam = math.sqrt(alpha_ult / alpha_cr)
    phi = 0.5 * (1 + 0.34 * (lam - 0.2) + lam * lam)          # buckling curve b
    chi = 1 / (phi + math.sqrt(phi * phi - lam * lam))
    e0 = bow_amplitude(0.34, lam, chi, MP, A * FY)
    print("alpha_ult,k %.3f  slenderness %.3f  chi %.3f  e0 %.3f cm" % (alpha_ult, lam, chi, e0))

    imperfect = copy.deepcopy(m)
    sway = imperfect.imperfection(perfect, mode=1, e0=e0)
    done = imperfect.run()
    print("imperfection: largest sway %.3f cm" % sway)
    print("ultimate load factor: perfect %.4f, imperfect %.4f" % (perfect.peaks[0].value,
                                                                  done.peaks[0].value))


if __name__ == "__main__":
    main()
