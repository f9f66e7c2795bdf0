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

// A segment pushed through itself: the state can no longer be a frame.
[[noreturn]] void segment_stop(Units& units, int ISTEP, const GroupPath& path, const SegmentFault& f);

// The run was cancelled in iteration ITER (from 0) of step ISTEP; `cause`
// names what cancelled it ("interrupted by SIGINT"), empty for a plain cancel.
[[noreturn]] void cancelled(int ISTEP, int ITER, const std::string& cause = {});

}  // namespace nlf
