// Member assembly into the band matrix and the load columns of the
// prescribed directions.
#include <cstdio>

#include "io/stop.h"
#include "solver/band.h"

namespace nlf {

[[noreturn]] void band_overrun(int m, int lo, int hi, int width, int size) {
  char text[200];
  std::snprintf(text, sizeof text,
                " BAND WIDTH EXCEEDED BY MEMBER %d : EQUATIONS %d TO %d NEED %d , "
                "BAND WIDTH = %d , MATRIX SIZE = %d",
                m, lo, hi, hi - lo + 1, width, size);
  throw Stop{1, text};
}

void add_member(int m, const IMat& IJ, const RMat& A, const double* S, const RVec& R,
               const double* F, const IVec& IEQ) {
  const MemberEquations q = member_equations(m, IJ, IEQ);
  const int* const s = q.s;
  const int* const e = q.e;
  if (q.lo < 1 || q.hi > A.ld || q.hi - q.lo + 1 > A.cols) band_overrun(m, q.lo, q.hi, A.cols, A.ld);

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

void apply_prescribed(int nrhs, const RMat& B, const RVec& PDISP, const IVec& LTYPE, int NJ,
                     const IVec& IEQ, int impose, int NJL, double factor) {
  for (int k = 1; k <= NJ; ++k) {
    for (int d = 1; d <= 3; ++d) {
      const int t = pattern_entry(k, d, NJL);
      if (LTYPE(t) <= 0) continue;
      const int e = IEQ(joint_serial(k, d));
      const double load = impose != 0 ? factor * PENALTY * PDISP(t) : 0.0;
      for (int c = 1; c <= nrhs; ++c) B(e, c) = load;
    }
  }
}

}  // namespace nlf
