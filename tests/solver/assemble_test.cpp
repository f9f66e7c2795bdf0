#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "io/stop.h"
#include "solver/band.h"

namespace nlf {
namespace {

// One member between two joints; S(r,c) = 10r + c tells which triangle was read.
struct AddMember : testing::Test {
  std::vector<int> ij{1, 2}, ieq{1, 2, 3, 4, 5, 6};
  std::vector<double> a = std::vector<double>(36, 0.0), r = std::vector<double>(6, 0.0);
  std::array<double, 36> S{};
  AddMember() {
    for (int k = 0; k < 36; ++k) S[k] = 10 * (k % 6 + 1) + k / 6 + 1;
  }
  void add(int neq, int mband) {
    ADDMEMBER(1, IMat(ij.data(), 1, 2), RMat(a.data(), neq, mband), S, RVec(r.data(), 6),
              {1, 2, 3, 4, 5, 6}, IVec(ieq.data(), 6));
  }
  double A(int neq, int i, int j) const { return a[(i - 1) + (j - 1) * neq]; }
};

TEST_F(AddMember, EquationOrderDecidesTheTriangle) {
  add(6, 6);
  add(6, 6);
  EXPECT_EQ(A(6, 1, 1), 22);
  EXPECT_EQ(A(6, 2, 5), 52);  // 2 x S(2,6): upper triangle
  EXPECT_EQ(r, (std::vector<double>{2, 4, 6, 8, 10, 12}));
  a.assign(36, 0.0);
  ij = {2, 1};  // end I is joint 2: its rows come after end J's
  add(6, 6);
  EXPECT_EQ(A(6, 2, 5), 53);  // K(2,6) = S(5,3): lower triangle
  EXPECT_EQ(A(6, 1, 4), 41);
  a.assign(36, 0.0);
  r.assign(6, 0.0);
  ij = {1, 2};
  ieq = {1, 2, 3, 1, 4, 5};  // joint 2 X on joint 1 X's equation
  add(5, 5);
  EXPECT_EQ(A(5, 1, 1), 11 + 14 + 41 + 44);
  EXPECT_EQ(A(5, 1, 4), 15 + 45);
  EXPECT_EQ(r, (std::vector<double>{1, 2, 3, 4, 5, 6}));  // by joint-serial number
}

TEST_F(AddMember, OutsideTheBandStopsBeforeAdding) {
  testing::internal::CaptureStderr();
  EXPECT_THROW(add(6, 5), Stop);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            " BAND WIDTH EXCEEDED BY MEMBER 1 : EQUATIONS 1 TO 6 NEED 6 , BAND WIDTH = 5 ,"
            " MATRIX SIZE = 6\n");
  ieq = {2, 3, 4, 5, 6, 7};  // within the band, past the last row
  testing::internal::CaptureStderr();
  EXPECT_THROW(add(6, 6), Stop);
  testing::internal::GetCapturedStderr();
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
    APPLYPRESCRIBED(2, B, A, RVec(pd.data(), 6), IVec(lt.data(), 6), 2, IVec(ieq.data(), 6),
                    impose, 2, 0.25);
    EXPECT_EQ(a, (std::vector<double>{1e25, 8, 5, 2, 1, 0}));
    EXPECT_EQ(b, (std::vector<double>{impose * 0.25 * 1e25 * 4, 3, 3, impose * 1e25, 3, 3}));
    double det = 0;
    TextOut out;
    BANDSOLVE(3, 2, 2, B, A, RMat(x.data(), 3, 2), IVec(lt.data(), 6), 2, det,
              IVec(ieq.data(), 6), 2, out);
    const double u1 = impose;  // then [8 1; 1 5] (u2, u3) = (3 - 2 u1, 3)
    const double u3 = (3 - (3 - 2 * u1) / 8) / (5 - 1.0 / 8), u2 = (3 - 2 * u1 - u3) / 8;
    for (int c = 0; c < 2; ++c) {
      EXPECT_NEAR(x[3 * c], u1, 1e-12);
      EXPECT_NEAR(x[3 * c + 1], u2, 1e-12);
      EXPECT_NEAR(x[3 * c + 2], u3, 1e-12);
    }
    EXPECT_NEAR(det, std::log(8 * 4.875 * 4.875), 1e-12);  // no penalty pivot in it
  }
}

}  // namespace
}  // namespace nlf
