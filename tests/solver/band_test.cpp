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

// A band system built from a dense symmetric K; the stored band is padded
// with NaN wherever the solver must not read (past NEQ, rows past NEQ).
struct Sys {
  int neq, mb, ld, nrhs, nj = 0;
  std::vector<double> K, a, b, x;
  std::vector<int> ieq, ltype;
  double det = 0;
  Sys(int n, int band, int nr, int extra = 0)
      : neq(n), mb(band), ld(n + extra), nrhs(nr), K(n * n, 0.0), a(ld * band, NaN),
        b(ld * (nr ? nr : 1), 1.0), x(ld * (nr ? nr : 1), NaN) {}
  RMat A() { return RMat(a.data(), ld, mb); }
  void band() {
    for (int i = 0; i < neq; ++i)
      for (int j = 0; j < mb && i + j < neq; ++j) a[i + j * ld] = K[i + (i + j) * neq];
  }
  void joints(int n, std::vector<int> eq, std::vector<int> types) {
    nj = n, ieq = eq, ltype = types;
  }
  void solve(TextOut& out) {
    IVec IEQ(ieq.data(), ieq.size()), LT(ltype.data(), ltype.size());
    BANDSOLVE(neq, mb, nrhs, RMat(b.data(), ld, nrhs), A(), RMat(x.data(), ld, nrhs), LT, nj,
              det, IEQ, nj, out);
  }
};

// Dense Gauss elimination with row pivoting: solution of K y = rhs, and ln|det K|.
double dense(std::vector<double> K, std::vector<double>& y, int n) {
  double ld = 0;
  for (int k = 0; k < n; ++k) {
    int p = k;
    for (int i = k + 1; i < n; ++i) p = std::fabs(K[i + k * n]) > std::fabs(K[p + k * n]) ? i : p;
    for (int j = 0; j < n; ++j) std::swap(K[k + j * n], K[p + j * n]);
    std::swap(y[k], y[p]);
    ld += std::log(std::fabs(K[k + k * n]));
    for (int i = k + 1; i < n; ++i) {
      const double h = K[i + k * n] / K[k + k * n];
      for (int j = k; j < n; ++j) K[i + j * n] -= h * K[k + j * n];
      y[i] -= h * y[k];
    }
  }
  for (int k = n - 1; k >= 0; --k) {
    for (int j = k + 1; j < n; ++j) y[k] -= K[k + j * n] * y[j];
    y[k] /= K[k + k * n];
  }
  return ld;
}

Sys random_spd(int n, int band, int nrhs, unsigned seed) {
  Sys s(n, band, nrhs, 3);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < std::min(n, i + band); ++j) s.K[i + j * n] = s.K[j + i * n] = u(gen);
  for (int i = 0; i < n; ++i) {
    double sum = 1.0 + std::fabs(u(gen));
    for (int j = 0; j < n; ++j) sum += j == i ? 0 : std::fabs(s.K[i + j * n]);
    s.K[i + i * n] = sum;
  }
  for (int c = 0; c < nrhs; ++c)
    for (int i = 0; i < n; ++i) s.b[i + c * s.ld] = u(gen) * 10;
  s.band();
  return s;
}

TEST(BandSolve, MatchesDenseSolveAndLogDeterminant) {
  struct Case { int neq, mb; } cases[] = {{2, 2}, {3, 1}, {9, 3}, {30, 6}, {24, 24}, {150, 100}};
  for (auto [neq, mb] : cases) {
    for (int nrhs : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "NEQ " << neq << " MBAND " << mb << " NRHS " << nrhs);
      Sys s = random_spd(neq, mb, nrhs, neq * 7 + nrhs);
      std::vector<int> eq(neq);
      for (int i = 0; i < neq; ++i) eq[i] = i + 1;
      s.joints(neq / 3, eq, std::vector<int>(neq, 0));
      TextOut out;
      Sys ref = s;
      s.solve(out);
      std::vector<double> y(neq, 0.0);
      const double logdet = dense(ref.K, y, neq);
      if (neq % 3 == 0) {
        EXPECT_NEAR(s.det, logdet, 1e-10 * std::fabs(logdet));
      }
      for (int c = 0; c < nrhs; ++c) {
        y.assign(ref.b.begin() + c * ref.ld, ref.b.begin() + c * ref.ld + neq);
        dense(ref.K, y, neq);
        for (int i = 0; i < neq; ++i) EXPECT_NEAR(s.x[i + c * s.ld], y[i], 1e-11) << i;
        EXPECT_TRUE(std::isnan(s.x[neq + c * s.ld]));  // rows past NEQ untouched
      }
    }
  }
}

TEST(BandSolve, PivotIsReciprocalTimesCoupling) {
  Sys s(2, 2, 1);
  s.K = {49, 49, 49, 50};
  s.band();
  s.joints(0, {}, {});
  TextOut out;
  s.solve(out);
  EXPECT_EQ(s.a[1], 50.0 - 49.0 * ((1.0 / 49.0) * 49.0));  // not 50 - 49 * (49 / 49)
  EXPECT_NE(s.a[1], 1.0);
}

TEST(BandSolve, TrivialSizes) {
  Sys one(1, 1, 2);
  one.a[0] = -4.0;  // no pivot test for a single equation
  one.b = {2.0, 6.0};
  one.joints(1, {1, 1, 1}, {0, 0, 0});
  one.det = 7.5;
  TextOut out;
  one.solve(out);
  EXPECT_EQ(one.x, (std::vector<double>{-0.5, -1.5}));
  EXPECT_EQ(one.det, 7.5);
  Sys none(0, 1, 1);
  none.det = 2.0;
  none.solve(out);
  EXPECT_EQ(none.det, 2.0);
}

// Diagonal systems (MBAND 1): the pivots are the diagonal as given.
struct PivotListing : testing::Test {
  test::TempDir dir;
  TextOut out;
  std::string solve(Sys& s, int njl) {
    out.open((dir / "R.rst").string());
    IVec IEQ(s.ieq.data(), s.ieq.size()), LT(s.ltype.data(), s.ltype.size());
    bool stopped = false;
    try {
      BANDSOLVE(s.neq, 1, 1, RMat(s.b.data(), s.ld, 1), s.A(), RMat(s.x.data(), s.ld, 1), LT,
                s.nj, s.det, IEQ, njl, out);
    } catch (const Stop& st) {
      EXPECT_EQ(st.status, 1);
      stopped = true;
    }
    out.close();
    return (stopped ? "STOP\n" : "") + test::read_file(dir / "R.rst");
  }
};

TEST_F(PivotListing, EveryFailingForceDirectionThenAllPivots) {
  Sys s(12, 1, 1);
  s.a = {4, 0, 2, -1.5, 1, -5, 1, 1, 1, 1, 1, 3};
  std::vector<int> eq(12), types(15, 0);
  for (int i = 0; i < 12; ++i) eq[i] = i + 1;
  types[(3 - 1) * 5 + 2 - 1] = 1;  // joint 2, rotation prescribed: pivot -5 not tested
  s.joints(4, eq, types);
  EXPECT_EQ(solve(s, 5),
            "STOP\n\n\n DIAG    2(    2) is not positive            0.00000    \n PROGRAM STOP\n"
            "\n\n DIAG    4(    4) is not positive           -1.50000    \n PROGRAM STOP\n"
            "    0.400E+01    0.000E+00    0.200E+01   -0.150E+01    0.100E+01   -0.500E+01"
            "    0.100E+01    0.100E+01    0.100E+01    0.100E+01\n    0.100E+01    0.300E+01\n");
  EXPECT_TRUE(std::isnan(s.x[0]));  // no back substitution after the failure
  EXPECT_EQ(s.det, -std::numeric_limits<double>::infinity());
}

TEST_F(PivotListing, LinkedDirectionsCountTwicePrescribedNever) {
  Sys s(5, 1, 1);
  s.a = {-2, 2, 3, 5, 7};
  s.joints(2, {1, 2, 3, 1, 4, 5}, {0, 0, 0, 0, 0, 0});  // joint 2 X shares equation 1
  EXPECT_NE(solve(s, 2).find("\n DIAG    1(    1) is not positive           -2.00000    \n"
                             " PROGRAM STOP\n\n\n DIAG    4(    1) is not positive"),
            std::string::npos);
  EXPECT_DOUBLE_EQ(s.det, 2 * std::log(2.0) + std::log(2 * 3 * 5 * 7.0));
  s.a = {-2, 2, 3, 5, 7};
  s.ltype = {1, -1, 0, 0, 0, 0};  // both directions of equation 1 prescribed
  EXPECT_EQ(solve(s, 2), "");
  EXPECT_DOUBLE_EQ(s.det, std::log(2 * 3 * 5 * 7.0));
  EXPECT_DOUBLE_EQ(s.x[0], -0.5);
}

TEST_F(PivotListing, DeterminantLine) {
  out.open((dir / "R.rst").string());
  write_detlog(out, 12.5);
  write_detlog(out, -3.25);
  out.close();
  const std::string pad = "+" + std::string(90, ' ');
  EXPECT_EQ(test::read_file(dir / "R.rst"), pad + "     1.2500E+01\n" + pad + "    -3.2500E+00\n");
}

}  // namespace
}  // namespace nlf
