#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "member/condense.h"
#include "member/segment.h"

namespace nlf {
namespace {

// The condensation as the general inversion and full products give it.
bool reference(MemberSystem sys, Condensed& out) {
  const bool ok = MATINVERT(NINNER, sys.KII.data(), NINNER);
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
    SEGTRANSFORM(x, x2, y, y2, g);
    const StationValues s1{40 * u(rng), 300 * u(rng), 4000 * (1.2 + u(rng)), 500 * u(rng),
                           1e6 * (1.2 + u(rng))};
    const StationValues s2{40 * u(rng), 300 * u(rng), 4000 * (1.2 + u(rng)), 500 * u(rng),
                           1e6 * (1.2 + u(rng))};
    Mat6 KS, KN;
    Vec6 FS, FN;
    SEGSTIFF(g, s1, s2, SegLoads{}, KS, FS);
    MATTOBYNODE(KS, KN);
    TOBYNODE(FS, FN);
    CHAINADD(k, KN, FN, sys);
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
    const bool ok_got = CONDENSE(sys, got);
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
