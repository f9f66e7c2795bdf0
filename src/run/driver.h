// The load-step driver: restores or reads the structure, then applies the
// load history group by group, step by step, with equilibrium iterations.
#pragma once

#include "io/units.h"
#include "store/model.h"
#include "deck/control.h"
#include "run/report.h"
#include "store/bind.h"
#include "storage/fibre_store.h"

namespace nlf {

struct DriverOptions {
  bool force_scratch = false;  // keep the fibre state in scratch files
};

// Returns at the F card of the load history. `summary` counts the run as it
// goes, so that a stop still leaves the figures of the steps done.
void run_driver(Model& md, Stores& st, Units& units, RunControl& ctl, const DriverOptions& opt,
                RunSummary& summary);

}  // namespace nlf
