// The section cards of the structure input (T, H, I, O, R, C) and the S
// card that gives an I or H section its residual stresses.
#pragma once

#include <array>
#include <vector>

#include "io/card.h"
#include "model/card_context.h"

namespace nlf::structure_input {

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

// A section card: the fibres of section I1 and its yield stress; a C card
// keeps the residual stresses of its section, any other card drops them.
void section_card(Model& md, Units& units, const Card& c, const CardContext& cx, SectionRecords& recs);

// S: residual stresses of the I or H section I1, given by the last section
// card before it.
void residual_card(Model& md, Units& units, const Card& c, const CardContext& cx, SectionRecords& recs);

}  // namespace nlf::structure_input
