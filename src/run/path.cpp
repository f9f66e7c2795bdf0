#include "run/path.h"

#include <algorithm>
#include <cmath>

namespace nlf {

double GroupPath::next_arc_length(const LoadGroup& g) const {
  if (steps == 0 || !(g.ADAPT > 0)) return g.ARCLEN;
  const double x2 = std::fabs(g.ARCLEN);
  const double scaled = std::fabs(arclen) * std::sqrt(g.ADAPT / std::max(iterations, 1));
  return std::clamp(scaled, kArcLengthMin * x2, kArcLengthMax * x2);
}

bool GroupPath::step_done(const LoadGroup& g, int ISTEP, double dl, double step_arclen,
                          int step_iterations, bool converged, TextOut& listing) {
  ++steps;
  load_factor += dl;
  arclen = step_arclen;
  iterations = step_iterations;
  if (steps == 1 || load_factor > peak) {
    peak = load_factor;
    peak_step = ISTEP;
  }
  if (!(g.DROP > 0) || !converged || !(peak > 0) || !(load_factor < g.DROP * peak)) return false;
  static const Format end_line(
      "(/,1X,'END OF THE GROUP: LOAD FACTOR',1P,E12.4,' IS BELOW',0P,F6.3,' OF THE LARGEST',1P,E12.4,"
      "' AT STEP',I5)");
  listing.write(end_line, {load_factor, g.DROP, peak, peak_step});
  return true;
}

}  // namespace nlf
