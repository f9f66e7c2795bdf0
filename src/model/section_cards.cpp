#include "model/section_cards.h"

#include <string>

#include "io/format.h"
#include "model/residual.h"
#include "model/section_figures.h"
#include "model/sections.h"

namespace nlf::structure_input {

namespace {


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

}  // namespace

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
  // Residual stresses that a restart file brought (no S card of this deck
  // gave them): the members keep them with their saved sub-fibres, so a C
  // card must leave them below its yield stress, and no card can make the
  // section anew.
  if (const SectionResidual* saved = rec.s_line == 0 ? md.residual(s) : nullptr) {
    if (c.ch != 'C')
      cx.fail(1, 1, "SECTION " + str(s) + " HAS THE RESIDUAL STRESSES OF THE RESTART FILE: IT CANNOT BE MADE ANEW",
              "makes section " + str(s) + " anew, but its members keep the fibres and residual stresses of the " +
                  "restart file (a continuing run may shift or relist it with a C card only)");
    if (const ResidualFault f = residual_fault(SectionShape{'C', 0, 0, 0, 0, 0}, md, s, *saved); !f.what.empty())
      cx.fail(x_first(6), x_last(6), f.what, f.detail + " (the residual stresses of the restart file)");
  }
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

}  // namespace nlf::structure_input
