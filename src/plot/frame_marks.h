// The marks on a frame picture besides its members: the supports, the
// joints with the numbers an engineer looks for, the load arrows with their
// values, and the legend of the symbols.
#pragma once

#include <array>
#include <vector>

#include "plot/frame_charts.h"
#include "plot/svg.h"

namespace nlf::plot {

// World (cm, Y up) to picture (px, y down).
struct View {
  double xlo = 0, ylo = 0, k = 1, left = 0, base = 0;
  double width = 0, height = 0;
  double px(double x) const { return left + (x - xlo) * k; }
  double py(double y) const { return base - (y - ylo) * k; }
};

// Joint positions in world coordinates, by index into Frame::joints.
using JointPoints = std::vector<std::array<double, 2>>;

// The joints that carry their number: all but those that only split a
// member into parts (exactly two members of one section meeting in one
// straight line, within 5 degrees, with no support, load or watch at the
// joint).
std::vector<bool> numbered_joints(const Frame& frame);

// How far the load arrows and their values reach beyond where they may go:
// px above `top` (0: none), and into a strip 8 px wide at either side.
struct Overhang {
  double top = 0, left = 0, right = 0;
};
Overhang load_overhang(const View& v, const Frame& frame, const JointPoints& at, const std::vector<LoadArrow>& loads,
                       double top);

void draw_joints(Svg& svg, const Frame& frame, const View& v, const JointPoints& at,
                 const std::vector<LoadArrow>& loads = {});
void draw_loads(Svg& svg, const Frame& frame, const View& v, const JointPoints& at,
                const std::vector<LoadArrow>& loads);
// What the symbols mean, in a row below the frame.
void draw_legend(Svg& svg, const Frame& frame, const View& v, bool loads);

// The member loads of the deck's last pattern that gives them (U cards):
// short arrows onto the middle of every segment of a loaded member, in the
// direction of the load (a load in the member's own axes turns with the
// segment as drawn), each member titled with its load. `members` are the
// node points as drawn. Returns the loads' values for the caption ("0.05,
// 0.03 t/cm"), empty when no member is loaded.
std::string draw_member_loads(Svg& svg, const View& v, const std::vector<Member>& members);

}  // namespace nlf::plot
