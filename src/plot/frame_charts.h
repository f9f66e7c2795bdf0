// The frame pictures: the deformed frame and the plastic zones. Each returns
// a complete SVG document. Elements that tests and style sheets look for
// carry a class: "member", "station", "joint", "support".
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "plot/common.h"

namespace nlf::plot {

// Magnification that shows the largest node displacement as about a tenth of
// the frame's size, rounded to 1, 2 or 5 times a power of ten and never
// below 1 (large displacements are shown true to size).
double default_scale(const Frame& frame, const DisplacementStep& d);

// Throws PlotError unless the block has the deck's members with the deck's
// end joints, in order.
void check_members(const Frame& frame, const std::string& file, int step,
                   const std::vector<std::pair<int, int>>& ends, bool complete);

// The frame: undeformed outline and, with `disp`, the members through their
// node points moved by the total displacements times `scale`.
std::string frame_chart(const Frame& frame, const DisplacementStep* disp, double scale, const std::string& note);

// The members on their undeformed geometry, every station coloured by the
// number of its fibres at or beyond a bound.
std::string plastic_chart(const Frame& frame, const StressStep& s);

// Colour of a station with `n` of 20 fibres at a bound.
std::string plastic_colour(int n);

}  // namespace nlf::plot
