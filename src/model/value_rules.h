// The rules of the values that a card sets and that the restart file
// carries again: written once, so that a restart file cannot hand the run a
// value the card would have refused. Each rule returns no fault for a sound
// value, else the field at fault and the reason, in the listing's words and
// in the words of the deck check's line ("gives E3 = 2100, which is not
// below E = 2100", after "P card ").
#pragma once

#include <string>

namespace nlf {

struct ValueFault {
  int field = 0;        // the card's field (1 for X1 or I1, ...); 0: no fault
  std::string listing;  // "E3 = 2100 NOT BELOW E = 2100"
  std::string detail;   // "gives E3 = 2100, which is not below E = 2100"
  explicit operator bool() const { return field != 0; }
};

// The material of the P card: E3 below E, E positive and finite, E2
// finite (checked in this order).
ValueFault material_fault(double E, double E2, double E3);

// The iteration limits of the L card: MAXIT and MINIT from 0 to 999 (the
// card's three columns).
ValueFault iteration_limits_fault(long long MAXIT, long long MINIT);

// The number of the last step done, which a continuing run counts on from:
// from 0 to kLastStepMax, so that the count cannot overflow.
inline constexpr long long kLastStepMax = 9999999;
ValueFault last_step_fault(long long step);

}  // namespace nlf
