// Assembly and solution of the symmetric band system of one equilibrium
// iteration.
//
// The band matrix A holds the upper half band of the symmetric stiffness K:
// A(i, j) = K(i, i+j-1), column 1 the diagonal, MBAND columns in all, with
// the leading dimension A.ld >= NEQ. Load columns B and solutions X share
// that layout (one column per load case). Entries whose column index
// i+j-1 lies beyond NEQ are never read.
//
// Load-pattern type flags and prescribed values are stored direction-major:
// the entry of joint k, direction d (1 X, 2 Y, 3 rotation) is
// pattern_entry(k, d, NJL) = (d-1)*NJL + k.
// IEQ is joint-major: the equation of joint k, direction d is
// IEQ(joint_serial(k, d)), joint_serial(k, d) = 3(k-1)+d.
// A flag 0 marks a force direction; any other flag a prescribed one.
//
// Nothing here allocates or keeps state between calls.
#pragma once

#include "io/stop.h"
#include "io/units.h"
#include "solver/global_matrix.h"
#include "store/model.h"
#include "store/views.h"

namespace nlf {

// The penalty put on the diagonal of a prescribed direction.
inline constexpr double PENALTY = 1.0E25;

// The joint-serial numbers (3j-2 .. 3j of end I, then of end J) and the
// equation numbers of member m's six directions, with the lowest and the
// highest of the equations: what both band forms need to add a member.
struct MemberEquations {
  int s[6];
  int e[6];
  int lo, hi;
};
inline MemberEquations member_equations(int m, const IMat& IJ, const IVec& IEQ) {
  const int I = IJ(m, 1), J = IJ(m, 2);
  MemberEquations q{};
  for (int d = 1; d <= 3; ++d) {
    q.s[d - 1] = joint_serial(I, d);
    q.s[d + 2] = joint_serial(J, d);
  }
  for (int k = 0; k < 6; ++k) {
    q.e[k] = IEQ(q.s[k]);
    if (k == 0 || q.e[k] < q.lo) q.lo = q.e[k];
    if (k == 0 || q.e[k] > q.hi) q.hi = q.e[k];
  }
  return q;
}

// A member whose equations reach outside the stored band (`width` columns
// of `size` rows) would write into the neighbouring workspace tables. That
// happens only when the equation numbers changed after the band width was
// found (a link card read after the members that touch its slave joint), so
// the run stops (Stop{1} with the listing's line).
[[noreturn]] void band_overrun(int m, int lo, int hi, int width, int size);

// Adds member m (end joints IJ(m,1), IJ(m,2)) into the band matrix and the
// joint resisting forces. S is the member's 6 x 6 stiffness (36 values), column-major,
// in the order (X, Y, rotation) of end I, then of end J; F its six end
// forces. R is indexed by the joint-serial number 3j-2 .. 3j. Only pairs
// whose column equation is not below the row equation are added, so the
// order of the equation numbers decides which triangle of S is read.
// A member whose equations do not fit the band (or the rows) of A is a fault
// of the equation numbering: it is reported on standard error and the run
// stops (Stop{1}) before anything is added.
void add_member(int m, const IMat& IJ, const RMat& A, const double* S, const RVec& R,
               const double* F, const IVec& IEQ);

// The load columns of the prescribed directions (flag > 0) of joints
// 1..NJ, joint by joint and within a joint X, Y, rotation: every load column
// B(e,c) = factor * PENALTY * PDISP when `impose` is nonzero, else 0.
// Directions sharing an equation: the last one taken sets the load. The
// penalty A(e,1) = PENALTY on the diagonal goes on with the members (the
// member pass completes each row of A with it).
void apply_prescribed(int nrhs, const RMat& B, const RVec& PDISP, const IVec& LTYPE, int NJ,
                     const IVec& IEQ, int impose, int NJL, double factor);

// Solves A X = B for NRHS load columns (0 allowed) by band Gauss
// elimination without pivoting. A and B are overwritten by the reduced
// band and load columns; X(1..NEQ, 1..NRHS) receives the solution.
// NEQ = 0 does nothing; NEQ = 1 is one division with no pivot test and
// DETLOG unchanged. Otherwise pivot_check runs between elimination and back
// substitution and sets DETLOG; a failed pivot test ends the run with
// PivotStop (status 1) after its diagnostics are in the listing. `count`,
// when given, selects the treatment of negative pivots and receives their
// number. `reduced` says that band_reduce has already taken every pivot row
// of A; only the load columns are then reduced. (BANDSOLVE of the card-era
// program.)
void band_solve(int NEQ, int MBAND, int NRHS, const RMat& B, const RMat& A, const RMat& X,
               const IVec& LTYPE, int NJ, double& DETLOG, const IVec& IEQ, int NJL,
               TextOut& listing, PivotCount* count = nullptr, bool reduced = false);

// The elimination of band_solve on A alone, pivot rows n0 .. n1 (1 <= n0,
// n1 <= NEQ-1), in order. Rows n0 .. min(n1+MBAND-1, NEQ) must be complete
// and rows below n0 reduced. Taking the pivot rows in several ranges gives
// the same bits as taking them in one.
void band_reduce(const RMat& A, int NEQ, int MBAND, int n0, int n1);

// The symmetric band as the global matrix of a load group: a view of the
// model's band storage A (upper half band, leading dimension NEQ).
class SymmetricBand final : public GlobalMatrix {
 public:
  RMat A;

  SymmetricBand() = default;
  SymmetricBand(const RMat& A, int NEQ, int MBAND) : GlobalMatrix(NEQ, MBAND), A(A) {}
  MatrixForm form() const override { return MatrixForm::SymmetricBand; }
  void clear() override {
    if (NEQ > 0) A.fill(0.0);
  }
  void add_member(int m, const IMat& IJ, const double* S, const RVec& R, const double* F,
                  const IVec& IEQ) override {
    nlf::add_member(m, IJ, A, S, R, F, IEQ);
  }
  double& diagonal(int e) override { return A.data()[e - 1]; }
  void reduce(int n0, int n1) override { band_reduce(A, NEQ, MBAND, n0, n1); }
  void solve(int taken, int NRHS, const RMat& B, const RMat& X, const IVec& LTYPE, int NJ, double& DETLOG,
             const IVec& IEQ, int NJL, TextOut& listing, PivotCount* count = nullptr) override;
  Pivots pivots() const override { return Pivots{A.data(), 1}; }
};

}  // namespace nlf
