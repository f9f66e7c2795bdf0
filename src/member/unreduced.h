// The members without their condensation, for the buckling analysis: every
// node point keeps its three freedoms, so that a member buckles between its
// joints with the five cubic segments and not with a cubic of its ends.
//
// Freedoms of member m: node point p (1..6), direction d (1 X, 2 Y, 3
// rotation) at 3(p-1)+d; points 1 and 6 are its end joints.
#pragma once

#include <array>

#include "member/segment.h"
#include "store/model.h"
#include "store/sizes.h"

namespace nlf {

// The station values of member m's elastic section: no force, and the
// sums E A, E A z and E A z^2 over the section's fibres.
StationValues elastic_station(const ModelInput& md, int m);

// The axial force and moment at the two stations of segment k of member m,
// from the displacements `u` of the member's 18 freedoms and the segment's
// station stiffness sums: N = SEA u' - SES w'' and M = SEI w'' - SES u' at
// either end (fibre strain u' - z w'').
struct SectionForces {
  double N[2], M[2];
};
SectionForces segment_section_forces(const Model& md, int m, int k, const double* u, const StationValues& s1,
                                     const StationValues& s2);

// Segment k's 6 x 6 matrix, node order, on points k and k+1 of member m (in
// the current node points): the stiffness of the station values when
// `geometric` is false (springs held as the points' deflections say), else
// the geometric matrix of the axial forces SN alone (times 1 - MGEO).
void unreduced_segment(const Model& md, int m, int k, const StationValues& s1, const StationValues& s2,
                       bool geometric, Mat6& K);

}  // namespace nlf
