#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "io/stop.h"
#include "solver/band.h"
#include "support/test_support.h"

namespace nlf {
namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

// A band system from a dense symmetric K (column-major). Band entries past
// NEQ and rows past NEQ hold NaN: the solver must never read them.
struct Sys {
  int neq, mb, ld, nr;
  std::vector<double> K, a, b, x;
  double det = 0;
  Sys(int n, int band, int nrhs, int pad = 0)
      : neq(n), mb(band), ld(n + pad), nr(nrhs), K(n * n), a(ld * band, NaN),
        b(ld * std::max(nrhs, 1), 1.0), x(b.size(), NaN) {}
  void band() {
    for (int i = 0; i < neq; ++i)
      for (int j = 0; j < mb && i + j < neq; ++j) a[i + j * ld] = K[i + (i + j) * neq];
  }
  // Joint count from IEQ; false when the run was stopped.
  bool solve(std::vector<int> ieq, std::vector<int> lt, int njl, TextOut& out) {
    try {
      BANDSOLVE(neq, mb, nr, RMat(b.data(), ld, nr), RMat(a.data(), ld, mb),
                RMat(x.data(), ld, nr), IVec(lt.data(), lt.size()), ieq.size() / 3, det,
                IVec(ieq.data(), ieq.size()), njl, out);
    } catch (const Stop& s) {
      EXPECT_EQ(s.status, 1);
      return false;
    }
    return true;
  }
};

TEST(BandSolve, RandomBandSystemsAgainstDenseResidualAndDeterminant) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const std::pair<int, int> sizes[] = {{2, 2}, {3, 1}, {9, 3}, {30, 6}, {24, 24}, {150, 100}};
  for (auto [n, mb] : sizes) {
    for (int nr : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "NEQ " << n << " MBAND " << mb << " NRHS " << nr);
      Sys s(n, mb, nr, 3);
      for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < std::min(n, i + mb); ++j) s.K[i + j * n] = s.K[j + i * n] = u(gen);
        s.K[i + i * n] = 1.0 + 2.0 * mb;  // diagonally dominant: positive definite
      }
      for (double& v : s.b) v = 10 * u(gen);
      s.band();
      const Sys ref = s;
      std::vector<int> ieq(n - n % 3);
      for (int k = 0; k < int(ieq.size()); ++k) ieq[k] = k + 1;
      TextOut out;
      ASSERT_TRUE(s.solve(ieq, std::vector<int>(ieq.size(), 0), n / 3, out));
      for (int c = 0; c < nr; ++c)
        for (int i = 0; i < n; ++i) {
          double r = -ref.b[i + c * s.ld];
          for (int j = 0; j < n; ++j) r += s.K[i + j * n] * s.x[j + c * s.ld];
          EXPECT_NEAR(r, 0.0, 1e-11) << i;
        }
      // Cholesky of the dense K: ln det = 2 sum ln L(k,k).
      std::vector<double> L = s.K;
      double logdet = 0;
      for (int k = 0; k < n; ++k) {
        for (int i = k; i < n; ++i) {
          for (int p = 0; p < k; ++p) L[i + k * n] -= L[i + p * n] * L[k + p * n];
          L[i + k * n] = i == k ? std::sqrt(L[i + k * n]) : L[i + k * n] / L[k + k * n];
        }
        logdet += 2 * std::log(L[k + k * n]);
      }
      if (n % 3 == 0) {
        EXPECT_NEAR(s.det, logdet, 1e-12 * logdet);
      }
    }
  }
}

TEST(BandSolve, SmallSystems) {
  TextOut out;
  Sys two(2, 2, 1);  // the multiplier is (1/P) * A(n,m), not A(n,m) / P
  two.K = {49, 49, 49, 50};
  two.band();
  EXPECT_TRUE(two.solve({}, {}, 0, out));
  EXPECT_EQ(two.a[1], 50.0 - 49.0 * ((1.0 / 49.0) * 49.0));
  EXPECT_NE(two.a[1], 1.0);

  Sys one(1, 1, 2);  // one division, no pivot test, DETLOG kept
  one.a = {-4.0};
  one.b = {2.0, 6.0};
  one.det = 7.5;
  EXPECT_TRUE(one.solve({1, 1, 1}, {0, 0, 0}, 1, out));
  EXPECT_EQ(one.x, (std::vector<double>{-0.5, -1.5}));
  EXPECT_EQ(one.det, 7.5);
  Sys none(0, 1, 1);
  EXPECT_TRUE(none.solve({}, {}, 0, out));
}

// Diagonal systems (MBAND 1): the pivots are the diagonal as given.
struct PivotTest : testing::Test {
  test::TempDir dir;
  TextOut out;
  PivotTest() { out.open((dir / "R.rst").string()); }
  std::string listing() {
    out.close();
    return test::read_file(dir / "R.rst");
  }
};

TEST_F(PivotTest, EveryFailingForceDirectionThenAllPivots) {
  Sys s(12, 1, 0);
  s.a = {4, 0, 2, -1.5, 1, -5, 1, 1, 1, 1, 1, 3};
  std::vector<int> eq(12), lt(15, 0);
  for (int i = 0; i < 12; ++i) eq[i] = i + 1;
  lt[(3 - 1) * 5 + 2 - 1] = 1;  // joint 2 rotation prescribed: -5 is not tested
  EXPECT_FALSE(s.solve(eq, lt, 5, out));
  EXPECT_EQ(listing(),
            "\n\n DIAG    2(    2) is not positive            0.00000    \n PROGRAM STOP\n"
            "\n\n DIAG    4(    4) is not positive           -1.50000    \n PROGRAM STOP\n"
            "    0.400E+01    0.000E+00    0.200E+01   -0.150E+01    0.100E+01   -0.500E+01"
            "    0.100E+01    0.100E+01    0.100E+01    0.100E+01\n    0.100E+01    0.300E+01\n");
  EXPECT_EQ(s.det, -std::numeric_limits<double>::infinity());
}

TEST_F(PivotTest, LinkedDirectionsCountTwicePrescribedNever) {
  Sys s(5, 1, 1);
  s.a = {-2, 2, 3, 5, 7};
  const std::vector<int> ieq{1, 2, 3, 1, 4, 5};  // joint 2 X shares equation 1
  EXPECT_TRUE(s.solve(ieq, {1, -1, 0, 0, 0, 0}, 2, out));  // both prescribed
  EXPECT_NEAR(s.det, std::log(2 * 3 * 5 * 7.0), 1e-12);
  EXPECT_EQ(s.x[0], -0.5);
  s.a[0] = -2;
  EXPECT_FALSE(s.solve(ieq, {0, 0, 0, 0, 0, 0}, 2, out));
  EXPECT_NEAR(s.det, std::log(2 * 2 * 2 * 3 * 5 * 7.0), 1e-12);
  write_detlog(out, -3.25);
  const std::string twice =
      "\n\n DIAG    1(    1) is not positive           -2.00000    \n PROGRAM STOP\n\n\n DIAG    4(    1)";
  EXPECT_EQ(listing().substr(0, twice.size()), twice);
  EXPECT_EQ(test::read_lines(dir / "R.rst").back(), "+" + std::string(90, ' ') + "    -3.2500E+00");
}

}  // namespace
}  // namespace nlf
