#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "io/stop.h"
#include "solver/band.h"
#include "solver/general_band.h"
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
  bool solve(std::vector<int> ieq, std::vector<int> lt, int njl, TextOut& out,
             PivotCount* count = nullptr, bool reduced = false) {
    try {
      band_solve(neq, mb, nr, RMat(b.data(), ld, nr), RMat(a.data(), ld, mb),
                RMat(x.data(), ld, nr), IVec(lt.data(), lt.size()), ieq.size() / 3, det,
                IVec(ieq.data(), ieq.size()), njl, out, count, reduced);
    } catch (const PivotStop& s) {
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
      const std::vector<double> b0 = s.b;
      std::vector<int> ieq(n - n % 3);
      for (int k = 0; k < int(ieq.size()); ++k) ieq[k] = k + 1;
      TextOut out;
      ASSERT_TRUE(s.solve(ieq, std::vector<int>(ieq.size(), 0), n / 3, out));
      for (int c = 0; c < nr; ++c)  // residual K x - b
        for (int i = 0; i < n; ++i) {
          double r = -b0[i + c * s.ld];
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
      EXPECT_NEAR(s.det, n % 3 == 0 ? logdet : 0.0, 1e-12 * logdet);  // free joints only
    }
  }
}

// Pivot rows taken beforehand, in ranges of any length, and then the load
// columns alone: the same bits as one solve.
TEST(BandSolve, PivotRowsReducedInRangesGiveTheSameBits) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (auto [n, mb] : {std::pair{40, 7}, std::pair{90, 70}, std::pair{12, 1}}) {
    Sys whole(n, mb, 2, 1);
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < std::min(n, i + mb); ++j)
        whole.K[i + j * n] = whole.K[j + i * n] = u(gen);
      whole.K[i + i * n] = 1.0 + 2.0 * mb + u(gen);
    }
    for (double& v : whole.b) v = u(gen);
    whole.band();
    Sys parts = whole;
    std::vector<int> ieq(n - n % 3);
    for (int k = 0; k < int(ieq.size()); ++k) ieq[k] = k + 1;
    const std::vector<int> lt(ieq.size(), 0);
    TextOut out;
    ASSERT_TRUE(whole.solve(ieq, lt, n / 3, out));
    const RMat A(parts.a.data(), parts.ld, mb);
    for (int n0 = 1, len = 1; n0 <= n - 1; n0 += len, len = len % 5 + 1)
      band_reduce(A, n, mb, n0, std::min(n0 + len - 1, n - 1));
    ASSERT_TRUE(parts.solve(ieq, lt, n / 3, out, nullptr, true));
    EXPECT_EQ(std::memcmp(parts.x.data(), whole.x.data(), whole.x.size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(parts.a.data(), whole.a.data(), whole.a.size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(&parts.det, &whole.det, sizeof(double)), 0);
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

TEST_F(PivotTest, APivotThatIsNotANumberFails) {
  Sys s(3, 1, 0);
  s.a = {1, NaN, 2};
  EXPECT_FALSE(s.solve({1, 2, 3}, {0, 0, 0}, 1, out));
  EXPECT_NE(listing().find(" DIAG    2(    2) is not positive   " + std::string(17, ' ') + "NaN\n"),
            std::string::npos);
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
  const std::string twice = "\n\n DIAG    1(    1) is not positive           -2.00000    \n"
                            " PROGRAM STOP\n\n\n DIAG    4(    1)";
  EXPECT_EQ(listing().substr(0, twice.size()), twice);
  EXPECT_EQ(test::read_lines(dir / "R.rst").back(), "+" + std::string(90, ' ') + "    -3.2500E+00");
}

TEST_F(PivotTest, FollowingThePathCountsNegativePivotsButRefusesZero) {
  Sys s(6, 1, 1);
  const std::vector<int> ieq{1, 2, 3, 4, 5, 6}, lt(6, 0);
  s.a = {4, -2, 1, -0.5, 1, 1};
  PivotCount count;
  count.follow = true;
  EXPECT_TRUE(s.solve(ieq, lt, 2, out, &count));
  EXPECT_EQ(count.negative, 2);
  EXPECT_EQ(s.x, (std::vector<double>{0.25, -0.5, 1, -2, 1, 1}));
  EXPECT_NEAR(s.det, std::log(4 * 2 * 1 * 0.5), 1e-12);
  Sys linked(5, 1, 1);  // joint 2 X shares equation 1: one negative pivot
  linked.a = {-2, 2, 3, 5, 7};
  EXPECT_TRUE(linked.solve({1, 2, 3, 1, 4, 5}, lt, 2, out, &count));
  EXPECT_EQ(count.negative, 1);
  s.a = {4, 0, -1, NaN, 1, 1};
  EXPECT_FALSE(s.solve(ieq, lt, 2, out, &count));
  const std::string l = listing();
  EXPECT_NE(l.find(" DIAG    2(    2)"), std::string::npos);  // zero
  EXPECT_NE(l.find(" DIAG    4(    4)"), std::string::npos);  // not a number
  EXPECT_EQ(l.find(" DIAG    3("), std::string::npos);        // negative: counted
}

// One member between two joints; S(r,c) = 10r + c tells which triangle was read.
struct AddMember : testing::Test {
  std::vector<int> ij{1, 2}, ieq{1, 2, 3, 4, 5, 6};
  std::vector<double> a = std::vector<double>(36, 0.0), r = std::vector<double>(6, 0.0);
  std::array<double, 36> S{};
  AddMember() {
    for (int k = 0; k < 36; ++k) S[k] = 10 * (k % 6 + 1) + k / 6 + 1;
  }
  void add(int neq, int mband) {
    const double F[6] = {1, 2, 3, 4, 5, 6};
    add_member(1, IMat(ij.data(), 1, 2), RMat(a.data(), neq, mband), S.data(), RVec(r.data(), 6), F,
              IVec(ieq.data(), 6));
  }
  double A(int neq, int i, int j) const { return a[(i - 1) + (j - 1) * neq]; }
};

TEST_F(AddMember, EquationOrderDecidesTheTriangle) {
  add(6, 6);
  EXPECT_EQ(A(6, 2, 5), 26);  // K(2,6) = S(2,6): upper triangle
  ij = {2, 1};                // end I is joint 2: its rows come after end J's
  add(6, 6);
  EXPECT_EQ(A(6, 2, 5), 26 + 53);  // K(2,6) += S(5,3): lower triangle
  EXPECT_EQ(A(6, 4, 1), 44 + 11);
  a.assign(36, 0.0), r.assign(6, 0.0), ij = {1, 2};
  ieq = {1, 2, 3, 1, 4, 5};  // joint 2 X on joint 1 X's equation
  add(5, 5);
  EXPECT_EQ(A(5, 1, 1), 11 + 14 + 41 + 44);
  EXPECT_EQ(A(5, 1, 4), 15 + 45);
  EXPECT_EQ(r, (std::vector<double>{1, 2, 3, 4, 5, 6}));  // by joint-serial number
}

TEST_F(AddMember, OutsideTheBandStopsBeforeAdding) {
  try {
    add(6, 5);
    ADD_FAILURE() << "no stop";
  } catch (const Stop& s) {
    EXPECT_EQ(s.message,
              " BAND WIDTH EXCEEDED BY MEMBER 1 : EQUATIONS 1 TO 6 NEED 6 , BAND WIDTH = 5 ,"
              " MATRIX SIZE = 6");
  }
  ieq = {2, 3, 4, 5, 6, 7};  // within the band, past the last row
  EXPECT_THROW(add(6, 6), Stop);
  EXPECT_EQ(a, std::vector<double>(36, 0.0));
  EXPECT_EQ(r, std::vector<double>(6, 0.0));
}

TEST(ApplyPrescribed, PenaltyLoadAndSolve) {
  // Joint 2 shares joint 1's equations; K = [10 2 0; 2 8 1; 0 1 5]. X is
  // prescribed at both (2, then 4); joint 2 Y has a negative flag.
  for (int impose : {1, 0}) {
    std::vector<double> a{10, 8, 5, 2, 1, 0}, b(6, 3.0), x(6), pd{2, 4, 0, 9, 0, 0};
    std::vector<int> ieq{1, 2, 3, 1, 2, 3}, lt{1, 1, 0, -1, 0, 0};
    const RMat A(a.data(), 3, 2), B(b.data(), 3, 2);
    apply_prescribed(2, B, RVec(pd.data(), 6), IVec(lt.data(), 6), 2, IVec(ieq.data(), 6), impose, 2,
                    0.25);
    EXPECT_EQ(a, (std::vector<double>{10, 8, 5, 2, 1, 0}));  // the member pass puts the penalty
    EXPECT_EQ(b, (std::vector<double>{impose * 0.25 * 1e25 * 4, 3, 3, impose * 1e25, 3, 3}));
    a[0] = PENALTY;
    double det = 0;
    TextOut out;
    band_solve(3, 2, 2, B, A, RMat(x.data(), 3, 2), IVec(lt.data(), 6), 2, det,
              IVec(ieq.data(), 6), 2, out);
    const double u1 = impose;  // then [8 1; 1 5] (u2, u3) = (3 - 2 u1, 3)
    const double u3 = (3 - (3 - 2 * u1) / 8) / (5 - 1.0 / 8), u2 = (3 - 2 * u1 - u3) / 8;
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(x[k], (k % 3 == 0 ? u1 : k % 3 == 1 ? u2 : u3), 1e-12);
    EXPECT_NEAR(det, std::log(8 * 4.875 * 4.875), 1e-12);  // no penalty pivot in it
  }
}

// Without members the band width is 0, yet every row keeps its diagonal.
TEST(GeneralBand, NoBandWidthStillStoresTheDiagonal) {
  std::vector<double> a(GeneralBand::size(3, 0), NaN);
  ASSERT_EQ(a.size(), 3u);
  GeneralBand g{a.data(), 3, 0};
  g.clear();
  for (int e = 1; e <= 3; ++e) g(e, e) += e;
  EXPECT_EQ(a, (std::vector<double>{1, 2, 3}));
}

// The elimination runs along the rows' storage; taken in two ranges it must
// give the plain loop's bits (a multiplier of zero leaving its row alone),
// on a band with zero entries and a model without band width alike.
TEST(GeneralBand, EliminationSameBitsAsThePlainLoop) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (auto [n, mb] : {std::pair{40, 7}, std::pair{12, 12}, std::pair{5, 1}}) {
    std::vector<double> a(GeneralBand::size(n, mb), NaN);
    GeneralBand G{a.data(), n, mb};
    for (int i = 1; i <= n; ++i)
      for (int j = std::max(1, i - mb + 1); j <= std::min(n, i + mb - 1); ++j)
        G(i, j) = i == j ? 4.0 * mb : (u(gen) > 0.3 ? u(gen) : (i + j) % 2 ? 0.0 : -0.0);
    std::vector<double> want = a;
    GeneralBand W{want.data(), n, mb};
    for (int k = 1; k <= n - 1; ++k)
      for (int r = k + 1; r <= std::min(k + mb - 1, n); ++r) {
        if (W(r, k) == 0.0) continue;
        W(r, k) *= 1.0 / W(k, k);
        for (int c = k + 1; c <= std::min(k + mb - 1, n); ++c) W(r, c) -= W(r, k) * W(k, c);
      }
    G.reduce(1, n / 2);
    G.reduce(n / 2 + 1, n - 1);
    EXPECT_EQ(std::memcmp(a.data(), want.data(), a.size() * sizeof(double)), 0) << n << " " << mb;
  }
}

// Unsymmetric band systems, some pivots negative (the path followed past a
// limit point): the solution against the dense residual, the
// log-determinant against a dense elimination with row interchanges, and
// the count of negative pivots against the sign of that determinant. The
// places of the row storage outside the matrix hold NaN.
TEST(GeneralBand, RandomBandSystemsAgainstDenseResidualAndDeterminant) {
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const std::pair<int, int> sizes[] = {{3, 1}, {3, 2}, {9, 3}, {30, 6}, {24, 24}, {150, 100}};
  for (auto [n, mb] : sizes) {
    for (int nr : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "NEQ " << n << " MBAND " << mb << " NRHS " << nr);
      std::vector<double> K(n * n, 0.0);
      for (int i = 0; i < n; ++i)
        for (int j = std::max(0, i - mb + 1); j < std::min(n, i + mb); ++j)
          K[i + j * n] = i == j ? (i % 5 == 2 ? -1.0 : 1.0) * (1.0 + 2.0 * mb) : u(gen);
      std::vector<double> g(GeneralBand::size(n, mb), NaN);
      GeneralBand G{g.data(), n, mb};
      for (int i = 1; i <= n; ++i)
        for (int j = std::max(1, i - mb + 1); j <= std::min(n, i + mb - 1); ++j) G(i, j) = K[(i - 1) + (j - 1) * n];
      const int ld = n + 2;
      std::vector<double> b(ld * std::max(nr, 1)), x(b.size(), NaN);
      for (double& v : b) v = 10 * u(gen);
      const std::vector<double> b0 = b;
      std::vector<int> ieq(n), lt(n, 0);
      for (int k = 0; k < n; ++k) ieq[k] = k + 1;
      PivotCount count;
      count.follow = true;
      double det = 0;
      TextOut out;
      G.solve(0, nr, RMat(b.data(), ld, nr), RMat(x.data(), ld, nr), IVec(lt.data(), n), n / 3, det,
              IVec(ieq.data(), n), n / 3, out, &count);
      for (int c = 0; c < nr; ++c)  // residual K x - b
        for (int i = 0; i < n; ++i) {
          double r = -b0[i + c * ld];
          for (int j = 0; j < n; ++j) r += K[i + j * n] * x[j + c * ld];
          EXPECT_NEAR(r, 0.0, 1e-11) << i;
        }
      double logdet = 0;
      bool negative = false;
      for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i)
          if (std::fabs(K[i + k * n]) > std::fabs(K[p + k * n])) p = i;
        if (p != k) {
          for (int j = 0; j < n; ++j) std::swap(K[k + j * n], K[p + j * n]);
          negative = !negative;
        }
        const double pivot = K[k + k * n];
        for (int i = k + 1; i < n; ++i) {
          const double l = K[i + k * n] / pivot;
          for (int j = k + 1; j < n; ++j) K[i + j * n] -= l * K[k + j * n];
        }
        logdet += std::log(std::fabs(pivot));
        if (pivot < 0) negative = !negative;
      }
      EXPECT_NEAR(det, logdet, 1e-12 * std::fabs(logdet));
      EXPECT_GT(count.negative, 0);
      EXPECT_EQ(count.negative % 2 == 1, negative);
    }
  }
}

}  // namespace
}  // namespace nlf
