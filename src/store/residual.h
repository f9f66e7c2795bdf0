// Residual stresses of the sections that carry them (the S card after a
// section card): the pattern as the card gives it and what it means for
// every fibre. Owned by the run beside its fixed stores (the fixed layout
// does not change); written by the structure input, read by the fibre
// state's start (the member loops see only fibre states).
//
// A strip of an I section bent about its strong axis spans the whole
// flange width, across which the residual stress varies. Each of its flange
// strips therefore becomes a bundle of kSubFibres sub-fibres across the
// half width (the pattern is symmetric about the web): every sub-fibre sits
// at the strip's depth and sees the strip's strain, with its own share of
// the strip's area and its own initial stress. A bundle is exact for
// in-plane bending. Strips of the web and the fillets, and every strip of an
// H section (bent about its weak axis, its strips already run across the
// flange width), take the stress at their own position.
#pragma once

#include <array>
#include <vector>

#include "store/sizes.h"

namespace nlf {

// Sub-fibres of a flange strip's bundle (the study of their number builds
// the program with others through NLFRAME_SUB_FIBRES).
#ifndef NLFRAME_SUB_FIBRES
#define NLFRAME_SUB_FIBRES 10
#endif
inline constexpr int kSubFibres = NLFRAME_SUB_FIBRES;
inline constexpr int kMaxBundles = 6;  // flange strips of an I section: three a flange

struct SectionResidual {
  bool present = false;
  std::array<double, 4> X{};  // tips, flange-web junction, web ends, mid-web (t/cm2, compression negative)
  // Initial stress of every strip (1..NFIB at index 0..NFIB-1); for a
  // bundled strip the area-weighted mean of its sub-fibres.
  std::array<double, NFIB> sig0{};
  // Bundle of strip i (index i-1): 0..bundles-1, or -1 for a plain strip.
  std::array<int, NFIB> bundle{};
  int bundles = 0;
  // Per bundle, per sub-fibre: its share of the strip's area (the shares add
  // up to 1) and its initial stress.
  std::array<std::array<double, kSubFibres>, kMaxBundles> share{};
  std::array<std::array<double, kSubFibres>, kMaxBundles> sub_sig0{};

  SectionResidual() { bundle.fill(-1); }
};

// One entry per section number 0..MUMS (0 unused).
using ResidualTable = std::vector<SectionResidual>;

}  // namespace nlf
