// The structure pass: reads the structure cards from the deck's current
// position up to and including the L card and builds the model (joints,
// links, members with their node points, sections, material constants,
// joint springs, watch codes, iteration limits), echoing every card to the
// listing. At the L card it lists the equation numbering, sets the initial
// fibre state and clears the cumulative state, unless the card's negative
// counts ask to keep them.
#pragma once

#include "store/model.h"

namespace nlf {

class FibreStore;
class Units;

// `comment`: the comment character of column 1. `control_line`: the deck
// line of the control card; when the pass meets that line again (the deck
// was rewound past leading comments) the card is echoed and passed over.
// A card the model cannot accept ends the run (deck_error, Stop).
// `continuing`: the model was restored from a restart file, whose residual
// stresses a deck that keeps the saved state cannot change (its S cards are
// refused).
void read_structure(Model& md, FibreStore& fs, Units& units, char comment, long control_line,
                    bool continuing = false);

}  // namespace nlf
