// The buckling analysis of a V card against the closed forms of elastic
// stability, against the bifurcation of the nonlinear analysis, and for its
// independence of threads and of where the fibre state is kept.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_run.h"

namespace nlf {
namespace {

using test::card;
using test::read_file;
using test::read_lines;
using test::run_in;
using test::TempDir;

constexpr double kPi = std::numbers::pi;
constexpr double kE = 2100.0;
// Fibre sums of a rectangle of 20 strips: w d^3 / 12 (1 - 1/400).
double inertia(double depth, double width) { return width * depth * depth * depth / 12.0 * (1.0 - 1.0 / 400.0); }
const double kEI = kE * inertia(20, 10);

std::string header() { return "   0  0  1     BUCKLING\n"; }
std::string sections(double yield = 1000.0) {
  return card('P', 0, 0, 0, {kE, 21, 21}) + card('O', 1, 0, 0, {20, 10, 0, 0, 0, yield});
}

// The critical factors the listing prints (the first analysis's table).
std::vector<double> factors(const std::filesystem::path& dir) {
  std::vector<double> f;
  const auto lines = read_lines(dir / "R.rst");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("CRITICAL FACTOR") == std::string::npos) continue;
    for (std::size_t k = i + 1; k < lines.size() && !lines[k].empty(); ++k) {
      std::istringstream in(lines[k]);
      int mode;
      double v;
      in >> mode >> v;
      f.push_back(v);
    }
    break;
  }
  return f;
}

// A vertical column of `parts` members, length L, loaded at its top by 1 t
// downward; base and top held as the two type codes say. The V card sits
// between the support card and the load card: both stay one pattern.
std::string column(int parts, int base, int top, const std::string& v = card('V', 4)) {
  const double L = 1000.0;
  std::string d = header() + sections();
  for (int j = 0; j <= parts; ++j) d += card('J', j + 1, 0, 0, {0.0, L * j / parts});
  for (int m = 1; m <= parts; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('L', 30, 1) + card('B', 1, base) + v + card('B', parts + 1, top, 0, {0, -1});
  return d + card('E', 0, 1, 1, {1e-10}) + "F\n";
}

TEST(Buckling, EulerLoadsOfEveryEndCondition) {
  struct End {
    int base, top;
    double k;  // P = k EI / L^2
  };
  const double fp = 4.493409457909064;  // tan x = x
  const End ends[] = {{110, 100, kPi * kPi}, {111, 0, kPi * kPi / 4}, {111, 100, fp * fp}, {111, 101, 4 * kPi * kPi}};
  for (const End& e : ends) {
    for (int parts : {1, 4}) {
      TempDir dir;
      const auto r = run_in(dir.path(), column(parts, e.base, e.top));
      ASSERT_EQ(r.status, 0) << r.message;
      const auto f = factors(dir.path());
      ASSERT_GE(f.size(), 2u);
      const double exact = e.k * kEI / 1e6;
      // Five cubic segments carry a half wave within 0.03 %; the fixed
      // column's full wave over one member comes out 0.32 % high.
      const double tol = parts == 4 ? 1e-4 : e.top == 101 ? 4e-3 : 1e-3;
      EXPECT_NEAR(f[0] / exact, 1.0, tol) << e.base << "/" << e.top << " parts " << parts;
      if (e.base == 110) {  // the pinned column's second mode: 4 pi^2 EI / L^2
        EXPECT_NEAR(f[1] / (4 * exact), 1.0, parts == 1 ? 4e-3 : 1e-4) << parts;
        // A V card before the F card takes the pattern in force there, on
        // the geometry of the step done (1 t shortens the column by 2.4e-6).
        std::string last = column(parts, e.base, e.top, "");
        last.insert(last.rfind("F\n"), card('V', 4));
        TempDir d2;
        ASSERT_EQ(run_in(d2.path(), last).status, 0);
        EXPECT_NEAR(factors(d2.path()).at(0) / f[0], 1.0, 1e-5);
      }
    }
  }
}

// A column fixed at its base and free at its top under its own weight (a
// member load along it, of the pattern): (q L)cr = 7.837 EI / L^2.
TEST(Buckling, AColumnUnderItsOwnWeight) {
  const double L = 1000.0;
  std::string d = header() + sections();
  for (int j = 0; j <= 4; ++j) d += card('J', j + 1, 0, 0, {0.0, L * j / 4});
  for (int m = 1; m <= 4; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('L', 30, 1) + card('B', 1, 111) + card('U', 1, 4, 1, {-0.001, 0}) + card('V', 2) +
       card('E', 0, 1, 1, {1e-10}) + "F\n";
  TempDir dir;
  const auto r = run_in(dir.path(), d);
  ASSERT_EQ(r.status, 0) << r.message;
  EXPECT_NEAR(factors(dir.path()).at(0) * 0.001 * L / (7.837 * kEI / (L * L)), 1.0, 2e-3);
}

// The mode file takes no unit a deck could name: a run that saves its
// restart file on unit 22 writes both.
TEST(Buckling, TheModeFileAndARestartUnitOfTheDeck) {
  std::string d = column(1, 110, 100);
  d.replace(0, d.find('\n'), "   0 22  1     BUCKLING");
  TempDir dir;
  const auto r = run_in(dir.path(), d);
  ASSERT_EQ(r.status, 0) << r.message;
  EXPECT_TRUE(std::filesystem::exists(dir / "fort.22"));
  EXPECT_FALSE(factors(dir.path()).empty());
}

// The smallest root of g in (a, b) by bisection (g(a), g(b) of opposite sign).
template <class G>
double root(G g, double a, double b) {
  for (int i = 0; i < 200; ++i) {
    const double m = 0.5 * (a + b);
    ((g(a) < 0) == (g(m) < 0) ? a : b) = m;
  }
  return 0.5 * (a + b);
}

// A portal of two columns (height 400) and a beam (span 600, section 2 of
// the given depth), each member in two parts; 1 t down on either top.
std::string portal(double beam_depth, int base, const std::string& history, double yield = 1000.0) {
  std::string d = header() + sections(yield) + card('O', 2, 0, 0, {beam_depth, 10, 0, 0, 0, 1000.0});
  const double pts[7][2] = {{0, 0}, {0, 200}, {0, 400}, {300, 400}, {600, 400}, {600, 200}, {600, 0}};
  for (int j = 0; j < 7; ++j) d += card('J', j + 1, 0, 0, {pts[j][0], pts[j][1]});
  for (int m = 1; m <= 6; ++m) d += card('M', m, m + 1, (m == 3 || m == 4) ? 2 : 1, {0.2, 0.4, 0.6, 0.8});
  d += card('W', 0, 0, 0, {3.21, 3.11}) + card('L', 30, 1) + card('B', 1, base) + card('B', 7, base) +
       card('B', 3, 0, 0, {0, -1}) + card('B', 5, 0, 0, {0, -1});
  return d + history + "F\n";
}

TEST(Buckling, SwayPortalsAgainstTheSlopeDeflectionSolution) {
  // Sway with equal end rotations of the beam (6 EI/L at each end); G is the
  // column's EI/L over the beam's at the top joint. Fixed bases: tan x =
  // -G x / 6; pinned bases: x tan x = 6 / G; P = x^2 EI / h^2.
  for (int base : {111, 110}) {
    for (double depth : {30.0, 300.0}) {  // a flexible beam, and a nearly rigid one
      const double G = (inertia(20, 10) / 400.0) / (inertia(depth, 10) / 600.0);
      const double x = base == 111 ? root([&](double t) { return std::tan(t) + G * t / 6; }, kPi / 2 + 1e-9, kPi)
                                   : root([&](double t) { return t * std::tan(t) - 6 / G; }, 1e-9, kPi / 2 - 1e-9);
      const double exact = x * x * kEI / (400.0 * 400.0);
      TempDir dir;
      const auto r = run_in(dir.path(), portal(depth, base, card('V', 2) + card('E', 0, 1, 1, {1e-10})));
      ASSERT_EQ(r.status, 0) << r.message;
      const auto f = factors(dir.path());
      ASSERT_FALSE(f.empty());
      EXPECT_NEAR(f[0] / exact, 1.0, 2e-3) << "base " << base << " depth " << depth;
      if (base == 111 && depth == 300.0) {
        EXPECT_NEAR(f[0] / (kPi * kPi * kEI / 160000.0), 1.0, 0.03);
      }
    }
  }
}

TEST(Buckling, PerfectColumnBifurcatesAtTheCriticalFactor) {
  // Four parts, so that the mode moves joints and the global pivots see it;
  // pushed by arc length through the bifurcation (X3).
  TempDir dir;
  std::string deck = column(4, 110, 100);
  const std::string steps = card('E', 0, 1, 1, {1e-10});
  deck.replace(deck.find(steps), steps.size(),
               card('W', 0, 0, 0, {5.12}) + card('E', 0, 320, 1, {1e-10, 0.5, 1}));
  // The W card belongs before the L card.
  const std::string w = card('W', 0, 0, 0, {5.12});
  deck.erase(deck.find(w), w.size());
  deck.insert(deck.find("L 30"), w);
  const auto r = run_in(dir.path(), deck);
  ASSERT_EQ(r.status, 0) << r.message;
  const double critical = factors(dir.path()).at(0);
  int step = 0, changed = 0;
  for (const auto& l : read_lines(dir / "R.rst")) {
    if (l.rfind(" STEP", 0) == 0) step = std::stoi(l.substr(5, 4));
    if (l.find("NEGATIVE PIVOTS NOW") != std::string::npos && changed == 0) changed = step;
  }
  ASSERT_GT(changed, 1);
  std::vector<double> load(400, 0.0);
  const auto curve = test::curve(dir / "fort.61");
  for (const auto& row : curve) load.at(static_cast<int>(row[0])) = -row[1];
  // The pivot count changes in the step that passes the critical factor.
  EXPECT_LT(load[changed - 1], critical * 1.005) << load[changed - 1] << " " << critical;
  EXPECT_GT(load[changed], critical * 0.995) << load[changed] << " " << critical;
}

TEST(Buckling, SameFactorsOnThreadsAndScratchFilesAndStepsUnchanged) {
  // Gravity and a push that yields the columns, then the tangent of that
  // state (I3 = 1) before a second group.
  const std::string groups = card('E', 0, 6, 1, {1e-10}) + card('B', 1, 111) + card('B', 7, 111) +
                             card('B', 3, 0, 0, {3.0, -1}) + card('B', 5, 0, 0, {0, -1}) + card('V', 3, 1, 1) +
                             card('E', 0, 2, 1, {1e-10});
  std::string text, modes, jdis;
  for (int variant = 0; variant < 4; ++variant) {
    TempDir dir;
    const auto r = run_in(dir.path(), portal(30, 111, groups, 2.4), nullptr, variant % 2 + 1, variant >= 2);
    ASSERT_EQ(r.status, 0) << r.message;
    const std::string listing = read_file(dir / "R.rst");
    const auto at = listing.find("*** BUCKLING");
    ASSERT_NE(at, std::string::npos);
    const std::string block = listing.substr(at, listing.find("\n STEP", at) - at);
    if (variant == 0) {
      text = block;
      modes = read_file(dir / "modes.rst");
      jdis = read_file(dir / "Jdis.rst");
      EXPECT_NE(block.find("TANGENT"), std::string::npos);
      EXPECT_FALSE(factors(dir.path()).empty());
    } else {
      EXPECT_EQ(block, text) << "variant " << variant;
      EXPECT_EQ(read_file(dir / "modes.rst"), modes) << "variant " << variant;
    }
  }
  // Without the V card the steps write the same bytes.
  std::string plain = groups;
  plain.erase(plain.find(card('V', 3, 1, 1)), card('V', 3, 1, 1).size());
  TempDir dir;
  ASSERT_EQ(run_in(dir.path(), portal(30, 111, plain, 2.4)).status, 0);
  EXPECT_EQ(read_file(dir / "Jdis.rst"), jdis);
  EXPECT_FALSE(std::filesystem::exists(dir / "modes.rst"));
}

TEST(Buckling, BadCardsAndMechanismsStop) {
  for (const std::string& v : {card('V', -1), card('V', 4, 2), card('V', 4, 0, 3)}) {
    TempDir dir;
    const auto r = run_in(dir.path(), column(1, 110, 100, v));
    EXPECT_EQ(r.status, 1) << v;
    EXPECT_NE(read_file(dir / "R.rst").find("ERROR IN V CARD"), std::string::npos) << v;
  }
  // Only the base pinned: the column turns about it.
  TempDir dir;
  const auto r = run_in(dir.path(), column(2, 110, 0));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(read_file(dir / "R.rst").find("NOT POSITIVE DEFINITE"), std::string::npos);
  // Members without their axial-force terms have no critical load: said so,
  // and the run goes on.
  std::string flat = column(2, 110, 100);
  for (std::size_t at = flat.find("\nM"); at != std::string::npos; at = flat.find("\nM", at + 1))
    flat.replace(at + 8, 3, " -1");
  TempDir d2;
  EXPECT_EQ(run_in(d2.path(), flat).status, 0);
  EXPECT_NE(read_file(d2 / "R.rst").find("GEOMETRIC TERMS: NO CRITICAL LOAD"), std::string::npos);
}

}  // namespace
}  // namespace nlf
