#include <gtest/gtest.h>

#include <numbers>
#include <vector>

#include "io/units.h"
#include "member_fixture.h"

namespace nlf {
namespace {

using test::MemberModel;

Condensed condensed(const MemberModel& t, double N = 0) {
  MemberResult r;
  EXPECT_TRUE(condense_member(t.md, 1, t.stations(N), r));
  return r.cond;
}

TEST(Member, StraightElasticMemberIsPrismaticBeam) {
  MemberModel t;
  const double L = 500, a = t.EA / L, b = 12 * t.EI / (L * L * L), c = 6 * t.EI / (L * L),
               d = 4 * t.EI / L, e = 2 * t.EI / L;
  const double k[6][6] = {{a, 0, 0, -a, 0, 0},  {0, b, c, 0, -b, c},  {0, c, d, 0, -c, e},
                          {-a, 0, 0, a, 0, 0},  {0, -b, -c, 0, b, -c}, {0, c, e, 0, -c, d}};
  const Condensed r = condensed(t), rn = condensed(t, -150.0);  // MGEO = 1: N has no effect
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 6; ++j) {
      EXPECT_NEAR(r.KM(i, j), k[i - 1][j - 1], 1e-10 * d) << i << "," << j;
      EXPECT_EQ(rn.KM(i, j), r.KM(i, j));
    }
}

// Pin-ended column: with the geometric terms on, the rotational block of
// the condensed matrix turns singular at the Euler load pi^2 EI / L^2.
TEST(Member, GeometricTermsReachEulerLoad) {
  MemberModel t;
  t.md.MGEO(1) = 0;
  const double pcr = std::numbers::pi * std::numbers::pi * t.EI / (500.0 * 500.0);
  auto det = [&](double P) {
    const Mat6 k = condensed(t, -P).KM;
    return k(3, 3) * k(6, 6) - k(3, 6) * k(6, 3);
  };
  EXPECT_GT(det(0.995 * pcr), 0.0);
  EXPECT_LT(det(1.005 * pcr), 0.0);
}

// MC7 = 1 over 500 acts downward: 100 at each inner point, 50 at each end.
// Clamped reactions of the inner loads: 200 up per end, end moments
// sum P a b^2 / L^2 = 20000.
TEST(Member, DistributedLoadGivesClampedReactions) {
  MemberModel t;
  t.md.MC7(1) = 1.0;
  const Vec6 f = condensed(t).FM;
  const Vec6 ref{0, 250, 20000, 0, 250, -20000};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(f[i], ref[i], 1e-7) << i;
}

TEST(Member, SpringActsOnlyOnDownwardPoints) {
  MemberModel t;
  const Condensed plain = condensed(t);
  t.md.MC6(1) = 50.0;
  for (int k = 1; k <= 6; ++k) t.md.DPRUN(3 * k - 1, 1) = 0.5 * (k - 1);  // up or zero
  EXPECT_EQ(condensed(t).KM.a, plain.KM.a);
  t.md.DPRUN(2, 1) = -2.0;  // joint A down: half the spring there
  const Condensed r = condensed(t);
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 6; ++j)
      EXPECT_NEAR(r.KM(i, j) - plain.KM(i, j), i == 2 && j == 2 ? 25.0 : 0.0, 1e-6);
  EXPECT_NEAR(r.FM[1], -50.0, 1e-9);
}

TEST(Member, SegmentStrainIncrements) {
  double z[NFIB], e1[NFIB], e2[NFIB];
  for (int i = 0; i < NFIB; ++i) z[i] = -10.5 + (i + 1);
  constexpr double L = 100, th = 1e-3;
  auto check = [&](const Vec6& d, double eps0, double kappa, double x2 = 100, double y2 = 0) {
    segment_strains(0, x2, 0, y2, d, z, NFIB, e1, e2);
    for (int i = 0; i < NFIB; ++i) {
      EXPECT_NEAR(e1[i], eps0 - z[i] * kappa, 1e-15);
      EXPECT_NEAR(e2[i], eps0 - z[i] * kappa, 1e-15);
    }
  };
  check({0.3, 0.3, -0.2, -0.2, 0, 0}, 0, 0, 60, 80);    // rigid translation
  check({0, 0.05, 0, 0, 0, 0}, 0.05 / L, 0);            // uniform stretch
  check({0, 0, 0, L * th, th, th}, 0.5 * th * th, 0);   // small rigid rotation
  check({0, 0, 0, 0, -th, th}, 0.5 * th * th, 2 * th / L);  // constant curvature
}

// Joint B of an unstressed member moves up by 2 without end rotations: the
// inner points follow the clamped-clamped cubic 2 (3 t^2 - 2 t^3).
TEST(Member, PointRecoveryFollowsBeamDeflection) {
  MemberModel t;
  const Condensed r = condensed(t);
  std::copy(r.RCM.a.begin(), r.RCM.a.end(), t.md.RCM.data());
  std::copy(r.RCV.begin(), r.RCV.end(), t.md.RCV.data());
  double sol[9] = {0, 0, 0, 0.01, 2.0, 0, 0, 0, 0}, dp[18];
  recover_points(t.md, 1, RVec(sol, 9), dp);
  for (int k = 1; k <= 6; ++k) {
    const double x = 0.2 * (k - 1);
    EXPECT_NEAR(dp[3 * k - 3], 0.01 * x, 1e-12);
    EXPECT_NEAR(dp[3 * k - 2], 2.0 * (3 * x * x - 2 * x * x * x), 1e-10);
    EXPECT_NEAR(dp[3 * k - 1], 2.0 * (6 * x - 6 * x * x) / 500.0, 1e-12);
  }
}

// The fixture model with its fibre store, in memory or in scratch mode.
struct PassModel : MemberModel {
  Units units;
  FibreStore fs;
  MemberTeam team{1, md.NM};
  MemberPassBuffers buffers{md};
  explicit PassModel(bool in_memory) {
    fs.setup(st.FSTORE.data(), in_memory ? 2 : 1, in_memory, units);
    fs.initialise(md.NM, md.SYM, md.EYM);
    fs.clear_increments(md.NM);
  }
  std::vector<double> band_and_forces() const {
    std::vector<double> v(md.A().data(), md.A().data() + md.A().size());
    v.insert(v.end(), md.R.data(), md.R.data() + 3 * md.NJ);
    return v;
  }
};

class MemberPass : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Store, MemberPass, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "memory" : "scratch"; });

TEST_P(MemberPass, StretchSolveAndCommit) {
  PassModel t(GetParam());
  bool singular = true;
  member_pass(t.md, t.fs, Stiffness::Tangent, singular, t.team, t.buffers);
  EXPECT_FALSE(singular);
  // Joint 3 moves 0.5 along X: member 2 stretches by 0.001 (elastic, 2.1).
  t.md.DITER.fill(0.0);
  t.md.DITER(7) = 0.5;
  update_members(t.md, t.fs, t.team);
  EXPECT_NEAR(t.md.XM(2, 6), 1000.5, 1e-12);
  EXPECT_NEAR(t.md.XM(2, 3), 500.0 + 0.4 * 500.5, 1e-12);

  member_pass(t.md, t.fs, Stiffness::Tangent, singular, t.team, t.buffers);
  const double T = 2.1 * NFIB;
  const double ref[2][6] = {{0, 0, 0, 0, 0, 0}, {T, 0, 0, T, 0, 0}};
  for (int m = 1; m <= 2; ++m)
    for (int j = 1; j <= 6; ++j) EXPECT_NEAR(t.md.MEMF(m, j), ref[m - 1][j - 1], 1e-8);
  // R is the sum of the member end forces.
  EXPECT_NEAR(t.md.R(4), -T, 1e-9);
  EXPECT_NEAR(t.md.R(7), T, 1e-9);
  // A second pass on the same state, after a zero increment, reproduces A and R.
  const std::vector<double> first = t.band_and_forces();
  t.md.DITER.fill(0.0);
  update_members(t.md, t.fs, t.team);
  member_pass(t.md, t.fs, Stiffness::Tangent, singular, t.team, t.buffers);
  EXPECT_EQ(t.band_and_forces(), first);

  commit_fibres(t.md, t.fs, t.team);
  t.fs.results_begin();
  for (int m = 1; m <= 2; ++m) {
    const MemberFibres c = t.fs.results_member(m);
    for (int i = 0; i < NFM; ++i) EXPECT_NEAR(c.SIG[i], m == 1 ? 0.0 : 2.1, 1e-12);
  }
  t.fs.results_end();
}

// With a link NEQ < 3 NJ; all joint-serial resisting forces are rebuilt
// from zero on every pass, the last joint's included.
TEST_P(MemberPass, ResistingForcesBeyondNeqDoNotAccumulate) {
  PassModel t(GetParam());
  t.md.IEQ(9) = 1;  // rotation of joint 3 tied to X of joint 1
  t.md.NEQ = 8, t.md.MBAND = 8;
  t.md.MC7(2) = 1.0;
  bool singular = false;
  member_pass(t.md, t.fs, Stiffness::Tangent, singular, t.team, t.buffers);
  member_pass(t.md, t.fs, Stiffness::Tangent, singular, t.team, t.buffers);
  EXPECT_NEAR(t.md.R(9), -20000.0, 1e-6);
}

}  // namespace
}  // namespace nlf
