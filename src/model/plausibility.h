// Values that read well but are far from a steel frame in t and cm: a
// modulus or a yield stress in another unit (MPa, kN/cm2, ksi, ...), a
// frame drawn in mm or m. Each finding names the likely mistake and the
// value in the deck's units. They are warnings: the program runs the deck
// as it stands.
#pragma once

#include <string>
#include <vector>

#include "store/model.h"

namespace nlf {

// The findings on the material, the sections' yield stresses and the
// lengths of the structure read into `md`, one line each ("P card: E =
// 210000 ...").
std::vector<std::string> plausibility_findings(const Model& md);

// The same for plain values: the material (E, E2, E3) and one yield stress.
// For the builder's tests and for a model that holds no structure yet.
std::vector<std::string> material_findings(double E, double E2, double E3);
std::string yield_finding(double yield, int section);

}  // namespace nlf
