// Following the equilibrium path past limit points, checked against the same
// frames pushed by prescribed displacements and against the closed form of
// a shallow three-hinged arch; the adaptive arc length, the end of a
// push-over in a continued run, and the refusal of bad values.
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

// A response curve: step, watched displacement (mm), watched force (t).
struct Point {
  int step;
  double d, f;
};
std::vector<Point> curve(const std::filesystem::path& p, size_t head = 16) {
  std::vector<Point> pts;
  const auto lines = read_lines(p);
  for (size_t i = head; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    Point q{};
    if (in >> q.step >> q.d >> q.f) pts.push_back(q);
  }
  return pts;
}

// The force of a curve whose displacements increase, at displacement d.
double force_at(const std::vector<Point>& c, double d) {
  for (size_t i = 1; i < c.size(); ++i)
    if (d <= c[i].d) return c[i - 1].f + (c[i].f - c[i - 1].f) * (d - c[i - 1].d) / (c[i].d - c[i - 1].d);
  ADD_FAILURE() << "displacement " << d << " beyond the curve";
  return 0;
}

// The portal frame of the examples under 2 x 40 t of gravity in five steps,
// then `lateral`; the curve watches the sway and lateral force of joint 2.
std::string portal(const std::string& lateral, const char* control = "   0  0  1") {
  return control + std::string("     PORTAL\n") + card('P', 0, 0, 0, {2100, 21, 21}) +
         card('I', 1, 0, 0, {20, 10, 0.56, 0.85, 1.2, 2.4}) + card('J', 1, 0, 0, {0, 0}) +
         card('J', 2, 0, 0, {0, 300}) + card('J', 3, 0, 0, {600, 300}) + card('J', 4, 0, 0, {600, 0}) +
         card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('M', 2, 3, 1, {0.2, 0.4, 0.6, 0.8}) +
         card('M', 3, 4, 1, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.21, 2.11}) + card('L', 30, 1) +
         card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {0, -8}) + card('B', 3, 0, 0, {0, -8}) +
         card('E', 0, 5, 5, {1e-8}) + lateral + "F\n";
}
// 1 t at joint 2 under arc-length control, X3 to X6 as given.
std::string pushed(int steps, double arclen, double x4 = 0, double x5 = 0, double x6 = 0) {
  return card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {1, 0}) +
         card('E', 0, steps, 5, {1e-8, arclen, 1, x4, x5, x6});
}

// With either tangent (X6 = 1: the exact one, fewer iterations, the same
// path and peak).
TEST(PathFollowing, PortalPastItsPeakLiesOnTheDisplacementControlledCurve) {
  TempDir disp;
  const std::string push = card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 100, 0, {0.25, 0}) +
                           card('E', 1, 120, 5, {1e-8});
  ASSERT_EQ(run_program(disp.path(), portal(push)).status, 0);
  auto d = curve(disp / "fort.61");
  d.erase(d.begin(), d.begin() + 4);
  double peaks[2];
  int iterations[2];
  for (int x6 : {0, 1}) {
    SCOPED_TRACE(x6);
    TempDir arc;
    const auto r = run_program(arc.path(), portal(pushed(40, 1, 0, 0, x6)));
    ASSERT_EQ(r.status, 0) << r.err;
    auto a = curve(arc / "fort.61");
    a.erase(a.begin(), a.begin() + 5);  // the gravity steps
    const Point top = *std::max_element(a.begin(), a.end(), [](auto& p, auto& q) { return p.f < q.f; });
    EXPECT_LT(a.back().f, 0.2 * top.f);  // far down the falling branch
    for (const Point& p : a) EXPECT_NEAR(p.f, force_at(d, p.d), 0.01 * top.f) << "step " << p.step;

    EXPECT_NE(read_file(arc / "R.rst").find(" NEGATIVE PIVOTS NOW    1 : A LIMIT POINT"), std::string::npos);
    char peak[64];
    std::snprintf(peak, sizeof peak, "group 2 load factor %.5G at step %d,", top.f, top.step);
    EXPECT_NE(r.err.find(peak), std::string::npos) << r.err;
    peaks[x6] = top.f;
    iterations[x6] = std::stoi(r.err.substr(r.err.find("steps, ") + 7));
  }
  EXPECT_NEAR(peaks[1], peaks[0], 0.001 * peaks[0]);
  EXPECT_LT(iterations[1], iterations[0]);
}

// A group that pushes two joints: its peak is the largest sum of their
// resisting forces, at the step and displacement the result files show. A
// deck without its F card still gets its summary line, before the stop.
TEST(PathFollowing, PushedGroupPeakSumsThePrescribedJoints) {
  TempDir dir;
  std::string deck = portal(card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 100, 0, {0.5, 0}) +
                            card('B', 3, 100, 0, {0.5, 0}) + card('E', 1, 16, 1, {1e-8}));
  deck.resize(deck.size() - 2);  // no F card
  const auto r = run_program(dir.path(), deck);
  EXPECT_EQ(r.status, 2);
  const auto line = r.err.find("; peaks: group 1 load factor 5 at step 5 (still rising, no peak passed), group 2 force X ");
  ASSERT_NE(line, std::string::npos) << r.err;
  EXPECT_LT(line, r.err.find("end of file")) << r.err;
  double peak = 0, disp = 0;
  int step = 0;
  ASSERT_EQ(std::sscanf(r.err.c_str() + line,
                        "; peaks: group 1 load factor 5 at step 5 (still rising, no peak passed), group 2 force X "
                        "%lf t at step %d (displacement %lf mm)", &peak, &step, &disp), 3) << r.err;

  // Joints 2 and 3: internal X (Jfor) and total U (Jdis), step by step.
  std::vector<double> sum(40), u2(40);
  int at = 0;
  for (const std::string& l : read_lines(dir / "Jfor.rst")) {
    std::istringstream in(l);
    std::vector<double> v;
    double x;
    if (l.rfind(" STEP", 0) == 0) at = std::stoi(l.substr(5, 4));
    while (in >> x) v.push_back(x);
    if (v.size() == 10 && (v[0] == 2 || v[0] == 3)) sum[at] += v[7];
  }
  for (const std::string& l : read_lines(dir / "Jdis.rst")) {
    std::istringstream in(l);
    std::vector<double> v;
    double x;
    if (l.rfind(" STEP", 0) == 0) at = std::stoi(l.substr(5, 4));
    while (in >> x) v.push_back(x);
    if (v.size() == 10 && v[0] == 2) u2[at] = v[7];
  }
  const int top = static_cast<int>(std::max_element(sum.begin(), sum.end()) - sum.begin());
  EXPECT_EQ(step, top);
  EXPECT_NEAR(peak, sum[top], 0.002);
  EXPECT_NEAR(disp, u2[top], 0.001);
  EXPECT_GT(step, 6);
  EXPECT_LT(step, 21);  // the frame softens before the end
}

// Two members pinned at the supports and at the crown (span 2 x 300 cm,
// rise 10 cm, kept elastic): a von Mises truss, whose crown load at crown
// deflection w is P = 2 EA (L0 - L) / L0 * (h - w) / L, L = |(a, h - w)|.
TEST(PathFollowing, ShallowArchSnapsThroughAndRisesAgain) {
  const auto arch = [](const std::string& load) {
    return "   0  0  1     ARCH\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
           card('O', 1, 0, 0, {20, 10, 0, 0, 0, 100}) + card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {300, 10}) +
           card('J', 4, 0, 0, {300, 10}) + card('J', 3, 0, 0, {600, 0}) + card('Q', 2, 4, 110) +
           card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('M', 4, 3, 1, {0.2, 0.4, 0.6, 0.8}) +
           card('W', 0, 0, 0, {2.22, 2.12}) + card('L', 30, 1) + card('B', 1, 110) + card('B', 3, 110) + load + "F\n";
  };
  TempDir arc, disp;
  ASSERT_EQ(run_program(arc.path(), arch(card('B', 2, 0, 0, {0, -1}) + card('E', 0, 80, 5, {1e-10, 0.5, 1}))).status, 0);
  ASSERT_EQ(run_program(disp.path(), arch(card('B', 2, 10, 0, {0, -0.25}) + card('E', 1, 100, 5, {1e-10}))).status, 0);
  // Deflection w (cm) and load P (t), both downward; the watched force is
  // member 1's half of the load.
  const auto wp = [](std::vector<Point> c) {
    for (Point& p : c) p.d = -p.d / 10, p.f = -2 * p.f;
    c.insert(c.begin(), Point{0, 0, 0});
    return c;
  };
  const auto a = wp(curve(arc / "fort.61")), d = wp(curve(disp / "fort.61"));
  const double EA = 2100 * 200.0, h = 10, L0 = std::hypot(300, h);
  const double peak = 5.98;  // the largest P of the formula, at w = 4.2
  double least = 0;
  for (const Point& p : a) {
    const double L = std::hypot(300, h - p.d);
    EXPECT_NEAR(p.f, 2 * EA * (L0 - L) / L0 * (h - p.d) / L, 0.005 * peak) << "step " << p.step;
    EXPECT_NEAR(p.f, force_at(d, p.d), 0.01 * peak) << "step " << p.step;
    least = std::min(least, p.f);
  }
  EXPECT_NEAR(least, -peak, 0.01 * peak);  // the second limit point...
  EXPECT_GT(a.back().d, 2 * h);             // ...past the mirrored shape...
  EXPECT_GT(a.back().f, 0.0);               // ...where the load rises again
  const std::string listing = read_file(arc / "R.rst");
  const auto first = listing.find(" NEGATIVE PIVOTS NOW    1");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(listing.find(" NEGATIVE PIVOTS NOW    0", first), std::string::npos);
}

TEST(PathFollowing, X4LengthensShortStepsAndShortensLongOnes) {
  // Iterations of the whole run, and the sway reached, in 20 lateral steps.
  const auto run = [](double arclen, double x4) {
    TempDir dir;
    const auto r = run_program(dir.path(), portal(pushed(20, arclen, x4)));
    EXPECT_EQ(r.status, 0) << r.err;
    return std::pair{std::stoi(r.err.substr(r.err.find("steps, ") + 7)), curve(dir / "fort.61").back().d};
  };
  // Short steps take two or three iterations; asked for six they lengthen,
  // up to ten times X2, and go much further (though not at full length over
  // the top of the path, where they are kept short enough to find the peak).
  EXPECT_GT(run(0.2, 6).second, 4 * run(0.2, 0).second);
  // Long steps past the peak take many; asked for three they shorten.
  EXPECT_LT(run(5, 3).first, 0.5 * run(5, 0).first);
}

TEST(PathFollowing, X5EndsThePushOverOfAContinuedRun) {
  TempDir whole, split;
  const std::string lateral = pushed(200, 1, 0, 0.8) + card('E', 0, 2, 1, {1e-8, 1, 1});
  ASSERT_EQ(run_program(whole.path(), portal(lateral)).status, 0);
  ASSERT_EQ(run_program(split.path(), portal("", "   0 30  1")).status, 0);
  const auto r = run_program(split.path(), "  30  0  1\n" + card('W', 0, 0, 0, {2.21, 2.11}) +
                                               card('L', -30, -1) + lateral + "F\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // The continued run goes on exactly as the uninterrupted one.
  const auto c = curve(whole / "fort.61"), cont = curve(split / "fort.61", 0);
  ASSERT_EQ(cont.size() + 5, c.size());
  for (size_t i = 0; i < cont.size(); ++i) EXPECT_EQ(cont[i].f, c[i + 5].f);
  // The group ends at the first step below 0.8 of its peak; two more follow.
  ASSERT_LT(c.size(), 60u);
  double peak = 0;
  for (size_t i = 5; i + 3 < c.size(); ++i) {
    peak = std::max(peak, c[i].f);
    EXPECT_GE(c[i].f, 0.8 * peak) << "step " << c[i].step;
  }
  EXPECT_LT(c[c.size() - 3].f, 0.8 * peak);
  EXPECT_NE(read_file(whole / "R.rst").find(" END OF THE GROUP: LOAD FACTOR"), std::string::npos);
}

TEST(PathFollowing, BadValuesAreRefusedBeforeAnyStep) {
  const std::pair<std::string, const char*> bad[] = {
      {card('E', 0, 5, 5, {1e-8, 1, 1, -2}), "columns 41-50"},
      {card('E', 0, 5, 5, {1e-8, 1, 1, 0, 1}), "columns 51-60"},
      {card('E', 0, 5, 5, {1e-8, 0, 0, 0, -0.5}), "columns 51-60"},
      {card('A', 0, 5, 5, {0.5, 1, 0, 0, 1.5}), "columns 51-60"},
      {card('E', 0, 5, 5, {1e-8, 1, 1, 0, 0, 2}), "columns 61-70"},
      {card('A', 0, 5, 5, {0.5, 1, 0, 0, 0, -1}), "columns 61-70"},
      {card('A', 0, 1, 1, {1, 0, 0, -1, 7, 0.5}), nullptr},  // load control: not read
  };
  for (const auto& [group, columns] : bad) {
    TempDir dir;
    const auto r = run_program(dir.path(), portal(card('B', 1, 111) + card('B', 4, 111) + group));
    EXPECT_EQ(r.status, columns ? 1 : 0) << group;
    if (!columns) continue;
    EXPECT_NE(r.err.find(columns), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("STEP:"), std::string::npos) << group;
  }
}

}  // namespace
}  // namespace nlf
