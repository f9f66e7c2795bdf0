#include "output/step_results.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "io/units.h"
#include "store/bind.h"
#include "storage/fibre_store.h"
#include "support/test_support.h"

namespace nlf {
namespace {

using Lines = std::vector<std::string>;

// Joints 10, 20, 30 (X of 20 linked to X of 10), members 10-20 and 20-30,
// four response curves; the fibre state in memory (true) or scratch files.
class StepResultsTest : public ::testing::TestWithParam<bool> {
 protected:
  test::TempDir tmp;
  test::InDir in{tmp.path()};
  Stores st;
  Model md;
  Units units;
  FibreStore fs;

  // Two load columns are filled; the first alone is in use unless NRHS is 2.
  void build(int nrhs = 1) {
    bind_model(md, st, Sizes{2, 3, 5, 20, 0, 1, 9, 4, 2});
    md.sz.NRHS = nrhs;
    md.NJ = 3, md.NM = 2, md.NW = 4, md.NEQ = 8;
    const int ieq[9] = {1, 2, 3, 1, 4, 5, 6, 7, 8};
    for (int j = 1; j <= 3; ++j) md.JNO(j) = 10 * j, md.JMAP[10 * j] = j;
    for (int s = 1; s <= 9; ++s) {
      md.IEQ(s) = ieq[s - 1], md.R(s) = -s, md.PLOAD(s) = 10 * s;
      md.RHS(s, 1) = s, md.RHS(s, 2) = 0.5 * s;
    }
    md.IJ(1, 1) = 1, md.IJ(1, 2) = md.IJ(2, 1) = 2, md.IJ(2, 2) = 3;
    const double w[4][3] = {{30.21, 0, 10.11}, {99.12, 20.23, 10.14}, {0, 10.11}, {20.12}};
    for (int i = 1; i <= 4; ++i)
      for (int k = 1; k <= 3; ++k) md.W(i, k) = w[i - 1][k - 1];
    md.DITER(1) = 0.5, md.DITER(4) = -0.002, md.DITER(5) = 0.0123, md.DISP(6) = 0.06;
    md.DSTEP(1) = 1.0, md.DSTEP(4) = 0.25, md.DSTEP(5) = -0.5;
    md.DISP(1) = 2.0, md.DISP(4) = -1.0, md.DISP(5) = 0.0123;
    const double memf[6] = {12.5, -0.75, 1234.56, -12.5, 0.75, -98.76};
    for (int c = 1; c <= 6; ++c) md.MEMF(1, c) = memf[c - 1];
    const double dp[3][3] = {{0.5, -0.01, 0.0123}, {1.0, 2.0, -0.5}, {0.25, 0.125, 0.1}};
    for (int r = 0; r < 3; ++r)
      md.DPT(7 + r, 2) = dp[0][r], md.DPSTEP(7 + r, 2) = dp[1][r], md.DPRUN(7 + r, 2) = dp[2][r];
    md.SYM(1) = md.SYM(2) = 2.4;

    const char* names[5] = {"Mstr.rst", "Mdis.rst", "Mfor.rst", "Jdis.rst", "Jfor.rst"};
    for (int u = 17; u <= 21; ++u) units.open_text(u, names[u - 17]);
    fs.setup(st.FSTORE.data(), GetParam() ? 2 : 1, GetParam(), units);
    fs.initialise(2, md.SYM, md.EYM);
    fs.clear_increments(2);
    fs.commit_begin();
    const MemberFibres f = fs.commit_member(1);
    const double sig[5] = {-0.125, 0.125, 2.4, -2.4, 2.5};
    for (int i = 0; i < 5; ++i) f.SIG[MemberFibres::at(i + 1, 1)] = sig[i];
    // (fibre, section, strain)
    const double eps[8][3] = {{1, 1, 0.004},  {20, 1, -0.002},  {10, 1, 0.001},   {11, 1, 0.003},
                              {1, 10, -0.001}, {20, 10, 0.001}, {10, 10, -0.0005}, {11, 10, -0.0005}};
    for (auto& e : eps) f.EPS[MemberFibres::at(int(e[0]), int(e[1]))] = e[2];
    fs.commit_put(1);
    fs.commit_end();
  }

  Lines file(const char* name) {
    units.close_all();
    return test::read_lines(tmp / name);
  }
};

TEST_P(StepResultsTest, JointAndMemberForceLines) {
  build();
  step_results(md, fs, units, 7, 0);
  const Lines jf = file("Jfor.rst"), jd = file("Jdis.rst"), mf = file("Mfor.rst");
  ASSERT_EQ(jf.size(), 6u);
  EXPECT_EQ(jf[0].substr(0, 13), " STEP   7  /-");
  EXPECT_EQ(jf[2], "");
  // AC. LOAD of the linked X of joint 20 is the entry of equation 1.
  EXPECT_EQ(jf[4], "    20   " "       1.000       4.000       5.000  "
                   "      20.000      50.000      80.000  " "      -4.000      -5.000      -6.000");
  ASSERT_EQ(jd.size(), 6u);
  EXPECT_EQ(jd[4], "    20      500.0E-02    -200.0E-04     1.230"
                   "     100.0E-01     250.0E-02   -50.000     200.0E-01    -100.0E-01     1.230");
  ASSERT_EQ(mf.size(), 5u);
  EXPECT_EQ(mf[3], "   1  10- 20     12.500(  0.2000)   -12.500( -0.0500)        -0.750        0.750"
                   "     1234.6(  0.6000)     -98.8( -0.2000)");
}

TEST_P(StepResultsTest, TwoLoadColumnsAreSummed) {
  build(2);
  step_results(md, fs, units, 7, 0);
  EXPECT_EQ(file("Jfor.rst")[4].substr(0, 45), "    20   " "       1.500       6.000       7.500");
}

TEST_P(StepResultsTest, ResponseCurves) {
  build();
  step_results(md, fs, units, 7, 0);
  // The scan stops at the first zero code; an unknown joint or direction
  // counts with a zero value.
  EXPECT_EQ(file("fort.61"), Lines{"     7     6.0000E-01"});
  EXPECT_EQ(file("fort.62"), Lines{"     7     0.0000E+00    1.2300E+00    0.0000E+00"});
  EXPECT_EQ(file("fort.63"), Lines{"     7"});
  EXPECT_EQ(file("fort.64"), Lines{"     7    -5.0000E+00"});
}

TEST_P(StepResultsTest, MemberDisplacementsOnlyOnDetailSteps) {
  build();
  step_results(md, fs, units, 7, 0);
  step_results(md, fs, units, 8, 1);
  const Lines l = file("Mdis.rst"), s = file("Mstr.rst");
  ASSERT_EQ(l.size(), 13u);  // step 8 only: heading and six lines per member
  EXPECT_EQ(l[0].substr(0, 24), " STEP   8              /");
  EXPECT_EQ(l[6].substr(0, 16), "   1( 10- 20)  6");
  EXPECT_EQ(l[9], "   2( 20- 30)  3       5.000E+00    -1.000E-01     1.230     1.000E+01"
                  "     2.000E+01   -50.000     2.500E+00     1.250E+00    10.000");
  // The fibre state is read from its start again for the second step.
  ASSERT_EQ(s.size(), 2 * 24u);
  EXPECT_EQ(s[24 + 3], s[3]);
}

TEST_P(StepResultsTest, StressTableRoundsAndMarksBounds) {
  build();
  step_results(md, fs, units, 1234, 0);
  const Lines l = file("Mstr.rst");
  ASSERT_EQ(l.size(), 2u + 2 * 11);  // ten section lines per member
  EXPECT_EQ(l[1], " STEP1234");
  EXPECT_EQ(l[2], " STEP=***  STRESS OF MEMBER (  1)  10- 20");
  EXPECT_EQ(l[3], "   1  ..+-+............... ( 0.400) -13  13 240-240 250"
                  "   0   0   0   0   0   0   0   0   0   0   0   0   0   0   0 (-0.200)");
  EXPECT_EQ(l[12].substr(0, 7), "  10  .");
  EXPECT_EQ(l[13], " STEP=***  STRESS OF MEMBER (  2)  20- 30");
}

INSTANTIATE_TEST_SUITE_P(FibreModes, StepResultsTest, ::testing::Bool());

TEST(CurveCode, EveryJointKindAndDirectionDecodes) {
  char text[16];
  for (int j = 1; j <= 999; ++j)
    for (int k = 1; k <= 2; ++k)
      for (int d = 1; d <= 3; ++d) {
        std::snprintf(text, sizeof text, "%d.%d%d", j, k, d);
        const CurveCode c = decode_curve_code(std::strtod(text, nullptr));
        ASSERT_TRUE(c.J == j && c.K == k && c.D == d) << text;
      }
  EXPECT_EQ(decode_curve_code(1e30).J, -1);
}

TEST(StressValue, RoundsHalvesAwayFromZero) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> any(-40.0, 40.0);
  std::vector<double> values = {0.005, -0.005, 0.0049999999999999, 0.025, -0.125, 0.0, -0.0,
                                9999999.995, -10000000.0, 0.49999999999999994 / 100};
  for (int i = 0; i < 20000; ++i) {
    values.push_back(any(rng));
    const double half = (std::floor(any(rng) * 100) + 0.5) / 100;  // next to a half
    values.push_back(half);
    values.push_back(std::nextafter(half, 0.0));
    values.push_back(std::nextafter(half, 1e300));
  }
  for (double s : values)
    ASSERT_EQ(stress_value(s), static_cast<int>(std::round(s * 100.0))) << s;
}

TEST(StressValue, OutOfRangeStaysDefinedAndTooWide) {
  EXPECT_LT(stress_value(-1e300), -9999);
  EXPECT_GT(stress_value(1e300), 9999);
  EXPECT_LT(stress_value(std::nan("")), -9999);
}

}  // namespace
}  // namespace nlf
