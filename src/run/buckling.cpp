// The buckling analysis: numbering of every node point's freedoms, the
// linear analysis of the pattern, the geometric stiffness of its axial
// forces and the eigenproblem.
#include "run/buckling.h"

#include "member/member_loads.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "io/stop.h"
#include "member/member_build.h"
#include "member/unreduced.h"
#include "solver/buckling_eigen.h"

namespace nlf {

namespace {

// Freedoms of the whole frame before the held ones are taken out: the NEQ
// joint equations, then 12 for the inner points of every member.
struct Numbering {
  int full = 0;
  std::vector<int> free_of;  // full index -> eigenproblem index, -1 held or left out
  int n = 0;
  std::vector<double> held;  // prescribed value of each full index (held ones)

  // The 18 full indices of member m (points 1..6, each X Y R).
  std::array<int, 18> of_member(const Model& md, int m) const {
    std::array<int, 18> d{};
    for (int c = 1; c <= 3; ++c) {
      d[c - 1] = md.eq(md.IJ(m, 1), c) - 1;
      d[15 + c - 1] = md.eq(md.IJ(m, 2), c) - 1;
    }
    for (int k = 0; k < 12; ++k) d[3 + k] = md.NEQ + 12 * (m - 1) + k;
    return d;
  }
};

using Stations = std::array<StationValues, NSTA>;

// The station values of every member: elastic, or from the fibres' current
// tangent (the first iteration's of the next step).
std::vector<Stations> stations(const Model& md, FibreStore& fs, bool tangent) {
  std::vector<Stations> st(static_cast<std::size_t>(md.NM) + 1);
  if (!tangent) {
    for (int m = 1; m <= md.NM; ++m) st[m].fill(elastic_station(md, m));
    return st;
  }
  fs.pass_begin();
  for (int m = 1; m <= md.NM; ++m) station_sums(md, m, fs.pass_member(m), Stiffness::Tangent, st[m]);
  fs.pass_end();
  return st;
}

// Every segment's 6 x 6 on the full indices, the stiffness or the geometric
// matrix of the forces in `st`.
void assemble(const Model& md, const Numbering& num, const std::vector<Stations>& st, bool geometric,
              std::vector<MatrixEntry>& out) {
  Mat6 K;
  for (int m = 1; m <= md.NM; ++m) {
    const auto d = num.of_member(md, m);
    for (int k = 1; k <= NSEG; ++k) {
      unreduced_segment(md, m, k, st[m][2 * k - 2], st[m][2 * k - 1], geometric, K);
      for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 6; ++i)
          if (K(i + 1, j + 1) != 0.0) out.push_back({d[3 * (k - 1) + i], d[3 * (k - 1) + j], K(i + 1, j + 1)});
    }
  }
}

[[noreturn]] void not_positive(Units& units, bool tangent) {
  const std::string text = tangent ? "ERROR ... BUCKLING ANALYSIS: THE TANGENT STIFFNESS IS NOT POSITIVE DEFINITE"
                                     " (A MECHANISM, OR PAST A LIMIT POINT)"
                                   : "ERROR ... BUCKLING ANALYSIS: THE STIFFNESS IS NOT POSITIVE DEFINITE"
                                     " (THE FRAME IS A MECHANISM UNDER THE PATTERN'S SUPPORTS)";
  units.listing().message({text});
  units.console().message({text});
  units.error_line("nlframe: the buckling analysis found the %s stiffness not positive definite: %s",
                   tangent ? "tangent" : "elastic",
                   tangent ? "a mechanism, or a state past a limit point" : "the frame is a mechanism");
  throw Stop{1};
}

// The mode on the full indices, scaled to a largest node-point translation
// of 1 (the first of the largest made positive).
BucklingMode shape(const Model& md, const Numbering& num, const std::vector<double>& phi, double factor) {
  std::vector<double> u(static_cast<std::size_t>(num.full), 0.0);
  for (int i = 0; i < num.full; ++i)
    if (num.free_of[i] >= 0) u[i] = phi[num.free_of[i]];
  BucklingMode b;
  b.factor = factor;
  b.points.resize(18 * static_cast<std::size_t>(md.NM));
  b.joint.resize(3 * static_cast<std::size_t>(md.NJ));
  for (int j = 1; j <= md.NJ; ++j)
    for (int c = 1; c <= 3; ++c) b.joint[3 * (j - 1) + c - 1] = u[md.eq(j, c) - 1];
  for (int m = 1; m <= md.NM; ++m) {
    const auto d = num.of_member(md, m);
    for (int k = 0; k < 18; ++k) b.points[18 * (m - 1) + k] = u[d[k]];
  }
  double big = 0.0;
  for (const auto* v : {&b.joint, &b.points})
    for (std::size_t i = 0; i < v->size(); ++i)
      if (i % 3 != 2 && std::fabs((*v)[i]) > std::fabs(big)) big = (*v)[i];
  if (big != 0.0) {
    // + 0.0: a held freedom prints as 0, never as -0.
    for (double& x : b.joint) x = x / big + 0.0;
    for (double& x : b.points) x = x / big + 0.0;
  }
  return b;
}

// The moment that the scaled mode's curvature carries at every station.
void mode_moments(const Model& md, const std::vector<Stations>& st, BucklingMode& b) {
  b.moment.resize(NSTA * static_cast<std::size_t>(md.NM));
  for (int m = 1; m <= md.NM; ++m)
    for (int k = 1; k <= NSEG; ++k) {
      const SectionForces f =
          segment_section_forces(md, m, k, b.points.data() + 18 * (m - 1), st[m][2 * k - 2], st[m][2 * k - 1]);
      b.moment[NSTA * (m - 1) + 2 * k - 2] = f.M[0] + 0.0;
      b.moment[NSTA * (m - 1) + 2 * k - 1] = f.M[1] + 0.0;
    }
}

// The member loads of the pattern (U cards) into f, on the node points as
// the steps put them.
void add_member_loads(const Model& md, const Numbering& num, std::vector<double>& f) {
  if (md.MLOADS == nullptr || !md.MLOADS->any) return;
  for (int m = 1; m <= md.NM; ++m) {
    const MemberLoad& q = md.MLOADS->pattern[static_cast<std::size_t>(m - 1)];
    if (q.zero()) continue;
    const auto d = num.of_member(md, m);
    std::array<double, 18> P;
    member_node_loads(md, m, q, P);
    for (int i = 0; i < 18; ++i) f[static_cast<std::size_t>(d[static_cast<std::size_t>(i)])] += P[static_cast<std::size_t>(i)];
  }
}

}  // namespace

BucklingOutcome buckling_modes(const Model& md, Units& units, FibreStore& fs, const BucklingRequest& req) {
  BucklingOutcome out;
  Numbering num;
  num.full = md.NEQ + 12 * md.NM;
  const auto st = stations(md, fs, req.tangent);

  std::vector<MatrixEntry> full;
  assemble(md, num, st, false, full);
  std::vector<char> touched(static_cast<std::size_t>(num.full), 0), held(touched);
  for (const MatrixEntry& e : full) touched[e.i] = touched[e.j] = 1;
  for (int c = 1; c <= md.NK; ++c)
    for (int d = 1; d <= 3; ++d) {
      const int e = md.eq(md.KJ(c), d) - 1;
      if (md.KF(c, d) != 0.0) {
        full.push_back({e, e, md.KF(c, d)});
        touched[e] = 1;
      }
    }
  // The pattern: forces on the free equations, values on the held ones.
  std::vector<double> f(static_cast<std::size_t>(num.full), 0.0);
  num.held.assign(static_cast<std::size_t>(num.full), 0.0);
  for (int j = 1; j <= md.NJ; ++j)
    for (int d = 1; d <= 3; ++d) {
      const int e = md.eq(j, d) - 1, p = md.pat(j, d);
      if (md.LTYPE(p) != 0) {
        held[e] = 1;
        num.held[e] = md.PDISP(p);
      } else {
        f[e] += md.PFORCE(p);
      }
    }
  add_member_loads(md, num, f);
  num.free_of.assign(static_cast<std::size_t>(num.full), -1);
  for (int i = 0; i < num.full; ++i)
    if (touched[i] && !held[i]) num.free_of[i] = num.n++;
  out.equations = num.n;

  std::vector<MatrixEntry> K;
  std::vector<double> rhs(static_cast<std::size_t>(num.n), 0.0);
  for (int i = 0; i < num.full; ++i)
    if (num.free_of[i] >= 0) rhs[num.free_of[i]] = f[i];
  for (const MatrixEntry& e : full) {
    const int a = num.free_of[e.i], b = num.free_of[e.j];
    if (a >= 0 && b >= 0) {
      if (a >= b) K.push_back({a, b, e.v});  // both halves are in `full`
    } else if (a >= 0 && held[e.j]) {
      rhs[a] -= e.v * num.held[e.j];
    }
  }
  BucklingEigen eig;
  if (!eig.factor(num.n, K)) not_positive(units, req.tangent);

  // The linear analysis of the pattern and the axial forces it causes.
  eig.solve(rhs);
  std::vector<double> u(num.held);
  for (int i = 0; i < num.full; ++i)
    if (num.free_of[i] >= 0) u[i] = rhs[num.free_of[i]];
  std::vector<Stations> force(st.size());
  out.axial.resize(NSTA * static_cast<std::size_t>(md.NM));
  for (int m = 1; m <= md.NM; ++m) {
    const auto d = num.of_member(md, m);
    double um[18];
    for (int k = 0; k < 18; ++k) um[k] = u[d[k]];
    for (int k = 1; k <= NSEG; ++k) {
      const SectionForces f = segment_section_forces(md, m, k, um, st[m][2 * k - 2], st[m][2 * k - 1]);
      for (int e = 0; e < 2; ++e) {
        force[m][2 * k - 2 + e].SN = f.N[e];
        out.axial[NSTA * (m - 1) + 2 * k - 2 + e] = f.N[e];
        out.largest_force = std::max(out.largest_force, std::fabs(f.N[e]));
      }
    }
  }
  if (out.largest_force == 0.0 || num.n < 2) return out;

  std::vector<MatrixEntry> geo, G;
  assemble(md, num, force, true, geo);
  for (const MatrixEntry& e : geo) {
    const int a = num.free_of[e.i], b = num.free_of[e.j];
    if (a >= 0 && b >= 0 && a >= b) G.push_back({a, b, e.v});
  }
  // Members without the axial-force terms (a negative section) add none.
  out.geometric = !G.empty();
  if (!out.geometric) return out;
  // mu = -1 / alpha: the most negative mu are the smallest positive factors.
  for (int side = 0; side < (req.negative ? 2 : 1); ++side) {
    int iterations = 0;
    std::vector<EigenPair> pairs;
    try {
      pairs = eig.extreme(G, req.modes, side == 0, iterations);
    } catch (const std::exception& e) {
      const std::string text = "ERROR ... BUCKLING ANALYSIS: THE EIGENSOLVER FAILED";
      units.listing().message({text});
      units.console().message({text});
      units.error_line("nlframe: the buckling analysis failed in its eigensolver: %s", e.what());
      throw Stop{1};
    }
    double scale = 0.0;
    for (const EigenPair& p : pairs) scale = std::max(scale, std::fabs(p.mu));
    for (const EigenPair& p : pairs) {
      // Factors beyond 1e12 times the first are rounding, not buckling.
      if ((side == 0 ? -p.mu : p.mu) <= 1e-12 * scale) continue;
      out.modes.push_back(shape(md, num, p.phi, -1.0 / p.mu));
      mode_moments(md, st, out.modes.back());
      if (side == 0) ++out.positive;
    }
  }
  return out;
}

}  // namespace nlf
