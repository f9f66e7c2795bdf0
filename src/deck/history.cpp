#include "deck/history.h"

#include <cmath>
#include <string>

#include "io/format.h"
#include "model/deck_error.h"

namespace nlf {

namespace {

// A B card: the load or prescribed displacement of one joint.
void read_b_card(Model& md, Units& units, const Card& c) {
  const int j = md.jmap(c.i1);
  if (j < 1 || j > md.NJ) {
    deck_error(units, "ERROR IN B CARD AT LINE " + std::to_string(units.deck().line_number()) +
                          ": JOINT " + std::to_string(c.i1) + " NOT DEFINED",
               units.deck().line_number(), 2, 4,
               "B card names joint " + std::to_string(c.i1) + ", which is not defined");
  }
  if (c.i2 < 0) {
    // A negative digit would leave the direction neither loaded, held nor
    // tested for a positive pivot.
    deck_error(units, "ERROR IN B CARD AT LINE " + std::to_string(units.deck().line_number()) +
                          ": TYPE CODE " + std::to_string(c.i2) + " IS NEGATIVE",
               units.deck().line_number(), 5, 7, "B card has the negative type code " + std::to_string(c.i2));
  }
  const int digits[3] = {c.i2 / 100, (c.i2 % 100) / 10, c.i2 % 10};
  for (int d = 1; d <= 3; ++d) {
    const int e = md.pat(j, d);
    md.LTYPE(e) = digits[d - 1];
    if (digits[d - 1] == 0)
      md.PFORCE(e) = c.X(d);
    else
      md.PDISP(e) = c.X(d);
  }
}

// A U card: the load per cm of a member, or of a range of members, added
// to the pattern's member loads.
void read_u_card(Model& md, Units& units, const Card& c) {
  check_member_load_card(units, c, md.NM);
  if (md.MLOADS == nullptr) return;
  const int last = c.i2 == 0 ? c.i1 : c.i2;
  MemberLoadTable& t = *md.MLOADS;
  const MemberLoad q = c.i3 == 0 ? MemberLoad{c.X(1), c.X(2), 0, 0} : MemberLoad{0, 0, c.X(1), c.X(2)};
  for (int m = c.i1; m <= last; ++m) t.pattern[static_cast<std::size_t>(m - 1)].add(q, 1.0);
  t.any = true;
}

// A V card: the buckling analysis of the pattern in force when the reader
// returns. It is no load card: the B cards around it make one pattern.
void read_v_card(Units& units, const Card& c, BucklingRequest& v) {
  const long line = units.deck().line_number();
  const std::string where = "ERROR IN V CARD AT LINE " + std::to_string(line) + ": ";
  if (c.i1 < 0 || c.i1 > kMaxBucklingModes)
    deck_error(units, where + "MODES " + std::to_string(c.i1) + " OUTSIDE 0 TO " + std::to_string(kMaxBucklingModes),
               line, 2, 4,
               "V card asks for " + std::to_string(c.i1) + " modes (I1); it must lie from 0 (4 modes) to " +
                   std::to_string(kMaxBucklingModes));
  if (c.i2 != 0 && c.i2 != 1)
    deck_error(units, where + "I2 = " + std::to_string(c.i2) + " (NEGATIVE FACTORS) IS NEITHER 0 NOR 1", line, 5, 7,
               "V card has I2 = " + std::to_string(c.i2) + "; it must be 0 (positive factors) or 1 (both signs)");
  if (c.i3 != 0 && c.i3 != 1)
    deck_error(units, where + "I3 = " + std::to_string(c.i3) + " (STIFFNESS) IS NEITHER 0 NOR 1", line, 8, 10,
               "V card has I3 = " + std::to_string(c.i3) +
                   "; it must be 0 (elastic stiffness) or 1 (tangent of the current state)");
  v.asked = true;
  v.modes = c.i1 == 0 ? 4 : c.i1;
  v.negative = c.i2 == 1;
  v.tangent = c.i3 == 1;
  v.line = line;
}

void clear_pattern(Model& md) {
  md.LTYPE.fill(0);
  md.PFORCE.fill(0.0);
  md.PDISP.fill(0.0);
  if (md.MLOADS != nullptr)
    for (MemberLoad& q : md.MLOADS->pattern) q = MemberLoad{};
}

}  // namespace

void check_member_load_card(Units& units, const Card& c, int members) {
  if (c.ch != 'U') return;
  const long line = units.deck().line_number();
  const std::string where = "ERROR IN U CARD AT LINE " + std::to_string(line) + ": ";
  if (c.i1 < 1 || c.i1 > members) {
    deck_error(units, where + "MEMBER " + std::to_string(c.i1) + " NOT DEFINED", line, 2, 4,
               "U card names member " + std::to_string(c.i1) + ", which is not defined (the deck has " +
                   std::to_string(members) + (members == 1 ? " member)" : " members)"));
  }
  if (c.i2 != 0 && (c.i2 < c.i1 || c.i2 > members)) {
    deck_error(units, where + "LAST MEMBER " + std::to_string(c.i2) + " OUT OF RANGE", line, 5, 7,
               "U card ends its range of members at " + std::to_string(c.i2) + "; it must lie from member " +
                   std::to_string(c.i1) + " to " + std::to_string(members) + ", or be blank for member " +
                   std::to_string(c.i1) + " alone");
  }
  if (c.i3 != 0 && c.i3 != 1) {
    deck_error(units, where + "AXES CODE " + std::to_string(c.i3) + " IS NEITHER 0 NOR 1", line, 8, 10,
               "U card has the axes code " + std::to_string(c.i3) +
                   "; it must be 0 or blank (global X and Y) or 1 (along and across the member)");
  }
  for (int k = 1; k <= 2; ++k) {
    if (std::isfinite(c.X(k))) continue;
    deck_error(units, where + "X" + std::to_string(k) + " IS NOT A FINITE NUMBER", line, 10 * k + 1, 10 * k + 10,
               "U card has X" + std::to_string(k) + " that is not a finite number");
  }
}

bool reads_path_fields(const Card& c) { return c.ch == 'E' || (c.ch == 'A' && c.X(2) != 0); }

void check_group_card(Units& units, const Card& c) {
  if (!reads_path_fields(c)) return;
  const long line = units.deck().line_number();
  const std::string where = std::string("ERROR IN ") + c.ch + " CARD AT LINE " + std::to_string(line) + ": ";
  const std::string card = std::string(1, c.ch) + " card";
  for (int k = 3; k <= 6; ++k) {
    if (std::isfinite(c.X(k))) continue;
    deck_error(units, where + "X" + std::to_string(k) + " IS NOT A FINITE NUMBER", line, 10 * k + 1,
               10 * k + 10, card + " has X" + std::to_string(k) + " that is not a finite number");
  }
  if (c.X(4) < 0) {
    deck_error(units, where + "X4 = " + message_number(c.X(4)) + " (ITERATIONS A STEP) IS NEGATIVE", line, 41, 50,
               card + " asks for " + message_number(c.X(4)) +
                   " iterations a step (X4) to adapt the arc length; it must not be negative");
  }
  if (c.X(5) < 0 || c.X(5) >= 1) {
    deck_error(units, where + "X5 = " + message_number(c.X(5)) + " (END OF A PUSH-OVER) IS OUTSIDE 0 TO 1", line, 51,
               60, card + " ends the group at " + message_number(c.X(5)) +
                       " of its largest load factor (X5); it must lie from 0 up to, not including, 1");
  }
  if (c.X(6) != 0 && c.X(6) != 1) {
    deck_error(units, where + "X6 = " + message_number(c.X(6)) + " (TANGENT) IS NEITHER 0 NOR 1", line, 61, 70,
               card + " asks for the tangent " + message_number(c.X(6)) +
                   " (X6); it must be 0 or blank (the usual tangent) or 1 (the exact tangent)");
  }
}

bool read_load_group(Model& md, Units& units, char comment, LoadGroup& g) {
  static const Format echo("(1X,A)");
  DeckIn& deck = units.deck();
  TextOut& listing = units.listing();
  bool new_pattern = true;
  g.buckling = BucklingRequest{};
  std::string line;
  for (;;) {
    deck.next_or_fail(line, "the load history (no F card)");
    const std::string cols = card_columns(line);
    listing.write(echo, {cols});
    if (cols[0] == comment) continue;
    const Card c = decode_card(cols, deck.source());
    switch (c.ch) {
      case 'B':
      case 'U':
        if (new_pattern) {
          clear_pattern(md);
          new_pattern = false;
        }
        if (c.ch == 'B')
          read_b_card(md, units, c);
        else
          read_u_card(md, units, c);
        break;
      case 'A':
      case 'E':
        g.TOL = c.X(1);
        g.FACTOR = (c.ch == 'A' && c.X(1) != 0) ? c.X(1) : 1.0;
        g.IMPOSE = c.i1;
        g.NSTEP = c.i2;
        g.every_step_detail = (c.i3 == 0);
        g.NDETAIL = c.i3 == 0 ? 1 : c.i3;
        g.ARCLEN = c.X(2);
        g.follow = false;
        g.ADAPT = g.DROP = 0;
        g.exact = false;
        if (reads_path_fields(c)) {
          g.follow = c.X(3) != 0;
          g.ADAPT = c.X(4);
          g.DROP = c.X(5);
          g.exact = c.X(6) == 1;
        }
        return true;
      case 'V':
        read_v_card(units, c, g.buckling);
        break;
      case 'F':
        return false;
      default:
        new_pattern = true;
        break;
    }
  }
}

}  // namespace nlf
