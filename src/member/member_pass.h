// Member state determination: the pass that turns the fibre state and the
// current geometry into the global band matrix and resisting forces, and the
// recovery that turns a solution back into node-point and fibre strain
// increments.
#pragma once

#include <array>
#include <cstddef>

#include "member/condense.h"
#include "member/member_team.h"
#include "member/segment.h"
#include "io/units.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

// The ten station values of one member from its fibres: the trial law runs
// for every fibre (writing f.SIGT), then the stresses and tangent moduli are
// summed per station in fibre order.
void station_sums(const Model& md, int m, const MemberFibres& f, int KTAN,
                  std::array<StationValues, NSTA>& st);

// The condensed member from its station values, current node points, springs
// and load. Returns false when the inner system was singular (the results
// are then those of the partly inverted matrix). c1, s1 and c5, s5 are the
// direction cosines of the two end segments.
struct MemberResult {
  Condensed cond;
  double c1 = 1, s1 = 0, c5 = 1, s5 = 0;
  std::array<double, 6> endf{};  // NI, QI, MI, NJ, QJ, MJ
};
bool condense_member(const Model& md, int m, const std::array<StationValues, NSTA>& st,
                     MemberResult& out);

// End forces (NI, QI, MI, NJ, QJ, MJ) from the condensed forces FM, resolved
// on the end segments; tension positive.
std::array<double, 6> member_end_forces(const Vec6& FM, double c1, double s1, double c5,
                                        double s5);

// Everything the pass does for one member except the assembly: station
// sums, condensation, and the member's recovery data (RCM, RCV) and end
// forces (MEMF) written into the model.
bool build_member(Model& md, int m, const MemberFibres& f, int KTAN, MemberResult& out);

// The member pass of one equilibrium iteration: clears the band matrix A
// and all 3 NJ resisting forces, builds every member and adds it into them,
// and puts the joint springs and the penalties of the prescribed directions
// on the diagonal of A. With several threads sharing the members out (the
// fibre state in memory) the calling thread also takes pivot rows of A as
// soon as every row they reach is complete. Returns the number n of pivot
// rows taken: BANDREDUCE of rows n+1 .. NEQ-1 then leaves A ready for
// BANDSOLVE with `reduced` set. singular_any tells whether any member's
// inner system was singular; each such member is named in a warning on the
// run's standard error (`out`). The team must have been made with
// member_pass_workspace integers set aside for this model.
// With `exact` the same pass forms the exact tangent of every member
// (member/exact_tangent.h), on as many threads, into that general band
// instead of A, springs and penalties on its diagonal, and takes no pivot
// row (returns 0).
struct GeneralBand;
int MEMBERPASS(Model& md, FibreStore& fs, int KTAN, bool& singular_any, MemberTeam& team,
               RunOutput* out = nullptr, GeneralBand* exact = nullptr);

// The integers a team's workspace needs for MEMBERPASS.
std::size_t member_pass_workspace(const Model& md);

// The 18 node-point increments of member m (points 1..6, each X, Y, R) from
// the solution by equation: the end points take their joints' values, the
// inner points dI = RCV + RCM dE.
void POINTRECOVER(int m, const IMat& IJ, const RVec& sol, const IVec& IEQ, const RVec& RCM,
                  const RVec& RCV, double* dp);

// Fibre strain increments at both ends of the segment (x1, y1) -> (x2, y2)
// from its six displacement increments in segment order (X1, X2, Y1, Y2, R1,
// R2); z holds the nf fibre coordinates. de1 and de2 receive nf values each.
void SEGSTRAIN(double x1, double x2, double y1, double y2, const Vec6& d, const double* z,
               int nf, double* de1, double* de2);

// Recovery after every solve, for every member: node-point increments from
// DITER into DPT, fibre strain increments added to DEPS, node points moved
// (and put back on the chord when MGEO is set).
void update_members(Model& md, FibreStore& fs, MemberTeam& team);

// The state commit of a converged step: the fibre law in commit mode for
// every fibre of every member.
void commit_fibres(Model& md, FibreStore& fs, int KTAN, MemberTeam& team);

}  // namespace nlf
