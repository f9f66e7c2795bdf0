#include "run/step_stops.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "io/stop.h"
#include "run/driver.h"

namespace nlf {

// The line on standard error when the pivot test stops the run: where the
// frame lost its stiffness, and what that means. `path` holds the group's
// steps done before the failed step ISTEP; the line quotes the last of them,
// never a figure of the failed iteration.
void report_lost_stiffness(Units& units, bool follow, bool arc, int ISTEP, const GroupPath& path) {
  char last[200] = "";
  if (path.steps > 0)
    std::snprintf(last, sizeof last, "; the last step done, %d, reached load factor %.5G of its group", ISTEP - 1,
                  path.load_factor);
  else
    std::snprintf(last, sizeof last, " in the first step of its group");
  if (follow) {
    units.error_line(
        "nlframe: step %d: a pivot of the stiffness matrix is zero or not a number, the equations cannot be "
        "solved%s (see R.rst)",
        ISTEP, last);
    return;
  }
  if (path.steps > 0)
    std::snprintf(last + std::strlen(last), sizeof last - std::strlen(last),
                  ": the peak lies between it and step %d", ISTEP);
  units.error_line(
      "nlframe: step %d: the frame lost its stiffness, a pivot is not positive (a limit point or a "
      "mechanism)%s; %sX3 on the E card follows the path past a limit point (see R.rst)",
      ISTEP, last, arc ? "" : "arc-length control (X2) with ");
}

void report_mechanism(Units& units, const Model& md, int ISTEP, int joint, int direction, bool first) {
  double longest = 0, shortest = 0;
  int short_member = 0;
  for (int m = 1; m <= md.NM; ++m) {
    const int a = md.IJ(m, 1), b = md.IJ(m, 2);
    const double L = std::hypot(md.XJ(b) - md.XJ(a), md.YJ(b) - md.YJ(a));
    longest = std::max(longest, L);
    if (short_member == 0 || L < shortest) shortest = L, short_member = m;
  }
  const char* when = first ? "before any load" : "(a pivot of rounding size)";
  if (short_member != 0 && shortest < 1e-3 * longest) {
    units.error_line("nlframe: step %d: the stiffness matrix is singular %s: member %d is %.4G cm "
                     "long, too short to be told from a point beside members of %.4G cm (joints %d and %d); "
                     "join its joints or give it a real length (see R.rst)",
                     ISTEP, when, short_member, shortest, longest, md.JNO(md.IJ(short_member, 1)),
                     md.JNO(md.IJ(short_member, 2)));
    return;
  }
  static const char* const kDirection[] = {"", "in X", "in Y", "in rotation"};
  const int user = joint >= 1 ? md.JNO(joint) : 0;
  units.error_line("nlframe: step %d: the model is a mechanism, its stiffness matrix is singular %s: nothing "
                   "holds joint %d %s (a support, a spring or a member that braces it is missing: a B card code, "
                   "a K card, an M card), not a limit point (see R.rst)",
                   ISTEP, when, user, kDirection[direction >= 1 && direction <= 3 ? direction : 0]);
}

// A segment pushed through itself: the state can no longer be a frame.
[[noreturn]] void segment_stop(Units& units, int ISTEP, const GroupPath& path, const SegmentFault& f) {
  static const Format line("(/,1X,'ERROR ... STEP',I5,': SEGMENT',I2,' OF MEMBER',I5,' HAS NO LENGTH LEFT')");
  units.listing().write(line, {ISTEP, f.segment, f.member});
  char last[160];
  if (path.steps > 0)
    std::snprintf(last, sizeof last, "the last step done, %d, reached load factor %.5G of its group", ISTEP - 1,
                  path.load_factor);
  else if (ISTEP > 1)
    std::snprintf(last, sizeof last, "the last step done, %d, ended the group before", ISTEP - 1);
  else
    std::snprintf(last, sizeof last, "no step was done");
  units.error_line("nlframe: step %d: segment %d of member %d has been pushed through itself (its length is "
                   "zero or negative), an impossible state; %s",
                   ISTEP, f.segment, f.member, last);
  throw Stop{1};
}

[[noreturn]] void cancelled(int ISTEP, int ITER, const std::string& cause) {
  const std::string where = " in step " + std::to_string(ISTEP) + ", iteration " + std::to_string(ITER + 1);
  if (cause.empty()) throw Stop{kCancelled, "nlframe: the run was cancelled" + where};
  throw Stop{kCancelled, "nlframe: the run was " + cause + where + "; the result files hold the steps done before it"};
}

}  // namespace nlf
