#include "plot/curve_chart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

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

double column_value(const CurveRow& r, int col) {
  return col == 0 ? static_cast<double>(r.step) : r.values[static_cast<std::size_t>(col - 1)];
}

// What a chart says about one of its columns (0: the step).
struct ColumnText {
  std::string words;   // "joint 12: force X", "base shear"
  std::string short_words;  // the quantity alone, "force X", when the joint goes without saying
  int joint = 0;       // the joint the words name, 0 for none
  std::string axis;    // "Force (t)"
  std::string unit;    // " t", " mm", ... for a value; "" for the step or a label not known
  std::string tooltip; // the words with the label as printed
};

// The data of a chart: rows of values and what their columns are.
struct ChartData {
  const std::vector<CurveRow>& rows;
  std::vector<ColumnText> columns;  // index 0 is the step
};

ColumnText step_column() { return {"step", "step", 0, "Step", "", "step"}; }

ChartData chart_data(const CurveFile& f) {
  ChartData c{f.rows, {step_column()}};
  for (int col = 1; col <= f.ncols; ++col) {
    const CurveLabel& l = f.labels[static_cast<std::size_t>(col - 1)];
    ColumnText t;
    if (l.text.empty()) {
      t.words = t.short_words = t.axis = t.tooltip = "column " + std::to_string(col);
    } else if (!l.known) {
      t.words = t.short_words = t.axis = t.tooltip = l.text;
    } else {
      t.short_words = l.quantity();
      t.words = "joint " + std::to_string(l.joint) + ": " + t.short_words;
      t.joint = l.joint;
      t.axis = l.axis_title();
      t.unit = l.kind == 'F' ? (l.dir == 'R' ? " t\u00b7cm" : " t") : (l.dir == 'R' ? " rad/100" : " mm");
      t.tooltip = l.text + "  (" + l.describe() + ")";
    }
    c.columns.push_back(std::move(t));
  }
  return c;
}

// "joint 2: force X against displacement X": the joint is named once while
// it stays the same; several curves are joined by "; ".
std::string plots_title(const ChartData& d, const std::vector<ColumnPair>& plots) {
  std::string t;
  int joint = -1;
  for (const ColumnPair& c : plots) {
    const ColumnText& y = d.columns[static_cast<std::size_t>(c.second)];
    const ColumnText& x = d.columns[static_cast<std::size_t>(c.first)];
    const bool same = y.joint != 0 && (x.joint == 0 || x.joint == y.joint);
    std::string part = same && y.joint == joint ? y.short_words : y.words;
    joint = y.joint;
    part += " against " + (x.joint != 0 && x.joint == y.joint ? x.short_words : x.words);
    t += (t.empty() ? "" : "; ") + part;
  }
  return t;
}

// One panel: its curves share the unit of the x axis and of the y axis.
void draw_panel(Svg& svg, const ChartData& f, const Panel& panel, const std::string& title, double top,
                std::size_t first_colour, const std::vector<int>& peak_steps) {
  auto text = [&](int col) -> const ColumnText& { return f.columns[static_cast<std::size_t>(col)]; };
  const std::vector<ColumnPair>& plots = panel.plots;
  constexpr double W = kWidth;
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
  const bool empty = std::isnan(xlo);
  if (empty) xlo = xhi = ylo = yhi = 0;
  include_zero(xlo, xhi);
  include_zero(ylo, yhi);
  const bool step_axis = plots.empty() || plots.front().first == 0;
  const Ticks tx = nice_ticks(xlo, xhi, 8, step_axis);
  const Ticks ty = nice_ticks(ylo, yhi, 6);

  const double pw = W - kLeft - kRight, ph = kPanelHeight - kBottom;
  constexpr double left = kLeft, right = kRight;
  auto sx = [&](double x) { return left + (x - tx.lo) / (tx.hi - tx.lo) * pw; };
  auto sy = [&](double y) { return top + ph - (y - ty.lo) / (ty.hi - ty.lo) * ph; };

  // Axes, grid, ticks.
  svg.open("g", {{"class", "axes"}, {"stroke", "#333"}, {"fill", "none"}});
  for (double v : tx.values) {
    const double x = sx(v);
    svg.leaf("line", {{"class", "grid"}, {"x1", num(x)}, {"y1", num(top)}, {"x2", num(x)}, {"y2", num(top + ph)},
                      {"stroke", "#e3e3e3"}});
    svg.leaf("line", {{"class", "tick"}, {"x1", num(x)}, {"y1", num(top + ph)}, {"x2", num(x)},
                      {"y2", num(top + ph + 5)}});
  }
  for (double v : ty.values) {
    const double y = sy(v);
    svg.leaf("line", {{"class", "grid"}, {"x1", num(left)}, {"y1", num(y)}, {"x2", num(left + pw)}, {"y2", num(y)},
                      {"stroke", "#e3e3e3"}});
    svg.leaf("line", {{"class", "tick"}, {"x1", num(left - 5)}, {"y1", num(y)}, {"x2", num(left)}, {"y2", num(y)}});
  }
  svg.leaf("rect", {{"class", "plot-area"}, {"x", num(left)}, {"y", num(top)}, {"width", num(pw)},
                    {"height", num(ph)}});
  if (ty.lo < 0 && ty.hi > 0)
    svg.leaf("line", {{"class", "zero"}, {"x1", num(left)}, {"y1", num(sy(0))}, {"x2", num(left + pw)},
                      {"y2", num(sy(0))}, {"stroke", "#999"}});
  if (tx.lo < 0 && tx.hi > 0)
    svg.leaf("line", {{"class", "zero"}, {"x1", num(sx(0))}, {"y1", num(top)}, {"x2", num(sx(0))},
                      {"y2", num(top + ph)}, {"stroke", "#999"}});
  svg.close();

  svg.open("g", {{"class", "tick-labels"}, {"fill", "#333"}});
  for (double v : tx.values)
    svg.text(sx(v), top + ph + 20, tick_label(v, tx), {{"class", "tick-label"}, {"text-anchor", "middle"}});
  for (double v : ty.values)
    svg.text(left - 9, sy(v) + 4, tick_label(v, ty), {{"class", "tick-label"}, {"text-anchor", "end"}});
  svg.close();

  // Axis titles: the quantity and unit of the columns drawn, one each.
  const std::string ytitle = plots.empty() ? "Value" : text(plots.front().second).axis;
  const std::string xtitle = plots.empty() ? "Step" : text(plots.front().first).axis;
  svg.text(left + pw / 2, top + ph + 44, xtitle, {{"class", "axis-title"}, {"text-anchor", "middle"}, {"font-size", "13"}});
  svg.text(0, 0, ytitle,
           {{"class", "axis-title"},
            {"text-anchor", "middle"},
            {"font-size", "13"},
            {"transform", "translate(22 " + num(top + ph / 2) + ") rotate(-90)"}});

  // The curves: one path each, broken where a value is missing.
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
      d += num(sx(s.x[k]));
      d += ' ';
      d += num(sy(s.y[k]));
      pen = true;
      ++points;
    }
    const char* colour = kPalette[(first_colour + i) % kPalette.size()];
    svg.open("path", {{"class", "curve"},
                      {"data-column", std::to_string(plots[i].second)},
                      {"stroke", colour},
                      {"stroke-linejoin", "round"},
                      {"d", d.empty() ? "M0 0" : d}});
    svg.title(text(plots[i].second).tooltip);
    svg.close();
    // The peaks, on a curve against another column than the step.
    if (plots[i].first != 0) {
      for (std::size_t k = 0; k < s.x.size(); ++k) {
        if (std::isnan(s.x[k]) || std::isnan(s.y[k])) continue;
        const int step = f.rows[k].step;
        if (std::find(peak_steps.begin(), peak_steps.end(), step) == peak_steps.end()) continue;
        const auto printed = [&](int col) {
          const auto& fields = f.rows[k].fields;
          const auto c = static_cast<std::size_t>(col - 1);
          return c < fields.size() ? fields[c] : plain_number(column_value(f.rows[k], col));
        };
        const std::string yv = printed(plots[i].second), xv = printed(plots[i].first);
        char b[160];
        const std::string y = plain_number(column_value(f.rows[k], plots[i].second)) + text(plots[i].second).unit;
        const std::string x = plain_number(column_value(f.rows[k], plots[i].first)) + text(plots[i].first).unit;
        std::snprintf(b, sizeof b, "peak, step %d: %s at %s", step, y.c_str(), x.c_str());
        svg.open("g", {{"class", "peak"}, {"data-step", std::to_string(step)}});
        svg.title(text(plots[i].second).words + " " + yv + text(plots[i].second).unit + " at " +
                  text(plots[i].first).words + " " + xv + text(plots[i].first).unit);
        svg.leaf("circle", {{"cx", num(sx(s.x[k]))}, {"cy", num(sy(s.y[k]))}, {"r", "6"}, {"fill", "none"},
                            {"stroke", "#c0392b"}, {"stroke-width", "2"}});
        svg.text(sx(s.x[k]) + 9, sy(s.y[k]) - 9, b,
                 {{"class", "peak-label"}, {"fill", "#c0392b"}, {"font-size", "12"}});
        svg.close();
      }
    }
    // Point marks while they stay readable; a single point shows only so.
    if (points <= 60) {
      for (std::size_t k = 0; k < s.x.size(); ++k) {
        if (std::isnan(s.x[k]) || std::isnan(s.y[k])) continue;
        svg.leaf("circle", {{"class", "marker"}, {"cx", num(sx(s.x[k]))}, {"cy", num(sy(s.y[k]))}, {"r", "2.5"},
                            {"fill", colour}, {"stroke", "none"}});
      }
    }
  }
  svg.close();
  if (empty)
    svg.text(left + pw / 2, top + ph / 2, "no output step in this file yet",
             {{"class", "note"}, {"text-anchor", "middle"}, {"fill", "#888"}});

  svg.text(left + pw / 2, top - 8, title,
           {{"class", "panel-title"}, {"text-anchor", "middle"}, {"font-size", "13"}, {"fill", "#333"}});

  // Legend.
  svg.open("g", {{"class", "legend"}});
  const double lx = W - right + 18;
  for (std::size_t i = 0; i < plots.size(); ++i) {
    const double y = top + 10 + 36 * static_cast<double>(i);
    svg.leaf("line", {{"class", "legend-line"}, {"x1", num(lx)}, {"y1", num(y)}, {"x2", num(lx + 24)}, {"y2", num(y)},
                      {"stroke", kPalette[(first_colour + i) % kPalette.size()]}, {"stroke-width", "2.5"}});
    // The words of the panel's title: what the curve shows, then what it
    // is drawn against.
    const ColumnText &ty = text(plots[i].second), &tx = text(plots[i].first);
    svg.text(lx + 32, y + 4, ty.words, {{"class", "legend-label"}});
    const std::string note =
        plots[i].first == 0 ? "" : "against " + (tx.joint != 0 && tx.joint == ty.joint ? tx.short_words : tx.words);
    if (!note.empty())
      svg.text(lx + 32, y + 19, note, {{"class", "legend-note"}, {"fill", "#555"}, {"font-size", "11"}});
  }
  svg.close();
}

}  // namespace

std::string panel_title(const CurveFile& f, const Panel& p) { return plots_title(chart_data(f), p.plots); }

std::string chart_title(const CurveFile& f, const std::optional<ColumnPair>& xy) {
  std::string t;
  for (const Panel& p : curve_panels(f, xy)) {
    const std::string pt = panel_title(f, p);
    if (!pt.empty()) t += (t.empty() ? "" : "; ") + pt;
  }
  return t;
}

std::vector<Panel> curve_panels(const CurveFile& f, const std::optional<ColumnPair>& xy) {
  if (xy) {
    for (int c : {xy->first, xy->second})
      if (c < 0 || c > f.ncols)
        throw PlotError(f.name + ": --xy names column " + std::to_string(c) + ", the file has " +
                        std::to_string(f.ncols) + " watched column" + (f.ncols == 1 ? "" : "s"));
    return {Panel{{*xy}}};
  }
  auto label = [&](int c) -> const CurveLabel& { return f.labels[static_cast<std::size_t>(c - 1)]; };
  // A force drawn against a displacement of its own joint, of the same
  // direction where the file has one.
  std::vector<ColumnPair> plots;
  std::vector<bool> paired(static_cast<std::size_t>(f.ncols) + 1, false);
  for (int c = 1; c <= f.ncols; ++c) {
    const CurveLabel& force = label(c);
    if (!force.known || force.kind != 'F') continue;
    int best = 0;
    for (int d = 1; d <= f.ncols; ++d) {
      const CurveLabel& disp = label(d);
      if (!disp.known || disp.kind != 'D' || disp.joint != force.joint) continue;
      if (best == 0 || (disp.dir == force.dir && label(best).dir != force.dir)) best = d;
    }
    if (best == 0) continue;
    plots.push_back({best, c});
    paired[static_cast<std::size_t>(c)] = paired[static_cast<std::size_t>(best)] = true;
  }
  for (int c = 1; c <= f.ncols; ++c)
    if (!paired[static_cast<std::size_t>(c)]) plots.push_back({0, c});
  // One panel for each pair of axis units, in the order they first come.
  const ChartData data = chart_data(f);
  std::vector<Panel> panels;
  std::vector<std::pair<std::string, std::string>> keys;
  for (const ColumnPair& p : plots) {
    const std::pair<std::string, std::string> key{data.columns[static_cast<std::size_t>(p.first)].axis,
                                                  data.columns[static_cast<std::size_t>(p.second)].axis};
    const auto it = std::find(keys.begin(), keys.end(), key);
    if (it == keys.end()) {
      keys.push_back(key);
      panels.push_back({{p}});
    } else {
      panels[static_cast<std::size_t>(it - keys.begin())].plots.push_back(p);
    }
  }
  if (panels.empty()) panels.emplace_back();  // a file without watched columns: an empty chart
  return panels;
}

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
                        const std::vector<int>& peak_steps) {
  const std::vector<Panel> panels = curve_panels(f, xy);
  const double W = kWidth, H = kTop + kPanelHeight * static_cast<double>(panels.size());
  Svg svg(W, H);
  svg.leaf("rect", {{"class", "background"}, {"width", num(W)}, {"height", num(H)}, {"fill", "white"}});
  svg.text(W / 2, 24, heading("Response curve " + f.name, run_title),
           {{"class", "title"}, {"text-anchor", "middle"}, {"font-size", "15"}, {"font-weight", "bold"}});
  std::size_t colour = 0;
  const ChartData data = chart_data(f);
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
