#include <gtest/gtest.h>

#include <random>

#include "member/condense.h"
#include "member/segment.h"

namespace nlf {
namespace {

constexpr int U1 = 1, U2 = 2, T1 = 5;

// Equal station values: classical axial and bending matrices plus the
// consistent geometric matrix of the axial force N.
TEST(Segment, UniformValuesGiveClassicalMatrices) {
  const double L = 80, EA = 4200, EI = 1.4e6, N = -35;
  SegGeom g;
  segment_geometry(0, L, 0, 0, g);
  const StationValues s{N, 0, EA, 0, EI};
  Mat6 KS, KL, ref;
  Vec6 FS;
  segment_stiffness(g, s, s, SegLoads{}, KS, FS, &KL);
  const double a = EA / L, b = 12 * EI / (L * L * L) + 6 * N / (5 * L),
               c = 6 * EI / (L * L) + N / 10, d = 4 * EI / L + 2 * N * L / 15,
               e = 2 * EI / L - N * L / 30;
  const double k[6][6] = {{a, -a, 0, 0, 0, 0},  {-a, a, 0, 0, 0, 0},  {0, 0, b, -b, c, c},
                          {0, 0, -b, b, -c, -c}, {0, 0, c, -c, d, e}, {0, 0, c, -c, e, d}};
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 6; ++j) EXPECT_NEAR(KL(i, j), k[i - 1][j - 1], 1e-8) << i << "," << j;
  EXPECT_NEAR(FS[U1 - 1], -N, 1e-12);
  EXPECT_NEAR(FS[U2 - 1], N, 1e-12);
}

// A reference axis off the centroid couples axial force and bending. A
// cantilever loaded by P along that axis has N = P and M = 0 throughout:
// EA eps0 - ES k = P, ES eps0 - EI k = 0, constant, so exactly represented.
TEST(Segment, OffsetReferenceAxisCouplesAxialForceAndBending) {
  const double L = 50, EA = 3000, ES = 12000, EI = 2.48e5, P = 7;
  SegGeom g;
  segment_geometry(0, L, 0, 0, g);
  SegLoads noGeo;
  noGeo.gamma = 0;
  Mat6 KS, KL;
  Vec6 FS, f;
  segment_stiffness(g, {0, 0, EA, ES, EI}, {0, 0, EA, ES, EI}, noGeo, KS, FS, &KL);
  const double eps0 = P * EI / (EA * EI - ES * ES), k = ES * eps0 / EI;
  mat_vec(KL, Vec6{0, eps0 * L, 0, 0.5 * k * L * L, 0, k * L}, f);
  const Vec6 ref{-P, P, 0, 0, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(f[i], ref[i], 1e-9) << i;
  EXPECT_NE(KL(U1, T1), 0.0);
}

// An inclined, unstressed segment: rigid motions carry no force.
TEST(Segment, InclinedRigidBodyModes) {
  const double x1 = 3, y1 = -2, x2 = 43, y2 = 28;
  SegGeom g;
  segment_geometry(x1, x2, y1, y2, g);
  Mat6 KS;
  Vec6 FS, f;
  segment_stiffness(g, {0, 0, 5000, 120, 3e5}, {0, 0, 4000, -80, 2e5}, SegLoads{}, KS, FS);
  for (const Vec6 d : {Vec6{1, 1, 0, 0, 0, 0}, Vec6{0, 0, 1, 1, 0, 0},
                       Vec6{-y1, -y2, x1, x2, 1, 1}}) {
    mat_vec(KS, d, f);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(f[i], 0.0, 1e-6) << i;
  }
}

void expect_inverse(const Mat12& a, const Mat12& inv) {
  Mat12 p;
  mat_mul(a, inv, p);
  for (int i = 1; i <= 12; ++i)
    for (int j = 1; j <= 12; ++j) EXPECT_NEAR(p(i, j), i == j, 1e-10) << i << "," << j;
}

TEST(MatInvert, RandomMatricesWithAndWithoutPivoting) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int trial = 0; trial < 20; ++trial) {
    Mat12 a;
    for (double& v : a.a) v = u(rng);
    for (int i = 1; i <= 12; ++i) a(i, i) += 6.0;
    if (trial % 2 == 1) {  // shifted rows, scaled, zero diagonal
      const Mat12 b = a;
      for (int i = 1; i <= 12; ++i)
        for (int j = 1; j <= 12; ++j) a(i, j) = i == j ? 0.0 : b(i % 12 + 1, j) * (1 + i);
    }
    Mat12 inv = a;
    ASSERT_TRUE(invert_matrix(12, inv.data(), 12));
    expect_inverse(a, inv);
  }
}

TEST(MatInvert, SingularStopAndNegligibleEntries) {
  Mat12 a;
  for (int i = 1; i <= 12; ++i) a(i, i) = 1.0 + i;
  for (int j = 1; j <= 12; ++j) a(7, j) = 0.5e-21 * j;  // below the stop everywhere
  Mat12 inv = a;
  EXPECT_FALSE(invert_matrix(12, inv.data(), 12));
  a(7, 7) = 1e-15;
  inv = a;
  EXPECT_TRUE(invert_matrix(12, inv.data(), 12));
  expect_inverse(a, inv);

  double b[4] = {1.0, 0.0, 1e-31, 1.0};  // [[1, 1e-31], [0, 1]]
  ASSERT_TRUE(invert_matrix(2, b, 2));
  EXPECT_EQ(b[2], 0.0);  // exactly, not -1e-31
}

}  // namespace
}  // namespace nlf
