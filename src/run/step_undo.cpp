#include "run/step_undo.h"

#include <algorithm>

namespace nlf {

namespace {

template <class View>
void copy_out(const View& v, std::vector<double>& to) {
  std::copy(v.data(), v.data() + v.size(), to.begin());
}

template <class View>
void copy_in(const std::vector<double>& from, const View& v) {
  std::copy(from.begin(), from.end(), v.data());
}

}  // namespace

void StepUndo::reserve(const Model& md) {
  disp_.assign(static_cast<std::size_t>(md.DISP.size()), 0.0);
  dfirst_.assign(static_cast<std::size_t>(md.DFIRST.size()), 0.0);
  xm_.assign(static_cast<std::size_t>(md.XM.size()), 0.0);
  ym_.assign(static_cast<std::size_t>(md.YM.size()), 0.0);
  dprun_.assign(static_cast<std::size_t>(md.DPRUN.size()), 0.0);
  spf_.assign(static_cast<std::size_t>(md.SPF.size()), 0.0);
  ld_ = md.XM.ld;
}

void StepUndo::save(const Model& md, double detlog, int negative_pivots) {
  copy_out(md.DISP, disp_);
  copy_out(md.DFIRST, dfirst_);
  copy_out(md.XM, xm_);
  copy_out(md.YM, ym_);
  copy_out(md.DPRUN, dprun_);
  copy_out(md.SPF, spf_);
  detlog_ = detlog;
  negative_pivots_ = negative_pivots;
}

void StepUndo::restore(Model& md, double& detlog, int& negative_pivots) const {
  copy_in(disp_, md.DISP);
  copy_in(dfirst_, md.DFIRST);
  copy_in(xm_, md.XM);
  copy_in(ym_, md.YM);
  copy_in(dprun_, md.DPRUN);
  copy_in(spf_, md.SPF);
  md.DSTEP.fill(0.0);
  md.DPSTEP.fill(0.0);
  detlog = detlog_;
  negative_pivots = negative_pivots_;
}

}  // namespace nlf
