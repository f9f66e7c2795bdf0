// The uniaxial fibre law: bilinear with a moving elastic range.
//
// The elastic range of a fibre is bounded by an upper point (EPSU, SIGU) and
// a lower point (EPSL, SIGL). Inside it the fibre is elastic (modulus E);
// beyond a bound it hardens with slope E2 from that bound. When the strain
// reverses on a hardening branch, the range is re-anchored: one bound at the
// current point, the other where the elastic line through the current point
// meets the opposite bounding line of slope E3, which passes through
// (+EYM, +SYM) above and (-EYM, -SYM) below.
//
// The same computation runs in two modes: trial (every iteration, the state
// is left alone and only the stress is returned) and commit (once per
// converged step, the new state is stored). Everything here is inline,
// branch-only arithmetic: the member pass calls it for 200 fibres per member
// per iteration.
#pragma once

namespace nlf {

enum class LawMode { Trial, Commit };

// Material constants of the structure and yield values of one member.
struct FibreMaterial {
  double E = 0;    // Young's modulus
  double E2 = 0;   // hardening slope
  double E3 = 0;   // slope of the bounding lines
  double SYM = 0;  // yield stress of the member
  double EYM = 0;  // yield strain of the member (SYM / E)
};

// The six committed values of one fibre, in their storage order.
struct FibreValues {
  double SIGU = 0, SIGL = 0, EPSU = 0, EPSL = 0, SIG = 0, EPS = 0;
};

namespace detail {

// Elastic trial from (sig, eps) by deps, bounded by the given range.
inline double elastic_trial(double E, double E2, double sig, double eps, double deps,
                            double sigu, double sigl, double epsu, double epsl) {
  double st = sig + E * deps;
  if (st > sigu)
    st = sigu + (eps + deps - epsu) * E2;
  else if (st < sigl)
    st = sigl + (eps + deps - epsl) * E2;
  return st;
}

}  // namespace detail

// Trial or committed stress of one fibre with strain increment DEPS since
// the last commit. In commit mode `v` receives the new state (bounds as used,
// SIG = returned stress, EPS = EPS + DEPS); in trial mode `v` is unchanged.
// KTAN < 0 sends every fibre outside its range through the bound move.
inline double FIBRELAW(LawMode mode, int KTAN, const FibreMaterial& mat, FibreValues& v,
                       double DEPS) {
  double su = v.SIGU, sl = v.SIGL, eu = v.EPSU, el = v.EPSL;
  const double sig = v.SIG, eps = v.EPS;
  double st;
  if (!(sl > sig) && !(sig > su)) {
    // Inside the range (a stress exactly on a bound counts as inside).
    st = detail::elastic_trial(mat.E, mat.E2, sig, eps, DEPS, su, sl, eu, el);
  } else if (KTAN >= 0 && DEPS * sig >= 0.0) {
    // Outside, loading further along the hardening branch.
    st = sig + mat.E2 * DEPS;
  } else {
    // Outside and reversing (or KTAN < 0): re-anchor the range first.
    const double d = mat.E - mat.E3;
    if (sig > 0.0) {
      su = sig;
      eu = eps;
      el = (mat.E3 * mat.EYM - mat.SYM - sig + mat.E * eps) / d;
      sl = mat.E3 * (el + mat.EYM) - mat.SYM;
    } else {
      sl = sig;
      el = eps;
      eu = (mat.E * eps - sig - mat.E3 * mat.EYM + mat.SYM) / d;
      su = mat.E3 * (eu - mat.EYM) + mat.SYM;
    }
    st = detail::elastic_trial(mat.E, mat.E2, sig, eps, DEPS, su, sl, eu, el);
  }
  if (mode == LawMode::Commit) {
    v.SIGU = su;
    v.SIGL = sl;
    v.EPSU = eu;
    v.EPSL = el;
    v.SIG = st;
    v.EPS = eps + DEPS;
  }
  return st;
}

// Tangent modulus for the section sums: E2 when the trial stress lies
// outside the committed range (the bounds as stored before this iteration),
// else E. With KTAN < 0 every fibre takes E.
inline double FIBRETANGENT(int KTAN, double E, double E2, double SIGT, double SIGL, double SIGU) {
  if (KTAN >= 0 && (SIGT < SIGL || SIGT > SIGU)) return E2;
  return E;
}

}  // namespace nlf
