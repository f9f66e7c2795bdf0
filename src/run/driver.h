// The load-step driver: restores or reads the structure, then applies the
// load history group by group, step by step, with equilibrium iterations.
#pragma once

#include "io/units.h"
#include "store/model.h"
#include "run/control.h"
#include "store/bind.h"
#include "storage/fibre_store.h"

namespace nlf {

struct DriverOptions {
  bool force_scratch = false;  // keep the fibre state in scratch files
};

// What the run did, for the summary line on standard error.
struct RunSummary {
  int steps = 0;
  long iterations = 0;
  int not_converged = 0;
};

// Returns at the F card of the load history.
RunSummary run_driver(Model& md, Stores& st, Units& units, RunControl& ctl, const DriverOptions& opt);

}  // namespace nlf
