// Residual stresses in whole runs, against closed forms worked out here from
// the section's strips and sub-fibres (as the deck's reader gives them): a
// stub column's load against its shortening, the first yield in bending,
// and the tangent-modulus load of a straight column. Threads and a restart
// give the same bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "io/units.h"
#include "model/structure.h"
#include "run/engine.h"
#include "store/bind.h"
#include "storage/fibre_store.h"
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

constexpr double kE = 2100, kE2 = 21, kFy = 2.4;

// A HEB 300 and the classic pattern on it: 0.3 fy of compression at the
// flange tips, balanced by a uniform tension in the flange middles and the
// web.
const std::string kSection =
    card('I', 1, 0, 0, {30, 30, 1.1, 1.9, 2.7, kFy}) + card('S', 1, 0, 0, {-0.72, 0.42, 0.42, 0.42});

// The section's strips and sub-fibres as the structure input builds them.
struct Strips {
  std::vector<double> area, z;
  std::vector<std::vector<double>> share, sig0;  // per strip, per sub-fibre

  explicit Strips(const fs::path& dir) {
    const std::string deck = "   0  0  1     SECTION\n" + card('P', 0, 0, 0, {kE, kE2, kE2}) + kSection +
                             card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {0, 100}) +
                             card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('L', 30, 1);
    test::write_file(dir / "section.dat", deck);
    QuietOutput quiet;
    Units units(quiet, dir);
    Stores st;
    Model md;
    bind_model(md, st, Sizes{.MUMM = 1, .MUMJ = 2, .MUMR = 1, .MUMS = 1, .MBAND = 6, .MUMW = 1});
    units.deck().open((dir / "section.dat").string());
    units.open_text(16, "R.rst");
    FibreStore store;
    store.setup(st.FSTORE.data(), 1, true, units);
    std::string control;
    units.deck().next_or_fail(control, "the control card");
    read_structure(md, store, units, '$', 1);
    const SectionResidual* r = md.residual(1);
    EXPECT_NE(r, nullptr);
    if (r == nullptr) return;
    for (int i = 1; i <= NFIB; ++i) {
      area.push_back(md.AREA(1, i));
      z.push_back(md.ZF(1, i));
      share.emplace_back();
      sig0.emplace_back();
      for (int n = 0; n < sub_count(*r, i); ++n) {
        share.back().push_back(sub_share(*r, i, n));
        sig0.back().push_back(sub_stress0(*r, i, n));
      }
    }
  }

  // Under a uniform shortening strain e (compression positive) from the
  // initial stresses: the axial force (compression positive) and the
  // tangent bending stiffness.
  double force(double e) const { return sum(e, false); }
  double tangent_ei(double e) const { return sum(e, true); }

  // Monotonic loading from the initial stress to the strain e (tension
  // positive).
  static double stress(double s0, double e) {
    const double s = s0 + kE * e;
    if (s > kFy) return kFy + kE2 * (e - (kFy - s0) / kE);
    if (s < -kFy) return -kFy + kE2 * (e + (kFy + s0) / kE);
    return s;
  }

  // Axial force and moment at the strains e0 + z k.
  void forces(double e0, double k, double& n, double& m) const {
    n = m = 0;
    for (std::size_t i = 0; i < area.size(); ++i)
      for (std::size_t j = 0; j < share[i].size(); ++j) {
        const double f = area[i] * share[i][j] * stress(sig0[i][j], e0 + z[i] * k);
        n += f;
        m += f * z[i];
      }
  }

  // The moment at curvature k with no axial force.
  double moment(double k) const {
    double lo = -0.01, hi = 0.01, n, m;
    for (int it = 0; it < 200; ++it) {
      const double mid = 0.5 * (lo + hi);
      forces(mid, k, n, m);
      (n > 0 ? hi : lo) = mid;
    }
    forces(0.5 * (lo + hi), k, n, m);
    return m;
  }

  // The curvature that carries the moment mo (> 0).
  double curvature(double mo) const {
    double lo = 0, hi = 1e-3;
    for (int it = 0; it < 200; ++it) {
      const double mid = 0.5 * (lo + hi);
      (moment(mid) > mo ? hi : lo) = mid;
    }
    return 0.5 * (lo + hi);
  }

  double sum(double e, bool stiffness) const {
    double s = 0;
    for (std::size_t i = 0; i < area.size(); ++i)
      for (std::size_t n = 0; n < share[i].size(); ++n) {
        const double yield_at = (kFy + sig0[i][n]) / kE;  // shortening at which it yields
        const double a = area[i] * share[i][n];
        if (stiffness)
          s += a * z[i] * z[i] * (e < yield_at ? kE : kE2);
        else
          s += a * (e < yield_at ? kE * e - sig0[i][n] : kFy + kE2 * (e - yield_at));
      }
    return s;
  }
};



std::string head(const std::string& title) {
  return "   0  0  1     " + title + "\n" + card('P', 0, 0, 0, {kE, kE2, kE2}) + kSection;
}

TEST(ResidualStress, StubColumnLosesItsElasticWidthStepByStepAndKeepsItsSquashLoad) {
  TempDir dir;
  const Strips s(dir.path());
  const double L = 100, step = 0.004;
  const std::string deck = head("STUB COLUMN") + card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {0, L}) +
                           card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.22, 2.12}) +
                           card('L', 30, 1) + card('B', 1, 111) + card('B', 2, 110, 0, {0, -step}) +
                           card('E', 1, 90, 1, {1e-10}) + "F\n";
  const RunResult r = run_in(dir / "stub", deck);
  ASSERT_EQ(r.status, 0) << r.message;
  double area = 0;
  for (double a : s.area) area += a;
  const double py = area * kFy;
  double e = 0;
  int j = 0;
  for (const auto& row : curve(dir / "stub" / "fort.61")) {
    e += step / (L - step * j++);  // each step's strain on the length it starts from
    EXPECT_NEAR(-row[2], s.force(e), 2e-3 * py) << "step " << row[0];
  }
  // Linear up to a mean stress of fy - 0.72: the first yield at the tips.
  EXPECT_NEAR(s.force(0.99 * (kFy - 0.72) / kE), 0.99 * (kFy - 0.72) * area, 1e-4 * py);
  EXPECT_LT(s.force(1.05 * (kFy - 0.72) / kE), 1.05 * (kFy - 0.72) * area * 0.999);
  // The squash load: every fibre yielded, only the hardening above it.
  const double last = -curve(dir / "stub" / "fort.61").back()[2];
  EXPECT_GT(last, py);
  EXPECT_LT(last, py + kE2 * area * e);
}

TEST(ResidualStress, BendingFirstYieldsAtTheTipsOfTheOutermostStrip) {
  TempDir dir;
  const Strips s(dir.path());
  // The first yield: the bending stress at the outermost strip, plus the
  // most compressive initial stress of its sub-fibres, reaches -fy.
  double ei = 0, s0 = 0;
  for (std::size_t i = 0; i < s.area.size(); ++i) ei += kE * s.area[i] * s.z[i] * s.z[i];
  for (double v : s.sig0[0]) s0 = std::min(s0, v);
  const double z1 = std::fabs(s.z[0]), first = (kFy + s0) * ei / kE / z1;
  EXPECT_GT(first, (kFy - 0.72) * ei / kE / z1);  // a sub-fibre's centre lies inside the tip
  // A cantilever under an end moment: 0.99 of it, then up in steps of 0.02.
  const double L = 200;
  const auto deck = [&](double start, double step, int steps) {
    return head("CANTILEVER UNDER AN END MOMENT") + card('J', 1, 0, 0, {0, 0}) + card('J', 2, 0, 0, {L, 0}) +
           card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.23, 2.13}) + card('L', 30, 1) +
           card('B', 1, 111) + card('B', 2, 0, 0, {0, 0, start}) + card('E', 0, 1, 1, {1e-12}) +
           card('B', 1, 111) + card('B', 2, 0, 0, {0, 0, step}) + card('E', 0, steps, 1, {1e-12}) + "F\n";
  };
  const RunResult r = run_in(dir / "moment", deck(0.99 * first, 0.02 * first, 20));
  ASSERT_EQ(r.status, 0) << r.message;
  const auto rows = curve(dir / "moment" / "fort.61");
  ASSERT_EQ(rows.size(), 21u);
  // Below the first yield the rotation is M L / EI (printed in hundredths
  // of a radian); past it, that of the section's moment-curvature law.
  EXPECT_NEAR(rows[0][1], 100 * rows[0][2] * L / ei, 2e-4 * std::fabs(rows[0][1]));
  for (const auto& row : rows) {
    const double m = std::fabs(row[2]), theta = std::fabs(row[1]) / 100;
    EXPECT_NEAR(theta, s.curvature(m) * L, 5e-4 * theta) << "moment " << m / first << " of the first yield";
  }
  EXPECT_GT(std::fabs(rows.back()[1]) / 100, 1.01 * std::fabs(rows.back()[2]) * L / ei);  // it did yield
}

// A pinned column of four members, bowed by `bow` times its length as a
// half sine, pushed at its top by arc length past its peak.
std::string column(double L, double bow, double x2, double x4, double x6, int steps) {
  std::string d = head("STRAIGHT COLUMN");
  for (int k = 0; k <= 4; ++k)
    d += card('J', k + 1, 0, 0, {bow * L * std::sin(std::numbers::pi * k / 4), L * k / 4});
  for (int m = 1; m <= 4; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('W', 0, 0, 0, {5.22, 5.12, 3.21}) + card('L', 30, 1) + card('B', 1, 110) +
       card('B', 5, 100, 0, {0, -1}) + card('E', 0, steps, 1, {1e-10, x2, 1, x4, 0.95, x6});
  return d + "F\n";
}

TEST(ResidualStress, AStraightColumnBucklesAtTheTangentModulusLoad) {
  TempDir dir;
  const Strips s(dir.path());
  double area = 0, inertia = 0;
  for (std::size_t i = 0; i < s.area.size(); ++i) {
    area += s.area[i];
    inertia += s.area[i] * s.z[i] * s.z[i];
  }
  for (double slender : {0.5, 1.0}) {
    const double L = slender * std::numbers::pi * std::sqrt(kE / kFy) * std::sqrt(inertia / area);
    // The tangent-modulus load: the load at which the section's tangent
    // stiffness, at the uniform strain that carries it, buckles the column.
    double e = 0;
    while (s.force(e) < std::numbers::pi * std::numbers::pi * s.tangent_ei(e) / (L * L)) e += 1e-7;
    const double pt = s.force(e);
    const fs::path run = dir / ("column-" + std::to_string(slender));
    const RunResult r = run_in(run, column(L, 1e-6, 2, 4, 1, 600));
    ASSERT_EQ(r.status, 0) << r.message;
    // It buckles where its mid-height first moves sideways by L / 5000
    // (100 times the bow that starts it off); the load rises a little on
    // past it as the fibres on the convex side unload.
    double buckled = 0;
    for (const auto& row : curve(run / "fort.61"))
      if (buckled == 0 && std::fabs(row[3]) / 10 > L / 5000) buckled = -row[2];
    EXPECT_NEAR(buckled, pt, 0.01 * pt) << "slenderness " << slender;
    EXPECT_LT(pt, 0.99 * std::min(area * kFy, std::numbers::pi * std::numbers::pi * kE * inertia / (L * L)));
    EXPECT_GT(r.summary.peaks[0].value, buckled);
  }
}

// A portal of residually stressed columns and a plain beam, under gravity,
// then pushed sideways with the exact tangent; `control` is the control
// card's units.
std::string portal(const std::string& control, int push_steps, bool structure = true) {
  std::string d = control + "     PORTAL\n";
  if (structure) {
    d += card('P', 0, 0, 0, {kE, kE2, kE2}) + kSection + card('O', 2, 0, 0, {30, 20, 0, 0, 0, kFy});
    const double xy[4][2] = {{0, 0}, {0, 400}, {600, 400}, {600, 0}};
    for (int j = 1; j <= 4; ++j) d += card('J', j, 0, 0, {xy[j - 1][0], xy[j - 1][1]});
    d += card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) + card('M', 2, 3, 2, {0.2, 0.4, 0.6, 0.8}) +
         card('M', 4, 3, 1, {0.2, 0.4, 0.6, 0.8}) + card('W', 0, 0, 0, {2.21, 2.11}) + card('L', 30, 1);
    d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {0, -120}) + card('B', 3, 0, 0, {0, -120}) +
         card('E', 0, 2, 1, {1e-10});
  } else {
    d += card('W', 0, 0, 0, {2.21, 2.11}) + card('L', -30, -1);
  }
  d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {1, 0}) +
       card('E', 0, push_steps, 1, {1e-10, 0, 0, 0, 0, 1});
  return d + "F\n";
}

TEST(ResidualStress, ThreadsScratchFilesAndARestartGiveTheSameBytes) {
  TempDir dir;
  const std::string deck = portal("   0  0  1", 8);
  ASSERT_EQ(run_in(dir / "one", deck).status, 0);
  const char* files[] = {"Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst", "fort.61", "R.rst"};
  const struct {
    const char* name;
    int threads;
    bool scratch;
  } runs[] = {{"two", 2, false}, {"three", 3, false}, {"scratch", 1, true}};
  for (const auto& c : runs) {
    const RunResult r = run_in(dir / c.name, deck, nullptr, c.threads, c.scratch);
    ASSERT_EQ(r.status, 0) << r.message;
    for (const char* f : files) {
      if (c.scratch && std::string(f) == "R.rst") continue;  // the listing says where the fibres are
      EXPECT_EQ(read_file(dir / c.name / f), read_file(dir / "one" / f)) << c.name << " " << f;
    }
  }
  // Saved after three push steps and continued for five: the last step
  // prints as in the whole run.
  ASSERT_EQ(run_in(dir / "split", portal("   0 30  1", 3)).status, 0);
  const RunResult r = run_in(dir / "split", portal("  30  0  1", 5, false));
  ASSERT_EQ(r.status, 0) << r.message;
  const auto block = [](const fs::path& p) {
    const std::string text = read_file(p);
    const auto at = text.rfind(" STEP  10");
    return at == std::string::npos ? std::string() : text.substr(at);
  };
  for (const char* f : {"Jdis.rst", "Mfor.rst", "Mstr.rst", "Jfor.rst"}) {
    EXPECT_FALSE(block(dir / "one" / f).empty()) << f;
    EXPECT_EQ(block(dir / "split" / f), block(dir / "one" / f)) << f;
  }
}

// What a continuing deck cannot change about the saved residual stresses
// is refused before its first step; a C card that keeps them below its yield
// stress runs.
TEST(ResidualStress, AContinuingDeckCannotChangeTheSavedResidualStresses) {
  TempDir dir;
  ASSERT_EQ(run_in(dir.path(), portal("   0 30  1", 2)).status, 0);
  const std::string keep = card('W', 0, 0, 0, {2.21, 2.11}) + card('L', -30, -1);
  const std::string push = card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {1, 0}) +
                           card('E', 0, 1, 1, {1e-10, 0, 0, 0, 0, 1}) + "F\n";
  const struct {
    std::string cards;
    const char* says;
  } cases[] = {
      {card('I', 2, 0, 0, {30, 30, 1.1, 1.9, 2.7, kFy}) + card('S', 2, 0, 0, {-0.72, 0.42, 0.42, 0.42}),
       "keeps the fibres of its restart file"},
      {card('C', 1, 0, 0, {0, 0, 0, 0, 0, 0.5}), "at or beyond the yield stress 0.5"},
      {card('I', 1, 0, 0, {30, 30, 1.1, 1.9, 2.7, kFy}), "its members keep the fibres and residual stresses"}};
  for (const auto& c : cases) {
    const std::string control = "  30  0  1     CONTINUED\n";
    const RunResult r = run_in(dir.path(), control + c.cards + keep + push);
    EXPECT_EQ(r.status, 1) << c.says;
    EXPECT_FALSE(r.started);
    EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
  }
  const RunResult r = run_in(dir.path(), "  30  0  1     CONTINUED\n" + card('C', 1, 0, 0, {0, 0, 0, 0, 0, 3.0}) + keep + push);
  EXPECT_EQ(r.status, 0) << r.message;
}

}  // namespace
}  // namespace nlf
