// What a run tells on standard error besides its errors: the steps that did
// not converge, gathered into ranges, and the summary line with the peak of
// every load group.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "io/units.h"

namespace nlf {

// The steps that stopped at their iteration limit, as ranges of consecutive
// step numbers. A range is written when it closes (at the next converged
// step, or at the end of the run); after kRangeLines ranges the rest are
// summed up in one closing line, so that a long run that fails to converge
// over and over writes at most kRangeLines + 1 lines. The listing keeps
// every step's iteration lines.
struct StepRange {
  int first = 0, last = 0;
};

class NonConverged {
 public:
  static constexpr int kRangeLines = 3;

  explicit NonConverged(RunOutput& out) : out_(out) {}

  void add(int step, int iterations, double ratio);
  // A step that converged: closes the open range.
  void converged() { close(); }
  // The end of the run (complete or stopped): the open range and the rest.
  void finish();

  // Every range closed so far, those summed up in the closing line included.
  const std::vector<StepRange>& ranges() const { return ranges_; }

 private:
  struct Range {
    int first = 0, last = 0, iterations = 0;
    double worst = 0;  // largest ratio
    int worst_step = 0;
  };
  void close();
  void absorb(const Range& r);

  RunOutput& out_;
  std::vector<StepRange> ranges_;
  bool open_ = false;
  Range cur_;
  int lines_ = 0;
  // Everything past the written lines.
  int rest_steps_ = 0, rest_ranges_ = 0;
  Range rest_;
};

// The peak of a load group. A group that prescribes displacements has one
// for every direction it pushes: the largest resisting force at its
// prescribed freedoms of that direction, summed over the joints, with the
// displacement there; any other group has the largest load factor it
// reached (the multiple of FACTOR x pattern it has added).
struct GroupPeak {
  enum class Kind { kLoadFactor, kForce };
  Kind kind = Kind::kLoadFactor;
  int group = 0;            // the group's number in the run, from 1
  double value = 0;         // load factor, or force (t; t-cm for a rotation)
  int step = 0;             // step of the run where it was reached
  int direction = 0;        // kForce: 1 X, 2 Y, 3 rotation
  int joint = 0;            // kForce: user number of the first prescribed joint
  double displacement = 0;  // kForce: total displacement of that joint at the peak (cm; rad)
  // How far the value can be trusted.
  bool passed = true;      // false: the group ended while the value was still rising, so it is the
                           // largest value reached, not a peak the path went over
  bool converged = true;   // false: reached in a step that stopped at its iteration limit
  double strain = 0;       // the largest fibre strain (absolute value) of the frame at that step
};

// What the run did, for the summary line on standard error.
struct RunSummary {
  static constexpr int kPeaks = 8;  // peaks named one by one

  int steps = 0;
  long iterations = 0;
  int not_converged = 0;
  int cut_backs = 0;  // attempts at a step taken back and tried shorter
  std::array<GroupPeak, kPeaks> peaks{};
  int peak_count = 0;  // peaks of the groups run (those past kPeaks are only counted)
  std::vector<StepRange> not_converged_ranges;  // every range of steps that did not converge
  // The load history ran out without an F card after its last group was done.
  bool history_ended = false;
  // Warnings about the accuracy of the peaks (steps too long for the fibre
  // strains, steps that did not converge in a peak region, very large
  // strains at a peak), each a clause for the summary line.
  std::vector<std::string> accuracy;

  void add_peak(const GroupPeak& p) {
    if (peak_count < kPeaks) peaks[static_cast<std::size_t>(peak_count)] = p;
    ++peak_count;
  }
};

// One peak as the summary line names it.
std::string peak_text(const GroupPeak& p);

// The summary line without its time: "5 steps, 18 iterations, 0 not
// converged", then the peak of every group ("group 2 load factor 3.1024 at
// step 10", "group 3 force X 3.2713 t at step 12 (displacement 36.878 mm)").
std::string summary_text(const RunSummary& s);

}  // namespace nlf
