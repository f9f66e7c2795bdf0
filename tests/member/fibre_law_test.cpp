#include <gtest/gtest.h>

#include "member/fibre_law.h"

namespace nlf {
namespace {

const FibreMaterial kSteel{2100.0, 21.0, 21.0, 2.4, 2.4 / 2100.0};
const FibreValues kVirgin{2.4, -2.4, 2.4 / 2100.0, -2.4 / 2100.0, 0.0, 0.0};

double trial(FibreValues v, double d, Stiffness k = Stiffness::Tangent) {
  return fibre_law(LawMode::Trial, k, kSteel, v, d);
}
double commit(FibreValues& v, double d, Stiffness k = Stiffness::Tangent) {
  return fibre_law(LawMode::Commit, k, kSteel, v, d);
}

TEST(FibreLaw, LoadReverseReload) {
  FibreValues v = kVirgin;
  EXPECT_NEAR(trial(v, 0.002), 2.418, 1e-12);
  EXPECT_EQ(v.SIG, 0.0);  // the trial leaves the state alone
  EXPECT_NEAR(commit(v, 0.002), 2.418, 1e-12);
  EXPECT_EQ(v.SIGU, 2.4);

  // Reversal on the hardening branch re-anchors the range, which keeps its
  // width 2 SYM (E2 = E3).
  EXPECT_NEAR(commit(v, -0.001), 0.318, 1e-12);
  EXPECT_NEAR(v.SIGU, 2.418, 1e-12);
  EXPECT_NEAR(v.EPSU, 0.002, 1e-15);
  EXPECT_NEAR(v.EPSL, -0.00028571429, 1e-11);
  EXPECT_NEAR(v.SIGL, -2.382, 1e-12);
  EXPECT_NEAR(v.EPS, 0.001, 1e-15);
  EXPECT_NEAR(trial(v, -0.003), -2.418, 1e-12);

  // The mirror image from the compression side.
  FibreValues c = kVirgin;
  commit(c, -0.002);
  EXPECT_NEAR(commit(c, 0.001), -0.318, 1e-12);
  EXPECT_NEAR(c.SIGU, 2.382, 1e-12);
  EXPECT_NEAR(c.SIGL, -2.418, 1e-12);
}

TEST(FibreLaw, BoundPointAndZeroIncrement) {
  FibreValues v = kVirgin;
  v.SIG = v.SIGU, v.EPS = v.EPSU;  // on the bound counts as inside
  EXPECT_NEAR(trial(v, 0.001), 2.4 + 0.001 * 21.0, 1e-12);
  EXPECT_NEAR(trial(v, -0.001), 0.3, 1e-12);

  FibreValues out = kVirgin;
  commit(out, 0.003);
  for (FibreValues w : {v, out}) {
    const FibreValues before = w;
    EXPECT_EQ(trial(w, 0.0), before.SIG);
    commit(w, 0.0);
    EXPECT_EQ(w.SIG, before.SIG);
    EXPECT_EQ(w.SIGU, before.SIGU);
    EXPECT_EQ(w.SIGL, before.SIGL);
    EXPECT_EQ(w.EPS, before.EPS);
  }
}

TEST(FibreLaw, InitialStiffnessAndTangent) {
  FibreValues v = kVirgin;
  commit(v, 0.002);  // hardening branch, committed SIGU still 2.4
  // The initial stiffness on the hardening branch: same stress, bounds moved
  // to the point.
  EXPECT_NEAR(trial(v, 0.001, Stiffness::Initial), trial(v, 0.001), 1e-12);
  FibreValues w = v;
  commit(w, 0.001, Stiffness::Initial);
  EXPECT_NEAR(w.SIGU, 2.418, 1e-12);

  // A small elastic unloading still ends above the committed bound: E2.
  const double st = trial(v, -0.000005);
  EXPECT_NEAR(st, 2.4075, 1e-12);
  const Stiffness T = Stiffness::Tangent;
  EXPECT_EQ(fibre_tangent(T, 2100.0, 21.0, st, v.SIGL, v.SIGU), 21.0);
  EXPECT_EQ(fibre_tangent(T, 2100.0, 21.0, trial(v, -0.0001), v.SIGL, v.SIGU), 2100.0);
  EXPECT_EQ(fibre_tangent(T, 2100.0, 21.0, -3.0, v.SIGL, v.SIGU), 21.0);
  EXPECT_EQ(fibre_tangent(Stiffness::Initial, 2100.0, 21.0, st, v.SIGL, v.SIGU), 2100.0);
}

// A flat plastic branch (E2 = 0): a yielded fibre keeps its stress on the
// bound, its tangents give kFlatTangent times E there and E on reversal, and
// a reversal re-anchors its range as the hardening law does when E2 tends
// to 0: the lower bound on the line of slope E3 through (-EYM, -SYM).
TEST(FibreLaw, FlatBranch) {
  const double E = 2100.0, E3 = 21.0, SYM = 2.4, EYM = SYM / E;
  const FibreMaterial flat{E, 0.0, E3, SYM, EYM};
  const Stiffness T = Stiffness::Tangent;
  FibreValues v = kVirgin;
  EXPECT_EQ(fibre_law(LawMode::Commit, T, flat, v, 0.003), SYM);
  EXPECT_EQ(v.SIG, SYM);
  EXPECT_EQ(v.SIGU, SYM);
  FibreValues t = v;
  EXPECT_EQ(fibre_law(LawMode::Trial, T, flat, t, 0.001), SYM);
  const double floor = kFlatTangent * E;
  EXPECT_EQ(fibre_tangent(T, E, 0.0, SYM, v.SIGL, v.SIGU), floor);  // on the plateau, and at no increment
  EXPECT_EQ(fibre_branch_slope(T, flat, v, 0.001), floor);
  EXPECT_EQ(fibre_branch_slope(T, flat, v, -0.0001), E);
  EXPECT_EQ(fibre_tangent(Stiffness::Initial, E, 0.0, SYM, v.SIGL, v.SIGU), E);

  // Reversal: elastic from the bound, the range re-anchored at the point.
  const double ep = 0.003 - EYM;  // the plastic strain
  EXPECT_NEAR(fibre_law(LawMode::Commit, T, flat, v, -0.001), SYM - E * 0.001, 1e-12);
  EXPECT_EQ(fibre_tangent(T, E, 0.0, v.SIG, v.SIGL, v.SIGU), E);
  const double sl = E3 * E * ep / (E - E3) - SYM;
  EXPECT_NEAR(v.SIGL, sl, 1e-12);
  EXPECT_NEAR(v.EPSU, 0.003, 1e-15);
  // Reloading far into compression ends on the new lower bound.
  t = v;
  EXPECT_NEAR(fibre_law(LawMode::Trial, T, flat, t, -0.01), sl, 1e-12);
  // The same path with a hardening slope near 0.
  FibreValues h = kVirgin;
  const FibreMaterial thin{E, 1e-9, E3, SYM, EYM};
  fibre_law(LawMode::Commit, T, thin, h, 0.003);
  fibre_law(LawMode::Commit, T, thin, h, -0.001);
  EXPECT_NEAR(h.SIGL, v.SIGL, 1e-9);
  EXPECT_NEAR(h.SIG, v.SIG, 1e-9);
}

}  // namespace
}  // namespace nlf
