// Band Gauss elimination without pivoting, the pivot test with its
// log-determinant, and the determinant line of the listing.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "io/stop.h"
#include "solver/band.h"
#include "store/lanes.h"

namespace nlf {

namespace {

// Rows (and columns) reduced together by one pivot row. The multipliers and
// the coupling terms of the pivot row are copied into small stack buffers so
// that every update runs down a column of A with unit stride.
constexpr int BLOCK = 64;

// Forward elimination of A, pivot rows n0 .. n1 (n1 <= NEQ-1). Row n is not
// scaled: A(n, 2..) keep the reduced coupling terms for the back
// substitution. With offsets u = i-n (the row) and t = u+j-1 (the column
// K(i, n+t) that A(i, j) holds), each entry gets exactly one update per
// pivot row,
//   A(n+u, j) -= A(n, t+1) * H(u),   H(u) = (1/P) * A(n, u+1),
// so neither the blocking of (u, t) nor the split into ranges of pivot rows
// changes the result.
NLF_HOT_LOOP void eliminate_matrix(int NEQ, int MBAND, int n0, int n1, double* a,
                                    std::ptrdiff_t lda) {
  double h[BLOCK];   // H(u) for u = u0 ..
  double rt[BLOCK];  // A(n, t+1) for t = t0 ..
  for (int n = n0; n <= n1; ++n) {
    const double* rown = a + (n - 1);  // A(n, k+1) = rown[k*lda]
    const double rp = 1.0 / rown[0];
    const int U = std::min(n + MBAND - 1, NEQ) - n;  // rows n+1 .. n+U are coupled
    for (int u0 = 1; u0 <= U; u0 += BLOCK) {
      const int u1 = std::min(u0 + BLOCK - 1, U);
      for (int u = u0; u <= u1; ++u) h[u - u0] = rp * rown[u * lda];
      for (int t0 = u0; t0 <= U; t0 += BLOCK) {
        const int t1 = std::min(t0 + BLOCK - 1, U);
        for (int t = t0; t <= t1; ++t) rt[t - t0] = rown[t * lda];
        for (int j = std::max(1, t0 - u1 + 1); j <= t1 - u0 + 1; ++j) {
          const int ua = std::max(u0, t0 - j + 1), ub = std::min(u1, t1 - j + 1);
          double* col = a + (j - 1) * lda + (n - 1);  // col[u] = A(n+u, j)
          const int r0 = j - 1 - t0;                  // rt[u + r0] = A(n, u+j)
          for (int u = ua; u <= ub; ++u) col[u] -= rt[u + r0] * h[u - u0];
        }
      }
    }
  }
}

// Forward elimination of the load columns B with the pivot rows of the
// reduced A. Row n of A is final once pivot n is taken, so H(u) is the same
// value the matrix elimination used, and each B(n+u, c) gets the same
// updates in the same order as if both were reduced together.
NLF_HOT_LOOP void eliminate_loads(int NEQ, int MBAND, int NRHS, const double* a,
                                   std::ptrdiff_t lda, double* b, std::ptrdiff_t ldb) {
  if (NRHS <= 0) return;
  double h[BLOCK];
  for (int n = 1; n <= NEQ - 1; ++n) {
    const double* rown = a + (n - 1);
    const double rp = 1.0 / rown[0];
    const int U = std::min(n + MBAND - 1, NEQ) - n;
    for (int u0 = 1; u0 <= U; u0 += BLOCK) {
      const int u1 = std::min(u0 + BLOCK - 1, U);
      for (int u = u0; u <= u1; ++u) h[u - u0] = rp * rown[u * lda];
      for (int c = 0; c < NRHS; ++c) {
        double* bc = b + c * ldb + (n - 1);  // bc[u] = B(n+u, c)
        const double bn = bc[0];
        for (int u = u0; u <= u1; ++u) bc[u] -= bn * h[u - u0];
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

void band_solve(int NEQ, int MBAND, int NRHS, const RMat& B, const RMat& A, const RMat& X,
               const IVec& LTYPE, int NJ, double& DETLOG, const IVec& IEQ, int NJL,
               TextOut& listing, PivotCount* count, bool reduced) {
  if (count) count->negative = 0;
  if (NEQ <= 0) return;
  assert(A.ld >= NEQ && A.cols >= std::max(MBAND, 1));
  assert(NRHS == 0 || (B.ld >= NEQ && B.cols >= NRHS && X.ld >= NEQ && X.cols >= NRHS));
  double* a = A.data();
  double* b = B.data();
  double* x = X.data();
  const std::ptrdiff_t lda = A.ld, ldb = B.ld, ldx = X.ld;

  if (NEQ == 1) {
    for (int c = 0; c < NRHS; ++c) x[c * ldx] = b[c * ldb] / a[0];
    if (count && count->follow && a[0] < 0.0) count->negative = 1;
    return;
  }

  if (!reduced) eliminate_matrix(NEQ, MBAND, 1, NEQ - 1, a, lda);
  eliminate_loads(NEQ, MBAND, NRHS, a, lda, b, ldb);
  if (pivot_check(Pivots{a, 1}, NEQ, LTYPE, NJ, DETLOG, IEQ, NJL, listing, count)) throw PivotStop{};
  substitute(NEQ, MBAND, NRHS, a, lda, b, ldb, x, ldx);
}

void band_reduce(const RMat& A, int NEQ, int MBAND, int n0, int n1) {
  assert(n0 >= 1 && n1 <= NEQ - 1 && A.ld >= NEQ && A.cols >= std::max(MBAND, 1));
  if (n0 <= n1) eliminate_matrix(NEQ, MBAND, n0, n1, A.data(), A.ld);
}

void SymmetricBand::solve(int taken, int NRHS, const RMat& B, const RMat& X, const IVec& LTYPE, int NJ,
                          double& DETLOG, const IVec& IEQ, int NJL, TextOut& listing, PivotCount* count) {
  if (NEQ > 1) band_reduce(A, NEQ, MBAND, taken + 1, NEQ - 1);
  band_solve(NEQ, MBAND, NRHS, B, A, X, LTYPE, NJ, DETLOG, IEQ, NJL, listing, count, true);
}

bool pivot_check(Pivots pivots, int NEQ, const IVec& LTYPE, int NJ, double& DETLOG, const IVec& IEQ,
                 int NJL, TextOut& listing, PivotCount* count) {
  DETLOG = 0.0;
  bool failed = false;
  const bool follow = count && count->follow;
  if (count) {
    count->negative = 0;
    count->failed_joint = 0;
    count->largest = 0;
  }
  for (int k = 1; k <= NJ; ++k) {
    for (int d = 1; d <= 3; ++d) {
      if (LTYPE(pattern_entry(k, d, NJL)) != 0) continue;  // prescribed: penalty pivot
      const int serial = joint_serial(k, d);
      const int e = IEQ(serial);
      const double p = pivots(e);
      // A pivot that is not a number (a broken member upstream) fails like a
      // non-positive one rather than spreading through the solution.
      if (!(p > 0.0) && !(follow && p < 0.0)) {
        static const Format diag(
            "(/,/,' DIAG',I5,'(',I5,') is not positive   ',G20.6,/,' PROGRAM STOP')");
        listing.write(diag, {serial, e, p});
        if (count && (count->failed_joint == 0 || !(std::fabs(p) >= count->failed_size))) {
          count->failed_joint = k;
          count->failed_direction = d;
          count->failed_size = std::fabs(p);
        }
        failed = true;
      }
      if (count) count->largest = std::max(count->largest, std::fabs(p));
      DETLOG += std::log(std::fabs(p));
    }
  }
  // Negative pivots are counted by equation: linked directions share one.
  if (follow)
    for (int e = 1; e <= NEQ; ++e)
      if (pivots(e) < 0.0) ++count->negative;
  if (failed) {
    // The pivots, ten to a line; written in slices of one line each.
    static const Format ten("(10(E13.3))");
    Item line[10] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    for (int i0 = 1; i0 <= NEQ; i0 += 10) {
      const int cnt = std::min(10, NEQ - i0 + 1);
      for (int t = 0; t < cnt; ++t) line[t] = Item(pivots(i0 + t));
      listing.write(ten, std::span<const Item>(line, static_cast<std::size_t>(cnt)));
    }
  }
  return failed;
}

void write_detlog(TextOut& listing, double DETLOG) {
  static const Format f("('+',90X,1P,E15.4)");
  listing.write(f, {DETLOG});
}

}  // namespace nlf
