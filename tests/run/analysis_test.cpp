// Whole runs checked against closed-form results of structural mechanics and
// against the bookkeeping that the load history asks for.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "run/run.h"
#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;
using test::read_file;
using test::read_lines;
using test::run_program;
using test::TempDir;

// Material and section used throughout: E = 2100, a 20 x 10 rectangle of 20
// strips, whose fibre sums are A = 200, sum A z^2 = 6650, sum A |z| = 1000.
constexpr double kE = 2100.0;
constexpr double kEI = kE * 6650.0;
constexpr double kMp = 2.4 * 1000.0;

std::string header(const std::string& title) { return "   0  0  1     " + title + "\n"; }

// The data lines of a history file: step, then the watched values.
std::vector<std::vector<double>> history(const std::filesystem::path& p) {
  std::vector<std::vector<double>> rows;
  const auto lines = read_lines(p);
  for (size_t i = 16; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    std::vector<double> row;
    double v;
    while (in >> v) row.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

// The joint lines of Jfor.rst: for each output step, per joint
// (number, AC x3, EX x3, IN x3).
std::vector<std::vector<std::vector<double>>> joint_forces(const std::filesystem::path& p) {
  std::vector<std::vector<std::vector<double>>> steps;
  const auto lines = read_lines(p);
  for (size_t i = 18; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (l.rfind(" STEP", 0) == 0) {
      steps.emplace_back();
      continue;
    }
    if (l.empty() || l.rfind(" JOINT", 0) == 0 || steps.empty()) continue;
    std::istringstream in(l);
    std::vector<double> row;
    double v;
    while (in >> v) row.push_back(v);
    steps.back().push_back(row);
  }
  return steps;
}

std::string cantilever(int section, double load, const std::string& history_cards) {
  return header("CANTILEVER") + card('P', 0, 0, 0, {kE, 21, 21}) +
         card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + card('J', 1, 0, 0, {0, 0}) +
         card('J', 2, 0, 0, {300, 0}) + card('M', 1, 2, section, {0.2, 0.4, 0.6, 0.8}) +
         card('W', 0, 0, 0, {2.22, 2.12}) + card('L', 20, 1) + card('B', 1, 111) +
         card('B', 2, 0, 0, {0, load}) + history_cards + "F\n";
}

TEST(Analysis, ElasticCantileverTipDeflection) {
  for (int section : {1, -1}) {  // with and without the axial-force terms
    TempDir dir;
    const auto r = run_program(dir.path(), cantilever(section, -1.0, card('E', 0, 1, 1, {1e-12})));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto h = history(dir / "fort.61");
    ASSERT_EQ(h.size(), 1u);
    const double expect_mm = -10.0 * 1.0 * std::pow(300.0, 3) / (3 * kEI);
    EXPECT_NEAR(h[0][1] / expect_mm, 1.0, 1e-4) << h[0][1];
    EXPECT_NEAR(h[0][2], -1.0, 1e-4);
  }
}

TEST(Analysis, CantileverReachesItsPlasticLimitLoad) {
  // Small hardening; the tip is pushed down by prescribed displacements.
  TempDir dir;
  const std::string deck =
      header("PLASTIC CANTILEVER") + card('P', 0, 0, 0, {kE, 2.1, 2.1}) +
      card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + card('J', 1, 0, 0, {0, 0}) +
      card('J', 2, 0, 0, {300, 0}) + card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) +
      card('W', 0, 0, 0, {2.22, 2.12}) + card('L', 30, 1) + card('B', 1, 111) + card('B', 2, 20, 0, {0, -0.5}) +
      card('E', 1, 28, 1, {1e-10}) + "F\n";
  const auto r = run_program(dir.path(), deck);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto h = history(dir / "fort.61");
  ASSERT_EQ(h.size(), 28u);
  EXPECT_NEAR(h.back()[1], -140.0, 1e-6);  // 28 steps of 0.5 cm, in mm
  const double limit = kMp / 300.0;
  // The reaction at the pushed tip (the internal force balancing it) rises
  // towards Mp / L and stays within 1 % of it.
  const double final_load = -h.back()[2];
  EXPECT_NEAR(final_load / limit, 1.0, 0.01) << final_load;
  for (const auto& row : h) EXPECT_LT(-row[2], limit * 1.01);
}

// A pinned column of `n` members with a small initial sway of its joints,
// loaded at the top under arc-length control.
std::string column(int n, double bow, int steps, double arclen) {
  const double L = 1000.0;
  std::string deck = header("EULER COLUMN") + card('P', 0, 0, 0, {kE, 21, 21}) +
                     card('O', 1, 0, 0, {20, 10, 0, 0, 0, 1000.0});
  for (int j = 0; j <= n; ++j) {
    const double y = L * j / n;
    deck += card('J', j + 1, 0, 0, {bow * L * std::sin(std::numbers::pi * y / L), y});
  }
  for (int m = 1; m <= n; ++m) deck += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8, n == 1 ? bow : 0.0});
  deck += card('W', 0, 0, 0, {(n + 1) + 0.12, (n / 2 + 1) + 0.21}) + card('L', 30, 1) + card('B', 1, 110) +
          card('B', n + 1, 100, 0, {0, -1}) + card('E', 0, steps, 1, {1e-10, arclen});
  return deck + "F\n";
}

// The sway at mid-height of a one-member column: the larger of its node
// points 3 and 4 (fractions 0.4 and 0.6), per detail step, in mm.
std::vector<double> member_sway(const std::filesystem::path& mdis) {
  std::vector<double> sway;
  double u3 = 0;
  for (const auto& l : read_lines(mdis)) {
    if (l.rfind("   1(  1-  2)  3", 0) != 0 && l.rfind("   1(  1-  2)  4", 0) != 0) continue;
    std::istringstream in(l.substr(16));
    std::vector<double> v;
    double x;
    while (in >> x) v.push_back(x);
    const double u = std::fabs(v.at(v.size() - 3));
    if (l[15] == '3') {
      u3 = u;
    } else {
      sway.push_back(std::max(u3, u));
    }
  }
  return sway;
}

TEST(Analysis, BowedColumnApproachesTheEulerLoad) {
  const double euler = std::numbers::pi * std::numbers::pi * kEI / (1000.0 * 1000.0);
  double load_at_sway[2] = {0, 0};
  for (int variant = 0; variant < 2; ++variant) {
    TempDir dir;
    const int n = variant == 0 ? 4 : 1;
    const auto r = run_program(dir.path(), column(n, 0.001, 60, 4.0));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto h = history(dir / "fort.61");
    const auto sway = n == 1 ? member_sway(dir / "Mdis.rst") : std::vector<double>{};
    for (size_t i = 0; i < h.size(); ++i) {
      const double s = n == 1 ? sway.at(i) : std::fabs(h[i][2]);
      if (s >= 500.0) {  // mid-height sway of L / 20
        load_at_sway[variant] = -h[i][1];
        break;
      }
    }
  }
  EXPECT_NEAR(load_at_sway[0] / euler, 1.0, 0.02) << load_at_sway[0] << " vs " << euler;
  // One member carries its axial force along straight segment chords and
  // comes out a few per cent stiffer.
  EXPECT_GT(load_at_sway[1] / euler, 1.005) << load_at_sway[1];
  EXPECT_LT(load_at_sway[1] / euler, 1.05) << load_at_sway[1];
}

TEST(Analysis, ImposedDisplacementMovesByFactorTimesValue) {
  TempDir dir;
  // A card: X1 is both the tolerance and the load factor (0.5).
  const auto r = run_program(dir.path(), cantilever(1, 0, "") + "");
  ASSERT_EQ(r.status, 0);
  const std::string deck = header("IMPOSED") + card('P', 0, 0, 0, {kE, 21, 21}) +
                           card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) + card('J', 1, 0, 0, {0, 0}) +
                           card('J', 2, 0, 0, {300, 0}) + card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) +
                           card('W', 0, 0, 0, {2.22}) + card('L', 10, 1) + card('B', 1, 111) +
                           card('B', 2, 20, 0, {0, 2.0}) + card('A', 1, 2, 1, {0.5}) + "F\n";
  const auto r2 = run_program(dir.path(), deck);
  ASSERT_EQ(r2.status, 0) << r2.err;
  const auto h = history(dir / "fort.61");
  ASSERT_EQ(h.size(), 2u);
  EXPECT_NEAR(h[0][1], 10.0, 1e-9);  // 0.5 x 2.0 cm = 10 mm
  EXPECT_NEAR(h[1][1], 20.0, 1e-9);
}

std::string arc_cantilever(const std::string& groups) {
  return header("ARC") + card('P', 0, 0, 0, {kE, 21, 21}) + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
         card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {300, 0}) +
         card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.22, 2.12}) + card('L', 40, 1) +
         card('B', 1, 111) + card('B', 2, 0, 0, {0, -1}) + groups + "F\n";
}

TEST(Analysis, ArcLengthStepsStayOnTheEquilibriumPath) {
  TempDir dir;
  // Past first yield with a tight tolerance: many iterations per step.
  const auto r = run_program(dir.path(), arc_cantilever(card('E', 0, 12, 1, {1e-14, 1.5})));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto steps = joint_forces(dir / "Jfor.rst");
  ASSERT_EQ(steps.size(), 12u);
  double previous = 0;
  for (const auto& s : steps) {
    const auto& tip = s.at(1);
    const double ex = tip.at(5), in = tip.at(8);
    EXPECT_NEAR(in, ex, 1e-3 * std::max(1.0, std::fabs(ex)));
    EXPECT_LT(ex, previous);  // the load keeps growing downward
    previous = ex;
  }
  EXPECT_GT(-previous, 6.0);  // beyond first yield of the outer fibres (5.6)
}

TEST(Analysis, LoadIsNeitherLostNorDoubledWhenGroupsChange) {
  TempDir dir;
  // Two arc-length groups, then a load-controlled group of the same pattern.
  const std::string groups = card('E', 0, 2, 1, {1e-12, 0.5}) + card('E', 0, 2, 1, {1e-12, 0.5}) +
                             card('E', 0, 1, 1, {1e-12});
  const auto r = run_program(dir.path(), arc_cantilever(groups));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto steps = joint_forces(dir / "Jfor.rst");
  ASSERT_EQ(steps.size(), 5u);
  for (const auto& s : steps) EXPECT_NEAR(s[1][8], s[1][5], 1e-3);
  // The load-controlled step adds exactly one pattern to the arc-length total.
  EXPECT_NEAR(steps[4][1][5] - steps[3][1][5], -1.0, 1e-9);
}

TEST(Analysis, MemoryAndScratchModesWriteTheSameResults) {
  const std::string deck = arc_cantilever(card('E', 0, 3, 2, {1e-12, 1.5}) + card('E', 0, 2, 1, {1e-12}));
  TempDir mem, scr;
  for (auto* d : {&mem, &scr}) {
    test::write_file(d->path() / "deck.dat", deck);
    test::InDir in(d->path());
    DriverOptions opt;
    opt.force_scratch = (d == &scr);
    ASSERT_EQ(run_with_input("deck.dat\n", opt), 0);
  }
  for (const char* f : {"Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst", "fort.61"})
    EXPECT_EQ(read_file(mem / f), read_file(scr / f)) << f;
}

int count_lines_starting(const std::filesystem::path& p, const std::string& prefix) {
  int n = 0;
  for (const auto& l : read_lines(p)) n += l.rfind(prefix, 0) == 0;
  return n;
}

TEST(Analysis, DriverCountsStepsIterationsAndOutputs) {
  {  // MAXIT = MINIT = 0: one solve and one iteration line per step
    TempDir dir;
    std::string deck = cantilever(1, -1, card('E', 0, 3, 1, {1e-3}));
    deck.replace(deck.find("L 20  1"), 7, "L  0  0");
    ASSERT_EQ(run_program(dir.path(), deck).status, 0);
    EXPECT_EQ(count_lines_starting(dir / "R.rst", "    1 "), 3);
    EXPECT_EQ(count_lines_starting(dir / "R.rst", "    2 "), 0);
  }
  {  // TOL = 0: every step runs to the larger of MAXIT and MINIT + 1
    TempDir dir;
    std::string deck = cantilever(1, -1, card('E', 0, 2, 1, {0}));
    deck.replace(deck.find("L 20  1"), 7, "L  2  3");
    ASSERT_EQ(run_program(dir.path(), deck).status, 0);
    EXPECT_EQ(count_lines_starting(dir / "R.rst", "    4 "), 2);
    EXPECT_EQ(count_lines_starting(dir / "R.rst", "    5 "), 0);
  }
  {  // detail interval 3 in a group of 7; a group of 0 steps is one step
    TempDir dir;
    const auto r = run_program(dir.path(), cantilever(1, -0.1, card('E', 0, 7, 3, {1e-8}) + card('E', 0, 0, 0, {1e-8})));
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> mdis;
    for (const auto& l : read_lines(dir / "Mdis.rst"))
      if (l.rfind(" STEP", 0) == 0) mdis.push_back(l.substr(0, 9));
    EXPECT_EQ(mdis, (std::vector<std::string>{" STEP   1", " STEP   4", " STEP   7", " STEP   8"}));
    EXPECT_EQ(history(dir / "fort.61").size(), 8u);
    EXPECT_NE(r.out.find(" STEP: 9\n"), std::string::npos);  // the step that meets the F card
  }
  {  // output every second step
    TempDir dir;
    std::string deck = cantilever(1, -0.1, card('E', 0, 5, 1, {1e-8}));
    deck.replace(0, 10, "   0  0  2");
    ASSERT_EQ(run_program(dir.path(), deck).status, 0);
    const auto h = history(dir / "fort.61");
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0][0], 2);
    EXPECT_EQ(h[1][0], 4);
  }
}

}  // namespace
}  // namespace nlf

namespace nlf {
namespace {

TEST(Analysis, NegativeLimitCountOnAFreshRunStillStartsFromTheInitialState) {
  // Without a restored state to keep, the fibres start as on any fresh run:
  // the elastic cantilever deflects as it does with a positive count.
  TempDir dir;
  std::string deck = cantilever(1, -1.0, card('E', 0, 1, 1, {1e-12}));
  deck.replace(deck.find("L 20  1"), 7, "L-20  1");
  const auto r = run_program(dir.path(), deck);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto h = history(dir / "fort.61");
  ASSERT_EQ(h.size(), 1u);
  EXPECT_NEAR(h[0][1], -10.0 * std::pow(300.0, 3) / (3 * kEI), 1e-3);
  EXPECT_EQ(test::read_file(dir / "R.rst").find("MATRIX INDEX"), std::string::npos);
}

}  // namespace
}  // namespace nlf

namespace nlf {
namespace {

// A model without members has no band width: a load step with the usual
// and with the exact tangent still runs on it. Without joints it ends well;
// with free joints only, the first solve finds no stiffness and stops.
TEST(Analysis, ModelsWithoutMembersRunTheirStepOrStopOnThePivot) {
  for (double tangent : {0.0, 1.0}) {
    SCOPED_TRACE(tangent);
    const std::string group = card('E', 0, 1, 1, {0, 0, 0, 0, 0, tangent}) + "F\n";
    TempDir empty;
    const auto e = run_program(empty.path(), "$ nothing\n" + header("EMPTY") + card('L', 1) + group);
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_NE(e.err.find("nlframe: 1 steps, 1 iterations"), std::string::npos) << e.err;

    TempDir joints;
    const auto j = run_program(joints.path(), header("JOINTS") + card('J', 1, 0, 0, {0, 0}) +
                                                  card('J', 2, 0, 0, {100, 0}) + card('L', 1) + group);
    EXPECT_EQ(j.status, 1) << j.err;
    // Joints that no member holds: a singular model, told as such.
    EXPECT_NE(j.err.find("the model is a mechanism, its stiffness matrix is singular before any load: nothing holds "
                         "joint 1 in X"),
              std::string::npos)
        << j.err;
  }
}

}  // namespace
}  // namespace nlf
