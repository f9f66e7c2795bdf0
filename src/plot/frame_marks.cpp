#include "plot/frame_marks.h"

#include <algorithm>
#include <cmath>

namespace nlf::plot {

namespace {

constexpr double kCharWidth = 6.2;  // of the 11 px labels
constexpr double kLabelHeight = 11;

// A text's box in the picture.
struct Rect {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool meets(const Rect& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// A load arrow in the picture: its head touches the joint, its value sits
// beyond its tail.
struct ArrowShape {
  double hx = 0, hy = 0, tx = 0, ty = 0, bx = 0, by = 0, ux = 0, uy = 0;
  double lx = 0, ly = 0;  // the value's anchor point
  const char* anchor = "middle";
  std::string text;
  Rect label;
};

double largest_load(const std::vector<LoadArrow>& loads) {
  double largest = 0;
  for (const LoadArrow& l : loads) largest = std::max(largest, std::hypot(l.fx, l.fy));
  return largest;
}

bool drawn(const LoadArrow& l, const Frame& frame, double largest) {
  return largest > 0 && l.joint < frame.joints.size() && std::hypot(l.fx, l.fy) > 0.001 * largest;
}

ArrowShape arrow_shape(const View& v, const JointPoints& at, const LoadArrow& l, double largest) {
  ArrowShape a;
  const double size = std::hypot(l.fx, l.fy);
  // Picture directions: y grows downward.
  const double len = std::max(18.0, 60.0 * size / largest);
  a.ux = l.fx / size;
  a.uy = -l.fy / size;
  a.hx = v.px(at[l.joint][0]) - 4 * a.ux;
  a.hy = v.py(at[l.joint][1]) - 4 * a.uy;
  a.tx = a.hx - len * a.ux;
  a.ty = a.hy - len * a.uy;
  a.bx = a.hx - 9 * a.ux;  // base of the head
  a.by = a.hy - 9 * a.uy;
  a.text = plain_number(size) + " t";
  a.lx = a.tx - 6 * a.ux;
  a.ly = a.ty - 6 * a.uy + 4;
  // Beyond a tail that points up, the value's baseline clears the tail.
  if (a.uy > 0.3) a.ly = a.ty - 6;
  const double w = kCharWidth * static_cast<double>(a.text.size());
  a.anchor = a.ux > 0.3 ? "end" : (a.ux < -0.3 ? "start" : "middle");
  const double x0 = a.ux > 0.3 ? a.lx - w : (a.ux < -0.3 ? a.lx : a.lx - w / 2);
  a.label = {x0, a.ly - kLabelHeight + 2, x0 + w, a.ly + 3};
  return a;
}

// The places a joint's number may take, by preference: up right, up left,
// down right, down left of the joint; `gap` px from it (more beside a
// support symbol).
Rect number_box(double px, double py, std::size_t chars, int place, double gap) {
  const double w = kCharWidth * static_cast<double>(chars);
  const double x = place % 2 == 0 ? px + gap : px - gap - w;
  const double y = place < 2 ? py - 6 : py + 15;
  return {x, y - kLabelHeight + 2, x + w, y + 3};
}

}  // namespace

std::vector<bool> numbered_joints(const Frame& frame) {
  std::vector<std::vector<std::size_t>> at(frame.joints.size());
  for (std::size_t m = 0; m < frame.members.size(); ++m) {
    at[static_cast<std::size_t>(frame.members[m].a)].push_back(m);
    at[static_cast<std::size_t>(frame.members[m].b)].push_back(m);
  }
  std::vector<bool> numbered(frame.joints.size(), true);
  for (std::size_t j = 0; j < frame.joints.size(); ++j) {
    const Joint& p = frame.joints[j];
    if (at[j].size() != 2 || p.fixity != 0 || p.loaded || p.watched) continue;
    const Member &m1 = frame.members[at[j][0]], &m2 = frame.members[at[j][1]];
    if (m1.section != m2.section || at[j][0] == at[j][1]) continue;
    // The directions from the joint to the far ends of the two members.
    const auto far = [&](const Member& m) {
      const Joint& o = frame.joints[static_cast<std::size_t>(static_cast<std::size_t>(m.a) == j ? m.b : m.a)];
      const double dx = o.x - p.x, dy = o.y - p.y, len = std::hypot(dx, dy);
      return std::array<double, 2>{len > 0 ? dx / len : 0, len > 0 ? dy / len : 0};
    };
    const auto d1 = far(m1), d2 = far(m2);
    const double cross = d1[0] * d2[1] - d1[1] * d2[0], dot = d1[0] * d2[0] + d1[1] * d2[1];
    if (dot < 0 && std::fabs(cross) < std::sin(5 * 3.14159265358979 / 180)) numbered[j] = false;
  }
  return numbered;
}

Overhang load_overhang(const View& v, const Frame& frame, const JointPoints& at, const std::vector<LoadArrow>& loads,
                       double top) {
  Overhang o;
  const double largest = largest_load(loads);
  for (const LoadArrow& l : loads) {
    if (!drawn(l, frame, largest)) continue;
    const ArrowShape a = arrow_shape(v, at, l, largest);
    o.top = std::max(o.top, top - std::min(a.ty, a.label.y0));
    o.left = std::max(o.left, 8 - std::min(a.tx, a.label.x0));
    o.right = std::max(o.right, std::max(a.tx, a.label.x1) + 8 - v.width);
  }
  return o;
}

namespace {

void draw_support(Svg& svg, const Joint& j, double px, double py) {
  if (j.fixity == 0) return;
  std::string what;
  if (j.fixity & kFixX) what += "X";
  if (j.fixity & kFixY) what += what.empty() ? "Y" : ", Y";
  if (j.fixity & kFixR) what += what.empty() ? "rotation" : ", rotation";
  svg.open("g", {{"class", "support"}, {"data-joint", std::to_string(j.number)}, {"fill", "#6b7b8c"},
                 {"stroke", "#2d3a46"}, {"stroke-width", "1"}});
  svg.title("joint " + std::to_string(j.number) + ": " + what + " prescribed");
  constexpr double s = 13;
  if (j.fixity & kFixY)
    svg.leaf("polygon", {{"points", num(px) + "," + num(py) + " " + num(px - s / 2) + "," + num(py + s) + " " +
                                        num(px + s / 2) + "," + num(py + s)}});
  if (j.fixity & kFixX)
    svg.leaf("polygon", {{"points", num(px) + "," + num(py) + " " + num(px - s) + "," + num(py - s / 2) + " " +
                                        num(px - s) + "," + num(py + s / 2)}});
  if (j.fixity & kFixR)
    svg.leaf("rect", {{"x", num(px - 6)}, {"y", num(py - 6)}, {"width", "12"}, {"height", "12"}, {"fill", "none"},
                      {"stroke-width", "1.6"}});
  svg.close();
}

}  // namespace

void draw_joints(Svg& svg, const Frame& frame, const View& v, const JointPoints& at, const std::vector<LoadArrow>& loads) {
  svg.open("g", {{"class", "supports"}});
  for (std::size_t i = 0; i < frame.joints.size(); ++i) draw_support(svg, frame.joints[i], v.px(at[i][0]), v.py(at[i][1]));
  svg.close();
  // The values of the loads, which a joint's number keeps clear of.
  std::vector<Rect> taken;
  const double largest = largest_load(loads);
  for (const LoadArrow& l : loads)
    if (drawn(l, frame, largest)) taken.push_back(arrow_shape(v, at, l, largest).label);
  const std::vector<bool> numbered = numbered_joints(frame);
  svg.open("g", {{"class", "joints"}, {"fill", "#222"}});
  for (std::size_t i = 0; i < frame.joints.size(); ++i) {
    const Joint& j = frame.joints[i];
    const double px = v.px(at[i][0]), py = v.py(at[i][1]);
    svg.leaf("circle", {{"class", "joint"}, {"data-joint", std::to_string(j.number)}, {"cx", num(px)}, {"cy", num(py)},
                        {"r", "3.5"}});
    if (!numbered[i]) continue;
    const std::string n = std::to_string(j.number);
    const double gap = j.fixity != 0 ? 9 : 6;
    int place = 0;
    while (place < 3 && std::any_of(taken.begin(), taken.end(),
                                    [&](const Rect& r) { return r.meets(number_box(px, py, n.size(), place, gap)); }))
      ++place;
    const Rect b = number_box(px, py, n.size(), place, gap);
    taken.push_back(b);
    svg.text(b.x0, b.y1 - 3, n, {{"class", "joint-label"}, {"font-size", "11"}, {"fill", "#444"}});
  }
  svg.close();
}

void draw_loads(Svg& svg, const Frame& frame, const View& v, const JointPoints& at, const std::vector<LoadArrow>& loads) {
  const double largest = largest_load(loads);
  if (!(largest > 0)) return;
  svg.open("g", {{"class", "loads"}, {"stroke", "#c0392b"}, {"fill", "#c0392b"}, {"stroke-width", "2"}});
  for (const LoadArrow& l : loads) {
    if (!drawn(l, frame, largest)) continue;
    const ArrowShape a = arrow_shape(v, at, l, largest);
    svg.open("g", {{"class", "load"}, {"data-joint", std::to_string(frame.joints[l.joint].number)}});
    svg.title("joint " + std::to_string(frame.joints[l.joint].number) + ": applied load X " + plain_number(l.fx) +
              " t, Y " + plain_number(l.fy) + " t");
    svg.leaf("line", {{"x1", num(a.tx)}, {"y1", num(a.ty)}, {"x2", num(a.bx)}, {"y2", num(a.by)}});
    svg.leaf("polygon", {{"points", num(a.hx) + "," + num(a.hy) + " " + num(a.bx - 4 * a.uy) + "," +
                                        num(a.by + 4 * a.ux) + " " + num(a.bx + 4 * a.uy) + "," + num(a.by - 4 * a.ux)},
                         {"stroke", "none"}});
    svg.text(a.lx, a.ly, a.text,
             {{"class", "load-label"}, {"font-size", "11"}, {"stroke", "none"}, {"text-anchor", a.anchor}});
    svg.close();
  }
  svg.close();
}

void draw_legend(Svg& svg, const Frame& frame, const View& v, bool loads) {
  unsigned used = 0;
  for (const Joint& j : frame.joints) used |= j.fixity;
  if (used == 0 && !loads) return;
  svg.open("g", {{"class", "support-legend"}, {"font-size", "11"}, {"fill", "#333"}});
  double x = 12;
  const double y = v.height - 38;
  const Attrs sym = {{"fill", "#6b7b8c"}, {"stroke", "#2d3a46"}, {"stroke-width", "1"}};
  auto label = [&](const std::string& text) {
    svg.text(x + 22, y + 4, text, {{"class", "legend-label"}});
    x += 22 + 6.2 * static_cast<double>(text.size()) + 18;
  };
  if (used & kFixY) {
    Attrs a = sym;
    a.push_back({"points", num(x + 8) + "," + num(y - 6) + " " + num(x + 2) + "," + num(y + 6) + " " + num(x + 14) +
                               "," + num(y + 6)});
    svg.leaf("polygon", a);
    label("Y held or prescribed");
  }
  if (used & kFixX) {
    Attrs a = sym;
    a.push_back({"points", num(x + 14) + "," + num(y) + " " + num(x + 2) + "," + num(y - 6) + " " + num(x + 2) + "," +
                               num(y + 6)});
    svg.leaf("polygon", a);
    label("X held or prescribed");
  }
  if (used & kFixR) {
    svg.leaf("rect", {{"x", num(x + 2)}, {"y", num(y - 6)}, {"width", "12"}, {"height", "12"}, {"fill", "none"},
                      {"stroke", "#2d3a46"}, {"stroke-width", "1.6"}});
    label("rotation held or prescribed");
  }
  if (loads) {
    svg.leaf("line", {{"x1", num(x)}, {"y1", num(y)}, {"x2", num(x + 10)}, {"y2", num(y)}, {"stroke", "#c0392b"},
                      {"stroke-width", "2"}});
    svg.leaf("polygon", {{"points", num(x + 18) + "," + num(y) + " " + num(x + 9) + "," + num(y - 4) + " " +
                                        num(x + 9) + "," + num(y + 4)},
                         {"fill", "#c0392b"}});
    label("applied joint load (t)");
  }
  svg.close();
}

std::string draw_member_loads(Svg& svg, const View& v, const std::vector<Member>& members) {
  std::vector<double> values;  // the sizes of the loads, in the order met
  bool open = false;
  for (std::size_t m = 0; m < members.size(); ++m) {
    const Member& d = members[m];
    if (!d.loaded()) continue;
    if (!open) {
      svg.open("g", {{"class", "member-loads"}, {"stroke", "#7d3c98"}, {"fill", "#7d3c98"}, {"stroke-width", "1.2"}});
      open = true;
    }
    svg.open("g", {{"class", "member-load"}, {"data-member", std::to_string(m + 1)}});
    std::string what;
    if (d.qx != 0 || d.qy != 0) what += "X " + plain_number(d.qx) + ", Y " + plain_number(d.qy);
    if (d.along != 0 || d.across != 0)
      what += std::string(what.empty() ? "" : "; ") + "along " + plain_number(d.along) + ", across " +
              plain_number(d.across);
    svg.title("member " + std::to_string(m + 1) + ": member load " + what + " t/cm (of the pattern)");
    for (std::size_t k = 0; k + 1 < d.x.size(); ++k) {
      const double dx = d.x[k + 1] - d.x[k], dy = d.y[k + 1] - d.y[k], L = std::hypot(dx, dy);
      const double c = L > 0 ? dx / L : 1.0, s = L > 0 ? dy / L : 0.0;
      const double gx = d.qx + c * d.along - s * d.across, gy = d.qy + s * d.along + c * d.across;
      const double g = std::hypot(gx, gy);
      if (!(g > 0)) continue;
      // On the screen y runs down; the arrow ends on the member.
      const double ux = gx / g, uy = -gy / g;
      const double tx = v.px(0.5 * (d.x[k] + d.x[k + 1])), ty = v.py(0.5 * (d.y[k] + d.y[k + 1]));
      const double bx = tx - 14 * ux, by = ty - 14 * uy;
      svg.leaf("line", {{"x1", num(bx)}, {"y1", num(by)}, {"x2", num(tx - 4 * ux)}, {"y2", num(ty - 4 * uy)}});
      svg.leaf("polygon", {{"points", num(tx) + "," + num(ty) + " " + num(tx - 5 * ux - 3 * uy) + "," +
                                          num(ty - 5 * uy + 3 * ux) + " " + num(tx - 5 * ux + 3 * uy) + "," +
                                          num(ty - 5 * uy - 3 * ux)},
                           {"stroke", "none"}});
      if (k == 0) {
        const double size = std::hypot(d.qx, d.qy) + std::hypot(d.along, d.across);
        if (std::find(values.begin(), values.end(), size) == values.end()) values.push_back(size);
      }
    }
    svg.close();
  }
  if (open) svg.close();
  std::string text;
  for (double q : values) text += (text.empty() ? "" : ", ") + plain_number(q);
  return text.empty() ? text : text + " t/cm";
}

}  // namespace nlf::plot
