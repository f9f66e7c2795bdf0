// Member loads of the load history (U cards) against the closed forms of
// beams, against the same beam built or loaded another way, through
// collapse, and across a restart.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_run.h"

namespace nlf {
namespace {

using test::card;
using test::read_lines;
using test::run_in;
using test::TempDir;

// A 20 x 10 rectangle of 20 strips: sum A z^2 = 6650, sum A |z| = 1000.
constexpr double kE = 2100.0, kEI = kE * 6650.0, kMp = 2.4 * 1000.0, kL = 600.0;

std::vector<double> numbers(const std::string& line) {
  std::string s = line;
  for (char& c : s)
    if (c == '(' || c == ')') c = ' ';
  std::istringstream in(s);
  std::vector<double> v;
  for (std::string t; in >> t;) {
    if (t.back() == '-') t.pop_back();  // "1-" of "1-  2"
    try {
      v.push_back(std::stod(t));
    } catch (...) {
    }
  }
  return v;
}

// The member lines of the last step in Mfor.rst: m, i, j, NI, eps, NJ, eps,
// QI, QJ, MI, e, MJ, e.
std::vector<std::vector<double>> last_member_forces(const std::filesystem::path& dir) {
  std::vector<std::vector<double>> rows;
  for (const auto& l : read_lines(dir / "Mfor.rst")) {
    if (l.rfind(" STEP", 0) == 0) rows.clear();
    if (l.rfind(" STEP", 0) == 0 || l.find('(') == std::string::npos) continue;
    if (auto v = numbers(l); v.size() == 13) rows.push_back(v);
  }
  return rows;
}

// Total Y displacement (mm) of node point k of member 1 at the last detail step.
double node_y(const std::filesystem::path& dir, int k) {
  double y = NAN;
  for (const auto& l : read_lines(dir / "Mdis.rst")) {
    const auto v = numbers(l);
    if (l.rfind("   1(", 0) == 0 && v.size() == 13 && v[3] == k) y = v[11];
  }
  return y;
}

// The lines of a result file from step `step` on.
std::vector<std::string> after_step(const std::filesystem::path& p, int step) {
  char head[16];
  std::snprintf(head, sizeof head, " STEP%4d", step);
  const auto lines = read_lines(p);
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(head, 0) == 0) return std::vector<std::string>(lines.begin() + static_cast<long>(i), lines.end());
  return {};
}

std::string beam(const std::string& title, const std::string& supports, const std::string& history,
                 double E2 = 21.0, int parts = 1, double fraction3 = 0.6, double strain_limit = 0) {
  std::string d = "   0  0  1     " + title + "\n" +
                  card('P', 0, 0, 0, strain_limit > 0 ? std::vector<double>{kE, E2, E2, strain_limit}
                                                      : std::vector<double>{kE, E2, E2}) +
                  card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4});
  for (int k = 0; k <= parts; ++k) d += card('J', k + 1, 0, 0, {kL * k / parts, 0});
  for (int k = 1; k <= parts; ++k)
    d += card('M', k, k + 1, 1, {0.2, fraction3 == 0.5 ? 0.35 : 0.4, fraction3, fraction3 == 0.5 ? 0.65 : 0.8});
  return d + card('W', 0, 0, 0, {1.23, 1.13}) + card('L', 50, 1) + supports + history + "F\n";
}

std::string ends(int last, int code_last) {
  return card('B', 1, code_last == 10 ? 110 : 111) + card('B', last, code_last);
}

TEST(MemberLoads, BeamsMatchTheirClosedForms) {
  const double q = 0.01;
  TempDir dir;
  // Fixed at both ends, one member with a node point at midspan.
  const auto fixed = dir / "fixed";
  ASSERT_EQ(run_in(fixed, beam("FIXED", ends(2, 111), card('U', 1, 0, 0, {0, -q}) + card('E', 0, 1, 1, {1e-10}),
                               21, 1, 0.5)).status, 0);
  const auto f = last_member_forces(fixed).at(0);
  EXPECT_NEAR(f[9], -q * kL * kL / 12, 0.01 * q * kL * kL / 12);  // MI
  EXPECT_NEAR(f[11], q * kL * kL / 12, 0.01 * q * kL * kL / 12);  // MJ
  EXPECT_NEAR(f[7], -q * kL / 2, 1e-3);
  const double mid = f[9] - f[7] * kL / 2 - q * kL * kL / 8;  // statics from end I
  EXPECT_NEAR(std::fabs(mid), q * kL * kL / 24, 0.01 * q * kL * kL / 24);
  EXPECT_NEAR(-node_y(fixed, 4), 10 * q * std::pow(kL, 4) / (384 * kEI), 0.01 * 10 * q * std::pow(kL, 4) / (384 * kEI));

  // Simply supported: the midspan deflection 5 q L^4 / 384 EI.
  const auto pinned = dir / "pinned";
  ASSERT_EQ(run_in(pinned, beam("PINNED", ends(2, 10), card('U', 1, 0, 0, {0, -q}) + card('E', 0, 1, 1, {1e-10}),
                                21, 1, 0.5)).status, 0);
  const double w = 10 * 5 * q * std::pow(kL, 4) / (384 * kEI);
  EXPECT_NEAR(-node_y(pinned, 4), w, 0.01 * w);
}

TEST(MemberLoads, PartsLocalAxesAndArcLengthGiveTheSameBeam) {
  const double q = 0.01;
  TempDir dir;
  const auto one = dir / "one", two = dir / "two", arc = dir / "arc";
  const std::string u = card('U', 1, 0, 0, {0, -q});
  ASSERT_EQ(run_in(one, beam("ONE", ends(2, 10), u + card('E', 0, 1, 1, {1e-10}), 21, 1, 0.5)).status, 0);
  // In two parts, loaded as a range: the midspan joint moves as the node
  // point did.
  ASSERT_EQ(run_in(two, beam("TWO", ends(3, 10), card('U', 1, 2, 0, {0, -q}) + card('E', 0, 1, 1, {1e-10}), 21, 2))
                .status,
            0);
  const auto parts = last_member_forces(two);
  EXPECT_NEAR(parts.at(0)[7], -q * kL / 2, 1e-3);
  EXPECT_NEAR(parts.at(1)[8], q * kL / 2, 1e-3);
  EXPECT_NEAR(node_y(two, 6), node_y(one, 4), 1e-3 * std::fabs(node_y(one, 4)));

  // Under arc-length control in ten steps the load reaches the same state.
  ASSERT_EQ(run_in(arc, beam("ARC", ends(2, 10), u + card('E', 0, 10, 1, {1e-12, 0.1}), 21, 1, 0.5)).status, 0);
  const auto fa = last_member_forces(arc).at(0), fo = last_member_forces(one).at(0);
  for (std::size_t i = 0; i < fa.size(); ++i) EXPECT_NEAR(fa[i], fo[i], 1e-3 * (1 + std::fabs(fo[i]))) << i;
  EXPECT_NEAR(node_y(arc, 4), node_y(one, 4), 1e-3 * std::fabs(node_y(one, 4)));

  // A beam at 30 degrees: the load in its own axes equals the same load in
  // global ones, but for its turning with the segments as they rotate
  // (about 0.3 % of the axial force here).
  const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
  auto inclined = [&](const std::string& load) {
    return "   0  0  1     INCLINED\n" + card('P', 0, 0, 0, {kE, 21, 21}) + card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4}) +
           card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {kL * c, kL * s}) +
           card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('L', 50, 1) + card('B', 1, 111) + card('B', 2, 110) + load +
           card('E', 0, 2, 1, {1e-12}) + "F\n";
  };
  const auto local = dir / "local", global = dir / "global";
  ASSERT_EQ(run_in(local, inclined(card('U', 1, 0, 1, {0.002, -q}))).status, 0);
  ASSERT_EQ(run_in(global, inclined(card('U', 1, 0, 0, {0.002 * c + q * s, 0.002 * s - q * c}))).status, 0);
  const auto a = last_member_forces(local).at(0), b = last_member_forces(global).at(0);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 0.01 * std::fabs(a[i]) + 2e-3) << i;
}

// Pinned and on a roller, nearly perfectly plastic, until a fibre strain
// of 1 %: the midspan moment is then lambda 8 Mp / L^2 x q L^2 / 8 and the
// rectangle's M / Mp = 1 - (eps_y / eps)^2 / 3. The fibres at a node point
// see the moment of the segments' cubic shapes, q Ls^2 / 12 above the
// parabola's (Ls = L / 5 a member), which the finer mesh shrinks as 1/n^2.
TEST(MemberLoads, SimplySupportedBeamFollowsTheClosedFormToCollapse) {
  TempDir dir;
  double error[2];
  for (int parts : {2, 4}) {
    const std::string d = beam("COLLAPSE", ends(parts + 1, 10),
                               card('U', 1, parts, 0, {0, -8 * kMp / (kL * kL)}) +
                                   card('E', 0, 300, 0, {1e-9, 0.02, 1, 4, 0, 1}),
                               kE / 1e5, parts, 0.6, 0.01);
    const auto r = run_in(dir / std::to_string(parts), d);
    ASSERT_EQ(r.status, 0) << r.message;
    const GroupPeak& p = r.summary.peaks[0];
    ASSERT_GT(p.strain, 0.01);
    const double ey = 2.4 / kE, closed = 1 - (ey / p.strain) * (ey / p.strain) / 3;
    error[parts / 4] = (closed - p.value) / closed;
    EXPECT_GT(error[parts / 4], 0.0) << parts;
  }
  EXPECT_LT(error[0], 0.008);
  EXPECT_LT(error[1], error[0] / 3);
}

// Saved after three steps and continued for two: the last steps print as in
// the whole run, on one and two threads and with scratch files.
TEST(MemberLoads, ARestartCarriesThem) {
  const std::string u = card('B', 1, 110) + card('B', 3, 10) + card('U', 1, 2, 0, {0, -0.01});
  for (const auto& [threads, scratch] : {std::pair{1, false}, std::pair{2, false}, std::pair{1, true}}) {
    TempDir whole, split;
    auto deck = [&](const std::string& control, int steps, bool fresh) {
      std::string d = control + "\n";
      if (fresh) {
        d = beam("RESTART", "", "", 21, 2);
        d = control + d.substr(d.find('\n'));
        d = d.substr(0, d.find("L 50"));
        d += card('L', 50, 1);
      } else {
        d += card('W', 0, 0, 0, {1.23, 1.13}) + card('L', -50, -1);
      }
      return d + u + card('E', 0, steps, 1, {1e-12, 0.2, 0, 0, 0, 1}) + "F\n";
    };
    ASSERT_EQ(run_in(whole.path(), deck("   0  0  1     WHOLE", 5, true), nullptr, threads, scratch).status, 0);
    ASSERT_EQ(run_in(split.path(), deck("   0 30  1     FIRST", 3, true), nullptr, threads, scratch).status, 0);
    const auto r = run_in(split.path(), deck("  30  0  1     SECOND", 2, false), nullptr, threads, scratch);
    ASSERT_EQ(r.status, 0) << r.message;
    for (const char* f : {"Mfor.rst", "Jdis.rst", "Mstr.rst"}) {
      const auto a = after_step(whole / f, 4), b = after_step(split / f, 4);
      ASSERT_GT(a.size(), 5u);
      EXPECT_EQ(a, b) << f << " on " << threads << " threads";
    }
  }
}

TEST(MemberLoads, BadCardsStopTheRunBeforeItsFirstStep) {
  TempDir dir;
  const char* cases[][2] = {{"U  3  0  0        0.     -0.01", "names member 3, which is not defined"},
                            {"U  2  1  0        0.     -0.01", "ends its range of members at 1"},
                            {"U  1  0  2        0.     -0.01", "axes code 2"}};
  for (const auto& c : cases) {
    const auto r = run_in(dir / "bad", beam("BAD", ends(3, 10), std::string(c[0]) + "\n" + card('E', 0, 1, 1, {1e-10}),
                                            21, 2));
    EXPECT_EQ(r.status, 1) << c[0];
    EXPECT_FALSE(r.started) << c[0];
    EXPECT_NE(r.message.find(c[1]), std::string::npos) << r.message;
  }
}

}  // namespace
}  // namespace nlf
