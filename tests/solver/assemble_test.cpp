#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "io/stop.h"
#include "solver/band.h"

namespace nlf {
namespace {

// Two joints, one member; S(r,c) = 10r + c tells which triangle was read.
struct OneMember : testing::Test {
  std::vector<int> ij{1, 2}, ieq{1, 2, 3, 4, 5, 6};
  std::vector<double> a = std::vector<double>(6 * 6, 0.0), r = std::vector<double>(6, 0.0);
  std::array<double, 36> S{};
  std::array<double, 6> F{1, 2, 3, 4, 5, 6};
  OneMember() {
    for (int i = 1; i <= 6; ++i)
      for (int j = 1; j <= 6; ++j) S[(i - 1) + 6 * (j - 1)] = 10 * i + j;
  }
  void add(int neq, int mband) {
    ADDMEMBER(1, IMat(ij.data(), 1, 2), RMat(a.data(), neq, mband), S, RVec(r.data(), 6), F,
              IVec(ieq.data(), 6));
  }
  double A(int neq, int i, int j) const { return a[(i - 1) + (j - 1) * neq]; }
};

TEST_F(OneMember, EquationOrderDecidesTheTriangle) {
  add(6, 6);
  EXPECT_EQ(A(6, 1, 1), 11);
  EXPECT_EQ(A(6, 2, 5), 26);  // S(2,6): upper triangle
  EXPECT_EQ(A(6, 6, 1), 66);
  add(6, 6);
  EXPECT_EQ(A(6, 2, 5), 52);
  EXPECT_EQ(r, (std::vector<double>{2, 4, 6, 8, 10, 12}));

  a.assign(a.size(), 0.0);
  ij = {2, 1};  // end I is joint 2: its rows come after end J's
  add(6, 6);
  EXPECT_EQ(A(6, 2, 5), 53);  // K(2,6) = S(5,3): lower triangle
  EXPECT_EQ(A(6, 1, 4), 41);
  EXPECT_EQ(A(6, 4, 1), 11);
}

TEST_F(OneMember, LinkedDirectionsAddBothOffDiagonalTerms) {
  ieq = {1, 2, 3, 1, 4, 5};  // joint 2 X on joint 1 X's equation
  add(5, 5);
  EXPECT_EQ(A(5, 1, 1), 11 + 14 + 41 + 44);
  EXPECT_EQ(A(5, 1, 4), 15 + 45);  // K(1,4): pairs (1,5) and (4,5)
  EXPECT_EQ(r[3], 4);              // forces go by joint-serial number
}

TEST_F(OneMember, MemberOutsideTheBandStopsBeforeAdding) {
  testing::internal::CaptureStderr();
  EXPECT_THROW(add(6, 5), Stop);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            " BAND WIDTH EXCEEDED BY MEMBER 1 : EQUATIONS 1 TO 6 NEED 6 , BAND WIDTH = 5 ,"
            " MATRIX SIZE = 6\n");
  EXPECT_EQ(a, std::vector<double>(36, 0.0));
  EXPECT_EQ(r, std::vector<double>(6, 0.0));
  ieq = {2, 3, 4, 5, 6, 7};  // within the band, past the last row
  testing::internal::CaptureStderr();
  EXPECT_THROW(add(6, 6), Stop);
  testing::internal::GetCapturedStderr();
}

TEST(ApplyPrescribed, PenaltyAndLoadByJointThenDirection) {
  // Joint 1 X and joint 2 X share equation 1; joint 2 Y has a negative flag.
  std::vector<int> ieq{1, 2, 3, 1, 4, 5}, lt{1, 1, 0, -1, 0, 0};
  std::vector<double> pd{3, 4, 0, 9, 0, 0}, a(5, 2.0), b(10, 7.0);
  auto apply = [&](int impose, double factor) {
    APPLYPRESCRIBED(2, RMat(b.data(), 5, 2), RMat(a.data(), 5, 1), RVec(pd.data(), 6),
                    IVec(lt.data(), 6), 2, IVec(ieq.data(), 6), impose, 2, factor);
  };
  apply(1, 0.5);
  EXPECT_EQ(a, (std::vector<double>{1e25, 2, 2, 2, 2}));
  EXPECT_EQ(b[0], 0.5 * 1e25 * 4);  // the later direction's value stands
  EXPECT_EQ(b[5], b[0]);
  EXPECT_EQ(b[3], 7.0);  // negative flag: left as assembled
  apply(0, 0.5);
  EXPECT_EQ(b[0], 0.0);
  EXPECT_EQ(b[5], 0.0);
}

TEST(ApplyPrescribed, ImposedValueDominatesTheSolve) {
  // One joint, X prescribed 2.0 at load factor 0.5.
  for (int impose : {1, 0}) {
    std::vector<double> a{10, 8, 5, 2, 1, 0}, b{3, 4, 5, 3, 4, 5}, x(6), pd{2, 0, 0};
    std::vector<int> ieq{1, 2, 3}, lt{1, 0, 0};
    double det = 0;
    TextOut out;
    APPLYPRESCRIBED(2, RMat(b.data(), 3, 2), RMat(a.data(), 3, 2), RVec(pd.data(), 3),
                    IVec(lt.data(), 3), 1, IVec(ieq.data(), 3), impose, 1, 0.5);
    BANDSOLVE(3, 2, 2, RMat(b.data(), 3, 2), RMat(a.data(), 3, 2), RMat(x.data(), 3, 2),
              IVec(lt.data(), 3), 1, det, IVec(ieq.data(), 3), 1, out);
    const double u1 = impose;  // then [8 1; 1 5] (u2, u3) = (4 - 2 u1, 5)
    const double u3 = (5 - (4 - 2 * u1) / 8) / (5 - 1.0 / 8), u2 = (4 - 2 * u1 - u3) / 8;
    for (int c = 0; c < 2; ++c) {
      EXPECT_NEAR(x[3 * c], u1, 1e-12);
      EXPECT_NEAR(x[3 * c + 1], u2, 1e-12);
      EXPECT_NEAR(x[3 * c + 2], u3, 1e-12);
    }
    EXPECT_NEAR(det, std::log(39.0), 1e-12);  // the penalty pivot is left out
  }
}

}  // namespace
}  // namespace nlf
