// The global matrix of one equilibrium iteration behind one interface, in
// one of two forms picked once per load group: the symmetric band
// (solver/band.h), or the general band of the exact tangent
// (solver/general_band.h). Both are cleared, take the members and the
// diagonal terms (springs, penalties), are reduced without pivoting (pivot
// rows in ranges, in order) and solved; the pivots of either form go
// through the same pivot test, which gives the log-determinant.
#pragma once

#include <cstddef>

#include "io/stop.h"
#include "io/units.h"
#include "store/views.h"

namespace nlf {

// The pivot test's treatment of negative pivots. By default a negative
// pivot fails like a zero one. A caller that follows the equilibrium path
// past limit points sets `follow`: a negative pivot is then counted, and
// only a zero pivot or one that is not a number fails.
struct PivotCount {
  bool follow = false;
  int negative = 0;  // equations with a negative pivot (out)
  // Of the pivots that failed the test (out), the one of least magnitude:
  // its joint (internal index; 0 when none failed), its direction (1 X, 2 Y,
  // 3 rotation) and its magnitude; and the largest magnitude of the pivots
  // tested, against which a pivot of rounding size tells a singular matrix.
  int failed_joint = 0, failed_direction = 0;
  double failed_size = 0, largest = 0;
};

// A failed pivot test: its diagnostics are in the listing; the caller says on
// standard error where the run was when the stiffness was lost.
struct PivotStop : Stop {};

// The pivots of a reduced matrix: pivot e (1-based) at p[(e-1) * stride].
struct Pivots {
  const double* p = nullptr;
  std::ptrdiff_t stride = 1;
  double operator()(int e) const { return p[(e - 1) * stride]; }
};

// Pivot test (PIVOTCHECK of the card-era program) on the NEQ pivots of a
// reduced matrix: every force direction of joints 1..NJ (in joint, then
// direction order; linked directions each time) must have a positive pivot
// (a nonzero one when count->follow is set). DETLOG becomes the sum of
// ln|pivot| over those directions, failing ones included. Each failing
// direction writes a DIAG message; after them the NEQ pivots are listed.
// Returns true when a pivot failed.
bool pivot_check(Pivots pivots, int NEQ, const IVec& LTYPE, int NJ, double& DETLOG, const IVec& IEQ,
                 int NJL, TextOut& listing, PivotCount* count = nullptr);

// The determinant line of the iteration table: "+", 90 blanks, DETLOG.
void write_detlog(TextOut& listing, double DETLOG);

enum class MatrixForm { SymmetricBand, GeneralBand };

class GlobalMatrix {
 public:
  int NEQ = 0, MBAND = 0;  // equations, band width

  virtual ~GlobalMatrix() = default;
  virtual MatrixForm form() const = 0;

  // Every stored entry to zero.
  virtual void clear() = 0;
  // Member m's 6 x 6 matrix S (36 values, column-major, end I then end J)
  // into the matrix and its six end forces F into the joint resisting
  // forces R (joint-serial). A member whose equations do not fit the band
  // stops the run (Stop{1}) before anything is added.
  virtual void add_member(int m, const IMat& IJ, const double* S, const RVec& R, const double* F,
                          const IVec& IEQ) = 0;
  // The diagonal term of equation e.
  virtual double& diagonal(int e) = 0;
  // Pivot rows n0 .. n1 (1 <= n0, n1 <= NEQ-1), in order: rows n0 ..
  // min(n1+MBAND-1, NEQ) must be complete and rows below n0 reduced.
  // Taking the pivot rows in several ranges gives the same bits as taking
  // them in one.
  virtual void reduce(int n0, int n1) = 0;
  // Solves for NRHS load columns B (overwritten) into X, pivot rows
  // 1..`taken` already reduced: the rest of the elimination, the pivot test
  // (DETLOG, negative pivots in `count`; a failed test ends the run with
  // PivotStop after its diagnostics), back substitution. NEQ = 0 does
  // nothing; NEQ = 1 is one division with no pivot test and DETLOG
  // unchanged.
  virtual void solve(int taken, int NRHS, const RMat& B, const RMat& X, const IVec& LTYPE, int NJ,
                     double& DETLOG, const IVec& IEQ, int NJL, TextOut& listing,
                     PivotCount* count = nullptr) = 0;
  // The pivots (after a reduction).
  virtual Pivots pivots() const = 0;

 protected:
  GlobalMatrix() = default;
  GlobalMatrix(int NEQ, int MBAND) : NEQ(NEQ), MBAND(MBAND) {}
  GlobalMatrix(const GlobalMatrix&) = default;
  GlobalMatrix& operator=(const GlobalMatrix&) = default;
};

}  // namespace nlf
