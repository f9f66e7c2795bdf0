#include "member/unreduced.h"

namespace nlf {

StationValues elastic_station(const ModelInput& md, int m) {
  StationValues s;
  const int sec = md.ISEC(m);
  for (int i = 1; i <= NFIB; ++i) {
    const double ea = md.E * md.AREA(sec, i), z = md.ZF(sec, i);
    s.SEA += ea;
    s.SES += ea * z;
    s.SEI += ea * z * z;
  }
  return s;
}

namespace {

SegGeom geometry_of(const Model& md, int m, int k) {
  SegGeom g;
  segment_geometry(md.XM(m, k), md.XM(m, k + 1), md.YM(m, k), md.YM(m, k + 1), g);
  return g;
}

}  // namespace

SectionForces segment_section_forces(const Model& md, int m, int k, const double* u, const StationValues& s1,
                                     const StationValues& s2) {
  const SegGeom g = geometry_of(md, m, k);
  // Segment order (X1, X2, Y1, Y2, R1, R2) from points k and k+1.
  const double* a = u + 3 * (k - 1);
  const double* b = u + 3 * k;
  const double seg[6] = {a[0], b[0], a[1], b[1], a[2], b[2]};
  double loc[6];
  for (int i = 1; i <= 6; ++i) {
    double v = 0.0;
    for (int j = 1; j <= 6; ++j) v += g.TR(i, j) * seg[j - 1];
    loc[i - 1] = v;
  }
  double gen[6];
  for (int i = 1; i <= 6; ++i) {
    double v = 0.0;
    for (int j = 1; j <= 6; ++j) v += g.AG(i, j) * loc[j - 1];
    gen[i - 1] = v;
  }
  const double b1 = gen[Gen::B1 - 1], a2 = gen[Gen::A2 - 1], a3 = gen[Gen::A3 - 1];
  // w'' = 2 a2 + 6 a3 x at x = -L/2 and +L/2.
  const double k1 = 2.0 * a2 - 3.0 * a3 * g.L, k2 = 2.0 * a2 + 3.0 * a3 * g.L;
  return {{s1.SEA * b1 - s1.SES * k1, s2.SEA * b1 - s2.SES * k2}, {s1.SEI * k1 - s1.SES * b1, s2.SEI * k2 - s2.SES * b1}};
}

void unreduced_segment(const Model& md, int m, int k, const StationValues& s1, const StationValues& s2,
                       bool geometric, Mat6& K) {
  const SegGeom g = geometry_of(md, m, k);
  SegLoads ld;
  ld.gamma = md.MGEO(m) != 0 ? 0.0 : 1.0;
  if (!geometric) {
    ld.spring = md.MC6(m);
    ld.dyp1 = md.DPRUN(3 * k - 1, m);
    ld.dyp2 = md.DPRUN(3 * (k + 1) - 1, m);
  }
  StationValues a = s1, b = s2;
  if (geometric) {
    a = StationValues{};
    b = StationValues{};
    a.SN = s1.SN;
    b.SN = s2.SN;
  }
  Mat6 KS;
  Vec6 FS;
  segment_stiffness(g, a, b, ld, KS, FS);
  to_node_order(KS, K);
}

}  // namespace nlf
