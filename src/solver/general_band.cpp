#include "solver/general_band.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "store/lanes.h"

namespace nlf {

void GeneralBand::clear() { std::fill(a, a + size(NEQ, MBAND), 0.0); }

void GeneralBand::add_member(int m, const IMat& IJ, const double* S, const RVec& R, const double* F,
                             const IVec& IEQ) {
  const MemberEquations q = member_equations(m, IJ, IEQ);
  const int* const s = q.s;
  const int* const e = q.e;
  if (q.lo < 1 || q.hi > NEQ || q.hi - q.lo + 1 > MBAND) band_overrun(m, q.lo, q.hi, MBAND, NEQ);
  for (int k = 0; k < 6; ++k) R(s[k]) += F[k];
  GeneralBand& G = *this;
  for (int c = 0; c < 6; ++c)
    for (int r = 0; r < 6; ++r) G(e[r], e[c]) += S[r + 6 * c];
}

namespace {

// Pivot rows n0 .. n1 of the row-by-row storage a (rows `width` wide, the
// diagonal at offset `mid`). Row n's coupling terms K(n, n+1 .. last) and
// row r's entries K(r, n .. last) each lie side by side, so the update of a
// row runs with unit stride: every entry gets the one update
// K(r, c) -= l * K(n, c) per pivot row, in pivot order, as in the plain
// loop; a multiplier of zero leaves its row as it is.
NLF_HOT_LOOP void eliminate_rows(double* a, int NEQ, int MBAND, std::ptrdiff_t width, int mid, int n0,
                                 int n1) {
  for (int n = n0; n <= n1; ++n) {
    const double* pn = a + (n - 1) * width + mid;  // pn[k] = K(n, n+k)
    const double rp = 1.0 / pn[0];
    const int U = std::min(n + MBAND - 1, NEQ) - n;
    for (int u = 1; u <= U; ++u) {
      double* pr = a + (n + u - 1) * width + mid - u;  // pr[k] = K(n+u, n+k)
      double l = pr[0];
      if (l == 0.0) continue;
      l *= rp;
      pr[0] = l;
      for (int k = 1; k <= U; ++k) pr[k] -= l * pn[k];
    }
  }
}

}  // namespace

void GeneralBand::reduce(int n0, int n1) {
  assert(n0 >= 1 && n1 <= NEQ - 1);
  eliminate_rows(a, NEQ, MBAND, width(), stored() - 1, n0, n1);
}

void GeneralBand::solve(int taken, int NRHS, const RMat& B, const RMat& X, const IVec& LTYPE, int NJ,
                        double& DETLOG, const IVec& IEQ, int NJL, TextOut& listing, PivotCount* count) {
  GeneralBand& G = *this;
  const int MB = MBAND;
  if (count) count->negative = 0;
  if (NEQ <= 0) return;
  if (NEQ == 1) {
    for (int c = 1; c <= NRHS; ++c) X(1, c) = B(1, c) / G(1, 1);
    if (count && count->follow && G(1, 1) < 0.0) count->negative = 1;
    return;
  }

  reduce(taken + 1, NEQ - 1);
  // Row by row: B(r) takes the updates of pivot rows r-MB+1 .. r-1 in
  // pivot order, each from its final value, as in a sweep over the pivot
  // rows; the multipliers of row r lie side by side.
  for (int c = 1; c <= NRHS; ++c) {
    double* b = &B(1, c);  // b[e-1] = B(e, c)
    for (int r = 2; r <= NEQ; ++r) {
      const int n0 = std::max(1, r - MB + 1);
      const double* l = &G(r, n0);  // l[n-n0] = K(r, n)
      double br = b[r - 1];
      for (int n = n0; n < r; ++n) br -= l[n - n0] * b[n - 1];
      b[r - 1] = br;
    }
  }

  if (pivot_check(pivots(), NEQ, LTYPE, NJ, DETLOG, IEQ, NJL, listing, count)) throw PivotStop{};

  for (int c = 1; c <= NRHS; ++c)
    for (int n = NEQ; n >= 1; --n) {
      double sum = 0.0;
      const int last = std::min(n + MB - 1, NEQ);
      for (int k = n + 1; k <= last; ++k) sum += G(n, k) * X(k, c);
      X(n, c) = (B(n, c) - sum) / G(n, n);
    }
}

}  // namespace nlf
