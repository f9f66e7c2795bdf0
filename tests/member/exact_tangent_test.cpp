// The exact member tangent against central differences of the resisting
// forces that the next pass computes after the recovery has applied an
// increment: the same update_members, station sums and segments as a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "io/units.h"
#include "member/exact_tangent.h"
#include "member_fixture.h"

namespace nlf {
namespace {

struct State {
  std::string name;
  int mgeo = 0;
  double bow = 0;       // amplitude of a half sine, cm
  double turn = 0;      // rigid rotation about joint A, radians
  double axial = 2e-4;  // mean strain increment
  double bend = 2e-5;   // curvature increment (per cm)
  bool yielded = false; // a committed plastic state, then partly unloading
  double spring = 0, load = 0;
};

struct Bench {
  test::MemberModel t;
  Model& md = t.md;
  Units units;
  FibreStore fs;
  MemberTeam team{1, 1};

  explicit Bench(const State& s) {
    md.NM = 1;
    fs.setup(t.st.FSTORE.data(), 2, true, units);
    fs.initialise(1, md.SYM, md.EYM);
    fs.clear_increments(1);
    md.MGEO(1) = s.mgeo;
    md.MC6(1) = s.spring;
    md.MC7(1) = s.load;
    const double ct = std::cos(s.turn), st = std::sin(s.turn);
    for (int k = 1; k <= NPT; ++k) {
      const double x = 100.0 * (k - 1);
      const double y = s.bow * std::sin(std::numbers::pi * x / 500.0);
      md.XM(1, k) = ct * x - st * y;
      md.YM(1, k) = st * x + ct * y;
      // Points 2 and 4 have sagged: their springs act.
      md.DPRUN(3 * k - 1, 1) = (k % 2 == 0) ? -0.3 * k : 0.2;
    }
    MemberFibres f = fibres();
    auto strains = [&](double a, double b, int k) {
      for (int i = 1; i <= NFIB; ++i) {
        const double z = md.ZF(1, i);
        f.DEPS[MemberFibres::at(i, k)] = a * (1.0 + 0.13 * k) - z * b * (1.0 - 0.11 * k);
      }
    };
    if (s.yielded) {
      // Commit a stretch that yields every fibre, then unload part of them.
      for (int k = 1; k <= NSTA; ++k) strains(3e-3, 1e-4, k);
      fs.commit_begin();
      for (int i = 0; i < NFM; ++i) {
        FibreValues v{f.SIGU[i], f.SIGL[i], f.EPSU[i], f.EPSL[i], f.SIG[i], f.EPS[i]};
        fibre_law(LawMode::Commit, Stiffness::Tangent, FibreMaterial{md.E, md.E2, md.E3, md.SYM(1), md.EYM(1)}, v,
                 f.DEPS[i]);
        f.SIGU[i] = v.SIGU, f.SIGL[i] = v.SIGL, f.EPSU[i] = v.EPSU, f.EPSL[i] = v.EPSL;
        f.SIG[i] = v.SIG, f.EPS[i] = v.EPS;
      }
      fs.commit_end();
      for (int k = 1; k <= NSTA; ++k) strains(-2e-4, 3e-5, k);
    } else {
      for (int k = 1; k <= NSTA; ++k) strains(s.axial, s.bend, k);
    }
  }

  MemberFibres fibres() {
    fs.pass_begin();
    const MemberFibres f = fs.pass_member(1);
    fs.pass_end();
    return f;
  }

  // What the recovery changes, kept and put back around every evaluation.
  struct Saved {
    std::vector<double> v;
  };
  Saved save() {
    MemberFibres f = fibres();
    Saved s;
    for (int k = 1; k <= NPT; ++k) s.v.push_back(md.XM(1, k)), s.v.push_back(md.YM(1, k));
    for (int k = 1; k <= 3 * NPT; ++k) s.v.push_back(md.DPRUN(k, 1));
    s.v.insert(s.v.end(), f.DEPS, f.DEPS + NFM);
    for (int i = 1; i <= 84; ++i) s.v.push_back(i <= 72 ? md.RCM(i) : md.RCV(i - 72));
    return s;
  }
  void restore(const Saved& s) {
    MemberFibres f = fibres();
    auto p = s.v.begin();
    for (int k = 1; k <= NPT; ++k) md.XM(1, k) = *p++, md.YM(1, k) = *p++;
    for (int k = 1; k <= 3 * NPT; ++k) md.DPRUN(k, 1) = *p++;
    std::copy(p, p + NFM, f.DEPS);
    p += NFM;
    for (int i = 1; i <= 84; ++i) (i <= 72 ? md.RCM(i) : md.RCV(i - 72)) = *p++;
  }

  // The recovery of a solve: joint increments from DITER, the inner points
  // from RCV + RCM dE, then the run's point displacements.
  void recover(const std::array<double, 6>& dE) {
    for (int i = 1; i <= 6; ++i) md.DITER(i) = dE[i - 1];
    update_members(md, fs, team);
    for (int k = 1; k <= 3 * NPT; ++k) md.DPRUN(k, 1) += md.DPT(k, 1);
  }

  // Forces on the six points (point order) of the next pass after the
  // 18 point increments dp.
  std::array<double, NPDOF> next_forces(const std::array<double, NPDOF>& dp) {
    for (int i = 1; i <= 72; ++i) md.RCM(i) = 0.0;
    for (int i = 1; i <= 12; ++i) md.RCV(i) = dp[i + 2];
    recover({dp[0], dp[1], dp[2], dp[15], dp[16], dp[17]});
    return pass_forces();
  }

  // The resisting forces of the member pass on the six points.
  std::array<double, NPDOF> pass_forces() {
    std::array<StationValues, NSTA> st;
    station_sums(md, 1, fibres(), Stiffness::Tangent, st);
    MemberSystem sys;
    sys.clear();
    SegGeom g;
    SegLoads ld{md.MGEO(1) != 0 ? 0.0 : 1.0, md.MC6(1), 0, 0, md.MC7(1)};
    Mat6 KS, KN;
    Vec6 FS, FN;
    for (int k = 1; k <= NSEG; ++k) {
      segment_geometry(md.XM(1, k), md.XM(1, k + 1), md.YM(1, k), md.YM(1, k + 1), g);
      ld.dyp1 = md.DPRUN(3 * k - 1, 1);
      ld.dyp2 = md.DPRUN(3 * (k + 1) - 1, 1);
      segment_stiffness(g, st[2 * k - 2], st[2 * k - 1], ld, KS, FS);
      to_node_order(KS, KN);
      to_node_order(FS, FN);
      chain_add(k, KN, FN, sys);
    }
    std::array<double, NPDOF> F;
    for (int i = 0; i < 3; ++i) F[i] = sys.FE[i], F[15 + i] = sys.FE[3 + i];
    for (int i = 0; i < 12; ++i) F[3 + i] = sys.FI[i];
    return F;
  }

  ExactMember exact() {
    std::array<StationValues, NSTA> st;
    const MemberFibres f = fibres();
    station_sums(md, 1, f, Stiffness::Tangent, st);
    branch_tangent_sums(md, 1, f, Stiffness::Tangent, st);
    ExactMember ex;
    exact_member(md, 1, st, ex);
    return ex;
  }
};

const State kStates[] = {
    {"straight elastic"},
    {"bowed", 0, 12.0},
    {"geometric terms off", 1, 0, 0.3},
    {"partly yielded", 0, 5.0, 0, 0, 0, true},
    {"large rigid rotation", 0, 8.0, 2.2, -3e-4},
    {"one-sided springs", 0, 4.0, 0.1, 2e-4, 2e-5, false, 30.0},
    {"distributed load", 0, 6.0, -0.7, 2e-4, 2e-5, false, 0, 0.004},
};

// Largest difference in each column against the column's largest entry.
double column_error(const auto& want, const auto& got, int n, int j) {
  double big = 0, err = 0;
  for (int i = 1; i <= n; ++i) {
    big = std::max(big, std::fabs(want(i, j)));
    err = std::max(err, std::fabs(want(i, j) - got(i, j)));
  }
  return err / big;
}

TEST(ExactTangent, MemberMatrixIsTheDerivativeOfTheNextPassForces) {
  for (const State& s : kStates) {
    SCOPED_TRACE(s.name);
    Bench b(s);
    const ExactMember ex = b.exact();
    const Mat18& K = ex.K;
    // The forces it is the derivative of are the pass's forces.
    const auto F = b.pass_forces();
    for (int i = 0; i < NPDOF; ++i) EXPECT_NEAR(ex.F[i], F[i], 1e-11 * (1 + std::fabs(F[i]))) << i;
    const Bench::Saved base = b.save();
    Mat18 fd;
    for (int j = 0; j < NPDOF; ++j) {
      const double h = j % 3 == 2 ? 1e-7 : 1e-5;
      std::array<double, NPDOF> dp{};
      dp[j] = h;
      const auto fp = b.next_forces(dp);
      b.restore(base);
      dp[j] = -h;
      const auto fm = b.next_forces(dp);
      b.restore(base);
      for (int i = 0; i < NPDOF; ++i) fd.a[i + NPDOF * j] = (fp[i] - fm[i]) / (2 * h);
    }
    for (int j = 1; j <= NPDOF; ++j) EXPECT_LT(column_error(fd, K, NPDOF, j), 1e-6) << "column " << j;
  }
}

// Condensed: at a state whose inner points are in balance (a few passes
// with the end joints held), KM is the derivative of the next pass's FM
// through recover_points with the recovery data of the exact pass.
TEST(ExactTangent, CondensedMatrixIsTheDerivativeThroughTheRecovery) {
  for (const State& s : kStates) {
    SCOPED_TRACE(s.name);
    Bench b(s);
    MemberResult r;
    for (int it = 0; it < 6; ++it) {
      ASSERT_TRUE(build_member_exact(b.md, 1, b.fibres(), Stiffness::Tangent, r));
      b.recover({});
    }
    ASSERT_TRUE(build_member_exact(b.md, 1, b.fibres(), Stiffness::Tangent, r));
    const Mat6 KM = r.cond.KM;
    const Bench::Saved base = b.save();
    Mat6 fd;
    for (int j = 0; j < 6; ++j) {
      const double h = j % 3 == 2 ? 1e-7 : 1e-5;
      std::array<double, 6> dE{};
      Vec6 f[2];
      for (int side = 0; side < 2; ++side) {
        dE[j] = side == 0 ? h : -h;
        b.recover(dE);
        build_member_exact(b.md, 1, b.fibres(), Stiffness::Tangent, r);
        f[side] = r.cond.FM;
        b.restore(base);
      }
      for (int i = 0; i < 6; ++i) fd.a[i + 6 * j] = (f[0][i] - f[1][i]) / (2 * h);
    }
    for (int j = 1; j <= 6; ++j) EXPECT_LT(column_error(fd, KM, 6, j), 1e-6) << "column " << j;
  }
}

}  // namespace
}  // namespace nlf
