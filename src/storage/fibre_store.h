// The fibre state of every member: six committed values per fibre (SIGU,
// SIGL, EPSU, EPSL, SIG, EPS), the step strain increment DEPS and the trial
// stress SIGT. Fibres are ordered member, station (10), fibre (20).
//
// Two modes behind one member-at-a-time interface:
//  - memory: the eight arrays of the member-state store hold every member;
//  - scratch: the eight arrays hold one member, and the committed state and
//    the increments stream through the scratch units 10-13 (current and new
//    state file, current and new increment file), one record per fibre.
// Every user runs the same begin / member / end sequence in either mode, and
// never asks which mode is in force.
#pragma once

#include "io/records.h"
#include "model/model.h"

namespace nlf {

class Units;

// Views of one member's 200 fibres; entry (f, k) of fibre f at station k is
// at index (k - 1) * 20 + f - 1 of each array.
struct MemberFibres {
  double* SIGU = nullptr;
  double* SIGL = nullptr;
  double* EPSU = nullptr;
  double* EPSL = nullptr;
  double* SIG = nullptr;
  double* EPS = nullptr;
  double* DEPS = nullptr;
  double* SIGT = nullptr;
  static int at(int f, int k) { return (k - 1) * NFIB + (f - 1); }
};

class FibreStore {
 public:
  // Binds the store: memory mode when in_memory (NMS = MUMM members held),
  // else scratch mode (NMS = 1) with units 10-13 opened as scratch files.
  void setup(double* fstore, int nms, bool in_memory, Units& units);
  bool in_memory() const { return in_memory_; }
  int nms() const { return nms_; }

  // Initial state of members 1..nm: (+SYM, -SYM, +EYM, -EYM, 0, 0).
  void initialise(int nm, RVec SYM, RVec EYM);
  // Step start: every increment of members 1..nm becomes 0.
  void clear_increments(int nm);

  // Member pass: committed state and increments, read only; SIGT is
  // writable scratch space for the trial stresses.
  void pass_begin();
  MemberFibres pass_member(int m);
  void pass_end();

  // Increment update after a solve: DEPS of member m is read, changed by the
  // caller and put back; at the end the increment files swap roles.
  void update_begin();
  MemberFibres update_member(int m);
  void update_put(int m);
  void update_end();

  // State commit: state and increments of member m are read, changed by the
  // caller (the fibre law in commit mode) and put back; at the end both pairs
  // of files swap roles.
  void commit_begin();
  MemberFibres commit_member(int m);
  void commit_put(int m);
  void commit_end();

  // Result output: the committed state of member m, read only.
  void results_begin();
  MemberFibres results_member(int m);
  void results_end();

  // Restart: the six committed values of every fibre of member slots 1..slots
  // (the member capacity), one record per fibre. Slots beyond the members
  // present (nm) are written as zeros and read back.
  void save(RecordFile& out, int slots, int nm);
  void load(RecordFile& in, int slots);

  // Scratch mode only: number of records in the current state and increment
  // files (for checking the file invariant).
  long state_records();
  long increment_records();
};

}  // namespace nlf
