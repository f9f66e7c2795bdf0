#include "results/base_shear.h"

#include <gtest/gtest.h>

#include "results/result_files.h"
#include "support/card.h"

namespace nlf::results {
namespace {

using nlf::test::card;
using test::split;

// A row of Jfor.rst with the internal force X, or of Jdis.rst with the
// total displacement U.
std::vector<std::string> force_row(int joint, const std::string& fx) {
  return {std::to_string(joint), "0", "0", "0", "0", "0", "0", fx, "0", "0"};
}
std::vector<std::string> disp_row(int joint, const std::string& u) {
  return {std::to_string(joint), "0", "0", "0", "0", "0", "0", u, "0", "0"};
}

TEST(BaseShear, SumOfTheHorizontalReactionsAgainstTheJointThatSwaysMost) {
  // Joints 1 and 2 held, joint 3 loaded sideways, joint 4 pushed by a
  // prescribed displacement (no support).
  const std::string deck = "   0  0  1     FRAME\n" + card('J', 1) + card('J', 2, 0, 0, {600}) +
                           card('J', 3, 0, 0, {0, 300}) + card('J', 4, 0, 0, {600, 300}) + card('L', 20, 1) +
                           card('B', 1, 111) + card('B', 2, 110) + card('B', 3, 0, 0, {1}) + card('B', 4, 100, 0, {0.1}) +
                           card('E') + card('F');
  const Frame f = parse_frame("deck.dat", split(deck));
  auto forces = [](int step, const char* r1, const char* r2) {
    return TableBlock{step, 0, {force_row(1, r1), force_row(2, r2), force_row(3, "0"), force_row(4, "-9")}};
  };
  auto disp = [](int step, const char* u3, const char* u4) {
    return TableBlock{step, 0, {disp_row(1, "0"), disp_row(2, "0"), disp_row(3, u3), disp_row(4, u4)}};
  };
  const std::vector<TableBlock> jfor{forces(1, "-0.5", "-0.25"), forces(2, "-1.5", "-1"), forces(3, "-1", "-0.5"),
                                     forces(4, "-3", "-3")};
  const std::vector<TableBlock> jdis{disp(1, "1.5", "1"), disp(2, "-7", "5"), disp(3, "12", "11")};
  const auto b = base_shear(f, jfor, jdis);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->supports, (std::vector<int>{1, 2}));
  EXPECT_EQ(b->joint, 3);
  ASSERT_EQ(b->points.size(), 3u);  // step 4 has no displacements
  EXPECT_DOUBLE_EQ(b->points[1].shear, 2.5);
  EXPECT_DOUBLE_EQ(b->points[1].drift, -7);
  EXPECT_EQ(b->points[b->peak].step, 2);

  // Without a sideways push, or without supports, there is no base shear.
  Frame still = f;
  still.lateral = false;
  EXPECT_FALSE(base_shear(still, jfor, jdis));
  Frame free = f;
  for (Joint& j : free.joints) j.held = 0;
  EXPECT_FALSE(base_shear(free, jfor, jdis));
}

}  // namespace
}  // namespace nlf::results
