// The load-history reader: patterns, groups and the finishing card.
#include <gtest/gtest.h>

#include "deck/history.h"
#include "io/stop.h"
#include "io/units.h"
#include "store/bind.h"
#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;
using test::TempDir;

struct HistoryFixture : ::testing::Test {
  TempDir dir;
  Stores st;
  Model md;
  Units units;

  void open(const std::string& deck) {
    Sizes sz;
    sz.MUMJ = 3;
    bind_model(md, st, sz);
    md.NJ = 3;
    for (int j = 1; j <= 3; ++j) {
      md.JMAP[10 * j] = j;  // joints 10, 20, 30
      md.JNO(j) = 10 * j;
    }
    test::write_file(dir / "deck.dat", deck);
    units.deck().open((dir / "deck.dat").string());
    units.open_text(16, (dir / "R.rst").string());
  }
};

TEST_F(HistoryFixture, PatternsGroupsAndTheFinish) {
  open("$ first pattern\n" + card('B', 20, 10, 0, {1.5, -2.0, 3.0}) + card('B', 10, 111) +
       card('A', 1, 4, 0, {0.25, 0.5}) + card('E', 0, 2, 3, {1e-6}) + card('X') + card('B', 30, 0, 0, {7}) +
       card('E', 0, 1, 1, {1e-5, 2.0}) + "F\n");
  LoadGroup g;
  ASSERT_TRUE(read_load_group(md, units, '$', g));
  // Joint 20: X force 1.5, Y prescribed -2.0, rotation moment 3.0.
  EXPECT_EQ(md.LTYPE(md.pat(2, 1)), 0);
  EXPECT_EQ(md.PFORCE(md.pat(2, 1)), 1.5);
  EXPECT_EQ(md.LTYPE(md.pat(2, 2)), 1);
  EXPECT_EQ(md.PDISP(md.pat(2, 2)), -2.0);
  EXPECT_EQ(md.PFORCE(md.pat(2, 2)), 0.0);
  EXPECT_EQ(md.PFORCE(md.pat(2, 3)), 3.0);
  EXPECT_EQ(md.LTYPE(md.pat(1, 3)), 1);
  // An A card's X1 is the tolerance and the load factor.
  EXPECT_EQ(g.TOL, 0.25);
  EXPECT_EQ(g.FACTOR, 0.25);
  EXPECT_EQ(g.IMPOSE, 1);
  EXPECT_EQ(g.NSTEP, 4);
  EXPECT_TRUE(g.every_step_detail);
  EXPECT_TRUE(g.arc_length());

  // Two groups in a row share the pattern.
  ASSERT_TRUE(read_load_group(md, units, '$', g));
  EXPECT_EQ(g.FACTOR, 1.0);
  EXPECT_EQ(g.NDETAIL, 3);
  EXPECT_FALSE(g.arc_length());
  EXPECT_EQ(md.PFORCE(md.pat(2, 1)), 1.5);

  // A B card after another card starts an empty pattern.
  ASSERT_TRUE(read_load_group(md, units, '$', g));
  EXPECT_EQ(md.PFORCE(md.pat(2, 1)), 0.0);
  EXPECT_EQ(md.LTYPE(md.pat(1, 3)), 0);
  EXPECT_EQ(md.PFORCE(md.pat(3, 1)), 7.0);
  EXPECT_FALSE(read_load_group(md, units, '$', g));

  units.close_all();
  const auto listing = test::read_lines(dir / "R.rst");
  ASSERT_EQ(listing.size(), 9u);   // every card echoed, the comment included
  EXPECT_EQ(listing[0], " $ first pattern" + std::string(65, ' '));
  EXPECT_EQ(listing[8], " F" + std::string(79, ' '));
}

TEST_F(HistoryFixture, EndOfDeckAndUnknownJoints) {
  open(card('B', 20, 0, 0, {1}));
  LoadGroup g;
  EXPECT_THROW(read_load_group(md, units, '$', g), FileError);

  Units other;
  test::write_file(dir / "bad.dat", card('B', 40, 0, 0, {1}) + "F\n");
  other.deck().open((dir / "bad.dat").string());
  other.open_text(16, (dir / "R2.rst").string());
  EXPECT_THROW(read_load_group(md, other, '$', g), Stop);

  Units negative;
  test::write_file(dir / "neg.dat", card('B', 20, -10, 0, {1}) + "F\n");
  negative.deck().open((dir / "neg.dat").string());
  negative.open_text(16, (dir / "R3.rst").string());
  EXPECT_THROW(read_load_group(md, negative, '$', g), Stop);
}

}  // namespace
}  // namespace nlf
