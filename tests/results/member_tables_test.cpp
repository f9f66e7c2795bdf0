#include "results/member_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "results/result_files.h"

namespace nlf::results {
namespace {

using test::split;
using test::elastic;

TEST(MemberDisplacements, ReadsTotalsInCentimetres) {
  test::MemberDisp m1{1, 2, {}}, m2{2, 3, {}};
  for (std::size_t k = 0; k < 6; ++k) {
    m1.cm[k] = {0.1 * k, -0.02 * k};
    m2.cm[k] = {1.5, 2.0e-3 * k};
  }
  const auto steps = parse_displacement_lines("Mdis.rst", split(test::mdis_file({{5, {m1, m2}}, {10, {m2, m1}}})));
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].step, 5);
  ASSERT_EQ(steps[0].members.size(), 2u);
  EXPECT_TRUE(steps[0].complete);
  EXPECT_EQ(steps[0].members[1].jb, 3);
  EXPECT_NEAR(steps[0].members[0].node[5].dx, 0.5, 1e-9);
  EXPECT_NEAR(steps[0].members[0].node[3].dy, -0.06, 1e-9);
  EXPECT_NEAR(steps[0].members[1].node[4].dy, 8.0e-3, 1e-9);
  EXPECT_EQ(find_step(steps, 10), &steps[1]);
  EXPECT_EQ(find_step(steps, 7), nullptr);
}

TEST(MemberDisplacements, CutOffForeignAndDisorderedBlocks) {
  test::MemberDisp m{1, 2, {}};
  auto lines = split(test::mdis_file({{3, {m, m}}}));
  auto cut = lines;
  cut.resize(cut.size() - 2);  // the last two node lines of member 2
  cut.back().resize(60);       // and half of the one before
  const auto steps = parse_displacement_lines("Mdis.rst", cut);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_FALSE(steps[0].complete);
  EXPECT_EQ(steps[0].members.size(), 1u);

  const std::size_t first = lines.size() - 12;  // node 1 of member 1
  auto swapped = lines;
  std::swap(swapped[first + 1], swapped[first + 2]);
  EXPECT_THROW(parse_displacement_lines("Mdis.rst", swapped), ResultError);
  auto foreign = lines;
  foreign.push_back(" JOINT     U(MM)");
  EXPECT_THROW(parse_displacement_lines("Mdis.rst", foreign), ResultError);
  auto nan = lines;
  nan[first + 3].replace(96, 12, "         NaN");
  EXPECT_THROW(parse_displacement_lines("Mdis.rst", nan), ResultError);
}

TEST(MemberStresses, CountsFibresAtTheirBounds) {
  auto s = elastic();
  s[0] = "++++++..........----";
  s[9] = "++++++++++++++++++++";
  const auto steps = parse_stress_lines("Mstr.rst", split(test::banner() + test::mstr_block(4, {{1, 2, s}, {2, 3, elastic()}})));
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].step, 4);
  ASSERT_EQ(steps[0].members.size(), 2u);
  const MemberStations& m = steps[0].members[0];
  EXPECT_EQ(m.count, kStations);
  EXPECT_EQ(m.station[0].upper, 6);
  EXPECT_EQ(m.station[0].lower, 4);
  EXPECT_EQ(m.station[9].plastic(), 20);
  EXPECT_EQ(m.station[5].plastic(), 0);
  EXPECT_EQ(steps[0].members[1].jb, 3);
  // The strains of the outer fibres that end the two halves of a section line, in per cent.
  EXPECT_EQ(outer_strains(m.text[0]), (std::array<double, 2>{0.012, -0.012}));
  EXPECT_TRUE(std::isnan(outer_strains(m.text[0].substr(0, 100))[1]));
  EXPECT_TRUE(std::isnan(outer_strains(m.text[0].substr(0, 28) + "******)")[0]));
  // The strains of the outer fibres that end the two halves of a section line, in per cent.
  EXPECT_EQ(outer_strains(m.text[0]), (std::array<double, 2>{0.012, -0.012}));
  EXPECT_TRUE(std::isnan(outer_strains(m.text[0].substr(0, 100))[1]));
  EXPECT_TRUE(std::isnan(outer_strains(m.text[0].substr(0, 28) + "******)")[0]));

  auto bad = elastic();
  bad[3] = "....x...............";
  EXPECT_THROW(parse_stress_lines("Mstr.rst", split(test::mstr_block(1, {{1, 2, bad}}))), ResultError);
  auto lines = split(test::mstr_block(1, {{1, 2, elastic()}, {2, 3, elastic()}}));
  lines.erase(lines.begin() + 5);  // a section line of member 1
  EXPECT_THROW(parse_stress_lines("Mstr.rst", lines), ResultError);
}

}  // namespace
}  // namespace nlf::results
