// What a run tells on standard error besides its errors: the steps that did
// not converge, gathered into ranges, and the summary line with the largest
// load factor of every arc-length group.
#pragma once

#include <array>
#include <string>

namespace nlf {

// The steps that stopped at their iteration limit, one warning each.
class NonConverged {
 public:
  void add(int step, int iterations, double ratio);
  void converged() {}
  void finish();
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

  void add_peak(const GroupPeak& p) {
    if (arc_groups < kPeaks) peaks[static_cast<std::size_t>(arc_groups)] = p;
    ++arc_groups;
  }
};

// The summary line without its time: "5 steps, 18 iterations, 0 not
// converged", then the largest load factor of every arc-length group.
std::string summary_text(const RunSummary& s);

}  // namespace nlf
