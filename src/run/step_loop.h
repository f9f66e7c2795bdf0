// The load steps of a run, from the first card of the load history to the F
// card, as one object with named pieces:
//
//   next_step      a step begins: its number, the direction it keeps from
//                  the last step, its increments cleared; a used-up group
//                  makes way for the next (start_group), or the F card ends
//                  the loop (the restart file is written there)
//   start_group    the next group's cards (and the buckling analysis of a V
//                  card among them), its global matrix form, its path and
//                  step control
//   open_step      the load of a load-controlled step, the step heading, the
//                  state kept for an undo
//   attempt        one attempt at the step: iterations until it converges,
//                  stops at MAXIT or fails (an adaptive group's fault)
//   judge          a finished attempt checked: segments, fibre strains, and
//                  in an adaptive group the step control's verdict
//   retry          a failed attempt undone and the arc length cut, or the
//                  group given up at the floor
//   accept         the step committed: load, counters, path, strain limit,
//                  result files, and the group's end
//
// Every counter and per-group object is a member named for what it holds;
// nothing is allocated once the first step has begun.
#pragma once

#include <vector>

#include "deck/control.h"
#include "deck/history.h"
#include "io/units.h"
#include "member/member_pass.h"
#include "run/driver.h"
#include "run/iteration.h"
#include "run/path.h"
#include "run/report.h"
#include "run/step_checks.h"
#include "run/step_control.h"
#include "run/step_undo.h"
#include "solver/band.h"
#include "solver/general_band.h"
#include "storage/fibre_store.h"
#include "store/model.h"

namespace nlf {

class StepLoop {
 public:
  StepLoop(Model& md, Units& units, RunControl& ctl, FibreStore& fs, RunSummary& summary, NonConverged& warnings,
           const DriverOptions& opt);
  ~StepLoop();
  StepLoop(const StepLoop&) = delete;
  StepLoop& operator=(const StepLoop&) = delete;

  // The steps after step `last_step` (the restored one, or 0) up to the F
  // card.
  void run(int last_step);

 private:
  // What an attempt left for the step.
  enum class Next { kAccept, kRetry, kGroupOver };

  bool next_step();
  bool start_group();
  void open_step();
  StepFault attempt(StepState& s, int attempt_no);
  StepFault judge(StepState& s);
  Next retry(StepFault fault, StepState& s);
  void accept(const StepState& s);
  void end_group();

  Model& md_;
  Units& units_;
  RunControl& ctl_;
  FibreStore& fs_;
  RunSummary& summary_;
  NonConverged& warnings_;
  const DriverOptions& opt_;
  TextOut& listing_;

  // The run's counters.
  int step_ = 0;              // ISTEP: number of the step under way (of the run)
  int output_count_ = 0;      // NCONV: steps taken, for the output interval NPRINT
  int steps_left_ = 0;        // NLEFT: steps of the group still to take
  int group_step_ = 0;        // KSTEP: steps of the group taken, for its detail interval
  double detlog_ = 0;         // DETLOG: log-determinant of the last solve (a one-equation solve leaves it)
  int detail_ = 1;            // the step under way writes the member displacements
  int negative_pivots_ = 0;   // in the last solution
  int pivots_at_start_ = 0;   // ... as the step under way began
  int group_ = 0;             // groups read
  int buckling_runs_ = 0;     // V cards met
  bool orient_ = false;       // the step keeps the direction of the last one
  bool group_open_ = false;   // the group under way has its peaks still to report

  // The group under way.
  LoadGroup g_;
  GroupPath path_;
  StepControl control_;
  StrainScan scan_;  // of the last converged attempt

  // The run's threads, the pass's buffers, the global matrix in either form
  // (the general band's storage set aside here, taken into use by the first
  // group with the exact tangent) and the state a failed attempt goes back
  // to.
  MemberTeam team_;
  MemberPassBuffers buffers_;
  SymmetricBand symmetric_;
  std::vector<double> general_store_;
  GeneralBand general_;
  GlobalMatrix* K_ = nullptr;
  StepUndo undo_;
};

}  // namespace nlf
