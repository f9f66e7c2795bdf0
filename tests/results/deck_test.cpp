#include "results/deck.h"

#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
}  // namespace nlf::results
