// Residual stresses in whole runs, against closed forms worked out here from
// the section's strips and sub-fibres (as the deck's reader gives them): a
// stub column's load against its shortening, the first yield in bending,
// and the tangent-modulus load of a straight column. Threads and a restart
// give the same bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "io/units.h"
#include "model/structure.h"
#include "run/engine.h"
#include "store/bind.h"
#include "storage/fibre_store.h"
#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;
using test::card;
using test::read_file;
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

RunResult run_in(const fs::path& folder, const std::string& deck, int threads = 1, bool scratch = false) {
  fs::create_directories(folder);
  test::write_file(folder / "deck.dat", deck);
  RunRequest req;
  req.deck = "deck.dat";
  req.folder = folder;
  req.threads = threads;
  req.force_scratch = scratch;
  QuietOutput quiet;
  return run_deck(req, quiet);
}

std::vector<std::vector<double>> curve(const fs::path& p) {
  std::vector<std::vector<double>> rows;
  const auto lines = test::read_lines(p);
  for (std::size_t i = 16; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    std::vector<double> row;
    for (double v; in >> v;) row.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

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

}  // namespace
}  // namespace nlf
