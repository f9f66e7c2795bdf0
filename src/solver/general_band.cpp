#include "solver/general_band.h"

#include <algorithm>
#include <cassert>

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

void GeneralBand::reduce(int n0, int n1) {
  assert(n0 >= 1 && n1 <= NEQ - 1);
  GeneralBand& G = *this;
  for (int n = n0; n <= n1; ++n) {
    const double rp = 1.0 / G(n, n);
    const int last = std::min(n + MBAND - 1, NEQ);
    for (int r = n + 1; r <= last; ++r) {
      double& l = G(r, n);
      if (l == 0.0) continue;
      l *= rp;
      for (int c = n + 1; c <= last; ++c) G(r, c) -= l * G(n, c);
    }
  }
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
  for (int c = 1; c <= NRHS; ++c)
    for (int n = 1; n <= NEQ - 1; ++n) {
      const double bn = B(n, c);
      const int last = std::min(n + MB - 1, NEQ);
      for (int r = n + 1; r <= last; ++r) B(r, c) -= G(r, n) * bn;
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
