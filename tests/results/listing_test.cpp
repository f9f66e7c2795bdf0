#include "results/listing.h"

#include <gtest/gtest.h>

namespace nlf::results {
namespace {

std::string iteration(int iter, const char* ratio) {
  char b[100];
  std::snprintf(b, sizeof b, "  %3d  %20s%20s%20s%20s", iter, "1.0000E-03", "1.0000E+00", ratio, "0.0000E+00");
  return b;
}

TEST(Listing, IterationsAndTheToleranceOfEachGroup) {
  const std::string heading = " ( IT.DISP , IT.DISP )    ( ST.DISP , ST.DISP )";
  const std::vector<std::string> lines = {
      " L  3  1  0", " E  0  2  1     1E-08", "", " STEP   1" + heading, "+   3.8513E+01",
      iteration(1, "1.0000E+00"), iteration(2, "1.0000E-10"),              // met
      " STEP   2" + heading, iteration(1, "1.0000E+00"), iteration(2, "1.0000E-05"),
      iteration(3, "1.0000E-06"),                                          // stopped at the limit
      " $ a looser group", " A  0  2  1     1E-04",
      " STEP   3" + heading, iteration(1, "1.0000E+00"), iteration(2, "1.0000E-06"),
      " STEP   4" + heading, iteration(1, "1.0000E+00"), iteration(2, "       NaN")};  // NaN stops as met
  const ListingSummary s = parse_listing("R.rst", lines);
  ASSERT_EQ(s.steps.size(), 4u);
  EXPECT_EQ(s.iterations(), 9);
  EXPECT_EQ(s.steps[2].tolerance, 1e-4);
  EXPECT_EQ(s.not_converged(), std::vector<int>{2});
  EXPECT_EQ(step_ranges({5, 7, 8, 9, 54, 55, 56, 200}), "5, 7-9, 54-56, 200");
  EXPECT_EQ(step_ranges({}), "");
}

}  // namespace
}  // namespace nlf::results
