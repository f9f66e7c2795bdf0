// Checks of a load step that the iterations themselves do not make: what
// the step did to the fibres, and whether every segment still has a length.
#pragma once

#include "run/step_undo.h"
#include "storage/fibre_store.h"
#include "store/model.h"

namespace nlf {

// The fibres after the iterations of a step, before its commit.
struct StrainScan {
  double change = 0;  // largest |DEPS| / EYM over every fibre: the step's strain change in yield strains
  double strain = 0;  // largest |EPS + DEPS|: the largest strain once the step is committed
  int member = 0;     // where `strain` is: member and station (1..10)
  int station = 0;
};

// One read-only sweep over every fibre (the fibre store's pass sequence, in
// memory or scratch files alike).
StrainScan scan_strains(const Model& md, FibreStore& fs);

// A segment whose length, measured along its own direction at the start of
// the step, is zero or negative: the frame has been pushed through itself.
// member 0: every segment is sound.
struct SegmentFault {
  int member = 0;
  int segment = 0;  // 1..5
};
SegmentFault collapsed_segment(const Model& md, const StepUndo& start);

}  // namespace nlf
