// The 20-fibre section tables: fibre areas AREA(s,i) and fibre coordinates
// ZF(s,i) (z positive towards fibre 1, the top fibre), built from a section
// card and listed with their sums. AREA and ZF are the workspace tables; their
// leading dimension is the section capacity, s must lie in 1..capacity.
#pragma once

#include "store/views.h"

namespace nlf {

class TextOut;

// T (flange on top), I (strong axis) and H (weak axis):
//   T: X1 depth, X2 flange width, X3 stem thickness, X4 flange thickness,
//      X7 z of the stem tip;
//   I: X1 depth, X2 flange width, X3 web, X4 flange thickness, X5 fillet
//      radius, X7 shift of every z;
//   H: as I, X1 not used.
// Lists the fibres in the wide layout (block A).
void build_section_THI(char letter, int s, double x1, double x2, double x3, double x4, double x5,
                       double x7, RMat AREA, RMat ZF, TextOut& out);

// O (rectangle: X1 depth, X2 width), R (round: X1 diameter, X2 wall
// thickness; 0 solid, negative half of the solid circle), C (the table held
// for s, shifted). X7 is added to every z. Lists the fibres in the narrow
// layout (block B).
void build_section_ORC(char letter, int s, double x1, double x2, double x7, RMat AREA, RMat ZF,
                       TextOut& out);

}  // namespace nlf
