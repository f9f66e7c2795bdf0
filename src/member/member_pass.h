// Member state determination: the pass that turns the fibre state and the
// current geometry into the global band matrix and resisting forces, and the
// recovery that turns a solution back into node-point and fibre strain
// increments.
#pragma once

#include <cstddef>
#include <vector>

#include "member/member_build.h"
#include "member/member_team.h"
#include "solver/global_matrix.h"
#include "io/units.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

// What the member pass keeps of its own from one pass to the next: each
// member's condensed matrix, end forces and singular flag while it waits
// for its turn to be added, and the integers of the rows' bookkeeping. Made
// once for a model (its members, equations and springs) and handed to
// every pass on it.
class MemberPassBuffers {
 public:
  explicit MemberPassBuffers(const Model& md);

  // Whether the buffers were made for a model of this size.
  bool hold(const Model& md) const;

  double* KM(int m) { return &km_[static_cast<std::size_t>(m - 1) * 36]; }
  double* FM(int m) { return &fm_[static_cast<std::size_t>(m - 1) * 6]; }
  unsigned char& singular(int m) { return singular_[static_cast<std::size_t>(m - 1)]; }
  // The rows' bookkeeping: at least one integer, also for a model without
  // equations.
  int* rows() { return rows_.data(); }

 private:
  std::vector<double> km_, fm_;
  std::vector<unsigned char> singular_;
  std::vector<int> rows_;
};

// The member pass (MEMBERPASS of the card-era program) of one equilibrium
// iteration: clears the global matrix K and all 3 NJ resisting forces,
// builds every member and adds it into them, and puts the joint springs and
// the penalties of the prescribed directions on the diagonal of K. The form
// of K decides the build: the symmetric band takes the members as
// build_member gives them; the general band their exact tangent
// (member/exact_tangent.h), on as many threads. With several threads
// sharing the members out the calling thread also takes pivot rows of
// either form as soon as every row they reach is complete, unless the
// caller knows that no solve follows (`solved` false: the step's last
// pass). Returns the number n of pivot rows taken, for K.solve.
// singular_any tells whether any member's inner system was singular; each
// such member is named in a warning on the run's standard error (`out`).
// The buffers must have been made for this model (std::logic_error if not).
int member_pass(Model& md, FibreStore& fs, Stiffness stiffness, bool& singular_any, MemberTeam& team,
                MemberPassBuffers& buffers, GlobalMatrix& K, RunOutput* out = nullptr, bool solved = true);
// The same on the model's own symmetric band md.A().
int member_pass(Model& md, FibreStore& fs, Stiffness stiffness, bool& singular_any, MemberTeam& team,
                MemberPassBuffers& buffers, RunOutput* out = nullptr);

// Recovery after every solve, for every member: node-point increments from
// DITER into DPT, fibre strain increments added to DEPS, node points moved
// (and put back on the chord when MGEO is set).
void update_members(Model& md, FibreStore& fs, MemberTeam& team);

// The state commit of a converged step: the fibre law in commit mode, with
// the tangent stiffness (a step ends only after an iteration without the
// imposed displacements), for every fibre of every member.
void commit_fibres(Model& md, FibreStore& fs, MemberTeam& team);

}  // namespace nlf
