// The model of one run: its sizes, its counters and named views of the
// tables that live in the fixed stores. The views are bound once by the
// workspace layout (store/bind.h); nothing here owns memory except the
// joint-number map, which has its own fixed 999 entries.
#pragma once

#include <array>
#include <cstdint>

#include "store/sizes.h"
#include "store/views.h"

namespace nlf {

struct Model {
  Sizes sz;

  // Counters of the structure input.
  int NJ = 0, NM = 0, NK = 0, NW = 0, NEQ = 0, MBAND = 0;
  int MAXIT = 0, MINIT = 0;
  double E = 0, E2 = 0, E3 = 0;
  // The L card had a negative count: the fibre state and the cumulative
  // arrays were left as they stood (a restored state is kept).
  bool state_kept = false;

  // User joint number (1..999) -> internal joint index; 0: not defined.
  std::array<std::int32_t, MAXJOINTNO + 1> JMAP{};
  int jmap(int n) const { return (n >= 1 && n <= MAXJOINTNO) ? JMAP[n] : 0; }

  // Integer workspace, in layout order (tables 7-9 reserved).
  IVec KJ;     // joint of each K card (MUMR)
  IVec IEQ;    // equation numbers, three per joint (NEQX)
  IMat IJ;     // end joints of each member (MUMM x 2)
  IVec ISEC;   // section of each member (MUMM)
  IVec JNO;    // user number of each joint (MUMJ)
  IVec LTYPE;  // load-pattern type flags, direction-major: (d-1)*MUMJ + j
  IVec MGEO;   // 1: no geometric terms (MUMM)

  // Real workspace, in layout order (tables 24, 27, 28, 32 and 36-44
  // reserved: store/layout.cpp keeps their lengths, nothing is bound).
  RMat SPF;    // 1: spring forces of each K card (MUMR x 3)
  RMat KF;     // 2: spring stiffnesses of each K card (MUMR x 3)
  double* Aband = nullptr;  // 3: band matrix storage (NEQX * MBAND)
  RVec R;      // 4: resisting forces, joint-serial 3j-2..3j (NEQX)
  RVec RCM;    // 5: per member 72 values: 12 x 6 column-major at (m-1)*72
  RVec RCV;    // 6: per member 12 values at (m-1)*12
  RVec XJ, YJ; // 7, 8: joint coordinates (MUMJ)
  RMat XM, YM; // 9, 10: node-point coordinates (MUMM x 6)
  RVec DISP;   // 11: total displacements by equation (NEQX)
  RVec DSTEP;  // 12: step displacement increment (NEQX)
  RMat SOL;    // 13: solutions, one column per load column (NEQX x NRHS)
  RVec DFIRST; // 14: first-iteration increment of the step (NEQX)
  RVec DITER;  // 15: iteration displacement increment (NEQX)
  RMat DPT;    // 16: node-point increments of the iteration (NMP x MUMM)
  RVec PLOAD;  // 17: total applied load, direction-major (NEQX)
  RVec UNB;    // 18: unbalanced forces, joint-serial (NEQX)
  RMat RHS;    // 19: right-hand sides (NEQX x NRHS)
  RVec PDISP;  // 20: prescribed values of the pattern, direction-major
  RVec PFORCE; // 21: force values of the pattern, direction-major
  RMat AREA;   // 22: fibre areas (MUMS x MUMT)
  RMat ZF;     // 23: fibre coordinates (MUMS x MUMT)
  RVec SYM;    // 25: member yield stress
  RVec EYM;    // 26: member yield strain
  RVec SY;     // 29: section yield stress (MUMS)
  RVec MC6;    // 30: member spring stiffness
  RVec MC7;    // 31: member distributed load
  RMat DPRUN;  // 33: node-point increments over the run (NMP x MUMM)
  RMat DPSTEP; // 34: node-point increments over the step (NMP x MUMM)
  RMat MEMF;   // 35: member end forces NI,QI,MI,NJ,QJ,MJ (MUMM x 6)
  RMat W;      // 45: watch codes (MUMW x 7)

  // The band matrix with leading dimension NEQ, as the solver uses it.
  RMat A() const { return RMat(Aband, NEQ > 0 ? NEQ : 1, MBAND > 0 ? MBAND : 1); }

  // Load-pattern entry of joint j, direction d (1 X, 2 Y, 3 rotation).
  int pat(int j, int d) const { return (d - 1) * sz.MUMJ + j; }
};

}  // namespace nlf
