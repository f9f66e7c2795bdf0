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

constexpr double ZERO_STATE[6] = {0, 0, 0, 0, 0, 0};

}  // namespace

void FibreStore::setup(double* fstore, int nms, bool in_memory, Units& units) {
  assert(fstore != nullptr);
  assert(in_memory ? nms >= 1 : nms == 1);
  fs_ = fstore;
  in_memory_ = in_memory;
  nms_ = in_memory ? nms : 1;
  nfs_ = NFM * nms_;
  assert(8L * nfs_ <= NSYMAX);
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
  return v;
}

// --- record helpers: one state record (six doubles) or one increment record
// (one double) per fibre.

void FibreStore::read_state(RecordFile& f, const MemberFibres& v, int i) {
  double r[6];
  f.read_reals(r, 6);
  v.SIGU[i] = r[0];
  v.SIGL[i] = r[1];
  v.EPSU[i] = r[2];
  v.EPSL[i] = r[3];
  v.SIG[i] = r[4];
  v.EPS[i] = r[5];
}

void FibreStore::write_state(RecordFile& f, const MemberFibres& v, int i) {
  const double r[6] = {v.SIGU[i], v.SIGL[i], v.EPSU[i], v.EPSL[i], v.SIG[i], v.EPS[i]};
  f.write_reals(r, 6);
}

// Fibre i's state record: six doubles at a stride of 56 bytes (48 of data
// and the two lengths).
constexpr std::size_t kStateStride = 6 * sizeof(double) + 8;
constexpr std::size_t kIncStride = sizeof(double) + 8;

void FibreStore::read_member_state(RecordFile& f, const MemberFibres& v) {
  const unsigned char* p = f.read_framed(6 * sizeof(double), NFM);
  double* const to[6] = {v.SIGU, v.SIGL, v.EPSU, v.EPSL, v.SIG, v.EPS};
  for (int i = 0; i < NFM; ++i, p += kStateStride)
    for (int k = 0; k < 6; ++k) std::memcpy(to[k] + i, p + k * sizeof(double), sizeof(double));
}

void FibreStore::write_member_state(RecordFile& f, const MemberFibres& v) {
  unsigned char* p = f.begin_framed(6 * sizeof(double), NFM);
  const double* const from[6] = {v.SIGU, v.SIGL, v.EPSU, v.EPSL, v.SIG, v.EPS};
  for (int i = 0; i < NFM; ++i, p += kStateStride)
    for (int k = 0; k < 6; ++k) std::memcpy(p + k * sizeof(double), from[k] + i, sizeof(double));
  f.end_framed();
}

void FibreStore::read_member_increments(RecordFile& f, double* deps) {
  const unsigned char* p = f.read_framed(sizeof(double), NFM);
  for (int i = 0; i < NFM; ++i, p += kIncStride) std::memcpy(deps + i, p, sizeof(double));
}

void FibreStore::write_member_increments(RecordFile& f, const double* deps) {
  unsigned char* p = f.begin_framed(sizeof(double), NFM);
  for (int i = 0; i < NFM; ++i, p += kIncStride) std::memcpy(p, deps + i, sizeof(double));
  f.end_framed();
}

// --- sequence bookkeeping

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

void FibreStore::skip_to(int upto) {
  constexpr std::uint32_t kState = 6 * sizeof(double), kInc = sizeof(double);
  for (; last_ < upto; ++last_) {
    switch (phase_) {
      case Phase::pass:
        file(cur_state_).read_many(packed_.data(), kState, NFM);
        file(cur_inc_).read_many(packed_inc_.data(), kInc, NFM);
        break;
      case Phase::results:
        file(cur_state_).read_many(packed_.data(), kState, NFM);
        break;
      case Phase::update:
        file(cur_inc_).read_many(packed_inc_.data(), kInc, NFM);
        file(new_inc_).write_many(packed_inc_.data(), kInc, NFM);
        break;
      case Phase::commit:
        file(cur_state_).read_many(packed_.data(), kState, NFM);
        file(cur_inc_).read_many(packed_inc_.data(), kInc, NFM);
        file(new_state_).write_many(packed_.data(), kState, NFM);
        file(new_inc_).write_many(packed_inc_.data(), kInc, NFM);
        break;
      case Phase::idle:
        assert(false);
        return;
    }
  }
}

void FibreStore::flush_pending() {
  if (pending_ == 0) return;
  pending_ = 0;
  if (in_memory_) return;
  const MemberFibres v = views(1);
  if (phase_ == Phase::update) {
    write_member_increments(file(new_inc_), v.DEPS);
  } else if (phase_ == Phase::commit) {
    write_member_state(file(new_state_), v);
    write_member_increments(file(new_inc_), v.DEPS);
  }
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
  const MemberFibres v = views(1);
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
  const MemberFibres v = views(1);
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
  const MemberFibres v = views(1);
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
  const MemberFibres v = views(1);
  read_member_state(file(cur_state_), v);
  return v;
}

void FibreStore::results_end() {
  finish(Phase::results);
  if (in_memory_) return;
  file(cur_state_).rewind();
}

// --- restart

void FibreStore::save(RecordFile& out, int slots, int nm) {
  assert(phase_ == Phase::idle);
  // Only the members present have a state; the other slots are written as
  // zeros (the current state file holds no records for them).
  const int present = std::clamp(nm, 0, slots);
  if (in_memory_) {
    for (int m = 1; m <= slots; ++m) {
      if (m <= present && m <= nms_) {
        const MemberFibres v = views(m);
        for (int i = 0; i < NFM; ++i) write_state(out, v, i);
      } else {
        for (int i = 0; i < NFM; ++i) out.write_reals(ZERO_STATE, 6);
      }
    }
    return;
  }
  RecordFile& st = file(cur_state_);
  st.rewind();
  double r[6];
  for (long i = 0, n = static_cast<long>(present) * NFM; i < n; ++i) {
    st.read_reals(r, 6);
    out.write_reals(r, 6);
  }
  for (long i = 0, n = static_cast<long>(slots - present) * NFM; i < n; ++i)
    out.write_reals(ZERO_STATE, 6);
  st.rewind();
}

void FibreStore::load(RecordFile& in, int slots) {
  assert(phase_ == Phase::idle);
  assert(slots >= 0);
  if (in_memory_) {
    // Slots beyond the store's capacity cannot be held; their records are
    // read past so that the file stays aligned.
    assert(slots <= nms_);
    double r[6];
    for (int m = 1; m <= slots; ++m) {
      if (m <= nms_) {
        const MemberFibres v = views(m);
        for (int i = 0; i < NFM; ++i) read_state(in, v, i);
      } else {
        for (int i = 0; i < NFM; ++i) in.read_reals(r, 6);
      }
    }
    nm_ = std::min(slots, nms_);
    return;
  }
  RecordFile& st = file(cur_state_);
  st.rewind();
  double r[6];
  for (long i = 0, n = static_cast<long>(slots) * NFM; i < n; ++i) {
    in.read_reals(r, 6);
    st.write_reals(r, 6);
  }
  st.end_file();
  st.rewind();
  nm_ = slots;
}

// --- file invariant checks

long FibreStore::state_records() {
  assert(phase_ == Phase::idle);
  if (in_memory_) return 0;
  RecordFile& f = file(cur_state_);
  f.rewind();
  long n = 0;
  double r[6];
  for (; !f.at_end(); ++n) f.read_reals(r, 6);
  f.rewind();
  return n;
}

long FibreStore::increment_records() {
  assert(phase_ == Phase::idle);
  if (in_memory_) return 0;
  RecordFile& f = file(cur_inc_);
  f.rewind();
  long n = 0;
  double d;
  for (; !f.at_end(); ++n) f.read_reals(&d, 1);
  f.rewind();
  return n;
}

}  // namespace nlf
