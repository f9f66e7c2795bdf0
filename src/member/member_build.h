// The build of one member for the pass: the trial law and station sums of
// its fibres, its condensed stiffness, resisting forces and end forces; and
// the recovery that takes a solution back to node-point and fibre strain
// increments. No store traffic and no global matrix here.
#pragma once

#include <array>

#include "member/condense.h"
#include "member/fibre_law.h"
#include "member/segment.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

// The ten station values of one member from its fibres: the trial law runs
// for every fibre (writing f.SIGT), then the stresses and tangent moduli are
// summed per station in fibre order.
void station_sums(const Model& md, int m, const MemberFibres& f, Stiffness stiffness,
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
bool build_member(Model& md, int m, const MemberFibres& f, Stiffness stiffness, MemberResult& out);

// The 18 node-point increments of member m (points 1..6, each X, Y, R) from
// the solution by equation: the end points take their joints' values, the
// inner points dI = RCV + RCM dE with the member's recovery data.
void recover_points(const Model& md, int m, const RVec& sol, double* dp);

// Fibre strain increments at both ends of the segment (x1, y1) -> (x2, y2)
// from its six displacement increments in segment order (X1, X2, Y1, Y2, R1,
// R2); z holds the nf fibre coordinates. de1 and de2 receive nf values each.
void segment_strains(double x1, double x2, double y1, double y2, const Vec6& d, const double* z,
               int nf, double* de1, double* de2);

}  // namespace nlf
