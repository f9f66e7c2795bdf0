#include "member/member_loads.h"

#include "member/small_mat.h"

namespace nlf {

namespace {

// The load of q in global axes and across the segment.
struct Components {
  double qx, qy, qp;
};

Components components(const SegGeom& g, const MemberLoad& q) {
  const double c = g.c, s = g.s;
  return {q.gx + c * q.along - s * q.across, q.gy + s * q.along + c * q.across, -s * q.gx + c * q.gy + q.across};
}

void loads_of(double qx, double qy, double fx, double fm, Vec6& P) {
  P = {qx * fx, qx * fx, qy * fx, qy * fx, fm, -fm};
}

}  // namespace

void segment_load(const SegGeom& g, const MemberLoad& q, Vec6& P) {
  const Components t = components(g, q);
  const double L = g.L;
  loads_of(t.qx, t.qy, 0.5 * L, t.qp * L * L / 12.0, P);
}

void segment_load_slopes(const SegGeom& g, const MemberLoad& q, Vec6& Px, Vec6& Py) {
  const double c = g.c, s = g.s, L = g.L;
  const Components t = components(g, q);
  // With the length: the forces grow with L, the moments with L^2.
  Vec6 dL;
  loads_of(t.qx, t.qy, 0.5, t.qp * L / 6.0, dL);
  // With the turn: the segment's own part turns with it; the global part
  // keeps its direction, so only its share across the segment changes.
  const double tx = -s * q.along - c * q.across, ty = c * q.along - s * q.across;
  const double tp = -c * q.gx - s * q.gy;
  Vec6 dphi;
  loads_of(tx, ty, 0.5 * L, tp * L * L / 12.0, dphi);
  // dL = c dx + s dy, dphi = (c dy - s dx) / L.
  for (int i = 0; i < 6; ++i) {
    Px[i] = dL[i] * c - dphi[i] * s / L;
    Py[i] = dL[i] * s + dphi[i] * c / L;
  }
}

void member_node_loads(const Model& md, int m, const MemberLoad& q, std::array<double, 18>& P) {
  P.fill(0.0);
  for (int k = 1; k <= NSEG; ++k) {
    SegGeom g;
    segment_geometry(md.XM(m, k), md.XM(m, k + 1), md.YM(m, k), md.YM(m, k + 1), g);
    Vec6 S, N;
    segment_load(g, q, S);
    to_node_order(S, N);
    for (int i = 0; i < 6; ++i) P[static_cast<std::size_t>(3 * (k - 1) + i)] += N[static_cast<std::size_t>(i)];
  }
}

void condense_reference_load(const Model& md, int m, const MemberSystem& sys, bool inverse) {
  MemberLoadTable& t = *md.MLOADS;
  MemberLoad q{};
  q.add(t.pattern[static_cast<std::size_t>(m - 1)], t.reference);
  std::array<double, 18> P;
  member_node_loads(md, m, q, P);
  // The end joints are points 1 and 6, the inner points 2..5.
  Vec6 PE{};
  Vec12 PI{};
  for (int d = 0; d < 3; ++d) {
    PE[static_cast<std::size_t>(d)] = P[static_cast<std::size_t>(d)];
    PE[static_cast<std::size_t>(3 + d)] = P[static_cast<std::size_t>(15 + d)];
  }
  for (int i = 0; i < NINNER; ++i) PI[static_cast<std::size_t>(i)] = P[static_cast<std::size_t>(3 + i)];
  Vec12 x{};
  if (inverse) {
    mat_vec(sys.KII, PI, x);
  } else {
    Mat12 inv = sys.KII;
    invert_matrix(NINNER, inv.data(), NINNER);
    mat_vec(inv, PI, x);
  }
  Vec6 through{};
  mat_vec(sys.KEI, x, through);
  auto& end = t.ref_end[static_cast<std::size_t>(m - 1)];
  for (int i = 0; i < 6; ++i) end[static_cast<std::size_t>(i)] = PE[static_cast<std::size_t>(i)] - through[static_cast<std::size_t>(i)];
  t.ref_inner[static_cast<std::size_t>(m - 1)] = x;
}

}  // namespace nlf
