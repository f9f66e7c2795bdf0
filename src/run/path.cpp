#include "run/path.h"

#include <algorithm>
#include <cmath>

namespace nlf {

double GroupPath::next_arc_length(const LoadGroup& g) const {
  if (steps == 0 || !(g.ADAPT > 0)) return g.ARCLEN;
  const double x2 = std::fabs(g.ARCLEN);
  const double scaled = std::fabs(arclen) * std::sqrt(g.ADAPT / std::max(iterations, 1));
  return std::clamp(scaled, kArcLengthMin * x2, kArcLengthMax * x2);
}

bool GroupPath::step_done(const LoadGroup& g, int ISTEP, double dl, double step_arclen,
                          int step_iterations, bool converged, TextOut& listing) {
  ++steps;
  load_factor += dl;
  arclen = step_arclen;
  iterations = step_iterations;
  if (steps == 1 || load_factor > peak) {
    peak = load_factor;
    peak_step = ISTEP;
  }
  if (!(g.DROP > 0) || !converged || !(peak > 0) || !(load_factor < g.DROP * peak)) return false;
  static const Format end_line(
      "(/,1X,'END OF THE GROUP: LOAD FACTOR',1P,E12.4,' IS BELOW',0P,F6.3,' OF THE LARGEST',1P,E12.4,"
      "' AT STEP',I5)");
  listing.write(end_line, {load_factor, g.DROP, peak, peak_step});
  return true;
}

void GroupPath::find_prescribed(const Model& md) {
  for (int d = 1; d <= 3; ++d) {
    Push& p = push[static_cast<std::size_t>(d - 1)];
    p = Push{};
    for (int j = 1; j <= md.NJ && !p.prescribed; ++j) {
      const int e = md.pat(j, d);
      if (md.LTYPE(e) != 0 && md.PDISP(e) != 0) {
        p.prescribed = true;
        p.joint = j;
        p.joint_no = md.JNO(j);
      }
    }
  }
}

void GroupPath::forces_done(const Model& md, int ISTEP) {
  for (int d = 1; d <= 3; ++d) {
    Push& p = push[static_cast<std::size_t>(d - 1)];
    if (!p.prescribed) continue;
    double force = 0;
    for (int j = p.joint; j <= md.NJ; ++j) {
      const int e = md.pat(j, d);
      if (md.LTYPE(e) != 0 && md.PDISP(e) != 0) force += md.R(3 * (j - 1) + d);
    }
    if (p.peak_step == 0 || std::fabs(force) > std::fabs(p.peak)) {
      p.peak = force;
      p.peak_step = ISTEP;
      p.displacement = md.DISP(md.IEQ(3 * (p.joint - 1) + d));
    }
  }
}

void GroupPath::report(int group, RunSummary& summary) const {
  bool pushed = false;
  for (int d = 1; d <= 3; ++d) {
    const Push& p = push[static_cast<std::size_t>(d - 1)];
    if (!p.prescribed || p.peak_step == 0) continue;
    pushed = true;
    GroupPeak k;
    k.kind = GroupPeak::Kind::kForce;
    k.group = group;
    k.value = p.peak;
    k.step = p.peak_step;
    k.direction = d;
    k.joint = p.joint_no;
    k.displacement = p.displacement;
    summary.add_peak(k);
  }
  if (!pushed && steps > 0) {
    GroupPeak k;
    k.group = group;
    k.value = peak;
    k.step = peak_step;
    summary.add_peak(k);
  }
}

}  // namespace nlf
