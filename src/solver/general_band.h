// A band matrix that need not be symmetric, for the exact tangent: both
// halves of the band are stored and eliminated, without pivoting, like the
// symmetric band. The pivots go through the same test and log-determinant.
#pragma once

#include <cstddef>

#include "io/units.h"
#include "solver/band.h"
#include "store/views.h"

namespace nlf {

// K(i, j) for |i - j| < MBAND, row by row: row i holds K(i, i-MBAND+1) ..
// K(i, i+MBAND-1) at a[(i-1) * width + (j - i + MBAND - 1)]. The storage
// belongs to the caller (NEQ * width values).
struct GeneralBand {
  double* a = nullptr;
  int NEQ = 0, MBAND = 0;
  // A model without members has a band width of 0, yet its rows still
  // carry a diagonal (springs, penalties, the pivots): the rows are stored
  // at least one wide.
  int stored() const { return MBAND > 0 ? MBAND : 1; }
  int width() const { return 2 * stored() - 1; }
  static std::size_t size(int NEQ, int MBAND) {
    return static_cast<std::size_t>(NEQ > 0 ? NEQ : 1) * (2 * (MBAND > 0 ? MBAND : 1) - 1);
  }
  double& operator()(int i, int j) {
    return a[static_cast<std::size_t>(i - 1) * width() + (j - i + stored() - 1)];
  }
  void clear();
};

// Adds member m's 6 x 6 matrix S (36 values, column-major, end I then end
// J) and its six end forces F, as add_member does, with both triangles of S.
// A member whose equations do not fit the band stops the run as in
// add_member.
void add_member_general(int m, const IMat& IJ, GeneralBand& G, const double* S, const RVec& R,
                       const double* F, const IVec& IEQ);

// Solves G X = B for NRHS load columns by band elimination without
// pivoting; G and B are overwritten. The pivots are copied into column 1
// of the symmetric band A and tested there by pivot_check (DETLOG, negative
// pivots, the diagnostics and the stop), as band_solve does.
void general_band_solve(GeneralBand& G, int NRHS, const RMat& B, const RMat& X, const RMat& A,
                  const IVec& LTYPE, int NJ, double& DETLOG, const IVec& IEQ, int NJL,
                  TextOut& listing, PivotCount* count = nullptr);

}  // namespace nlf
