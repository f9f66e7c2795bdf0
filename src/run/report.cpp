#include "run/report.h"

#include <algorithm>
#include <cstdio>

namespace nlf {

void NonConverged::add(int step, int iterations, double ratio) {
  std::fprintf(stderr, "nlframe: warning: step %d did not converge in %d iterations (ratio %.4E)\n", step,
               iterations, ratio);
}

void NonConverged::finish() {}

std::string summary_text(const RunSummary& s) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%d steps, %ld iterations, %d not converged", s.steps, s.iterations,
                s.not_converged);
  std::string text = buf;
  const int named = std::min(s.arc_groups, RunSummary::kPeaks);
  for (int k = 0; k < named; ++k) {
    const GroupPeak& p = s.peaks[static_cast<std::size_t>(k)];
    std::snprintf(buf, sizeof buf, "%s %.5G at step %d",
                  k > 0 ? "," : (s.arc_groups > 1 ? ", largest load factors" : ", largest load factor"),
                  p.load_factor, p.step);
    text += buf;
  }
  if (s.arc_groups > named) text += " and " + std::to_string(s.arc_groups - named) + " more groups";
  return text;
}

}  // namespace nlf
