#include "results/curves.h"

#include <gtest/gtest.h>

#include <cmath>

#include "results/result_files.h"

namespace nlf::results {
namespace {

using test::split;
using test::curve_file;
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
  EXPECT_THROW(parse_curve_lines("fort.61", {"some text", "     1    1.0000E+00"}), ResultError);  // no header
  // A continued run's file has no header: its values are still read.
  const CurveFile c = parse_curve_lines("fort.61", {"     4    -9.8875E+01    4.3905E+00", "     5    -1.1192E+02    4.9304E+00"});
  ASSERT_EQ(c.ncols, 2);
  ASSERT_EQ(c.rows.size(), 2u);
  EXPECT_EQ(c.rows[1].fields[0], "-1.1192E+02");
  EXPECT_EQ(c.labels[1].text, "");
  EXPECT_THROW(parse_curve_lines("fort.61", {}), ResultError);
}

}  // namespace
}  // namespace nlf::results
