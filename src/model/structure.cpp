#include "model/structure.h"

#include "model/value_rules.h"

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
#include "model/card_context.h"
#include "model/section_cards.h"
#include "model/section_figures.h"
#include "model/sections.h"
#include "storage/fibre_store.h"

namespace nlf {

namespace {

using namespace structure_input;

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
  if (const ValueFault f = material_fault(c.X(1), c.X(2), c.X(3)))
    cx.fail(x_first(f.field), x_last(f.field), f.listing, f.detail);
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

// A continuing run that keeps its saved state (a negative count on the L
// card) keeps the residual stresses of its restart file with the saved
// sub-fibres: an S card of its deck would be listed and change nothing.
void refuse_kept_residuals(Units& units, const SectionRecords& recs) {
  for (std::size_t s = 1; s < recs.size(); ++s) {
    if (recs[s].s_line == 0) continue;
    const CardContext cx{units, recs[s].s_line, 'S'};
    cx.fail(1, 1, "A CONTINUING RUN THAT KEEPS ITS STATE CANNOT CHANGE RESIDUAL STRESSES",
            "gives section " + std::to_string(s) +
                " residual stresses, but a continuing run that keeps its saved state (a negative count on the L "
                "card) keeps the fibres of its restart file: the card would change nothing");
  }
}

}  // namespace

void read_structure(Model& md, FibreStore& fs, Units& units, char comment, long control_line, bool continuing) {
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
                          recs)) {
        try {
          if (continuing && md.state_kept) refuse_kept_residuals(units, recs);
        } catch (const DeckRejected&) {
        }
        return;
      }
    } catch (const DeckRejected&) {
    }
  }
}

}  // namespace nlf
