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
