// The load-step driver: restores or reads the structure, then applies the
// load history group by group, step by step, with equilibrium iterations.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "io/units.h"
#include "output/result_sink.h"
#include "store/model.h"
#include "deck/control.h"
#include "run/report.h"
#include "run/step_control.h"
#include "store/bind.h"
#include "storage/fibre_store.h"

namespace nlf {

// What a caller may ask of a run while it goes on.
struct RunHooks {
  // Set from another thread: the run stops before its next iteration
  // (a Stop with kCancelled and a message).
  const std::atomic<bool>* cancel = nullptr;
  // What set `cancel`, for the stop's line ("interrupted by SIGINT"); none:
  // "cancelled".
  std::function<std::string()> cancel_cause;
  // Called after every load step with its number and the load factor of
  // its group; it must not throw.
  std::function<void(int step, double load_factor)> progress;
  // Set by the run when its first load step begins: a stop before it
  // came from the deck, not from the analysis.
  bool started = false;
};

// The status of a run stopped through RunHooks::cancel.
constexpr int kCancelled = 3;

// A seam for the tests of the step recovery: a fault forced on an attempt
// at a step after its iteration `iteration` (counted from 1), and the arc
// length of a step's first attempt scaled. Either may be empty.
struct StepProbe {
  std::function<StepFault(int step, int attempt, int iteration)> fault;
  std::function<double(int step)> scale;
};

struct DriverOptions {
  bool force_scratch = false;  // keep the fibre state in scratch files
  Capacity capacity;           // the stores: fixed, or following the deck
  int threads = 1;             // threads of the member loops
  RunHooks* hooks = nullptr;
  const StepProbe* probe = nullptr;
  StepOutput* results = nullptr;  // the sinks of the output steps
  ResultOptions result_files;     // what the program asks for (run/run.h)
};

// Returns at the F card of the load history. `summary` counts the run as it
// goes, so that a stop still leaves the figures of the steps done.
void run_driver(Model& md, Stores& st, Units& units, RunControl& ctl, const DriverOptions& opt,
                RunSummary& summary);

}  // namespace nlf
