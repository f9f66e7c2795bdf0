// A load group followed along its equilibrium path: its load factor, its
// peak, the arc length of its next step and the end of a push-over.
#pragma once

#include "io/units.h"
#include "deck/history.h"

namespace nlf {

// The load factor of a group is the sum of its steps' load-factor
// increments: the multiple of FACTOR x pattern that the group has added (one
// a step under load control).
struct GroupPath {
  int steps = 0;           // steps of the group done
  double load_factor = 0;  // after the last step
  double peak = 0;         // largest load factor so far
  int peak_step = 0;       // step number (of the run) of the peak
  double arclen = 0;       // arc length of the last step
  int iterations = 0;      // iterations of the last step

  // The arc length of the group's next step: X2 for the first step, and
  // for every later one X2 as well unless X4 asks for adaptation; then the
  // last step's length times sqrt(X4 / its iterations), kept between
  // kArcLengthMin and kArcLengthMax times |X2|.
  double next_arc_length(const LoadGroup& g) const;

  // Books a finished step. Returns true when the group ends here because
  // the step converged with a load factor below X5 times the peak; the
  // listing then says so.
  bool step_done(const LoadGroup& g, int ISTEP, double dl, double step_arclen, int step_iterations,
                 bool converged, TextOut& listing);
};

}  // namespace nlf
