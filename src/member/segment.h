// One beam segment of a member: its geometry, its tangent stiffness and
// resisting forces, and the reordering between the two freedom orders.
//
// Segment order (by component): (X1, X2, Y1, Y2, R1, R2).
// Node order (by node):         (X1, Y1, R1, X2, Y2, R2).
// Local end quantities:         (u1, u2, w1, w2, th1, th2), u along the
// chord end 1 -> end 2, w to its left.
// Generalised coordinates:      g = (b0, b1, a0, a1, a2, a3) of
// u(x) = b0 + b1 x, w(x) = a0 + a1 x + a2 x^2 + a3 x^3, -L/2 <= x <= L/2.
#pragma once

#include "member/small_mat.h"

namespace nlf {

// Section values at one station: axial force, moment and the three tangent
// sums (sum Et A, sum Et A z, sum Et A z^2).
struct StationValues {
  double SN = 0, SM = 0, SEA = 0, SES = 0, SEI = 0;
};

// The positions (1-based) of the generalised coordinates in g and in the
// rows of AG.
struct Gen {
  static constexpr int B0 = 1, B1 = 2, A0 = 3, A1 = 4, A2 = 5, A3 = 6;
};

struct SegGeom {
  double L = 0, c = 0, s = 0;
  Mat6 AG;  // local end quantities -> generalised coordinates
  Mat6 TR;  // global freedoms (segment order) -> local end quantities
};

// Geometry of the segment from (x1, y1) to (x2, y2).
void segment_geometry(double x1, double x2, double y1, double y2, SegGeom& g);

// Inputs of one segment beyond its geometry.
struct SegLoads {
  double gamma = 1.0;    // 1 - MGEO: factor of every axial-force term
  double spring = 0.0;   // MC6 of the member (full value; half acts per end)
  double dyp1 = 0.0;     // accumulated Y displacement of the end-1 point
  double dyp2 = 0.0;     // accumulated Y displacement of the end-2 point
  double load = 0.0;     // MC7: distributed load per unit length, downward
};

// Generalised tangent stiffness and resisting forces (on g).
void segment_generalised(double L, const StationValues& s1, const StationValues& s2,
                         double gamma, Mat6& KG, Vec6& FG);

// Segment tangent stiffness KS and resisting forces FS, both global and in
// segment order. KL = AG^T KG AG and FL = AG^T FG are returned as well (local
// order, springs included) for inspection.
void segment_stiffness(const SegGeom& g, const StationValues& s1, const StationValues& s2,
              const SegLoads& ld, Mat6& KS, Vec6& FS, Mat6* KL_out = nullptr,
              Vec6* FL_out = nullptr);

// KS = TR^T K TR for a segment whose chord is turned by (c, s): the local
// (u, w) of end e sit at positions e and e + 2, global (X, Y) too; the two
// rotations (5, 6) pass through.
inline void turn_to_global(const Mat6& K, double c, double s, Mat6& KS) {
  Mat6 H;  // K TR
  for (int i = 1; i <= 6; ++i) {
    for (int e = 1; e <= 2; ++e) {
      const double ku = K(i, e), kw = K(i, e + 2);
      H(i, e) = c * ku - s * kw;      // X of end e
      H(i, e + 2) = s * ku + c * kw;  // Y of end e
    }
    H(i, 5) = K(i, 5);
    H(i, 6) = K(i, 6);
  }
  for (int j = 1; j <= 6; ++j) {
    for (int e = 1; e <= 2; ++e) {
      const double hu = H(e, j), hw = H(e + 2, j);
      KS(e, j) = c * hu - s * hw;
      KS(e + 2, j) = s * hu + c * hw;
    }
    KS(5, j) = H(5, j);
    KS(6, j) = H(6, j);
  }
}

// Segment order -> node order and back, for 6-vectors; and for the rows and
// columns of a 6 x 6 matrix (segment order -> node order).
void to_node_order(const Vec6& seg, Vec6& node);
void to_segment_order(const Vec6& node, Vec6& seg);
void to_node_order(const Mat6& seg, Mat6& node);

}  // namespace nlf
