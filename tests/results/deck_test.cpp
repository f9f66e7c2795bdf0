#include "results/deck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>

#include "results/result_files.h"
#include "support/test_support.h"

namespace nlf::results {
namespace {

using nlf::test::card;
using test::split;

TEST(NodePoint, BowedToTheLeftOfTheChord) {
  const auto p = node_point(0, 0, 300, 400, 0.5, 0.002);  // L = 500, e = 1, left normal (-0.8, 0.6)
  EXPECT_NEAR(p[0], 150 - 0.8, 1e-12);
  EXPECT_NEAR(p[1], 200 + 0.6, 1e-12);
}

const std::string kControl = "   0  0  1 0.0 TWO BAYS\n";

TEST(Frame, ReadsJointsMembersAndSupports) {
  const std::string deck = "$ comment before the control card\n" + kControl + card('P', 0, 0, 0, {2100, 21}) +
                           card('J', 10, 0, 0, {0, 0}) + card('J', 20, 0, 0, {0, 300}) +
                           "$ a comment between cards\n" + card('J', 30, 0, 0, {400, 300}) +
                           card('M', 10, 20, 1, {0.2, 0.4, 0.6, 0.8, 0.001}) +
                           card('M', 20, 30, -1, {0.1, 0.2, 0.3, 0.9}) + card('W', 0, 0, 0, {20.21}) +
                           card('W', 0, 0, 0, {30.22}) + card('L', 20, 1) + card('B', 10, 111, 0, {0, 0, 0}) +
                           card('B', 30, 10, 0, {0, -2}) + card('E', 0, 5, 1, {0.001}) + card('F');
  const Frame f = parse_frame("deck.dat", split(deck));
  EXPECT_EQ(f.title, "TWO BAYS");
  ASSERT_EQ(f.joints.size(), 3u);
  EXPECT_EQ(f.joints[2].number, 30);
  EXPECT_EQ(f.joints[2].x, 400);
  EXPECT_EQ(f.watch_cards, 2);
  EXPECT_EQ(f.joints[0].fixity, unsigned{kFixX | kFixY | kFixR});
  EXPECT_EQ(f.joints[1].fixity, 0u);
  EXPECT_EQ(f.joints[2].fixity, unsigned{kFixY});
  ASSERT_EQ(f.members.size(), 2u);
  const Member& m = f.members[0];
  EXPECT_EQ(m.a, 0);
  EXPECT_EQ(m.b, 1);
  EXPECT_EQ(m.y[0], 0);
  EXPECT_EQ(m.y[5], 300);
  EXPECT_NEAR(m.x[2], -0.3 * std::sin(std::numbers::pi * 0.4), 1e-12);  // bowed to the left of A->B
  EXPECT_NEAR(f.members[1].x[4], 360, 1e-12);
  EXPECT_TRUE(f.warnings.empty());
}

// The builder's note of the groups that spread their total load (its words
// may run on over a continuation card), and what marks a joint as one an
// engineer names: a watch, a load.
TEST(Frame, TotalGroupsWatchedAndLoadedJoints) {
  const std::string deck = kControl + "$ load groups: group 1 adds its total load in 5 steps; group 3 adds its\n"
                           "$   total load in 12 steps (its B and U cards hold one step's share)\n" +
                           card('J', 10, 0, 0, {0, 0}) + card('J', 20, 0, 0, {0, 300}) + card('J', 30, 0, 0, {0, 600}) +
                           card('M', 10, 20, 1) + card('M', 20, 30, 1) + card('W', 0, 0, 0, {30.21, 10.11}) +
                           card('L', 20, 1) + card('B', 10, 111) + card('B', 20, 0, 0, {0, 0, 0}) +
                           card('B', 30, 10, 0, {0.5, -2}) + card('E', 0, 5, 1, {0.001}) + card('F');
  const Frame f = parse_frame("deck.dat", split(deck));
  EXPECT_EQ(f.total_groups, (std::map<int, int>{{1, 5}, {3, 12}}));
  EXPECT_TRUE(f.joints[0].watched && f.joints[2].watched);
  EXPECT_FALSE(f.joints[1].watched || f.joints[1].loaded || f.joints[0].loaded);
  EXPECT_TRUE(f.joints[2].loaded);  // the force Y; X is a prescribed displacement
}

// The member loads of the last pattern that gives them: a V card between
// B and U cards keeps one pattern; a later pattern without U cards keeps
// the loads drawn.
TEST(Frame, MemberLoadsOfTheLastPatternThatGivesThem) {
  const std::string structure = kControl + card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {300, 0}) +
                                card('J', 3, 0, 0, {600, 0}) + card('M', 1, 2, 1) + card('M', 2, 3, 1) + card('L', 20, 1);
  const std::string first = card('B', 1, 111) + card('U', 1, 2, 0, {0, -0.5}) + card('E', 0, 1, 1);
  const Frame f = parse_frame("deck.dat", split(structure + first + card('B', 1, 111) + card('V', 2) +
                                                 card('U', 2, 0, 1, {0.1, -0.2}) + card('U', 2, 0, 1, {0, -0.2}) +
                                                 card('E', 0, 1, 1) + card('B', 3, 10) + card('E', 0, 1, 1) + card('F')));
  EXPECT_FALSE(f.members[0].loaded());
  EXPECT_EQ(f.members[1].qy, 0);
  EXPECT_EQ(f.members[1].along, 0.1);
  EXPECT_EQ(f.members[1].across, -0.4);
  const Frame one = parse_frame("deck.dat", split(structure + first + card('F')));
  EXPECT_EQ(one.members[0].qy, -0.5);
  EXPECT_EQ(one.members[1].qy, -0.5);
}

TEST(Frame, DeckQuirksAndErrors) {
  const std::string head = kControl + card('J', 1, 0, 0, {0, 0});
  try {
    parse_frame("deck.dat", split(head + card('M', 1, 7, 1)));
    FAIL();
  } catch (const ResultError& e) {
    EXPECT_STREQ(e.what(), "deck.dat, line 3: member 1 names joint 7, which no earlier J card defines");
  }
  // Column 1 of the control card is ignored, even when it is a card letter.
  EXPECT_EQ(parse_frame("deck.dat", split("J  0  0  1 0.0 TITLE\n" + card('J', 1))).joints.size(), 1u);
  // A repeated joint number: later cards use the later joint.
  const Frame r = parse_frame("deck.dat", split(head + card('J', 2, 0, 0, {1, 0}) + card('J', 1, 0, 0, {0, 9}) +
                                                card('M', 1, 2, 1)));
  EXPECT_EQ(r.members[0].y[0], 9);
  EXPECT_EQ(r.warnings.size(), 1u);
  // A malformed number on a card the plot uses.
  EXPECT_THROW(parse_frame("deck.dat", split(head + "J  2  0  0     1x.0\n")), ResultError);
  EXPECT_THROW(parse_frame("deck.dat", split("$ only a comment\n")), ResultError);
  // Cards before the L card are structure cards: a B card there is passed over.
  const Frame f = parse_frame("deck.dat", split(head + card('B', 1, 111) + card('L') + card('B', 9, 111)));
  EXPECT_EQ(f.joints[0].fixity, 0u);
  EXPECT_EQ(f.warnings.size(), 1u);  // joint 9 is not defined
}

// Section names come from comment cards "$ section N: NAME" right before
// the section card of that number; anything else names nothing.
TEST(Frame, SectionNamesSupportsAndLateralPush) {
  const std::string deck = kControl + card('P', 0, 0, 0, {2100, 21, 21}) + "$ section 1: HEB240   \n" +
                           card('I', 1, 0, 0, {24, 24, 1, 1.7, 2.1, 2.4}) + "$ section 2: IPE330\n" +
                           card('I', 2, 0, 0, {33, 16, 0.75, 1.15, 1.8, 2.4}) + "$ section 3: IPE999\n" +
                           card('I', 4, 0, 0, {20, 10, 0.5, 0.8, 1, 2.4}) +   // another number
                           "$ section 5: HEA100\n$ between\n" + card('O', 5, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
                           "$  section 6: HEA200\n" + card('O', 6, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
                           "$ section 7:\n" + card('O', 7, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
                           card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {0, 300}) + card('J', 3, 0, 0, {500, 300}) +
                           card('M', 1, 2, -2, {0.2, 0.4, 0.6, 0.8}) + card('L', 20, 1) +
                           card('B', 1, 111) + card('B', 3, 100, 0, {0.5}) + card('E', 0, 5, 1, {0.001}) + card('F');
  const Frame f = parse_frame("deck.dat", split(deck));
  EXPECT_EQ(f.section_names, (std::map<int, std::string>{{1, "HEB240"}, {2, "IPE330"}}));
  ASSERT_EQ(f.members.size(), 1u);
  EXPECT_EQ(f.members[0].section, 2);
  // Joint 1 is held, joint 3 pushed by a displacement in X.
  EXPECT_EQ(f.joints[0].held, unsigned{kFixX | kFixY | kFixR});
  EXPECT_EQ(f.joints[2].held, 0u);
  EXPECT_EQ(f.joints[2].pushed, unsigned{kFixX});
  EXPECT_TRUE(f.lateral);
  // Notes of what the model carries: a heading, cards that continue it,
  // repeated headings joined; any other comment ends the note.
  const Frame n = parse_frame(
      "deck.dat", split(kControl + "$ imperfections: sway 1/278\n$   towards +x;\n$ imperfections: bows\n$ other\n"
                        "$   not a note\n$ residual stresses:  ECCS on section 1   \n$imperfections: no\n" +
                        card('J', 1, 0, 0, {0, 0}) + "$   after a card\n" + card('L', 20, 1) + card('F')));
  EXPECT_EQ(n.model_notes, (std::map<std::string, std::string>{{"imperfections", "sway 1/278 towards +x; bows"},
                                                                {"residual stresses", "ECCS on section 1"}}));
  // Gravity alone pushes nothing sideways.
  const Frame g = parse_frame("deck.dat", split(kControl + card('J', 1, 0, 0, {0, 0}) + card('L', 20, 1) +
                                                card('B', 1, 0, 0, {0, -5}) + card('E') + card('F')));
  EXPECT_FALSE(g.lateral);
}

}  // namespace
}  // namespace nlf::results
