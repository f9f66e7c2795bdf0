#include "plot/curve_chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plot/plot_test_util.h"
#include "plot/svg.h"

namespace nlf::plot {
namespace {

using test::count_class;
using test::xml_problem;

TEST(XmlChecker, CatchesWhatABrowserRejects) {
  EXPECT_EQ(xml_problem("<?xml version=\"1.0\"?>\n<svg><g a=\"1 &amp; 2\"><path d=\"M0 0\"/></g></svg>"), "");
  for (const char* bad : {"<svg><g></svg>", "<svg><g a=1/></svg>", "<svg a=\"1\" a=\"2\"/>", "<svg>a & b</svg>",
                          "<svg/><svg/>"})
    EXPECT_NE(xml_problem(bad), "") << bad;
}

TEST(Ticks, CoverTheRangeAtRoundValues) {
  const Ticks t = nice_ticks(0.3, 9.2, 6);
  EXPECT_EQ(t.step, 2);
  EXPECT_EQ(t.values.front(), 0);
  EXPECT_EQ(t.values.back(), 10);
  EXPECT_EQ(tick_label(0.5, nice_ticks(0, 2.2, 5)), "0.5");
  EXPECT_EQ(nice_ticks(1, 3, 8, true).step, 1);  // step numbers keep whole ticks
  const Ticks flat = nice_ticks(5, 5);           // a flat curve still gets an axis
  EXPECT_LT(flat.lo, 5);
  EXPECT_GT(flat.hi, 5);
  // Report values: plain decimals, four digits, no trailing zeros.
  for (const auto& [v, text] : std::vector<std::pair<double, std::string>>{
           {176.9, "176.9"}, {-3.27131, "-3.271"}, {0.0123456, "0.01235"}, {12345.6, "12346"}, {2.4, "2.4"},
           {40, "40"}, {-1e-9, "0"}, {std::nan(""), "-"}})
    EXPECT_EQ(plain_number(v), text) << v;
}

CurveFile three_columns() {
  CurveFile f;
  f.name = "fort.61";
  f.ncols = 3;
  f.labels = {decode_label(" 12D.X(MM)"), decode_label(" 12F.X(TON)"), decode_label("  5F.R(TON-CM)")};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int s = 1; s <= 5; ++s) f.rows.push_back({s, {1.0 * s, 2.0 * s, s == 3 ? nan : -100.0 * s}, {}});
  return f;
}

TEST(CurveChart, ForceAgainstItsDisplacementAndOneUnitPerAxis) {
  // 12F.X pairs with 12D.X; the moment of joint 5 has no displacement of
  // its joint and goes against the step, in a panel of its own.
  const std::vector<Panel> panels = curve_panels(three_columns(), std::nullopt);
  ASSERT_EQ(panels.size(), 2u);
  EXPECT_EQ(panels[0].plots, (std::vector<ColumnPair>{{1, 2}}));
  EXPECT_EQ(panels[1].plots, (std::vector<ColumnPair>{{0, 3}}));

  const std::string doc = curve_chart(three_columns(), std::nullopt, "PORTAL & <TEST>");
  EXPECT_EQ(xml_problem(doc), "");
  EXPECT_EQ(count_class(doc, "panel"), 2);
  EXPECT_EQ(count_class(doc, "curve"), 2);
  EXPECT_EQ(count_class(doc, "axis-title"), 4);
  for (const char* t : {">Displacement (mm)</text>", ">Force (t)</text>", ">Step</text>", "Moment (t\u00b7cm)</text>"})
    EXPECT_NE(doc.find(t), std::string::npos) << t;
  // The legend in the words of the titles, not the codes of the file.
  EXPECT_NE(doc.find("class=\"legend-label\">joint 12: force X</text>"), std::string::npos);
  EXPECT_NE(doc.find(">against displacement X</text>"), std::string::npos);
  EXPECT_EQ(doc.find("12D.X(MM)</text>"), std::string::npos);
  EXPECT_EQ(chart_title(three_columns(), std::nullopt),
            "joint 12: force X against displacement X; joint 5: moment against step");
  // The peak step is marked on the curve against the displacement only.
  const std::string marked = curve_chart(three_columns(), std::nullopt, "", {4});
  EXPECT_EQ(xml_problem(marked), "");
  EXPECT_EQ(count_class(marked, "peak"), 1);
  EXPECT_NE(marked.find("peak, step 4: 8 t at 4 mm"), std::string::npos);
  // The missing value breaks the moment curve into two pieces instead of
  // drawing it at zero.
  const std::size_t p = doc.find("data-column=\"3\"");
  const std::string d = doc.substr(p, doc.find('\n', p) - p);
  EXPECT_EQ(std::count(d.begin(), d.end(), 'M'), 2);

  // Unpaired columns of one unit share a panel; of two units, never.
  CurveFile f = three_columns();
  f.labels = {decode_label(" 12D.X(MM)"), decode_label(" 12D.Y(MM)"), decode_label(" 12D.R(1/100)")};
  const auto steps = curve_panels(f, std::nullopt);
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].plots, (std::vector<ColumnPair>{{0, 1}, {0, 2}}));
  // A force of another joint stays against the step; a force pairs with a
  // displacement of its joint in another direction when there is no other.
  f.labels = {decode_label(" 12D.Y(MM)"), decode_label("  3F.X(TON)"), decode_label(" 12F.X(TON)")};
  EXPECT_EQ(curve_panels(f, std::nullopt).front().plots, (std::vector<ColumnPair>{{1, 3}}));
}

// A reaction, a force where a support holds the joint, goes against the
// displacement of the file that moves most, of its own direction; without
// the frame, or at a free joint, against the step as before.
TEST(CurveChart, ReactionAgainstTheDisplacementThatMovesMost) {
  CurveFile f = three_columns();
  f.ncols = 4;
  f.labels = {decode_label("  1F.X(TON)"), decode_label("  7D.X(MM)"), decode_label("  9D.X(MM)"),
              decode_label("  9D.Y(MM)")};
  for (CurveRow& r : f.rows) r.values = {-0.5 * r.step, 1.0 * r.step, 2.0 * r.step, 50.0 * r.step};
  Frame frame;
  frame.joints = {{1, 0, 0, kFixX | kFixY, kFixX | kFixY}, {9, 0, 600, 0}};
  EXPECT_EQ(curve_panels(f, std::nullopt, &frame).front().plots, (std::vector<ColumnPair>{{3, 1}}));
  EXPECT_EQ(chart_title(f, std::nullopt, &frame).rfind("joint 1: reaction X against joint 9: displacement X", 0), 0u);
  EXPECT_EQ(curve_panels(f, std::nullopt).front().plots.front(), (ColumnPair{0, 1}));
  frame.joints[0].held = 0;  // pushed, not held: a force of the load
  EXPECT_EQ(curve_panels(f, std::nullopt, &frame).front().plots.front(), (ColumnPair{0, 1}));
}

TEST(CurveChart, XyDrawsOneCurveAndChecksTheColumns) {
  const std::string doc = curve_chart(three_columns(), ColumnPair{1, 2}, "");
  EXPECT_EQ(xml_problem(doc), "");
  EXPECT_EQ(count_class(doc, "curve"), 1);
  EXPECT_NE(doc.find(">Displacement (mm)</text>"), std::string::npos);  // x axis title
  EXPECT_NE(doc.find(">Force (t)</text>"), std::string::npos);
  try {
    curve_chart(three_columns(), ColumnPair{1, 4}, "");
    FAIL();
  } catch (const PlotError& e) {
    EXPECT_STREQ(e.what(), "fort.61: --xy names column 4, the file has 3 watched columns");
  }
}

}  // namespace
}  // namespace nlf::plot
