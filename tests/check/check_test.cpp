#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "check/check.h"
#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::card;

const std::string kControl = "   0  0  1     CHECKED\n";
const std::string kSupports = card('P', 0, 0, 0, {2100, 21, 21}) + card('J', 1, 0, 0, {0, 0}) +
                              card('J', 2, 0, 0, {300, 0}) + card('J', 3, 0, 0, {600, 0});
const std::string kMember12 = card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8});
const std::string kHistory = card('B', 1, 111) + card('B', 3, 111) + card('B', 2, 0, 0, {0, -1}) +
                             card('E', 0, 5, 5, {1e-8}) + card('E', 0, 3, 0, {1e-8, 1}) + "F\n";

CheckResult check_text(const test::TempDir& dir, const std::string& deck) {
  test::write_file(dir / "deck.dat", deck);
  return check_deck((dir / "deck.dat").string());
}

TEST(Check, EveryMistakeOfADeckIsReportedAsTheProgramReportsTheFirst) {
  test::TempDir dir;
  const std::string deck =
      kControl + card('P', 0, 0, 0, {2100, 21, 2100}) + kSupports +
      card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + kMember12 +
      card('M', 2, 7, 1, {0.2, 0.4, 0.6, 0.8}) +                    // joint 7 undefined
      card('M', 2, 3, 2, {0.2, 0.4, 0.6, 0.8}) +                    // section 2 defined only later
      card('R', 2, 0, 0, {20, 0, 12, 0, 0, 2.4}) +                  // wall thicker than the radius
      "J  4  0  0      3x0.\n" + card('L', 30, 1) +                // not a number
      card('B', 9, 111) + card('B', 1, 111) + card('E', 0, 5, 5, {1e-8}) + "F\n";
  const CheckResult r = check_text(dir, deck);
  const std::string f = (dir / "deck.dat").string() + ": ";
  ASSERT_EQ(r.findings.size(), 6u);
  EXPECT_EQ(r.findings[0].text, f + "line 2, columns 31-40: P card gives E3 = 2100, which is not below E = 2100");
  EXPECT_EQ(r.findings[1].text, f + "line 9, columns 5-7: M card names joint 7, which is not defined");
  EXPECT_EQ(r.findings[2].text,
            f + "line 10, columns 8-10: M card names section 2, which no section card before it has defined");
  EXPECT_EQ(r.findings[3].text.rfind(f + "line 11, columns 31-40: warning: R card: section 2: wall thickness 12 "
                                         "is not below the radius 10", 0), 0u);
  EXPECT_EQ(r.findings[4].text, f + "line 12, columns 11-20: '3x0.' is not a number");
  EXPECT_EQ(r.findings[5].text, f + "line 14, columns 2-4: B card names joint 9, which is not defined");
  EXPECT_EQ(r.errors, 5);
  EXPECT_EQ(r.warnings, 1);
  // The counting pass meets the field that is not a number first: the run
  // stops there with the file layer's status.
  EXPECT_EQ(r.status, 2);
  const test::RunResult run = test::run_program(dir.path(), deck);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "nlframe: deck.dat: line 12, columns 11-20: '3x0.' is not a number\n");

  // Without it the run stops on the P card, with the check's first error.
  test::TempDir dir2;
  std::string fixed = deck;
  fixed.replace(fixed.find("3x0."), 4, "  0.");
  const CheckResult r2 = check_text(dir2, fixed);
  EXPECT_EQ(r2.status, 1);
  EXPECT_EQ(r2.errors, 4);
  const test::RunResult run2 = test::run_program(dir2.path(), fixed);
  EXPECT_EQ(run2.status, 1);
  EXPECT_EQ(run2.err, "nlframe: deck.dat: line 2, columns 31-40: P card gives E3 = 2100, which is not below E = 2100\n");
}

// Every refused path field of a group card is reported once, on its own
// line, and the cards after it are read as they stand.
TEST(Check, PathFieldErrorsLeaveTheCardsAfterThemReadRight) {
  test::TempDir dir;
  const std::string deck = kControl + kSupports + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + kMember12 +
                           card('L', 30, 1) + card('B', 1, 111) + card('B', 2, 0, 0, {0, -1}) +
                           card('E', 0, 5, 5, {1e-8, 1, 1, -4}) +      // line 11: X4 negative
                           card('B', 9, 111) +                         // line 12: joint 9 undefined
                           card('E', 0, 5, 5, {1e-8, 1, 1, 0, 1.2}) +  // line 13: X5 above 1
                           card('A', 0, 5, 5, {1, 1, 0, 0, -0.5}) +    // line 14: X5 negative
                           "E  0  5  5     1E-08        1.       nan\n" +  // line 15: X3 not a number
                           card('A', 0, 5, 5, {1, 0, 0, -1}) +         // no arc length: X4 unread
                           "F\n";
  const CheckResult r = check_text(dir, deck);
  const std::string f = (dir / "deck.dat").string() + ": line ";
  ASSERT_EQ(r.findings.size(), 5u);
  EXPECT_EQ(r.findings[0].text.rfind(f + "11, columns 41-50: E card asks for -4 iterations", 0), 0u);
  EXPECT_EQ(r.findings[1].text, f + "12, columns 2-4: B card names joint 9, which is not defined");
  EXPECT_EQ(r.findings[2].text.rfind(f + "13, columns 51-60: E card ends the group at 1.2 of", 0), 0u);
  EXPECT_EQ(r.findings[3].text.rfind(f + "14, columns 51-60: A card ends the group at -0.5 of", 0), 0u);
  EXPECT_EQ(r.findings[4].text, f + "15, columns 31-40: 'nan' is not a number");
  EXPECT_EQ(r.status, 1);
}

// X4 of the P card: a negative strain limit is reported, a positive one
// summed up with the material.
TEST(Check, StrainLimitOfThePCard) {
  const auto deck = [](double x4) {
    return kControl + kSupports + card('P', 0, 0, 0, {2100, 21, 21, x4}) +
           card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + kMember12 + card('L', 30, 1) + kHistory;
  };
  test::TempDir dir;
  const CheckResult bad = check_text(dir, deck(-0.05));
  ASSERT_EQ(bad.findings.size(), 1u);
  EXPECT_EQ(bad.findings[0].text, (dir / "deck.dat").string() +
                                      ": line 6, columns 41-50: P card gives the strain limit X4 = -0.05, which is "
                                      "negative (0 or blank: no limit)");
  EXPECT_EQ(bad.status, 1);
  const CheckResult good = check_text(dir, deck(0.05));
  ASSERT_EQ(good.status, 0);
  EXPECT_EQ(summary_lines("deck.dat", good)[4], "  material: E 2100, E2 21, E3 21 t/cm2, strain limit 0.05");
}

TEST(Check, SummaryFiguresOfSections) {
  test::TempDir dir;
  // O: D 20, B 10. I: D 30, B 15, web 1, flanges 2, no fillet. T: D 20,
  // B 10, stem 1, flange 2.
  const std::string deck = kControl + kSupports + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
                           card('I', 2, 0, 0, {30, 15, 1, 2, 0, 2.4}) +
                           card('S', 2, 0, 0, {-0.72, 0.34758621, 0.34758621, 0.34758621}) +
                           card('T', 3, 0, 0, {20, 10, 1, 2, 0, 3.6, -5}) + kMember12 +
                           card('M', 2, 3, -2, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.22}) +
                           card('L', 30, 1) + kHistory;
  const CheckResult r = check_text(dir, deck);
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(r.findings.empty());
  const DeckFacts& f = r.facts;
  EXPECT_EQ(f.joints, 3);
  EXPECT_EQ(f.members, 2);
  EXPECT_EQ(f.watches, 1);
  EXPECT_EQ(f.equations, 9);
  EXPECT_EQ(f.band, 6);
  EXPECT_EQ(f.groups, 2);
  EXPECT_EQ(f.steps, 8);
  EXPECT_EQ(f.arc_groups, 1);
  EXPECT_TRUE(f.in_memory);
  EXPECT_EQ(f.klast, 3200);
  ASSERT_EQ(f.sections.size(), 3u);

  const SectionFacts& o = f.sections[0];
  EXPECT_NEAR(o.area, 200.0, 1e-9);
  EXPECT_NEAR(o.inertia, 10.0 * 20 * 20 * 20 / 12, 0.003 * 6666.7);  // 20 strips: 6650
  EXPECT_NEAR(o.plastic, 10.0 * 20 * 20 / 4, 1e-9);
  EXPECT_NEAR(o.mp, 2.4 * 1000, 1e-9);
  EXPECT_EQ(o.members, 1);

  // Rectangular strips and trapezoids with their own centroids: the area
  // and the first moments are exact, the second moment a little low.
  const SectionFacts& i = f.sections[1];
  EXPECT_NEAR(i.area, 2 * 15 * 2 + 1 * 26, 1e-9);
  EXPECT_NEAR(i.plastic, 15 * 2 * 28 + 1 * 26 * 26 / 4.0, 1e-9);
  const double inertia = (15 * 30.0 * 30 * 30 - 14 * 26.0 * 26 * 26) / 12;
  EXPECT_LT(i.inertia, inertia);
  EXPECT_GT(i.inertia, 0.995 * inertia);

  // Not symmetric: the plastic axis lies in the flange, 1.9 cm below the
  // top, not at the centroid.
  const SectionFacts& t = f.sections[2];
  EXPECT_NEAR(t.area, 38, 1e-9);
  EXPECT_NEAR(t.plastic, 10 * 1.9 * 0.95 + 10 * 0.1 * 0.05 + 18 * 9.1, 0.002 * 181.9);
  EXPECT_NEAR(t.mp, 3.6 * t.plastic, 1e-9);
  EXPECT_EQ(t.members, 0);

  // The I section's residual stresses, 0.3 fy at the flange tips, balanced.
  EXPECT_FALSE(o.residual);
  ASSERT_TRUE(i.residual);
  EXPECT_EQ(i.residual_X[0], -0.72);
  EXPECT_LT(std::fabs(i.residual_force), 1e-6);
  EXPECT_LT(std::fabs(i.residual_moment), 1e-9);

  const auto lines = summary_lines("deck.dat", r);
  EXPECT_EQ(lines[0], "deck.dat: no errors");
  EXPECT_EQ(lines[5], "  section 1: area 200 cm2, I 6650 cm4, Zp 1000 cm3, yield 2.4 t/cm2, Mp 2400 t-cm, 1 member");
  EXPECT_EQ(lines[7].substr(0, 71), "    residual stresses -0.72 0.347586 0.347586 0.347586 t/cm2: sum A*s0 ");
  EXPECT_EQ(lines[8].substr(0, 12), "  section 3:");
}

// The program's own status rules, no file in the working folder, and the
// decks that ship and the large frames.
TEST(Check, ProgramStatusesAndNoFilesWritten) {
  const std::string bin = NLFRAME_CHECK_BINARY;
  const auto status = [](const std::string& cmd) { return WEXITSTATUS(std::system(cmd.c_str())); };
  test::TempDir dir;
  test::write_file(dir / "ok.dat",
                   kControl + kSupports + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + kMember12 +
                       card('W', 0, 0, 0, {2.22}) + card('W', 0, 0, 0, {2.12}) + card('L', 30, 1) + kHistory);
  test::write_file(dir / "bad.dat", kControl + kSupports + kMember12 + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
                                        card('L', 30, 1) + kHistory);
  test::write_file(dir / "warn.dat", kControl + kSupports + card('I', 1, 0, 0, {30, 15, 0, 2, 0, 2.4}) +
                                         kMember12 + card('L', 30, 1) + kHistory);
  test::write_file(dir / "short.dat", kControl + kSupports);
  const std::string in = "cd '" + dir.path().string() + "' && '" + bin + "' ";
  EXPECT_EQ(status(in + "ok.dat > ok.out 2> ok.err"), 0);
  EXPECT_EQ(test::read_lines(dir / "ok.out").size(), 9u);
  EXPECT_EQ(status(in + "bad.dat > bad.out 2> bad.err"), 1);
  EXPECT_EQ(test::read_file(dir / "bad.err"),
            "bad.dat: line 6, columns 8-10: M card names section 1, which no section card before it has "
            "defined\nnlframe-check: bad.dat: 1 error\n");
  EXPECT_EQ(status(in + "warn.dat > warn.out 2> warn.err"), 0);
  EXPECT_EQ(test::read_file(dir / "warn.err").rfind("warn.dat: line 6, columns 31-40: warning: I card: section 1: "
                                                    "web thickness 0 is not positive", 0), 0u);
  EXPECT_EQ(status(in + "short.dat > short.out 2> short.err"), 2);
  EXPECT_NE(test::read_file(dir / "short.err").find("end of file"), std::string::npos);
  EXPECT_EQ(status(in + "missing.dat > /dev/null 2>&1"), 2);
  EXPECT_EQ(status(in + "> /dev/null 2>&1"), 2);
  EXPECT_EQ(status(in + "--frobnicate ok.dat > /dev/null 2> opt.err"), 2);
  EXPECT_EQ(test::read_lines(dir / "opt.err").at(0), "nlframe-check: unknown option '--frobnicate'");
  EXPECT_EQ(status(in + "--version | grep -q '^nlframe-check [0-9]'"), 0);
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.ends_with(".dat") || name.ends_with(".out") || name.ends_with(".err")) << name;
    ++files;
  }
  EXPECT_EQ(files, 13);
}

TEST(Check, ShippedDecksAndLargeFrames) {
  for (const auto& e : fs::directory_iterator(NLFRAME_EXAMPLES)) {
    if (e.path().extension() != ".dat") continue;  // the examples' pictures
    SCOPED_TRACE(e.path().string());
    const CheckResult r = check_deck(e.path().string());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.findings.empty());
  }
  EXPECT_EQ(check_deck(std::string(NLFRAME_EXAMPLES) + "/floor-load.dat").facts.loaded_members, 2);
  EXPECT_EQ(check_deck(std::string(NLFRAME_EXAMPLES) + "/buckling.dat").facts.buckling, 1);
  const std::string cases = NLFRAME_REGRESS_CASES;
  const CheckResult mem = check_deck(cases + "/frame-110-load/1/frame.dat");
  EXPECT_EQ(mem.status, 0);
  EXPECT_EQ(mem.facts.members, 110);
  EXPECT_EQ(mem.facts.joints, 66);
  EXPECT_TRUE(mem.facts.in_memory);
  const CheckResult scratch = check_deck(cases + "/frame-204-scratch/1/frame.dat");
  EXPECT_EQ(scratch.status, 0);
  EXPECT_EQ(scratch.facts.members, 204);
  EXPECT_FALSE(scratch.facts.in_memory);
  EXPECT_EQ(scratch.facts.klast, 1600 * 204);
}

// The stores a deck needs: within the fixed ones, past their joints (an
// error unless the check is for stores that follow the model, and said on
// the 334th J card), and past the 999 joints a joint number allows.
TEST(Check, TheStoresADeckNeedsAndWhetherTheFixedOnesHoldThem) {
  test::TempDir dir;
  const auto tower = [](int joints) {  // a column of `joints` joints
    std::string d = kControl + card('P', 0, 0, 0, {2100, 21, 21}) + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4});
    for (int j = 1; j <= joints; ++j) d += card('J', j <= 999 ? j : 1, 0, 0, {0, 100.0 * j});
    for (int j = 1; j < std::min(joints, 999); ++j) d += card('M', j, j + 1, 1, {0.2, 0.4, 0.6, 0.8});
    return d + card('L', 30, 1) + card('B', 1, 111) + card('B', 2, 0, 0, {1, 0}) + card('E', 0, 1, 0, {1e-8}) + "F\n";
  };
  const CheckResult small = check_text(dir, tower(3));
  EXPECT_EQ(small.status, 0);
  EXPECT_TRUE(small.facts.fixed_holds);
  EXPECT_EQ(summary_lines("deck.dat", small).back(),
            "  stores: the model needs 80 places of the integer workspace, 949 of the real, 3 joints: the fixed "
            "stores hold it (30000, 600000, 333 joints)");

  test::write_file(dir / "deck.dat", tower(400));
  const std::string path = (dir / "deck.dat").string();
  const CheckResult fixed = check_deck(path);
  EXPECT_EQ(fixed.status, 1);
  ASSERT_EQ(fixed.findings.size(), 1u);
  EXPECT_EQ(fixed.findings[0].text, path + ": line 337: J card: more than 333 joints, the most the fixed stores hold "
                                           "(the deck has 400; --capacity auto sizes the stores from the deck)");
  EXPECT_FALSE(fixed.facts.fixed_holds);
  EXPECT_EQ(fixed.facts.need_joints, 400);
  const CheckResult follows = check_deck(path, Capacity::following());
  EXPECT_EQ(follows.status, 0);
  EXPECT_TRUE(follows.facts.in_memory);
  EXPECT_EQ(follows.facts.nsymax, 1600 * 399 + 1);
  const auto lines = summary_lines("deck.dat", follows);
  EXPECT_EQ(lines.end()[-2], "  fibre state in memory (KLAST 638400 of 638401)");
  EXPECT_EQ(lines.back().substr(lines.back().find(", 400 joints")),
            ", 400 joints: beyond the fixed stores (30000, 600000, 333 joints)");

  const CheckResult over = check_text(dir, tower(1000));
  EXPECT_EQ(over.status, 1);
  ASSERT_EQ(over.findings.size(), 1u);
  EXPECT_EQ(over.findings[0].text, path + ": line 1003: J card: more than 999 joints, the most a joint number of "
                                          "three columns allows");

  // The program's option; nothing on standard error but the findings.
  const std::string in = "cd '" + dir.path().string() + "' && '" + NLFRAME_CHECK_BINARY + "' ";
  test::write_file(dir / "deck.dat", tower(400));
  EXPECT_EQ(std::system((in + "deck.dat > fixed.out 2> fixed.err").c_str()) >> 8, 1);
  EXPECT_EQ(test::read_lines(dir / "fixed.err").size(), 2u);
  EXPECT_EQ(std::system((in + "--capacity auto deck.dat > auto.out 2> auto.err").c_str()) >> 8, 0);
  EXPECT_EQ(test::read_file(dir / "auto.err"), "");
  EXPECT_EQ(std::system((in + "--capacity=0 deck.dat > /dev/null 2> bad.err").c_str()) >> 8, 2);
  EXPECT_EQ(test::read_lines(dir / "bad.err").at(0),
            "nlframe-check: option '--capacity' needs 'auto' or a size in MiB from 1 to 1048576, not '0'");
}

}  // namespace
}  // namespace nlf
