#include "results/peaks.h"

#include <gtest/gtest.h>

namespace nlf::results {
namespace {

// A row of Jfor.rst (joint, then unbalanced, applied, internal X Y M) or
// of Jdis.rst (joint, then three groups of U V T) with `x` in the internal
// X or total U place.
std::vector<std::string> row(int joint, const std::string& x) {
  std::vector<std::string> r(10, "0.000");
  r[0] = std::to_string(joint);
  r[7] = x;
  return r;
}

// A group that pushes two joints peaks at the largest sum of their
// resisting forces, in size; one under arc-length control at its largest
// load factor, the sum of its steps' increments.
TEST(Peaks, PushedJointsSummedAndLoadFactorsAdded) {
  ListingSummary l;
  ListedGroup arc{'E', true, 1, 2, {}, 2, {}};
  ListedGroup push{'E', false, 3, 3, {{2, 1}, {3, 1}}, 3, {}};
  l.groups = {arc, push};
  for (int s = 1; s <= 5; ++s) l.steps.push_back({s, 3, 0, 1e-8, true, s == 1 ? 0.75 : (s == 2 ? -0.25 : 0)});
  std::vector<TableBlock> jfor, jdis;
  const char* f2[] = {"-1.000", "-2.500", "-2.000"};
  for (int s = 3; s <= 5; ++s) {
    jfor.push_back({s, 0, {row(1, "9.000"), row(2, f2[s - 3]), row(3, "-1.000")}});
    jdis.push_back({s, 0, {row(1, "0"), row(2, std::to_string(10 * s)), row(3, "0")}});
  }
  const std::vector<GroupPeak> p = group_peaks(l, jfor, jdis);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].kind, GroupPeak::Kind::kLoadFactor);
  EXPECT_DOUBLE_EQ(p[0].value, 0.75);
  EXPECT_EQ(p[0].step, 1);
  EXPECT_EQ(p[1].kind, GroupPeak::Kind::kForce);
  EXPECT_DOUBLE_EQ(p[1].value, -3.5);
  EXPECT_EQ(p[1].step, 4);
  EXPECT_EQ(p[1].joint, 2);
  EXPECT_DOUBLE_EQ(p[1].displacement, 40);
}

// How far a peak can be trusted: a group whose value is still at its
// largest when it ends has passed no peak (for a push: its force, in
// size); a peak from a step that stopped at its iteration limit says so;
// a step the run stopped in adds nothing.
TEST(Peaks, PassedAndConvergedFlags) {
  ListingSummary l;
  l.groups = {{'E', false, 1, 2, {}, 2, {}},             // load control: always rising
              {'E', true, 3, 4, {}, 4, {}},              // arc length over a top in step 4
              {'E', false, 7, 3, {{2, 1}}, 3, {}},       // a push that falls off in size
              {'E', false, 10, 2, {{2, 1}}, 2, {}}};     // a push still rising at its end
  const double dl[] = {0, 0, 0.5, 0.25, -0.5, 0.1};  // steps 3-6: 0.5, 0.75, 0.25, 0.35
  for (int s = 1; s <= 11; ++s) l.steps.push_back({s, 3, 0, 1e-8, s != 4 && s != 8, s <= 6 ? dl[s - 1] : 0});
  l.steps.back().done = false;  // the run stopped in step 11
  l.steps.back().converged = false;
  std::vector<TableBlock> jfor, jdis;
  const char* force[] = {"-1.000", "-3.000", "2.500", "1.000", "2.000"};  // steps 7-11
  for (int s = 7; s <= 11; ++s) {
    jfor.push_back({s, 0, {row(2, force[s - 7])}});
    jdis.push_back({s, 0, {row(2, "1.0")}});
  }
  jfor.pop_back();  // step 11 was not done, so not written
  const std::vector<GroupPeak> p = group_peaks(l, jfor, jdis);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_DOUBLE_EQ(p[0].value, 2);
  EXPECT_FALSE(p[0].passed);
  EXPECT_TRUE(p[0].converged);
  EXPECT_DOUBLE_EQ(p[1].value, 0.75);
  EXPECT_EQ(p[1].step, 4);
  EXPECT_TRUE(p[1].passed);
  EXPECT_FALSE(p[1].converged);
  EXPECT_DOUBLE_EQ(p[2].value, -3);
  EXPECT_TRUE(p[2].passed);
  EXPECT_FALSE(p[2].converged);
  EXPECT_EQ(p[3].step, 10);
  EXPECT_FALSE(p[3].passed);
  EXPECT_TRUE(p[3].converged);
  l.groups = {{'E', false, 9, 3, {}, 3, {}}};  // load control, stopped in its third step
  const std::vector<GroupPeak> stopped = group_peaks(l, {}, {});
  ASSERT_EQ(stopped.size(), 1u);
  EXPECT_DOUBLE_EQ(stopped[0].value, 2);
  EXPECT_EQ(stopped[0].step, 10);
}

}  // namespace
}  // namespace nlf::results
