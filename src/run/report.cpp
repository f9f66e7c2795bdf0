#include "run/report.h"

#include <algorithm>
#include <cstdio>

namespace nlf {

void NonConverged::add(int step, int iterations, double ratio) {
  if (open_ && step == cur_.last + 1) {
    cur_.last = step;
    if (ratio > cur_.worst) {
      cur_.worst = ratio;
      cur_.worst_step = step;
    }
    return;
  }
  close();
  open_ = true;
  cur_ = Range{step, step, iterations, ratio, step};
}

void NonConverged::close() {
  if (!open_) return;
  open_ = false;
  const Range& r = cur_;
  ranges_.push_back({r.first, r.last});
  if (lines_ >= kRangeLines) {
    absorb(r);
    return;
  }
  ++lines_;
  char buf[200];
  if (r.first == r.last) {
    std::snprintf(buf, sizeof buf, "nlframe: warning: step %d did not converge in %d iterations (ratio %.4E)",
                  r.first, r.iterations, r.worst);
  } else {
    std::snprintf(buf, sizeof buf,
                  "nlframe: warning: steps %d-%d did not converge: %d steps, largest ratio %.4E at step %d", r.first,
                  r.last, r.last - r.first + 1, r.worst, r.worst_step);
  }
  out_.error(buf);
}

void NonConverged::absorb(const Range& r) {
  if (rest_ranges_ == 0) {
    rest_ = r;
  } else {
    rest_.last = r.last;
    if (r.worst > rest_.worst) {
      rest_.worst = r.worst;
      rest_.worst_step = r.worst_step;
    }
  }
  rest_steps_ += r.last - r.first + 1;
  ++rest_ranges_;
}

void NonConverged::finish() {
  close();
  if (rest_ranges_ == 0) return;
  char buf[300];
  std::snprintf(buf, sizeof buf,
                "nlframe: warning: %d more steps from step %d to step %d did not converge (%d ranges), "
                "largest ratio %.4E at step %d; R.rst lists every iteration",
                rest_steps_, rest_.first, rest_.last, rest_ranges_, rest_.worst, rest_.worst_step);
  out_.error(buf);
  rest_ranges_ = rest_steps_ = 0;
}

std::string peak_text(const GroupPeak& p) {
  char buf[160];
  if (p.kind == GroupPeak::Kind::kLoadFactor) {
    std::snprintf(buf, sizeof buf, "group %d load factor %.5G at step %d", p.group, p.value, p.step);
  } else if (p.direction == 3) {
    std::snprintf(buf, sizeof buf, "group %d moment %.5G t-cm at step %d (rotation %.5G rad)", p.group, p.value,
                  p.step, p.displacement);
  } else {
    std::snprintf(buf, sizeof buf, "group %d force %c %.5G t at step %d (displacement %.5G mm)", p.group,
                  p.direction == 1 ? 'X' : 'Y', p.value, p.step, 10 * p.displacement);
  }
  std::string text = buf;
  // How far the value can be trusted: the largest value of a group that
  // was still rising is no peak the path went over.
  if (!p.passed) text += " (still rising, no peak passed)";
  if (!p.converged) text += " (from a step that did not converge)";
  return text;
}

std::string summary_text(const RunSummary& s) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%d steps, %ld iterations, %d not converged", s.steps, s.iterations,
                s.not_converged);
  std::string text = buf;
  if (s.cut_backs > 0) text += ", " + std::to_string(s.cut_backs) + (s.cut_backs == 1 ? " cut-back" : " cut-backs");
  const int named = std::min(s.peak_count, RunSummary::kPeaks);
  for (int k = 0; k < named; ++k)
    text += (k > 0 ? ", " : (s.peak_count > 1 ? "; peaks: " : "; peak: ")) +
            peak_text(s.peaks[static_cast<std::size_t>(k)]);
  if (s.peak_count > named) {
    const int more = s.peak_count - named;
    text += " and " + std::to_string(more) + (more == 1 ? " more peak" : " more peaks");
  }
  for (const std::string& w : s.accuracy) text += "; warning: " + w;
  return text;
}

}  // namespace nlf
