#include "run/driver.h"

#include <string>
#include <utility>

#include "io/stop.h"
#include "model/plausibility.h"
#include "model/restart_read.h"
#include "model/structure.h"
#include "deck/workspace.h"
#include "run/step_loop.h"

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

  read_structure(md, fs, units, kComment, ctl.control_line, ctl.IRESIN != 0);
  // Values far from a steel frame in t and cm: a likely mistake of units.
  for (const std::string& w : plausibility_findings(md)) units.output().error("nlframe: warning: " + w);
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
    StepLoop steps(md, units, ctl, fs, summary, warnings, opt);
    steps.run(ISTEP);
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
