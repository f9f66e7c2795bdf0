#include "run/iteration.h"

#include <cmath>

#include "solver/band.h"

namespace nlf {

namespace {

double sum_squares(const RVec& v, int n) {
  double s = 0;
  for (int i = 1; i <= n; ++i) s += v(i) * v(i);
  return s;
}

}  // namespace

void set_applied_load(Model& md, const LoadGroup& g, double dl_applied) {
  md.UNB.fill(0.0);
  md.RHS.fill(0.0);
  for (int j = 1; j <= md.NJ; ++j)
    for (int d = 1; d <= 3; ++d) {
      const int e = md.pat(j, d);
      md.UNB(joint_serial(j, d)) = md.PLOAD(e) + dl_applied * g.FACTOR * md.PFORCE(e);
    }
}

void add_springs(Model& md) {
  for (int k = 1; k <= md.NK; ++k) {
    const int j = md.KJ(k);
    for (int d = 1; d <= 3; ++d) md.UNB(joint_serial(j, d)) -= md.SPF(k, d);
  }
}

void set_member_load_factors(Model& md, const LoadGroup& g, const StepState& s) {
  if (md.MLOADS == nullptr) return;
  MemberLoadTable& t = *md.MLOADS;
  const bool arc = g.arc_length();
  t.applied = arc ? s.dl_applied * g.FACTOR : 0.0;
  t.reference = arc ? g.FACTOR : 0.0;
}

void add_reference_load(Model& md, const LoadGroup& g) {
  for (int j = 1; j <= md.NJ; ++j)
    for (int d = 1; d <= 3; ++d)
      md.RHS(md.eq(j, d), 1) += g.FACTOR * md.PFORCE(md.pat(j, d));
  // The member loads of the pattern, as the member pass condensed them onto
  // the end joints, in member order.
  if (md.MLOADS == nullptr || !md.MLOADS->any) return;
  const MemberLoadTable& t = *md.MLOADS;
  for (int m = 1; m <= md.NM; ++m) {
    if (!t.referenced(m)) continue;
    const auto& p = t.ref_end[static_cast<std::size_t>(m - 1)];
    for (int end = 0; end < 2; ++end)
      for (int d = 1; d <= 3; ++d) md.RHS(md.eq(md.IJ(m, end + 1), d), 1) += p[static_cast<std::size_t>(3 * end + d - 1)];
  }
}

void add_resisting_forces(Model& md, int col) {
  for (int s = 1; s <= 3 * md.NJ; ++s) {
    md.UNB(s) -= md.R(s);
    md.RHS(md.IEQ(s), col) += md.UNB(s);
  }
}

bool convergence_test(const Model& md, const LoadGroup& g, StepState& s, TextOut& listing) {
  if (s.ktan != 0 || s.ITER < 1) return false;
  static const Format iteration_line("(2X,I3,2X,1P,4E20.4)");
  const double a = sum_squares(md.DITER, 3 * md.NJ);
  const double b = sum_squares(md.DSTEP, 3 * md.NJ);
  s.a = a;
  s.b = b;
  s.ratio = a / b;
  listing.write(iteration_line, {s.ITER, a, b, s.ratio, s.DLAM});
  if (s.ITER > md.MINIT && (s.ITER >= md.MAXIT || s.ratio < g.TOL || std::isnan(s.ratio))) {
    s.converged = s.ratio < g.TOL || std::isnan(s.ratio);
    return true;
  }
  return false;
}

void solve(Model& md, const LoadGroup& g, const StepState& s, GlobalMatrix& K, int taken, double& DETLOG,
           TextOut& listing, PivotCount& pivots) {
  apply_prescribed(md.sz.NRHS, md.RHS, md.PDISP, md.LTYPE, md.NJ, md.IEQ, s.ktan, md.sz.MUMJ, g.FACTOR);
  K.solve(taken, md.sz.NRHS, md.RHS, md.SOL, md.LTYPE, md.NJ, DETLOG, md.IEQ, md.sz.MUMJ, listing, &pivots);
  write_detlog(listing, DETLOG);
}

void load_control_increment(Model& md) {
  for (int i = 1; i <= md.NEQ; ++i) md.DITER(i) = md.SOL(i, 1);
}

void arc_length_increment(Model& md, StepState& s) {
  const int NEQ = md.NEQ;
  if (s.ITER == 0) {
    const double p = sum_squares(md.SOL.col(1), NEQ);
    s.DLAM = NEQ > 0 ? std::sqrt(s.arclen * s.arclen / (p + 1)) : std::fabs(s.arclen);
    if (s.orient) {
      double along = 0;
      for (int i = 1; i <= NEQ; ++i) along += md.DFIRST(i) * md.SOL(i, 1);
      if (along < 0) s.DLAM = -s.DLAM;
    }
    for (int i = 1; i <= NEQ; ++i) {
      md.DITER(i) = s.DLAM * md.SOL(i, 1);
      md.DFIRST(i) = md.DITER(i);
    }
    s.DLAM1 = s.DLAM;
    s.DLSTEP = s.DLAM;
  } else {
    double gdot = 0, hdot = 0;
    for (int i = 1; i <= NEQ; ++i) {
      gdot += md.DFIRST(i) * md.SOL(i, 1);
      hdot += md.DFIRST(i) * md.SOL(i, 2);
    }
    s.DLAM = -hdot / (gdot + s.DLAM1);
    for (int i = 1; i <= NEQ; ++i) md.DITER(i) = s.DLAM * md.SOL(i, 1) + md.SOL(i, 2);
    s.DLSTEP += s.DLAM;
  }
  s.dl_applied = s.DLSTEP;
}

void update_springs(Model& md, TextOut& listing) {
  static const Format spring_line("(1X,'N,FX,FY,FM =',I5,3F13.3)");
  for (int k = 1; k <= md.NK; ++k) {
    const int j = md.KJ(k);
    for (int d = 1; d <= 3; ++d) md.SPF(k, d) += md.KF(k, d) * md.DITER(md.eq(j, d));
    listing.write(spring_line, {j, md.SPF(k, 1), md.SPF(k, 2), md.SPF(k, 3)});
  }
}

void update_totals(Model& md) {
  for (int i = 1; i <= md.NEQ; ++i) {
    md.DISP(i) += md.DITER(i);
    md.DSTEP(i) += md.DITER(i);
  }
  const int NMP = md.sz.NMP();
  for (int m = 1; m <= md.NM; ++m)
    for (int k = 1; k <= NMP; ++k) {
      md.DPRUN(k, m) += md.DPT(k, m);
      md.DPSTEP(k, m) += md.DPT(k, m);
    }
}

}  // namespace nlf
