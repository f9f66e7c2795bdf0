#include "run/driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "io/stop.h"
#include "member/member_pass.h"
#include "model/restart_read.h"
#include "model/structure.h"
#include "output/step_results.h"
#include "run/history.h"
#include "solver/band.h"
#include "storage/restart_file.h"

namespace nlf {

namespace {

constexpr char kComment = '$';

// Member-state decision: every member's fibres in the member-state store, or
// one member at a time with the rest in scratch files.
void decide_member_state(Model& md, Stores& st, Units& units, FibreStore& fs, bool force_scratch) {
  TextOut& listing = units.listing();
  const long long KLAST = 1600LL * md.sz.MUMM;
  listing.message({"KLAST /NSYMAX =", static_cast<long long>(KLAST), "/", NSYMAX});
  bool in_memory = KLAST < NSYMAX && !force_scratch;
  int nms = md.sz.MUMM > 0 ? md.sz.MUMM : 1;
  if (!in_memory) {
    listing.message({"***ERR MEMORY NOT ENOUGH, SAVE DATA IN HARD DISK*"});
    units.console().message({"***ERR MEMORY NOT ENOUGH, SAVE DATA IN HARD DISK*"});
    nms = 1;
  }
  const long long NFS = 20LL * 10 * nms;
  if (NSYMAX < 8 * NFS + 1) {
    units.console().message({"NSYMAX IS TOO SMALL"});
    std::fprintf(stderr, "nlframe: the member-state store is too small for one member\n");
    throw Stop{1};
  }
  fs.setup(st.FSTORE.data(), nms, in_memory, units);
}

// The band width that assembly needs with the final equation numbers. A link
// read after the members that touch its joint lowers the numbers those
// members were measured with, so their spread may have grown since: the
// band is widened to it when the storage allows, and the run stops cleanly
// otherwise (never an assembly outside the band).
void check_band_storage(Model& md, Units& units) {
  int spread = md.MBAND;
  for (int m = 1; m <= md.NM; ++m) {
    int lo = md.NEQ, hi = 1;
    for (int end = 1; end <= 2; ++end)
      for (int d = 0; d < 3; ++d) {
        const int e = md.IEQ(3 * md.IJ(m, end) - 2 + d);
        lo = std::min(lo, e);
        hi = std::max(hi, e);
      }
    spread = std::max(spread, hi - lo + 1);
  }
  const long long need = static_cast<long long>(md.NEQ) * spread;
  const long long have = static_cast<long long>(md.sz.NEQX()) * md.sz.MBAND;
  if (need > have) {
    const std::string text = "ERROR ... BAND WIDTH " + std::to_string(spread) + " EXCEEDS THE STORAGE FOR " +
                             std::to_string(md.sz.MBAND) + " (A Q CARD AFTER THE M CARDS OF ITS JOINTS?)";
    units.listing().message({text});
    units.console().message({text});
    std::fprintf(stderr, "nlframe: the band width %d exceeds the storage sized for %d\n", spread, md.sz.MBAND);
    throw Stop{1};
  }
  md.MBAND = spread;
}

double sum_squares(const RVec& v, int n) {
  double s = 0;
  for (int i = 1; i <= n; ++i) s += v(i) * v(i);
  return s;
}

}  // namespace

RunSummary run_driver(Model& md, Stores& st, Units& units, RunControl& ctl, const DriverOptions& opt) {
  TextOut& listing = units.listing();
  TextOut& console = units.console();
  FibreStore fs;
  RunSummary summary;

  decide_member_state(md, st, units, fs, opt.force_scratch);
  md.SPF.fill(0.0);
  md.KF.fill(0.0);
  md.KJ.fill(0);
  if (ctl.NPRINT == 0) ctl.NPRINT = 1;
  int ISTEP = 0, NCONV = 0, NLEFT = 0, KSTEP = 0;
  double DLSTEP = 0;
  double DETLOG = 0;  // a one-equation solve leaves it as it was
  int detail = 1;

  // A restart restores the tables, the fibre state and the step counter; the
  // structure input then goes on from the restored counters.
  if (ctl.IRESIN != 0) ISTEP = LOADSTATE(units.records(ctl.IRESIN), md, fs);

  read_structure(md, fs, units, kComment, ctl.control_line);
  // A negative count on the L card keeps a restored state; a fresh run has
  // none to keep, and its fibres still need their initial state (without it
  // every fibre would start with a yield range of zero width).
  if (ctl.IRESIN == 0 && md.state_kept) fs.initialise(md.NM, md.SYM, md.EYM);
  check_band_storage(md, units);

  static const Format heading(
      "(/,1X,'STEP',I4,1X,'( IT.DISP , IT.DISP )',4X,'( ST.DISP , ST.DISP )',4X,"
      "'( IT.DISP / ST.DISP )',4X,'DRAMDI',10X,'DETERMINANT',/)");
  static const Format iteration_line("(2X,I3,2X,1P,4E20.4)");
  static const Format spring_line("(1X,'N,FX,FY,FM =',I5,3F13.3)");

  LoadGroup g;
  const int NJ = md.NJ, NEQ = md.NEQ, NM = md.NM;
  const int NMP = md.sz.NMP(), NRHS = md.sz.NRHS;
  // The threads of the member loops, started once for the whole run.
  const int threads = threads_from_environment();
  MemberTeam team(fs.in_memory() ? threads : 1, NM);

  for (;;) {
    ++ISTEP;
    console.message({"STEP:", ISTEP});
    md.DSTEP.fill(0.0);
    md.DPSTEP.fill(0.0);
    fs.clear_increments(NM);

    if (NLEFT < 1) {
      if (!read_load_group(md, units, kComment, g)) {
        // The step just counted is not computed: the file holds the last one.
        if (ctl.IRESOUT >= 1) SAVESTATE(units.records(ctl.IRESOUT), md, fs, ISTEP - 1, detail);
        return summary;
      }
      NLEFT = g.NSTEP;
      KSTEP = 0;
    }
    const bool arc = g.arc_length();
    // Only a load-controlled group advances the total load at a step start;
    // an arc-length step adds its own increment when it has converged.
    if (!arc) {
      for (int d = 1; d <= 3; ++d)
        for (int j = 1; j <= NJ; ++j) md.PLOAD(md.pat(j, d)) += g.FACTOR * md.PFORCE(md.pat(j, d));
    }
    detail = (g.every_step_detail || KSTEP % g.NDETAIL == 0) ? 1 : 0;
    listing.write(heading, {ISTEP});

    int ITER = 0;
    double DLAM = 0, DLAM1 = 0;
    double dl_applied = 0;  // load-factor increments already made in this step
    int ktan = g.IMPOSE;
    double ratio = 0;
    bool converged = true;
    RMat A = md.A();

    for (;;) {
      bool singular = false;
      MEMBERPASS(md, fs, ktan, singular, &team);

      // Unbalanced forces: applied load, springs, resisting forces.
      md.UNB.fill(0.0);
      md.RHS.fill(0.0);
      for (int j = 1; j <= NJ; ++j)
        for (int d = 1; d <= 3; ++d) {
          const int e = md.pat(j, d);
          md.UNB(3 * (j - 1) + d) = md.PLOAD(e) + dl_applied * g.FACTOR * md.PFORCE(e);
        }
      for (int k = 1; k <= md.NK; ++k) {
        const int j = md.KJ(k);
        for (int d = 1; d <= 3; ++d) {
          md.UNB(3 * (j - 1) + d) -= md.SPF(k, d);
          const int e = md.IEQ(3 * (j - 1) + d);
          A(e, 1) += md.KF(k, d);
        }
      }
      if (arc) {
        for (int j = 1; j <= NJ; ++j)
          for (int d = 1; d <= 3; ++d)
            md.RHS(md.IEQ(3 * (j - 1) + d), 1) += g.FACTOR * md.PFORCE(md.pat(j, d));
      }
      const int col = arc ? 2 : 1;
      for (int s = 1; s <= 3 * NJ; ++s) {
        md.UNB(s) -= md.R(s);
        md.RHS(md.IEQ(s), col) += md.UNB(s);
      }

      if (ktan == 0 && ITER >= 1) {
        const double a = sum_squares(md.DITER, 3 * NJ);
        const double b = sum_squares(md.DSTEP, 3 * NJ);
        ratio = a / b;
        listing.write(iteration_line, {ITER, a, b, ratio, DLAM});
        if (ITER > md.MINIT && (ITER >= md.MAXIT || ratio < g.TOL || std::isnan(ratio))) {
          converged = ratio < g.TOL || std::isnan(ratio);
          break;
        }
      }

      APPLYPRESCRIBED(NRHS, md.RHS, A, md.PDISP, md.LTYPE, NJ, md.IEQ, ktan, md.sz.MUMJ, g.FACTOR);
      BANDSOLVE(NEQ, md.MBAND, NRHS, md.RHS, A, md.SOL, md.LTYPE, NJ, DETLOG, md.IEQ, md.sz.MUMJ, listing);
      write_detlog(listing, DETLOG);

      if (!arc) {
        for (int i = 1; i <= NEQ; ++i) md.DITER(i) = md.SOL(i, 1);
      } else if (ITER == 0) {
        const double p = sum_squares(md.SOL.col(1), NEQ);
        DLAM = NEQ > 0 ? std::sqrt(g.ARCLEN * g.ARCLEN / (p + 1)) : std::fabs(g.ARCLEN);
        for (int i = 1; i <= NEQ; ++i) {
          md.DITER(i) = DLAM * md.SOL(i, 1);
          md.DFIRST(i) = md.DITER(i);
        }
        DLAM1 = DLAM;
        DLSTEP = DLAM;
      } else {
        double gdot = 0, hdot = 0;
        for (int i = 1; i <= NEQ; ++i) {
          gdot += md.DFIRST(i) * md.SOL(i, 1);
          hdot += md.DFIRST(i) * md.SOL(i, 2);
        }
        DLAM = -hdot / (gdot + DLAM1);
        for (int i = 1; i <= NEQ; ++i) md.DITER(i) = DLAM * md.SOL(i, 1) + md.SOL(i, 2);
        DLSTEP += DLAM;
      }
      if (arc) dl_applied = DLSTEP;

      update_members(md, fs, &team);

      for (int k = 1; k <= md.NK; ++k) {
        const int j = md.KJ(k);
        for (int d = 1; d <= 3; ++d) md.SPF(k, d) += md.KF(k, d) * md.DITER(md.IEQ(3 * (j - 1) + d));
        listing.write(spring_line, {j, md.SPF(k, 1), md.SPF(k, 2), md.SPF(k, 3)});
      }

      for (int i = 1; i <= NEQ; ++i) {
        md.DISP(i) += md.DITER(i);
        md.DSTEP(i) += md.DITER(i);
      }
      for (int m = 1; m <= NM; ++m)
        for (int k = 1; k <= NMP; ++k) {
          md.DPRUN(k, m) += md.DPT(k, m);
          md.DPSTEP(k, m) += md.DPT(k, m);
        }

      ++ITER;
      ++summary.iterations;
      ktan = 0;
    }

    commit_fibres(md, fs, ktan, &team);
    if (arc) {
      for (int d = 1; d <= 3; ++d)
        for (int j = 1; j <= NJ; ++j) md.PLOAD(md.pat(j, d)) += DLSTEP * g.FACTOR * md.PFORCE(md.pat(j, d));
    }
    ++summary.steps;
    if (!converged) {
      ++summary.not_converged;
      std::fprintf(stderr, "nlframe: warning: step %d did not converge in %d iterations (ratio %.4E)\n",
                   ISTEP, ITER, ratio);
    }

    ++NCONV;
    if (NCONV % ctl.NPRINT == 0) STEPRESULTS(md, fs, units, ISTEP, detail);
    --NLEFT;
    ++KSTEP;
  }
}

}  // namespace nlf
