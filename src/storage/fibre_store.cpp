#include "storage/fibre_store.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include "io/units.h"

namespace nlf {

namespace {

// Positions of the eight arrays in the member-state store.
enum Array { A_SIGU, A_SIGL, A_EPSU, A_EPSL, A_SIG, A_EPS, A_DEPS, A_SIGT };

}  // namespace

void FibreStore::setup(double* fstore, int nms, bool in_memory, Units& units) {
  assert(fstore != nullptr);
  assert(in_memory ? nms >= 1 : nms == 1);
  fs_ = fstore;
  in_memory_ = in_memory;
  nms_ = in_memory ? nms : 1;
  nfs_ = NFM * nms_;
  // The member-state plan has checked that the store holds 8 nfs_ values.
  nm_ = 0;
  cur_state_ = 10;
  new_state_ = 11;
  cur_inc_ = 12;
  new_inc_ = 13;
  files_.fill(nullptr);
  phase_ = Phase::idle;
  last_ = 0;
  pending_ = 0;
  if (!in_memory_) {
    for (int u = FIRST_UNIT; u < FIRST_UNIT + 4; ++u) {
      units.open_scratch(u);
      files_[u - FIRST_UNIT] = &units.records(u);
    }
  }
}

MemberFibres FibreStore::views(int m) const {
  const long base = in_memory_ ? static_cast<long>(m - 1) * NFM : 0;
  auto arr = [&](int k) { return fs_ + static_cast<long>(k) * nfs_ + base; };
  MemberFibres v;
  v.SIGU = arr(A_SIGU);
  v.SIGL = arr(A_SIGL);
  v.EPSU = arr(A_EPSU);
  v.EPSL = arr(A_EPSL);
  v.SIG = arr(A_SIG);
  v.EPS = arr(A_EPS);
  v.DEPS = arr(A_DEPS);
  v.SIGT = arr(A_SIGT);
  v.SUB = sub_of(m);
  return v;
}

double* FibreStore::sub_of(int m) const {
  if (sub_.empty()) return nullptr;
  return const_cast<double*>(sub_.data()) + static_cast<std::size_t>(m - 1) * kSubBlock;
}

void FibreStore::initialise_residual(const ModelInput& fr) {
  bool any = false;
  for (int m = 1; m <= fr.NM; ++m) any = any || fr.residual(fr.ISEC(m)) != nullptr;
  if (!any) return;
  // Once per run, for every member the model can hold.
  if (sub_.empty()) sub_.assign(static_cast<std::size_t>(fr.sz.MUMM) * kSubBlock, 0.0);
  for (int m = 1; m <= fr.NM; ++m) {
    const SectionResidual* r = fr.residual(fr.ISEC(m));
    if (r == nullptr) continue;
    double* b = sub_of(m);
    const double sy = fr.SYM(m), ey = fr.EYM(m);
    for (int k = 1; k <= NSTA; ++k)
      for (int i = 1; i <= NFIB; ++i)
        for (int n = 0; n < sub_count(*r, i); ++n) {
          double* v = b + sub_at(MemberFibres::at(i, k), n);
          v[0] = sy;
          v[1] = -sy;
          v[2] = ey;
          v[3] = -ey;
          v[4] = sub_stress0(*r, i, n);
        }
  }
}

void FibreStore::save_residual(RecordFile& out, int nm) const {
  for (int m = 1; m <= nm; ++m) out.write_reals(sub_of(m), kSubBlock);
}

void FibreStore::load_residual(RecordFile& in, int nm, int mumm) {
  if (sub_.empty()) sub_.assign(static_cast<std::size_t>(mumm) * kSubBlock, 0.0);
  for (int m = 1; m <= nm; ++m) in.read_reals(sub_of(m), kSubBlock);
}

MemberFibres FibreStore::member(int m) {
  if (in_memory_) {
    assert(phase_ != Phase::idle && m >= 1 && m <= nm_ && m <= nms_);
    return views(m);
  }
  switch (phase_) {
    case Phase::update: return update_member(m);
    case Phase::commit: return commit_member(m);
    default: return pass_member(m);
  }
}

void FibreStore::put(int m) {
  if (in_memory_ || phase_ == Phase::pass) return;
  if (phase_ == Phase::update)
    update_put(m);
  else
    commit_put(m);
}

// --- sequence bookkeeping (scratch-file pass-through in fibre_files.cpp)

void FibreStore::start(Phase p) {
  assert(phase_ == Phase::idle);
  phase_ = p;
  last_ = 0;
  pending_ = 0;
}

void FibreStore::finish(Phase p) {
  assert(phase_ == p);
  (void)p;
  phase_ = Phase::idle;
  last_ = 0;
  pending_ = 0;
}

void FibreStore::visit(Phase p, int m) {
  assert(phase_ == p);
  (void)p;
  assert(m > last_ && m <= nm_);
  assert(!in_memory_ || m <= nms_);
  if (!in_memory_) {
    flush_pending();
    skip_to(m - 1);
  }
  last_ = m;
}

// --- initial state and step start

void FibreStore::initialise(int nm, RVec SYM, RVec EYM) {
  assert(phase_ == Phase::idle);
  assert(nm >= 0 && (!in_memory_ || nm <= nms_));
  nm_ = nm;
  if (in_memory_) {
    for (int m = 1; m <= nm; ++m) {
      const MemberFibres v = views(m);
      const double sy = SYM(m), ey = EYM(m);
      for (int i = 0; i < NFM; ++i) {
        v.SIGU[i] = sy;
        v.SIGL[i] = -sy;
        v.EPSU[i] = ey;
        v.EPSL[i] = -ey;
        v.SIG[i] = 0;
        v.EPS[i] = 0;
      }
    }
    return;
  }
  map_files(nm);
  RecordFile& f = file(cur_state_);
  f.rewind();
  for (int m = 1; m <= nm; ++m) {
    const double r[6] = {SYM(m), -SYM(m), EYM(m), -EYM(m), 0, 0};
    for (int i = 0; i < NFM; ++i) std::copy_n(r, 6, packed_.data() + 6 * i);
    f.write_many(packed_.data(), 6 * sizeof(double), NFM);
  }
  f.end_file();
  f.rewind();
}

void FibreStore::clear_increments(int nm) {
  assert(phase_ == Phase::idle);
  assert(nm >= 0 && (!in_memory_ || nm <= nms_));
  nm_ = nm;
  if (in_memory_) {
    for (int m = 1; m <= nm; ++m) std::fill_n(views(m).DEPS, NFM, 0.0);
    return;
  }
  RecordFile& f = file(cur_inc_);
  f.rewind();
  packed_inc_.fill(0.0);
  for (int m = 1; m <= nm; ++m) write_member_increments(f, packed_inc_.data());
  f.end_file();
  f.rewind();
}

// --- member pass

void FibreStore::pass_begin() {
  start(Phase::pass);
  if (in_memory_) return;
  file(cur_state_).rewind();
  file(cur_inc_).rewind();
}

MemberFibres FibreStore::pass_member(int m) {
  visit(Phase::pass, m);
  if (in_memory_) return views(m);
  MemberFibres v = views(1);
  v.SUB = sub_of(m);
  read_member_state(file(cur_state_), v);
  read_member_increments(file(cur_inc_), v.DEPS);
  return v;
}

void FibreStore::pass_end() {
  finish(Phase::pass);
  if (in_memory_) return;
  file(cur_state_).rewind();
  file(cur_inc_).rewind();
}

// --- increment update

void FibreStore::update_begin() {
  start(Phase::update);
  if (in_memory_) return;
  file(cur_inc_).rewind();
  file(new_inc_).rewind();
}

MemberFibres FibreStore::update_member(int m) {
  visit(Phase::update, m);
  pending_ = m;
  if (in_memory_) return views(m);
  MemberFibres v = views(1);
  v.SUB = sub_of(m);
  read_member_increments(file(cur_inc_), v.DEPS);
  return v;
}

void FibreStore::update_put(int m) {
  assert(phase_ == Phase::update && m == last_ && pending_ == m);
  (void)m;
  flush_pending();
}

void FibreStore::update_end() {
  assert(phase_ == Phase::update);
  if (!in_memory_) {
    flush_pending();
    skip_to(nm_);
    file(new_inc_).end_file();
    std::swap(cur_inc_, new_inc_);
  }
  finish(Phase::update);
}

// --- state commit

void FibreStore::commit_begin() {
  start(Phase::commit);
  if (in_memory_) return;
  for (RecordFile* f : files_) f->rewind();
}

MemberFibres FibreStore::commit_member(int m) {
  visit(Phase::commit, m);
  pending_ = m;
  if (in_memory_) return views(m);
  MemberFibres v = views(1);
  v.SUB = sub_of(m);
  read_member_state(file(cur_state_), v);
  read_member_increments(file(cur_inc_), v.DEPS);
  return v;
}

void FibreStore::commit_put(int m) {
  assert(phase_ == Phase::commit && m == last_ && pending_ == m);
  (void)m;
  flush_pending();
}

void FibreStore::commit_end() {
  assert(phase_ == Phase::commit);
  if (!in_memory_) {
    flush_pending();
    skip_to(nm_);
    file(new_inc_).end_file();
    file(new_state_).end_file();
    for (RecordFile* f : files_) f->rewind();
    std::swap(cur_state_, new_state_);
    std::swap(cur_inc_, new_inc_);
  }
  finish(Phase::commit);
}

// --- result output

void FibreStore::results_begin() {
  start(Phase::results);
  if (in_memory_) return;
  file(cur_state_).rewind();
}

MemberFibres FibreStore::results_member(int m) {
  visit(Phase::results, m);
  if (in_memory_) return views(m);
  MemberFibres v = views(1);
  v.SUB = sub_of(m);
  read_member_state(file(cur_state_), v);
  return v;
}

void FibreStore::results_end() {
  finish(Phase::results);
  if (in_memory_) return;
  file(cur_state_).rewind();
}

}  // namespace nlf
