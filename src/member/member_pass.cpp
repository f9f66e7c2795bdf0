// The three member loops of the driver: the pass before every solve, the
// recovery after it and the commit after a converged step. Each runs the
// fibre store's begin / member / end sequence on the member team: a team of
// several threads (the fibre state in memory) shares the members out, a
// team of one thread (always over scratch files) takes them in order; the
// serial case is the same code. The pass adds the members
// into the band matrix in member order, so that the results do not depend
// on the number of threads. A group with the exact tangent has the same
// pass build its members with build_member_exact into the general band.
#include "member/member_pass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "member/exact_tangent.h"
#include "member/fibre_law.h"
#include "member/residual_fibres.h"
#include "solver/band.h"
#include "store/lanes.h"

namespace nlf {

namespace {

void warn_singular(RunOutput* out, int m) {
  if (out == nullptr) return;
  char text[80];
  std::snprintf(text, sizeof text, "nlframe: warning: member %d: singular inner system", m);
  out->error(text);
}

// Node-point increments, fibre strain increments and the moved node points
// of member m after a solve.
void recover_member(Model& md, int m, const MemberFibres& f) {
  double z[NFIB], de1[NFIB], de2[NFIB];
  double* dp = md.DPT.col(m).data();
  recover_points(md, m, md.DITER, dp);

  const int sec = md.ISEC(m);
  for (int i = 1; i <= NFIB; ++i) z[i - 1] = md.ZF(sec, i);
  for (int k = 1; k <= NSEG; ++k) {
    const double* p1 = dp + 3 * (k - 1);  // point k
    const double* p2 = dp + 3 * k;        // point k + 1
    const Vec6 d{p1[0], p2[0], p1[1], p2[1], p1[2], p2[2]};
    segment_strains(md.XM(m, k), md.XM(m, k + 1), md.YM(m, k), md.YM(m, k + 1), d, z, NFIB, de1, de2);
    double* s1 = f.DEPS + (2 * k - 2) * NFIB;
    double* s2 = f.DEPS + (2 * k - 1) * NFIB;
    for (int i = 0; i < NFIB; ++i) {
      s1[i] += de1[i];
      s2[i] += de2[i];
    }
  }

  // Move the node points; a member without geometric terms keeps its
  // inner points on the chord.
  for (int k = 1; k <= NPT; ++k) {
    md.XM(m, k) += dp[3 * k - 3];
    md.YM(m, k) += dp[3 * k - 2];
  }
  if (md.MGEO(m) != 0) {
    for (int k = 1; k <= 4; ++k) {
      const double t = 0.2 * k;
      md.XM(m, k + 1) = (1.0 - t) * md.XM(m, 1) + t * md.XM(m, 6);
      md.YM(m, k + 1) = (1.0 - t) * md.YM(m, 1) + t * md.YM(m, 6);
    }
  }
}

// The commit four fibres at a time: a group whose fibres are all inside
// their range or loading further keeps its bounds and takes SIG = the trial
// stress, EPS = EPS + DEPS in the law's lane form; any other group goes
// through the scalar law.
NLF_HOT_LOOP void commit_member(const Model& md, int m, const MemberFibres& f) {
  static_assert(NFM % 4 == 0, "fibres go in fours");
  const FibreMaterial mat{md.E, md.E2, md.E3, md.SYM(m), md.EYM(m)};
  if (const SectionResidual* r = md.residual(md.ISEC(m)); r != nullptr && f.SUB != nullptr) {
    residual_commit(mat, *r, f);
    return;
  }
  const V4 E = {mat.E, mat.E, mat.E, mat.E}, E2 = {mat.E2, mat.E2, mat.E2, mat.E2};
  const bool flat = mat.E2 == 0.0;
  for (int i = 0; i < NFM; i += 4) {
    const V4 sig = NLF_LOAD4(f.SIG + i);
    const V4 su = NLF_LOAD4(f.SIGU + i);
    const V4 sl = NLF_LOAD4(f.SIGL + i);
    const V4 deps = NLF_LOAD4(f.DEPS + i);
    M4 inside;
    if (lanes4_plain(Stiffness::Tangent, flat, sig, su, sl, deps, inside)) {
      const V4 eps = NLF_LOAD4(f.EPS + i);
      const V4 eu = NLF_LOAD4(f.EPSU + i);
      const V4 el = NLF_LOAD4(f.EPSL + i);
      V4 st;
      lanes4_stress(E, E2, sig, eps, deps, su, sl, eu, el, inside, st);
      NLF_STORE4(f.SIG + i) = st;
      NLF_STORE4(f.EPS + i) = eps + deps;
      continue;
    }
    for (int at = i; at < i + 4; ++at) {
      FibreValues v{f.SIGU[at], f.SIGL[at], f.EPSU[at], f.EPSL[at], f.SIG[at], f.EPS[at]};
      fibre_law(LawMode::Commit, Stiffness::Tangent, mat, v, f.DEPS[at]);
      f.SIGU[at] = v.SIGU;
      f.SIGL[at] = v.SIGL;
      f.EPSU[at] = v.EPSU;
      f.EPSL[at] = v.EPSL;
      f.SIG[at] = v.SIG;
      f.EPS[at] = v.EPS;
    }
  }
}

// What the threads of a team share in one loop.
struct Job {
  Model& md;
  FibreStore& fs;
  Stiffness stiffness;
};

// The integers of the rows' bookkeeping of a pass.
std::size_t rows_workspace(const Model& md) {
  return 5 * static_cast<std::size_t>(md.NEQ) + 3 * static_cast<std::size_t>(md.NK);
}

// Every joint-serial entry: with links NEQ < 3 NJ, and the entries beyond
// NEQ would otherwise keep growing from pass to pass.
void clear_forces(Model& md) { md.R.fill(0.0, 3 * md.NJ); }

// The pass, with the band matrix completed and reduced while the members
// are built. Any thread builds a member into the pass's buffers; the
// calling thread adds the members in member order as they are done. A row
// of A is complete once the last member touching it (and every row above)
// is in, and then takes its springs (in spring order) and the penalty of a
// prescribed direction. A pivot row is taken as soon as every row it
// reaches is complete. Each entry of A thus sees the same operations in the
// same order as when the members, springs, penalties and elimination follow
// one another, whatever the number of threads. With nobody else building
// members (a team of one thread) nothing is gained by doing this early: the
// rows are completed after the last member, the solve takes every pivot
// row, and none is taken when the convergence test ends the step before a
// solve. With the exact tangent (K the general
// band) the members go with build_member_exact into the general band, whose
// rows take the springs and penalties the same way, and whose pivot rows
// are taken as early: a member adds to K(r, c) only when it touches both
// rows, so a pivot row whose rows are complete sees its final entries in
// either form. When the team does not share
// the members out, each is added right after it is built, on the same
// thread, straight from the builder's result: the buffers are for members
// that wait for their turn.
struct ReducingPass {
  Job job;
  MemberPassBuffers& buffers;
  RunOutput* out;
  GlobalMatrix& K;
  bool exact;  // the exact tangent into the general band
  int NEQ, MBAND;
  int* need;     // need[e-1]: the last member touching row e (early)
  int* first;    // first[e-1]: first spring entry on row e, or -1
  int* last;     // last[e-1]: last spring entry on row e
  int* next;     // next[i]: the next spring entry on the same row, or -1
  int* fixed;    // fixed[e-1]: row e carries a prescribed direction
  int complete = 0;  // rows 1..complete are complete
  int reduced = 0;   // pivot rows 1..reduced are taken
  bool early = false;    // take pivot rows while members are built
  bool in_turn = false;  // each member is added as soon as it is built
  const MemberResult* built = nullptr;  // in turn: the member just built
  bool built_singular = false;
  bool singular_any = false;
  std::exception_ptr failure;

  ReducingPass(Model& md, FibreStore& fs, Stiffness stiffness, MemberPassBuffers& buffers, RunOutput* out,
               GlobalMatrix& K)
      : job{md, fs, stiffness},
        buffers(buffers),
        out(out),
        K(K),
        exact(K.form() == MatrixForm::GeneralBand),
        NEQ(md.NEQ),
        MBAND(md.MBAND) {
    need = buffers.rows();
    first = need + NEQ;
    last = first + NEQ;
    fixed = last + NEQ;
    next = fixed + NEQ;
  }

  // Clears A and R and finds the rows' members, springs and prescribed
  // directions; runs while the other threads start on the members.
  void prepare() {
    Model& md = job.md;
    K.clear();
    clear_forces(md);
    std::fill(first, last, -1);
    std::fill(fixed, next, 0);
    if (early) {
      std::fill(need, first, 0);
      for (int m = 1; m <= md.NM; ++m)
        for (int end = 1; end <= 2; ++end)
          for (int d = 1; d <= 3; ++d) {
            const int e = md.eq(md.IJ(m, end), d);
            if (e >= 1 && e <= NEQ) need[e - 1] = m;
          }
    }
    for (int k = 1; k <= md.NK; ++k)
      for (int d = 1; d <= 3; ++d) {
        const int i = 3 * (k - 1) + (d - 1);
        const int e = md.eq(md.KJ(k), d);
        next[i] = -1;
        if (e < 1 || e > NEQ) continue;
        if (first[e - 1] < 0)
          first[e - 1] = i;
        else
          next[last[e - 1]] = i;
        last[e - 1] = i;
      }
    for (int j = 1; j <= md.NJ; ++j)
      for (int d = 1; d <= 3; ++d)
        if (md.LTYPE(md.pat(j, d)) > 0) {
          const int e = md.eq(j, d);
          if (e >= 1 && e <= NEQ) fixed[e - 1] = 1;
        }
  }

  // Member m into A and R, after its warning: from the buffers, or in turn
  // straight from its builder's result.
  void add(int m) {
    const double* KM = in_turn ? built->cond.KM.data() : buffers.KM(m);
    const double* FM = in_turn ? built->cond.FM.data() : buffers.FM(m);
    if (in_turn ? built_singular : buffers.singular(m)) {
      singular_any = true;
      warn_singular(out, m);
    }
    K.add_member(m, job.md.IJ, KM, job.md.R, FM, job.md.IEQ);
  }

  // Completes the rows whose members are all in, members 1..m added (all
  // rows at the end of the pass), and (early) takes the pivot rows that
  // reach only complete rows.
  void advance(int m) {
    Model& md = job.md;
    while (complete < NEQ && (!early || need[complete] <= m)) {
      const int e = ++complete;
      double& diagonal = K.diagonal(e);
      for (int i = first[e - 1]; i >= 0; i = next[i]) diagonal += md.KF(i / 3 + 1, i % 3 + 1);
      if (fixed[e - 1]) diagonal = PENALTY;
    }
    if (!early) return;
    const int upto = complete == NEQ ? NEQ - 1 : std::min(complete - MBAND + 1, NEQ - 1);
    if (upto > reduced) {
      K.reduce(reduced + 1, upto);
      reduced = upto;
    }
  }

  static void build(void* ctx, int m) {
    ReducingPass& p = *static_cast<ReducingPass*>(ctx);
    Job& j = p.job;
    static thread_local MemberResult res;  // every field the pass uses is written for each member
    const MemberFibres f = j.fs.member(m);
    const bool singular = !(p.exact ? build_member_exact(j.md, m, f, j.stiffness, res)
                                    : build_member(j.md, m, f, j.stiffness, res));
    if (p.in_turn) {
      p.built = &res;
      p.built_singular = singular;
      return;
    }
    p.buffers.singular(m) = singular;
    std::memcpy(p.buffers.KM(m), res.cond.KM.data(), 36 * sizeof(double));
    std::memcpy(p.buffers.FM(m), res.cond.FM.data(), 6 * sizeof(double));
  }

  static void ordered(void* ctx, int m) {
    ReducingPass& p = *static_cast<ReducingPass*>(ctx);
    if (m == 0) return p.prepare();
    if (p.failure) return;
    try {
      p.add(m);
    } catch (...) {  // a band overrun: stop when every thread is done
      p.failure = std::current_exception();
      return;
    }
    if (p.early) p.advance(m);
  }
};

}  // namespace

MemberPassBuffers::MemberPassBuffers(const Model& md)
    : km_(static_cast<std::size_t>(std::max(md.NM, 0)) * 36),
      fm_(static_cast<std::size_t>(std::max(md.NM, 0)) * 6),
      singular_(static_cast<std::size_t>(std::max(md.NM, 0))),
      rows_(std::max<std::size_t>(rows_workspace(md), 1)) {}

bool MemberPassBuffers::hold(const Model& md) const {
  return singular_.size() >= static_cast<std::size_t>(std::max(md.NM, 0)) && rows_.size() >= rows_workspace(md);
}

int member_pass(Model& md, FibreStore& fs, Stiffness stiffness, bool& singular_any, MemberTeam& team,
                MemberPassBuffers& buffers, GlobalMatrix& K, RunOutput* out, bool solved) {
  if (!buffers.hold(md)) throw std::logic_error("member pass buffers made for a smaller model");
  singular_any = false;
  fs.pass_begin();
  ReducingPass pass(md, fs, stiffness, buffers, out, K);
  pass.in_turn = !team.shares(md.NM);
  pass.early = solved && team.threads() > 1;
  team.run_ordered(md.NM, pass);
  singular_any = pass.singular_any;
  if (pass.failure) std::rethrow_exception(pass.failure);
  pass.advance(md.NM);
  fs.pass_end();
  return pass.reduced;
}

int member_pass(Model& md, FibreStore& fs, Stiffness stiffness, bool& singular_any, MemberTeam& team,
                MemberPassBuffers& buffers, RunOutput* out) {
  SymmetricBand K(md.A(), md.NEQ, md.MBAND);
  return member_pass(md, fs, stiffness, singular_any, team, buffers, K, out);
}

void update_members(Model& md, FibreStore& fs, MemberTeam& team) {
  fs.update_begin();
  Job job{md, fs, Stiffness::Tangent};
  team.run(md.NM, [](void* ctx, int m) {
    Job& j = *static_cast<Job*>(ctx);
    recover_member(j.md, m, j.fs.member(m));
    j.fs.put(m);
  }, &job);
  fs.update_end();
}

void commit_fibres(Model& md, FibreStore& fs, MemberTeam& team) {
  fs.commit_begin();
  Job job{md, fs, Stiffness::Tangent};
  team.run(md.NM, [](void* ctx, int m) {
    Job& j = *static_cast<Job*>(ctx);
    commit_member(j.md, m, j.fs.member(m));
    j.fs.put(m);
  }, &job);
  fs.commit_end();
}

}  // namespace nlf
