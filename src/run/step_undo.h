// A load step's undo: what an attempt at a step changes before it commits,
// kept as the step starts, so that a failed attempt can be taken back
// exactly. The committed fibre state is not touched before the commit, and
// the step increments (fibre strain increments, DSTEP, DPSTEP) start from
// zero anyway; everything else that an iteration moves is here:
//
//   DISP    total displacements                 (NEQX)
//   DFIRST  the increment that orients the step  (NEQX)
//   XM, YM  node-point coordinates              (MUMM x 6)
//   DPRUN   node-point increments over the run   (NMP x MUMM)
//   SPF     spring forces                        (MUMR x 3)
//
// plus the log-determinant and the count of negative pivots the driver
// carries from solve to solve. The buffers are sized once for the model's
// tables, before the first step; save and restore only copy.
#pragma once

#include <vector>

#include "store/model.h"

namespace nlf {

class StepUndo {
 public:
  // Sizes the buffers after the model's views are bound.
  void reserve(const Model& md);
  void save(const Model& md, double detlog, int negative_pivots);
  void restore(Model& md, double& detlog, int& negative_pivots) const;

  // Node point k (1..6) of member m as the step started.
  double x(int m, int k) const { return xm_[index(m, k)]; }
  double y(int m, int k) const { return ym_[index(m, k)]; }

 private:
  std::size_t index(int m, int k) const {
    return static_cast<std::size_t>(m - 1) + static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(ld_);
  }
  std::vector<double> disp_, dfirst_, xm_, ym_, dprun_, spf_;
  int ld_ = 0;  // leading dimension of XM and YM
  double detlog_ = 0;
  int negative_pivots_ = 0;
};

}  // namespace nlf
