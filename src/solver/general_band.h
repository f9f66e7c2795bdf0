// A band matrix that need not be symmetric, for the exact tangent: both
// halves of the band are stored and eliminated, without pivoting, like the
// symmetric band. Its pivots go through the same test and log-determinant.
#pragma once

#include <cstddef>

#include "io/units.h"
#include "solver/band.h"
#include "solver/global_matrix.h"
#include "store/views.h"

namespace nlf {

// K(i, j) for |i - j| < MBAND, row by row: row i holds K(i, i-MBAND+1) ..
// K(i, i+MBAND-1) at a[(i-1) * width + (j - i + MBAND - 1)]. The storage
// belongs to the caller (NEQ * width values).
class GeneralBand final : public GlobalMatrix {
 public:
  double* a = nullptr;

  GeneralBand() = default;
  GeneralBand(double* a, int NEQ, int MBAND) : GlobalMatrix(NEQ, MBAND), a(a) {}
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

  MatrixForm form() const override { return MatrixForm::GeneralBand; }
  void clear() override;
  // As add_member of the symmetric band, with both triangles of S.
  void add_member(int m, const IMat& IJ, const double* S, const RVec& R, const double* F,
                  const IVec& IEQ) override;
  double& diagonal(int e) override { return (*this)(e, e); }
  // The multipliers take the places of the entries they clear.
  void reduce(int n0, int n1) override;
  void solve(int taken, int NRHS, const RMat& B, const RMat& X, const IVec& LTYPE, int NJ, double& DETLOG,
             const IVec& IEQ, int NJL, TextOut& listing, PivotCount* count = nullptr) override;
  Pivots pivots() const override {
    return Pivots{a + (stored() - 1), static_cast<std::ptrdiff_t>(width())};
  }
};

}  // namespace nlf
