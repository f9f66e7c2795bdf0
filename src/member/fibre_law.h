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
// A flat plastic branch (E2 = 0, elastic-perfectly-plastic steel) keeps a
// yielded fibre's stress exactly on its bound. Such a fibre is on the
// branch, not inside its range: loading further it keeps its stress, and
// reversing it re-anchors its range as any fibre beyond a bound does. Its
// tangent is not 0 but kFlatTangent times E: a section whose fibres have
// all yielded, and a segment between two such sections, keep a little
// stiffness for the iteration (the member's inner system stays regular);
// the stresses stay on the flat branch.
//
// The same computation runs in two modes: trial (every iteration, the state
// is left alone and only the stress is returned) and commit (once per
// converged step, the new state is stored). Everything here is inline,
// branch-only arithmetic: the member pass calls it for 200 fibres per member
// per iteration.
//
// This is the law's one home, in three forms side by side:
//  - the scalar law (fibre_law) and its tangent for the section sums
//    (fibre_tangent);
//  - the lane form: four fibres at a time, for a group in which no range
//    moves (every fibre inside its range or loading further), the same
//    operations in the same order as the scalar law (lanes4_plain,
//    lanes4_stress, lanes4_tangent); a group with a fibre that must
//    re-anchor its range goes through the scalar law;
//  - the slope of the branch a fibre is on (fibre_branch_slope), for the
//    exact tangent.
#pragma once

#include "store/lanes.h"

namespace nlf {

enum class LawMode { Trial, Commit };

// The stiffness a pass sums up. Tangent: the ordinary tangent, E2 for a
// fibre whose trial stress leaves its range. Initial: the initial modulus E
// for every fibre, and every fibre outside its range has the range moved to
// it before its trial (the first iteration of the steps of a group whose
// imposed-displacement switch is negative). The commit always takes
// Tangent.
enum class Stiffness { Tangent, Initial };
inline Stiffness stiffness_of_switch(int impose) { return impose < 0 ? Stiffness::Initial : Stiffness::Tangent; }

// The tangent of a fibre on a flat plastic branch, times E.
inline constexpr double kFlatTangent = 1e-4;

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

// The slope the tangents give a fibre beyond its bound (or on it, with a
// flat branch): E2, or kFlatTangent times E when E2 is 0.
inline double plastic_slope(double E, double E2) { return E2 == 0.0 ? kFlatTangent * E : E2; }

// Whether a fibre with committed stress sig lies inside its range: a stress
// on a bound counts as inside, except on a flat branch (E2 = 0), where a
// fibre on its bound has yielded.
inline bool inside_range(double E2, double sig, double su, double sl) {
  if ((sl > sig) || (sig > su)) return false;
  return !(E2 == 0.0 && (sig == su || sig == sl));
}

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

// Outside the range and reversing (or with the initial stiffness): the
// range re-anchored at the current point (sig, eps), the other bound on the
// opposite bounding line.
inline void reanchor(const FibreMaterial& mat, double sig, double eps, double& su, double& sl, double& eu,
                     double& el) {
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
}

}  // namespace detail

// Trial or committed stress of one fibre with strain increment DEPS since
// the last commit. In commit mode `v` receives the new state (bounds as used,
// SIG = returned stress, EPS = EPS + DEPS); in trial mode `v` is unchanged.
// The initial stiffness sends every fibre outside its range through the
// bound move. (FIBRELAW of the card-era program.)
inline double fibre_law(LawMode mode, Stiffness stiffness, const FibreMaterial& mat, FibreValues& v,
                       double DEPS) {
  double su = v.SIGU, sl = v.SIGL, eu = v.EPSU, el = v.EPSL;
  const double sig = v.SIG, eps = v.EPS;
  double st;
  if (inside_range(mat.E2, sig, su, sl)) {
    // Inside the range (a stress exactly on a bound counts as inside, but
    // for a flat branch).
    st = detail::elastic_trial(mat.E, mat.E2, sig, eps, DEPS, su, sl, eu, el);
  } else if (stiffness == Stiffness::Tangent && DEPS * sig >= 0.0) {
    // Outside, loading further along the hardening branch.
    st = sig + mat.E2 * DEPS;
  } else {
    // Outside and reversing (or the initial stiffness): re-anchor the range first.
    detail::reanchor(mat, sig, eps, su, sl, eu, el);
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
// else E; with a flat branch (E2 = 0) kFlatTangent times E when the trial
// stress lies on a bound or outside. With the initial stiffness every fibre
// takes E.
inline double fibre_tangent(Stiffness stiffness, double E, double E2, double SIGT, double SIGL, double SIGU) {
  if (stiffness != Stiffness::Tangent) return E;
  if (E2 == 0.0) return (SIGT <= SIGL || SIGT >= SIGU) ? kFlatTangent * E : E;
  if (SIGT < SIGL || SIGT > SIGU) return E2;
  return E;
}

// The slope of the branch the fibre's trial stress lies on, with respect to
// DEPS: E inside the (possibly re-anchored) range, E2 beyond it (with a
// flat branch, on or beyond it: kFlatTangent times E).
inline double fibre_branch_slope(Stiffness stiffness, const FibreMaterial& mat, const FibreValues& v, double DEPS) {
  double su = v.SIGU, sl = v.SIGL, eu = v.EPSU, el = v.EPSL;
  const double sig = v.SIG;
  const double beyond = plastic_slope(mat.E, mat.E2);
  if (inside_range(mat.E2, sig, su, sl)) {
  } else if (stiffness == Stiffness::Tangent && DEPS * sig >= 0.0) {
    return beyond;
  } else {
    detail::reanchor(mat, sig, v.EPS, su, sl, eu, el);
  }
  const double st = sig + mat.E * DEPS;
  if (mat.E2 == 0.0) return (st >= su || st <= sl) ? beyond : mat.E;
  return (st > su || st < sl) ? beyond : mat.E;
}

// The lane form. lanes4_plain tells whether no range of the four moves
// (`inside` receives the lanes inside their range; `flat` for E2 = 0, as
// inside_range); then lanes4_stress gives the trial stress of the four (and
// the committed stress: the bounds stay, EPS becomes EPS + DEPS), and
// lanes4_tangent their tangent moduli (`flat` again for E2 = 0, with Ef
// holding kFlatTangent times E).
// Vectors go by reference: an AVX vector passed by value would change the
// calling convention.
[[gnu::always_inline]] inline bool lanes4_plain(Stiffness stiffness, bool flat, const V4& sig, const V4& su, const V4& sl,
                                                const V4& deps, M4& inside) {
  inside = ~(sl > sig) & ~(sig > su);
  if (flat) inside &= ~((sig == su) | (sig == sl));
  const M4 loading = stiffness == Stiffness::Tangent ? M4(deps * sig >= 0.0) : M4{0, 0, 0, 0};
  const M4 plain = inside | loading;
  return (plain[0] & plain[1] & plain[2] & plain[3]) != 0;
}

[[gnu::always_inline]] inline void lanes4_stress(const V4& E, const V4& E2, const V4& sig, const V4& eps,
                                                 const V4& deps, const V4& su, const V4& sl, const V4& eu,
                                                 const V4& el, const M4& inside, V4& out) {
  const V4 se = sig + E * deps;
  const V4 above = su + (eps + deps - eu) * E2;
  const V4 below = sl + (eps + deps - el) * E2;
  const V4 in = se > su ? above : (se < sl ? below : se);
  out = inside ? in : sig + E2 * deps;
}

[[gnu::always_inline]] inline void lanes4_tangent(Stiffness stiffness, bool flat, const V4& E, const V4& E2, const V4& Ef,
                                                  const V4& sigt, const V4& su, const V4& sl, V4& out) {
  if (flat && stiffness == Stiffness::Tangent)
    out = ((sigt <= sl) | (sigt >= su)) ? Ef : E;
  else
    out = stiffness == Stiffness::Tangent ? (((sigt < sl) | (sigt > su)) ? E2 : E) : E;
}

}  // namespace nlf
