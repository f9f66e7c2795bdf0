#include "plot/curve_chart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "plot/curve_columns.h"
#include "plot/svg.h"

namespace nlf::plot {

namespace {

constexpr std::array<const char*, 7> kPalette = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                                 "#9467bd", "#8c564b", "#17becf"};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kWidth = 940, kTop = 56, kLeft = 90, kRight = 270, kBottom = 70, kPanelHeight = 430;

// Lets the axis start at zero when the data lie on one side of it and not
// too far from it, so that curves from the origin show as such.
void include_zero(double& lo, double& hi) {
  if (lo > 0 && lo < 0.5 * hi) lo = 0;
  if (hi < 0 && hi > 0.5 * lo) hi = 0;
}

struct Series {
  std::vector<double> x, y;
};

// The scales of a panel: its ticks and the map of values to the picture.
struct PanelScale {
  Ticks tx, ty;
  double left = kLeft, top = 0, pw = kWidth - kLeft - kRight, ph = kPanelHeight - kBottom;
  double sx(double x) const { return left + (x - tx.lo) / (tx.hi - tx.lo) * pw; }
  double sy(double y) const { return top + ph - (y - ty.lo) / (ty.hi - ty.lo) * ph; }
};

// The values of the curves of a panel, and scales that take them all in
// (`empty`: no value to draw).
std::vector<Series> panel_series(const ChartData& f, const std::vector<ColumnPair>& plots, double top,
                                 PanelScale& scale, bool& empty) {
  std::vector<Series> series;
  double xlo = kNaN, xhi = kNaN, ylo = kNaN, yhi = kNaN;
  for (const auto& [cx, cy] : plots) {
    Series s;
    for (const CurveRow& r : f.rows) {
      const double x = column_value(r, cx), y = column_value(r, cy);
      s.x.push_back(x);
      s.y.push_back(y);
      if (std::isnan(x) || std::isnan(y)) continue;
      xlo = std::isnan(xlo) ? x : std::min(xlo, x);
      xhi = std::isnan(xhi) ? x : std::max(xhi, x);
      ylo = std::isnan(ylo) ? y : std::min(ylo, y);
      yhi = std::isnan(yhi) ? y : std::max(yhi, y);
    }
    series.push_back(std::move(s));
  }
  empty = std::isnan(xlo);
  if (empty) xlo = xhi = ylo = yhi = 0;
  include_zero(xlo, xhi);
  include_zero(ylo, yhi);
  const bool step_axis = plots.empty() || plots.front().first == 0;
  scale.tx = nice_ticks(xlo, xhi, 8, step_axis);
  scale.ty = nice_ticks(ylo, yhi, 6);
  scale.top = top;
  return series;
}

// Grid, ticks, their labels and the axis titles: the quantity and unit of
// the columns drawn, one each.
void draw_axes(Svg& svg, const PanelScale& p, const std::string& xtitle, const std::string& ytitle) {
  const double left = p.left, top = p.top, pw = p.pw, ph = p.ph;
  svg.open("g", {{"class", "axes"}, {"stroke", "#333"}, {"fill", "none"}});
  for (double v : p.tx.values) {
    const double x = p.sx(v);
    svg.leaf("line", {{"class", "grid"}, {"x1", num(x)}, {"y1", num(top)}, {"x2", num(x)}, {"y2", num(top + ph)},
                      {"stroke", "#e3e3e3"}});
    svg.leaf("line", {{"class", "tick"}, {"x1", num(x)}, {"y1", num(top + ph)}, {"x2", num(x)},
                      {"y2", num(top + ph + 5)}});
  }
  for (double v : p.ty.values) {
    const double y = p.sy(v);
    svg.leaf("line", {{"class", "grid"}, {"x1", num(left)}, {"y1", num(y)}, {"x2", num(left + pw)}, {"y2", num(y)},
                      {"stroke", "#e3e3e3"}});
    svg.leaf("line", {{"class", "tick"}, {"x1", num(left - 5)}, {"y1", num(y)}, {"x2", num(left)}, {"y2", num(y)}});
  }
  svg.leaf("rect", {{"class", "plot-area"}, {"x", num(left)}, {"y", num(top)}, {"width", num(pw)},
                    {"height", num(ph)}});
  if (p.ty.lo < 0 && p.ty.hi > 0)
    svg.leaf("line", {{"class", "zero"}, {"x1", num(left)}, {"y1", num(p.sy(0))}, {"x2", num(left + pw)},
                      {"y2", num(p.sy(0))}, {"stroke", "#999"}});
  if (p.tx.lo < 0 && p.tx.hi > 0)
    svg.leaf("line", {{"class", "zero"}, {"x1", num(p.sx(0))}, {"y1", num(top)}, {"x2", num(p.sx(0))},
                      {"y2", num(top + ph)}, {"stroke", "#999"}});
  svg.close();

  svg.open("g", {{"class", "tick-labels"}, {"fill", "#333"}});
  for (double v : p.tx.values)
    svg.text(p.sx(v), top + ph + 20, tick_label(v, p.tx), {{"class", "tick-label"}, {"text-anchor", "middle"}});
  for (double v : p.ty.values)
    svg.text(left - 9, p.sy(v) + 4, tick_label(v, p.ty), {{"class", "tick-label"}, {"text-anchor", "end"}});
  svg.close();

  svg.text(left + pw / 2, top + ph + 44, xtitle, {{"class", "axis-title"}, {"text-anchor", "middle"}, {"font-size", "13"}});
  svg.text(0, 0, ytitle,
           {{"class", "axis-title"},
            {"text-anchor", "middle"},
            {"font-size", "13"},
            {"transform", "translate(22 " + num(top + ph / 2) + ") rotate(-90)"}});
}

// The marks of the peaks on a curve drawn against another column than the
// step: the rows of the steps in `peak_steps`.
void draw_peaks(Svg& svg, const ChartData& f, const PanelScale& p, const Series& s, const ColumnPair& plot,
                const std::vector<int>& peak_steps) {
  auto text = [&](int col) -> const ColumnText& { return f.columns[static_cast<std::size_t>(col)]; };
  for (std::size_t k = 0; k < s.x.size(); ++k) {
    if (std::isnan(s.x[k]) || std::isnan(s.y[k])) continue;
    const int step = f.rows[k].step;
    if (std::find(peak_steps.begin(), peak_steps.end(), step) == peak_steps.end()) continue;
    const auto printed = [&](int col) {
      const auto& fields = f.rows[k].fields;
      const auto c = static_cast<std::size_t>(col - 1);
      return c < fields.size() ? fields[c] : plain_number(column_value(f.rows[k], col));
    };
    const std::string yv = printed(plot.second), xv = printed(plot.first);
    char b[160];
    const std::string y = plain_number(column_value(f.rows[k], plot.second)) + text(plot.second).unit;
    const std::string x = plain_number(column_value(f.rows[k], plot.first)) + text(plot.first).unit;
    std::snprintf(b, sizeof b, "peak, step %d: %s at %s", step, y.c_str(), x.c_str());
    svg.open("g", {{"class", "peak"}, {"data-step", std::to_string(step)}});
    svg.title(text(plot.second).words + " " + yv + text(plot.second).unit + " at " + text(plot.first).words + " " + xv +
              text(plot.first).unit);
    svg.leaf("circle", {{"cx", num(p.sx(s.x[k]))}, {"cy", num(p.sy(s.y[k]))}, {"r", "6"}, {"fill", "none"},
                        {"stroke", "#c0392b"}, {"stroke-width", "2"}});
    svg.text(p.sx(s.x[k]) + 9, p.sy(s.y[k]) - 9, b, {{"class", "peak-label"}, {"fill", "#c0392b"}, {"font-size", "12"}});
    svg.close();
  }
}

// The curves: one path each, broken where a value is missing, with their
// peaks and, while they stay readable, their points.
void draw_curves(Svg& svg, const ChartData& f, const PanelScale& p, const std::vector<Series>& series,
                 const std::vector<ColumnPair>& plots, std::size_t first_colour, const std::vector<int>& peak_steps) {
  svg.open("g", {{"class", "curves"}, {"fill", "none"}, {"stroke-width", "1.8"}});
  for (std::size_t i = 0; i < series.size(); ++i) {
    const Series& s = series[i];
    std::string d;
    bool pen = false;
    int points = 0;
    for (std::size_t k = 0; k < s.x.size(); ++k) {
      if (std::isnan(s.x[k]) || std::isnan(s.y[k])) {
        pen = false;
        continue;
      }
      if (!d.empty()) d += ' ';
      d += pen ? 'L' : 'M';
      d += num(p.sx(s.x[k]));
      d += ' ';
      d += num(p.sy(s.y[k]));
      pen = true;
      ++points;
    }
    const char* colour = kPalette[(first_colour + i) % kPalette.size()];
    svg.open("path", {{"class", "curve"},
                      {"data-column", std::to_string(plots[i].second)},
                      {"stroke", colour},
                      {"stroke-linejoin", "round"},
                      {"d", d.empty() ? "M0 0" : d}});
    svg.title(f.columns[static_cast<std::size_t>(plots[i].second)].tooltip);
    svg.close();
    if (plots[i].first != 0) draw_peaks(svg, f, p, s, plots[i], peak_steps);
    // A single point shows only so.
    if (points > 60) continue;
    for (std::size_t k = 0; k < s.x.size(); ++k) {
      if (std::isnan(s.x[k]) || std::isnan(s.y[k])) continue;
      svg.leaf("circle", {{"class", "marker"}, {"cx", num(p.sx(s.x[k]))}, {"cy", num(p.sy(s.y[k]))}, {"r", "2.5"},
                          {"fill", colour}, {"stroke", "none"}});
    }
  }
  svg.close();
}

// The legend beside the panel, in the words of the panel's title: what the
// curve shows, then what it is drawn against.
void draw_legend(Svg& svg, const ChartData& f, const std::vector<ColumnPair>& plots, double top,
                 std::size_t first_colour) {
  auto text = [&](int col) -> const ColumnText& { return f.columns[static_cast<std::size_t>(col)]; };
  svg.open("g", {{"class", "legend"}});
  const double lx = kWidth - kRight + 18;
  for (std::size_t i = 0; i < plots.size(); ++i) {
    const double y = top + 10 + 36 * static_cast<double>(i);
    svg.leaf("line", {{"class", "legend-line"}, {"x1", num(lx)}, {"y1", num(y)}, {"x2", num(lx + 24)}, {"y2", num(y)},
                      {"stroke", kPalette[(first_colour + i) % kPalette.size()]}, {"stroke-width", "2.5"}});
    const ColumnText &ty = text(plots[i].second), &tx = text(plots[i].first);
    svg.text(lx + 32, y + 4, ty.words, {{"class", "legend-label"}});
    const std::string note =
        plots[i].first == 0 ? "" : "against " + (tx.joint != 0 && tx.joint == ty.joint ? tx.short_words : tx.words);
    if (!note.empty())
      svg.text(lx + 32, y + 19, note, {{"class", "legend-note"}, {"fill", "#555"}, {"font-size", "11"}});
  }
  svg.close();
}

// One panel: its curves share the unit of the x axis and of the y axis.
void draw_panel(Svg& svg, const ChartData& f, const Panel& panel, const std::string& title, double top,
                std::size_t first_colour, const std::vector<int>& peak_steps) {
  const std::vector<ColumnPair>& plots = panel.plots;
  PanelScale p;
  bool empty = false;
  const std::vector<Series> series = panel_series(f, plots, top, p, empty);
  const auto column = [&](int col) -> const ColumnText& { return f.columns[static_cast<std::size_t>(col)]; };
  draw_axes(svg, p, plots.empty() ? "Step" : column(plots.front().first).axis,
            plots.empty() ? "Value" : column(plots.front().second).axis);
  draw_curves(svg, f, p, series, plots, first_colour, peak_steps);
  if (empty)
    svg.text(p.left + p.pw / 2, top + p.ph / 2, "no output step in this file yet",
             {{"class", "note"}, {"text-anchor", "middle"}, {"fill", "#888"}});
  svg.text(p.left + p.pw / 2, top - 8, title,
           {{"class", "panel-title"}, {"text-anchor", "middle"}, {"font-size", "13"}, {"fill", "#333"}});
  draw_legend(svg, f, plots, top, first_colour);
}

}  // namespace

namespace {

std::vector<CurveRow> base_shear_rows(const results::BaseShear& b) {
  std::vector<CurveRow> rows;
  for (const results::BaseShearPoint& p : b.points) rows.push_back({p.step, {p.drift, p.shear}, {}});
  return rows;
}

ColumnText sway_column(const results::BaseShear& b) {
  const std::string j = "joint " + std::to_string(b.joint);
  return {j + ": displacement X", "displacement X", b.joint, "Displacement X of " + j + " (mm)", " mm",
          "displacement X of " + j + ", the joint that sways most"};
}

ColumnText shear_column() {
  return {"base shear", "base shear", 0, "Base shear (t)", " t",
          "base shear: the sum of the horizontal reactions at the supports"};
}

}  // namespace

std::string base_shear_title(const results::BaseShear& b) {
  return shear_column().words + " against " + sway_column(b).words;
}

std::string base_shear_chart(const results::BaseShear& b, const std::string& run_title) {
  const std::vector<CurveRow> rows = base_shear_rows(b);
  const ChartData data{rows, {step_column(), sway_column(b), shear_column()}};
  const double W = kWidth, H = kTop + kPanelHeight;
  Svg svg(W, H);
  svg.leaf("rect", {{"class", "background"}, {"width", num(W)}, {"height", num(H)}, {"fill", "white"}});
  svg.text(W / 2, 24, heading("Base shear", run_title),
           {{"class", "title"}, {"text-anchor", "middle"}, {"font-size", "15"}, {"font-weight", "bold"}});
  svg.open("g", {{"class", "panel base-shear"}});
  const std::vector<int> peak = b.points.empty() ? std::vector<int>{} : std::vector<int>{b.points[b.peak].step};
  draw_panel(svg, data, Panel{{{1, 2}}}, base_shear_title(b), kTop, 0, peak);
  svg.close();
  return svg.str();
}

std::string curve_chart(const CurveFile& f, const std::optional<ColumnPair>& xy, const std::string& run_title,
                        const std::vector<int>& peak_steps, const Frame* frame) {
  const std::vector<Panel> panels = curve_panels(f, xy, frame);
  const double W = kWidth, H = kTop + kPanelHeight * static_cast<double>(panels.size());
  Svg svg(W, H);
  svg.leaf("rect", {{"class", "background"}, {"width", num(W)}, {"height", num(H)}, {"fill", "white"}});
  svg.text(W / 2, 24, heading("Response curve " + f.name, run_title),
           {{"class", "title"}, {"text-anchor", "middle"}, {"font-size", "15"}, {"font-weight", "bold"}});
  std::size_t colour = 0;
  const ChartData data = chart_data(f, frame);
  for (std::size_t i = 0; i < panels.size(); ++i) {
    svg.open("g", {{"class", "panel"}});
    draw_panel(svg, data, panels[i], plots_title(data, panels[i].plots), kTop + kPanelHeight * static_cast<double>(i),
               colour, peak_steps);
    svg.close();
    colour += panels[i].plots.size();
  }
  return svg.str();
}

}  // namespace nlf::plot
