#include "run/step_loop.h"

#include <algorithm>
#include <cmath>

#include "io/stop.h"
#include "output/result_sink.h"
#include "run/buckling.h"
#include "run/step_stops.h"
#include "storage/restart_file.h"

namespace nlf {

namespace {

// A failed pivot this small beside the largest is rounding: the matrix is
// singular.
constexpr double kSingularPivot = 1e-8;

const Format& heading() {
  static const Format f(
      "(/,1X,'STEP',I4,1X,'( IT.DISP , IT.DISP )',4X,'( ST.DISP , ST.DISP )',4X,"
      "'( IT.DISP / ST.DISP )',4X,'DRAMDI',10X,'DETERMINANT',/)");
  return f;
}

}  // namespace

StepLoop::StepLoop(Model& md, Units& units, RunControl& ctl, FibreStore& fs, RunSummary& summary,
                   NonConverged& warnings, const DriverOptions& opt)
    : md_(md),
      units_(units),
      ctl_(ctl),
      fs_(fs),
      summary_(summary),
      warnings_(warnings),
      opt_(opt),
      listing_(units.listing()),
      // The threads of the member loops, started once for the whole run: the
      // one place that asks where the fibre state is. Scratch files hand out
      // the members in order, to a team of one thread.
      team_(fs.in_memory() ? opt.threads : 1, md.NM),
      buffers_(md),
      symmetric_(md.A(), md.NEQ, md.MBAND),
      K_(&symmetric_) {
  general_store_.reserve(GeneralBand::size(md.NEQ, md.MBAND));
  undo_.reserve(md);
}

// A run that stops within a group still reports the group's peaks so far.
StepLoop::~StepLoop() {
  if (group_open_ && path_.steps > 0) path_.report(group_, md_.strain_limit, summary_);
}

void StepLoop::run(int last_step) {
  step_ = last_step;
  while (next_step()) {
    open_step();
    scan_ = StrainScan{};
    StepState s;
    s.arclen = g_.arc_length() ? control_.limit(path_.next_arc_length(g_)) : 0.0;
    if (opt_.probe && opt_.probe->scale) s.arclen *= opt_.probe->scale(step_);
    Next next = Next::kAccept;
    for (int attempt_no = 0;; ++attempt_no) {
      const double arclen = s.arclen;
      s = StepState{};
      s.ktan = g_.IMPOSE;
      s.arclen = arclen;
      s.orient = orient_;
      StepFault fault = attempt(s, attempt_no);
      if (fault == StepFault::kNone) fault = judge(s);
      if (fault == StepFault::kNone) break;
      next = retry(fault, s);
      if (next != Next::kRetry) break;
    }
    if (next == Next::kGroupOver) {
      // The step is not taken: the next group starts with its number.
      --step_;
      steps_left_ = 0;
      end_group();
      continue;
    }
    accept(s);
  }
}

bool StepLoop::next_step() {
  ++step_;
  units_.console().message({"STEP:", step_});
  // Path following keeps the previous step's displacement increment for
  // the direction of the next; DFIRST is free until the first solve.
  orient_ = steps_left_ >= 1 && g_.follow && g_.arc_length();
  if (orient_)
    for (int i = 1; i <= md_.NEQ; ++i) md_.DFIRST(i) = md_.DSTEP(i);
  md_.DSTEP.fill(0.0);
  md_.DPSTEP.fill(0.0);
  fs_.clear_increments(md_.NM);
  return steps_left_ >= 1 || start_group();
}

bool StepLoop::start_group() {
  bool more = false;
  try {
    more = read_load_group(md_, units_, kComment, g_);
  } catch (const FileError&) {
    // A history without an F card: every group before the end is done.
    summary_.history_ended = summary_.steps > 0;
    throw;
  }
  // A V card among the group's cards: the buckling analysis of its
  // pattern, before its first step (or of the last pattern at the F card).
  if (g_.buckling.asked) buckling_stage(md_, units_, fs_, g_.buckling, step_ - 1, buckling_runs_);
  if (!more) {
    // The step just counted is not computed: the file holds the last one.
    if (ctl_.IRESOUT >= 1) save_state(units_.records(ctl_.IRESOUT), md_, fs_, step_ - 1, detail_);
    return false;
  }
  steps_left_ = g_.NSTEP;
  group_step_ = 0;
  if (g_.exact && general_store_.empty()) {
    general_store_.resize(general_store_.capacity());
    general_ = GeneralBand(general_store_.data(), md_.NEQ, md_.MBAND);
  }
  K_ = g_.exact ? static_cast<GlobalMatrix*>(&general_) : &symmetric_;
  path_ = GroupPath{};
  path_.loose.reserve(static_cast<std::size_t>(std::max(g_.NSTEP, 1)));  // no allocation within the group
  path_.find_prescribed(md_);
  path_.arc = g_.arc_length();
  path_.adaptive = g_.arc_length() && g_.ADAPT > 0;
  control_.start_group(g_);
  ++group_;
  group_open_ = true;
  return true;
}

void StepLoop::open_step() {
  // Only a load-controlled group advances the total load at a step start;
  // an arc-length step adds its own increment when it has converged.
  if (!g_.arc_length()) {
    for (int d = 1; d <= 3; ++d)
      for (int j = 1; j <= md_.NJ; ++j) md_.PLOAD(md_.pat(j, d)) += g_.FACTOR * md_.PFORCE(md_.pat(j, d));
    if (md_.MLOADS) md_.MLOADS->accept(g_.FACTOR);
  }
  detail_ = (g_.every_step_detail || group_step_ % g_.NDETAIL == 0) ? 1 : 0;
  listing_.write(heading(), {step_});
  undo_.save(md_, detlog_, negative_pivots_);
  pivots_at_start_ = negative_pivots_;
}

StepFault StepLoop::attempt(StepState& s, int attempt_no) {
  static const Format pivot_line("(1X,'NEGATIVE PIVOTS NOW',I5,' : A LIMIT POINT OR A BIFURCATION WAS PASSED')");
  RunHooks* const hooks = opt_.hooks;
  const bool arc = g_.arc_length(), adaptive = control_.adaptive();
  PivotCount pivots;
  pivots.follow = g_.follow;
  DivergenceWatch watch;
  if (hooks) hooks->started = true;
  for (;;) {
    if (hooks && hooks->cancel && hooks->cancel->load(std::memory_order_relaxed))
      cancelled(step_, s.ITER, hooks->cancel_cause ? hooks->cancel_cause() : std::string());
    bool singular = false;
    set_member_load_factors(md_, g_, s);
    // At the iteration limit the convergence test ends the attempt after
    // this pass whatever the ratio: no pivot row is taken ahead of a solve.
    const bool last = s.ktan == 0 && s.ITER >= 1 && s.ITER > md_.MINIT && s.ITER >= md_.MAXIT;
    const int taken = member_pass(md_, fs_, stiffness_of_switch(s.ktan), singular, team_, buffers_, *K_,
                                  &units_.output(), !last);

    set_applied_load(md_, g_, s.dl_applied);
    add_springs(md_);
    if (arc) add_reference_load(md_, g_);
    add_resisting_forces(md_, arc ? 2 : 1);

    const bool stop = convergence_test(md_, g_, s, listing_);
    // An adaptive step that diverges is taken back before a ratio that is
    // not a number could pass for converged.
    if (adaptive && s.ktan == 0 && s.ITER >= 1 && watch.diverged(s.a, s.b, s.DLSTEP, s.ITER))
      return StepFault::kDiverged;
    if (stop) return adaptive && !s.converged ? StepFault::kIterationLimit : StepFault::kNone;

    try {
      solve(md_, g_, s, *K_, taken, detlog_, listing_, pivots);
    } catch (const PivotStop&) {
      // In the first solve of a fresh run nothing has weakened the frame,
      // and a pivot of rounding size is no limit point either: a mechanism
      // or a singular model.
      const bool first = ctl_.IRESIN == 0 && summary_.steps == 0 && s.ITER == 0 && attempt_no == 0;
      if (pivots.failed_joint > 0 && (first || pivots.failed_size <= kSingularPivot * pivots.largest)) {
        report_mechanism(units_, md_, step_, pivots.failed_joint, pivots.failed_direction, first);
        throw;
      }
      // Without X3 a pivot that is not positive is the limit point the
      // group was not asked to pass: the stop it always was.
      if (adaptive && g_.follow) return StepFault::kPivot;
      report_lost_stiffness(units_, g_.follow, arc, step_, path_);
      throw;
    }
    if (pivots.negative != negative_pivots_) {
      negative_pivots_ = pivots.negative;
      listing_.write(pivot_line, {negative_pivots_});
    }
    if (arc)
      arc_length_increment(md_, s);
    else
      load_control_increment(md_);
    if (md_.MLOADS) md_.MLOADS->dlam = arc ? s.DLAM : 0.0;

    update_members(md_, fs_, team_);
    update_springs(md_, listing_);
    update_totals(md_);
    ++s.ITER;
    ++summary_.iterations;
    // An adaptive step gives up on an attempt that pushes a segment
    // through itself at once; a fixed step is judged where it ends.
    if (adaptive && collapsed_segment(md_, undo_).member != 0) return StepFault::kSegment;

    s.ktan = 0;
    if (adaptive && opt_.probe && opt_.probe->fault) {
      const StepFault forced = opt_.probe->fault(step_, attempt_no, s.ITER);
      if (forced != StepFault::kNone) return forced;
    }
  }
}

StepFault StepLoop::judge(StepState& s) {
  const bool adaptive = control_.adaptive();
  if (!adaptive)
    if (const SegmentFault sf = collapsed_segment(md_, undo_); sf.member != 0) segment_stop(units_, step_, path_, sf);
  scan_ = scan_strains(md_, fs_);
  if (!adaptive) return StepFault::kNone;
  return control_.judge(path_.load_factor, s.DLSTEP, s.arclen, s.DLAM1 / std::fabs(s.arclen),
                        negative_pivots_ > pivots_at_start_, scan_.change, path_.peak);
}

StepLoop::Next StepLoop::retry(StepFault fault, StepState& s) {
  static const Format cut_line("(/,1X,'CUT BACK: STEP',I5,1X,A,': ARC LENGTH',1P,E12.4,' BECOMES',E12.4)");
  static const Format floor_line(
      "(/,1X,'END OF THE GROUP: STEP',I5,1X,A,' WITH THE ARC LENGTH AT ITS FLOOR',1P,E12.4)");
  // Take the attempt back and try again shorter; a converged step that the
  // floor keeps from shortening is taken as it is.
  const double shorter = control_.cut(fault, s.arclen, scan_.change);
  if (shorter == 0 && (fault == StepFault::kStrainChange || fault == StepFault::kPeak)) return Next::kAccept;
  undo_.restore(md_, detlog_, negative_pivots_);
  fs_.clear_increments(md_.NM);
  if (shorter == 0) {
    listing_.write(floor_line, {step_, fault_text(fault), s.arclen});
    units_.error_line("nlframe: warning: step %d: %s even with the arc length cut to %.5G; group %d ends at its "
                      "last converged step",
                      step_, fault_text(fault), s.arclen, group_);
    return Next::kGroupOver;
  }
  ++summary_.cut_backs;
  listing_.write(cut_line, {step_, fault_text(fault), s.arclen, shorter});
  listing_.write(heading(), {step_});
  s.arclen = shorter;
  return Next::kRetry;
}

void StepLoop::accept(const StepState& s) {
  static const Format limit_line(
      "(/,1X,'END OF THE GROUP: FIBRE STRAIN',1P,E12.4,' AT MEMBER',I5,' STATION',I3,' EXCEEDS THE LIMIT',E12.4)");
  const bool arc = g_.arc_length();
  commit_fibres(md_, fs_, team_);
  if (arc) {
    for (int d = 1; d <= 3; ++d)
      for (int j = 1; j <= md_.NJ; ++j)
        md_.PLOAD(md_.pat(j, d)) += s.DLSTEP * g_.FACTOR * md_.PFORCE(md_.pat(j, d));
    if (md_.MLOADS) md_.MLOADS->accept(s.DLSTEP * g_.FACTOR);
  }
  ++summary_.steps;
  if (s.converged) {
    warnings_.converged();
  } else {
    ++summary_.not_converged;
    warnings_.add(step_, s.ITER, s.ratio);
  }
  control_.accepted(arc ? s.DLSTEP : 1.0, s.arclen, scan_.change);
  bool ended = path_.step_done(g_, step_, arc ? s.DLSTEP : 1.0, s.arclen, s.ITER, s.converged, scan_.strain,
                               scan_.change, listing_);
  path_.forces_done(md_, step_, s.converged, scan_.strain);
  if (!ended && md_.strain_limit > 0 && s.converged && scan_.strain > md_.strain_limit) {
    listing_.write(limit_line, {scan_.strain, scan_.member, scan_.station, md_.strain_limit});
    units_.error_line("nlframe: step %d: the fibre strain %.4G at member %d, station %d exceeds the limit %.4G of "
                      "the P card: group %d ends",
                      step_, scan_.strain, scan_.member, scan_.station, md_.strain_limit, group_);
    ended = true;
  }

  ++output_count_;
  if (output_count_ % ctl_.NPRINT == 0 && opt_.results) opt_.results->write(md_, fs_, step_, detail_);
  --steps_left_;
  ++group_step_;
  if (ended) steps_left_ = 0;
  if (steps_left_ < 1) end_group();
  if (opt_.hooks && opt_.hooks->progress) opt_.hooks->progress(step_, path_.load_factor);
}

void StepLoop::end_group() {
  path_.report(group_, md_.strain_limit, summary_);
  group_open_ = false;
}

}  // namespace nlf
