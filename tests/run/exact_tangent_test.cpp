// Newton's method with the exact tangent (X6 = 1): quadratic convergence on
// an elastic cantilever bent through large rotations, on the same path as
// the usual tangent.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;

// 8 steps of 20 t at the tip of a 300 cm elastic cantilever (the tip turns
// by about 0.5 radian); the ratio column of each step, in order.
std::vector<std::vector<double>> ratios(double x6, double& tip) {
  test::TempDir dir;
  const std::string deck = "   0  0  1     CANTILEVER\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                           card('O', 1, 0, 0, {20, 10, 0, 0, 0, 1000}) + card('J', 1, 0, 0, {0, 0}) +
                           card('J', 2, 0, 0, {300, 0}) + card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) +
                           card('W', 0, 0, 0, {2.22}) + card('L', 30, 1) + card('B', 1, 111) +
                           card('B', 2, 0, 0, {0, -20}) + card('E', 0, 8, 1, {1e-14, 0, 0, 0, 0, x6}) +
                           "F\n";
  const auto r = test::run_program(dir.path(), deck);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::vector<double>> steps;
  for (const std::string& line : test::read_lines(dir / "R.rst")) {
    if (line.rfind(" STEP ", 0) == 0) steps.emplace_back();
    std::istringstream in(line);
    int it;
    double a, b, ratio;
    if (!steps.empty() && line.size() > 2 && line[0] == ' ' && in >> it >> a >> b >> ratio)
      steps.back().push_back(ratio);
  }
  const auto curve = test::read_lines(dir / "fort.61");
  std::istringstream(curve.back()) >> tip >> tip;
  return steps;
}

TEST(ExactTangent, ConvergesQuadraticallyOnTheSamePath) {
  double tip0 = 0, tip1 = 0;
  const auto usual = ratios(0, tip0), exact = ratios(1, tip1);
  ASSERT_EQ(exact.size(), 8u);
  size_t n0 = 0, n1 = 0;
  for (size_t k = 0; k < exact.size(); ++k) {
    const std::vector<double>& r = exact[k];
    SCOPED_TRACE(k + 1);
    EXPECT_LE(r.size(), 5u);
    EXPECT_LT(r.back(), 1e-14);
    // Once the step is close, every iteration squares the ratio (or better).
    for (size_t i = 1; i + 1 < r.size(); ++i)
      if (r[i] < 1e-4) {
        EXPECT_LT(r[i + 1], std::pow(r[i], 1.5)) << "iteration " << i + 2;
      }
    n0 += usual[k].size();
    n1 += r.size();
  }
  EXPECT_LT(1.5 * n1, n0);
  EXPECT_NEAR(tip1, tip0, 1e-3 * std::fabs(tip0));  // about 0.6 m down
}

}  // namespace
}  // namespace nlf
