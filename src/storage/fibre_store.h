// The fibre state of every member: six committed values per fibre (SIGU,
// SIGL, EPSU, EPSL, SIG, EPS), the step strain increment DEPS and the trial
// stress SIGT. Fibres are ordered member, station (10), fibre (20).
//
// Two modes behind one member-at-a-time interface:
//  - memory: the eight arrays of the member-state store hold every member;
//  - scratch: the eight arrays hold one member, and the committed state and
//    the increments stream through the scratch units 10-13 (current and new
//    state file, current and new increment file), one record per fibre.
// Every user runs the same begin / member / end sequence in either mode. The
// member loops of the iteration ask which mode is in force for one thing
// only: in memory, members may be worked on in any order and on several
// threads at once (member(m) below).
#pragma once

#include <array>
#include <vector>

#include "io/records.h"
#include "store/model.h"
#include "store/residual.h"
#include "store/sizes.h"
#include "store/views.h"

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
  // The sub-fibres of a member whose section carries residual stresses
  // (null for any other): kSubState values per sub-fibre, sub-fibre n of
  // strip `at` at sub_at(at, n).
  double* SUB = nullptr;
  static int at(int f, int k) { return (k - 1) * NFIB + (f - 1); }
};

// A section with residual stresses keeps every strip's state in sub-fibres:
// kSubFibres for a bundled flange strip, one for any other strip, each with
// its own initial stress. A sub-fibre stores SIGU, SIGL, EPSU, EPSL and SIG;
// its strain is the strip's plus its initial stress over E (the law sees a
// fibre strained elastically to its initial stress), so it is not stored.
// The strip's own state then holds its mean stress (SIG), its strain (EPS,
// zero at the start) and bounds that give its state symbol.
inline constexpr int kSubState = 5;
inline constexpr int kSubBlock = NFM * kSubFibres * kSubState;  // one member
inline int sub_at(int at, int n) { return (at * kSubFibres + n) * kSubState; }
inline int sub_count(const SectionResidual& r, int i) { return r.bundle[i - 1] >= 0 ? kSubFibres : 1; }
inline double sub_share(const SectionResidual& r, int i, int n) {
  const int b = r.bundle[i - 1];
  return b >= 0 ? r.share[b][n] : 1.0;
}
inline double sub_stress0(const SectionResidual& r, int i, int n) {
  const int b = r.bundle[i - 1];
  return b >= 0 ? r.sub_sig0[b][n] : r.sig0[i - 1];
}

class FibreStore {
 public:
  // Binds the store: memory mode when in_memory (NMS = MUMM members held),
  // else scratch mode (NMS = 1) with units 10-13 opened as scratch files.
  void setup(double* fstore, int nms, bool in_memory, Units& units);
  bool in_memory() const { return in_memory_; }
  int nms() const { return nms_; }

  // Initial state of members 1..nm: (+SYM, -SYM, +EYM, -EYM, 0, 0).
  void initialise(int nm, RVec SYM, RVec EYM);
  // The sub-fibres of the members whose section carries residual stresses,
  // each at its initial stress; nothing when no member has such a section.
  // Kept in memory in either mode, for every member the model can hold.
  void initialise_residual(const ModelInput& fr);
  bool has_residual() const { return !sub_.empty(); }
  // Restart: the sub-fibres of members 1..nm, one record a member.
  void save_residual(RecordFile& out, int nm) const;
  void load_residual(RecordFile& in, int nm, int mumm);

  // Step start: every increment of members 1..nm becomes 0.
  void clear_increments(int nm);

  // In every sequence below members are visited with m increasing (1..nm).
  // A member the caller skips is carried over unchanged, and a member not put
  // back is kept as it stands, in both modes alike.

  // Member pass: committed state and increments, read only; SIGT is
  // writable scratch space for the trial stresses.
  void pass_begin();
  MemberFibres pass_member(int m);
  void pass_end();

  // Increment update after a solve: DEPS of member m is read, changed by the
  // caller and put back; at the end the increment files swap roles. Only
  // DEPS of the returned views is meaningful here.
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

  // Inside a pass, update or commit sequence, either mode: the views of
  // member m for the sequence under way, and put(m) when the member is done
  // (pass: nothing to put). In memory mode these keep no bookkeeping, so
  // that members can be worked on in any order and on several threads at
  // once, their changes in place; in scratch mode they are pass_member,
  // update_member or commit_member and update_put or commit_put, one thread
  // with m increasing.
  MemberFibres member(int m);
  void put(int m);

  // Result output: the committed state of member m, read only.
  void results_begin();
  MemberFibres results_member(int m);
  void results_end();

  // Restart: the six committed values of every fibre of member slots 1..slots
  // (the member capacity), one record per fibre. Slots beyond the members
  // present (nm) are written as zeros and read back. save writes no
  // end-of-file mark and leaves `out` where it ends.
  void save(RecordFile& out, int slots, int nm);
  void load(RecordFile& in, int slots);

  // Scratch mode only: number of records in the current state and increment
  // files (for checking the file invariant). Both files are left rewound;
  // memory mode gives 0.
  long state_records();
  long increment_records();
  // The units that currently play the roles of current state file and
  // current increment file (10-13; 0 in memory mode).
  int state_unit() const { return in_memory_ ? 0 : cur_state_; }
  int increment_unit() const { return in_memory_ ? 0 : cur_inc_; }

 private:
  enum class Phase { idle, pass, update, commit, results };

  MemberFibres views(int m) const;
  double* sub_of(int m) const;
  RecordFile& file(int unit) const { return *files_[unit - FIRST_UNIT]; }
  void start(Phase p);
  void finish(Phase p);
  void visit(Phase p, int m);
  // Scratch mode: members up to `upto` that the caller skipped are copied
  // through unchanged (update and commit) or read past (pass and results).
  void skip_to(int upto);
  // Scratch mode: maps the four files for nm members at set-up, so that the
  // sequences move their blocks in place without mapping anew.
  void map_files(int nm);
  // Scratch mode: writes the member that was read but not yet put back.
  void flush_pending();
  // One state record of fibre i (0..199) of the member views v.
  static void read_state(RecordFile& f, const MemberFibres& v, int i);
  static void write_state(RecordFile& f, const MemberFibres& v, int i);
  // The 200 state records or increment records of one member in one
  // transfer (the same records as one call per fibre).
  void read_member_state(RecordFile& f, const MemberFibres& v);
  void write_member_state(RecordFile& f, const MemberFibres& v);
  static void read_member_increments(RecordFile& f, double* deps);
  static void write_member_increments(RecordFile& f, const double* deps);

  static constexpr int FIRST_UNIT = 10;

  double* fs_ = nullptr;
  int nms_ = 0;
  int nfs_ = 0;
  bool in_memory_ = true;
  int nm_ = 0;  // members present in the current files / arrays
  // Roles of the scratch units: current and new state, current and new
  // increment file.
  int cur_state_ = 10, new_state_ = 11, cur_inc_ = 12, new_inc_ = 13;
  std::array<RecordFile*, 4> files_{};

  Phase phase_ = Phase::idle;
  int last_ = 0;     // last member visited in the running sequence
  int pending_ = 0;  // member read and not yet put back (update, commit)
  std::array<double, 6 * NFM> packed_{};   // one member's state records
  std::array<double, NFM> packed_inc_{};   // one member's increment records
  std::vector<double> sub_;  // sub-fibres of members with residual stresses (kSubBlock each)
};

}  // namespace nlf
