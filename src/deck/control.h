// The control card at the head of the deck and the counting pass that sizes
// the workspace from the rest of the deck.
#pragma once

#include <string>

#include "io/units.h"
#include "store/model.h"

namespace nlf {

struct RunControl {
  int IRESIN = 0;   // restart-input unit; 0: fresh start
  int IRESOUT = 0;  // restart-output unit; < 1: no restart file
  int NPRINT = 1;   // output interval in converged steps
  double RCTL = 0;
  std::string TITLE = std::string(132, ' ');
  long control_line = 1;  // deck line of the control card
};

// Reads cards until the first that is not a comment, decodes it as the
// control card and echoes it to the listing.
RunControl read_control_card(Units& units);

// The counting pass from the card after the control card to the end of the
// deck: the eight sizes and the number of load columns. Writes the history
// file headers of the W cards. At the end the deck is rewound and its first
// line skipped. Stops the run beyond `joints` joints (the capacity's: 333
// in the fixed stores, 999 when they follow the model), with its line on
// standard error.
Sizes counting_pass(Units& units, char comment, int joints = kFixedJoints);

// The load-column count of the deck's load history alone: 2 when an E or A
// card asks for arc-length control. Reads from the current position to the
// end of the deck, then goes back to the card after the control card (line
// `control_line`). Used on a restart, where the sizes come from the restart
// file.
int scan_load_columns(Units& units, char comment, long control_line);

// The eight sizes from the first record of the restart file on unit
// IRESIN. A record that cannot hold the sizes of this program (more than
// 999 joints among them) is a FileError; more joints than `joints` (a file
// that a run with stores following the model saved) stops the run with its
// line on standard error.
Sizes read_restart_sizes(Units& units, const RunControl& ctl, int joints = kFixedJoints);

// True when a restart unit is one the program uses itself: the console (5,
// 6), the scratch files (1, 2, 10-13), the deck, listing and result files
// (15-21) or a history file (61 and up). `nhist` is the number of history
// files, or -1 while it is not known.
bool restart_unit_in_use(int unit, int nhist);

// The seven 14-character history labels of a W card's codes.
std::string history_labels(const Card& c);

}  // namespace nlf
