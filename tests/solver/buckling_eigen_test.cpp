// The eigensolver of the buckling analysis on a problem with a closed form:
// K the second-difference matrix tridiag(-1, 2, -1) of order n, KG = -I, so
// that (K + alpha KG) phi = 0 gives alpha_k = 2 - 2 cos(k pi / (n + 1)).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "solver/buckling_eigen.h"

namespace nlf {
namespace {

std::vector<MatrixEntry> second_difference(int n, bool both_halves) {
  std::vector<MatrixEntry> K;
  for (int i = 0; i < n; ++i) {
    K.push_back({i, i, 2.0});
    if (i > 0) K.push_back({i, i - 1, -1.0});
    if (i > 0 && both_halves) K.push_back({i - 1, i, -1.0});  // passed over
  }
  return K;
}

double k_product(const std::vector<double>& a, const std::vector<double>& b) {
  const int n = static_cast<int>(a.size());
  double s = 0;
  for (int i = 0; i < n; ++i) s += a[i] * (2 * b[i] - (i > 0 ? b[i - 1] : 0) - (i + 1 < n ? b[i + 1] : 0));
  return s;
}

TEST(BucklingEigen, FactorsAndModesOfTheSecondDifference) {
  const int n = 60;
  BucklingEigen eig;
  ASSERT_TRUE(eig.factor(n, second_difference(n, true)));
  std::vector<MatrixEntry> G, H;
  for (int i = 0; i < n; ++i) {
    G.push_back({i, i, -1.0});
    H.push_back({i, i, i < n / 2 ? -1.0 : 1.0});
  }
  int its = 0;
  const auto pairs = eig.extreme(G, 4, true, its);
  ASSERT_EQ(pairs.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    const double alpha = 2 - 2 * std::cos((k + 1) * std::numbers::pi / (n + 1));
    EXPECT_NEAR(-1.0 / pairs[k].mu / alpha, 1.0, 1e-10) << k;
    // K-orthonormal.
    for (int l = 0; l < 4; ++l) EXPECT_NEAR(k_product(pairs[k].phi, pairs[l].phi), k == l ? 1.0 : 0.0, 1e-9);
  }
  // A pattern with tension in half the freedoms has factors of both signs;
  // there are no positive mu for KG = -I.
  EXPECT_EQ(eig.extreme(H, 2, false, its).size(), 2u);
  EXPECT_LT(eig.extreme(G, 2, false, its).at(0).mu, 1e-9);
  // The factorisation solves K u = f: the discrete parabola (i + 1)(n - i) / 2.
  std::vector<double> f(n, 1.0);
  eig.solve(f);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(f[i], 0.5 * (i + 1) * (n - i), 1e-8);
}

TEST(BucklingEigen, AMechanismIsNoFactorisation) {
  // Both ends free: the rigid shift has no stiffness.
  auto K = second_difference(8, false);
  K[0].v = 1.0;
  K[K.size() - 2].v = 1.0;
  BucklingEigen eig;
  EXPECT_FALSE(eig.factor(8, K));
  EXPECT_FALSE(eig.factor(2, {{0, 0, 1.0}, {1, 1, -1.0}}));
}

}  // namespace
}  // namespace nlf
