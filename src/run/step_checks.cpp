#include "run/step_checks.h"

#include <cmath>

namespace nlf {

StrainScan scan_strains(const Model& md, FibreStore& fs) {
  StrainScan r;
  fs.pass_begin();
  for (int m = 1; m <= md.NM; ++m) {
    const MemberFibres f = fs.pass_member(m);
    const double eym = md.EYM(m);
    for (int k = 1; k <= NSTA; ++k)
      for (int i = 1; i <= NFIB; ++i) {
        const int at = MemberFibres::at(i, k);
        const double change = std::fabs(f.DEPS[at]) / eym;
        const double strain = std::fabs(f.EPS[at] + f.DEPS[at]);
        // A value that is not a number counts as the largest of all.
        if (change > r.change || std::isnan(change)) r.change = std::isnan(change) ? HUGE_VAL : change;
        if (strain > r.strain || std::isnan(strain)) {
          r.strain = std::isnan(strain) ? HUGE_VAL : strain;
          r.member = m;
          r.station = k;
        }
      }
  }
  fs.pass_end();
  return r;
}

SegmentFault collapsed_segment(const Model& md, const StepUndo& start) {
  for (int m = 1; m <= md.NM; ++m)
    for (int k = 1; k < NPT; ++k) {
      const double dx0 = start.x(m, k + 1) - start.x(m, k), dy0 = start.y(m, k + 1) - start.y(m, k);
      const double dx = md.XM(m, k + 1) - md.XM(m, k), dy = md.YM(m, k + 1) - md.YM(m, k);
      // The length along the old direction, times the old length.
      const double along = dx * dx0 + dy * dy0;
      if (!(along > 0)) return {m, k};
    }
  return {};
}

}  // namespace nlf
