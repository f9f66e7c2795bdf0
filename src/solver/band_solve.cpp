// Band Gauss elimination without pivoting, the pivot test with its
// log-determinant, and the determinant line of the listing.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "io/stop.h"
#include "solver/band.h"

namespace nlf {

namespace {

// Rows reduced together by one pivot row: their multipliers are kept in a
// small stack buffer so that the updates can run down the columns.
constexpr int ROWBLOCK = 64;

// Forward elimination of A and the load columns B, pivot rows 1 .. NEQ-1.
// Row n is not scaled: A(n, 2..) keep the reduced coupling terms for the
// back substitution. Each entry of a row below n gets exactly one update
// per pivot row, A(i,j) -= A(n, i-n+j) * H(i) with H(i) = (1/P) * A(n, i-n+1),
// so the order of the loops does not change the result.
void eliminate(int NEQ, int MBAND, int NRHS, double* a, std::ptrdiff_t lda, double* b,
               std::ptrdiff_t ldb) {
  double h[ROWBLOCK];
  for (int n = 1; n <= NEQ - 1; ++n) {
    const double* rown = a + (n - 1);  // A(n, j) = rown[(j-1)*lda]
    const double rp = 1.0 / rown[0];
    const int L = std::min(n + MBAND - 1, NEQ);
    for (int i0 = n + 1; i0 <= L; i0 += ROWBLOCK) {
      const int i1 = std::min(i0 + ROWBLOCK - 1, L);
      for (int i = i0; i <= i1; ++i) h[i - i0] = rp * rown[(i - n) * lda];
      // Column j of the rows i0..i1 that still lie within row n's band.
      for (int j = 1; j <= L - i0 + 1; ++j) {
        const int ie = std::min(i1, L - j + 1);
        double* col = a + (j - 1) * lda;
        const double* src = rown + (j - 1) * lda;  // src[(i-n)*lda] = A(n, i-n+j)
        for (int i = i0; i <= ie; ++i) col[i - 1] -= src[(i - n) * lda] * h[i - i0];
      }
      for (int c = 0; c < NRHS; ++c) {
        double* bc = b + c * ldb;
        const double bn = bc[n - 1];
        for (int i = i0; i <= i1; ++i) bc[i - 1] -= bn * h[i - i0];
      }
    }
  }
}

// Back substitution on the reduced system, all load columns in one sweep of A.
void substitute(int NEQ, int MBAND, int NRHS, const double* a, std::ptrdiff_t lda,
                const double* b, std::ptrdiff_t ldb, double* x, std::ptrdiff_t ldx) {
  for (int c = 0; c < NRHS; ++c) x[c * ldx + NEQ - 1] = b[c * ldb + NEQ - 1] / a[NEQ - 1];
  for (int n = NEQ - 1; n >= 1; --n) {
    const int mmax = std::min(MBAND, NEQ - n + 1);
    const double* rown = a + (n - 1);
    for (int c = 0; c < NRHS; ++c) {
      const double* xc = x + c * ldx + (n - 1);  // xc[m-1] = X(n+m-1, c)
      double sum = 0.0;
      for (int m = 2; m <= mmax; ++m) sum += rown[(m - 1) * lda] * xc[m - 1];
      x[c * ldx + n - 1] = (b[c * ldb + n - 1] - sum) / rown[0];
    }
  }
}

}  // namespace

void BANDSOLVE(int NEQ, int MBAND, int NRHS, const RMat& B, const RMat& A, const RMat& X,
               const IVec& LTYPE, int NJ, double& DETLOG, const IVec& IEQ, int NJL,
               TextOut& listing) {
  if (NEQ <= 0) return;
  assert(A.ld >= NEQ && A.cols >= std::max(MBAND, 1));
  assert(NRHS == 0 || (B.ld >= NEQ && B.cols >= NRHS && X.ld >= NEQ && X.cols >= NRHS));
  double* a = A.data();
  double* b = B.data();
  double* x = X.data();
  const std::ptrdiff_t lda = A.ld, ldb = B.ld, ldx = X.ld;

  if (NEQ == 1) {
    for (int c = 0; c < NRHS; ++c) x[c * ldx] = b[c * ldb] / a[0];
    return;
  }

  eliminate(NEQ, MBAND, NRHS, a, lda, b, ldb);
  if (PIVOTCHECK(A, NEQ, LTYPE, NJ, DETLOG, IEQ, NJL, listing)) throw Stop{1};
  substitute(NEQ, MBAND, NRHS, a, lda, b, ldb, x, ldx);
}

bool PIVOTCHECK(const RMat& A, int NEQ, const IVec& LTYPE, int NJ, double& DETLOG,
                const IVec& IEQ, int NJL, TextOut& listing) {
  DETLOG = 0.0;
  bool failed = false;
  for (int k = 1; k <= NJ; ++k) {
    for (int d = 1; d <= 3; ++d) {
      if (LTYPE((d - 1) * NJL + k) != 0) continue;  // prescribed: penalty pivot
      const int serial = 3 * (k - 1) + d;
      const int e = IEQ(serial);
      const double p = A(e, 1);
      if (p <= 0.0) {
        static const Format diag(
            "(/,/,' DIAG',I5,'(',I5,') is not positive   ',G20.6,/,' PROGRAM STOP')");
        listing.write(diag, {serial, e, p});
        failed = true;
      }
      DETLOG += std::log(std::fabs(p));
    }
  }
  if (failed) {
    // The pivots, ten to a line; written in slices of one line each.
    static const Format pivots("(10(E13.3))");
    Item line[10] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    for (int i0 = 1; i0 <= NEQ; i0 += 10) {
      const int cnt = std::min(10, NEQ - i0 + 1);
      for (int t = 0; t < cnt; ++t) line[t] = Item(A(i0 + t, 1));
      listing.write(pivots, std::span<const Item>(line, static_cast<std::size_t>(cnt)));
    }
  }
  return failed;
}

void write_detlog(TextOut& listing, double DETLOG) {
  static const Format f("('+',90X,1P,E15.4)");
  listing.write(f, {DETLOG});
}

}  // namespace nlf
