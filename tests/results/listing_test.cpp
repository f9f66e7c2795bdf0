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

// The groups of a run: the freedoms each prescribes (a B card after
// another card starts a new pattern; a group without B cards keeps the one
// before) and the load-factor increment of every step.
TEST(Listing, GroupsTheirPrescribedFreedomsAndLoadFactorIncrements) {
  const std::string heading = " ( IT.DISP , IT.DISP )    ( ST.DISP , ST.DISP )";
  char dl[100];
  std::snprintf(dl, sizeof dl, "  %3d  %20s%20s%20s%20s", 1, "1.0000E-03", "1.0000E+00", "1.0000E-12", "7.5000E-01");
  const std::vector<std::string> lines = {
      " L  3  1  0", " B  1111  0", " B  2100  0       0.5        1.", " E  1  1  1     1E-08",
      " STEP   1" + heading, " E  1  1  1     1E-08", " STEP   2" + heading,
      " K  1", " B  1111  0", " B  3  0  0        1.", " E  0  2  1     1E-08        1.",
      " STEP   3" + heading, dl, dl, " STEP   4" + heading, dl, " F"};
  const ListingSummary s = parse_listing("R.rst", lines);
  ASSERT_EQ(s.groups.size(), 3u);
  ASSERT_EQ(s.groups[0].prescribed.size(), 1u);  // joint 1 is held at zero; joint 2 Y carries a force
  EXPECT_EQ(s.groups[0].prescribed[0].joint, 2);
  EXPECT_EQ(s.groups[0].prescribed[0].dir, 1);
  EXPECT_EQ(s.groups[1].prescribed.size(), 1u);
  EXPECT_EQ(s.groups[1].first_step, 2);
  EXPECT_TRUE(s.groups[2].prescribed.empty());
  EXPECT_TRUE(s.groups[2].arc_length);
  EXPECT_EQ(s.groups[2].steps, 2);
  EXPECT_DOUBLE_EQ(s.steps[2].dlambda, 1.5);
  EXPECT_DOUBLE_EQ(s.steps[3].dlambda, 0.75);
}

}  // namespace
}  // namespace nlf::results
