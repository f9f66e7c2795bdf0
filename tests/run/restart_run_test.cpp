// A run continued from a restart file ends where an uninterrupted run ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;
using test::read_lines;
using test::run_program;
using test::TempDir;

// A two-member beam on one-sided springs under a distributed load, pushed
// down at midspan, with a joint spring at the right end.
std::string structure() {
  return card('P', 0, 0, 0, {2100, 21, 21}) + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
         card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {300, 0}) + card('J', 3, 0, 0, {600, 0}) +
         card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8, 0, 0.05, 0.01}) +
         card('M', 2, 3, 1, {0.2, 0.4, 0.6, 0.8, 0, 0.05, 0.01}) + card('K', 3, 0, 0, {0, 0.2, 0}) +
         card('W', 0, 0, 0, {2.22, 1.12});
}

std::string loads(int steps) {
  return card('B', 1, 110) + card('B', 2, 0, 0, {0, -1.5}) + card('E', 0, steps, 1, {1e-12}) + "F\n";
}

// The lines of a result file that belong to step `step`.
std::vector<std::string> step_block(const std::filesystem::path& p, int step) {
  char head[16];
  std::snprintf(head, sizeof head, " STEP%4d", step);
  std::vector<std::string> out;
  bool in = false;
  for (const auto& l : read_lines(p)) {
    if (l.rfind(" STEP", 0) == 0) in = l.rfind(head, 0) == 0;
    if (in) out.push_back(l);
  }
  return out;
}

TEST(Restart, SavedAndContinuedRunMatchesAnUninterruptedRun) {
  TempDir whole, split;
  ASSERT_EQ(run_program(whole.path(), "   0  0  1     WHOLE\n" + structure() + card('L', 20, 1) + loads(5)).status, 0);

  ASSERT_EQ(run_program(split.path(), "   0 30  1     FIRST\n" + structure() + card('L', 20, 1) + loads(3)).status, 0);
  ASSERT_TRUE(std::filesystem::exists(split / "fort.30"));
  const auto r = run_program(split.path(), "  30  0  1     SECOND\n" + card('W', 0, 0, 0, {2.22, 1.12}) +
                                               card('L', -20, -1) + loads(2));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" STEP: 4"), std::string::npos);  // numbering goes on

  for (const char* f : {"Jdis.rst", "Mfor.rst", "Mstr.rst", "Jfor.rst"}) {
    const auto a = step_block(whole / f, 5), b = step_block(split / f, 5);
    ASSERT_FALSE(a.empty()) << f;
    EXPECT_EQ(a, b) << f;
  }
}

TEST(Restart, BadRestartFilesStopWithStatusTwo) {
  TempDir dir;
  {  // missing file
    const auto r = run_program(dir.path(), "  31  0  1\nL -5\nF\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("fort.31"), std::string::npos) << r.err;
  }
  ASSERT_EQ(run_program(dir.path(), "   0 30  1\n" + structure() + card('L', 20, 1) + loads(1)).status, 0);
  const std::string saved = test::read_file(dir / "fort.30");
  {  // truncated
    test::write_file(dir / "fort.30", saved.substr(0, saved.size() / 2));
    const auto r = run_program(dir.path(), "  30  0  1\n" + card('L', -20, -1) + loads(1));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("fort.30: record"), std::string::npos) << r.err;
  }
  {  // a unit the program uses itself
    const auto r = run_program(dir.path(), "   0 17  1\n" + structure() + card('L', 20, 1) + loads(1));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("RESTART OUTPUT UNIT 17"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace nlf

namespace nlf {
namespace {

// A continued run reads on from the card after its control card; comment
// cards before the control card are not echoed a second time.
TEST(Restart, LeadingCommentsOfAContinuedDeckAreEchoedOnce) {
  const std::string first = "   0  9  1     PART A\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                            card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + card('J', 1, 0, 0, {0, 0}) +
                            card('J', 2, 0, 0, {300, 0}) + card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) +
                            "L  8\nB  1111\nB  2  0          0.0      -1.0\nA     1         0.01\nF\n";
  const std::string rest = "   9       1.0 PART B\nL -8\nB  1111\nB  2  0          0.0      -1.0\n"
                           "A     1         0.01\nF\n";
  for (const std::string lead : {"$ one comment\n", "$ first comment\n$ second comment\n"}) {
    TempDir dir;
    ASSERT_EQ(run_program(dir.path(), first).status, 0);
    const auto r = run_program(dir.path(), lead + rest);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = read_lines(dir / "R.rst");
    int klast = -1, control = 0, comments = 0;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
      if (lines[i].find("KLAST /NSYMAX") != std::string::npos) klast = i;
      if (lines[i].find("   9       1.0 PART B") != std::string::npos) ++control;
      if (lines[i].find("comment") != std::string::npos) ++comments;
    }
    ASSERT_GE(klast, 0);
    EXPECT_EQ(control, 0) << "the control card is read once and never echoed as a structure card";
    EXPECT_EQ(comments, 0);
    ASSERT_LT(klast + 1, static_cast<int>(lines.size()));
    EXPECT_EQ(lines[klast + 1].substr(0, 5), " L -8");
  }
}

}  // namespace
}  // namespace nlf
