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

// An applied joint load drawn as an arrow: the joint (index into
// Frame::joints) and the force components (t).
struct LoadArrow {
  std::size_t joint = 0;
  double fx = 0, fy = 0;
};

// The frame: undeformed outline and, with `disp`, the members through their
// node points moved by the total displacements times `scale`; the loads as
// arrows at their joints, the largest 60 px long; a legend of the support
// symbols and the arrows. The caption gives the frame's own size. `subtitle`,
// when given, replaces the line under the title (a buckling mode's).
std::string frame_chart(const Frame& frame, const DisplacementStep* disp, double scale, const std::string& note,
                        const std::vector<LoadArrow>& loads = {}, const std::string& subtitle = "");

// The members on their undeformed geometry, every station coloured by the
// number of its fibres at or beyond a bound.
std::string plastic_chart(const Frame& frame, const StressStep& s);

// Colour of a station with `n` of 20 fibres at a bound.
std::string plastic_colour(int n);

}  // namespace nlf::plot
