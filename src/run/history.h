// The load history: B cards fill the load pattern, an A or E card opens a
// load group, the F card finishes the analysis.
#pragma once

#include "io/units.h"
#include "store/model.h"

namespace nlf {

struct LoadGroup {
  double TOL = 0;     // convergence tolerance
  double FACTOR = 1;  // load factor of the group
  int IMPOSE = 0;     // nonzero: impose prescribed displacements in iteration 1
  int NSTEP = 0;      // steps of the group
  int NDETAIL = 1;    // detail interval (0 on the card is taken as 1)
  bool every_step_detail = false;  // the card's interval was 0
  double ARCLEN = 0;  // arc-length increment; 0: load control
  bool arc_length() const { return ARCLEN != 0; }
};

// Reads cards up to the next A, E or F card, echoing every card to the
// listing. Returns false at the F card, else fills the group.
bool read_load_group(Model& md, Units& units, char comment, LoadGroup& group);

}  // namespace nlf
