// A load group followed along its equilibrium path: its load factor, its
// peak, the arc length of its next step, the end of a push-over, and the
// largest resisting force of a group that prescribes displacements.
#pragma once

#include <array>
#include <vector>

#include "io/units.h"
#include "deck/history.h"
#include "run/report.h"
#include "store/model.h"

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
  bool peak_converged = true;  // the peak's step converged
  double peak_strain = 0;      // the largest fibre strain at the peak's step
  // Steps of the group that stopped at MAXIT, with their load factors (for
  // the warning about a peak region that did not converge).
  struct Loose {
    int step = 0;
    double load_factor = 0;
  };
  std::vector<Loose> loose;
  // Steps that changed some fibre's strain by more than the strain bound.
  int long_first = 0, long_last = 0, long_count = 0;
  double long_change = 0;

  // The arc length of the group's next step: X2 for the first step, and
  // for every later one X2 as well unless X4 asks for adaptation; then the
  // last step's length times sqrt(X4 / its iterations), kept between
  // kArcLengthMin and kArcLengthMax times |X2|.
  double next_arc_length(const LoadGroup& g) const;

  // Books a finished step. Returns true when the group ends here because
  // the step converged with a load factor below X5 times the peak; the
  // listing then says so.
  // `strain` is the largest fibre strain after the step, `change` the
  // largest strain change of the step in yield strains.
  bool step_done(const LoadGroup& g, int ISTEP, double dl, double step_arclen, int step_iterations,
                 bool converged, double strain, double change, TextOut& listing);

  // A group that prescribes displacements, per direction: the resisting
  // force summed over the joints whose displacement it prescribes (a held
  // freedom with a nonzero value), and the largest of it in size so far.
  struct Push {
    bool prescribed = false;
    int joint = 0;      // the first prescribed joint (internal index)
    int joint_no = 0;   // its user number
    double peak = 0;
    int peak_step = 0;
    double displacement = 0;  // of that joint at the peak
    double last = 0;          // the force after the last step
    bool converged = true;    // the peak's step converged
    double strain = 0;        // the largest fibre strain at the peak's step
  };
  std::array<Push, 3> push{};
  bool arc = false;       // the group runs under arc-length control
  bool adaptive = false;  // ... with an adaptive arc length (X4)

  // At the start of the group: the prescribed freedoms of its pattern.
  void find_prescribed(const Model& md);
  // After a step: the resisting forces at the prescribed freedoms.
  void forces_done(const Model& md, int ISTEP, bool converged, double strain);
  // At the end of the group: its peaks into the summary (the pushed
  // directions, else the load factor), and the warnings about their
  // accuracy. `strain_limit` is the P card's (0: none).
  void report(int group, double strain_limit, RunSummary& summary) const;

 private:
  // The accuracy warnings of the group's peaks into the summary.
  void warn(int group, double strain_limit, double top_strain, bool pushed, RunSummary& summary) const;
};

}  // namespace nlf
