#include "member/residual_fibres.h"

#include <cmath>

namespace nlf {

namespace {

// The committed values of sub-fibre n of strip i at station k, with the
// strip's strain plus the sub-fibre's initial strain.
FibreValues sub_values(const FibreMaterial& mat, const SectionResidual& r, const MemberFibres& f, int i, int k,
                       int n) {
  const int at = MemberFibres::at(i, k);
  const double* s = f.SUB + sub_at(at, n);
  return FibreValues{s[0], s[1], s[2], s[3], s[4], f.EPS[at] + sub_stress0(r, i, n) / mat.E};
}

}  // namespace

void residual_trial(const FibreMaterial& mat, const SectionResidual& r, const MemberFibres& f, Stiffness stiffness,
                    double* et) {
  for (int k = 1; k <= NSTA; ++k)
    for (int i = 1; i <= NFIB; ++i) {
      const int at = MemberFibres::at(i, k);
      double sig = 0, tangent = 0;
      for (int n = 0; n < sub_count(r, i); ++n) {
        FibreValues v = sub_values(mat, r, f, i, k, n);
        const double st = fibre_law(LawMode::Trial, stiffness, mat, v, f.DEPS[at]);
        const double share = sub_share(r, i, n);
        sig += share * st;
        tangent += share * fibre_tangent(stiffness, mat.E, mat.E2, st, v.SIGL, v.SIGU);
      }
      f.SIGT[at] = sig;
      et[at] = tangent;
    }
}

void residual_commit(const FibreMaterial& mat, const SectionResidual& r, const MemberFibres& f) {
  for (int k = 1; k <= NSTA; ++k)
    for (int i = 1; i <= NFIB; ++i) {
      const int at = MemberFibres::at(i, k);
      double sig = 0, up = 0, down = 0;
      for (int n = 0; n < sub_count(r, i); ++n) {
        FibreValues v = sub_values(mat, r, f, i, k, n);
        const double st = fibre_law(LawMode::Commit, Stiffness::Tangent, mat, v, f.DEPS[at]);
        double* s = f.SUB + sub_at(at, n);
        s[0] = v.SIGU;
        s[1] = v.SIGL;
        s[2] = v.EPSU;
        s[3] = v.EPSL;
        s[4] = v.SIG;
        const double share = sub_share(r, i, n);
        sig += share * st;
        if (st >= v.SIGU) up += share;
        if (!(st > v.SIGL)) down += share;
      }
      f.SIG[at] = sig;
      f.EPS[at] += f.DEPS[at];
      f.SIGU[at] = up >= 0.5 ? sig : HUGE_VAL;
      f.SIGL[at] = down >= 0.5 && up < 0.5 ? sig : -HUGE_VAL;
    }
}

void residual_branch_corrections(const FibreMaterial& mat, const SectionResidual& r, const MemberFibres& f,
                                 Stiffness stiffness, double* d) {
  for (int k = 1; k <= NSTA; ++k)
    for (int i = 1; i <= NFIB; ++i) {
      const int at = MemberFibres::at(i, k);
      const double deps = f.DEPS[at];
      double sum = 0;
      for (int n = 0; n < sub_count(r, i); ++n) {
        const FibreValues v = sub_values(mat, r, f, i, k, n);
        const bool inside = inside_range(mat.E2, v.SIG, v.SIGU, v.SIGL);
        if (stiffness == Stiffness::Tangent && (inside || deps * v.SIG >= 0.0)) continue;
        FibreValues t = v;
        const double st = fibre_law(LawMode::Trial, stiffness, mat, t, deps);
        sum += sub_share(r, i, n) *
               (fibre_branch_slope(stiffness, mat, v, deps) - fibre_tangent(stiffness, mat.E, mat.E2, st, v.SIGL, v.SIGU));
      }
      d[at] = sum;
    }
}

}  // namespace nlf
