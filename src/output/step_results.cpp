#include "output/step_results.h"

#include <cmath>
#include <limits>

#include "output/result_sink.h"
#include "output/text_sink.h"
#include "store/model.h"

namespace nlf {

CurveCode decode_curve_code(double c) {
  CurveCode r;
  // A code far outside any joint number names no joint: it counts, with a
  // zero value, and keeps the integer conversions below defined.
  if (!(std::fabs(c) < 1.0e6)) {
    r.J = -1;
    return r;
  }
  r.J = static_cast<int>(c + 0.5);
  r.K = static_cast<int>(10.0 * c + 0.5) - 10 * r.J;
  r.D = static_cast<int>(100.0 * c + 0.5) - 10 * r.K - 100 * r.J;
  return r;
}

char stress_symbol(double s, double upper, double lower) {
  if (s >= upper) return '+';
  if (s > lower) return '.';
  return '-';
}

int stress_value(double s) {
  const double y = s * 100.0;
  // Anything beyond the I4 field prints as asterisks anyway; keep the
  // conversion defined for huge values and NaN.
  constexpr double limit = 1.0e9;
  if (!(std::fabs(y) <= limit)) {
    if (std::isnan(y)) return std::numeric_limits<int>::min();
    return y > 0 ? static_cast<int>(limit) : -static_cast<int>(limit);
  }
  // Rounded halves away from zero: the truncated value (y minus it is
  // exact), moved one away from zero when the part cut off is a half or
  // more. This is the stress table's inner loop; a call of round costs more
  // than the rest of the fibre.
  const auto t = static_cast<int>(y);
  const double cut = y - static_cast<double>(t);
  return t + (cut >= 0.5 ? 1 : 0) - (cut <= -0.5 ? 1 : 0);
}

void step_results(const Model& md, FibreStore& fs, Units& units, int step, int detail) {
  Sizes sz = md.sz;
  sz.MUMM = md.NM, sz.MUMJ = md.NJ, sz.MUMW = md.NW;
  StepOutput out(sz);
  TextSink text(units);
  out.add(text);
  out.write(md, fs, step, detail);
}

void StepOutput::write(const Model& md, FibreStore& fs, int step, int detail) {
  unsigned want = 0;
  for (const ResultSink* s : sinks_) want |= s->wants(step);
  if (want == 0) return;
  tables_.build(md, fs, step, detail, want);
  for (ResultSink* s : sinks_)
    if (const unsigned parts = s->wants(step) & tables_.parts; parts != 0) s->write(tables_, parts);
}

}  // namespace nlf
