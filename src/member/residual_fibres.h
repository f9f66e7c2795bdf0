// The fibre law on a section with residual stresses. Every strip keeps its
// state in sub-fibres (a bundle across the flange width for a flange strip
// of an I section, one sub-fibre for any other strip; storage/fibre_store.h):
// each sub-fibre goes through the law with the strip's strain plus its own
// initial stress over E, and the strip takes the area-weighted mean of their
// stresses and tangents. The members of such sections take these loops in
// place of the lane form; every other member is untouched.
#pragma once

#include "member/fibre_law.h"
#include "storage/fibre_store.h"

namespace nlf {

// Trial: the stress of every strip (all NFM of the member) into f.SIGT and
// its tangent modulus into et[0..NFM).
void residual_trial(const FibreMaterial& mat, const SectionResidual& r, const MemberFibres& f, Stiffness stiffness,
                    double* et);

// Commit of a converged step: every sub-fibre's new state; the strip's mean
// stress into SIG, its strain EPS + DEPS, and as bounds for its state symbol
// those of the sub-fibres that hold at least half its area (at or beyond
// their upper bound: '+'; their lower: '-'; else '.').
void residual_commit(const FibreMaterial& mat, const SectionResidual& r, const MemberFibres& f);

// The exact tangent: for every strip, the branch slope minus the tangent
// the trial gave, area-weighted over its sub-fibres, into d[0..NFM).
void residual_branch_corrections(const FibreMaterial& mat, const SectionResidual& r, const MemberFibres& f,
                                 Stiffness stiffness, double* d);

}  // namespace nlf
