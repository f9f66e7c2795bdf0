// The run up to the workspace layout: banners, control echo, counting pass,
// sizes, layouts and the stops on the way.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "io/card.h"
#include "deck/control.h"
#include "store/bind.h"
#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;
using test::read_lines;
using test::run_program;
using test::TempDir;

const std::string kBox = std::string(10, ' ') + std::string(51, '*');

TEST(HistoryLabels, CodesGiveJointLetterAndSuffix) {
  Card c;
  c.ch = 'W';
  c.x = {12.21, 5.13, 0, 7.99, 3.11, 3.3E9, 100.23};
  const std::string labels = history_labels(c);
  ASSERT_EQ(labels.size(), 98u);
  EXPECT_EQ(labels.substr(0, 14), " 12D.X(MM)    ");
  EXPECT_EQ(labels.substr(14, 14), "  5F.R(TON-CM)");
  EXPECT_EQ(labels.substr(28, 14), std::string(14, ' '));  // zero code
  EXPECT_EQ(labels.substr(42, 14), std::string(14, ' '));  // kind 9 is not a code
  EXPECT_EQ(labels.substr(56, 14), "  3F.X(TON)   ");
  EXPECT_EQ(labels.substr(70, 14), std::string(14, ' '));  // far beyond any joint
  EXPECT_EQ(labels.substr(84, 14), "100D.R(1/100) ");
}

TEST(Layout, ArraySumsAgreeWithClosedForms) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(0, 400);
  for (int trial = 0; trial < 200; ++trial) {
    Sizes sz;
    sz.MUMM = d(rng);
    sz.MUMJ = d(rng) % 334;
    sz.MUMR = d(rng) % 20;
    sz.MUMS = d(rng) % 30;
    sz.MBAND = d(rng) % 60;
    sz.MUMW = d(rng) % 8;
    sz.NRHS = 1 + trial % 2;
    const Layout L = compute_layout(sz);
    EXPECT_EQ(L.ilast, integer_last_formula(sz));
    EXPECT_EQ(L.rlast, real_last_formula(sz));
    for (int k = 2; k <= NREALARRAYS; ++k) EXPECT_EQ(L.rstart[k], L.rstart[k - 1] + L.rlen[k - 1]);
  }
  Sizes sz;  // the member work arrays of a five-segment, 20-fibre member
  const Layout L = compute_layout(sz);
  EXPECT_EQ(L.rlen[36], 72);
  EXPECT_EQ(L.rlen[38], 144);
  EXPECT_EQ(L.rlen[40], 10);
}

std::string joints(int n) {
  std::string s;
  for (int j = 1; j <= n; ++j) s += card('J', j, 0, 0, {100.0 * j, 0.0});
  return s;
}

TEST(Startup, BannersTitlesEchoAndSizes) {
  TempDir dir;
  const std::string deck = "$ leading comment\n   0  0  0 1.5 PORTAL TEST\n" +
                           card('P', 0, 0, 0, {2100, 21, 21}) +
                           card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + joints(3) +
                           card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) +
                           card('M', 2, 3, 1, {0.2, 0.4, 0.6, 0.8}) + card('K', 1, 0, 0, {1, 1, 1}) +
                           card('W', 0, 0, 0, {12.21, 5.13}) + card('L', 5, 1) + "F\n";
  const auto r = run_program(dir.path(), deck);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* f : {"R.rst", "Mstr.rst", "Mdis.rst", "Mfor.rst", "Jdis.rst", "Jfor.rst", "fort.61"}) {
    const auto lines = read_lines(dir / f);
    ASSERT_GE(lines.size(), 15u) << f;
    EXPECT_EQ(lines[0], kBox) << f;
    EXPECT_EQ(lines[3], std::string(10, ' ') + "**  NONLINEAR ANALYSIS OF PLANE FRAME STRUCTURE  **");
    for (int i = 0; i < 15; ++i) EXPECT_EQ(lines[i].size(), 61u) << f << " line " << i;
  }
  const auto jfor = read_lines(dir / "Jfor.rst");
  ASSERT_GE(jfor.size(), 18u);
  EXPECT_EQ(jfor[15], "");
  EXPECT_EQ(jfor[16], "");
  EXPECT_EQ(jfor[17], std::string(10, ' ') + "**************** JOINT FORCES *******************");

  const auto hist = read_lines(dir / "fort.61");
  ASSERT_GE(hist.size(), 16u);
  EXPECT_EQ(hist[15], "   STEP  12D.X(MM)      5F.R(TON-CM)" + std::string(70, ' '));

  const auto listing = read_lines(dir / "R.rst");
  ASSERT_GE(listing.size(), 21u);
  EXPECT_EQ(listing[15], "1" + std::string(10, ' ') + "PORTAL TEST" + std::string(49, ' '));
  EXPECT_EQ(listing[16], "   0  0  1  1.5");
  EXPECT_EQ(listing[17], "  MUMM,MUMJ,MUMP,MUMT,MUMR,MUMS,MBAND,MUMW");
  EXPECT_EQ(listing[18], "     2    3    5   20    1    1    6    1");
  EXPECT_EQ(listing[19], " INTEGER LAST/IMAX = 81 / 30000");
  EXPECT_NE(r.out.find(" LAST /NMAX ="), std::string::npos);
}

TEST(Startup, ConsoleLayoutLineAndCapacityStops) {
  {  // 333 joints and a member from the first to the last: band 999, too much real space
    TempDir dir;
    const std::string deck = "  0  0  1     BIG BAND\n" + joints(333) + card('M', 1, 333, 1) + "L\nF\n";
    const auto r = run_program(dir.path(), deck);
    EXPECT_EQ(r.status, 1);
    Sizes sz;
    sz.MUMM = 1;
    sz.MUMJ = 333;
    sz.MBAND = 999;
    char expect[64];
    std::snprintf(expect, sizeof expect, " LAST /NMAX =%7lld/1X 600000\n", real_last_formula(sz));
    EXPECT_NE(r.out.find(expect), std::string::npos) << r.out;
    const auto listing = read_lines(dir / "R.rst");
    EXPECT_EQ(listing.back().rfind(" INTEGER LAST/IMAX =", 0), 0u);
    EXPECT_EQ(read_lines(dir / "Mstr.rst").size(), 18u);  // banner and title only
  }
  {  // 334 joints
    TempDir dir;
    const auto r = run_program(dir.path(), "  0  0  1\n" + joints(334) + "L\nF\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_lines(dir / "R.rst").back(), " ERROR ... NUMBER OF POINTS GT 333");
  }
  {  // many members: the integer workspace overflows
    TempDir dir;
    std::string deck = "  0  0  1\n" + joints(2);
    for (int m = 0; m < 7500; ++m) deck += card('M', 1, 2, 1);
    const auto r = run_program(dir.path(), deck + "L\nF\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_lines(dir / "R.rst").back(), " INTEGER LAST/IMAX = 30065 / 30000");
  }
}

TEST(Startup, QCardMessagesInTheCountingPass) {
  TempDir dir;
  const std::string deck = "  0  0  1\n" + joints(3) + card('Q', 1, 9, 100) + card('Q', 1, 2, 300) +
                           card('Q', 1, 2, 110) + card('M', 1, 3, 1) + "L\nF\n";
  run_program(dir.path(), deck);
  const auto listing = read_lines(dir / "R.rst");
  int messages = 0;
  for (const auto& l : listing) messages += (l == " ERROR DATA IN Q DATA");
  EXPECT_GE(messages, 2);
  // Code 110 removes two equations: the member from joint 1 to 3 spans 1..7.
  bool sizes_seen = false;
  for (size_t i = 0; i + 1 < listing.size(); ++i)
    if (listing[i] == "  MUMM,MUMJ,MUMP,MUMT,MUMR,MUMS,MBAND,MUMW") {
      EXPECT_EQ(listing[i + 1], "     1    3    5   20    0    0    7    0");
      sizes_seen = true;
    }
  EXPECT_TRUE(sizes_seen);
}

TEST(Startup, MemberStateMovesToScratchFilesFrom125Members) {
  for (int members : {124, 125}) {
    TempDir dir;
    std::string deck = "   0  0  1\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                       card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + joints(2);
    for (int m = 0; m < members; ++m) deck += card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8});
    deck += card('L', 5, 1) + card('B', 1, 111) + card('B', 2, 0, 0, {0, -1}) + card('E', 0, 1, 1, {1e-6});
    const auto r = run_program(dir.path(), deck + "F\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string listing = test::read_file(dir / "R.rst");
    const std::string message = " ***ERR MEMORY NOT ENOUGH, SAVE DATA IN HARD DISK*\n";
    if (members == 124) {
      EXPECT_NE(listing.find(" KLAST /NSYMAX = 198400 / 200000\n"), std::string::npos);
      EXPECT_EQ(listing.find(message), std::string::npos);
    } else {
      EXPECT_NE(listing.find(" KLAST /NSYMAX = 200000 / 200000\n" + message), std::string::npos);
      EXPECT_NE(r.out.find(message), std::string::npos);
    }
  }
}

TEST(Startup, BadDecksStopWithAMessageNamingTheCard) {
  TempDir dir;
  const std::string deck = "   0  0  1\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                           card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + joints(2) + card('M', 1, 7, 1) +
                           card('L', 5, 1) + "F\n";
  const auto r = run_program(dir.path(), deck);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("line 6"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("ERROR"), std::string::npos) << r.out;
  {  // a field that is not a number: the file layer's report, status 2
    const auto bad = run_program(dir.path(), "   0  0  1\nJ  1       abc\nL\nF\n");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("line 2, columns 11-20"), std::string::npos) << bad.err;
  }
  {  // the deck ends before the F card
    const auto eof = run_program(dir.path(), "   0  0  1\n" + joints(1) + "L\n");
    EXPECT_EQ(eof.status, 2);
    EXPECT_NE(eof.err.find("end of file"), std::string::npos) << eof.err;
  }
}

TEST(Startup, MissingDeckLeavesEarlierResultsAlone) {
  TempDir dir;
  test::write_file(dir / "R.rst", "old results\n");
  const auto r = test::run_program_stdin(dir.path(), "nosuch.dat\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("nosuch.dat"), std::string::npos);
  EXPECT_EQ(test::read_file(dir / "R.rst"), "old results\n");
}

TEST(Startup, LongDeckNameIsCutTo16Characters) {
  TempDir dir;
  test::write_file(dir / "averyveryverylon", "  0  0  1\nL\nF\n");
  const auto r = test::run_program_stdin(dir.path(), "averyveryverylongdeckname.dat\n");
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace nlf
