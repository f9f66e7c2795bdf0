// The model of one run: its sizes, its counters and named views of the
// tables that live in the fixed stores, split into the input (what the deck
// says) and the state that the analysis changes. The views are bound once by the
// workspace layout (store/bind.h); nothing here owns memory except the
// joint-number map, which has its own fixed 999 entries.
#pragma once

#include <array>
#include <cstdint>

#include "store/member_loads.h"
#include "store/residual.h"
#include "store/sizes.h"
#include "store/views.h"

namespace nlf {

// The joint-serial number of joint j, direction d (1 X, 2 Y, 3 rotation):
// the place of that direction in the tables kept three to a joint (IEQ, R,
// UNB), 3j-2 .. 3j.
constexpr int joint_serial(int j, int d) { return 3 * (j - 1) + d; }

// The entry of joint j, direction d in the load-pattern tables (LTYPE,
// PDISP, PFORCE), which are direction-major with NJL entries a direction.
constexpr int pattern_entry(int j, int d, int NJL) { return (d - 1) * NJL + j; }

// The input: what the deck (or the restart file) says about the structure
// and its current load pattern. The structure input, the equation numbering
// and the restart read write it; the load-history reader writes the pattern
// tables at the start of each group; the analysis only reads it.
struct ModelInput {
  Sizes sz;

  // Counters of the structure input.
  int NJ = 0, NM = 0, NK = 0, NW = 0, NEQ = 0, MBAND = 0;
  int MAXIT = 0, MINIT = 0;
  double E = 0, E2 = 0, E3 = 0;
  // The largest fibre strain (absolute value) a group may reach: the first
  // converged step beyond it ends the group. 0: no limit. From the P card
  // only; the restart file does not hold it.
  double strain_limit = 0;

  // User joint number (1..999) -> internal joint index; 0: not defined.
  std::array<std::int32_t, MAXJOINTNO + 1> JMAP{};
  int jmap(int n) const { return (n >= 1 && n <= MAXJOINTNO) ? JMAP[n] : 0; }

  // Integer workspace (tables 7-9 reserved).
  IVec KJ;     // joint of each K card (MUMR)
  IVec IEQ;    // equation numbers, three per joint (NEQX): numbering
  IMat IJ;     // end joints of each member (MUMM x 2)
  IVec ISEC;   // section of each member (MUMM)
  IVec JNO;    // user number of each joint (MUMJ)
  IVec MGEO;   // 1: no geometric terms (MUMM)
  IVec LTYPE;  // load-pattern type flags, direction-major: (d-1)*MUMJ + j; load history

  // Real workspace (tables 24, 27, 28, 32 and 36-44 reserved:
  // store/layout.cpp keeps their lengths, nothing is bound).
  RMat KF;     // 2: spring stiffnesses of each K card (MUMR x 3)
  RVec XJ, YJ; // 7, 8: joint coordinates as given (MUMJ)
  RVec PDISP;  // 20: prescribed values of the pattern, direction-major; load history
  RVec PFORCE; // 21: force values of the pattern, direction-major; load history
  RMat AREA;   // 22: fibre areas (MUMS x MUMT): sections
  RMat ZF;     // 23: fibre coordinates (MUMS x MUMT): sections
  RVec SYM;    // 25: member yield stress
  RVec EYM;    // 26: member yield strain
  RVec SY;     // 29: section yield stress (MUMS)
  RVec MC6;    // 30: member spring stiffness
  RVec MC7;    // 31: member distributed load
  RMat W;      // 45: watch codes (MUMW x 7)

  // Residual stresses of the sections (S cards), beside the fixed stores;
  // an entry whose `present` is false has none.
  ResidualTable* RESID = nullptr;
  const SectionResidual* residual(int s) const {
    return RESID != nullptr && s >= 1 && s < static_cast<int>(RESID->size()) && (*RESID)[s].present
               ? &(*RESID)[s]
               : nullptr;
  }

  // The member loads of the load history (U cards), beside the fixed
  // stores: the pattern is input, the totals and the iteration's factors
  // are state (store/member_loads.h says who writes what).
  MemberLoadTable* MLOADS = nullptr;
  bool member_loaded(int m) const { return MLOADS != nullptr && MLOADS->loaded(m); }

  // Load-pattern entry of joint j, direction d (1 X, 2 Y, 3 rotation).
  int pat(int j, int d) const { return pattern_entry(j, d, sz.MUMJ); }
  // The equation of joint j, direction d.
  int eq(int j, int d) const { return IEQ(joint_serial(j, d)); }
};

// The changing state of the analysis, with the stage that writes each
// table. Numbers are the tables' places in the real workspace's layout.
struct State {
  // The L card had a negative count: the fibre state and the cumulative
  // arrays were left as they stood (a restored state is kept).
  bool state_kept = false;

  RMat SPF;    // 1: spring forces of each K card (MUMR x 3): springs stage
  double* Aband = nullptr;  // 3: band matrix storage (NEQX * MBAND): member pass, solve
  RVec R;      // 4: resisting forces, joint-serial 3j-2..3j (NEQX): member pass
  RVec RCM;    // 5: per member 72 values: 12 x 6 column-major at (m-1)*72: member pass
  RVec RCV;    // 6: per member 12 values at (m-1)*12: member pass
  RMat XM, YM; // 9, 10: node-point coordinates (MUMM x 6): member update
  RVec DISP;   // 11: total displacements by equation (NEQX): totals
  RVec DSTEP;  // 12: step displacement increment (NEQX): totals
  RMat SOL;    // 13: solutions, one column per load column (NEQX x NRHS): solve
  RVec DFIRST; // 14: first-iteration increment of the step (NEQX): increment; the driver keeps the last step there
  RVec DITER;  // 15: iteration displacement increment (NEQX): increment
  RMat DPT;    // 16: node-point increments of the iteration (NMP x MUMM): member update
  RVec PLOAD;  // 17: total applied load, direction-major (NEQX): the driver, as a step ends
  RVec UNB;    // 18: unbalanced forces, joint-serial (NEQX): applied load, springs, resisting forces
  RMat RHS;    // 19: right-hand sides (NEQX x NRHS): applied load, reference load, resisting forces
  RMat DPRUN;  // 33: node-point increments over the run (NMP x MUMM): totals
  RMat DPSTEP; // 34: node-point increments over the step (NMP x MUMM): totals
  RMat MEMF;   // 35: member end forces NI,QI,MI,NJ,QJ,MJ (MUMM x 6): member pass

  // Member m's recovery data: the 12 x 6 values of RCM (column-major) and
  // the 12 of RCV.
  static constexpr int RCM_EACH = 72, RCV_EACH = 12;
  RVec rcm(int m) const { return RCM.sub((m - 1) * RCM_EACH + 1, RCM_EACH); }
  RVec rcv(int m) const { return RCV.sub((m - 1) * RCV_EACH + 1, RCV_EACH); }
};

// One run's model: its input and its state, every table a view into the
// run's fixed stores.
struct Model : ModelInput, State {
  // The band matrix with leading dimension NEQ, as the solver uses it.
  RMat A() const { return RMat(Aband, NEQ > 0 ? NEQ : 1, MBAND > 0 ? MBAND : 1); }
};

}  // namespace nlf
