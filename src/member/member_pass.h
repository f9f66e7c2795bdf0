// Member state determination: the pass that turns the fibre state and the
// current geometry into the global band matrix and resisting forces, and the
// recovery that turns a solution back into node-point and fibre strain
// increments.
#pragma once

#include <cstddef>

#include "member/member_build.h"
#include "member/member_team.h"
#include "solver/global_matrix.h"
#include "io/units.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

// The member pass (MEMBERPASS of the card-era program) of one equilibrium
// iteration: clears the global matrix K and all 3 NJ resisting forces,
// builds every member and adds it into them, and puts the joint springs and
// the penalties of the prescribed directions on the diagonal of K. The form
// of K decides the build: the symmetric band takes the members as
// build_member gives them; the general band their exact tangent
// (member/exact_tangent.h), on as many threads. With several threads
// sharing the members out (the fibre state in memory) the calling thread
// also takes pivot rows of a symmetric band as soon as every row they reach
// is complete. Returns the number n of pivot rows taken, for K.solve.
// singular_any tells whether any member's inner system was singular; each
// such member is named in a warning on the run's standard error (`out`).
// The team must have been made with member_pass_workspace integers set
// aside for this model.
int member_pass(Model& md, FibreStore& fs, Stiffness stiffness, bool& singular_any, MemberTeam& team,
                GlobalMatrix& K, RunOutput* out = nullptr);
// The same on the model's own symmetric band md.A().
int member_pass(Model& md, FibreStore& fs, Stiffness stiffness, bool& singular_any, MemberTeam& team,
                RunOutput* out = nullptr);

// The integers a team's workspace needs for member_pass.
std::size_t member_pass_workspace(const Model& md);

// Recovery after every solve, for every member: node-point increments from
// DITER into DPT, fibre strain increments added to DEPS, node points moved
// (and put back on the chord when MGEO is set).
void update_members(Model& md, FibreStore& fs, MemberTeam& team);

// The state commit of a converged step: the fibre law in commit mode, with
// the tangent stiffness (a step ends only after an iteration without the
// imposed displacements), for every fibre of every member.
void commit_fibres(Model& md, FibreStore& fs, MemberTeam& team);

}  // namespace nlf
