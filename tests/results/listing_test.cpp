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

// Why each group ended: the lines the run writes ("END OF THE GROUP: ...",
// where a failure at the arc length's floor takes its step back), the
// card after the steps, or the stop of the run.
TEST(Listing, WhyEachGroupEnded) {
  const std::string heading = " ( IT.DISP , IT.DISP )    ( ST.DISP , ST.DISP )";
  const auto step = [&](int n, bool done = true) {
    std::vector<std::string> v = {" STEP" + std::string(n < 10 ? "   " : "  ") + std::to_string(n) + heading,
                                  iteration(1, "1.0000E+00")};
    if (done) v.push_back(iteration(2, "1.0000E-10"));
    return v;
  };
  std::vector<std::string> lines = {" L  4  1  0", " E  0  2  1     1E-08"};
  const auto add = [&](const std::vector<std::string>& v) { lines.insert(lines.end(), v.begin(), v.end()); };
  add(step(1)), add(step(2));
  lines.push_back(" E  0  9  1     1E-08       0.5        1.        4.       0.8");
  add(step(3)), add(step(4));
  lines.push_back(" END OF THE GROUP: LOAD FACTOR  1.0732E+00 IS BELOW 0.800 OF THE LARGEST  1.3671E+00 AT STEP    3");
  lines.push_back(" E  0  9  1     1E-08       0.5");
  add(step(5)), add(step(6, false));
  lines.push_back(" END OF THE GROUP: STEP    6 DIVERGED WITH THE ARC LENGTH AT ITS FLOOR  1.0000E-03");
  lines.push_back(" E  0  9  1     1E-08       0.5");
  add(step(6));
  lines.push_back(" END OF THE GROUP: FIBRE STRAIN  2.1395E-02 AT MEMBER   32 STATION 10 EXCEEDS THE LIMIT  2.0000E-02");
  lines.push_back(" E  0  3  1     1E-08");
  add(step(7)), add(step(8, false));
  lines.push_back(" ERROR ... STEP    8: SEGMENT 2 OF MEMBER    3 HAS NO LENGTH LEFT");
  ListingSummary s = parse_listing("R.rst", lines);
  using K = GroupEnd::Kind;
  ASSERT_EQ(s.groups.size(), 5u);
  EXPECT_EQ(s.steps.size(), 8u);  // the attempt at step 6 that failed at the floor is not one
  EXPECT_EQ(s.groups[0].end.kind, K::kSteps);
  EXPECT_EQ(s.groups[0].planned, 2);
  const GroupEnd& drop = s.groups[1].end;
  EXPECT_EQ(drop.kind, K::kDrop);
  EXPECT_EQ(drop.step, 4);
  EXPECT_DOUBLE_EQ(drop.limit, 0.8);
  EXPECT_EQ(drop.peak_step, 3);
  EXPECT_EQ(s.groups[1].planned, 9);
  const GroupEnd& floor = s.groups[2].end;
  EXPECT_EQ(floor.kind, K::kFloor);
  EXPECT_EQ(floor.cause, "diverged");
  EXPECT_EQ(floor.step, 5);
  EXPECT_EQ(s.groups[2].steps, 1);
  EXPECT_DOUBLE_EQ(floor.value, 1e-3);
  const GroupEnd& strain = s.groups[3].end;
  EXPECT_EQ(strain.kind, K::kStrainLimit);
  EXPECT_EQ(strain.step, 6);
  EXPECT_EQ(strain.member, 32);
  EXPECT_EQ(strain.station, 10);
  EXPECT_DOUBLE_EQ(strain.value, 0.021395);
  EXPECT_DOUBLE_EQ(strain.limit, 0.02);
  EXPECT_EQ(s.groups[4].end.kind, K::kStopped);
  EXPECT_EQ(s.groups[4].end.step, 8);
  EXPECT_EQ(s.groups[4].end.cause, "segment 2 of member 3 has no length left");
  EXPECT_FALSE(s.finished);

  lines.back() = "";  // a pivot that is not positive
  lines.insert(lines.end(), {" DIAG   12(   10) is not positive      -0.123456E-01", " PROGRAM STOP"});
  s = parse_listing("R.rst", lines);
  EXPECT_EQ(s.groups[4].end.cause, "a pivot of the stiffness matrix is not positive");
  lines.resize(lines.size() - 5);  // the listing ends after step 7
  s = parse_listing("R.rst", lines);
  EXPECT_EQ(s.groups[4].end.kind, K::kStopped);
  EXPECT_EQ(s.groups[4].end.step, 0);
  EXPECT_EQ(s.groups[4].end.cause, "");
  lines.push_back(" F");
  s = parse_listing("R.rst", lines);
  EXPECT_TRUE(s.finished);
  EXPECT_EQ(s.groups[4].end.kind, K::kSteps);
  EXPECT_EQ(s.groups[4].end.step, 7);
}

}  // namespace
}  // namespace nlf::results
