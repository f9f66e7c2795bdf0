// Member loads of the load history on the segments of a member: the
// work-equivalent node-point loads of one segment, their change with the
// segment's chord (for the exact tangent), and under arc-length control the
// reference load condensed onto the member's end joints together with what
// the recovery of the inner points needs (store/member_loads.h holds the
// loads and says who writes what).
//
// A segment of chord length L and direction (c, s) under the load q per cm
// (global part gx, gy; own part along, across) carries, in global axes,
//   qx = gx + c along - s across,  qy = gy + s along + c across,
// of which qp = -s gx + c gy + across acts across it. Its node points take
// the work-equivalent loads of a cubic beam: qx L / 2 and qy L / 2 at each
// end, and the end moments +qp L^2 / 12 at end 1 and -qp L^2 / 12 at end 2.
// The moments of two neighbouring segments under the same load cancel at
// their shared point: only the member's end joints keep one.
#pragma once

#include <array>

#include "member/condense.h"
#include "member/segment.h"
#include "store/model.h"

namespace nlf {

// The node-point loads of q on the segment g, segment order (X1, X2, Y1,
// Y2, R1, R2), positive along the global axes.
void segment_load(const SegGeom& g, const MemberLoad& q, Vec6& P);

// Their change with the segment's chord (x2 - x1, y2 - y1): Px = dP/dx,
// Py = dP/dy (segment order).
void segment_load_slopes(const SegGeom& g, const MemberLoad& q, Vec6& Px, Vec6& Py);

// The node-point loads of q on every segment of member m, added up: point p
// (1..6), direction d (1 X, 2 Y, 3 rotation) at 3(p-1)+d-1; points 1 and 6
// are the end joints.
void member_node_loads(const Model& md, int m, const MemberLoad& q, std::array<double, 18>& P);

// Under arc-length control, for a member with a load in the pattern: the
// reference load (FACTOR x pattern) condensed onto its end joints, and
// KII^-1 times its share on the inner points, into md.MLOADS. `inverse`
// tells whether sys.KII holds its inverse already (the usual condensation)
// or the matrix itself (the exact tangent's).
void condense_reference_load(const Model& md, int m, const MemberSystem& sys, bool inverse);

}  // namespace nlf
