// What makes a model a mechanism or its stiffness matrix singular before any
// load, seen from the cards alone: no support or spring in a direction, a
// frame held at one point only, a joint of no member left free, a member
// too short to be told from a point. The run finds the same at its first
// pivot; the check names it beforehand.
#pragma once

#include <string>
#include <vector>

#include "store/model.h"

namespace nlf {

// The findings on the model read into `md`, with the supports of the load
// group whose pattern md holds (the first group's).
std::vector<std::string> mechanism_findings(const Model& md);

}  // namespace nlf
