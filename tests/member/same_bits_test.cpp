#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "member/condense.h"
#include "member/exact_tangent.h"
#include "io/units.h"
#include "member/fibre_law.h"
#include "member/member_fixture.h"
#include "member/segment.h"

namespace nlf {
namespace {

// The condensation as the general inversion and full products give it.
bool reference(MemberSystem sys, Condensed& out) {
  const bool ok = invert_matrix(NINNER, sys.KII.data(), NINNER);
  mat_mul(sys.KII, sys.KIE, out.RCM);
  for (double& v : out.RCM.a) v = -v;
  mat_vec(sys.KII, sys.FI, out.RCV);
  for (double& v : out.RCV) v = -v;
  mat_mul(sys.KEI, out.RCM, out.KM);
  for (int i = 0; i < 36; ++i) out.KM.a[i] += sys.KEE.a[i];
  mat_vec(sys.KEI, out.RCV, out.FM);
  for (int i = 0; i < 6; ++i) out.FM[i] += sys.FE[i];
  return ok;
}

// A chain of five bent, yielded segments of uneven stiffness.
MemberSystem random_chain(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  MemberSystem sys;
  sys.clear();
  double x = 0, y = 0;
  for (int k = 1; k <= 5; ++k) {
    const double x2 = x + 60 + 20 * u(rng), y2 = y + 15 * u(rng);
    SegGeom g;
    segment_geometry(x, x2, y, y2, g);
    const StationValues s1{40 * u(rng), 300 * u(rng), 4000 * (1.2 + u(rng)), 500 * u(rng),
                           1e6 * (1.2 + u(rng))};
    const StationValues s2{40 * u(rng), 300 * u(rng), 4000 * (1.2 + u(rng)), 500 * u(rng),
                           1e6 * (1.2 + u(rng))};
    Mat6 KS, KN;
    Vec6 FS, FN;
    segment_stiffness(g, s1, s2, SegLoads{}, KS, FS);
    to_node_order(KS, KN);
    to_node_order(FS, FN);
    chain_add(k, KN, FN, sys);
    x = x2;
    y = y2;
  }
  return sys;
}

// The condensation takes a quicker way through the chain's structure; its
// results must be those of the general inversion bit for bit, and a singular
// or non-finite system must give exactly the general results too.
TEST(Condense, SameBitsAsTheGeneralInversion) {
  std::mt19937 rng(3);
  auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  for (int trial = 0; trial < 300; ++trial) {
    MemberSystem sys = random_chain(rng);
    if (trial % 50 == 1) {  // inner point 3 without rotational stiffness: singular
      for (int j = 1; j <= NINNER; ++j) sys.KII(6, j) = sys.KII(j, 6) = 0.0;
    }
    if (trial % 50 == 2) sys.KIE(2, 1) = std::numeric_limits<double>::infinity();
    if (trial % 50 == 3) sys.FI[4] = std::numeric_limits<double>::quiet_NaN();
    Condensed want, got;
    const bool ok_want = reference(sys, want);
    const bool ok_got = condense(sys, got);
    EXPECT_EQ(ok_got, ok_want) << trial;
    EXPECT_EQ(trial % 50 != 1, ok_got) << trial;
    // NaN payloads may differ, so compare NaN-free results bitwise only.
    if (trial % 50 == 2 || trial % 50 == 3) continue;
    EXPECT_TRUE(same(got.RCM, want.RCM)) << trial;
    EXPECT_TRUE(same(got.RCV, want.RCV)) << trial;
    EXPECT_TRUE(same(got.KM, want.KM)) << trial;
    EXPECT_TRUE(same(got.FM, want.FM)) << trial;
  }
}

}  // namespace
}  // namespace nlf

namespace nlf {
namespace {

// A stress for a random fibre with the range (sl, su): about half of them
// outside it; with a flat branch (E2 = 0) a third of them on a bound.
double random_stress(std::mt19937& rng, bool flat, double su, double sl) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const double s = 3.0 * u(rng);
  if (!flat) return s;
  return s > 1.0 ? su : s < -1.0 ? sl : s;
}

// The station sums take four fibres at a time; they must give the scalar
// law's trial stresses and sums bit for bit, inside and outside the elastic
// ranges, loading and reversing, with the tangent and the initial stiffness,
// for a hardening and a flat plastic branch.
TEST(StationSums, SameBitsAsTheScalarLaw) {
  test::MemberModel mm;
  Model& md = mm.md;
  for (int i = 1; i <= NFIB; ++i) md.AREA(1, i) = 0.7 + 0.05 * i;
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::array<std::array<double, NFM>, 8> a{};
  MemberFibres f{a[0].data(), a[1].data(), a[2].data(), a[3].data(),
                 a[4].data(), a[5].data(), a[6].data(), a[7].data()};
  for (int trial = 0; trial < 400; ++trial) {
    const bool flat = trial >= 200;
    md.E2 = flat ? 0.0 : 21.0;
    const FibreMaterial mat{md.E, md.E2, md.E3, md.SYM(1), md.EYM(1)};
    for (int i = 0; i < NFM; ++i) {
      f.SIGU[i] = 2.4 + 0.3 * u(rng);
      f.SIGL[i] = -2.4 + 0.3 * u(rng);
      f.EPSU[i] = f.SIGU[i] / 2100;
      f.EPSL[i] = f.SIGL[i] / 2100;
      f.SIG[i] = random_stress(rng, flat, f.SIGU[i], f.SIGL[i]);
      f.EPS[i] = f.SIG[i] / 2100;
      f.DEPS[i] = (trial % 3 == 0 ? 1e-4 : 2e-3) * u(rng);
    }
    const Stiffness stiffness = trial % 4 == 3 ? Stiffness::Initial : Stiffness::Tangent;
    std::array<StationValues, NSTA> got;
    station_sums(md, 1, f, stiffness, got);
    for (int k = 0; k < NSTA; ++k) {
      StationValues want;
      for (int i = 0; i < NFIB; ++i) {
        const int at = k * NFIB + i;
        FibreValues v{f.SIGU[at], f.SIGL[at], f.EPSU[at], f.EPSL[at], f.SIG[at], f.EPS[at]};
        const double sigt = fibre_law(LawMode::Trial, stiffness, mat, v, f.DEPS[at]);
        ASSERT_EQ(std::memcmp(&sigt, &f.SIGT[at], sizeof sigt), 0) << trial << " " << at;
        const double et = fibre_tangent(stiffness, mat.E, mat.E2, sigt, v.SIGL, v.SIGU);
        const double fa = sigt * md.AREA(1, i + 1), ea = et * md.AREA(1, i + 1);
        const double zi = md.ZF(1, i + 1);
        want.SN += fa;
        want.SM += fa * zi;
        want.SEA += ea;
        want.SES += ea * zi;
        want.SEI += ea * zi * zi;
      }
      ASSERT_EQ(std::memcmp(&want, &got[k], sizeof want), 0) << trial << " station " << k;
    }
  }
}

// The exact tangent's corrections skip four fibres at a time, and a member
// with none at all; the sums must be those of the fibre-by-fibre
// correction bit for bit: members wholly inside their ranges, partly
// reversing beyond them, with either stiffness, for either branch.
TEST(BranchTangentSums, SameBitsAsTheFibreByFibreCorrection) {
  test::MemberModel mm;
  Model& md = mm.md;
  for (int i = 1; i <= NFIB; ++i) md.AREA(1, i) = 0.7 + 0.05 * i;
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::array<std::array<double, NFM>, 8> a{};
  MemberFibres f{a[0].data(), a[1].data(), a[2].data(), a[3].data(),
                 a[4].data(), a[5].data(), a[6].data(), a[7].data()};
  for (int trial = 0; trial < 200; ++trial) {
    const bool flat = trial >= 100, elastic = trial % 3 == 0;
    md.E2 = flat ? 0.0 : 21.0;
    const FibreMaterial mat{md.E, md.E2, md.E3, md.SYM(1), md.EYM(1)};
    for (int i = 0; i < NFM; ++i) {
      f.SIGU[i] = 2.4;
      f.SIGL[i] = -2.4;
      f.SIG[i] = elastic ? 2.0 * u(rng) : random_stress(rng, flat, f.SIGU[i], f.SIGL[i]);
      f.EPS[i] = f.SIG[i] / 2100;
      f.EPSU[i] = f.SIGU[i] / 2100;
      f.EPSL[i] = f.SIGL[i] / 2100;
      f.DEPS[i] = (elastic ? 1e-5 : 2e-3) * u(rng);
    }
    const Stiffness stiffness = trial % 4 == 3 ? Stiffness::Initial : Stiffness::Tangent;
    std::array<StationValues, NSTA> got;
    station_sums(md, 1, f, stiffness, got);
    std::array<StationValues, NSTA> want = got;
    for (int k = 1; k <= NSTA; ++k) {
      double sea = 0.0, ses = 0.0, sei = 0.0;
      for (int i = 1; i <= NFIB; ++i) {
        const int j = MemberFibres::at(i, k);
        const FibreValues v{f.SIGU[j], f.SIGL[j], f.EPSU[j], f.EPSL[j], f.SIG[j], f.EPS[j]};
        if (stiffness == Stiffness::Tangent &&
            (inside_range(mat.E2, v.SIG, v.SIGU, v.SIGL) || f.DEPS[j] * v.SIG >= 0.0))
          continue;
        const double d = fibre_branch_slope(stiffness, mat, v, f.DEPS[j]) -
                         fibre_tangent(stiffness, mat.E, mat.E2, f.SIGT[j], v.SIGL, v.SIGU);
        if (d == 0.0) continue;
        const double ea = d * md.AREA(1, i), z = md.ZF(1, i);
        sea += ea;
        ses += ea * z;
        sei += ea * z * z;
      }
      want[k - 1].SEA += sea;
      want[k - 1].SES += ses;
      want[k - 1].SEI += sei;
    }
    branch_tangent_sums(md, 1, f, stiffness, got);
    ASSERT_EQ(std::memcmp(&want, &got, sizeof want), 0) << trial;
  }
}

}  // namespace
}  // namespace nlf

namespace nlf {
namespace {

// The commit takes four fibres at a time as well: the same new state, bit
// for bit, as the scalar law in commit mode, for a hardening and a flat
// plastic branch.
TEST(CommitFibres, SameBitsAsTheScalarLaw) {
  test::MemberModel mm;
  Units units;
  FibreStore fs;
  fs.setup(mm.st.FSTORE.data(), 2, true, units);
  MemberTeam team(1, mm.md.NM);
  fs.initialise(mm.md.NM, mm.md.SYM, mm.md.EYM);
  fs.clear_increments(mm.md.NM);
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int trial = 0; trial < 100; ++trial) {
    const bool flat = trial >= 50;
    mm.md.E2 = flat ? 0.0 : 21.0;
    const FibreMaterial mat{mm.md.E, mm.md.E2, mm.md.E3, mm.md.SYM(1), mm.md.EYM(1)};
    std::vector<FibreValues> want;
    fs.commit_begin();
    for (int m = 1; m <= mm.md.NM; ++m) {
      const MemberFibres f = fs.commit_member(m);
      for (int i = 0; i < NFM; ++i) {
        f.SIG[i] = random_stress(rng, flat, f.SIGU[i], f.SIGL[i]);
        f.DEPS[i] = (trial % 2 ? 1e-4 : 2e-3) * u(rng);
        FibreValues v{f.SIGU[i], f.SIGL[i], f.EPSU[i], f.EPSL[i], f.SIG[i], f.EPS[i]};
        fibre_law(LawMode::Commit, Stiffness::Tangent, mat, v, f.DEPS[i]);
        want.push_back(v);
      }
      fs.commit_put(m);
    }
    fs.commit_end();
    commit_fibres(mm.md, fs, team);
    fs.results_begin();
    for (int m = 1; m <= mm.md.NM; ++m) {
      const MemberFibres c = fs.results_member(m);
      for (int i = 0; i < NFM; ++i) {
        const FibreValues& w = want[static_cast<std::size_t>((m - 1) * NFM + i)];
        const double got[6] = {c.SIGU[i], c.SIGL[i], c.EPSU[i], c.EPSL[i], c.SIG[i], c.EPS[i]};
        ASSERT_EQ(std::memcmp(&w, got, sizeof got), 0) << trial << " " << m << " " << i;
      }
    }
    fs.results_end();
  }
}

}  // namespace
}  // namespace nlf
