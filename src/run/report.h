// What a run tells on standard error besides its errors: the steps that did
// not converge, gathered into ranges, and the summary line with the largest
// load factor of every arc-length group.
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

// The largest load factor of an arc-length group and the step of it.
struct GroupPeak {
  double load_factor = 0;
  int step = 0;
};

// What the run did, for the summary line on standard error.
struct RunSummary {
  static constexpr int kPeaks = 8;  // groups named one by one

  int steps = 0;
  long iterations = 0;
  int not_converged = 0;
  std::array<GroupPeak, kPeaks> peaks{};
  int arc_groups = 0;  // arc-length groups run (those past kPeaks are only counted)
  std::vector<StepRange> not_converged_ranges;  // every range of steps that did not converge

  void add_peak(const GroupPeak& p) {
    if (arc_groups < kPeaks) peaks[static_cast<std::size_t>(arc_groups)] = p;
    ++arc_groups;
  }
};

// The summary line without its time: "5 steps, 18 iterations, 0 not
// converged", then the largest load factor of every arc-length group.
std::string summary_text(const RunSummary& s);

}  // namespace nlf
