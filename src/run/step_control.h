// How a group with an adaptive arc length (X4 > 0) takes its steps so that
// its peak can be trusted:
//
//  - a step that fails (its iteration diverges, it reaches MAXIT, a pivot is
//    zero or not a number, a segment loses its length) is undone and tried
//    again with half the arc length, down to kFloor times |X2|; below that
//    the group ends at its last converged step;
//  - a converged step that changed some fibre's strain by more than
//    kStrainBound yield strains is undone and tried shorter, and the next
//    step's arc length is kept to what the bound allows at the last step's
//    rate;
//  - a converged step that passed a top (its load factor fell although
//    the path rose where the step began, or the count of negative pivots
//    grew) is undone and tried with half its length while the top may lie
//    more than kPeakTolerance of the peak above where the step began: the
//    load factor can rise over a step by at most the slope it started with
//    (the first iteration's load-factor increment over the arc length)
//    times the arc length, the path being concave there. The steps after
//    it keep the shorter length until the top is passed within tolerance.
//
// Groups without X4 keep their fixed steps; they only use the records of the
// step faults and the strain bound for the warnings of the summary line.
#pragma once

#include "deck/history.h"
#include "io/units.h"

namespace nlf {

enum class StepFault { kNone, kDiverged, kIterationLimit, kPivot, kSegment, kStrainChange, kPeak };

// The words for the listing's cut-back line.
const char* fault_text(StepFault f);

inline constexpr double kStrainBound = 2.0;     // yield strains a fibre may change in one step
inline constexpr double kFloor = 1e-4;          // the shortest cut-back, times |X2|
inline constexpr double kPeakTolerance = 1e-3;  // of the peak's load factor

// From the ratios of an adaptive step's iterations: whether the iteration
// has diverged (a value that is not finite, or a ratio above 1 that grew in
// three iterations in a row, or at once above 1E+6).
struct DivergenceWatch {
  double last = 0;
  int rises = 0;
  bool diverged(double a, double b, double dlstep, int iter);
};

class StepControl {
 public:
  // At the start of a group.
  void start_group(const LoadGroup& g);
  bool adaptive() const { return adaptive_; }

  // The arc length of the next step: the group's own choice `length`, kept
  // to what the strain bound allows and, while a top is refined, to the
  // refined length.
  double limit(double length) const;

  // A failed or rejected attempt with arc length `length`: the length to try
  // next, or 0 when it would fall below the floor. A top being refined keeps
  // the steps after it to the new length.
  double cut(StepFault f, double length, double change);

  // A converged attempt of an adaptive group that began at load factor
  // `lambda` and added `dl` over the arc length `length`, with `slope` the
  // load-factor increment of its first iteration over the arc length,
  // `crossed` set when the count of negative pivots grew, and `change` the
  // largest strain change: kStrainChange when it changed the fibres too
  // much, kPeak when it passed a top that is not yet known well enough,
  // else kNone. `peak` is the group's largest load factor so far.
  StepFault judge(double lambda, double dl, double length, double slope, bool crossed, double change,
                  double peak) const;

  // An attempt accepted (of any group) as the step with these figures.
  void accepted(double dl, double length, double change);

 private:
  bool adaptive_ = false;
  double x2_ = 0;
  double last_length_ = 0, last_change_ = 0;  // of the last accepted step
  double refine_ = 0;  // while a top is refined: the arc length to keep to
};

}  // namespace nlf
