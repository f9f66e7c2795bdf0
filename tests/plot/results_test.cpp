#include "plot/results.h"

#include <gtest/gtest.h>

#include <cmath>

#include "plot/plot_test_util.h"

namespace nlf::plot {
namespace {

using test::curve_file;
using test::elastic;
using test::split;

TEST(ReadReal, PrintedForms) {
  EXPECT_DOUBLE_EQ(*read_real("  -5.000E-02"), -0.05);
  EXPECT_DOUBLE_EQ(*read_real(" 500.0E-02"), 5.0);  // 3P form
  EXPECT_DOUBLE_EQ(*read_real("1.0D+02"), 100.0);
  EXPECT_DOUBLE_EQ(*read_real(" 1.2345+100"), 1.2345e100);  // three-digit exponents lose the letter
  EXPECT_DOUBLE_EQ(*read_real("-1.2345-100"), -1.2345e-100);
  EXPECT_TRUE(std::isnan(*read_real("       NaN")));
  EXPECT_TRUE(std::isinf(*read_real(" -Infinity")));
  for (const char* bad : {"**********", "          ", "1.2E+3E4", "12ab"}) EXPECT_FALSE(read_real(bad)) << bad;
  EXPECT_FALSE(read_int("****"));
}

TEST(CurveFile, ReadsLabelsAndRows) {
  const CurveFile f = parse_curve_lines(
      "fort.61", split(curve_file({" 12D.X(MM)", "  5F.R(TON-CM)", "  7D.R(1/100)"},
                                  {{1, {1.5, -200.0, 0}}, {2, {3.25, -410.0, 0}}, {3, {1.0e100, 0.0, 0}}})));
  ASSERT_EQ(f.ncols, 3);
  EXPECT_EQ(f.labels[0].describe(), "joint 12, displacement X");
  EXPECT_EQ(f.labels[0].axis_title(), "Displacement (mm)");
  EXPECT_EQ(f.labels[1].text, "5F.R(TON-CM)");  // all 14 columns
  EXPECT_EQ(f.labels[1].describe(), "joint 5, moment");
  EXPECT_EQ(f.labels[2].describe(), "joint 7, rotation");
  ASSERT_EQ(f.rows.size(), 3u);
  EXPECT_EQ(f.rows[1].step, 2);
  EXPECT_DOUBLE_EQ(f.rows[1].values[1], -410.0);
  EXPECT_DOUBLE_EQ(f.rows[2].values[0], 1.0e100);
  EXPECT_TRUE(f.warnings.empty());
  EXPECT_FALSE(decode_label(" PORTAL FRAME ").known);
  EXPECT_EQ(decode_label(" PORTAL FRAME ").describe(), "PORTAL FRAME");
  // Before the first step the labels tell the columns.
  EXPECT_EQ(parse_curve_lines("fort.62", split(curve_file({" 12D.X(MM)", "", "  3D.Y(MM)"}, {}))).ncols, 3);
}

TEST(CurveFile, CutOffAndForeignLinesAreSkippedWithAWarning) {
  std::string text = curve_file({" 12D.X(MM)", " 12F.X(TON)"}, {{1, {1, 2}}, {2, {2, 3}}, {3, {3, 4}}});
  text += "     4     4.0000E+00\n";             // one value short: the run stopped here
  text += "     5     5.0000E+00    6.00\n";     // cut inside a field
  text += "     6            NaN    7.0000E+00\n";
  const CurveFile f = parse_curve_lines("fort.61", split(text));
  ASSERT_EQ(f.ncols, 2);
  ASSERT_EQ(f.rows.size(), 4u);
  EXPECT_EQ(f.rows.back().step, 6);
  EXPECT_TRUE(std::isnan(f.rows.back().values[0]));  // left out of the curve, not drawn as 0
  EXPECT_EQ(f.warnings.size(), 3u);
  EXPECT_THROW(parse_curve_lines("fort.61", {"some text", "     1    1.0000E+00"}), PlotError);  // no header
}

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
  EXPECT_THROW(parse_displacement_lines("Mdis.rst", swapped), PlotError);
  auto foreign = lines;
  foreign.push_back(" JOINT     U(MM)");
  EXPECT_THROW(parse_displacement_lines("Mdis.rst", foreign), PlotError);
  auto nan = lines;
  nan[first + 3].replace(96, 12, "         NaN");
  EXPECT_THROW(parse_displacement_lines("Mdis.rst", nan), PlotError);
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

  auto bad = elastic();
  bad[3] = "....x...............";
  EXPECT_THROW(parse_stress_lines("Mstr.rst", split(test::mstr_block(1, {{1, 2, bad}}))), PlotError);
  auto lines = split(test::mstr_block(1, {{1, 2, elastic()}, {2, 3, elastic()}}));
  lines.erase(lines.begin() + 5);  // a section line of member 1
  EXPECT_THROW(parse_stress_lines("Mstr.rst", lines), PlotError);
}

}  // namespace
}  // namespace nlf::plot
