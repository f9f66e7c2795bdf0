// The restart file: the whole model and its state at the end of a run, from
// which a later run continues (model/restart_read.h reads it back).
//
// Record order (one line, one record):
//   1  the eight sizes MUMM, MUMJ, MUMP, MUMT, MUMR, MUMS, MBAND, MUMW;
//   2  NK, NJ, NM, MBAND, last step, E, E2, E3, MAXIT, MINIT, NEQ;
//   3  per member slot: IJ(m,1..2), ISEC, SYM, EYM, MC6, MGEO; XM/YM of the
//      six node points (12 reals); the 18 step point increments DPSTEP(.,m),
//      one real per record;
//   4  per joint slot: XJ, YJ, the total applied load X, Y, M, JNO;
//   5  per equation slot: DISP(i), IEQ(i);
//   6  per section slot: SY; then AREA(s,f), ZF(s,f) for each of 20 fibres;
//   7  the driver's ten-integer table: the member displacement switch;
//      then 0, or when groups 12 and 13 follow, kGroupsAnnounced plus
//      kResidualGroup and kMemberLoadGroup for those that do; then 0s;
//   8  JMAP(1..999), one integer per record;
//   9  per joint-spring slot: KJ, spring forces (3), stiffnesses KF (3);
//  10  the six committed values of every fibre of every member slot;
//  11  per member slot: MC7(m), then the 18 run point increments DPRUN(.,m);
//  12  only when some section carries residual stresses: the mark
//      kResidualMark, the number of such sections, kSubFibres and NM; per
//      such section its number, bundles and X1..X4, the initial stresses of
//      its 20 strips, their bundles, and per bundle the shares and initial
//      stresses of its sub-fibres; then per member 1..NM its sub-fibres in
//      one record;
//  13  only when some member carries a member load of the load history:
//      the mark kMemberLoadMark, NM, 4 and 0; then per member 1..NM its
//      total load applied so far (global X, Y, along, across; t/cm);
//  followed by the end of the file. Groups 12 and 13 are each announced by
//  their mark, so either may be there without the other.
#pragma once

#include "io/records.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

// Number of integers in the driver's table of record 7.
inline constexpr int RESTART_TABLE = 10;
// The first integer of the residual stresses' records.
inline constexpr int kResidualMark = 20250;
// The first integer of the member loads' records.
inline constexpr int kMemberLoadMark = 20261;
// The announcement of the optional groups in the driver's table (its second
// integer): files of earlier versions have 0 there and may hold a residual
// stress group all the same.
inline constexpr int kGroupsAnnounced = 1000, kResidualGroup = 1, kMemberLoadGroup = 2;

// One section's residual stresses (record group 12) and their reading.
void write_residual(RecordFile& out, int s, const SectionResidual& r);
void read_residual(RecordFile& in, int& s, SectionResidual& r);

// Writes the restart file from its start: `out` is rewound first and ends
// after the last record, so a file read earlier on the same unit is replaced
// by the new state as a whole. `last_step` is the number of the last step
// computed; `detail` is the member displacement switch. (SAVESTATE of the
// card-era program.)
void save_state(RecordFile& out, const Model& md, FibreStore& fs, int last_step, int detail);

}  // namespace nlf
