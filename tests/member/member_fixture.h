// A small bound model for the member tests: joints at x = 0, 500, 1000,
// two straight members between them (inner points at 0.2 .. 0.8), one
// symmetric section of 20 unit fibres at z = -9.5 .. 9.5, steel constants.
#pragma once

#include "member/member_pass.h"
#include "store/bind.h"

namespace nlf::test {

struct MemberModel {
  Stores st;
  Model md;
  double EA = 0, EI = 0;

  MemberModel() {
    Sizes sz;
    sz.MUMM = 2;
    sz.MUMJ = 3;
    sz.MUMS = 1;
    sz.MBAND = 9;
    bind_model(md, st, sz);
    md.NJ = 3, md.NM = 2, md.NEQ = 9, md.MBAND = 6;
    md.E = 2100, md.E2 = 21, md.E3 = 21;
    for (int i = 1; i <= 9; ++i) md.IEQ(i) = i;
    for (int i = 1; i <= NFIB; ++i) {
      md.AREA(1, i) = 1.0;
      md.ZF(1, i) = -10.5 + i;
      EA += md.E;
      EI += md.E * md.ZF(1, i) * md.ZF(1, i);
    }
    for (int m = 1; m <= 2; ++m) {
      md.IJ(m, 1) = m, md.IJ(m, 2) = m + 1;
      md.ISEC(m) = 1;
      md.SYM(m) = 2.4, md.EYM(m) = 2.4 / 2100;
      md.MGEO(m) = 1;
      for (int k = 1; k <= NPT; ++k) md.XM(m, k) = 500.0 * (m - 1) + 100.0 * (k - 1);
    }
  }

  // The same elastic values (axial force N) at all ten stations.
  std::array<StationValues, NSTA> stations(double N = 0) const {
    std::array<StationValues, NSTA> s;
    s.fill(StationValues{N, 0, EA, 0, EI});
    return s;
  }
};

}  // namespace nlf::test
