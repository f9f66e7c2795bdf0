#include "member/condense.h"

#include <cassert>
#include <cmath>
#include <utility>

namespace nlf {

void MemberSystem::clear() {
  KEE.clear();
  KEI.clear();
  KIE.clear();
  KII.clear();
  FE.fill(0.0);
  FI.fill(0.0);
}

void CHAINADD(int k, const Mat6& KS, const Vec6& FS, MemberSystem& sys) {
  // Where each of the segment's six freedoms goes: an end-joint row (inner =
  // false) or an inner row, 0-based.
  bool inner[6];
  int pos[6];
  for (int e = 0; e < 2; ++e) {
    const int point = k + e;  // 1..6
    for (int d = 0; d < 3; ++d) {
      const int q = 3 * e + d;
      if (point == 1) {
        inner[q] = false;
        pos[q] = d;
      } else if (point == 6) {
        inner[q] = false;
        pos[q] = 3 + d;
      } else {
        inner[q] = true;
        pos[q] = 3 * (point - 2) + d;
      }
    }
  }
  for (int j = 0; j < 6; ++j) {
    for (int i = 0; i < 6; ++i) {
      const double v = KS.a[i + 6 * j];
      const int r = pos[i], c = pos[j];
      if (!inner[i] && !inner[j])
        sys.KEE.a[r + 6 * c] += v;
      else if (!inner[i])
        sys.KEI.a[r + 6 * c] += v;
      else if (!inner[j])
        sys.KIE.a[r + NINNER * c] += v;
      else
        sys.KII.a[r + NINNER * c] += v;
    }
    if (inner[j])
      sys.FI[pos[j]] += FS[j];
    else
      sys.FE[pos[j]] += FS[j];
  }
}

bool MATINVERT(int n, double* a, int lda) {
  constexpr double kStop = 1.0e-20;
  constexpr double kZero = 1.0e-30;
  constexpr int kMax = 64;
  int prow[kMax], pcol[kMax];
  assert(n >= 0 && n <= kMax);
  auto at = [a, lda](int i, int j) -> double& { return a[i + static_cast<long>(j) * lda]; };

  for (int k = 0; k < n; ++k) {
    // Largest remaining entry, searched column by column and row by row;
    // ties keep the earlier entry. Each column is scanned on its own (short
    // independent chains), then the columns are compared in order.
    int ip = k, jp = k;
    double big = -1.0;
    for (int j = k; j < n; ++j) {
      const double* cj = a + static_cast<long>(j) * lda;
      double cbig = std::fabs(cj[k]);
      int ci = k;
      for (int i = k + 1; i < n; ++i) {
        const double v = std::fabs(cj[i]);
        if (v > cbig) {
          cbig = v;
          ci = i;
        }
      }
      if (cbig > big) {
        big = cbig;
        ip = ci;
        jp = j;
      }
    }
    if (!(big > kStop)) return false;
    prow[k] = ip;
    pcol[k] = jp;
    if (ip != k)
      for (int j = 0; j < n; ++j) std::swap(at(k, j), at(ip, j));
    if (jp != k)
      for (int i = 0; i < n; ++i) std::swap(at(i, k), at(i, jp));

    const double piv = at(k, k);
    const double rpiv = 1.0 / piv;
    double* ck = a + static_cast<long>(k) * lda;  // pivot column
    for (int i = 0; i < n; ++i) {
      if (std::fabs(ck[i]) < kZero) ck[i] = 0.0;
      ck[i] *= -rpiv;
    }
    // With the pivot entry held at zero the reduction leaves the pivot row
    // alone, and the loop over the rows needs no test.
    ck[k] = 0.0;
    for (int j = 0; j < n; ++j) {
      if (j == k) continue;
      double* cj = a + static_cast<long>(j) * lda;
      const double akj = cj[k];
      for (int i = 0; i < n; ++i) cj[i] += ck[i] * akj;
    }
    for (int j = 0; j < n; ++j) {
      if (j == k) continue;
      double& v = at(k, j);
      if (std::fabs(v) < kZero) v = 0.0;
      v *= rpiv;
    }
    at(k, k) = rpiv;
  }

  // Undo the interchanges in reverse order: a row interchange of the matrix
  // becomes a column interchange of its inverse, and the other way round.
  for (int k = n - 1; k >= 0; --k) {
    if (prow[k] != k)
      for (int i = 0; i < n; ++i) std::swap(at(i, k), at(i, prow[k]));
    if (pcol[k] != k)
      for (int j = 0; j < n; ++j) std::swap(at(k, j), at(pcol[k], j));
  }
  return true;
}

bool CONDENSE(MemberSystem& sys, Condensed& out) {
  const bool ok = MATINVERT(NINNER, sys.KII.data(), NINNER);

  // RCM = -KII^-1 KIE, RCV = -KII^-1 FI.
  mat_mul(sys.KII, sys.KIE, out.RCM);
  for (double& v : out.RCM.a) v = -v;
  mat_vec(sys.KII, sys.FI, out.RCV);
  for (double& v : out.RCV) v = -v;

  // KM = KEE + KEI RCM, FM = FE + KEI RCV.
  mat_mul(sys.KEI, out.RCM, out.KM);
  for (int i = 0; i < 36; ++i) out.KM.a[i] += sys.KEE.a[i];
  mat_vec(sys.KEI, out.RCV, out.FM);
  for (int i = 0; i < 6; ++i) out.FM[i] += sys.FE[i];
  return ok;
}

}  // namespace nlf
