#include "member/exact_tangent.h"

#include "member/fibre_law.h"
#include "member/member_loads.h"
#include "member/residual_fibres.h"
#include "store/lanes.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace nlf {

namespace {

// Position of freedom `comp` (0 X, 1 Y, 2 R) of point p (1..6) among the 18.
constexpr int at(int p, int comp) { return 3 * (p - 1) + comp; }

// Point and component of segment-order freedom q (X1, X2, Y1, Y2, R1, R2)
// of segment k.
constexpr int seg_to_member(int k, int q) { return at(k + q % 2, q / 2); }

// Marks in plain[g] whether every fibre of group g (fibres 4g .. 4g+3) is
// inside its range or loading further, the pass's tangent then being its
// branch slope, as the law's lane form tells it; returns whether all are.
NLF_HOT_LOOP bool plain_groups(double E2, const MemberFibres& f, bool* plain) {
  static_assert(NFM % 4 == 0, "fibres go in fours");
  const bool flat = E2 == 0.0;
  bool all = true;
  for (int i = 0; i < NFM; i += 4) {
    const V4 sig = NLF_LOAD4(f.SIG + i);
    const V4 su = NLF_LOAD4(f.SIGU + i);
    const V4 sl = NLF_LOAD4(f.SIGL + i);
    const V4 deps = NLF_LOAD4(f.DEPS + i);
    M4 inside;
    plain[i / 4] = lanes4_plain(Stiffness::Tangent, flat, sig, su, sl, deps, inside);
    all = all && plain[i / 4];
  }
  return all;
}

}  // namespace

void branch_tangent_sums(const Model& md, int m, const MemberFibres& f, Stiffness stiffness,
                         std::array<StationValues, NSTA>& st) {
  // A fibre inside its range or loading further has the slope that the
  // pass's tangent gives it already (E2 exactly when its trial stress went
  // past a bound; with a flat branch, on or past it); only a fibre whose
  // range moves (a reversal beyond the range or, with a flat branch, from
  // its bound, or any fibre with the initial stiffness) is set right here.
  const FibreMaterial mat{md.E, md.E2, md.E3, md.SYM(m), md.EYM(m)};
  const int sec = md.ISEC(m);
  // The correction of every fibre: the branch slope minus the tangent the
  // pass gave it (0 where they agree).
  double d[NFM];
  if (const SectionResidual* r = md.residual(sec); r != nullptr && f.SUB != nullptr) {
    residual_branch_corrections(mat, *r, f, stiffness, d);
  } else {
    bool plain[NFM / 4] = {};
    if (stiffness == Stiffness::Tangent && plain_groups(mat.E2, f, plain)) {
      // Not a fibre to set right: the station sums take nothing but zeros.
      for (StationValues& s : st) {
        s.SEA += 0.0;
        s.SES += 0.0;
        s.SEI += 0.0;
      }
      return;
    }
    for (int j = 0; j < NFM; ++j) {
      d[j] = 0.0;
      if (stiffness == Stiffness::Tangent && plain[j / 4]) continue;
      const double sig = f.SIG[j], deps = f.DEPS[j];
      const bool inside = inside_range(mat.E2, sig, f.SIGU[j], f.SIGL[j]);
      if (stiffness == Stiffness::Tangent && (inside || deps * sig >= 0.0)) continue;
      const FibreValues v{f.SIGU[j], f.SIGL[j], f.EPSU[j], f.EPSL[j], sig, f.EPS[j]};
      d[j] = fibre_branch_slope(stiffness, mat, v, deps) -
             fibre_tangent(stiffness, mat.E, mat.E2, f.SIGT[j], f.SIGL[j], f.SIGU[j]);
    }
  }
  for (int k = 1; k <= NSTA; ++k) {
    double sea = 0.0, ses = 0.0, sei = 0.0;
    for (int i = 1; i <= NFIB; ++i) {
      const double dd = d[MemberFibres::at(i, k)];
      if (dd == 0.0) continue;
      const double ea = dd * md.AREA(sec, i), z = md.ZF(sec, i);
      sea += ea;
      ses += ea * z;
      sei += ea * z * z;
    }
    st[k - 1].SEA += sea;
    st[k - 1].SES += ses;
    st[k - 1].SEI += sei;
  }
}

NLF_HOT_LOOP void exact_member(const Model& md, int m, const std::array<StationValues, NSTA>& st,
                  ExactMember& out) {
  Mat18& K = out.K;
  K.clear();
  out.F.fill(0.0);
  const bool chord = md.MGEO(m) != 0;  // the points go back onto the chord
  const double spring = 0.5 * md.MC6(m), load = md.MC7(m);
  const bool loaded = md.member_loaded(m);
  const MemberLoad q = loaded ? md.MLOADS->current(m) : MemberLoad{};
  for (int k = 1; k <= NSEG; ++k) {
    SegGeom g;
    segment_geometry(md.XM(m, k), md.XM(m, k + 1), md.YM(m, k), md.YM(m, k + 1), g);
    const double L = g.L, c = g.c, s = g.s;
    if (k == 1) out.c1 = c, out.s1 = s;
    if (k == NSEG) out.c5 = c, out.s5 = s;
    const StationValues& s1 = st[2 * k - 2];
    const StationValues& s2 = st[2 * k - 1];

    // Material part on the local end quantities (u1, u2, w1, w2, th1, th2):
    // the strain recovery gives eps0 = b1 and the curvatures
    // k1 = 2 a2 - 3 L a3, k2 = 2 a2 + 3 L a3 at the two stations; the
    // stations give dN = SEA deps0 - SES dk, dM = SES deps0 - SEI dk; the
    // local end forces are (-N, N, -V, V, M1, -M2), N the mean axial force
    // and V = (M2 - M1) / L.
    Mat6 D;
    for (int j = 1; j <= 6; ++j) {
      const double b1 = g.AG(Gen::B1, j), a2 = g.AG(Gen::A2, j), a3 = g.AG(Gen::A3, j);
      const double k1 = 2.0 * a2 - 3.0 * L * a3, k2 = 2.0 * a2 + 3.0 * L * a3;
      const double n1 = s1.SEA * b1 - s1.SES * k1, n2 = s2.SEA * b1 - s2.SES * k2;
      const double m1 = s1.SES * b1 - s1.SEI * k1, m2 = s2.SES * b1 - s2.SEI * k2;
      const double nbar = 0.5 * (n1 + n2), v = (m2 - m1) / L;
      D(1, j) = -nbar;
      D(2, j) = nbar;
      D(3, j) = -v;
      D(4, j) = v;
      D(5, j) = m1;
      D(6, j) = -m2;
    }
    // To global: TR^T D TR.
    Mat6 KS;
    turn_to_global(D, c, s, KS);

    // The forces the segment carries, local and global (segment order,
    // without the distributed load).
    const double q1 = md.DPRUN(3 * k - 1, m), q2 = md.DPRUN(3 * (k + 1) - 1, m);
    const double k1 = q1 < 0.0 ? spring : 0.0, k2 = q2 < 0.0 ? spring : 0.0;
    const double nbar = 0.5 * (s1.SN + s2.SN), v = (s2.SM - s1.SM) / L;
    const double fu[2] = {-nbar, nbar}, fw[2] = {-v + k1 * q1, v + k2 * q2};
    double X[2], Y[2];
    for (int e = 0; e < 2; ++e) {
      X[e] = c * fu[e] - s * fw[e];
      Y[e] = s * fu[e] + c * fw[e];
    }

    // The resisting forces: these end forces, the load's share, the moments.
    Vec6 FS{X[0], X[1], Y[0] + 0.5 * load * L, Y[1] + 0.5 * load * L, s1.SM, -s2.SM};
    Vec6 Px{}, Py{};  // the member load's node-point loads and their change with the chord
    if (loaded) {
      Vec6 P;
      segment_load(g, q, P);
      segment_load_slopes(g, q, Px, Py);
      for (int i = 0; i < 6; ++i) FS[i] -= P[i];
    }
    for (int i = 0; i < 6; ++i) out.F[seg_to_member(k, i)] += FS[i];

    // Springs: the local force k q grows with the point's Y increment.
    const double ks[2] = {k1, k2};
    for (int e = 0; e < 2; ++e) {
      KS(1 + e, 3 + e) += -s * ks[e];
      KS(3 + e, 3 + e) += c * ks[e];
    }

    // Geometric part: with the chord change (dx, dy) the segment turns by
    // dphi = (c dy - s dx) / L and lengthens by dL = c dx + s dy. Turning
    // rotates every end force; lengthening changes V (dV = -V dL / L) and
    // the load's share (half of MC7 dL to each end, upward).
    Vec6 Gphi{-Y[0], -Y[1], X[0], X[1], 0.0, 0.0};
    const double dv = -v / L;  // dV / dL
    Vec6 GL{-s * (-dv), -s * dv, c * (-dv) + 0.5 * load, c * dv + 0.5 * load, 0.0, 0.0};
    Vec6 Gx, Gy;
    for (int i = 0; i < 6; ++i) {
      Gx[i] = Gphi[i] * (-s / L) + GL[i] * c;
      Gy[i] = Gphi[i] * (c / L) + GL[i] * s;
    }
    if (loaded)
      for (int i = 0; i < 6; ++i) {
        Gx[i] -= Px[i];
        Gy[i] -= Py[i];
      }

    // Into the member: the segment's own freedoms, then the chord change,
    // which comes from its own end points, or (points back on the chord)
    // from the member's end joints: every segment is a fifth of A -> B.
    for (int j = 0; j < 6; ++j)
      for (int i = 0; i < 6; ++i)
        K(seg_to_member(k, i) + 1, seg_to_member(k, j) + 1) += KS.a[i + 6 * j];
    int cx1, cx2, cy1, cy2;
    double w = 1.0;
    if (chord) {
      cx1 = at(1, 0), cx2 = at(NPT, 0), cy1 = at(1, 1), cy2 = at(NPT, 1);
      w = 1.0 / NSEG;
    } else {
      cx1 = at(k, 0), cx2 = at(k + 1, 0), cy1 = at(k, 1), cy2 = at(k + 1, 1);
    }
    for (int i = 0; i < 6; ++i) {
      const int r = seg_to_member(k, i) + 1;
      K(r, cx1 + 1) -= w * Gx[i];
      K(r, cx2 + 1) += w * Gx[i];
      K(r, cy1 + 1) -= w * Gy[i];
      K(r, cy2 + 1) += w * Gy[i];
    }
  }
}

namespace {

// Solves KII X = B (the six KIE columns and FI) by elimination with row
// interchanges. False when a pivot is 1.0E-20 or less in absolute value:
// the caller then inverts KII as the usual condensation does.
NLF_HOT_LOOP bool solve_inner(Mat12 KII, SMat<NINNER, 7>& B) {
  constexpr int n = NINNER;
  double* a = KII.data();
  double* b = B.data();
  for (int k = 0; k < n; ++k) {
    double* ck = a + n * k;
    int p = k;
    for (int i = k + 1; i < n; ++i)
      if (std::fabs(ck[i]) > std::fabs(ck[p])) p = i;
    if (!(std::fabs(ck[p]) > 1.0e-20)) return false;
    if (p != k) {
      for (int j = 0; j < n; ++j) std::swap(a[k + n * j], a[p + n * j]);
      for (int j = 0; j < 7; ++j) std::swap(b[k + n * j], b[p + n * j]);
    }
    // The multipliers in the pivot column, then column by column.
    const double rp = 1.0 / ck[k];
    for (int i = k + 1; i < n; ++i) ck[i] *= rp;
    for (int j = k + 1; j < n + 7; ++j) {
      double* cj = j < n ? a + n * j : b + n * (j - n);
      const double f = cj[k];
      if (f == 0.0) continue;
      for (int i = k + 1; i < n; ++i) cj[i] -= ck[i] * f;
    }
  }
  for (int j = 0; j < 7; ++j) {
    double* bj = b + n * j;
    for (int k = n - 1; k >= 0; --k) {
      const double x = bj[k] / a[k + n * k];
      bj[k] = x;
      if (x == 0.0) continue;
      const double* ck = a + n * k;
      for (int i = 0; i < k; ++i) bj[i] -= ck[i] * x;
    }
  }
  return true;
}

}  // namespace

bool build_member_exact(Model& md, int m, const MemberFibres& f, Stiffness stiffness, MemberResult& out) {
  std::array<StationValues, NSTA> st;
  station_sums(md, m, f, stiffness, st);
  branch_tangent_sums(md, m, f, stiffness, st);
  ExactMember ex;
  exact_member(md, m, st, ex);
  out.c1 = ex.c1, out.s1 = ex.s1, out.c5 = ex.c5, out.s5 = ex.s5;

  // The blocks: end joints are points 1 and 6 (freedoms 0..2 and 15..17),
  // the inner points 2..5 (freedoms 3..14, side by side in every column).
  MemberSystem sys;
  static constexpr int ends[6] = {0, 1, 2, 15, 16, 17};
  const double* K = ex.K.a.data();
  for (int j = 0; j < 6; ++j) {
    const double* col = K + NPDOF * ends[j];
    for (int i = 0; i < 6; ++i) sys.KEE.a[i + 6 * j] = col[ends[i]];
    std::memcpy(sys.KIE.a.data() + NINNER * j, col + 3, NINNER * sizeof(double));
    sys.FE[j] = ex.F[ends[j]];
  }
  for (int j = 0; j < NINNER; ++j) {
    const double* col = K + NPDOF * (j + 3);
    for (int i = 0; i < 6; ++i) sys.KEI.a[i + 6 * j] = col[ends[i]];
    std::memcpy(sys.KII.a.data() + NINNER * j, col + 3, NINNER * sizeof(double));
    sys.FI[j] = ex.F[j + 3];
  }

  // Condensation: RCM = -KII^-1 KIE, RCV = -KII^-1 FI, with the general
  // products (the coupling blocks are full when the points go back onto
  // the chord).
  Condensed& cd = out.cond;
  SMat<NINNER, 7> B;
  for (int i = 1; i <= NINNER; ++i) {
    for (int j = 1; j <= 6; ++j) B(i, j) = sys.KIE(i, j);
    B(i, 7) = sys.FI[i - 1];
  }
  bool ok = solve_inner(sys.KII, B);
  const bool solved = ok;
  if (ok) {
    for (int i = 1; i <= NINNER; ++i) {
      for (int j = 1; j <= 6; ++j) cd.RCM(i, j) = -B(i, j);
      cd.RCV[i - 1] = -B(i, 7);
    }
  } else {
    ok = invert_matrix(NINNER, sys.KII.data(), NINNER);
    inner_from_inverse(sys, cd);
  }
  outer_from_inner(sys, cd);
  // sys.KII is the matrix itself after the solve, its inverse after the
  // fallback.
  if (md.member_loaded(m) && md.MLOADS->referenced(m)) condense_reference_load(md, m, sys, !solved);

  out.endf = member_end_forces(cd.FM, out.c1, out.s1, out.c5, out.s5);
  std::memcpy(md.rcm(m).data(), cd.RCM.data(), sizeof cd.RCM.a);
  std::memcpy(md.rcv(m).data(), cd.RCV.data(), sizeof cd.RCV);
  for (int j = 1; j <= 6; ++j) md.MEMF(m, j) = out.endf[j - 1];
  return ok;
}

}  // namespace nlf
