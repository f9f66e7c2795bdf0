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

// A failed attempt ended by a cut-back line, or a step heading written
// again, gives way to the step's next attempt; the last step is done only
// when its last iteration line stopped the iterations (past MINIT, and at
// MAXIT or below the tolerance) or a card of the load history follows it.
TEST(Listing, AttemptsCutBackAndAStepTheRunStoppedIn) {
  const std::string heading = " ( IT.DISP , IT.DISP )    ( ST.DISP , ST.DISP )";
  const auto line = [](int iter, const char* ratio, const char* dl) {
    char b[100];
    std::snprintf(b, sizeof b, "  %3d  %20s%20s%20s%20s", iter, "1.0000E-03", "1.0000E+00", ratio, dl);
    return std::string(b);
  };
  std::vector<std::string> lines = {
      " L  4  1  0", " E  0  5  1     1E-08        1.", " STEP   1" + heading,
      line(1, "1.0000E+00", "5.0000E-01"), line(2, "1.0000E-10", "0.0000E+00"),
      " STEP   2" + heading, line(1, "1.0000E+00", "4.0000E-01"), line(2, "2.0000E+00", "1.0000E-01"), "",
      " CUT BACK: STEP    2 DIVERGED", " STEP   2" + heading, line(1, "1.0000E+00", "2.0000E-01"),
      line(2, "1.0000E-10", "0.0000E+00"),
      " STEP   3" + heading, line(1, "1.0000E+00", "3.0000E-01"),  // written twice, the second counts
      " STEP   3" + heading, line(1, "1.0000E+00", "1.0000E-01"), line(2, "1.0000E-03", "0.0000E+00")};
  ListingSummary s = parse_listing("R.rst", lines);
  EXPECT_EQ(s.max_iterations, 4);
  ASSERT_EQ(s.steps.size(), 3u);
  ASSERT_EQ(s.groups.size(), 1u);
  EXPECT_EQ(s.groups[0].steps, 3);
  EXPECT_DOUBLE_EQ(s.steps[1].dlambda, 0.2);
  EXPECT_EQ(s.steps[1].iterations, 2);
  EXPECT_TRUE(s.steps[1].done);
  EXPECT_DOUBLE_EQ(s.steps[2].dlambda, 0.1);
  EXPECT_FALSE(s.steps[2].done);  // iteration 2 of 4 above the tolerance: the run stopped in it
  EXPECT_EQ(s.stopped_in(), 3);
  EXPECT_EQ(s.completed(), 2);
  EXPECT_TRUE(s.not_converged().empty());
  EXPECT_EQ(s.iterations(), 6);

  lines.push_back(line(3, "1.0000E-03", "0.0000E+00"));
  lines.push_back(line(4, "1.0000E-03", "0.0000E+00"));  // at MAXIT: done, not converged
  s = parse_listing("R.rst", lines);
  EXPECT_EQ(s.stopped_in(), 0);
  EXPECT_EQ(s.not_converged(), std::vector<int>{3});
  lines.resize(lines.size() - 2);
  lines.push_back(" F");  // a restarted run need not show MAXIT; the load history was read on
  EXPECT_EQ(parse_listing("R.rst", lines).stopped_in(), 0);
  lines.resize(lines.size() - 4);  // the first attempt at step 3, then:
  lines.push_back(" CUT BACK: STEP    3 A PIVOT IS ZERO OR NOT A NUMBER");  // and the group ends
  lines.push_back(" F");
  s = parse_listing("R.rst", lines);
  EXPECT_EQ(s.steps.size(), 2u);
  EXPECT_EQ(s.groups[0].steps, 2);
  EXPECT_EQ(s.stopped_in(), 0);
}

}  // namespace
}  // namespace nlf::results
