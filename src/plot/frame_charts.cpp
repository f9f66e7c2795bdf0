#include "plot/frame_charts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "plot/frame_marks.h"
#include "plot/svg.h"

namespace nlf::plot {

namespace {

struct Box {
  double xlo = std::numeric_limits<double>::infinity(), xhi = -std::numeric_limits<double>::infinity();
  double ylo = std::numeric_limits<double>::infinity(), yhi = -std::numeric_limits<double>::infinity();
  void add(double x, double y) {
    xlo = std::min(xlo, x);
    xhi = std::max(xhi, x);
    ylo = std::min(ylo, y);
    yhi = std::max(yhi, y);
  }
  bool empty() const { return xlo > xhi; }
  double size() const { return empty() ? 0 : std::max(xhi - xlo, yhi - ylo); }
};

Box frame_box(const Frame& frame) {
  Box b;
  for (const Joint& j : frame.joints) b.add(j.x, j.y);
  for (const Member& m : frame.members)
    for (std::size_t k = 0; k < kNodes; ++k) b.add(m.x[k], m.y[k]);
  return b;
}

// The picture fitted into a fixed width.
View fit(Box b, double top, double bottom, double margin = 60) {
  constexpr double W = 900, max_draw_h = 620;
  if (b.empty()) b.add(0, 0);
  double bw = b.xhi - b.xlo, bh = b.yhi - b.ylo;
  const double span = std::max({bw, bh, 1e-9});
  // A frame that is a single line still gets some room across it.
  bw = std::max(bw, 0.15 * span);
  bh = std::max(bh, 0.15 * span);
  View v;
  v.k = std::min((W - 2 * margin) / bw, max_draw_h / bh);
  v.xlo = (b.xlo + b.xhi) / 2 - bw / 2;
  v.ylo = (b.ylo + b.yhi) / 2 - bh / 2;
  v.left = margin + ((W - 2 * margin) - bw * v.k) / 2;
  v.width = W;
  v.height = top + bh * v.k + bottom;
  v.base = top + bh * v.k;
  return v;
}

std::string points_attr(const View& v, const std::array<double, 6>& x, const std::array<double, 6>& y) {
  std::string s;
  for (std::size_t k = 0; k < kNodes; ++k) {
    if (k) s += ' ';
    s += num(v.px(x[k]));
    s += ',';
    s += num(v.py(y[k]));
  }
  return s;
}

std::string ends_text(const Frame& f, const Member& m) {
  return std::to_string(f.joints[static_cast<std::size_t>(m.a)].number) + "-" +
         std::to_string(f.joints[static_cast<std::size_t>(m.b)].number);
}

void title_lines(Svg& svg, double w, const std::string& title, const std::string& sub) {
  svg.text(w / 2, 26, title, {{"class", "title"}, {"text-anchor", "middle"}, {"font-size", "15"}, {"font-weight", "bold"}});
  if (!sub.empty())
    svg.text(w / 2, 46, sub, {{"class", "subtitle"}, {"text-anchor", "middle"}, {"fill", "#555"}});
}

}  // namespace

double default_scale(const Frame& frame, const DisplacementStep& d) {
  double largest = 0;
  for (const MemberShift& m : d.members)
    for (const NodeShift& n : m.node) largest = std::max(largest, std::hypot(n.dx, n.dy));
  const double size = frame_box(frame).size();
  if (largest == 0 || size == 0) return 1;
  return std::max(1.0, nice_number(0.1 * size / largest));
}

void check_members(const Frame& frame, const std::string& file, int step, const std::vector<std::pair<int, int>>& ends,
                   bool complete) {
  const std::string at = file + ", step " + std::to_string(step) + ": ";
  if (!complete && ends.size() < frame.members.size())
    throw PlotError(at + "the block stops after " + std::to_string(ends.size()) + " of " +
                    std::to_string(frame.members.size()) + " members (the run ended while writing it)");
  if (ends.size() != frame.members.size())
    throw PlotError(at + std::to_string(ends.size()) + " members where the deck has " +
                    std::to_string(frame.members.size()) + "; the results do not belong to this deck");
  for (std::size_t m = 0; m < ends.size(); ++m) {
    const Member& d = frame.members[m];
    const int a = frame.joints[static_cast<std::size_t>(d.a)].number;
    const int b = frame.joints[static_cast<std::size_t>(d.b)].number;
    if (ends[m].first != a || ends[m].second != b)
      throw PlotError(at + "member " + std::to_string(m + 1) + " joins joints " + std::to_string(ends[m].first) + "-" +
                      std::to_string(ends[m].second) + ", in the deck it joins " + std::to_string(a) + "-" +
                      std::to_string(b) + "; the results do not belong to this deck");
  }
}

std::string frame_chart(const Frame& frame, const DisplacementStep* disp, double scale, const std::string& note,
                        const std::vector<LoadArrow>& loads, const std::string& subtitle) {
  if (disp && disp->members.size() != frame.members.size())
    throw PlotError("step " + std::to_string(disp->step) + ": the displacements do not cover the deck's members");
  // Deformed node points and joint positions.
  std::vector<Member> moved = frame.members;
  std::vector<std::array<double, 2>> joint_at;
  for (const Joint& j : frame.joints) joint_at.push_back({j.x, j.y});
  if (disp) {
    std::vector<bool> placed(frame.joints.size(), false);
    for (std::size_t m = 0; m < moved.size(); ++m) {
      for (std::size_t k = 0; k < kNodes; ++k) {
        moved[m].x[k] += scale * disp->members[m].node[k].dx;
        moved[m].y[k] += scale * disp->members[m].node[k].dy;
      }
      // A joint moves with the member ends attached to it.
      for (auto [joint, k] : {std::pair{moved[m].a, std::size_t{0}}, std::pair{moved[m].b, std::size_t{5}}}) {
        const auto j = static_cast<std::size_t>(joint);
        if (placed[j]) continue;
        joint_at[j] = {moved[m].x[k], moved[m].y[k]};
        placed[j] = true;
      }
    }
  }
  Box box = frame_box(frame);
  for (const Member& m : moved)
    for (std::size_t k = 0; k < kNodes; ++k) box.add(m.x[k], m.y[k]);
  View v = fit(box, 80, 100);
  // The arrows and their values stay below the subtitle and inside the picture.
  if (const Overhang o = load_overhang(v, frame, joint_at, loads, 62); o.top > 0 || o.left > 0 || o.right > 0)
    v = fit(box, 80 + o.top, 100, 60 + std::max(o.left, o.right));

  Svg svg(v.width, v.height);
  svg.leaf("rect", {{"class", "background"}, {"width", num(v.width)}, {"height", num(v.height)}, {"fill", "white"}});
  std::string sub;
  if (disp) {
    char b[64];
    std::snprintf(b, sizeof b, "%g", scale);
    sub = "step " + std::to_string(disp->step) + ", displacements \u00d7 " + b + " (undeformed dashed)";
  } else {
    sub = note.empty() ? "undeformed" : note;
  }
  if (!subtitle.empty()) sub = subtitle;
  title_lines(svg, v.width, heading("Frame", frame.title), sub);

  if (disp) {
    svg.open("g", {{"class", "undeformed"}, {"fill", "none"}, {"stroke", "#9aa5b1"}, {"stroke-width", "1.2"},
                   {"stroke-dasharray", "5 4"}});
    for (const Member& m : frame.members) svg.leaf("polyline", {{"class", "outline"}, {"points", points_attr(v, m.x, m.y)}});
    svg.close();
  }
  svg.open("g", {{"class", "members"}, {"fill", "none"}, {"stroke", "#1f4e79"}, {"stroke-width", "2.2"},
                 {"stroke-linejoin", "round"}});
  for (std::size_t m = 0; m < moved.size(); ++m) {
    svg.open("polyline", {{"class", "member"}, {"data-member", std::to_string(m + 1)},
                          {"points", points_attr(v, moved[m].x, moved[m].y)}});
    svg.title("member " + std::to_string(m + 1) + " (" + ends_text(frame, moved[m]) + ")");
    svg.close();
  }
  svg.close();
  const std::string member_loads = draw_member_loads(svg, v, moved);
  draw_joints(svg, frame, v, joint_at, loads);
  draw_loads(svg, frame, v, joint_at, loads);
  draw_legend(svg, frame, v, !loads.empty());
  if (!frame.joints.empty()) {
    const Box own = frame_box(frame);
    char b[96];
    std::snprintf(b, sizeof b, "lengths in cm; frame %g cm wide, %g cm high", own.xhi - own.xlo, own.yhi - own.ylo);
    svg.text(12, v.height - 14, b, {{"class", "note"}, {"fill", "#777"}, {"font-size", "11"}});
  }
  if (!member_loads.empty())
    svg.text(v.width - 12, v.height - 14, "purple arrows: member loads " + member_loads + " \u00d7 the load factor",
             {{"class", "note member-loads-note"}, {"fill", "#7d3c98"}, {"font-size", "11"}, {"text-anchor", "end"}});
  return svg.str();
}

std::string plastic_colour(int n) {
  if (n <= 0) return "#9fb3c8";
  // Yellow through orange to red as the section plastifies.
  struct Rgb {
    double r, g, b;
  };
  constexpr Rgb yellow{244, 208, 63}, orange{230, 126, 34}, red{176, 26, 26};
  const double t = std::clamp((n - 1) / double(kFibres - 1), 0.0, 1.0);
  const Rgb a = t < 0.5 ? yellow : orange, b = t < 0.5 ? orange : red;
  const double u = t < 0.5 ? t / 0.5 : (t - 0.5) / 0.5;
  char s[16];
  std::snprintf(s, sizeof s, "#%02x%02x%02x", static_cast<int>(std::lround(a.r + (b.r - a.r) * u)),
                static_cast<int>(std::lround(a.g + (b.g - a.g) * u)), static_cast<int>(std::lround(a.b + (b.b - a.b) * u)));
  return s;
}

std::string plastic_chart(const Frame& frame, const StressStep& s) {
  if (s.members.size() != frame.members.size())
    throw PlotError("step " + std::to_string(s.step) + ": the stress table does not cover the deck's members");
  const View v = fit(frame_box(frame), 80, 110);
  Svg svg(v.width, v.height);
  svg.leaf("rect", {{"class", "background"}, {"width", num(v.width)}, {"height", num(v.height)}, {"fill", "white"}});

  int yielded = 0, full = 0;
  for (const MemberStations& m : s.members)
    for (const StationState& st : m.station) {
      yielded += st.plastic() > 0;
      full += st.plastic() == kFibres;
    }
  const int stations = static_cast<int>(s.members.size()) * kStations;
  title_lines(svg, v.width, heading("Plastic zones", frame.title),
              "step " + std::to_string(s.step) + ": " + std::to_string(yielded) + " of " + std::to_string(stations) +
                  " stations with fibres at a bound, " + std::to_string(full) + " fully plastic");

  svg.open("g", {{"class", "members"}, {"fill", "none"}, {"stroke-width", "7"}, {"stroke-linecap", "butt"}});
  for (std::size_t m = 0; m < frame.members.size(); ++m) {
    const Member& mem = frame.members[m];
    svg.open("g", {{"class", "member"}, {"data-member", std::to_string(m + 1)}});
    // Segment k runs from node k to node k+1; its stations 2k-1 and 2k sit
    // at its two ends, so each colours the half of the segment next to it.
    for (std::size_t st = 0; st < kStations; ++st) {
      const std::size_t k = st / 2;
      const double xm = (mem.x[k] + mem.x[k + 1]) / 2, ym = (mem.y[k] + mem.y[k + 1]) / 2;
      const bool first = st % 2 == 0;
      const double x1 = first ? mem.x[k] : xm, y1 = first ? mem.y[k] : ym;
      const double x2 = first ? xm : mem.x[k + 1], y2 = first ? ym : mem.y[k + 1];
      const StationState& state = s.members[m].station[st];
      svg.open("line", {{"class", "station"},
                        {"data-station", std::to_string(st + 1)},
                        {"data-plastic", std::to_string(state.plastic())},
                        {"x1", num(v.px(x1))},
                        {"y1", num(v.py(y1))},
                        {"x2", num(v.px(x2))},
                        {"y2", num(v.py(y2))},
                        {"stroke", plastic_colour(state.plastic())}});
      svg.title("member " + std::to_string(m + 1) + " (" + ends_text(frame, mem) + "), station " +
                std::to_string(st + 1) + ": " + std::to_string(state.plastic()) + " of 20 fibres at a bound (" +
                std::to_string(state.upper) + " upper, " + std::to_string(state.lower) + " lower)");
      svg.close();
    }
    svg.close();
  }
  svg.close();
  std::vector<std::array<double, 2>> at;
  for (const Joint& j : frame.joints) at.push_back({j.x, j.y});
  draw_joints(svg, frame, v, at);

  // Colour scale.
  svg.open("g", {{"class", "colour-scale"}});
  const double cw = 18, x0 = v.width / 2 - cw * (kFibres + 1) / 2, y0 = v.height - 70;
  svg.text(v.width / 2, y0 - 10, "fibres of 20 at or beyond a bound (0 elastic, 20 fully plastic)",
           {{"text-anchor", "middle"}, {"fill", "#333"}});
  for (int n = 0; n <= kFibres; ++n) {
    svg.leaf("rect", {{"class", "scale-step"}, {"x", num(x0 + n * cw)}, {"y", num(y0)}, {"width", num(cw)},
                      {"height", "14"}, {"fill", plastic_colour(n)}, {"stroke", "white"}, {"stroke-width", "0.5"}});
    if (n % 5 == 0)
      svg.text(x0 + n * cw + cw / 2, y0 + 30, std::to_string(n), {{"text-anchor", "middle"}, {"fill", "#333"}});
  }
  svg.close();
  return svg.str();
}

}  // namespace nlf::plot
