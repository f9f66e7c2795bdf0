// Per-member work of the pass and of the recovery; no store traffic here.
#include "member/member_build.h"

#include "member/member_loads.h"

#include <cstdint>
#include <cstring>

#include "member/fibre_law.h"
#include "member/residual_fibres.h"
#include "store/lanes.h"

namespace nlf {

// The trial law four fibres at a time (its lane form, member/fibre_law.h);
// a group with a fibre that must re-anchor its range goes through the
// scalar law. The sums then run with two stations side by side, each over
// its fibres in order.
// The trial law of the member's fibres in its lane form: f.SIGT, and the
// stresses and tangents times the areas.
void trial_lanes(const FibreMaterial& mat, const MemberFibres& f, Stiffness stiffness, const double* area, double* fa,
                 double* ea);
// The five sums of every station from the fibres' stresses and tangents
// times their areas.
void add_station_sums(const double* z, const double* fa, const double* ea, std::array<StationValues, NSTA>& st);

void station_sums(const Model& md, int m, const MemberFibres& f, Stiffness stiffness, std::array<StationValues, NSTA>& st) {
  static_assert(NFIB % 4 == 0 && NSTA % 2 == 0, "fibres go in fours, stations in pairs");
  const FibreMaterial mat{md.E, md.E2, md.E3, md.SYM(m), md.EYM(m)};
  const int sec = md.ISEC(m);
  double area[NFIB], z[NFIB];
  for (int i = 1; i <= NFIB; ++i) {
    area[i - 1] = md.AREA(sec, i);
    z[i - 1] = md.ZF(sec, i);
  }
  double fa[NFM], ea[NFM];
  if (const SectionResidual* r = md.residual(sec); r != nullptr && f.SUB != nullptr) {
    // Residual stresses: every strip through its sub-fibres.
    double et[NFM];
    residual_trial(mat, *r, f, stiffness, et);
    for (int i = 0; i < NFM; ++i) {
      fa[i] = f.SIGT[i] * area[i % NFIB];
      ea[i] = et[i] * area[i % NFIB];
    }
  } else {
    trial_lanes(mat, f, stiffness, area, fa, ea);
  }
  add_station_sums(z, fa, ea, st);
}

NLF_HOT_LOOP void trial_lanes(const FibreMaterial& mat, const MemberFibres& f, Stiffness stiffness, const double* area,
                              double* fa, double* ea) {
  const V4 E = {mat.E, mat.E, mat.E, mat.E}, E2 = {mat.E2, mat.E2, mat.E2, mat.E2};
  const bool flat = mat.E2 == 0.0;
  const double ef = plastic_slope(mat.E, mat.E2);
  const V4 Ef = {ef, ef, ef, ef};
  for (int i = 0; i < NFM; i += 4) {
    const V4 sig = NLF_LOAD4(f.SIG + i), su = NLF_LOAD4(f.SIGU + i), sl = NLF_LOAD4(f.SIGL + i);
    const V4 deps = NLF_LOAD4(f.DEPS + i);
    M4 inside;
    V4 sigt;
    if (lanes4_plain(stiffness, flat, sig, su, sl, deps, inside)) {
      const V4 eps = NLF_LOAD4(f.EPS + i), eu = NLF_LOAD4(f.EPSU + i), el = NLF_LOAD4(f.EPSL + i);
      lanes4_stress(E, E2, sig, eps, deps, su, sl, eu, el, inside, sigt);
    } else {
      for (int l = 0; l < 4; ++l) {
        const int at = i + l;
        FibreValues v{f.SIGU[at], f.SIGL[at], f.EPSU[at], f.EPSL[at], f.SIG[at], f.EPS[at]};
        sigt[l] = fibre_law(LawMode::Trial, stiffness, mat, v, f.DEPS[at]);
      }
    }
    NLF_STORE4(f.SIGT + i) = sigt;
    V4 et;
    lanes4_tangent(stiffness, flat, E, E2, Ef, sigt, su, sl, et);
    const V4 a = NLF_LOAD4(area + i % NFIB);
    NLF_STORE4(fa + i) = sigt * a;
    NLF_STORE4(ea + i) = et * a;
  }
}

NLF_HOT_LOOP void add_station_sums(const double* z, const double* fa, const double* ea,
                                   std::array<StationValues, NSTA>& st) {
  for (int k = 0; k < NSTA; k += 2) {
    V2 sn{0.0, 0.0}, sm = sn, sea = sn, ses = sn, sei = sn;
    const double* fa0 = fa + k * NFIB;
    const double* ea0 = ea + k * NFIB;
    for (int i = 0; i < NFIB; ++i) {
      const V2 fv{fa0[i], fa0[i + NFIB]}, ev{ea0[i], ea0[i + NFIB]}, zv{z[i], z[i]};
      sn += fv;
      sm += fv * zv;
      sea += ev;
      ses += ev * zv;
      sei += ev * zv * zv;
    }
    for (int l = 0; l < 2; ++l) st[k + l] = StationValues{sn[l], sm[l], sea[l], ses[l], sei[l]};
  }
}

std::array<double, 6> member_end_forces(const Vec6& FM, double c1, double s1, double c5,
                                        double s5) {
  const double fxa = FM[0], fya = FM[1], fra = FM[2];
  const double fxb = FM[3], fyb = FM[4], frb = FM[5];
  return {-(fxa * c1 + fya * s1), fxa * s1 - fya * c1, -fra,
          fxb * c5 + fyb * s5,    fyb * c5 - fxb * s5, -frb};
}

bool condense_member(const Model& md, int m, const std::array<StationValues, NSTA>& st,
                     MemberResult& out) {
  MemberSystem sys;
  sys.clear();
  SegGeom g;
  SegLoads ld;
  // The geometric terms are left out for any nonzero MGEO, as the geometry
  // update treats it.
  ld.gamma = md.MGEO(m) != 0 ? 0.0 : 1.0;
  ld.spring = md.MC6(m);
  ld.load = md.MC7(m);
  const bool loaded = md.member_loaded(m);
  const MemberLoad q = loaded ? md.MLOADS->current(m) : MemberLoad{};
  Mat6 KS, KN;
  Vec6 FS, FN;
  for (int k = 1; k <= NSEG; ++k) {
    segment_geometry(md.XM(m, k), md.XM(m, k + 1), md.YM(m, k), md.YM(m, k + 1), g);
    if (k == 1) {
      out.c1 = g.c;
      out.s1 = g.s;
    }
    if (k == NSEG) {
      out.c5 = g.c;
      out.s5 = g.s;
    }
    ld.dyp1 = md.DPRUN(3 * k - 1, m);
    ld.dyp2 = md.DPRUN(3 * (k + 1) - 1, m);
    segment_stiffness(g, st[2 * k - 2], st[2 * k - 1], ld, KS, FS);
    if (loaded) {
      // The member load of the load history: its node-point loads come off
      // the resisting forces.
      Vec6 P;
      segment_load(g, q, P);
      for (int i = 0; i < 6; ++i) FS[i] -= P[i];
    }
    to_node_order(KS, KN);
    to_node_order(FS, FN);
    chain_add(k, KN, FN, sys);
  }
  const bool ok = condense(sys, out.cond);
  if (loaded && md.MLOADS->referenced(m)) condense_reference_load(md, m, sys, true);
  out.endf = member_end_forces(out.cond.FM, out.c1, out.s1, out.c5, out.s5);
  return ok;
}

bool build_member(Model& md, int m, const MemberFibres& f, Stiffness stiffness, MemberResult& out) {
  std::array<StationValues, NSTA> st;
  station_sums(md, m, f, stiffness, st);
  const bool ok = condense_member(md, m, st, out);
  std::memcpy(md.rcm(m).data(), out.cond.RCM.data(), sizeof out.cond.RCM.a);
  std::memcpy(md.rcv(m).data(), out.cond.RCV.data(), sizeof out.cond.RCV);
  for (int j = 1; j <= 6; ++j) md.MEMF(m, j) = out.endf[j - 1];
  return ok;
}

void recover_points(const Model& md, int m, const RVec& sol, double* dp) {
  const int a = md.IJ(m, 1), b = md.IJ(m, 2);
  const double dE[6] = {sol(md.eq(a, 1)), sol(md.eq(a, 2)), sol(md.eq(a, 3)),
                        sol(md.eq(b, 1)), sol(md.eq(b, 2)), sol(md.eq(b, 3))};
  const double* rcm = md.rcm(m).data();
  const double* rcv = md.rcv(m).data();
  for (int k = 0; k < 3; ++k) {
    dp[k] = dE[k];
    dp[15 + k] = dE[3 + k];
  }
  for (int i = 0; i < NINNER; ++i) {
    double v = rcv[i];
    for (int j = 0; j < 6; ++j) v += rcm[i + NINNER * j] * dE[j];
    dp[3 + i] = v;
  }
  // Under arc-length control the inner points of a member with a load in
  // the pattern move with the iteration's load-factor increment too.
  if (md.member_loaded(m) && md.MLOADS->referenced(m)) {
    const auto& x = md.MLOADS->ref_inner[static_cast<std::size_t>(m - 1)];
    const double dlam = md.MLOADS->dlam;
    for (int i = 0; i < NINNER; ++i) dp[3 + i] += dlam * x[static_cast<std::size_t>(i)];
  }
}

NLF_HOT_LOOP void segment_strains(double x1, double x2, double y1, double y2, const Vec6& d,
                            const double* z, int nf, double* de1, double* de2) {
  SegGeom g;
  segment_geometry(x1, x2, y1, y2, g);
  Vec6 loc, gen;
  mat_vec(g.TR, d, loc);
  mat_vec(g.AG, loc, gen);
  const double L = g.L;
  const double b1 = gen[Gen::B1 - 1], a1 = gen[Gen::A1 - 1], a2 = gen[Gen::A2 - 1], a3 = gen[Gen::A3 - 1];
  const double th1 = a1 - L * a2 + 0.75 * L * L * a3;
  const double th2 = a1 + L * a2 + 0.75 * L * L * a3;
  const double k1 = 2.0 * a2 - 3.0 * L * a3;
  const double k2 = 2.0 * a2 + 3.0 * L * a3;
  // The quadratic term uses the slope of this increment only.
  const double e1 = b1 + 0.5 * th1 * th1;
  const double e2 = b1 + 0.5 * th2 * th2;
  for (int i = 0; i < nf; ++i) {
    de1[i] = e1 - z[i] * k1;
    de2[i] = e2 - z[i] * k2;
  }
}

}  // namespace nlf
