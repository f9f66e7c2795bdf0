#include "member/segment.h"

#include <cmath>

#include "store/lanes.h"

namespace nlf {

namespace {
// Node position p (0-based) takes segment position kByNode[p].
constexpr int kByNode[6] = {0, 2, 4, 1, 3, 5};
// Segment position q takes node position kByComponent[q].
constexpr int kByComponent[6] = {0, 3, 1, 4, 2, 5};

// Generalised coordinates, 1-based positions in g.
constexpr int B1 = Gen::B1, A1 = Gen::A1, A2 = Gen::A2, A3 = Gen::A3;
// Local end quantities, 1-based.
constexpr int W1 = 3, W2 = 4;
// Global Y components in segment order, 1-based.
constexpr int Y1 = 3, Y2 = 4;
}  // namespace

NLF_HOT_LOOP void segment_geometry(double x1, double x2, double y1, double y2, SegGeom& g) {
  const double dx = x2 - x1, dy = y2 - y1;
  const double L = std::sqrt(dx * dx + dy * dy);
  const double c = dx / L, s = dy / L;
  g.L = L;
  g.c = c;
  g.s = s;

  Mat6& T = g.TR;
  T.clear();
  T(1, 1) = c;   T(1, 3) = s;   // u1
  T(2, 2) = c;   T(2, 4) = s;   // u2
  T(3, 1) = -s;  T(3, 3) = c;   // w1
  T(4, 2) = -s;  T(4, 4) = c;   // w2
  T(5, 5) = 1.0;                // th1
  T(6, 6) = 1.0;                // th2

  const double L2 = L * L, L3 = L2 * L;
  Mat6& A = g.AG;
  A.clear();
  A(1, 1) = 0.5;        A(1, 2) = 0.5;                       // b0
  A(2, 1) = -1.0 / L;   A(2, 2) = 1.0 / L;                   // b1
  A(3, 3) = 0.5;        A(3, 4) = 0.5;                       // a0
  A(3, 5) = 0.125 * L;  A(3, 6) = -0.125 * L;
  A(4, 3) = -1.5 / L;   A(4, 4) = 1.5 / L;                   // a1
  A(4, 5) = -0.25;      A(4, 6) = -0.25;
  A(5, 5) = -0.5 / L;   A(5, 6) = 0.5 / L;                   // a2
  A(6, 3) = 2.0 / L3;   A(6, 4) = -2.0 / L3;                 // a3
  A(6, 5) = 1.0 / L2;   A(6, 6) = 1.0 / L2;
}

void segment_generalised(double L, const StationValues& s1, const StationValues& s2,
                         double gamma, Mat6& KG, Vec6& FG) {
  // Exact integrals over the segment of EA u'^2, -2 ES u' w'', EI w''^2 and
  // gamma N w'^2, every section value linear between the two stations.
  const double F = 0.5 * L;
  const double K = L * F / 6.0;    // L^2 / 12
  const double N3 = F * K;         // L^3 / 24
  const double O4 = 0.3 * L * N3;  // L^4 / 80

  const double nsum = gamma * (s1.SN + s2.SN), ndif = gamma * (s2.SN - s1.SN);
  const double isum = s1.SEI + s2.SEI, idif = s2.SEI - s1.SEI;

  KG.clear();
  KG(B1, B1) = F * (s1.SEA + s2.SEA);
  KG(B1, A2) = -2.0 * F * (s1.SES + s2.SES);
  KG(B1, A3) = -6.0 * K * (s2.SES - s1.SES);
  KG(A1, A1) = F * nsum;
  KG(A1, A2) = 2.0 * K * ndif;
  KG(A1, A3) = 3.0 * N3 * nsum;
  KG(A2, A2) = 4.0 * F * isum + 4.0 * N3 * nsum;
  KG(A2, A3) = 6.0 * O4 * ndif + 12.0 * K * idif;
  KG(A3, A3) = 4.5 * L * O4 * nsum + 36.0 * N3 * isum;
  for (int i : {B1, A1, A2})
    for (int j : {A1, A2, A3})
      if (j > i) KG(j, i) = KG(i, j);

  // Internal virtual work of the station forces; no geometric term.
  FG = {0.0, F * (s1.SN + s2.SN), 0.0, 0.0, -2.0 * F * (s1.SM + s2.SM),
        -6.0 * K * (s2.SM - s1.SM)};
}

NLF_HOT_LOOP void segment_stiffness(const SegGeom& g, const StationValues& s1, const StationValues& s2,
              const SegLoads& ld, Mat6& KS, Vec6& FS, Mat6* KL_out, Vec6* FL_out) {
  Mat6 KG, KL;
  Vec6 FG, FL;
  segment_generalised(g.L, s1, s2, ld.gamma, KG, FG);

  // KL = AG^T KG AG, FL = AG^T FG. Rows and columns b0 and a0 of KG and FG
  // are zero, so only the four others of AG take part.
  constexpr int kLive[4] = {B1, A1, A2, A3};
  SMat<4, 6> T;  // (KG AG) on the live rows
  for (int j = 1; j <= 6; ++j)
    for (int p = 0; p < 4; ++p) {
      double v = 0.0;
      for (int q = 0; q < 4; ++q) v += KG(kLive[p], kLive[q]) * g.AG(kLive[q], j);
      T(p + 1, j) = v;
    }
  for (int j = 1; j <= 6; ++j)
    for (int i = 1; i <= 6; ++i) {
      double v = 0.0;
      for (int p = 0; p < 4; ++p) v += g.AG(kLive[p], i) * T(p + 1, j);
      KL(i, j) = v;
    }
  for (int i = 1; i <= 6; ++i) {
    double v = 0.0;
    for (int p = 0; p < 4; ++p) v += g.AG(kLive[p], i) * FG[kLive[p] - 1];
    FL[i - 1] = v;
  }

  // One-sided transverse springs: only a point that has moved down (negative
  // accumulated Y) is held, half the member value from each adjoining
  // segment end.
  if (ld.dyp1 < 0.0) {
    const double k = 0.5 * ld.spring;
    KL(W1, W1) += k;
    FL[W1 - 1] += k * ld.dyp1;
  }
  if (ld.dyp2 < 0.0) {
    const double k = 0.5 * ld.spring;
    KL(W2, W2) += k;
    FL[W2 - 1] += k * ld.dyp2;
  }

  // KS = TR^T KL TR, FS = TR^T FL. TR turns (X, Y) of each end by (c, s):
  // local (u, w) of end e sit at positions e and e + 2, global (X, Y) too.
  const double c = g.c, sn = g.s;
  turn_to_global(KL, c, sn, KS);
  for (int e = 0; e < 2; ++e) {
    FS[e] = c * FL[e] - sn * FL[e + 2];
    FS[e + 2] = sn * FL[e] + c * FL[e + 2];
  }
  FS[4] = FL[4];
  FS[5] = FL[5];

  // Distributed load, half of the segment's share to each end. It acts
  // downward, so the resisting forces that balance it point up (+Y).
  const double half = 0.5 * ld.load * g.L;
  FS[Y1 - 1] += half;
  FS[Y2 - 1] += half;

  if (KL_out) *KL_out = KL;
  if (FL_out) *FL_out = FL;
}

void to_node_order(const Vec6& seg, Vec6& node) {
  for (int p = 0; p < 6; ++p) node[p] = seg[kByNode[p]];
}

void to_segment_order(const Vec6& node, Vec6& seg) {
  for (int q = 0; q < 6; ++q) seg[q] = node[kByComponent[q]];
}

void to_node_order(const Mat6& seg, Mat6& node) {
  for (int j = 0; j < 6; ++j)
    for (int i = 0; i < 6; ++i) node.a[i + 6 * j] = seg.a[kByNode[i] + 6 * kByNode[j]];
}

}  // namespace nlf
