#include "plot/frame_charts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plot/frame_marks.h"
#include "plot/plot_test_util.h"
#include "plot/svg.h"

namespace nlf::plot {
namespace {

using test::count_class;
using test::xml_problem;

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

// A beam in two parts under a load at its top: only the joints an engineer
// names carry a number, and the load's value stays below the subtitle.
TEST(FrameChart, NumberedJointsAndLoadsClearOfTheSubtitle) {
  Frame f = l_frame();  // 1 fixed, 2 the corner, 3 on a roller
  f.joints.push_back({4, 800, 300, 0});
  Member m = f.members[1];
  m.a = 2;
  m.b = 3;
  for (double& x : m.x) x += 400;
  f.members.push_back(m);
  EXPECT_EQ(numbered_joints(f), (std::vector<bool>{true, true, true, true}));  // 3: a support
  f.joints[2].fixity = 0;
  EXPECT_EQ(numbered_joints(f), (std::vector<bool>{true, true, false, true}));  // joins two parts
  for (bool Joint::*flag : {&Joint::loaded, &Joint::watched}) {
    f.joints[2].*flag = true;
    EXPECT_TRUE(numbered_joints(f)[2]);
    f.joints[2].*flag = false;
  }
  f.members[2].section = 2;  // a change of section is a joint of its own
  EXPECT_TRUE(numbered_joints(f)[2]);
  f.members[2].section = f.members[1].section;
  f.members[2].y = {300, 330, 360, 390, 420, 450};  // bent at 2: a corner
  f.joints[3].y = 450;
  EXPECT_TRUE(numbered_joints(f)[2]);

  f.members[0].qy = -0.05;  // a member load: an arrow onto every segment, down
  const std::string doc = frame_chart(f, nullptr, 1, "", {{1, 0, -40}, {0, 3, 0}});
  EXPECT_EQ(xml_problem(doc), "");
  const std::size_t loaded = doc.find("class=\"member-load\" data-member=\"1\"");
  ASSERT_NE(loaded, std::string::npos);
  EXPECT_EQ(doc.find("class=\"member-load\" data-member=\"2\""), std::string::npos);
  EXPECT_NE(doc.find("member loads 0.05 t/cm"), std::string::npos);
  const std::size_t label = doc.find("class=\"load-label\"");
  ASSERT_NE(label, std::string::npos);
  const std::size_t y = doc.rfind(" y=\"", label);
  EXPECT_GT(std::stod(doc.substr(y + 4)), 60) << doc;  // the subtitle's baseline is at 46
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
