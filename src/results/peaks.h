// The peak of every load group of a finished run, from its files: the
// listing gives the groups, their steps, load-factor increments and
// prescribed freedoms; the joint tables give the resisting forces and the
// displacements of the output steps.
#pragma once

#include <vector>

#include "results/listing.h"
#include "results/tables.h"

namespace nlf::results {

// As the run's summary line names it: for a group under load or
// arc-length control its largest load factor; for a group that prescribes
// displacements, for every direction it pushes, the largest (in size)
// resisting force at the prescribed freedoms summed over the joints, with
// the total displacement of the first of those joints there.
struct GroupPeak {
  enum class Kind { kLoadFactor, kForce };
  Kind kind = Kind::kLoadFactor;
  int group = 0;            // from 1, in the order of the listing
  double value = 0;         // load factor, or force (t; t-cm for a rotation)
  int step = 0;
  int direction = 0;        // kForce: 1 X, 2 Y, 3 rotation
  int joint = 0;            // kForce: the first prescribed joint
  double displacement = 0;  // kForce: its total displacement (mm; 1/100 rad)
  // How far the value can be trusted.
  bool passed = true;     // false: no later step of the group is below it (in size), so it is the
                          // largest value reached while still rising, not a peak the path went over
  bool converged = true;  // false: reached in a step that stopped at its iteration limit
  // kLoadFactor of a load-controlled group whose cards each hold 1/total_steps
  // of its total load (as its deck's note says; 0: not known so): the value
  // counts steps, value / total_steps is the share of the total.
  int total_steps = 0;
};

// Load factors come from the steps done (a step the run stopped in has
// none); force peaks from the output steps that the tables hold, so a group
// without an output step has no force peak, and one whose last output step
// holds its largest force has not passed it, whatever the steps after.
std::vector<GroupPeak> group_peaks(const ListingSummary& listing, const std::vector<TableBlock>& joint_forces,
                                   const std::vector<TableBlock>& joint_displacements);

}  // namespace nlf::results
