// Equation numbers of the joint freedoms (X, Y, rotation T), the links that
// let two joints share a freedom, the band width, and the MATRIX INDEX
// listing. All of it works on md.IEQ, md.NEQ, md.MBAND, md.NJ and md.JNO.
#pragma once

#include "store/model.h"

namespace nlf {

class TextOut;

// New joint j: its slots 3j-2..3j get the numbers 3j-2..3j; NEQ grows by 3.
void number_joint(Model& md, int j);

// True when every digit of a link code is in range: X and Y digits 0-2,
// T digit 0-1, and the code is not negative.
bool link_code_valid(int code);

// Ties freedoms of the slave joint S to the master joint M (M < S, internal
// indices) by the three-digit code (hundreds X, tens Y, units T; 1 ties a
// component to the same component of the master, 2 ties a translation to
// the master's other translation). Each tie closes the gap above the slave
// slot and removes one equation. Returns false, changing nothing, when the
// code is not valid.
bool link_dofs(Model& md, int M, int S, int code);

// Raises MBAND to the spread of the six equation numbers of joints a and b
// as they stand now.
void widen_band(Model& md, int a, int b);

// The band width that assembly needs with the final equation numbers: MBAND
// or more. A link read after the members that touch its joint lowers the
// numbers those members were measured with, so their spread may have grown.
int final_band_width(const Model& md);

// The MATRIX INDEX listing: size, band width and the numbers of every joint,
// four joints a line.
void print_matrix_index(const Model& md, TextOut& out);

}  // namespace nlf
