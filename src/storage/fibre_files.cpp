// The record side of the fibre store: the scratch files' records of one
// member, the pass-through of members a sequence skips, and the restart
// records of the committed state.
#include <algorithm>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "storage/fibre_store.h"

namespace nlf {

namespace {

constexpr double ZERO_STATE[6] = {0, 0, 0, 0, 0, 0};

}  // namespace

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

// The fibre-major records and the member's six arrays are transposed with
// one load and one store per value, two fibres at a time where the vector
// unit takes a pair of doubles; the arrays are named one by one so that the
// compiler keeps their addresses in registers.
void FibreStore::read_member_state(RecordFile& f, const MemberFibres& v) {
  const unsigned char* p = f.read_framed(6 * sizeof(double), NFM);
  double *const su = v.SIGU, *const sl = v.SIGL, *const eu = v.EPSU, *const el = v.EPSL;
  double *const sg = v.SIG, *const ep = v.EPS;
  constexpr std::size_t d = sizeof(double);
#if defined(__SSE2__)
  static_assert(NFM % 2 == 0, "fibres go in pairs");
  const auto load = [](const unsigned char* at) { return _mm_loadu_pd(reinterpret_cast<const double*>(at)); };
  for (int i = 0; i < NFM; i += 2, p += 2 * kStateStride) {
    const unsigned char* q = p + kStateStride;
    const __m128d a0 = load(p), a1 = load(p + 2 * d), a2 = load(p + 4 * d);
    const __m128d b0 = load(q), b1 = load(q + 2 * d), b2 = load(q + 4 * d);
    _mm_storeu_pd(su + i, _mm_unpacklo_pd(a0, b0));
    _mm_storeu_pd(sl + i, _mm_unpackhi_pd(a0, b0));
    _mm_storeu_pd(eu + i, _mm_unpacklo_pd(a1, b1));
    _mm_storeu_pd(el + i, _mm_unpackhi_pd(a1, b1));
    _mm_storeu_pd(sg + i, _mm_unpacklo_pd(a2, b2));
    _mm_storeu_pd(ep + i, _mm_unpackhi_pd(a2, b2));
  }
#else
  for (int i = 0; i < NFM; ++i, p += kStateStride) {
    std::memcpy(su + i, p, d);
    std::memcpy(sl + i, p + d, d);
    std::memcpy(eu + i, p + 2 * d, d);
    std::memcpy(el + i, p + 3 * d, d);
    std::memcpy(sg + i, p + 4 * d, d);
    std::memcpy(ep + i, p + 5 * d, d);
  }
#endif
}

void FibreStore::write_member_state(RecordFile& f, const MemberFibres& v) {
  unsigned char* p = f.begin_framed(6 * sizeof(double), NFM);
  const double *const su = v.SIGU, *const sl = v.SIGL, *const eu = v.EPSU, *const el = v.EPSL;
  const double *const sg = v.SIG, *const ep = v.EPS;
  for (int i = 0; i < NFM; ++i, p += kStateStride) {
    const double r[6] = {su[i], sl[i], eu[i], el[i], sg[i], ep[i]};
    std::memcpy(p, r, sizeof r);
  }
  f.end_framed();
}

void FibreStore::read_member_increments(RecordFile& f, double* deps) {
  const unsigned char* p = f.read_framed(sizeof(double), NFM);
#pragma GCC unroll 8
  for (int i = 0; i < NFM; ++i, p += kIncStride) std::memcpy(deps + i, p, sizeof(double));
}

void FibreStore::write_member_increments(RecordFile& f, const double* deps) {
  unsigned char* p = f.begin_framed(sizeof(double), NFM);
#pragma GCC unroll 8
  for (int i = 0; i < NFM; ++i, p += kIncStride) std::memcpy(p, deps + i, sizeof(double));
  f.end_framed();
}

void FibreStore::map_files(int nm) {
  const auto members = static_cast<std::size_t>(std::max(nm, 1));
  for (int u : {cur_state_, new_state_}) file(u).reserve_blocks(members * NFM * kStateStride);
  for (int u : {cur_inc_, new_inc_}) file(u).reserve_blocks(members * NFM * kIncStride);
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
  map_files(slots);
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
