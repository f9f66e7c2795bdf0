// Residual stresses of I and H sections (the S card): the initial stress of
// every fibre and of the sub-fibres of the flange strips, worked out from the
// four values of the pattern, and the checks that a pattern must pass.
//
// The pattern, symmetric about the web and about mid-depth (compression
// negative, t/cm2): X1 at the flange tips, X2 where the flange meets the
// web, X3 at the two ends of the web, X4 at mid-depth of the web; linear in
// between. The part of a flange over the web carries X2.
//
// I (strong axis): every flange strip becomes a bundle of kSubFibres
// sub-fibres, the half width from the web face to the tip cut into equal
// slices, the innermost slice taking also the part over the web; each slice
// carries the mean of the pattern over its width (its centre value; the
// innermost one the area-weighted mean with X2 over the web). Fillet and web
// strips take the web's value at their centroid, linear from X3 at the web
// ends (D/2 - tf from mid-depth) to X4 at mid-depth.
//
// H (weak axis): the strips run across the flange width; each takes the
// pattern's mean over its area. Strips 1-7 are flange outstands (the value at
// their mid-height across the width); the flange parts of the fillet strips 8
// and 9 likewise, their fillet parts X3 (the web's value at its ends); the
// centre strip is the web with the two flange parts over it: (X3 + X4)/2, the
// web's mean over its depth, over the width B - 2 tf and X2 over the 2 tf of
// the flanges.
#pragma once

#include <array>
#include <string>

#include "store/model.h"

namespace nlf {

// The dimensions of an I or H section as its card gives them (cm).
struct SectionShape {
  char letter = 0;  // 'I' or 'H'
  double D = 0, B = 0, tw = 0, tf = 0, r = 0;
};

// The table of section s (letter I or H) for the pattern X1..X4, from the
// section's fibres in md.AREA and md.ZF (positions taken from the fibres'
// centroid, so a shift of the section changes nothing).
SectionResidual residual_table(const SectionShape& shape, const std::array<double, 4>& X, const Model& md,
                               int s);

// Sum of A*sig0 (t) and of A*sig0*z about the fibres' centroid (t-cm).
struct ResidualSums {
  double force = 0, moment = 0;
};
ResidualSums residual_sums(const Model& md, int s, const SectionResidual& r);

// Why a pattern cannot stand: a fibre or sub-fibre starts at or beyond the
// yield stress SY(s), or the pattern is not self-equilibrated (net force
// above 1 % of A*fy, net moment above 1 % of Mp). Empty `what` when it can.
// `what` for the listing (upper case), `detail` for the report on standard
// error, `first_field`..`last_field` the fields X1..X4 that make the
// stress at fault.
struct ResidualFault {
  std::string what, detail;
  int first_field = 1, last_field = 4;
};
ResidualFault residual_fault(const SectionShape& shape, const Model& md, int s, const SectionResidual& r);

}  // namespace nlf
