#include "run/step_control.h"

#include <algorithm>
#include <cmath>

namespace nlf {

const char* fault_text(StepFault f) {
  switch (f) {
    case StepFault::kDiverged: return "DIVERGED";
    case StepFault::kIterationLimit: return "NOT CONVERGED IN MAXIT ITERATIONS";
    case StepFault::kPivot: return "A PIVOT IS ZERO OR NOT A NUMBER";
    case StepFault::kSegment: return "A SEGMENT LOST ITS LENGTH";
    case StepFault::kStrainChange: return "FIBRE STRAINS CHANGED TOO MUCH";
    case StepFault::kPeak: return "PASSED A TOP, REFINING";
    case StepFault::kNone: break;
  }
  return "";
}

bool DivergenceWatch::diverged(double a, double b, double dlstep, int iter) {
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(dlstep)) return true;
  const double ratio = b > 0 ? a / b : 0.0;
  rises = (iter > 1 && ratio > last) ? rises + 1 : 0;
  last = ratio;
  return (rises >= 3 && ratio > 1.0) || ratio > 1e6;
}

void StepControl::start_group(const LoadGroup& g) {
  *this = StepControl{};
  adaptive_ = g.arc_length() && g.ADAPT > 0;
  x2_ = std::fabs(g.ARCLEN);
}

double StepControl::limit(double length) const {
  if (!adaptive_) return length;
  double a = std::fabs(length);
  if (last_change_ > 0) a = std::min(a, last_length_ * kStrainBound / last_change_);
  if (refine_ > 0) a = std::min(a, refine_);
  a = std::max(a, kFloor * x2_);
  return std::copysign(a, length);
}

double StepControl::cut(StepFault f, double length, double change) {
  double factor = 0.5;
  if (f == StepFault::kStrainChange && change > 0) factor = std::clamp(0.9 * kStrainBound / change, 0.1, 0.5);
  const double next = std::fabs(length) * factor;
  if (next < kFloor * x2_) return 0;
  if (f == StepFault::kPeak) refine_ = next;
  return std::copysign(next, length);
}

StepFault StepControl::judge(double lambda, double dl, double length, double slope, bool crossed,
                             double change, double peak) const {
  if (change > kStrainBound) return StepFault::kStrainChange;
  if (!(crossed || (slope > 0 && dl < 0))) return StepFault::kNone;
  const double rise = std::max(slope, 0.0) * std::fabs(length);
  const double scale = std::max({std::fabs(lambda), std::fabs(peak), 1e-300});
  return rise > kPeakTolerance * scale ? StepFault::kPeak : StepFault::kNone;
}

void StepControl::accepted(double dl, double length, double change) {
  // A step that went down ends the refinement of a top.
  if (dl < 0) refine_ = 0;
  last_length_ = std::fabs(length);
  last_change_ = change;
}

}  // namespace nlf
