#include "plot/charts.h"

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
}

CurveFile three_columns() {
  CurveFile f;
  f.name = "fort.61";
  f.ncols = 3;
  f.labels = {decode_label(" 12D.X(MM)"), decode_label(" 12F.X(TON)"), decode_label("  5F.R(TON-CM)")};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int s = 1; s <= 5; ++s) f.rows.push_back({s, {1.0 * s, 2.0 * s, s == 3 ? nan : -100.0 * s}});
  return f;
}

TEST(CurveChart, OnePathPerWatchedColumn) {
  const std::string doc = curve_chart(three_columns(), std::nullopt, "PORTAL & <TEST>");
  EXPECT_EQ(xml_problem(doc), "");
  EXPECT_EQ(count_class(doc, "curve"), 3);
  EXPECT_EQ(count_class(doc, "legend-label"), 3);
  EXPECT_GE(count_class(doc, "tick-label"), 6);
  EXPECT_NE(doc.find("Displacement (mm), Force (t), Moment (t\u00b7cm)"), std::string::npos);
  // The missing value breaks the third curve into two pieces instead of
  // drawing it at zero.
  const std::size_t p = doc.find("data-column=\"3\"");
  const std::string d = doc.substr(p, doc.find('\n', p) - p);
  EXPECT_EQ(std::count(d.begin(), d.end(), 'M'), 2);
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

// Two members: a column 1-2 and a beam 2-3; joint 1 fixed.
Frame l_frame() {
  Frame f;
  f.joints = {{1, 0, 0, kFixX | kFixY | kFixR}, {2, 0, 300, 0}, {3, 400, 300, kFixY}};
  for (int a : {0, 1}) {
    Member m{a, a + 1, {}, {}};
    const Joint &ja = f.joints[static_cast<std::size_t>(a)], &jb = f.joints[static_cast<std::size_t>(a + 1)];
    for (std::size_t k = 0; k < 6; ++k) {
      m.x[k] = ja.x + k / 5.0 * (jb.x - ja.x);
      m.y[k] = ja.y + k / 5.0 * (jb.y - ja.y);
    }
    f.members.push_back(m);
  }
  return f;
}

DisplacementStep sway(double dx) {
  DisplacementStep d;
  d.step = 7;
  d.members = {{1, 2, {}}, {2, 3, {}}};
  for (std::size_t k = 0; k < 6; ++k) {
    d.members[0].node[k].dx = dx * k / 5.0;
    d.members[1].node[k].dx = dx;
  }
  return d;
}

TEST(FrameChart, MembersJointsAndSupports) {
  const Frame f = l_frame();
  const DisplacementStep d = sway(2.0);
  const std::string doc = frame_chart(f, &d, 20, "");
  EXPECT_EQ(xml_problem(doc), "");
  EXPECT_EQ(count_class(doc, "member"), 2);
  EXPECT_EQ(count_class(doc, "outline"), 2);
  EXPECT_EQ(count_class(doc, "joint"), 3);
  EXPECT_EQ(count_class(doc, "support"), 2);
  EXPECT_NE(doc.find("step 7, displacements \u00d7 20"), std::string::npos);
  // Undeformed only: the members are still there, without outlines.
  const std::string plain = frame_chart(f, nullptr, 1, "undeformed");
  EXPECT_EQ(xml_problem(plain), "");
  EXPECT_EQ(count_class(plain, "member"), 2);
  EXPECT_EQ(count_class(plain, "outline"), 0);
}

TEST(FrameChart, DefaultScaleShowsTheLargestDisplacementAsATenth) {
  const Frame f = l_frame();  // 400 cm wide
  EXPECT_EQ(default_scale(f, sway(2.0)), 20);    // 40 cm / 2 cm
  EXPECT_EQ(default_scale(f, sway(0.017)), 2000);  // 2353, rounded
  EXPECT_EQ(default_scale(f, sway(100.0)), 1);   // large: true to size
  EXPECT_EQ(default_scale(f, sway(0.0)), 1);
  // A block the run left unfinished is named as such.
  try {
    check_members(f, "Mstr.rst", 7, {{1, 2}}, false);
    FAIL();
  } catch (const PlotError& e) {
    EXPECT_NE(std::string(e.what()).find("stops after 1 of 2 members"), std::string::npos);
  }
}

TEST(PlasticChart, TenColouredStationsPerMember) {
  const Frame f = l_frame();
  StressStep s;
  s.step = 7;
  s.members.resize(2);  // ends are not looked at here
  s.members[0].station[0] = {12, 8};
  s.members[1].station[9] = {3, 0};
  const std::string doc = plastic_chart(f, s);
  EXPECT_EQ(xml_problem(doc), "");
  EXPECT_EQ(count_class(doc, "member"), 2);
  EXPECT_EQ(count_class(doc, "station"), 20);
  EXPECT_EQ(count_class(doc, "scale-step"), 21);
  EXPECT_NE(doc.find("data-plastic=\"20\" x1"), std::string::npos);
  EXPECT_NE(doc.find("2 of 20 stations with fibres at a bound, 1 fully plastic"), std::string::npos);
  // Elastic, first yield and fully plastic are told apart.
  EXPECT_NE(plastic_colour(0), plastic_colour(1));
  EXPECT_NE(plastic_colour(1), plastic_colour(20));
}

}  // namespace
}  // namespace nlf::plot
