#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "io/stop.h"
#include "io/units.h"
#include "model/structure.h"
#include "store/bind.h"
#include "storage/fibre_store.h"
#include "support/test_support.h"

namespace nlf {
namespace {

using test::card;

// A model with small capacities, the deck `text` and a listing, all in a
// temporary folder.
struct Pass {
  test::TempDir dir;
  Units units;
  Stores st;
  Model md;
  FibreStore fs;
  explicit Pass(const std::string& text) {
    const Sizes sz{.MUMM = 2, .MUMJ = 3, .MUMR = 1, .MUMS = 1, .MBAND = 9, .MUMW = 1};
    bind_model(md, st, sz);
    test::write_file(dir / "deck.dat", text);
    units.deck().open((dir / "deck.dat").string());
    units.open_text(16, (dir / "R.rst").string());
    fs.setup(st.FSTORE.data(), sz.MUMM, true, units);
  }
  void run(long control_line = 0) { read_structure(md, fs, units, '$', control_line); }
  std::vector<std::string> listing() {
    units.close_all();
    return test::read_lines(dir / "R.rst");
  }
};

// A HEB 300 of yield stress 2.35 and the classic pattern on it: 0.3 fy of
// compression at the flange tips, balanced by a uniform tension in the
// flange middles and the web (X2 = X3 = X4 for the program's own fibre
// areas).
const std::string kHeb300 = card('I', 1, 0, 0, {30, 30, 1.1, 1.9, 2.7, 2.35});
const std::vector<double> kClassic = {-0.705, 0.41114236, 0.41114236, 0.41114236};

const std::string kFrame = card('J', 10, 0, 0, {0, 0}) + card('J', 20, 0, 0, {100, 0}) +
                           card('J', 30, 0, 0, {100, 100}) + card('P', 0, 0, 0, {2100, 21, 0}) +
                           card('O', 1, 0, 0, {20, 10, 0, 0, 0, 2.4});

TEST(Structure, SmallFrame) {
  const std::string deck =
      "$ portal\n" + kFrame + card('M', 10, 20, -1, {0.2, 0.4, 0.6, 0.8, 0.01, 5, 0.02}) +
      card('M', 20, 30, 1, {0.2, 0.4, 0.6, 0.8, 0.01}) + card('K', 30, 0, 0, {1, 2, 3}) +
      card('W', 0, 0, 0, {10.21, 0, 20.13}) + card('X', 5, 5, 5) + card('L', 20, 3) +
      "B  after the L card\n";
  Pass p(deck);
  p.md.PLOAD.fill(7.0);
  p.md.DPRUN.fill(7.0);
  p.run();
  const Model& md = p.md;
  EXPECT_EQ(md.JMAP[20], 2);
  EXPECT_EQ(md.JNO(3), 30);
  EXPECT_EQ(md.YJ(3), 100.0);
  EXPECT_EQ(md.NEQ, 9);
  EXPECT_EQ(md.MBAND, 6);
  ASSERT_EQ(md.NM, 2);
  EXPECT_EQ(md.MGEO(1), 1);
  EXPECT_EQ(md.MGEO(2), 0);
  EXPECT_DOUBLE_EQ(md.EYM(1), 2.4 / 2100);
  // Bowed to the left of A->B by a half sine of amplitude 0.01 * L = 1.
  EXPECT_NEAR(md.YM(1, 2), std::sin(0.2 * std::numbers::pi), 1e-12);
  EXPECT_NEAR(md.XM(2, 4), 100.0 - std::sin(0.6 * std::numbers::pi), 1e-12);
  EXPECT_NEAR(md.YM(2, 4), 60.0, 1e-12);
  EXPECT_EQ(md.KJ(1), 3);
  EXPECT_EQ(md.W(1, 3), 20.13);
  EXPECT_EQ(md.MAXIT, 20);
  EXPECT_EQ(md.MINIT, 3);
  EXPECT_EQ(md.strain_limit, 0.0);  // X4 blank: no limit
  // Cleared: 3 NJ joint entries and 18 entries of each member present.
  EXPECT_EQ(md.PLOAD(9), 0.0);
  EXPECT_EQ(md.DPRUN(18, 2), 0.0);
  p.fs.results_begin();
  const MemberFibres f = p.fs.results_member(2);
  EXPECT_EQ(f.SIGL[MemberFibres::at(20, 10)], -2.4);
  p.fs.results_end();

  std::string line;
  ASSERT_TRUE(p.units.deck().next(line));  // the pass stopped at the L card
  EXPECT_EQ(line, "B  after the L card");
  const auto l = p.listing();
  EXPECT_EQ(l[0], " $ portal" + std::string(72, ' '));
  EXPECT_EQ(l[1], " " + card('J', 10, 0, 0, {0, 0}).substr(0, 30) + std::string(50, ' '));
  EXPECT_EQ(l[6], "0     UNIT-AREA       Z-COORDINATE");  // the section follows its card
  EXPECT_EQ(l[37].substr(0, 21), " *** MATRIX INDEX ***");
}

// X4 of the P card is the strain limit; a later P card replaces it.
TEST(Structure, StrainLimitFromThePCard) {
  Pass p(card('P', 0, 0, 0, {2100, 21, 21, 0.05}) + card('L', -5));
  p.run();
  EXPECT_EQ(p.md.strain_limit, 0.05);
  EXPECT_EQ(p.md.E2, 21.0);
  Pass again(card('P', 0, 0, 0, {2100, 21, 21, 0.05}) + card('P', 0, 0, 0, {2100, 21, 21}) + card('L', -5));
  again.run();
  EXPECT_EQ(again.md.strain_limit, 0.0);
}

TEST(Structure, NegativeCountsKeepTheState) {
  for (const auto& [l_card, maxit, minit] :
       {std::tuple{card('L', -5, 0), 5, 7}, std::tuple{card('L', 4, -2), 4, 2},
        std::tuple{card('L', -6, -1), 6, 1}}) {
    Pass p(card('J', 1) + l_card);
    p.md.MINIT = 7;
    p.md.PLOAD.fill(7.0);
    p.run();
    EXPECT_EQ(p.md.MAXIT, maxit);
    EXPECT_EQ(p.md.MINIT, minit);
    EXPECT_EQ(p.md.PLOAD(1), 7.0);
    EXPECT_EQ(p.listing().size(), 2u);  // the echo only
  }
}

TEST(Structure, ControlCardMetAgainIsEchoedNotDecoded) {
  const std::string control = "  0  0  1 1.0 PORTAL FRAME WITH TEXT IN EVERY FIELD";
  Pass p("$ one\n$ two\n" + control + "\n" + card('L', 0, 0));
  std::string first;
  p.units.deck().next(first);
  p.run(3);
  const auto l = p.listing();
  ASSERT_GE(l.size(), 2u);
  EXPECT_EQ(l[1], " " + control + std::string(80 - control.size(), ' '));
}

struct BadDeck {
  std::string name, cards, listing, stderr_part;
};

TEST(Structure, BadDecksStopWithAMessage) {
  const std::string two = card('J', 10, 0, 0, {0, 0}) + card('J', 20, 0, 0, {100, 0});
  const std::string member = card('M', 10, 20, 1, {0.2, 0.4, 0.6, 0.8});
  const std::vector<BadDeck> cases = {
      {"joint number", card('J', 0), "ERROR IN J CARD AT LINE 1: JOINT NUMBER 0 OUT OF RANGE 1 TO 999",
       "line 1, columns 2-4: J card gives joint number 0"},
      {"too many joints", two + two, "ERROR IN J CARD AT LINE 4: MORE THAN 3 JOINTS (MUMJ)",
       "line 4: J card goes beyond the capacity of 3 joints (MUMJ)"},
      {"Q undefined", two + card('Q', 10, 7, 100), "ERROR DATA IN Q DATA 10 7",
       "line 3, columns 5-7: Q card names joint 7, which is not defined"},
      {"Q digit", two + card('Q', 20, 10, 300), "ERROR DATA IN Q DATA 10 20",
       "columns 8-10: Q card link code 300 has a digit out of range"},
      {"Q negative", two + card('Q', 10, 20, -10), "ERROR DATA IN Q DATA 10 20",
       "Q card link code -10 is negative"},
      {"M joint", two + card('M', 10, 7, 1), "ERROR IN M CARD AT LINE 3: JOINT 7 NOT DEFINED",
       "line 3, columns 5-7: M card names joint 7, which is not defined"},
      {"M section", kFrame + card('M', 10, 20, -2, {0.2, 0.4, 0.6, 0.8}),
       "ERROR IN M CARD AT LINE 6: SECTION 2 OUT OF RANGE 1 TO 1", "columns 8-10"},
      {"section after the member", two + card('P', 0, 0, 0, {2100}) + member + card('O', 1, 0, 0, {2, 1}),
       "ERROR IN M CARD AT LINE 4: SECTION 1 NOT DEFINED",
       "line 4, columns 8-10: M card names section 1, which no section card before it has defined"},
      {"no P card", two + card('O', 1, 0, 0, {2, 1}) + member,
       "ERROR IN M CARD AT LINE 4: NO P CARD BEFORE THE MEMBER (E = 0)", "line 4: M card comes before"},
      {"E3", card('P', 0, 0, 0, {2100, 0, 2100}), "ERROR IN P CARD AT LINE 1: E3 = 2100 NOT BELOW E = 2100",
       "columns 31-40"},
      {"strain limit", card('P', 0, 0, 0, {2100, 21, 21, -0.05}),
       "ERROR IN P CARD AT LINE 1: STRAIN LIMIT X4 = -0.05 NEGATIVE",
       "line 1, columns 41-50: P card gives the strain limit X4 = -0.05, which is negative (0 or blank: no limit)"},
      {"zero length", card('J', 10) + card('J', 20) + card('P', 0, 0, 0, {2100}) + card('O', 1) + member,
       "ERROR IN M CARD AT LINE 5: MEMBER OF ZERO LENGTH", "columns 2-7: M card joins joints 10 and 20"},
      {"zero segment", kFrame + card('M', 10, 20, 1, {0.2, 0.4, 0.4, 0.8}),
       "ERROR IN M CARD AT LINE 6: SEGMENT 3 OF ZERO LENGTH", "columns 21-40"},
      {"band", kFrame + card('M', 10, 30, 1, {0.2, 0.4, 0.6, 0.8}),
       "ERROR IN M CARD AT LINE 6: BAND WIDTH 9 EXCEEDS THE CAPACITY 8", ""},
      {"section card", card('I', 2, 0, 0, {30, 15, 1, 1}),
       "ERROR IN I CARD AT LINE 1: SECTION 2 OUT OF RANGE 1 TO 1", "columns 2-4"},
      {"K joint", card('K', 5), "ERROR IN K CARD AT LINE 1: JOINT 5 NOT DEFINED", "columns 2-4"},
      {"W negative", card('W', 0, 0, 0, {0, -10.21}), "ERROR IN W CARD AT LINE 1: WATCH CODE -10.21 NEGATIVE",
       "columns 21-30"},
      {"W joint", card('W', 0, 0, 0, {1000.11}),
       "ERROR IN W CARD AT LINE 1: WATCH CODE 1000.11 NAMES A JOINT ABOVE 999", "columns 11-20"},
      {"S without section", card('S', 1, 0, 0, {-0.7, 0.4, 0.4, 0.4}),
       "ERROR IN S CARD AT LINE 1: SECTION 1 NOT DEFINED BEFORE IT", "columns 2-4: S card names section 1, which no"},
      {"S on a T", card('T', 1, 0, 0, {30, 15, 1, 1, 0, 2.4}) + card('S', 1, 0, 0, {-0.7, 0.4, 0.4, 0.4}),
       "ERROR IN S CARD AT LINE 2: SECTION 1 IS NOT AN I OR H SECTION (T CARD): NO RESIDUAL STRESSES",
       "columns 2-4: S card names section 1, a T section: residual stresses apply to I and H sections only"},
      {"S on a C", kHeb300 + card('C', 1, 0, 0, {0, 0, 0, 0, 0, 2.4}) + card('S', 1, 0, 0, kClassic),
       "ERROR IN S CARD AT LINE 3: SECTION 1 IS NOT AN I OR H SECTION (C CARD): NO RESIDUAL STRESSES",
       "section 1, last given by a C card"},
      {"S twice", kHeb300 + card('S', 1, 0, 0, kClassic) + card('S', 1, 0, 0, kClassic),
       "ERROR IN S CARD AT LINE 3: SECTION 1 HAS RESIDUAL STRESSES ALREADY (S CARD AT LINE 2)",
       "columns 2-4: S card gives section 1 residual stresses a second time (the first S card is at line 2)"},
      // The tip slice, at 0.95 of the way from X2 to X1, reaches the yield stress.
      {"S at yield", kHeb300 + card('S', 1, 0, 0, {-2.5, -0.02, 0.5, 0.5}),
       "ERROR IN S CARD AT LINE 2: RESIDUAL STRESS -2.376 OF FIBRE 1 (SUB-FIBRE 10) NOT BELOW THE YIELD STRESS 2.35",
       "line 2, columns 11-30: S card starts fibre 1 of section 1 (its sub-fibre 10 of 10, counted from the web "
       "to the flange tip) at -2.376 t/cm2, at or beyond the yield stress 2.35 of the section"},
      {"S web at yield", kHeb300 + card('S', 1, 0, 0, {-0.7, 0.4, 2.6, -1}),
       "ERROR IN S CARD AT LINE 2: RESIDUAL STRESS 2.52431 OF FIBRE 4 NOT BELOW THE YIELD STRESS 2.35",
       "columns 31-50: S card starts fibre 4 of section 1 at 2.52431 t/cm2"},
      {"S not balanced", kHeb300 + card('S', 1, 0, 0, {-0.705}),
       "ERROR IN S CARD AT LINE 2: RESIDUAL STRESSES NOT IN EQUILIBRIUM: NET AXIAL FORCE -38.7115 T ABOVE 3.50305 T "
       "(1 % OF A*FY)",
       "columns 11-50: S card gives section 1 residual stresses that are not self-equilibrated: their net axial "
       "force -38.7115 t is more than 1 % of A*fy (3.50305 t)"},
      {"C lowers the yield stress", kHeb300 + card('S', 1, 0, 0, kClassic) + card('C', 1, 0, 0, {0, 0, 0, 0, 0, 0.6}),
       "ERROR IN C CARD AT LINE 3: RESIDUAL STRESS -0.649193 OF FIBRE 1 (SUB-FIBRE 10) NOT BELOW THE YIELD STRESS 0.6",
       "columns 61-70: C card starts fibre 1 of section 1"},
  };
  for (const BadDeck& c : cases) {
    SCOPED_TRACE(c.name);
    Pass p(c.cards + card('L'));
    if (c.name == "band") p.md.sz.MBAND = 8;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_THROW(p.run(), Stop);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(p.listing().back(), " " + c.listing);
    EXPECT_NE(out.find(" " + c.listing + "\n"), std::string::npos);
    EXPECT_EQ(err.rfind("nlframe: " + (p.dir / "deck.dat").string() + ": line ", 0), 0u) << err;
    EXPECT_NE(err.find(c.stderr_part), std::string::npos) << err;
  }
}

// The S card fills the table of residual stresses: a bundle of sub-fibres
// for each flange strip of an I section, a stress at its own position for
// every other strip and every strip of an H section; the listing gives the
// sums, which vanish for a balanced pattern.
TEST(Structure, ResidualStressesOfIAndHSections) {
  const double B = 30, tw = 1.1, tf = 1.9, fy = 2.35;
  {
    // The classic pattern, read as the deck gives it.
    Pass p(kHeb300 + card('S', 1, 0, 0, kClassic) + card('L', -5));
    p.run();
    const SectionResidual* r = p.md.residual(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->bundles, 6);
    double n = 0, m = 0, area = 0;
    for (int i = 1; i <= 20; ++i) {
      const int b = r->bundle[i - 1];
      EXPECT_EQ(b >= 0, i <= 3 || i >= 18) << i;
      if (b >= 0) {
        double shares = 0, mean = 0;
        for (int k = 0; k < kSubFibres; ++k) {
          shares += r->share[b][k];
          mean += r->share[b][k] * r->sub_sig0[b][k];
        }
        EXPECT_NEAR(shares, 1.0, 1e-14);
        EXPECT_NEAR(mean, r->sig0[i - 1], 1e-14);
        // The flange's mean over its full width: X2 over the web, the mean of
        // X1 and X2 over the outstands.
        EXPECT_NEAR(mean, (tw * kClassic[1] + (B - tw) * 0.5 * (kClassic[0] + kClassic[1])) / B, 1e-14);
        EXPECT_NEAR(r->sub_sig0[b][kSubFibres - 1], kClassic[1] + 0.95 * (kClassic[0] - kClassic[1]), 1e-14);
      } else {
        EXPECT_NEAR(r->sig0[i - 1], kClassic[2], 1e-14);
      }
      n += p.md.AREA(1, i) * r->sig0[i - 1];
      m += p.md.AREA(1, i) * r->sig0[i - 1] * p.md.ZF(1, i);
      area += p.md.AREA(1, i);
    }
    EXPECT_LT(std::fabs(n), 1e-8 * area * fy);
    EXPECT_LT(std::fabs(m), 1e-12);
    const auto l = p.listing();
    const std::string& sums = l[l.size() - 2];  // before the echo of the L card
    ASSERT_EQ(sums.size(), 79u);
    EXPECT_EQ(sums.substr(0, 31) + "|" + sums.substr(44, 17) + "|" + sums.substr(74),
              " RESIDUAL STRESSES:  SUM A*S0 =| T   SUM A*S0*Z =| T-CM");
    EXPECT_NEAR(std::stod(sums.substr(31, 13)), n, 1e-10);
    EXPECT_NEAR(std::stod(sums.substr(61, 13)), m, 1e-10);
  }
  {
    // A web linear from X3 at its ends to X4 at mid-depth; shifted section.
    Pass p(card('I', 1, 0, 0, {30, 30, 1.1, 1.9, 2.7, 2.35, 4}) + card('S', 1, 0, 0, {-0.4, 0.4, 0.2, -0.4}) +
           card('L', -5));
    EXPECT_NO_THROW(p.run());
    const SectionResidual* r = p.md.residual(1);
    ASSERT_NE(r, nullptr);
    const auto line = [&](int i) { return 0.2 + (-0.4 - 0.2) * (1 - std::fabs(p.md.ZF(1, i) - 4) / (15 - tf)); };
    for (int i = 4; i <= 17; ++i) {
      EXPECT_NEAR(r->sig0[i - 1], line(i), 1e-14) << i;
      EXPECT_NEAR(r->sig0[i - 1], r->sig0[20 - i], 1e-14);
    }
  }
  {
    // H: the same pattern across the strips, without bundles, balanced too.
    Pass p(card('H', 1, 0, 0, {0, 30, 1.1, 1.9, 2.7, 2.35}) + card('S', 1, 0, 0, kClassic) + card('L', -5));
    p.run();
    const SectionResidual* r = p.md.residual(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->bundles, 0);
    double n = 0, area = 0;
    for (int i = 1; i <= 20; ++i) {
      EXPECT_EQ(r->bundle[i - 1], -1);
      n += p.md.AREA(1, i) * r->sig0[i - 1];
      area += p.md.AREA(1, i);
    }
    EXPECT_LT(std::fabs(n), 1e-8 * area * fy);
    // Strip 1 at 13/14 of the outstand from the web face to the tip.
    EXPECT_NEAR(r->sig0[0], kClassic[1] + 13.0 / 14.0 * (kClassic[0] - kClassic[1]) * (B - tw - 1.8 * 2.7) / (B - tw) +
                                (kClassic[0] - kClassic[1]) * 1.8 * 2.7 / (B - tw), 1e-12);
    EXPECT_NEAR(r->sig0[9], kClassic[1], 1e-14);  // the web and the flanges over it
  }
  {
    // A new I card drops the pattern; another S card may then follow.
    Pass p(kHeb300 + card('S', 1, 0, 0, kClassic) + kHeb300 + card('L', -5));
    p.run();
    EXPECT_EQ(p.md.residual(1), nullptr);
  }
}

// A section restored from a restart file holds its table without a card;
// a C card on a number that holds nothing does not define it.
TEST(Structure, MemberTakesARestoredSection) {
  const std::string head =
      card('J', 10, 0, 0, {0, 0}) + card('J', 20, 0, 0, {100, 0}) + card('P', 0, 0, 0, {2100});
  const std::string member = card('M', 10, 20, 1, {0.2, 0.4, 0.6, 0.8});
  Pass restored(head + member + card('L'));
  restored.md.AREA(1, 3) = 1.5;
  EXPECT_NO_THROW(restored.run());
  EXPECT_EQ(restored.md.NM, 1);

  Pass copied(head + card('C', 1) + member + card('L'));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_THROW(copied.run(), Stop);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("names section 1, which no section card"),
            std::string::npos);
  testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace nlf
