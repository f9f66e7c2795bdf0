// The member pass completes the band matrix and, on several threads,
// reduces it while the members are built; with the rest of the elimination
// the result must be the plain pass (members one after another, then
// springs, penalties and the elimination), bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "member/exact_tangent.h"
#include "member/member_pass.h"
#include "solver/band.h"
#include "solver/general_band.h"
#include "store/bind.h"

namespace nlf {
namespace {

// A bent chain of 12 members over joints 1..13, members numbered out of
// joint order, with two springs on one direction, a third spring elsewhere
// and prescribed directions at both ends.
struct Chain {
  static constexpr int NM = 12, NJ = 13;
  Stores st;
  Model md;
  Units units;
  FibreStore fs;

  Chain() {
    Sizes sz;
    sz.MUMM = NM, sz.MUMJ = NJ, sz.MUMS = 1, sz.MUMR = 3, sz.MBAND = 6;
    bind_model(md, st, sz);
    md.NJ = NJ, md.NM = NM, md.NEQ = 3 * NJ, md.MBAND = 6;
    md.E = 2100, md.E2 = 21, md.E3 = 21;
    for (int i = 1; i <= 3 * NJ; ++i) md.IEQ(i) = i;
    for (int i = 1; i <= NFIB; ++i) md.AREA(1, i) = 1.0, md.ZF(1, i) = -10.5 + i;
    const int first_joint[NM] = {7, 1, 12, 3, 9, 2, 11, 5, 4, 10, 6, 8};
    for (int m = 1; m <= NM; ++m) {
      const int j = first_joint[m - 1];
      md.IJ(m, 1) = j, md.IJ(m, 2) = j + 1;
      md.ISEC(m) = 1;
      md.SYM(m) = 2.4, md.EYM(m) = 2.4 / 2100;
      md.MGEO(m) = m % 3 == 0 ? 1 : 0;
      for (int k = 1; k <= NPT; ++k) {
        const double s = (j - 1) + 0.2 * (k - 1);
        md.XM(m, k) = 300.0 * s;
        md.YM(m, k) = 7.0 * s * s;
      }
    }
    const int kj[3] = {5, 5, 9};
    for (int k = 1; k <= 3; ++k) {
      md.KJ(k) = kj[k - 1];
      for (int d = 1; d <= 3; ++d) md.KF(k, d) = 1.0 / (3.0 * k + d);
    }
    md.NK = 3;
    for (int d = 1; d <= 3; ++d) md.LTYPE((d - 1) * NJ + 1) = 1;
    md.LTYPE(NJ + NJ) = 1;  // Y of the last joint
    fs.setup(st.FSTORE.data(), NM, true, units);
    fs.initialise(md.NM, md.SYM, md.EYM);
    fs.clear_increments(md.NM);
  }

  // A pass, a recovery of a small deformation and a second pass.
  void run(MemberTeam& team) {
    MemberPassBuffers buffers(md);
    bool singular = false;
    member_pass(md, fs, Stiffness::Tangent, singular, team, buffers);
    for (int i = 1; i <= md.NEQ; ++i) md.DITER(i) = 1e-3 * ((i * 7) % 11 - 5);
    update_members(md, fs, team);
    const int taken = member_pass(md, fs, Stiffness::Tangent, singular, team, buffers);
    band_reduce(md.A(), md.NEQ, md.MBAND, taken + 1, md.NEQ - 1);
  }

  void plain_pass() {
    md.A().fill(0.0);
    md.R.fill(0.0, 3 * md.NJ);
    fs.pass_begin();
    for (int m = 1; m <= md.NM; ++m) {
      MemberResult r;
      build_member(md, m, fs.pass_member(m), Stiffness::Tangent, r);
      add_member(m, md.IJ, md.A(), r.cond.KM.data(), md.R, r.cond.FM.data(), md.IEQ);
    }
    fs.pass_end();
    for (int k = 1; k <= md.NK; ++k)
      for (int d = 1; d <= 3; ++d) md.A()(md.eq(md.KJ(k), d), 1) += md.KF(k, d);
    for (int j = 1; j <= md.NJ; ++j)
      for (int d = 1; d <= 3; ++d)
        if (md.LTYPE(md.pat(j, d)) > 0) md.A()(md.eq(j, d), 1) = PENALTY;
    band_reduce(md.A(), md.NEQ, md.MBAND, 1, md.NEQ - 1);
  }

  std::vector<double> band_and_forces() const {
    std::vector<double> v(md.A().data(), md.A().data() + md.A().size());
    v.insert(v.end(), md.R.data(), md.R.data() + 3 * md.NJ);
    return v;
  }
};

TEST(ReducingPass, SameBitsAsThePlainPassOnAnyNumberOfThreads) {
  Chain ref;
  {
    MemberTeam one(1, Chain::NM);
    ref.plain_pass();
    for (int i = 1; i <= ref.md.NEQ; ++i) ref.md.DITER(i) = 1e-3 * ((i * 7) % 11 - 5);
    update_members(ref.md, ref.fs, one);
    ref.plain_pass();
  }
  const std::vector<double> want = ref.band_and_forces();

  for (int threads : {1, 2, 3}) {
    Chain t;
    MemberTeam team(threads, Chain::NM);
    ASSERT_EQ(team.threads(), threads);
    t.run(team);
    const std::vector<double> got = t.band_and_forces();
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(double)), 0)
        << threads << " threads";
  }

  // A model without equations asks for no rows, and still gets a place.
  EXPECT_NE(MemberPassBuffers(Model{}).rows(), nullptr);
  // Buffers made for a smaller model are refused.
  Chain t;
  MemberTeam team(2, Chain::NM);
  t.md.NM = 1;
  MemberPassBuffers small(t.md);
  t.md.NM = Chain::NM;
  bool singular = false;
  EXPECT_THROW(member_pass(t.md, t.fs, Stiffness::Tangent, singular, team, small), std::logic_error);
}

// With the exact tangent the same pass fills the general band: members in
// member order, then each row's springs and penalty, pivot rows taken as
// the rows they reach are complete; reduced to the end, the same bits as
// those steps one after another, on any number of threads.
TEST(ReducingPass, ExactTangentIntoTheGeneralBandOnAnyNumberOfThreads) {
  auto general_of = [](Chain& c, std::vector<double>& store) {
    store.assign(GeneralBand::size(c.md.NEQ, c.md.MBAND), -1.0);
    return GeneralBand{store.data(), c.md.NEQ, c.md.MBAND};
  };
  Chain ref;
  std::vector<double> want;
  GeneralBand G = general_of(ref, want);
  G.clear();
  ref.md.R.fill(0.0, 3 * ref.md.NJ);
  ref.fs.pass_begin();
  for (int m = 1; m <= ref.md.NM; ++m) {
    MemberResult r;
    build_member_exact(ref.md, m, ref.fs.pass_member(m), Stiffness::Tangent, r);
    G.add_member(m, ref.md.IJ, r.cond.KM.data(), ref.md.R, r.cond.FM.data(), ref.md.IEQ);
  }
  ref.fs.pass_end();
  for (int k = 1; k <= ref.md.NK; ++k)
    for (int d = 1; d <= 3; ++d) {
      const int e = ref.md.eq(ref.md.KJ(k), d);
      G(e, e) += ref.md.KF(k, d);
    }
  for (int j = 1; j <= ref.md.NJ; ++j)
    for (int d = 1; d <= 3; ++d)
      if (ref.md.LTYPE(ref.md.pat(j, d)) > 0) {
        const int e = ref.md.eq(j, d);
        G(e, e) = PENALTY;
      }
  G.reduce(1, ref.md.NEQ - 1);
  want.insert(want.end(), ref.md.R.data(), ref.md.R.data() + 3 * ref.md.NJ);

  for (int threads : {1, 2, 3}) {
    Chain t;
    std::vector<double> got;
    GeneralBand g = general_of(t, got);
    MemberTeam team(threads, Chain::NM);
    MemberPassBuffers buffers(t.md);
    bool singular = false;
    const int taken = member_pass(t.md, t.fs, Stiffness::Tangent, singular, team, buffers, g);
    EXPECT_EQ(taken > 0, threads > 1);
    g.reduce(taken + 1, t.md.NEQ - 1);
    got.insert(got.end(), t.md.R.data(), t.md.R.data() + 3 * t.md.NJ);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(double)), 0) << threads << " threads";
  }
}

// A model of springs alone has no band width: its diagonal still starts
// from zero on every pass instead of taking the springs again and again.
TEST(ReducingPass, SpringsAloneAreNotAddedTwice) {
  Chain t;
  t.md.NM = 0, t.md.MBAND = 0;
  MemberTeam team(1, Chain::NM);
  MemberPassBuffers buffers(t.md);
  bool singular = false;
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(member_pass(t.md, t.fs, Stiffness::Tangent, singular, team, buffers), 0);
    EXPECT_EQ(t.md.A()(25, 1), t.md.KF(3, 1));  // joint 9, X
    EXPECT_EQ(t.md.A()(13, 1), t.md.KF(1, 1) + t.md.KF(2, 1));  // joint 5, X: two springs
  }
}

}  // namespace
}  // namespace nlf
