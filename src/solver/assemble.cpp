// Member assembly into the band matrix and the load columns of the
// prescribed directions.
#include <cstdio>

#include "io/stop.h"
#include "solver/band.h"

namespace nlf {

namespace {

// A member whose equations reach outside the stored band would write into
// the neighbouring workspace tables. That happens only when the equation
// numbers changed after the band width was found (a link card read after
// the members that touch its slave joint), so the run stops here.
[[noreturn]] void band_overrun(int m, int spread, int lo, int hi, const RMat& A) {
  char text[200];
  std::snprintf(text, sizeof text,
                " BAND WIDTH EXCEEDED BY MEMBER %d : EQUATIONS %d TO %d NEED %d , "
                "BAND WIDTH = %d , MATRIX SIZE = %d",
                m, lo, hi, spread, A.cols, A.ld);
  throw Stop{1, text};
}

}  // namespace

void ADDMEMBER(int m, const IMat& IJ, const RMat& A, const double* S, const RVec& R,
               const double* F, const IVec& IEQ) {
  const int I = IJ(m, 1);
  const int J = IJ(m, 2);
  const int s[6] = {3 * I - 2, 3 * I - 1, 3 * I, 3 * J - 2, 3 * J - 1, 3 * J};
  int e[6];
  int lo = 0, hi = 0;
  for (int k = 0; k < 6; ++k) {
    e[k] = IEQ(s[k]);
    if (k == 0 || e[k] < lo) lo = e[k];
    if (k == 0 || e[k] > hi) hi = e[k];
  }
  if (lo < 1 || hi > A.ld || hi - lo + 1 > A.cols) band_overrun(m, hi - lo + 1, lo, hi, A);

  for (int k = 0; k < 6; ++k) R(s[k]) += F[k];

  double* a = A.data();
  const long ld = A.ld;
  for (int r = 0; r < 6; ++r) {
    const int er = e[r];
    for (int c = 0; c < 6; ++c) {
      const int ec = e[c];
      if (ec < er) continue;  // lower half: not stored
      a[(er - 1) + (ec - er) * ld] += S[r + 6 * c];
    }
  }
}

void APPLYPRESCRIBED(int nrhs, const RMat& B, const RVec& PDISP, const IVec& LTYPE, int NJ,
                     const IVec& IEQ, int impose, int NJL, double factor) {
  for (int k = 1; k <= NJ; ++k) {
    for (int d = 1; d <= 3; ++d) {
      const int t = (d - 1) * NJL + k;
      if (LTYPE(t) <= 0) continue;
      const int e = IEQ(3 * (k - 1) + d);
      const double load = impose != 0 ? factor * PENALTY * PDISP(t) : 0.0;
      for (int c = 1; c <= nrhs; ++c) B(e, c) = load;
    }
  }
}

}  // namespace nlf
