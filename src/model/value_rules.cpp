#include "model/value_rules.h"

#include <cmath>

#include "io/format.h"

namespace nlf {

ValueFault material_fault(double E, double E2, double E3) {
  const std::string e = message_number(E), e3 = message_number(E3);
  if (!(E3 < E))
    return {3, "E3 = " + e3 + " NOT BELOW E = " + e, "gives E3 = " + e3 + ", which is not below E = " + e};
  if (!std::isfinite(E) || !(E > 0))
    return {1, "E = " + e + " NOT A POSITIVE NUMBER", "gives E = " + e + ", which is not a positive number"};
  if (!std::isfinite(E2))
    return {2, "E2 NOT A FINITE NUMBER", "gives E2 = " + message_number(E2) + ", which is not a finite number"};
  return {};
}

ValueFault iteration_limits_fault(long long MAXIT, long long MINIT) {
  if (MAXIT < 0 || MAXIT > 999)
    return {1, "MAXIT = " + std::to_string(MAXIT) + " OUTSIDE 0 TO 999",
            "gives MAXIT = " + std::to_string(MAXIT) + ", outside 0 to 999"};
  if (MINIT < 0 || MINIT > 999)
    return {2, "MINIT = " + std::to_string(MINIT) + " OUTSIDE 0 TO 999",
            "gives MINIT = " + std::to_string(MINIT) + ", outside 0 to 999"};
  return {};
}

ValueFault last_step_fault(long long step) {
  if (step < 0 || step > kLastStepMax)
    return {5, "LAST STEP " + std::to_string(step) + " OUTSIDE 0 TO " + std::to_string(kLastStepMax),
            "gives the last step " + std::to_string(step) + ", outside 0 to " + std::to_string(kLastStepMax)};
  return {};
}

}  // namespace nlf
