// The exact member tangent: the derivative of the resisting forces that the
// next member pass computes, with respect to the node-point increments of
// this iteration.
//
// After a solve the recovery turns the increments into fibre strain
// increments (with the points as they stood), moves the points (back onto
// the chord for a member without geometric terms) and adds the Y increments
// to the spring deflections. The next pass runs the fibre law in trial
// mode, sums the stations, and forms every segment's end forces from its
// new length and direction. The derivative therefore has
//  - a material part: the slope of each fibre's trial branch, summed over
//    the station, through the strain recovery of the segment;
//  - a geometric part: the segment's end forces (axial force, shears,
//    moments and spring forces) turn with the segment, the shear V = dM/L
//    and the distributed load follow its length;
//  - the springs: their force grows with the Y increment of their point.
// The 0.5 theta^2 term of the strain recovery has no slope at a zero
// increment. The matrix is not symmetric in general (unequal stations at
// the ends of a segment, the load, the springs, points put back on the
// chord), so it goes to the general band solver.
#pragma once

#include <array>

#include "member/condense.h"
#include "member/fibre_law.h"
#include "member/member_build.h"
#include "member/segment.h"
#include "store/model.h"

namespace nlf {

inline constexpr int NPDOF = 3 * NPT;  // the member's 18 point freedoms
using Mat18 = SMat<NPDOF, NPDOF>;

// Turns the tangent sums SEA, SES, SEI that station_sums left (with the
// trial stresses) into the sums of the branch slopes.
void branch_tangent_sums(const Model& md, int m, const MemberFibres& f, Stiffness stiffness,
                         std::array<StationValues, NSTA>& st);

// The exact tangent of member m and the resisting forces it is the
// derivative of, point order (points 1..6, each X, Y, R):
// K(i, j) = d F(i) / d increment j. The stations carry the branch slopes
// (branch_tangent_sums). c1, s1, c5, s5 are the cosines of the end
// segments.
struct ExactMember {
  Mat18 K;
  std::array<double, NPDOF> F{};
  double c1 = 1, s1 = 0, c5 = 1, s5 = 0;
};
void exact_member(const Model& md, int m, const std::array<StationValues, NSTA>& st,
                  ExactMember& out);

// The pass's work for member m with the exact tangent: trial law, station
// sums with branch slopes, the exact member, condensation; recovery data and
// end forces written into the model as build_member does. Returns false for
// a singular inner system.
bool build_member_exact(Model& md, int m, const MemberFibres& f, Stiffness stiffness, MemberResult& out);

}  // namespace nlf
