// The three member loops of the driver: the pass before every solve, the
// recovery after it and the commit after a converged step. Each runs the
// fibre store's begin / member / end sequence, so that the same code serves
// the in-memory and the scratch-file state. With the fibre state in memory
// and a team of several threads, the members are shared out among the
// threads; the pass then adds them into the band matrix in member order, so
// that the results do not depend on the number of threads.
#include "member/member_pass.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "member/fibre_law.h"
#include "member/vec2.h"
#include "solver/band.h"

namespace nlf {

namespace {

void warn_singular(int m) {
  std::fprintf(stderr, "nlframe: warning: member %d: singular inner system\n", m);
}

// Node-point increments, fibre strain increments and the moved node points
// of member m after a solve.
void recover_member(Model& md, int m, const MemberFibres& f) {
  double z[NFIB], de1[NFIB], de2[NFIB];
  double* dp = md.DPT.col(m).data();
  POINTRECOVER(m, md.IJ, md.DITER, md.IEQ, md.RCM, md.RCV, dp);

  const int sec = md.ISEC(m);
  for (int i = 1; i <= NFIB; ++i) z[i - 1] = md.ZF(sec, i);
  for (int k = 1; k <= NSEG; ++k) {
    const double* p1 = dp + 3 * (k - 1);  // point k
    const double* p2 = dp + 3 * k;        // point k + 1
    const Vec6 d{p1[0], p2[0], p1[1], p2[1], p1[2], p2[2]};
    SEGSTRAIN(md.XM(m, k), md.XM(m, k + 1), md.YM(m, k), md.YM(m, k + 1), d, z, NFIB, de1, de2);
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
// stress, EPS = EPS + DEPS with the lane arithmetic of FIBRELAW; any other
// group goes through the scalar law.
NLF_HOT_LOOP void commit_member(const Model& md, int m, const MemberFibres& f, int KTAN) {
  typedef double V4 __attribute__((vector_size(32)));
  typedef double V4u __attribute__((vector_size(32), aligned(8)));
  typedef std::int64_t M4 __attribute__((vector_size(32)));
  static_assert(NFM % 4 == 0, "fibres go in fours");
  const FibreMaterial mat{md.E, md.E2, md.E3, md.SYM(m), md.EYM(m)};
  const V4 E = {mat.E, mat.E, mat.E, mat.E}, E2 = {mat.E2, mat.E2, mat.E2, mat.E2};
  for (int i = 0; i < NFM; i += 4) {
    const V4 sig = *reinterpret_cast<const V4u*>(f.SIG + i);
    const V4 su = *reinterpret_cast<const V4u*>(f.SIGU + i);
    const V4 sl = *reinterpret_cast<const V4u*>(f.SIGL + i);
    const V4 deps = *reinterpret_cast<const V4u*>(f.DEPS + i);
    const M4 inside = ~(sl > sig) & ~(sig > su);
    const M4 loading = KTAN >= 0 ? M4(deps * sig >= 0.0) : M4{0, 0, 0, 0};
    const M4 plain = inside | loading;
    if ((plain[0] & plain[1] & plain[2] & plain[3]) != 0) {
      const V4 eps = *reinterpret_cast<const V4u*>(f.EPS + i);
      const V4 eu = *reinterpret_cast<const V4u*>(f.EPSU + i);
      const V4 el = *reinterpret_cast<const V4u*>(f.EPSL + i);
      const V4 se = sig + E * deps;
      const V4 above = su + (eps + deps - eu) * E2;
      const V4 below = sl + (eps + deps - el) * E2;
      const V4 in = se > su ? above : (se < sl ? below : se);
      *reinterpret_cast<V4u*>(f.SIG + i) = inside ? in : sig + E2 * deps;
      *reinterpret_cast<V4u*>(f.EPS + i) = eps + deps;
      continue;
    }
    for (int at = i; at < i + 4; ++at) {
      FibreValues v{f.SIGU[at], f.SIGL[at], f.EPSU[at], f.EPSL[at], f.SIG[at], f.EPS[at]};
      FIBRELAW(LawMode::Commit, KTAN, mat, v, f.DEPS[at]);
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
  MemberTeam& team;
  int KTAN;
};

bool shared_out(const FibreStore& fs, const MemberTeam* team) {
  return team != nullptr && team->threads() > 1 && fs.in_memory();
}

}  // namespace

void MEMBERPASS(Model& md, FibreStore& fs, int KTAN, bool& singular_any, MemberTeam* team) {
  singular_any = false;
  if (md.NEQ > 0 && md.MBAND > 0) md.A().fill(0.0);
  // Every joint-serial entry: with links NEQ < 3 NJ, and the entries beyond
  // NEQ would otherwise keep growing from pass to pass.
  md.R.fill(0.0, 3 * md.NJ);

  fs.pass_begin();
  if (shared_out(fs, team)) {
    Job job{md, fs, *team, KTAN};
    team->run(md.NM, [](void* ctx, int m) {
      Job& j = *static_cast<Job*>(ctx);
      MemberResult res;
      j.team.singular(m) = !build_member(j.md, m, j.fs.held_member(m), j.KTAN, res);
      std::copy(res.cond.KM.a.begin(), res.cond.KM.a.end(), j.team.KM(m));
      std::copy(res.cond.FM.begin(), res.cond.FM.end(), j.team.FM(m));
    }, &job);
    std::array<double, 36> KM;
    std::array<double, 6> FM;
    for (int m = 1; m <= md.NM; ++m) {
      if (team->singular(m)) {
        singular_any = true;
        warn_singular(m);
      }
      std::copy_n(team->KM(m), 36, KM.begin());
      std::copy_n(team->FM(m), 6, FM.begin());
      ADDMEMBER(m, md.IJ, md.A(), KM, md.R, FM, md.IEQ);
    }
  } else {
    MemberResult res;
    for (int m = 1; m <= md.NM; ++m) {
      const MemberFibres f = fs.pass_member(m);
      if (!build_member(md, m, f, KTAN, res)) {
        singular_any = true;
        warn_singular(m);
      }
      ADDMEMBER(m, md.IJ, md.A(), res.cond.KM.a, md.R, res.cond.FM, md.IEQ);
    }
  }
  fs.pass_end();
}

void update_members(Model& md, FibreStore& fs, MemberTeam* team) {
  fs.update_begin();
  if (shared_out(fs, team)) {
    Job job{md, fs, *team, 0};
    team->run(md.NM, [](void* ctx, int m) {
      Job& j = *static_cast<Job*>(ctx);
      recover_member(j.md, m, j.fs.held_member(m));
    }, &job);
  } else {
    for (int m = 1; m <= md.NM; ++m) {
      recover_member(md, m, fs.update_member(m));
      fs.update_put(m);
    }
  }
  fs.update_end();
}

void commit_fibres(Model& md, FibreStore& fs, int KTAN, MemberTeam* team) {
  fs.commit_begin();
  if (shared_out(fs, team)) {
    Job job{md, fs, *team, KTAN};
    team->run(md.NM, [](void* ctx, int m) {
      Job& j = *static_cast<Job*>(ctx);
      commit_member(j.md, m, j.fs.held_member(m), j.KTAN);
    }, &job);
  } else {
    for (int m = 1; m <= md.NM; ++m) {
      commit_member(md, m, fs.commit_member(m), KTAN);
      fs.commit_put(m);
    }
  }
  fs.commit_end();
}

}  // namespace nlf
