// Member loads of the load history (U cards): loads per cm of a member's
// segments that belong to the load pattern, as the joint loads of B cards
// do, so that load control adds them step by step and arc-length control
// scales them with the load factor. Owned by the run beside its fixed
// stores (the fixed layout does not change), sized for every member slot at
// start-up.
//
// A member's load has two parts that add up: one in global axes (X, Y; the
// signs of the axes, negative Y downward) and one in the segment's own axes
// (along the chord from end I to end J, and across it, positive to the
// left of I -> J), which turns with the segment. Every segment puts its
// share on its two node points work-equivalently: half the force to each
// end and the end moments q L^2 / 12 of the load across it, from the
// segment's current chord (member/member_loads.h).
//
// Who writes what:
//   pattern    the load-history reader, with the joint pattern
//   total      the driver: load control as a step starts, arc-length
//              control as a step is accepted (the restart file carries it)
//   applied, reference, dlam
//              the driver, before each member pass and recovery
//   ref_end, ref_inner
//              the member pass, for every loaded member under arc-length
//              control
#pragma once

#include <array>
#include <vector>

namespace nlf {

struct MemberLoad {
  double gx = 0, gy = 0;          // global X, Y (t/cm)
  double along = 0, across = 0;   // along the chord I -> J, across it to the left (t/cm)
  bool zero() const { return gx == 0 && gy == 0 && along == 0 && across == 0; }
  MemberLoad& add(const MemberLoad& q, double f) {
    gx += f * q.gx;
    gy += f * q.gy;
    along += f * q.along;
    across += f * q.across;
    return *this;
  }
};

struct MemberLoadTable {
  std::vector<MemberLoad> pattern;  // per member slot (index m - 1)
  std::vector<MemberLoad> total;    // the load applied so far, per member slot
  // Some member has a pattern or a total load: without one, every stage
  // takes the path of a frame without member loads.
  bool any = false;

  // The iteration's factors: the multiple of the pattern beyond `total` in
  // the unbalanced forces, the reference multiple (the group's FACTOR under
  // arc-length control, else 0), and the load-factor increment of the
  // iteration's solution, which the recovery of the inner points needs.
  double applied = 0, reference = 0, dlam = 0;

  // Under arc-length control, per loaded member: the reference load
  // condensed onto its end joints (node order, a load: positive along the
  // axes), and KII^-1 times the reference load on its inner points.
  std::vector<std::array<double, 6>> ref_end;
  std::vector<std::array<double, 12>> ref_inner;

  void size(int members) {
    const auto n = static_cast<std::size_t>(members > 0 ? members : 0);
    pattern.assign(n, MemberLoad{});
    total.assign(n, MemberLoad{});
    ref_end.assign(n, {});
    ref_inner.assign(n, {});
    any = false;
    applied = reference = dlam = 0;
  }
  // The load that the unbalanced forces of this iteration hold, and the
  // reference load, of member m.
  MemberLoad current(int m) const {
    MemberLoad q = total[static_cast<std::size_t>(m - 1)];
    return q.add(pattern[static_cast<std::size_t>(m - 1)], applied);
  }
  bool loaded(int m) const {
    return any && (!total[static_cast<std::size_t>(m - 1)].zero() || !pattern[static_cast<std::size_t>(m - 1)].zero());
  }
  bool referenced(int m) const { return reference != 0 && !pattern[static_cast<std::size_t>(m - 1)].zero(); }
  // A step's load-factor increment dl (times FACTOR) into the totals.
  void accept(double f) {
    if (!any || f == 0) return;
    for (std::size_t i = 0; i < total.size(); ++i) total[i].add(pattern[i], f);
  }
};

}  // namespace nlf
