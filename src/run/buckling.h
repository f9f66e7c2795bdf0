// The buckling analysis of a V card: the smallest critical load factors of
// the load pattern and their modes, (K + alpha KG) phi = 0, with K the
// elastic stiffness of the frame in its geometry at the card (or the
// tangent of the current state) and KG the geometric stiffness of the
// axial forces that the pattern causes in a linear analysis with K. Every
// node point keeps its freedoms (member/unreduced.h); the prescribed
// directions of the pattern are held, joint freedoms that nothing stiffens
// (no member, no spring) are left out. The analysis changes nothing of the
// model: the steps that follow run as they would without it.
#pragma once

#include <vector>

#include "deck/history.h"
#include "io/units.h"
#include "storage/fibre_store.h"
#include "store/model.h"

namespace nlf {

// The unit of the mode file, "modes.rst", opened at the first V card.
// Beyond the three columns of the control card's units, so that no restart
// unit of a deck can be the same.
inline constexpr int kModesUnit = 1022;

// One mode: its factor and its shape, every node point's (X, Y, R) by
// member (points 1..6; points 1 and 6 are the end joints), scaled so that
// the largest translation of any node point is 1, positive.
struct BucklingMode {
  double factor = 0;
  std::vector<double> joint;   // 3 per joint, X Y R (joint order)
  std::vector<double> points;  // 18 per member, points 1..6 each X Y R
  std::vector<double> moment;  // 10 per member: the moment EI w'' - ES u' of the mode at its stations
};

struct BucklingOutcome {
  int equations = 0;            // freedoms of the eigenproblem
  double largest_force = 0;     // largest |N| of the pattern's linear analysis
  std::vector<double> axial;    // 10 per member: N of the pattern at the stations
  bool geometric = false;       // the forces give a geometric stiffness (not every member without it)
  std::vector<BucklingMode> modes;  // positive factors ascending, then negative ones descending
  int positive = 0;             // how many of `modes` are positive
};

// The analysis alone: no listing, no file. Stops (Stop, status 1) with a
// listing message when the stiffness is not positive definite.
BucklingOutcome buckling_modes(const Model& md, Units& units, FibreStore& fs, const BucklingRequest& req);

// The analysis at a V card, `done` steps into the run: the listing lines
// (factors, normalised joint displacements) and the modes in "modes.rst".
// `count` counts the analyses of the run (the first opens the file).
void buckling_stage(const Model& md, Units& units, FibreStore& fs, const BucklingRequest& req, int done,
                    int& count);

}  // namespace nlf
