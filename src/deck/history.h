// The load history: B cards (joint loads and prescribed displacements) and
// U cards (member loads) fill the load pattern, an A or E card opens a load
// group, the F card finishes the analysis. The first B or U card after any
// other card starts a new pattern.
#pragma once

#include "io/card.h"
#include "io/units.h"
#include "store/model.h"

namespace nlf {

// A V card: the critical load factors and buckling modes of the load
// pattern in force when the reader returns (the pattern of the group that
// the next A or E card opens, or at the F card the pattern so far).
struct BucklingRequest {
  bool asked = false;
  int modes = 4;          // I1: the factors wanted of each sign (0: 4)
  bool negative = false;  // I2 = 1: the negative factors too
  bool tangent = false;   // I3 = 1: the tangent of the current state, not the elastic stiffness
  long line = 0;          // the card's line in the deck
};
inline constexpr int kMaxBucklingModes = 50;

struct LoadGroup {
  double TOL = 0;     // convergence tolerance
  double FACTOR = 1;  // load factor of the group
  int IMPOSE = 0;     // nonzero: impose prescribed displacements in iteration 1
  int NSTEP = 0;      // steps of the group
  int NDETAIL = 1;    // detail interval (0 on the card is taken as 1)
  bool every_step_detail = false;  // the card's interval was 0
  double ARCLEN = 0;  // arc-length increment; 0: load control
  bool arc_length() const { return ARCLEN != 0; }
  // Read from an E card, and from an A card that asks for the arc-length
  // path; 0 leaves each off.
  bool follow = false;  // X3 nonzero: negative pivots do not stop the group
  double ADAPT = 0;     // X4: the desired iterations a step; the arc length adapts
  double DROP = 0;      // X5: the group ends below this fraction of its peak
  bool exact = false;   // X6 = 1: the exact tangent (0 or blank: the usual one)
  // A V card read with the group's cards (or before the F card); the
  // reader clears it at every call.
  BucklingRequest buckling;
};

// The adapted arc length keeps within these multiples of the card's X2.
inline constexpr double kArcLengthMin = 0.01;
inline constexpr double kArcLengthMax = 10.0;

// Whether a card of the load history reads the path-following fields.
bool reads_path_fields(const Card& c);

// Refuses (deck error, status 1) the path-following fields of an A or E
// card that the group could not use: a negative X4, an X5 outside [0, 1), an
// X6 other than 0 or 1, a value that is not finite. Called by the passes over the whole deck, so
// that a bad card stops the run before its first step.
void check_group_card(Units& units, const Card& c);

// Refuses (deck error, status 1) a U card (a member load of the pattern)
// that names a member the deck does not have (of `members`), a range that
// runs backwards or past the last member, an axes code other than 0 and 1,
// or a load that is not finite. Called by the counting pass and by the
// load-history reader.
void check_member_load_card(Units& units, const Card& c, int members);

// Reads cards up to the next A, E or F card, echoing every card to the
// listing. Returns false at the F card, else fills the group.
bool read_load_group(Model& md, Units& units, char comment, LoadGroup& group);

}  // namespace nlf
