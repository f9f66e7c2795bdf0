// What the listing (R.rst) of a run tells about its load steps: how many
// iterations each took and whether it met the tolerance of its load group,
// whether it was completed at all, the load-factor increment of every step,
// and the load groups with the freedoms whose displacements they prescribe
// and why each of them ended.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "results/text.h"

namespace nlf::results {

struct StepIterations {
  int step = 0;
  int iterations = 0;  // solutions made in the step
  double ratio = 0;    // the last ratio of squared displacement norms
  double tolerance = 0;
  bool converged = true;
  double dlambda = 0;  // the step's load-factor increment: the sum of its DRAMDI
  // The iterations stopped at a convergence test, so the step was completed
  // (committed). False only for the last step of a run that stopped, or is
  // still running, in the middle of it.
  bool done = true;
};

// A freedom of a joint held at a nonzero value by the pattern of a group:
// a prescribed displacement.
struct PrescribedFreedom {
  int joint = 0;  // user number
  int dir = 0;    // 1 X, 2 Y, 3 rotation
};

// Why a load group ended, from the lines the run writes after its last
// step ("END OF THE GROUP: ...", the stops) and the card that follows.
struct GroupEnd {
  enum class Kind {
    kSteps,        // its steps done; the next card followed (another group, or the F card)
    kDrop,         // the load factor fell below X5 times its largest value: the end of a push-over
    kStrainLimit,  // a fibre strain passed the strain limit of the P card
    kFloor,        // a step failed even with the arc length at its floor
    kStopped,      // the run stopped in or after a step of the group, or is still running
  };
  Kind kind = Kind::kStopped;
  int step = 0;      // the last step done (kStopped: the step the run stopped in, 0 if none)
  double value = 0;  // kDrop: the load factor; kStrainLimit: the strain; kFloor: the arc length
  double limit = 0;  // kDrop: the share X5; kStrainLimit: the limit
  double peak = 0;   // kDrop: the largest load factor,
  int peak_step = 0; //   at this step
  int member = 0, station = 0;  // kStrainLimit
  std::string cause;  // kFloor, kStopped: the listing's words, lower case ("diverged"), "" if none
};

// A load group as the listing echoes it: its card, then its steps.
struct ListedGroup {
  char card = 'E';
  bool arc_length = false;  // X2 nonzero
  int first_step = 0;       // 0: no step followed the card
  int steps = 0;
  std::vector<PrescribedFreedom> prescribed;
  int planned = 1;          // NSTEP of the card (0 reads as 1)
  GroupEnd end;
};

struct ListingSummary {
  std::vector<StepIterations> steps;  // a step cut back and tried again: its last attempt
  std::vector<ListedGroup> groups;    // their steps count the one not done
  int max_iterations = 0, min_iterations = 0;  // MAXIT, MINIT of the L card (0: not given there)
  bool finished = false;  // the F card was echoed: the load history was read to its end
  long iterations() const;
  // The steps that stopped at the iteration limit without meeting the
  // tolerance.
  std::vector<int> not_converged() const;
  // The number of steps done.
  int completed() const;
  // The step the run stopped in (0: none).
  int stopped_in() const;
  // The step of number `step` (nullptr: not in the listing).
  const StepIterations* step(int number) const;
};

// Reads the step headings, the iteration lines and the echoed A, E, B and L
// cards (the tolerance and the pattern of each load group, the iteration
// limits). A B card after any other card than a B card starts a new
// pattern, as the run reads them; a group without B cards keeps the
// pattern before it. A step tried again after a cut-back (a line " CUT
// BACK:" ends the failed attempt, the step's heading follows again) counts
// once, with its last attempt; so does a step whose heading is repeated.
// The last step is done when its last iteration line ends the iterations
// (past MINIT, and at MAXIT or below the tolerance) or a card of the load
// history follows it. A group ends where the run says so ("END OF THE
// GROUP: ..."; a step that failed with the arc length at its floor is not
// taken, like a cut-back), else with its steps done when a card follows
// them, else where the run stopped ("ERROR ..." or a pivot that is not
// positive, or the listing just ends). Throws ResultError for a missing
// file.
ListingSummary read_listing(const std::filesystem::path& p);
ListingSummary parse_listing(const std::string& name, const std::vector<std::string>& lines);

// "5, 7-9, 54-200": step numbers as ranges of consecutive steps.
std::string step_ranges(const std::vector<int>& steps);

}  // namespace nlf::results
