#include "member/condense.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "store/lanes.h"

namespace nlf {

void MemberSystem::clear() {
  KEE.clear();
  KEI.clear();
  KIE.clear();
  KII.clear();
  FE.fill(0.0);
  FI.fill(0.0);
}

NLF_HOT_LOOP void chain_add(int k, const Mat6& KS, const Vec6& FS, MemberSystem& sys) {
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

bool invert_matrix(int n, double* a, int lda) {
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

namespace {

// True when every entry of the n values (n even) is finite: its exponent
// bits are not all set.
bool all_finite(const double* v, int n) {
  constexpr std::int64_t kExp = 0x7ff0000000000000LL;
  const M2 e = {kExp, kExp};
  M2 bad = {0, 0};
  for (int i = 0; i < n; i += 2) bad |= (reinterpret_cast<M2>(load2(v + i)) & e) == e;
  return !any2(bad);
}

// The largest absolute value of c[k..n-1] (finite values).
inline double column_max(const double* c, int k) {
  double big = std::fabs(c[k]);
  int i = k + 1;
  if ((NINNER - i) % 2 != 0) big = std::max(big, std::fabs(c[i++]));
  if (i == NINNER) return big;
  const M2 sign = {static_cast<std::int64_t>(0x8000000000000000ULL),
                   static_cast<std::int64_t>(0x8000000000000000ULL)};
  V2 m = splat2(big);
  for (; i < NINNER; i += 2) {
    const V2 v = reinterpret_cast<V2>(reinterpret_cast<M2>(load2(c + i)) & ~sign);
    m = v > m ? v : m;
  }
  return std::max(m[0], m[1]);
}

// c += col * f over the 12 entries of a column (col 16-byte aligned).
inline void add_scaled_column(double* c, const double* col, double f) {
  for (int r = 0; r < NINNER; r += 4) {
    V4u& cr = *reinterpret_cast<V4u*>(c + r);
    cr = cr + *reinterpret_cast<const V4u*>(col + r) * f;
  }
}

inline void swap_columns(double* x, double* y) {
  for (int r = 0; r < NINNER; r += 2) {
    const V2 t = load2(x + r);
    store2(x + r, load2(y + r));
    store2(y + r, t);
  }
}

// invert_matrix for the 12 x 12 inner system, step for step the same arithmetic
// on every entry that is not an exact zero: the update of a column whose
// pivot-row entry is zero is left out (it would add zeros), and the pivot
// search takes the column maxima first. For finite values the results are
// those of invert_matrix bit for bit (a zero may differ in sign, and no zero's
// sign reaches the condensed results, whose sums start from +0). A singular
// or non-finite system is inverted again by invert_matrix itself from a copy,
// so that its partly inverted state is exactly invert_matrix's.
NLF_HOT_LOOP bool invert_inner(Mat12& m, bool& finite) {
  constexpr int n = NINNER;
  constexpr double kStop = 1.0e-20;
  constexpr double kZero = 1.0e-30;
  const Mat12 saved = m;
  double* a = m.data();
  int prow[n], pcol[n];
  bool ok = true;
  for (int k = 0; k < n && ok; ++k) {
    // Largest remaining entry: the first column holding the largest column
    // maximum, in it the first row holding that maximum.
    double big = -1.0;
    int jp = k;
    for (int j = k; j < n; ++j) {
      const double cbig = column_max(a + j * n, k);
      if (cbig > big) {
        big = cbig;
        jp = j;
      }
    }
    if (!(big > kStop)) {
      ok = false;
      break;
    }
    int ip = k;
    const double* cp = a + jp * n;
    while (ip < n - 1 && std::fabs(cp[ip]) != big) ++ip;
    prow[k] = ip;
    pcol[k] = jp;
    if (ip != k)
      for (int j = 0; j < n; ++j) std::swap(a[k + j * n], a[ip + j * n]);
    if (jp != k) swap_columns(a + k * n, a + jp * n);

    const double rpiv = 1.0 / a[k + k * n];
    double* ck = a + k * n;
    alignas(16) double col[n];
    for (int i = 0; i < n; ++i) {
      const double v = std::fabs(ck[i]) < kZero ? 0.0 : ck[i];
      col[i] = v * -rpiv;
    }
    col[k] = 0.0;
    std::memcpy(ck, col, sizeof col);
    for (int j = 0; j < n; ++j) {
      double* cj = a + j * n;
      const double akj = cj[k];
      if (j == k || akj == 0.0) continue;
      add_scaled_column(cj, col, akj);
    }
    for (int j = 0; j < n; ++j) {
      double& v = a[k + j * n];
      if (std::fabs(v) < kZero) v = 0.0;
      v *= rpiv;
    }
    a[k + k * n] = rpiv;
  }
  if (!ok || !all_finite(a, n * n)) {
    m = saved;
    const bool done = invert_matrix(n, m.data(), n);
    finite = all_finite(m.data(), n * n);
    return done;
  }
  finite = true;
  for (int k = n - 1; k >= 0; --k) {
    if (prow[k] != k) swap_columns(a + k * n, a + prow[k] * n);
    if (pcol[k] != k)
      for (int j = 0; j < n; ++j) std::swap(a[k + j * n], a[pcol[k] + j * n]);
  }
  return true;
}

// The condensation products with the end-joint coupling blocks: KIE and KEI
// couple joint A only with inner point 2 (inner freedoms 0..2) and joint B
// only with inner point 5 (9..11); every other entry is an exact zero and
// its products are left out of the sums, which keep their order. With a
// finite inverse, RCM and RCV are those of the full products; KM and FM are
// when RCM and RCV are finite (the caller checks).
NLF_HOT_LOOP void condense_sparse(const MemberSystem& sys, Condensed& out) {
  const Mat12& inv = sys.KII;
  for (int j = 0; j < 6; ++j) {
    const int k0 = j < 3 ? 0 : 9;
    const double b0 = sys.KIE.a[k0 + NINNER * j], b1 = sys.KIE.a[k0 + 1 + NINNER * j],
                 b2 = sys.KIE.a[k0 + 2 + NINNER * j];
    const double* c0 = inv.data() + NINNER * k0;
    for (int i = 0; i < NINNER; ++i) {
      double v = 0.0;
      v += c0[i] * b0;
      v += c0[i + NINNER] * b1;
      v += c0[i + 2 * NINNER] * b2;
      out.RCM.a[i + NINNER * j] = -v;
    }
  }
  mat_vec(inv, sys.FI, out.RCV);
  for (double& v : out.RCV) v = -v;

  for (int i = 0; i < 6; ++i) {
    const int k0 = i < 3 ? 0 : 9;
    const double e0 = sys.KEI.a[i + 6 * k0], e1 = sys.KEI.a[i + 6 * (k0 + 1)],
                 e2 = sys.KEI.a[i + 6 * (k0 + 2)];
    for (int j = 0; j < 6; ++j) {
      const double* r = out.RCM.data() + NINNER * j + k0;
      double v = 0.0;
      v += e0 * r[0];
      v += e1 * r[1];
      v += e2 * r[2];
      out.KM.a[i + 6 * j] = v + sys.KEE.a[i + 6 * j];
    }
    const double* r = out.RCV.data() + k0;
    double v = 0.0;
    v += e0 * r[0];
    v += e1 * r[1];
    v += e2 * r[2];
    out.FM[i] = v + sys.FE[i];
  }
}

}  // namespace

void inner_from_inverse(const MemberSystem& sys, Condensed& out) {
  mat_mul(sys.KII, sys.KIE, out.RCM);
  for (double& v : out.RCM.a) v = -v;
  mat_vec(sys.KII, sys.FI, out.RCV);
  for (double& v : out.RCV) v = -v;
}

NLF_HOT_LOOP void outer_from_inner(const MemberSystem& sys, Condensed& out) {
  mat_mul(sys.KEI, out.RCM, out.KM);
  for (int i = 0; i < 36; ++i) out.KM.a[i] += sys.KEE.a[i];
  mat_vec(sys.KEI, out.RCV, out.FM);
  for (int i = 0; i < 6; ++i) out.FM[i] += sys.FE[i];
}

bool condense(MemberSystem& sys, Condensed& out) {
  bool finite = false;
  const bool ok = invert_inner(sys.KII, finite);
  if (ok && finite) {
    condense_sparse(sys, out);
    if (all_finite(out.RCM.data(), 72) && all_finite(out.RCV.data(), NINNER)) return true;
  }

  // The general products for a singular or non-finite system.
  inner_from_inverse(sys, out);
  outer_from_inner(sys, out);
  return ok;
}

}  // namespace nlf
