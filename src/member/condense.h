// The internal system of one member (five segments chained through four
// inner points) and its static condensation onto the two end joints.
//
// Freedoms: the end joints in node order (A: X, Y, R; B: X, Y, R) and the
// inner points 2..5, each X, Y, R (12 inner freedoms).
#pragma once

#include "member/small_mat.h"

namespace nlf {

inline constexpr int NINNER = 12;

using Mat12 = SMat<NINNER, NINNER>;
using Mat12x6 = SMat<NINNER, 6>;
using Mat6x12 = SMat<6, NINNER>;
using Vec12 = std::array<double, NINNER>;

struct MemberSystem {
  Mat6 KEE;     // end-joint block
  Mat6x12 KEI;  // end-joint rows, inner columns
  Mat12x6 KIE;  // inner rows, end-joint columns
  Mat12 KII;    // inner block
  Vec6 FE{};    // resisting forces on the end joints
  Vec12 FI{};   // resisting forces on the inner points
  void clear();
};

// Adds segment k (1..5) with its matrix and forces in node order into the
// member system. Segment k joins point k (end 1) and point k + 1 (end 2);
// point 1 is joint A, point 6 joint B. The system must be cleared before the
// first segment of a member.
void chain_add(int k, const Mat6& KS, const Vec6& FS, MemberSystem& sys);

// In-place Gauss-Jordan inversion of the leading n x n block of the
// column-major matrix a (leading dimension lda) with complete pivoting.
// Returns true when it completed; false when the largest remaining pivot was
// 1.0E-20 or less in absolute value, in which case the matrix is left as it
// stood at that step (partly inverted).
bool invert_matrix(int n, double* a, int lda);

// Recovery data kept per member for the inner-point increments after a
// solve: dI = RCV + RCM dE.
struct Condensed {
  Mat6 KM;      // condensed tangent matrix, node order on (A, B)
  Vec6 FM{};    // condensed resisting forces
  Mat12x6 RCM;  // -KII^-1 KIE
  Vec12 RCV{};  // -KII^-1 FI
};

// The general products of the condensation. With KII holding its inverse:
// RCM = -KII KIE, RCV = -KII FI.
void inner_from_inverse(const MemberSystem& sys, Condensed& out);
// KM = KEE + KEI RCM, FM = FE + KEI RCV.
void outer_from_inner(const MemberSystem& sys, Condensed& out);

// Condenses the member: KII is inverted in place (the system is changed).
// Returns the invert_matrix flag: false for a singular inner system, whose
// results are then those of the partly inverted matrix.
bool condense(MemberSystem& sys, Condensed& out);

}  // namespace nlf
