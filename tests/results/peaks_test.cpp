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
  ListedGroup arc{'E', true, 1, 2, {}};
  ListedGroup push{'E', false, 3, 3, {{2, 1}, {3, 1}}};
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

}  // namespace
}  // namespace nlf::results
