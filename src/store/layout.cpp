#include "store/layout.h"

namespace nlf {

Layout compute_layout(const Sizes& sz) {
  Layout L;
  const long long MUMM = sz.MUMM, MUMJ = sz.MUMJ, MUMP = sz.MUMP, MUMT = sz.MUMT;
  const long long MUMR = sz.MUMR, MUMS = sz.MUMS, MBAND = sz.MBAND, MUMW = sz.MUMW;
  const long long NRHS = sz.NRHS;
  const long long NEQX = 3 * MUMJ, NINT = 3 * MUMP - 3, NMP = 3 * MUMP + 3, NST = 2 * MUMP;

  // Tables 7-9 of the integer workspace and 24, 27, 28, 32 and 36-44 of
  // the real one are reserved: nothing uses them, but their lengths stay in
  // the layout, so that every other table keeps its place (and the LAST
  // figures of the listing and the restart file's layout stay as they are).
  const std::array<long long, NINTARRAYS> ilen = {
      MUMR, NEQX, 2 * MUMM, MUMM, MUMJ, NEQX, 3 * MUMP, 3 * MUMP, MUMT, MUMM};
  long long pos = 1;
  for (int k = 1; k <= NINTARRAYS; ++k) {
    L.istart[k] = pos;
    L.ilen[k] = ilen[k - 1];
    pos += ilen[k - 1];
  }
  L.ilast = pos;

  const std::array<long long, NREALARRAYS> rlen = {
      3 * MUMR,        3 * MUMR,   NEQX * MBAND, NEQX,        6 * MUMM * NINT,
      MUMM * NINT,     MUMJ,       MUMJ,         6 * MUMM,    6 * MUMM,
      NEQX,            NEQX,       NEQX * NRHS,  NEQX,        NEQX,
      NMP * MUMM,      NEQX,       NEQX,         NEQX * NRHS, NEQX,
      NEQX,            MUMS * MUMT, MUMS * MUMT, MUMT,        MUMM,
      MUMM,            MUMT,       MUMT,         MUMS,        MUMM,
      MUMM,            NMP,        NMP * MUMM,   NMP * MUMM,  6 * MUMM,
      6 * NINT,        6 * NINT,   NINT * NINT,  NINT,        NST,
      NST,             NST,        NST,          NST,         7 * MUMW};
  pos = 1;
  for (int k = 1; k <= NREALARRAYS; ++k) {
    L.rstart[k] = pos;
    L.rlen[k] = rlen[k - 1];
    pos += rlen[k - 1];
  }
  L.rlast = pos;
  return L;
}

long long integer_last_formula(const Sizes& s) {
  return 7LL * s.MUMJ + s.MUMR + 4LL * s.MUMM + 6LL * s.MUMP + s.MUMT + 1;
}

long long real_last_formula(const Sizes& s) {
  const long long MUMP = s.MUMP;
  return 3LL * s.MBAND * s.MUMJ + 6LL * s.MUMJ * s.NRHS + 30LL * s.MUMM * MUMP + 9 * MUMP * MUMP +
         2LL * s.MUMS * s.MUMT + 29LL * s.MUMJ + 10LL * s.MUMM + 34 * MUMP + 6LL * s.MUMR + s.MUMS +
         3LL * s.MUMT + 7LL * s.MUMW - 26;
}

}  // namespace nlf
