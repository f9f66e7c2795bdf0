// Findings on values that read well but fit no steel frame in t and cm, and
// on models that are mechanisms before any load: warnings that name the
// likely mistake, from the deck check and from the run.
#include <gtest/gtest.h>

#include <string>

#include "check/check.h"
#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;

// A fixed-base portal 300 cm high and 600 cm wide (times `scale`) under
// gravity, then pushed sideways.
std::string portal(double scale, double E = 2100, double E23 = 21, double fy = 2.4,
                   const std::string& base = "111") {
  return "   0  0  1     PORTAL\n" + card('P', 0, 0, 0, {E, E23, E23}) +
         card('I', 1, 0, 0, {20, 10, 0.56, 0.85, 1.2, fy}) + card('J', 1, 0, 0, {0, 0}) +
         card('J', 2, 0, 0, {0, 300 * scale}) + card('J', 3, 0, 0, {600 * scale, 300 * scale}) +
         card('J', 4, 0, 0, {600 * scale, 0}) + card('M', 1, 2, 1, {0.2, 0.4, 0.6, 0.8}) +
         card('M', 2, 3, 1, {0.2, 0.4, 0.6, 0.8}) + card('M', 3, 4, 1, {0.2, 0.4, 0.6, 0.8}) + card('L', 30, 1) +
         card('B', 1, std::stoi(base)) + card('B', 4, std::stoi(base)) + card('B', 2, 0, 0, {1, -8}) +
         card('E', 0, 3, 3, {1e-8}) + "F\n";
}

std::vector<std::string> warnings(const std::string& deck) {
  test::TempDir dir;
  test::write_file(dir / "deck.dat", deck);
  const CheckResult r = check_deck((dir / "deck.dat").string());
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> out;
  for (const DeckFinding& f : r.findings) out.push_back(f.text);
  return out;
}

bool has(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

TEST(Plausibility, UnitMistakesAreNamedWithTheValueInTheDecksUnits) {
  EXPECT_TRUE(warnings(portal(1)).empty());
  // 1 t/cm2 = 98.0665 MPa.
  char e[64], slope[64], fy[64];
  std::snprintf(e, sizeof e, "In t/cm2 it is %.6G", 210000 / 98.0665);
  std::snprintf(slope, sizeof slope, "In t/cm2 it is %.6G", 2100 / 98.0665);
  std::snprintf(fy, sizeof fy, "In t/cm2 it is %.6G", 235 / 98.0665);
  const auto mpa = warnings(portal(1, 210000, 2100));
  EXPECT_TRUE(has(mpa, "E = 210000 is far from steel's 2100 t/cm2: given in MPa (N/mm2)? ") && has(mpa, e));
  EXPECT_TRUE(has(mpa, "E2 = 2100 is far above") && has(mpa, "E3 = 2100") && has(mpa, slope));
  EXPECT_TRUE(has(warnings(portal(1, 2100, 21, 235)), fy));
  EXPECT_TRUE(has(warnings(portal(1, 2100, 21, 23.5)), "given in kN/cm2?"));
  // Drawn in mm: a storey of 30 m.
  EXPECT_TRUE(has(warnings(portal(10)), "member 1 makes a storey 3000 cm high, far beyond buildings' storeys: "
                                        "lengths in mm? In cm it is 300"));
  // A material kept elastic on purpose is no mistake of units.
  EXPECT_TRUE(warnings(portal(1, 2100, 21, 1000)).empty());
}

TEST(Plausibility, MechanismsAreNamedBeforeTheRun) {
  // Rollers at both feet: nothing holds the frame in X.
  EXPECT_TRUE(has(warnings(portal(1, 2100, 21, 2.4, "10")), "no support or spring holds the frame in X"));
  // The run names the joint and the direction, not a limit point.
  test::TempDir dir;
  const test::RunResult r = test::run_program(dir.path(), portal(1, 2100, 21, 2.4, "10"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the model is a mechanism, its stiffness matrix is singular"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" in X "), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("follows the path past a limit point"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace nlf
