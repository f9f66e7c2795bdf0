// Following the equilibrium path past limit points: checked against the same
// frames pushed by prescribed displacements and against the closed form of
// a shallow three-hinged arch; the adaptive arc length, the end of a
// push-over, the refusal of bad values and a continued run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;
using test::read_file;
using test::read_lines;
using test::run_program;
using test::TempDir;

// One point of a response curve: the step, the watched displacement (mm)
// and force (t).
struct Point {
  int step;
  double d, f;
};

std::vector<Point> curve(const std::filesystem::path& p) {
  std::vector<Point> pts;
  const auto lines = read_lines(p);
  for (size_t i = 16; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    Point q{};
    if (in >> q.step >> q.d >> q.f) pts.push_back(q);
  }
  return pts;
}

// The force of a piecewise-linear curve at displacement d (the curve's
// displacements increase).
double force_at(const std::vector<Point>& c, double d) {
  for (size_t i = 1; i < c.size(); ++i)
    if (d <= c[i].d) return c[i - 1].f + (c[i].f - c[i - 1].f) * (d - c[i - 1].d) / (c[i].d - c[i - 1].d);
  ADD_FAILURE() << "displacement " << d << " beyond the curve";
  return 0;
}

// Every step's iterations and arc length, from the iteration lines of the
// listing: the first line of a step shows the squared norm of the first
// increment and, under DRAMDI, the first load-factor increment.
struct StepFigures {
  int iterations = 0;
  double arclen = 0;
};
std::vector<StepFigures> step_figures(const std::filesystem::path& listing) {
  std::vector<StepFigures> steps;
  for (const auto& l : read_lines(listing)) {
    if (l.rfind(" STEP", 0) == 0) steps.emplace_back();
    int n;
    double a, b, r, dl;
    if (steps.empty() || l.size() != 87 || l[0] != ' ' ||
        std::sscanf(l.c_str(), "%d %lf %lf %lf %lf", &n, &a, &b, &r, &dl) != 5)
      continue;
    steps.back().iterations = n;
    if (n == 1) steps.back().arclen = std::sqrt(b + dl * dl);
  }
  return steps;
}

// The portal frame of the examples (columns 300 cm, beam 600 cm, I section
// 20 x 10, yield 2.4) under 2 x 40 t of gravity in five steps; the curve
// watches the sway and the lateral force of joint 2.
std::string portal(const std::string& lateral) {
  return "   0  0  1     PORTAL\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
         card('I', 1, 0, 0, {20, 10, 0.56, 0.85, 1.2, 2.4}) + card('J', 1, 0, 0, {0, 0}) +
         card('J', 2, 0, 0, {0, 300}) + card('J', 3, 0, 0, {600, 300}) + card('J', 4, 0, 0, {600, 0}) +
         card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('M', 2, 3, 1, {0.2, 0.4, 0.6, 0.8}) +
         card('M', 3, 4, 1, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.21, 2.11}) + card('L', 30, 1) +
         card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {0, -8}) + card('B', 3, 0, 0, {0, -8}) +
         card('E', 0, 5, 5, {1e-8}) + card('B', 1, 111) + card('B', 4, 111) + lateral + "F\n";
}

// The lateral load of joint 2 under arc-length control, X3 to X5 as given.
std::string pushed(int steps, double arclen, double x3, double x4 = 0, double x5 = 0) {
  return card('B', 2, 0, 0, {1, 0}) + card('E', 0, steps, 5, {1e-8, arclen, x3, x4, x5});
}

// The sway of joint 2 prescribed, `per_step` cm a step.
std::string displaced(int steps, double per_step) {
  return card('B', 2, 100, 0, {per_step, 0}) + card('E', 1, steps, 5, {1e-8});
}

TEST(PathFollowing, PortalPastItsPeakLiesOnTheDisplacementControlledCurve) {
  TempDir stopped, arc, disp;
  // Without X3 the run stops where the frame loses its stiffness.
  const auto r0 = run_program(stopped.path(), portal(pushed(40, 1, 0)));
  EXPECT_EQ(r0.status, 1);
  EXPECT_NE(r0.err.find("step 12, load factor 3.2"), std::string::npos) << r0.err;
  EXPECT_NE(r0.err.find("X3 on the E card"), std::string::npos) << r0.err;
  EXPECT_NE(read_file(stopped / "R.rst").find("PROGRAM STOP"), std::string::npos);

  const auto r = run_program(arc.path(), portal(pushed(40, 1, 1)));
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(run_program(disp.path(), portal(displaced(120, 0.25))).status, 0);
  auto a = curve(arc / "fort.61"), d = curve(disp / "fort.61");
  ASSERT_EQ(a.size(), 45u);
  a.erase(a.begin(), a.begin() + 5);  // the gravity steps
  d.erase(d.begin(), d.begin() + 4);  // from the last gravity step on
  double peak = 0;
  int peak_step = 0;
  for (const Point& p : a)
    if (p.f > peak) peak = p.f, peak_step = p.step;
  // The peak is passed and the frame comes far down its falling branch.
  EXPECT_LT(peak_step, 20);
  EXPECT_LT(a.back().f, 0.2 * peak);
  double peak_d = 0;
  for (const Point& p : d) peak_d = std::max(peak_d, p.f);
  EXPECT_NEAR(peak, peak_d, 0.01 * peak);
  for (const Point& p : a) EXPECT_NEAR(p.f, force_at(d, p.d), 0.01 * peak) << "step " << p.step;

  // The listing notes the negative pivot; the summary names the peak.
  EXPECT_NE(read_file(arc / "R.rst").find(" NEGATIVE PIVOTS NOW    1 : A LIMIT POINT OR A BIFURCATION WAS PASSED"),
            std::string::npos);
  char peak_text[64];
  std::snprintf(peak_text, sizeof peak_text, "largest load factor %.5G at step %d,", peak, peak_step);
  EXPECT_NE(r.err.find(peak_text), std::string::npos) << r.err;
}

// A shallow arch of two members pinned at the supports and at the crown
// (span 2 x 300 cm, rise 10 cm, 20 x 10 rectangle kept elastic), loaded at
// the crown: a von Mises truss, whose load at crown deflection w is
//   P = 2 EA (L0 - L) / L0 * (h - w) / L,  L = sqrt(a^2 + (h - w)^2).
std::string arch(const std::string& load) {
  return "   0  0  1     ARCH\n" + card('P', 0, 0, 0, {2100, 21, 21}) + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 100}) +
         card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {300, 10}) + card('J', 4, 0, 0, {300, 10}) +
         card('J', 3, 0, 0, {600, 0}) + card('Q', 2, 4, 110) + card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) +
         card('M', 4, 3, 1, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.22, 2.12}) + card('L', 30, 1) +
         card('B', 1, 110) + card('B', 3, 110) + load + "F\n";
}

TEST(PathFollowing, ShallowArchSnapsThroughAndRisesAgain) {
  TempDir arc, disp;
  const auto r = run_program(arc.path(), arch(card('B', 2, 0, 0, {0, -1}) + card('E', 0, 80, 5, {1e-10, 0.5, 1})));
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(run_program(disp.path(), arch(card('B', 2, 10, 0, {0, -0.25}) + card('E', 1, 100, 5, {1e-10}))).status, 0);

  // Crown deflection w (cm, down) and crown load P (t, down): the watched
  // force is member 1's share, half the load.
  const auto to_wp = [](std::vector<Point> c) {
    for (Point& p : c) p.d = -p.d / 10, p.f = -2 * p.f;
    c.insert(c.begin(), Point{0, 0, 0});
    return c;
  };
  const auto a = to_wp(curve(arc / "fort.61")), d = to_wp(curve(disp / "fort.61"));
  const double EA = 2100 * 200.0, half = 300, h = 10, L0 = std::hypot(half, h);
  const auto truss = [&](double w) {
    const double L = std::hypot(half, h - w);
    return 2 * EA * (L0 - L) / L0 * (h - w) / L;
  };
  double peak = 0, least = 0;  // the first limit point, and the second
  for (const Point& p : a) {
    if (p.d < h) peak = std::max(peak, p.f);
    least = std::min(least, p.f);
  }
  EXPECT_NEAR(peak, 5.98, 0.03);  // the truss formula's largest load
  EXPECT_NEAR(least, -peak, 0.01 * peak);
  EXPECT_GT(a.back().d, 2 * h);  // past the mirrored shape...
  EXPECT_GT(a.back().f, 0.0);    // ...where the load rises again
  for (const Point& p : a) {
    EXPECT_NEAR(p.f, truss(p.d), 0.005 * peak) << "step " << p.step;
    EXPECT_NEAR(p.f, force_at(d, p.d), 0.01 * peak) << "step " << p.step;
  }
  // Two limit points: one negative pivot after the first, none after the second.
  const std::string listing = read_file(arc / "R.rst");
  const auto first = listing.find(" NEGATIVE PIVOTS NOW    1");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(listing.find(" NEGATIVE PIVOTS NOW    0", first), std::string::npos);
}

TEST(PathFollowing, X5EndsThePushOverAndTheRunGoesOn) {
  TempDir dir;
  const auto r = run_program(dir.path(), portal(pushed(200, 1, 1, 0, 0.8) + card('E', 0, 2, 1, {1e-8, 1, 1})));
  ASSERT_EQ(r.status, 0) << r.err;
  auto c = curve(dir / "fort.61");
  ASSERT_GT(c.size(), 10u);
  ASSERT_LT(c.size(), 60u);
  const Point last_arc = c[c.size() - 3];  // then the two steps of the next group
  double peak = 0;
  for (size_t i = 5; i + 3 < c.size(); ++i) {
    peak = std::max(peak, c[i].f);
    EXPECT_GE(c[i].f, 0.8 * peak) << "step " << c[i].step;
  }
  EXPECT_LT(last_arc.f, 0.8 * peak);
  EXPECT_EQ(c.back().step, last_arc.step + 2);
  EXPECT_NE(read_file(dir / "R.rst").find(" END OF THE GROUP: LOAD FACTOR"), std::string::npos);
}

TEST(PathFollowing, X4LengthensShortStepsAndShortensLongOnes) {
  // The lateral steps of the portal, arc length X2, X4 iterations asked for.
  const auto lateral = [](double arclen, double x4) {
    TempDir dir;
    const auto r = run_program(dir.path(), portal(pushed(20, arclen, 1, x4)));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto s = step_figures(dir / "R.rst");
    return std::vector<StepFigures>(s.begin() + 5, s.end());
  };
  const auto mean_iterations = [](const std::vector<StepFigures>& v) {
    double s = 0;
    for (const StepFigures& f : v) s += f.iterations;
    return s / v.size();
  };
  // Short steps take two or three iterations; asked for six, each step is
  // longer than the one before, up to ten times X2.
  const auto grown = lateral(0.2, 6);
  EXPECT_NEAR(grown[0].arclen, 0.2, 1e-4);
  for (size_t k = 1; k < grown.size(); ++k) {
    if (grown[k - 1].iterations < 6) {
      EXPECT_GT(grown[k].arclen, std::min(grown[k - 1].arclen, 2.0 - 1e-3)) << k;
    }
    EXPECT_LT(grown[k].arclen, 2.0 + 1e-3) << k;
  }
  EXPECT_NEAR(grown.back().arclen, 2.0, 1e-3);
  // Long steps past the peak take many iterations; asked for three, they
  // shrink and the steps need fewer iterations.
  const auto fixed = lateral(5, 0), shrunk = lateral(5, 3);
  for (size_t k = 1; k < shrunk.size(); ++k) {
    if (shrunk[k - 1].iterations > 3) {
      EXPECT_LT(shrunk[k].arclen, shrunk[k - 1].arclen) << k;
    }
  }
  EXPECT_GT(mean_iterations(fixed), 10);
  EXPECT_LT(mean_iterations(shrunk), 6);
}

TEST(PathFollowing, BadValuesAreRefusedBeforeAnyStep) {
  struct Bad {
    std::string group;
    const char* columns;
  };
  const Bad bad[] = {
      {card('E', 0, 5, 5, {1e-8, 1, 1, -2}), "columns 41-50"},
      {card('E', 0, 5, 5, {1e-8, 1, 1, 0, 1}), "columns 51-60"},
      {card('E', 0, 5, 5, {1e-8, 0, 0, 0, -0.5}), "columns 51-60"},
      {card('A', 0, 5, 5, {0.5, 1, 0, 0, 1.5}), "columns 51-60"},
  };
  for (const Bad& b : bad) {
    TempDir dir;
    const auto r = run_program(dir.path(), portal(card('B', 2, 0, 0, {1, 0}) + b.group));
    EXPECT_EQ(r.status, 1) << b.group;
    EXPECT_NE(r.err.find(b.columns), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("STEP:"), std::string::npos) << b.group;
  }
  // An A card under load control does not read the fields.
  TempDir dir;
  EXPECT_EQ(run_program(dir.path(), portal(card('B', 2, 0, 0, {1, 0}) + card('A', 0, 1, 1, {1, 0, 0, -1, 7}))).status, 0);
}

TEST(PathFollowing, ContinuedRunOpensAGroupThatFollowsThePath) {
  TempDir whole, split;
  ASSERT_EQ(run_program(whole.path(), portal(pushed(30, 1, 1))).status, 0);
  std::string first = portal("");
  first.replace(0, 10, "   0 30  1");
  ASSERT_EQ(run_program(split.path(), first).status, 0);
  const auto r = run_program(split.path(), "  30  0  1     CONTINUED\n" + card('W', 0, 0, 0, {2.21, 2.11}) +
                                               card('L', -30, -1) + card('B', 1, 111) + card('B', 4, 111) +
                                               pushed(30, 1, 1) + "F\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto a = curve(whole / "fort.61");
  const auto lines = read_lines(split / "fort.61");
  ASSERT_EQ(lines.size(), 30u);
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], read_lines(whole / "fort.61")[16 + 5 + i]);
  EXPECT_LT(a.back().f, a[15].f);  // past the peak
}

}  // namespace
}  // namespace nlf
