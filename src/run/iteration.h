// The stages of one equilibrium iteration of a load step, in the order the
// driver runs them:
//
//   member pass                      (member/member_pass.h): members,
//                                    springs and penalties into the band
//                                    matrix (the general band with the
//                                    exact tangent), part of its elimination
//   unbalanced forces                applied load, springs, reference load,
//                                    resisting forces
//   convergence test                 from the second iteration on
//   solve                            the rest of the elimination, prescribed
//                                    displacements, band solution
//   iteration increment              load control, or arc-length control
//   member recovery                  (member/member_pass.h)
//   springs and totals               spring forces, displacements, node points
//
// Every stage is a straight pass over workspace arrays; nothing allocates.
#pragma once

#include "io/units.h"
#include "deck/history.h"
#include "solver/global_matrix.h"
#include "store/model.h"

namespace nlf {

// The figures of the step under way.
struct StepState {
  int ITER = 0;           // iterations done in the step
  double DLAM = 0;        // load-factor increment of the last solved iteration
  double DLAM1 = 0;       // load-factor increment of the first iteration
  double DLSTEP = 0;      // load-factor increments of the step so far
  double dl_applied = 0;  // the part of DLSTEP already in the unbalanced forces
  int ktan = 0;           // imposed-displacement switch of the iteration
  double ratio = 0;       // last convergence ratio
  double a = 0, b = 0;    // its squared norms: of the iteration's and of the step's increment
  bool converged = true;
  double arclen = 0;      // arc length of the step (arc-length control)
  // Path following: the first iteration takes the sign of the dot product
  // of the previous step's displacement increment, held in DFIRST until the
  // first solve, with the new reference displacement.
  bool orient = false;
};

// Unbalanced forces. The first stage clears them and the load columns and
// sets them to the total applied load plus the step's load-factor increments
// so far; the next three add in order.
void set_applied_load(Model& md, const LoadGroup& g, double dl_applied);
// Spring forces come off the unbalanced forces (the member pass has put the
// spring stiffnesses on the diagonal of the band matrix).
void add_springs(Model& md);
// Before the member pass: the multiples of the member loads' pattern that
// the pass puts on the members (store/member_loads.h), from the group and
// the step's load-factor increments so far.
void set_member_load_factors(Model& md, const LoadGroup& g, const StepState& s);
// Arc-length control: FACTOR x pattern into the first load column, the
// member loads of the pattern as the pass condensed them included.
void add_reference_load(Model& md, const LoadGroup& g);
// The resisting forces come off; the unbalanced forces go into the load
// column `col` at the equation of every joint freedom.
void add_resisting_forces(Model& md, int col);

// From the second iteration on (and never in an imposing iteration): the
// ratio of the squared norms of the iteration and the step increments, its
// line in the listing, and the decision to stop iterating. Returns true when
// the step's iterations stop; s.converged then tells whether the tolerance
// was reached.
bool convergence_test(const Model& md, const LoadGroup& g, StepState& s, TextOut& listing);

// Prescribed displacements and the solution of every load column, with the
// determinant line in the listing, on the global matrix K as the member
// pass leaves it (springs and penalties on, pivot rows 1..`taken` reduced).
// `pivots` selects and receives the count of negative pivots
// (solver/global_matrix.h).
void solve(Model& md, const LoadGroup& g, const StepState& s, GlobalMatrix& K, int taken, double& DETLOG,
           TextOut& listing, PivotCount& pivots);

// The iteration increment DITER: the solution itself under load control.
void load_control_increment(Model& md);
// Under arc-length control: the first iteration goes along the reference
// displacement for the arc length s.arclen (forward, or in the direction
// of the previous step when s.orient is set); later ones correct load and
// displacements normal to the first.
void arc_length_increment(Model& md, StepState& s);

// Spring forces from the iteration increment, one listing line per spring.
void update_springs(Model& md, TextOut& listing);
// Total and step displacements, and the node-point increments of the run
// and of the step.
void update_totals(Model& md);

}  // namespace nlf
