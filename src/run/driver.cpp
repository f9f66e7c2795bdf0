#include "run/driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "io/stop.h"
#include "member/member_pass.h"
#include "model/restart_read.h"
#include "model/structure.h"
#include "output/step_results.h"
#include "deck/history.h"
#include "deck/workspace.h"
#include "run/iteration.h"
#include "run/path.h"
#include "solver/band.h"
#include "storage/restart_file.h"

namespace nlf {

namespace {

// Member-state decision: every member's fibres in the member-state store, or
// one member at a time with the rest in scratch files.
void decide_member_state(Model& md, Stores& st, Units& units, FibreStore& fs, bool force_scratch) {
  TextOut& listing = units.listing();
  const MemberStatePlan plan = member_state_plan(md.sz, force_scratch);
  listing.message({"KLAST /NSYMAX =", plan.KLAST, "/", NSYMAX});
  if (!plan.in_memory) {
    listing.message({"***ERR MEMORY NOT ENOUGH, SAVE DATA IN HARD DISK*"});
    units.console().message({"***ERR MEMORY NOT ENOUGH, SAVE DATA IN HARD DISK*"});
  }
  if (!plan.fits) {
    units.console().message({"NSYMAX IS TOO SMALL"});
    units.error_line("nlframe: the member-state store is too small for one member");
    throw Stop{1};
  }
  fs.setup(st.FSTORE.data(), plan.members_held, plan.in_memory, units);
}

// The band width that assembly needs with the final equation numbers. A link
// read after the members that touch its joint lowers the numbers those
// members were measured with, so their spread may have grown since: the
// band is widened to it when the storage allows, and the run stops cleanly
// otherwise (never an assembly outside the band).
void check_band_storage(Model& md, Units& units) {
  const BandStorage band = band_storage(md);
  if (!band.fits) {
    const std::string text = "ERROR ... BAND WIDTH " + std::to_string(band.width) + " EXCEEDS THE STORAGE FOR " +
                             std::to_string(md.sz.MBAND) + " (A Q CARD AFTER THE M CARDS OF ITS JOINTS?)";
    units.listing().message({text});
    units.console().message({text});
    units.error_line("nlframe: the band width %d exceeds the storage sized for %d", band.width, md.sz.MBAND);
    throw Stop{1};
  }
  md.MBAND = band.width;
}

// The line on standard error when the pivot test stops the run: where the
// frame lost its stiffness, and what that means. `path` holds the group's
// steps done before the failed step ISTEP.
void report_lost_stiffness(Units& units, bool follow, bool arc, int ISTEP, const GroupPath& path,
                           double failed_factor) {
  if (follow) {
    units.error_line(
        "nlframe: step %d, load factor %.5G of its group: a pivot of the stiffness matrix is zero or "
        "not a number, the equations cannot be solved (see R.rst)",
        ISTEP, failed_factor);
    return;
  }
  char last[200] = "";
  if (path.steps > 0)
    std::snprintf(last, sizeof last, "; the last step done, %d, reached load factor %.5G of its group: the peak lies "
                  "between it and step %d", ISTEP - 1, path.load_factor, ISTEP);
  else
    std::snprintf(last, sizeof last, " in the first step of its group");
  units.error_line(
      "nlframe: step %d: the frame lost its stiffness, a pivot is not positive (a limit point or a "
      "mechanism)%s; %sX3 on the E card follows the path past a limit point (see R.rst)",
      ISTEP, last, arc ? "" : "arc-length control (X2) with ");
}

[[noreturn]] void cancelled(int ISTEP, int ITER) {
  throw Stop{kCancelled, "nlframe: the run was cancelled in step " + std::to_string(ISTEP) + ", iteration " +
                             std::to_string(ITER + 1)};
}

// The load steps from the first card of the load history to the F card.
void run_steps(Model& md, Units& units, RunControl& ctl, FibreStore& fs, int ISTEP, RunSummary& summary,
               NonConverged& warnings, const DriverOptions& opt) {
  TextOut& listing = units.listing();
  TextOut& console = units.console();
  static const Format heading(
      "(/,1X,'STEP',I4,1X,'( IT.DISP , IT.DISP )',4X,'( ST.DISP , ST.DISP )',4X,"
      "'( IT.DISP / ST.DISP )',4X,'DRAMDI',10X,'DETERMINANT',/)");
  static const Format pivot_line("(1X,'NEGATIVE PIVOTS NOW',I5,' : A LIMIT POINT OR A BIFURCATION WAS PASSED')");

  int NCONV = 0, NLEFT = 0, KSTEP = 0;
  double DETLOG = 0;  // a one-equation solve leaves it as it was
  int detail = 1;
  int negative_pivots = 0;  // in the last solution
  LoadGroup g;
  GroupPath path;
  int group = 0;  // groups read
  // The threads of the member loops, started once for the whole run.
  MemberTeam team(fs.in_memory() ? opt.threads : 1, md.NM, member_pass_workspace(md));
  RunHooks* const hooks = opt.hooks;
  RunOutput* const out = &units.output();
  const int NJ = md.NJ, NM = md.NM;
  // The general band of the groups with the exact tangent (X6), set aside
  // here and taken into use by the first such group.
  std::vector<double> general_store;
  general_store.reserve(GeneralBand::size(md.NEQ, md.MBAND));
  GeneralBand general;

  for (;;) {
    ++ISTEP;
    console.message({"STEP:", ISTEP});
    // Path following keeps the previous step's displacement increment for
    // the direction of the next; DFIRST is free until the first solve.
    const bool orient = NLEFT >= 1 && g.follow && g.arc_length();
    if (orient)
      for (int i = 1; i <= md.NEQ; ++i) md.DFIRST(i) = md.DSTEP(i);
    md.DSTEP.fill(0.0);
    md.DPSTEP.fill(0.0);
    fs.clear_increments(NM);

    if (NLEFT < 1) {
      bool more = false;
      try {
        more = read_load_group(md, units, kComment, g);
      } catch (const FileError&) {
        // A history without an F card: every group before the end is done.
        summary.history_ended = summary.steps > 0;
        throw;
      }
      if (!more) {
        // The step just counted is not computed: the file holds the last one.
        if (ctl.IRESOUT >= 1) SAVESTATE(units.records(ctl.IRESOUT), md, fs, ISTEP - 1, detail);
        return;
      }
      NLEFT = g.NSTEP;
      KSTEP = 0;
      if (g.exact && general_store.empty()) {
        general_store.resize(general_store.capacity());
        general = GeneralBand{general_store.data(), md.NEQ, md.MBAND};
      }
      path = GroupPath{};
      path.find_prescribed(md);
      ++group;
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

    StepState s;
    s.ktan = g.IMPOSE;
    s.arclen = arc ? path.next_arc_length(g) : 0.0;
    s.orient = orient;
    PivotCount pivots;
    pivots.follow = g.follow;
    const RMat A = md.A();
    if (hooks) hooks->started = true;

    for (;;) {
      if (hooks && hooks->cancel && hooks->cancel->load(std::memory_order_relaxed)) cancelled(ISTEP, s.ITER);
      bool singular = false;
      const int taken = MEMBERPASS(md, fs, s.ktan, singular, team, out, g.exact ? &general : nullptr);

      set_applied_load(md, g, s.dl_applied);
      add_springs(md);
      if (arc) add_reference_load(md, g);
      add_resisting_forces(md, arc ? 2 : 1);

      if (convergence_test(md, g, s, listing)) break;

      try {
        if (g.exact)
          solve_general(md, g, s, general, DETLOG, listing, pivots);
        else
          solve(md, g, s, A, taken, DETLOG, listing, pivots);
      } catch (const PivotStop&) {
        report_lost_stiffness(units, g.follow, arc, ISTEP, path, path.load_factor + (arc ? s.DLSTEP : 1.0));
        throw;
      }
      if (pivots.negative != negative_pivots) {
        negative_pivots = pivots.negative;
        listing.write(pivot_line, {negative_pivots});
      }
      if (arc)
        arc_length_increment(md, s);
      else
        load_control_increment(md);

      update_members(md, fs, team);
      update_springs(md, listing);
      update_totals(md);

      ++s.ITER;
      ++summary.iterations;
      s.ktan = 0;
    }

    commit_fibres(md, fs, s.ktan, team);
    if (arc) {
      for (int d = 1; d <= 3; ++d)
        for (int j = 1; j <= NJ; ++j)
          md.PLOAD(md.pat(j, d)) += s.DLSTEP * g.FACTOR * md.PFORCE(md.pat(j, d));
    }
    ++summary.steps;
    if (s.converged) {
      warnings.converged();
    } else {
      ++summary.not_converged;
      warnings.add(ISTEP, s.ITER, s.ratio);
    }
    const bool ended =
        path.step_done(g, ISTEP, arc ? s.DLSTEP : 1.0, s.arclen, s.ITER, s.converged, listing);
    path.forces_done(md, ISTEP);

    ++NCONV;
    if (NCONV % ctl.NPRINT == 0) STEPRESULTS(md, fs, units, ISTEP, detail);
    --NLEFT;
    ++KSTEP;
    if (ended) NLEFT = 0;
    if (NLEFT < 1) path.report(group, summary);
    if (hooks && hooks->progress) hooks->progress(ISTEP, path.load_factor);
  }
}

}  // namespace

void run_driver(Model& md, Stores& st, Units& units, RunControl& ctl, const DriverOptions& opt,
                RunSummary& summary) {
  FibreStore fs;
  summary = RunSummary{};

  decide_member_state(md, st, units, fs, opt.force_scratch);
  md.SPF.fill(0.0);
  md.KF.fill(0.0);
  md.KJ.fill(0);
  if (ctl.NPRINT == 0) ctl.NPRINT = 1;
  int ISTEP = 0;

  // A restart restores the tables, the fibre state and the step counter; the
  // structure input then goes on from the restored counters.
  if (ctl.IRESIN != 0) ISTEP = LOADSTATE(units.records(ctl.IRESIN), md, fs);

  read_structure(md, fs, units, kComment, ctl.control_line);
  // A negative count on the L card keeps a restored state; a fresh run has
  // none to keep, and its fibres still need their initial state (without it
  // every fibre would start with a yield range of zero width).
  if (ctl.IRESIN == 0 && md.state_kept) fs.initialise(md.NM, md.SYM, md.EYM);
  check_band_storage(md, units);

  NonConverged warnings(units.output());
  try {
    run_steps(md, units, ctl, fs, ISTEP, summary, warnings, opt);
  } catch (Stop& stop) {
    // The stop's own line comes before the ranges still open.
    if (!stop.message.empty()) units.output().error(std::exchange(stop.message, {}));
    warnings.finish();
    summary.not_converged_ranges = warnings.ranges();
    throw;
  } catch (...) {
    warnings.finish();
    summary.not_converged_ranges = warnings.ranges();
    throw;
  }
  warnings.finish();
  summary.not_converged_ranges = warnings.ranges();
}

}  // namespace nlf
