// The ultimate load of a run: adaptive groups that take failed steps back
// exactly and find the same peak from any starting arc length, and the
// warnings and stops that say when a peak cannot be trusted. The peaks are
// checked against the same column computed with very short fixed steps.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <array>
#include <string>
#include <vector>

#include "run/engine.h"
#include "run/step_control.h"
#include "support/engine_run.h"
#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::card;
using test::read_file;
using test::curve;
using test::run_in;
using test::TempDir;


std::string errors(const RunResult& r) {
  std::string s;
  for (const std::string& l : r.messages) s += l + "\n";
  return s;
}

// A pinned column of HEB 300 bent about its strong axis (fy 2.4, E2 = E3 =
// E/100 unless given), of relative slenderness `slender`, bowed by L/1000 as
// a half sine through four members, under a load at its top of the squash
// load times the load factor; the group ends below `drop` of its peak.
constexpr double kA = 149.1, kI = 25170.0, kFy = 2.4, kE = 2100.0;

std::string column(double slender, double x2, double x4, double x6, int steps, double limit = 0,
                   double drop = 0.9, double load = kA * kFy, double e2 = 21) {
  const double L = slender * std::numbers::pi * std::sqrt(kE / kFy) * std::sqrt(kI / kA);
  std::string d = "   0  0  1     PINNED COLUMN\n" + card('P', 0, 0, 0, {kE, e2, e2, limit}) +
                  card('I', 1, 0, 0, {30, 30, 1.1, 1.9, 2.7, kFy});
  for (int k = 0; k <= 4; ++k)
    d += card('J', k + 1, 0, 0, {L / 1000 * std::sin(std::numbers::pi * k / 4), L * k / 4});
  for (int m = 1; m <= 4; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('L', 30, 1) + card('B', 1, 110) + card('B', 5, 100, 0, {0, -load});
  d += card('E', 0, steps, 1, {1e-8, x2, 1, x4, drop, x6});
  return d + "F\n";
}

double load_factor_peak(const RunResult& r) { return r.summary.peaks[0].value; }

// The peak that very short fixed steps converge to: arc lengths of `x2` and
// half of it agree to 0.1 %.
double reference_peak(const fs::path& dir, double slender, double limit, double x2) {
  const RunResult a = run_in(dir / "ref-1", column(slender, x2, 0, 0, 999, limit, 0.97));
  const RunResult b = run_in(dir / "ref-2", column(slender, x2 / 2, 0, 0, 999, limit, 0.97));
  EXPECT_EQ(b.status, 0) << b.message;
  EXPECT_TRUE(b.summary.peaks[0].passed && b.summary.peaks[0].converged) << b.message;
  EXPECT_NEAR(load_factor_peak(a), load_factor_peak(b), 1e-3 * load_factor_peak(b));
  return load_factor_peak(b);
}

TEST(UltimateLoad, AdaptiveColumnsFindThePeakOfShortFixedStepsFromAnyStart) {
  TempDir dir;
  // Stocky (whose hardening would carry load without end: a strain limit),
  // intermediate and slender.
  // The fixed arc lengths of the references shrink with the slenderness.
  const struct {
    double slender, limit, x2;
  } columns[] = {{0.3, 0.05, 0.0057}, {1.0, 0, 0.0754}, {1.5, 0, 0.226}};
  for (const auto& c : columns) {
    const double ref = reference_peak(dir.path() / std::to_string(c.slender), c.slender, c.limit, c.x2);
    for (double x4 : {3.0, 4.0})
      for (double x6 : {0.0, 1.0})
        for (double x2 : {0.5, 4.0}) {
          const std::string what = "slenderness " + std::to_string(c.slender) + ", X2 " + std::to_string(x2) +
                                   ", X4 " + std::to_string(x4) + ", X6 " + std::to_string(x6);
          const RunResult r = run_in(dir / "adaptive", column(c.slender, x2, x4, x6, 400, c.limit));
          ASSERT_EQ(r.status, 0) << what << ": " << r.message;
          const GroupPeak& p = r.summary.peaks[0];
          EXPECT_TRUE(p.passed && p.converged) << what;
          EXPECT_NEAR(p.value, ref, 0.01 * ref) << what;
        }
  }
}

// A portal with a spring at its beam, under gravity, then pushed sideways
// past its peak with an adaptive arc length.
std::string portal() {
  std::string d = "   0  0  1     PORTAL\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                  card('I', 1, 0, 0, {20, 10, 0.56, 0.85, 1.2, 2.4});
  const double xy[4][2] = {{0, 0}, {0, 300}, {600, 300}, {600, 0}};
  for (int j = 1; j <= 4; ++j) d += card('J', j, 0, 0, {xy[j - 1][0], xy[j - 1][1]});
  for (int m = 1; m <= 3; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('K', 3, 0, 0, {0.5}) + card('W', 0, 0, 0, {2.21, 2.11}) + card('L', 30, 1);
  d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {0, -8}) + card('B', 3, 0, 0, {0, -8}) +
       card('E', 0, 3, 1, {1e-8});
  d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {1, 0}) +
       card('E', 0, 60, 1, {1e-8, 1, 1, 4, 0.8});
  return d + "F\n";
}

TEST(UltimateLoad, AStepThatFailsIsTakenBackExactlyAndTriedShorter) {
  TempDir dir;
  const std::string deck = portal();
  constexpr int kStep = 9;  // a step of the push
  StepProbe shorter;
  shorter.scale = [](int step) { return step == kStep ? 0.5 : 1.0; };
  const RunResult plain = run_in(dir / "plain", deck, &shorter);
  ASSERT_EQ(plain.status, 0) << plain.message;
  const char* files[] = {"Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst", "fort.61"};
  const struct {
    StepFault fault;
    int threads;
    bool scratch;
  } cases[] = {{StepFault::kDiverged, 1, false},
               {StepFault::kIterationLimit, 2, false},
               {StepFault::kPivot, 1, true},
               {StepFault::kSegment, 2, false}};
  for (const auto& c : cases) {
    StepProbe failing;
    failing.fault = [&](int step, int attempt, int iteration) {
      return step == kStep && attempt == 0 && iteration == 2 ? c.fault : StepFault::kNone;
    };
    const fs::path folder = dir / fault_text(c.fault);
    const RunResult r = run_in(folder, deck, &failing, c.threads, c.scratch);
    ASSERT_EQ(r.status, 0) << r.message;
    EXPECT_EQ(r.summary.cut_backs, 1);
    EXPECT_EQ(r.summary.steps, plain.summary.steps);
    EXPECT_EQ(r.summary.peaks[1].value, plain.summary.peaks[1].value);
    for (const char* f : files) EXPECT_EQ(read_file(folder / f), read_file(dir / "plain" / f)) << fault_text(c.fault) << f;
    EXPECT_NE(read_file(folder / "R.rst").find("CUT BACK: STEP    9 " + std::string(fault_text(c.fault))),
              std::string::npos);
  }
}


TEST(UltimateLoad, APushOverFindsThePeakOfShortFixedStepsFromAnyStart) {
  TempDir dir;
  const fs::path example = fs::path(NLFRAME_REGRESS) / "cases" / "example-pushover" / "1" / "pushover.dat";
  const std::string deck = read_file(example);
  const std::string group = "E  0200 10     1E-08       0.5        1.        4.       0.8\n";
  ASSERT_NE(deck.find(group), std::string::npos);
  const auto with = [&](const std::string& card_text) {
    std::string d = deck;
    return d.replace(d.find(group), group.size(), card_text);
  };
  const RunResult ref = run_in(dir / "ref", with(card('E', 0, 999, 10, {1e-8, 0.02, 1, 0, 0.95})));
  ASSERT_EQ(ref.status, 0) << ref.message;
  const double peak = ref.summary.peaks[1].value;
  for (double x2 : {0.25, 1.0, 4.0})
    for (double x6 : {0.0, 1.0}) {
      const RunResult r = run_in(dir / "adaptive", with(card('E', 0, 200, 10, {1e-8, x2, 1, 4, 0.8, x6})));
      ASSERT_EQ(r.status, 0) << r.message;
      EXPECT_TRUE(r.summary.peaks[1].passed && r.summary.peaks[1].converged) << r.message;
      EXPECT_NEAR(r.summary.peaks[1].value, peak, 0.01 * peak) << "X2 " << x2 << ", X6 " << x6;
    }
}

// Column (0,0)-(0,120) and beam (0,120)-(120,120) of a 2 x 3 cm rectangle
// (E = 720, kept elastic), pinned at both ends, 1 t down at 24 cm from the
// corner: the load rises to a limit point, falls below zero while the
// loaded point snaps back up, and rises again.
std::string lframe(double x2, double x4, int steps) {
  std::string d = "   0  0  1     L-SHAPED FRAME\n" + card('P', 0, 0, 0, {720, 7.2, 7.2}) +
                  card('O', 1, 0, 0, {2, 3, 0, 0, 0, 1e6});
  const double xy[4][2] = {{0, 0}, {0, 120}, {24, 120}, {120, 120}};
  for (int j = 1; j <= 4; ++j) d += card('J', j, 0, 0, {xy[j - 1][0], xy[j - 1][1]});
  for (int m = 1; m <= 3; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('W', 0, 0, 0, {3.22, 3.12}) + card('L', 30, 1) + card('B', 1, 110) + card('B', 4, 110) +
       card('B', 3, 0, 0, {0, -1}) + card('E', 0, steps, 1, {1e-8, x2, 1, x4, 0, 1});
  return d + "F\n";
}

TEST(UltimateLoad, AnElasticFrameKeepsItsPathThroughTheSnapBack) {
  TempDir dir;
  // Load factor (the watched force is minus it) and the downward travel
  // of the loaded point: the first limit point, the lowest load, and
  // whether the loaded point came back up on the way.
  const auto path = [&](const std::string& name, const std::string& deck) {
    const RunResult r = run_in(dir / name, deck);
    EXPECT_EQ(r.status, 0) << r.message;
    EXPECT_EQ(r.summary.not_converged, 0);
    double top = 0, lowest = 0, deepest = 0, back_up = 0;
    for (const auto& row : curve(dir / name / "fort.61")) {
      const double lf = -row[2], down = -row[1];
      if (lowest == 0 && lf > top) top = lf;
      lowest = std::min(lowest, lf);
      deepest = std::max(deepest, down);
      back_up = std::max(back_up, deepest - down);
    }
    return std::array{top, lowest, back_up};
  };
  const auto fixed = path("fixed", lframe(0.5, 0, 400));
  const auto adaptive = path("adaptive", lframe(1, 4, 200));
  EXPECT_NEAR(adaptive[0], fixed[0], 0.001 * fixed[0]);
  EXPECT_LT(fixed[1], -0.9);
  EXPECT_NEAR(adaptive[1], fixed[1], 0.01 * std::fabs(fixed[1]));
  EXPECT_GT(fixed[2], 50.0);  // mm: the snap-back
  EXPECT_GT(adaptive[2], 50.0);
}

TEST(UltimateLoad, DivergenceIsSeenInTheRatiosOfTheIterations) {
  DivergenceWatch settling;
  bool diverged = false;
  for (int it = 1; it <= 6; ++it) diverged = diverged || settling.diverged(std::pow(0.1, it), 1.0, 0.5, it);
  EXPECT_FALSE(diverged);
  DivergenceWatch growing;
  for (int it = 1; it <= 3; ++it) EXPECT_FALSE(growing.diverged(std::pow(10.0, it - 2), 1.0, 0.5, it));
  EXPECT_TRUE(growing.diverged(100.0, 1.0, 0.5, 4));
  EXPECT_TRUE(DivergenceWatch{}.diverged(NAN, 1.0, 0.5, 1));
  EXPECT_TRUE(DivergenceWatch{}.diverged(1e-3, 1.0, HUGE_VAL, 1));
  EXPECT_FALSE(DivergenceWatch{}.diverged(0.0, 0.0, 0.0, 1));  // nothing moves: no divergence
}

TEST(UltimateLoad, FixedStepsKeepTheirPathAndSayWhenThePeakIsNotToBeTrusted) {
  TempDir dir;
  // Long fixed steps over the top of an intermediate column.
  const RunResult r = run_in(dir / "long", column(1.0, 4, 0, 0, 40));
  ASSERT_EQ(r.status, 0) << r.message;
  EXPECT_NE(r.message.find("yield strains in one step"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("X4 on the E card adapts the steps"), std::string::npos) << r.message;
  // A gravity group that simply ends has passed no peak.
  const RunResult g = run_in(dir / "gravity", column(1.0, 0, 0, 0, 3, 0, 0, 0.1 * kA * kFy));
  ASSERT_EQ(g.status, 0) << g.message;
  EXPECT_FALSE(g.summary.peaks[0].passed);
  EXPECT_NE(g.message.find("(still rising, no peak passed)"), std::string::npos) << g.message;
}

TEST(UltimateLoad, AStrainLimitEndsTheGroupAndTheRunGoesOn) {
  TempDir dir;
  std::string deck = column(0.3, 0.5, 4, 0, 400, 0.01, 0);
  deck.insert(deck.rfind("F\n"), card('B', 1, 110) + card('B', 5, 100, 0, {0, 10}) + card('E', 0, 2, 1, {1e-8, 0.05, 1, 4}));
  const RunResult r = run_in(dir / "limit", deck);
  ASSERT_EQ(r.status, 0) << r.message;
  EXPECT_NE(errors(r).find("exceeds the limit 0.01 of the P card: group 1 ends"), std::string::npos) << errors(r);
  ASSERT_EQ(r.summary.peak_count, 2) << errors(r);
  EXPECT_LE(r.summary.peaks[0].strain, 0.011);
  EXPECT_GT(r.summary.peaks[0].value, 0.9);
}

TEST(UltimateLoad, AColumnPushedThroughItselfStops) {
  TempDir dir;
  // Elastic, without the axial-force terms: every imposed step converges.
  const double L = 200;
  std::string d = "   0  0  1     PUSHED THROUGH\n" + card('P', 0, 0, 0, {kE, 21, 21}) +
                  card('O', 1, 0, 0, {20, 10, 0, 0, 0, 1e6}) + card('J', 1, 0, 0, {0, 0}) +
                  card('J', 2, 0, 0, {0, L}) + card('M', 1, 2, -1, {0.2, 0.4, 0.6, 0.8}) + card('L', 30, 1);
  d += card('B', 1, 111) + card('B', 2, 110, 0, {0, -0.1 * L}) + card('E', 1, 2, 1, {1e-8});
  d += card('B', 1, 111) + card('B', 2, 110, 0, {0, -1.5 * L}) + card('E', 1, 1, 1, {1e-8});
  const RunResult r = run_in(dir / "through", d + "F\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.message.find("of member 1 has been pushed through itself"), std::string::npos) << errors(r);
  EXPECT_NE(r.message.find("the last step done, 2,"), std::string::npos) << r.message;
  EXPECT_EQ(r.summary.steps, 2);
}

// Elastic-perfectly-plastic steel (E2 = E3 = 0) takes the same path as a
// hardening of E/100000: the peaks agree to 0.1 %, past the first fully
// plastic station (the stocky column) and with either tangent.
TEST(PerfectlyPlastic, PinnedColumnsPassTheirPeakAsWithATinyHardening) {
  TempDir dir;
  for (const double slender : {0.3, 1.0})
    for (const double x6 : {0.0, 1.0}) {
      const std::string what = "slenderness " + std::to_string(slender) + ", X6 " + std::to_string(x6);
      const auto peak = [&](double e2) {
        const RunResult r = run_in(dir / "column", column(slender, 0.5, 4, x6, 400, 0.05, 0.9, kA * kFy, e2));
        EXPECT_EQ(r.status, 0) << what << ": " << r.message;
        EXPECT_TRUE(r.summary.peaks[0].passed && r.summary.peaks[0].converged) << what << ": " << r.message;
        return r.summary.peaks[0].value;
      };
      const double tiny = peak(kE / 1e5);
      EXPECT_NEAR(peak(0), tiny, 1e-3 * tiny) << what;
    }
}

// A fixed-base portal (h 300, span 600) of an I section without fillets
// (20 x 10, web 0.56, flanges 0.85, fy 2.4), pushed at its beam by 1 t times
// the load factor. Without gravity (`gravity` 0) the members leave out the
// geometric terms and the group ends at a fibre strain of 0.02: the frame
// reaches its sway mechanism. With gravity (that load on each column top
// in three steps first) it passes a peak.
std::string flat_portal(double e2, double x6, double gravity) {
  const int sec = gravity > 0 ? 1 : -1;
  std::string d = "   0  0  1     PORTAL\n" + card('P', 0, 0, 0, {kE, e2, e2, gravity > 0 ? 0 : 0.02}) +
                  card('I', 1, 0, 0, {20, 10, 0.56, 0.85, 0, kFy});
  const double xy[4][2] = {{0, 0}, {0, 300}, {600, 300}, {600, 0}};
  for (int j = 1; j <= 4; ++j) d += card('J', j, 0, 0, {xy[j - 1][0], xy[j - 1][1]});
  for (int m = 1; m <= 3; ++m) d += card('M', m, m + 1, sec, {0.2, 0.4, 0.6, 0.8});
  d += card('L', 30, 1);
  if (gravity > 0)
    d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {0, -gravity}) +
         card('B', 3, 0, 0, {0, -gravity}) + card('E', 0, 3, 1, {1e-8});
  d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {1, 0}) +
       card('E', 0, 200, 1, {1e-8, 0.5, 1, 4, gravity > 0 ? 0.8 : 0, x6});
  return d + "F\n";
}

TEST(PerfectlyPlastic, APortalReachesItsPlasticCollapseLoad) {
  TempDir dir;
  const auto last_peak = [&](double e2, double x6, double gravity) {
    const RunResult r = run_in(dir / "portal", flat_portal(e2, x6, gravity));
    EXPECT_EQ(r.status, 0) << r.message;
    return r.summary.peaks[r.summary.peak_count - 1];
  };
  // The sway mechanism: plastic hinges at the feet and the column tops.
  const double B = 10, D = 20, tw = 0.56, tf = 0.85;
  const double Mp = kFy * (B * tf * (D - tf) + tw * (D / 2 - tf) * (D / 2 - tf));
  const double collapse = 4 * Mp / 300;
  const GroupPeak flat = last_peak(0, 1, 0);
  EXPECT_NEAR(flat.value, last_peak(kE / 1e5, 1, 0).value, 1e-3 * flat.value);
  EXPECT_NEAR(flat.value, collapse, 3e-3 * collapse);
  // Under gravity the frame passes a peak below the mechanism, with either
  // tangent.
  for (const double x6 : {0.0, 1.0}) {
    const GroupPeak g = last_peak(0, x6, 8);
    EXPECT_TRUE(g.passed && g.converged) << "X6 " << x6;
    EXPECT_NEAR(g.value, last_peak(kE / 1e5, x6, 8).value, 1e-3 * g.value) << "X6 " << x6;
    EXPECT_LT(g.value, collapse);
  }
}

}  // namespace
}  // namespace nlf
