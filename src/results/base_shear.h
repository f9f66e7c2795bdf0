// The base shear of a push-over, read from the joint tables: the sum of
// the horizontal reactions at the supports (their internal force X in
// Jfor.rst) against the displacement X of the joint that sways most
// (Jdis.rst), one point per output step.
#pragma once

#include <optional>
#include <vector>

#include "results/deck.h"
#include "results/tables.h"

namespace nlf::results {

struct BaseShearPoint {
  int step = 0;
  double shear = 0;  // t, with the sign of the horizontal load the reactions balance
  double drift = 0;  // mm, total displacement X of the swaying joint
};

struct BaseShear {
  std::vector<int> supports;  // user numbers of the joints held in X
  int joint = 0;              // the joint whose displacement X is largest (in size) over the run
  std::vector<BaseShearPoint> points;
  std::size_t peak = 0;  // index of the largest base shear (in size)
};

// Nullopt unless the deck holds a joint in X (a support, not a joint pushed
// by a prescribed displacement) and pushes a joint sideways (a force or a
// displacement in X), and the tables hold an output step with a joint
// that moves in X. Steps of Jfor.rst without a block in Jdis.rst are left
// out. Throws ResultError when a support is not in the joint tables.
std::optional<BaseShear> base_shear(const Frame& frame, const std::vector<TableBlock>& joint_forces,
                                    const std::vector<TableBlock>& joint_displacements);

}  // namespace nlf::results
