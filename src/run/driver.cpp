#include "run/driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "io/stop.h"
#include "member/member_pass.h"
#include "model/restart_read.h"
#include "model/structure.h"
#include "output/result_sink.h"
#include "deck/history.h"
#include "deck/workspace.h"
#include "run/iteration.h"
#include "run/path.h"
#include "run/step_checks.h"
#include "run/step_stops.h"
#include "run/step_control.h"
#include "run/step_undo.h"
#include "solver/band.h"
#include "solver/general_band.h"
#include "storage/restart_file.h"

namespace nlf {

namespace {

// Member-state decision: every member's fibres in the member-state store, or
// one member at a time with the rest in scratch files.
void decide_member_state(Model& md, Stores& st, Units& units, FibreStore& fs, bool force_scratch) {
  TextOut& listing = units.listing();
  const long long nsymax = static_cast<long long>(st.FSTORE.size());
  const MemberStatePlan plan = member_state_plan(md.sz, force_scratch, nsymax);
  listing.message({"KLAST /NSYMAX =", plan.KLAST, "/", nsymax});
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

// The load steps from the first card of the load history to the F card.
void run_steps(Model& md, Units& units, RunControl& ctl, FibreStore& fs, int ISTEP, RunSummary& summary,
               NonConverged& warnings, const DriverOptions& opt) {
  TextOut& listing = units.listing();
  TextOut& console = units.console();
  static const Format heading(
      "(/,1X,'STEP',I4,1X,'( IT.DISP , IT.DISP )',4X,'( ST.DISP , ST.DISP )',4X,"
      "'( IT.DISP / ST.DISP )',4X,'DRAMDI',10X,'DETERMINANT',/)");
  static const Format pivot_line("(1X,'NEGATIVE PIVOTS NOW',I5,' : A LIMIT POINT OR A BIFURCATION WAS PASSED')");
  static const Format cut_line("(/,1X,'CUT BACK: STEP',I5,1X,A,': ARC LENGTH',1P,E12.4,' BECOMES',E12.4)");
  static const Format floor_line(
      "(/,1X,'END OF THE GROUP: STEP',I5,1X,A,' WITH THE ARC LENGTH AT ITS FLOOR',1P,E12.4)");
  static const Format limit_line(
      "(/,1X,'END OF THE GROUP: FIBRE STRAIN',1P,E12.4,' AT MEMBER',I5,' STATION',I3,' EXCEEDS THE LIMIT',E12.4)");

  int NCONV = 0, NLEFT = 0, KSTEP = 0;
  double DETLOG = 0;  // a one-equation solve leaves it as it was
  int detail = 1;
  int negative_pivots = 0;  // in the last solution
  LoadGroup g;
  GroupPath path;
  StepControl control;
  int group = 0;  // groups read
  // The threads of the member loops, started once for the whole run: the
  // one place that asks where the fibre state is. Scratch files hand out
  // the members in order, to a team of one thread.
  MemberTeam team(fs.in_memory() ? opt.threads : 1, md.NM);
  MemberPassBuffers buffers(md);
  RunHooks* const hooks = opt.hooks;
  RunOutput* const out = &units.output();
  const int NJ = md.NJ, NM = md.NM;
  // The global matrix of the group under way: the symmetric band in the
  // model's storage, or for the groups with the exact tangent (X6) the
  // general band, whose storage is set aside here and taken into use by the
  // first such group.
  SymmetricBand symmetric(md.A(), md.NEQ, md.MBAND);
  std::vector<double> general_store;
  general_store.reserve(GeneralBand::size(md.NEQ, md.MBAND));
  GeneralBand general;
  GlobalMatrix* K = &symmetric;
  // The state at the start of the step under way, to check its segments
  // against and to take a failed attempt back to.
  StepUndo undo;
  undo.reserve(md);

  // The group under way ends with its peaks and warnings in the summary.
  struct GroupEnd {
    GroupPath& path;
    int& group;
    const Model& md;
    RunSummary& summary;
    bool armed = false;
    ~GroupEnd() {
      if (armed && path.steps > 0) path.report(group, md.strain_limit, summary);
    }
  } group_end{path, group, md, summary};

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
        if (ctl.IRESOUT >= 1) save_state(units.records(ctl.IRESOUT), md, fs, ISTEP - 1, detail);
        return;
      }
      NLEFT = g.NSTEP;
      KSTEP = 0;
      if (g.exact && general_store.empty()) {
        general_store.resize(general_store.capacity());
        general = GeneralBand(general_store.data(), md.NEQ, md.MBAND);
      }
      K = g.exact ? static_cast<GlobalMatrix*>(&general) : &symmetric;
      path = GroupPath{};
      path.loose.reserve(static_cast<std::size_t>(std::max(g.NSTEP, 1)));  // no allocation within the group
      path.find_prescribed(md);
      path.arc = g.arc_length();
      path.adaptive = g.arc_length() && g.ADAPT > 0;
      control.start_group(g);
      ++group;
      group_end.armed = true;
    }
    const bool arc = g.arc_length();
    // Only a load-controlled group advances the total load at a step start;
    // an arc-length step adds its own increment when it has converged.
    if (!arc) {
      for (int d = 1; d <= 3; ++d)
        for (int j = 1; j <= NJ; ++j) md.PLOAD(md.pat(j, d)) += g.FACTOR * md.PFORCE(md.pat(j, d));
      if (md.MLOADS) md.MLOADS->accept(g.FACTOR);
    }
    detail = (g.every_step_detail || KSTEP % g.NDETAIL == 0) ? 1 : 0;
    listing.write(heading, {ISTEP});
    undo.save(md, DETLOG, negative_pivots);
    const int pivots_at_start = negative_pivots;
    const bool adaptive = control.adaptive();

    StepState s;
    s.arclen = arc ? control.limit(path.next_arc_length(g)) : 0.0;
    StrainScan scan;
    if (opt.probe && opt.probe->scale) s.arclen *= opt.probe->scale(ISTEP);
    bool group_over = false;  // the attempts gave up at the floor
    for (int attempt = 0;; ++attempt) {
      const double arclen = s.arclen;
      s = StepState{};
      s.ktan = g.IMPOSE;
      s.arclen = arclen;
      s.orient = orient;
      PivotCount pivots;
      pivots.follow = g.follow;
      DivergenceWatch watch;
      if (hooks) hooks->started = true;
      StepFault fault = StepFault::kNone;

      for (;;) {
        if (hooks && hooks->cancel && hooks->cancel->load(std::memory_order_relaxed)) cancelled(ISTEP, s.ITER);
        bool singular = false;
        set_member_load_factors(md, g, s);
        const int taken = member_pass(md, fs, stiffness_of_switch(s.ktan), singular, team, buffers, *K, out);

        set_applied_load(md, g, s.dl_applied);
        add_springs(md);
        if (arc) add_reference_load(md, g);
        add_resisting_forces(md, arc ? 2 : 1);

        const bool stop = convergence_test(md, g, s, listing);
        // An adaptive step that diverges is taken back before a ratio that is
        // not a number could pass for converged.
        if (adaptive && s.ktan == 0 && s.ITER >= 1 && watch.diverged(s.a, s.b, s.DLSTEP, s.ITER)) {
          fault = StepFault::kDiverged;
          break;
        }
        if (stop) {
          if (adaptive && !s.converged) fault = StepFault::kIterationLimit;
          break;
        }

        try {
          solve(md, g, s, *K, taken, DETLOG, listing, pivots);
        } catch (const PivotStop&) {
          // Without X3 a pivot that is not positive is the limit point the
          // group was not asked to pass: the stop it always was.
          if (adaptive && g.follow) {
            fault = StepFault::kPivot;
            break;
          }
          report_lost_stiffness(units, g.follow, arc, ISTEP, path);
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
        if (md.MLOADS) md.MLOADS->dlam = arc ? s.DLAM : 0.0;

        update_members(md, fs, team);
        update_springs(md, listing);
        update_totals(md);
        // An adaptive step gives up on an attempt that pushes a segment
        // through itself at once; a fixed step is judged where it ends.
        if (adaptive && collapsed_segment(md, undo).member != 0) {
          fault = StepFault::kSegment;
          ++s.ITER;
          ++summary.iterations;
          break;
        }

        ++s.ITER;
        ++summary.iterations;
        s.ktan = 0;
        if (adaptive && opt.probe && opt.probe->fault) {
          fault = opt.probe->fault(ISTEP, attempt, s.ITER);
          if (fault != StepFault::kNone) break;
        }
      }

      if (fault == StepFault::kNone && !adaptive)
        if (const SegmentFault sf = collapsed_segment(md, undo); sf.member != 0) segment_stop(units, ISTEP, path, sf);
      if (fault == StepFault::kNone) {
        scan = scan_strains(md, fs);
        if (adaptive)
          fault = control.judge(path.load_factor, s.DLSTEP, s.arclen, s.DLAM1 / std::fabs(s.arclen),
                                negative_pivots > pivots_at_start, scan.change, path.peak);
      }
      if (fault == StepFault::kNone) break;

      // Take the attempt back and try again shorter.
      const double shorter = control.cut(fault, s.arclen, scan.change);
      if (shorter == 0 && (fault == StepFault::kStrainChange || fault == StepFault::kPeak)) break;
      undo.restore(md, DETLOG, negative_pivots);
      fs.clear_increments(NM);
      if (shorter == 0) {
        listing.write(floor_line, {ISTEP, fault_text(fault), s.arclen});
        units.error_line("nlframe: warning: step %d: %s even with the arc length cut to %.5G; group %d ends at its "
                         "last converged step",
                         ISTEP, fault_text(fault), s.arclen, group);
        group_over = true;
        break;
      }
      ++summary.cut_backs;
      listing.write(cut_line, {ISTEP, fault_text(fault), s.arclen, shorter});
      listing.write(heading, {ISTEP});
      s.arclen = shorter;
    }
    if (group_over) {
      // The step is not taken: the next group starts with its number.
      --ISTEP;
      NLEFT = 0;
      path.report(group, md.strain_limit, summary);
      group_end.armed = false;
      continue;
    }

    commit_fibres(md, fs, team);
    if (arc) {
      for (int d = 1; d <= 3; ++d)
        for (int j = 1; j <= NJ; ++j)
          md.PLOAD(md.pat(j, d)) += s.DLSTEP * g.FACTOR * md.PFORCE(md.pat(j, d));
      if (md.MLOADS) md.MLOADS->accept(s.DLSTEP * g.FACTOR);
    }
    ++summary.steps;
    if (s.converged) {
      warnings.converged();
    } else {
      ++summary.not_converged;
      warnings.add(ISTEP, s.ITER, s.ratio);
    }
    control.accepted(arc ? s.DLSTEP : 1.0, s.arclen, scan.change);
    bool ended = path.step_done(g, ISTEP, arc ? s.DLSTEP : 1.0, s.arclen, s.ITER, s.converged, scan.strain,
                                scan.change, listing);
    path.forces_done(md, ISTEP, s.converged, scan.strain);
    if (!ended && md.strain_limit > 0 && s.converged && scan.strain > md.strain_limit) {
      listing.write(limit_line, {scan.strain, scan.member, scan.station, md.strain_limit});
      units.error_line("nlframe: step %d: the fibre strain %.4G at member %d, station %d exceeds the limit %.4G of "
                       "the P card: group %d ends",
                       ISTEP, scan.strain, scan.member, scan.station, md.strain_limit, group);
      ended = true;
    }

    ++NCONV;
    if (NCONV % ctl.NPRINT == 0 && opt.results) opt.results->write(md, fs, ISTEP, detail);
    --NLEFT;
    ++KSTEP;
    if (ended) NLEFT = 0;
    if (NLEFT < 1) {
      path.report(group, md.strain_limit, summary);
      group_end.armed = false;
    }
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
  if (ctl.IRESIN != 0) ISTEP = load_state(units.records(ctl.IRESIN), md, fs);

  read_structure(md, fs, units, kComment, ctl.control_line);
  // A negative count on the L card keeps a restored state; a fresh run has
  // none to keep, and its fibres still need their initial state (without it
  // every fibre would start with a yield range of zero width).
  if (ctl.IRESIN == 0 && md.state_kept) fs.initialise(md.NM, md.SYM, md.EYM);
  // The sub-fibres of sections with residual stresses start at their
  // initial stresses with the fibres (a kept restored state keeps its own).
  if (ctl.IRESIN == 0 || !md.state_kept) fs.initialise_residual(md);
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
