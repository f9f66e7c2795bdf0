#include "run/history.h"

#include <string>

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

void clear_pattern(Model& md) {
  md.LTYPE.fill(0);
  md.PFORCE.fill(0.0);
  md.PDISP.fill(0.0);
}

}  // namespace

bool read_load_group(Model& md, Units& units, char comment, LoadGroup& g) {
  static const Format echo("(1X,A)");
  DeckIn& deck = units.deck();
  TextOut& listing = units.listing();
  bool new_pattern = true;
  std::string line;
  for (;;) {
    deck.next_or_fail(line, "the load history (no F card)");
    const std::string cols = card_columns(line);
    listing.write(echo, {cols});
    if (cols[0] == comment) continue;
    const Card c = decode_card(cols, deck.source());
    switch (c.ch) {
      case 'B':
        if (new_pattern) {
          clear_pattern(md);
          new_pattern = false;
        }
        read_b_card(md, units, c);
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
        return true;
      case 'F':
        return false;
      default:
        new_pattern = true;
        break;
    }
  }
}

}  // namespace nlf
