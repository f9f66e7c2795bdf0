#include "model/structure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "io/card.h"
#include "io/format.h"
#include "io/stop.h"
#include "io/units.h"
#include "model/deck_error.h"
#include "model/numbering.h"
#include "model/residual.h"
#include "model/section_figures.h"
#include "model/sections.h"
#include "storage/fibre_store.h"

namespace nlf {

namespace {

std::string str(long v) { return std::to_string(v); }

// Columns of the fields of the general card layout.
constexpr int I_COL[4] = {0, 2, 5, 8};
int x_first(int k) { return 11 + 10 * (k - 1); }
int x_last(int k) { return 10 + 10 * k; }

// One structure card being handled: where it is, for the error reports.
struct CardContext {
  Units& units;
  long line;
  char ch;

  // "ERROR IN M CARD AT LINE 12: <what>" on listing and console, `detail`
  // on standard error; the run stops.
  [[noreturn]] void fail(int col_first, int col_last, const std::string& what,
                         const std::string& detail) const {
    deck_error(units, std::string("ERROR IN ") + ch + " CARD AT LINE " + str(line) + ": " + what,
               line, col_first, col_last, std::string(1, ch) + " card " + detail);
  }

  // The joint named by field `f` (1: I1, 2: I2) must have been defined.
  int joint(const Model& md, int f, int number) const {
    const int j = md.jmap(number);
    if (j == 0)
      fail(I_COL[f], I_COL[f] + 2, "JOINT " + str(number) + " NOT DEFINED",
           "names joint " + str(number) + ", which is not defined");
    return j;
  }

  void section(const Model& md, int f, int s) const {
    if (s < 1 || s > md.sz.MUMS)
      fail(I_COL[f], I_COL[f] + 2,
           "SECTION " + str(s) + " OUT OF RANGE 1 TO " + str(md.sz.MUMS),
           "names section " + str(s) + ", outside 1 to " + str(md.sz.MUMS));
  }

  // Room for one more entry of a table whose capacity is `cap`.
  void room(int count, int cap, const char* what, const char* noun, const char* cap_name) const {
    if (count >= cap)
      fail(0, 0, std::string("MORE THAN ") + str(cap) + " " + what + " (" + cap_name + ")",
           std::string("goes beyond the capacity of ") + str(cap) + " " + noun + " (" + cap_name +
               ")");
  }
};

void joint_card(Model& md, const Card& c, const CardContext& cx) {
  if (c.i1 < 1 || c.i1 > MAXJOINTNO)
    cx.fail(2, 4, "JOINT NUMBER " + str(c.i1) + " OUT OF RANGE 1 TO 999",
            "gives joint number " + str(c.i1) + ", outside 1 to 999");
  cx.room(md.NJ, md.sz.MUMJ, "JOINTS", "joints", "MUMJ");
  const int j = ++md.NJ;
  number_joint(md, j);
  md.JMAP[c.i1] = j;
  md.JNO(j) = c.i1;
  md.XJ(j) = c.X(1);
  md.YJ(j) = c.X(2);
}

void link_card(Model& md, const Card& c, const CardContext& cx) {
  const int a = md.jmap(c.i1), b = md.jmap(c.i2);
  if (a == 0 || b == 0 || a == b) {
    const std::string text = "ERROR DATA IN Q DATA " + str(c.i1) + " " + str(c.i2);
    if (a == 0)
      deck_error(cx.units, text, cx.line, 2, 4,
                 "Q card names joint " + str(c.i1) + ", which is not defined");
    if (b == 0)
      deck_error(cx.units, text, cx.line, 5, 7,
                 "Q card names joint " + str(c.i2) + ", which is not defined");
    deck_error(cx.units, text, cx.line, 2, 7, "Q card links joint " + str(c.i1) + " to itself");
  }
  const int M = std::min(a, b), S = std::max(a, b);
  if (!link_code_valid(c.i3)) {
    const std::string text =
        "ERROR DATA IN Q DATA " + str(md.JNO(M)) + " " + str(md.JNO(S));
    deck_error(cx.units, text, cx.line, 8, 10,
               "Q card link code " + str(c.i3) +
                   (c.i3 < 0 ? " is negative"
                             : " has a digit out of range (X and Y 0 to 2, T 0 or 1)"));
  }
  link_dofs(md, M, S, c.i3);
}

void member_card(Model& md, const Card& c, const CardContext& cx) {
  cx.room(md.NM, md.sz.MUMM, "MEMBERS", "members", "MUMM");
  const int a = cx.joint(md, 1, c.i1);
  const int b = cx.joint(md, 2, c.i2);
  const int sec = std::abs(c.i3);
  cx.section(md, 3, sec);
  if (!(md.E > 0.0)) {
    if (md.E == 0.0)
      cx.fail(0, 0, "NO P CARD BEFORE THE MEMBER (E = 0)",
              "comes before any P card: Young's modulus E is not set");
    cx.fail(0, 0, "YOUNG'S MODULUS E = " + message_number(md.E) + " NOT POSITIVE",
            "uses Young's modulus E = " + message_number(md.E) + ", which is not positive");
  }

  // Node points: end A, the four inner points at the card's fractions
  // X1-X4 along A->B, bowed to the left by a half sine of amplitude X5*L,
  // and end B.
  const double xa = md.XJ(a), ya = md.YJ(a), xb = md.XJ(b), yb = md.YJ(b);
  const double L = std::sqrt((xb - xa) * (xb - xa) + (yb - ya) * (yb - ya));
  if (L == 0.0)
    cx.fail(2, 7, "MEMBER OF ZERO LENGTH",
            "joins joints " + str(c.i1) + " and " + str(c.i2) + ", which lie at the same point");
  const double cs = (xb - xa) / L, sn = (yb - ya) / L, e = c.X(5) * L;
  double px[NPT + 1], py[NPT + 1];
  px[1] = xa;
  py[1] = ya;
  for (int k = 1; k <= 4; ++k) {
    const double t = c.X(k);
    const double bow = std::sin(std::numbers::pi * t) * e;
    px[k + 1] = xa + cs * t * L - sn * bow;
    py[k + 1] = ya + sn * t * L + cs * bow;
  }
  px[NPT] = xb;
  py[NPT] = yb;
  for (int k = 1; k < NPT; ++k) {
    const double dx = px[k + 1] - px[k], dy = py[k + 1] - py[k];
    if (std::sqrt(dx * dx + dy * dy) == 0.0) {
      // The fractions that place the two points: X(k-1) and X(k).
      const int f1 = (k == 1) ? 1 : k - 1, f2 = (k == NPT - 1) ? 4 : k;
      cx.fail(x_first(f1), x_last(f2), "SEGMENT " + str(k) + " OF ZERO LENGTH",
              "places node points " + str(k) + " and " + str(k + 1) +
                  " at the same point: segment " + str(k) + " has zero length");
    }
  }

  // The member takes its yield stress from the section now: a section card
  // after the M card would leave it zero.
  if (!section_held(md, sec))
    cx.fail(I_COL[3], I_COL[3] + 2, "SECTION " + str(sec) + " NOT DEFINED",
            "names section " + str(sec) + ", which no section card before it has defined");

  const int m = ++md.NM;
  md.IJ(m, 1) = a;
  md.IJ(m, 2) = b;
  md.MGEO(m) = c.i3 < 0 ? 1 : 0;
  md.ISEC(m) = sec;
  md.SYM(m) = md.SY(sec);
  md.EYM(m) = md.SYM(m) / md.E;
  widen_band(md, a, b);
  if (md.MBAND > md.sz.MBAND)
    cx.fail(2, 7, "BAND WIDTH " + str(md.MBAND) + " EXCEEDS THE CAPACITY " + str(md.sz.MBAND),
            "widens the band to " + str(md.MBAND) + ", beyond the capacity " +
                str(md.sz.MBAND) + " of the band matrix");
  md.MC6(m) = c.X(6);
  md.MC7(m) = c.X(7);
  for (int k = 1; k <= NPT; ++k) {
    md.XM(m, k) = px[k];
    md.YM(m, k) = py[k];
  }
}

void spring_card(Model& md, const Card& c, const CardContext& cx) {
  cx.room(md.NK, md.sz.MUMR, "JOINT SPRINGS", "joint springs", "MUMR");
  const int j = cx.joint(md, 1, c.i1);
  const int k = ++md.NK;
  md.KJ(k) = j;
  for (int d = 1; d <= 3; ++d) md.KF(k, d) = c.X(d);
}

void material_card(Model& md, const Card& c, const CardContext& cx) {
  if (!(c.X(3) < c.X(1)))
    cx.fail(x_first(3), x_last(3), "E3 = " + message_number(c.X(3)) + " NOT BELOW E = " + message_number(c.X(1)),
            "gives E3 = " + message_number(c.X(3)) + ", which is not below E = " + message_number(c.X(1)));
  const double limit = c.X(4);
  if (!std::isfinite(limit))
    cx.fail(x_first(4), x_last(4), "STRAIN LIMIT X4 NOT A FINITE NUMBER",
            "gives a strain limit (X4) that is not a finite number");
  if (limit < 0)
    cx.fail(x_first(4), x_last(4), "STRAIN LIMIT X4 = " + message_number(limit) + " NEGATIVE",
            "gives the strain limit X4 = " + message_number(limit) +
                ", which is negative (0 or blank: no limit)");
  md.E = c.X(1);
  md.E2 = c.X(2);
  md.E3 = c.X(3);
  md.strain_limit = limit;
}

// What the pass remembers of every section number: the last section card
// that gave it and its S card, for the S cards that follow.
struct SectionRecord {
  Card card;           // the last card that built its fibres
  long line = 0;       // its line
  char last = 0;       // the letter of its last section card, C included
  long s_line = 0;     // the line of the S card that gave its residual stresses, 0: none
  std::array<double, 4> X{};  // the pattern of that S card
};
using SectionRecords = std::vector<SectionRecord>;

SectionShape shape_of(const Card& c) {
  return {c.ch, c.X(1), c.X(2), c.X(3), c.X(4), c.X(5)};
}

// Works out the residual stresses of section s for the pattern X from its
// fibres and yield stress as they stand, refuses them (the card in `cx`;
// `own_cols`: the fault's fields are this card's X1..X4, else the yield
// stress X6 is named), stores them and lists their sums.
void set_residual(Model& md, Units& units, const CardContext& cx, int s, const SectionRecord& rec,
                  const std::array<double, 4>& X, bool own_cols) {
  const SectionShape shape = shape_of(rec.card);
  const SectionResidual r = residual_table(shape, X, md, s);
  if (const ResidualFault f = residual_fault(shape, md, s, r); !f.what.empty())
    cx.fail(own_cols ? x_first(f.first_field) : x_first(6), own_cols ? x_last(f.last_field) : x_last(6), f.what,
            f.detail);
  if (md.RESID != nullptr) (*md.RESID)[s] = r;
  const ResidualSums t = residual_sums(md, s, r);
  static const Format sums("(1X,'RESIDUAL STRESSES:  SUM A*S0 =',E13.4,' T   SUM A*S0*Z =',E13.4,' T-CM')");
  units.listing().write(sums, {t.force, t.moment});
}

void section_card(Model& md, Units& units, const Card& c, const CardContext& cx, SectionRecords& recs) {
  const int s = c.i1;
  cx.section(md, 1, s);
  // Dimensions no shape has are accepted as they stand; a check reports them.
  if (c.ch == 'C') {
    if (!section_held(md, s))
      deck_warning(units, cx.line, 2, 4,
                   "C card relists section " + str(s) + ", which holds no fibres: its areas are zero");
  } else if (const DimensionFault d = impossible_dimensions(c); !d.what.empty()) {
    deck_warning(units, cx.line, d.col_first, d.col_last,
                 std::string(1, c.ch) + " card: section " + str(s) + ": " + d.what +
                     ", so its fibre areas are zero, negative or not those of a real shape");
  }
  md.SY(s) = c.X(6);
  TextOut& out = units.listing();
  switch (c.ch) {
    case 'T':
    case 'H':
    case 'I':
      build_section_THI(c.ch, s, c.X(1), c.X(2), c.X(3), c.X(4), c.X(5), c.X(7), md.AREA, md.ZF,
                        out);
      break;
    case 'R':  // the wall thickness is read from X3
      build_section_ORC(c.ch, s, c.X(1), c.X(3), c.X(7), md.AREA, md.ZF, out);
      break;
    default:
      build_section_ORC(c.ch, s, c.X(1), c.X(2), c.X(7), md.AREA, md.ZF, out);
      break;
  }

  // A C card keeps the fibres, and with them the residual stresses, under a
  // new yield stress; any other card makes a new section without them.
  SectionRecord& rec = recs[static_cast<std::size_t>(s)];
  if (rec.s_line != 0) {
    if (c.ch == 'C') {
      set_residual(md, units, cx, s, rec, rec.X, false);
    } else {
      if (md.RESID != nullptr) (*md.RESID)[s] = SectionResidual{};
      deck_warning(units, cx.line, 1, 1,
                   std::string(1, c.ch) + " card makes section " + str(s) + " anew: the residual stresses of the S card at line " +
                       str(rec.s_line) + " no longer apply");
      rec.s_line = 0;
    }
  }
  if (c.ch != 'C' || rec.last == 0) {
    rec.card = c;
    rec.line = cx.line;
  }
  rec.last = c.ch;
}

// S: residual stresses of the I or H section I1, given by the last section
// card before it.
void residual_card(Model& md, Units& units, const Card& c, const CardContext& cx, SectionRecords& recs) {
  const int s = c.i1;
  cx.section(md, 1, s);
  SectionRecord& rec = recs[static_cast<std::size_t>(s)];
  const char letter = rec.last;
  if (letter == 0)
    cx.fail(2, 4, "SECTION " + str(s) + " NOT DEFINED BEFORE IT",
            "names section " + str(s) + ", which no section card before it has defined");
  if (letter != 'I' && letter != 'H') {
    const std::string kind = letter == 'C'   ? "last given by a C card"
                             : letter == 'T' ? "a T section"
                             : letter == 'O' ? "a rectangle (O card)"
                                             : "a round section (R card)";
    cx.fail(2, 4,
            "SECTION " + str(s) + " IS NOT AN I OR H SECTION (" + std::string(1, letter) +
                " CARD): NO RESIDUAL STRESSES",
            "names section " + str(s) + ", " + kind +
                ": residual stresses apply to I and H sections only (give the S card after the I or H card)");
  }
  if (rec.s_line != 0)
    cx.fail(2, 4, "SECTION " + str(s) + " HAS RESIDUAL STRESSES ALREADY (S CARD AT LINE " + str(rec.s_line) + ")",
            "gives section " + str(s) + " residual stresses a second time (the first S card is at line " +
                str(rec.s_line) + ")");
  if (const DimensionFault d = impossible_dimensions(rec.card); !d.what.empty())
    cx.fail(2, 4, "SECTION " + str(s) + " HAS DIMENSIONS NO " + std::string(1, letter) + " SECTION HAS",
            "names section " + str(s) + ", whose " + std::string(1, letter) + " card at line " + str(rec.line) +
                " gives dimensions no real section has (" + d.what + "): no residual stresses");
  const std::array<double, 4> X = {c.X(1), c.X(2), c.X(3), c.X(4)};
  set_residual(md, units, cx, s, rec, X, true);
  rec.s_line = cx.line;
  rec.X = X;
}

void watch_card(Model& md, const Card& c, const CardContext& cx) {
  cx.room(md.NW, md.sz.MUMW, "WATCH CARDS", "watch cards", "MUMW");
  for (int k = 1; k <= 7; ++k) {
    const double v = c.X(k);
    if (v < 0.0)
      cx.fail(x_first(k), x_last(k), "WATCH CODE " + message_number(v) + " NEGATIVE",
              "watch code " + message_number(v) + " is negative");
    if (v + 0.5 >= MAXJOINTNO + 1)
      cx.fail(x_first(k), x_last(k), "WATCH CODE " + message_number(v) + " NAMES A JOINT ABOVE 999",
              "watch code " + message_number(v) + " names a joint number above 999");
  }
  const int w = ++md.NW;
  for (int k = 1; k <= 7; ++k)
    if (c.X(k) != 0.0) md.W(w, k) = c.X(k);
}

// The L card. Returns after the limits when a negative count asks to keep
// the numbering listing, the fibre state and the cumulative state as they
// are (a restart); otherwise finishes the model.
void last_card(Model& md, FibreStore& fs, Units& units, const Card& c) {
  if (c.i1 > 0) md.MAXIT = c.i1;
  if (c.i1 < 0) {
    md.MAXIT = -c.i1;
    if (c.i2 > 0) md.MINIT = c.i2;
    if (c.i2 < 0) md.MINIT = -c.i2;
    md.state_kept = true;
    return;
  }
  if (c.i2 > 0) md.MINIT = c.i2;
  if (c.i2 < 0) {
    md.MINIT = -c.i2;
    md.state_kept = true;
    return;
  }
  print_matrix_index(md, units.listing());
  fs.initialise(md.NM, md.SYM, md.EYM);
  md.PLOAD.fill(0.0, 3 * md.NJ);
  md.DISP.fill(0.0, md.NEQ);
  const int n = md.sz.NMP() * md.NM;
  RVec(md.DPRUN.data(), md.DPRUN.size()).fill(0.0, n);
  RVec(md.DPSTEP.data(), md.DPSTEP.size()).fill(0.0, n);
}

// Acts on one structure card; true at the L card, which ends the pass.
bool structure_card(Model& md, FibreStore& fs, Units& units, const Card& c, long line, SectionRecords& recs) {
  const CardContext cx{units, line, c.ch};
  switch (c.ch) {
    case 'J':
      joint_card(md, c, cx);
      break;
    case 'Q':
      link_card(md, c, cx);
      break;
    case 'M':
      member_card(md, c, cx);
      break;
    case 'K':
      spring_card(md, c, cx);
      break;
    case 'P':
      material_card(md, c, cx);
      break;
    case 'T':
    case 'H':
    case 'I':
    case 'O':
    case 'R':
    case 'C':
      section_card(md, units, c, cx, recs);
      break;
    case 'S':
      residual_card(md, units, c, cx, recs);
      break;
    case 'W':
      watch_card(md, c, cx);
      break;
    case 'L':
      last_card(md, fs, units, c);
      return true;
    default:
      break;  // X and any other letter: not a structure card
  }
  return false;
}

}  // namespace

void read_structure(Model& md, FibreStore& fs, Units& units, char comment, long control_line) {
  static const Format echo("(1X,A80)");
  DeckIn& deck = units.deck();
  std::string line;
  SectionRecords recs(static_cast<std::size_t>(std::max(md.sz.MUMS, 0)) + 1);
  for (;;) {
    deck.next_or_fail(line, "structure card");
    const std::string cols = card_columns(line);
    units.listing().write(echo, {cols});
    if (cols[0] == comment) continue;
    if (deck.line_number() == control_line) continue;  // met again after a rewind

    // A deck check reports a card it refuses and goes on with the next.
    try {
      if (structure_card(md, fs, units, decode_deck_card(units, cols, deck.source(), false), deck.line_number(),
                          recs))
        return;
    } catch (const DeckRejected&) {
    }
  }
}

}  // namespace nlf
