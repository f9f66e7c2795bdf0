#include "run/path.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "run/step_control.h"

namespace nlf {

double GroupPath::next_arc_length(const LoadGroup& g) const {
  if (steps == 0 || !(g.ADAPT > 0)) return g.ARCLEN;
  const double x2 = std::fabs(g.ARCLEN);
  const double scaled = std::fabs(arclen) * std::sqrt(g.ADAPT / std::max(iterations, 1));
  return std::clamp(scaled, kArcLengthMin * x2, kArcLengthMax * x2);
}

bool GroupPath::step_done(const LoadGroup& g, int ISTEP, double dl, double step_arclen,
                          int step_iterations, bool converged, double strain, double change,
                          TextOut& listing) {
  ++steps;
  load_factor += dl;
  arclen = step_arclen;
  iterations = step_iterations;
  if (steps == 1 || load_factor > peak) {
    peak = load_factor;
    peak_step = ISTEP;
    peak_converged = converged;
    peak_strain = strain;
  }
  if (!converged) loose.push_back({ISTEP, load_factor});
  if (change > kStrainBound) {
    if (long_count == 0) long_first = ISTEP;
    long_last = ISTEP;
    ++long_count;
    long_change = std::max(long_change, change);
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

void GroupPath::forces_done(const Model& md, int ISTEP, bool converged, double strain) {
  for (int d = 1; d <= 3; ++d) {
    Push& p = push[static_cast<std::size_t>(d - 1)];
    if (!p.prescribed) continue;
    double force = 0;
    for (int j = p.joint; j <= md.NJ; ++j) {
      const int e = md.pat(j, d);
      if (md.LTYPE(e) != 0 && md.PDISP(e) != 0) force += md.R(joint_serial(j, d));
    }
    p.last = force;
    if (p.peak_step == 0 || std::fabs(force) > std::fabs(p.peak)) {
      p.peak = force;
      p.peak_step = ISTEP;
      p.displacement = md.DISP(md.eq(p.joint, d));
      p.converged = converged;
      p.strain = strain;
    }
  }
}

void GroupPath::report(int group, double strain_limit, RunSummary& summary) const {
  bool pushed = false;
  double top_strain = 0;    // the largest strain at a peak
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
    k.passed = std::fabs(p.last) < std::fabs(p.peak);
    k.converged = p.converged;
    k.strain = p.strain;
    top_strain = std::max(top_strain, p.strain);
    summary.add_peak(k);
  }
  if (!pushed && steps > 0) {
    GroupPeak k;
    k.group = group;
    k.value = peak;
    k.step = peak_step;
    k.passed = load_factor < peak;
    k.converged = peak_converged;
    k.strain = peak_strain;
    top_strain = peak_strain;
    summary.add_peak(k);
  }
  warn(group, strain_limit, top_strain, pushed, summary);
}

void GroupPath::warn(int group, double strain_limit, double top_strain, bool pushed, RunSummary& summary) const {
  const auto steps_text = [](int count, int first, int last) {
    return count == 1 ? "step " + std::to_string(first)
                      : std::to_string(count) + " steps from " + std::to_string(first) + " to " +
                            std::to_string(last);
  };
  char buf[400];
  if (long_count > 0) {
    std::snprintf(buf, sizeof buf,
                  "group %d: %s changed a fibre strain by up to %.3G yield strains in one step (more than "
                  "%g), so its peak depends on the step length: %s",
                  group, steps_text(long_count, long_first, long_last).c_str(), long_change, kStrainBound,
                  adaptive ? "the arc length reached its floor"
                  : arc    ? "X4 on the E card adapts the steps to the bound"
                           : "arc-length control with X4 on the E card adapts the steps to the bound");
    summary.accuracy.emplace_back(buf);
  }
  // The peak region: the steps within 5 % of the peak's load factor, or
  // for a pushed group the peak's own step.
  int first = 0, last = 0, count = 0;
  for (const Loose& l : loose)
    if (!pushed && peak > 0 && l.load_factor >= 0.95 * peak) {
      if (count++ == 0) first = l.step;
      last = l.step;
    }
  if (count == 0) {
    // A peak of its own step that did not converge, whatever its size.
    int at = !pushed && !peak_converged ? peak_step : 0;
    for (const Push& p : push)
      if (p.prescribed && p.peak_step != 0 && !p.converged) at = p.peak_step;
    if (at != 0) {
      count = 1;
      first = last = at;
    }
  }
  if (count > 0) {
    std::snprintf(buf, sizeof buf,
                  "group %d: %s near the peak did not converge, so the peak is not accurate: %s", group,
                  steps_text(count, first, last).c_str(),
                  adaptive ? "the arc length reached its floor"
                  : arc    ? "X4 on the E card cuts such steps back"
                           : "shorter steps, or arc-length control with X4 on the E card, get through");
    summary.accuracy.emplace_back(buf);
  }
  if (strain_limit == 0 && top_strain > 0.1) {
    std::snprintf(buf, sizeof buf,
                  "group %d: the peak lies at a fibre strain of %.3G %%, more than steel bears; X4 on the P "
                  "card ends a group at a largest strain",
                  group, 100 * top_strain);
    summary.accuracy.emplace_back(buf);
  }
}

}  // namespace nlf
