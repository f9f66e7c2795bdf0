// The stops of a load step, each with its line on standard error that
// quotes the last step done, never a figure of the attempt that failed.
#pragma once

#include <string>

#include "io/units.h"
#include "run/path.h"
#include "run/step_checks.h"

namespace nlf {

// The pivot test stopped the run in step ISTEP: where the frame lost its
// stiffness, and what that means (`follow`: the group has X3, `arc`: it
// runs under arc-length control). `path` holds the group's steps done.
void report_lost_stiffness(Units& units, bool follow, bool arc, int ISTEP, const GroupPath& path);

// A pivot that failed in the first solve of the run (`first`: before any
// load could weaken the frame) or at rounding size: a mechanism or a
// singular model, not a limit point. The line names the direction of the
// joint that nothing holds, or the member too short to be told from a point.
void report_mechanism(Units& units, const Model& md, int ISTEP, int joint, int direction, bool first);

// A segment pushed through itself: the state can no longer be a frame.
[[noreturn]] void segment_stop(Units& units, int ISTEP, const GroupPath& path, const SegmentFault& f);

// The run was cancelled in iteration ITER (from 0) of step ISTEP; `cause`
// names what cancelled it ("interrupted by SIGINT"), empty for a plain cancel.
[[noreturn]] void cancelled(int ISTEP, int ITER, const std::string& cause = {});

}  // namespace nlf
