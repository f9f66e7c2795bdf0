// The fixed capacities of the three stores, the fixed shape of every member
// and the model sizes that cut the stores into tables.
#pragma once

namespace nlf {

// Fixed capacities of the three stores.
inline constexpr int IMAX = 30000;
inline constexpr int NMAX = 600000;
inline constexpr int NSYMAX = 200000;
// Fixed shape of every member: 5 segments, 6 node points, 10 stations of
// 20 fibres; 12 inner freedoms.
inline constexpr int NSEG = 5;
inline constexpr int NPT = 6;
inline constexpr int NSTA = 10;
inline constexpr int NFIB = 20;
inline constexpr int NFM = NSTA * NFIB;  // fibres of one member: 200
inline constexpr int MAXJOINTNO = 999;

// The joints the fixed stores hold.
inline constexpr int kFixedJoints = 333;
// The memory the fibre state may take when the stores follow the model,
// before it goes to scratch files (bytes).
inline constexpr long long kFibreBudget = 1LL << 30;

// The capacities of a run's stores: today's fixed sizes, or sizes that
// follow the model (--capacity): the integer and real workspaces exactly as
// its counting pass needs them, the member-state store for every member
// within the fibre budget, and up to 999 joints (a joint number has three
// columns).
struct Capacity {
  bool follows = false;
  long long fibre_budget = kFibreBudget;  // follows only
  int imax = IMAX, nmax = NMAX, nsymax = NSYMAX;
  int joints = kFixedJoints;

  static Capacity following(long long budget = kFibreBudget) {
    Capacity c;
    c.follows = true;
    c.fibre_budget = budget;
    c.joints = MAXJOINTNO;
    return c;
  }
};

// The eight model sizes (capacities) and the number of load columns.
struct Sizes {
  int MUMM = 0;  // members
  int MUMJ = 0;  // joints
  int MUMP = 5;  // segments per member
  int MUMT = 20; // fibres per section
  int MUMR = 0;  // joint springs
  int MUMS = 0;  // sections
  int MBAND = 0; // band width
  int MUMW = 0;  // watch cards
  int NRHS = 1;  // load columns

  int NEQX() const { return 3 * MUMJ; }
  int NINT() const { return 3 * MUMP - 3; }
  int NMP() const { return 3 * MUMP + 3; }
  int NST() const { return 2 * MUMP; }
};

}  // namespace nlf
