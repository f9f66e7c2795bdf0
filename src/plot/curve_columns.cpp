#include "plot/curve_columns.h"

#include <algorithm>
#include <cmath>

namespace nlf::plot {

double column_value(const CurveRow& r, int col) {
  return col == 0 ? static_cast<double>(r.step) : r.values[static_cast<std::size_t>(col - 1)];
}

namespace {

// A force at a direction that the frame's supports hold: a reaction.
bool reaction(const CurveLabel& l, const Frame* frame) {
  if (!frame || !l.known || l.kind != 'F') return false;
  const unsigned bit = l.dir == 'X' ? kFixX : (l.dir == 'Y' ? kFixY : kFixR);
  for (const Joint& j : frame->joints)
    if (j.number == l.joint && (j.held & bit)) return true;
  return false;
}

}  // namespace

ColumnText step_column() { return {"step", "step", 0, "Step", "", "step"}; }

ChartData chart_data(const CurveFile& f, const Frame* frame) {
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
      if (reaction(l, frame)) t.short_words = l.dir == 'R' ? "reaction moment" : std::string("reaction ") + l.dir;
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

std::string panel_title(const CurveFile& f, const Panel& p, const Frame* frame) {
  return plots_title(chart_data(f, frame), p.plots);
}

std::string chart_title(const CurveFile& f, const std::optional<ColumnPair>& xy, const Frame* frame) {
  std::string t;
  for (const Panel& p : curve_panels(f, xy, frame)) {
    const std::string pt = panel_title(f, p, frame);
    if (!pt.empty()) t += (t.empty() ? "" : "; ") + pt;
  }
  return t;
}

namespace {

// The largest value (in size) of a column.
double reach(const CurveFile& f, int col) {
  double r = 0;
  for (const CurveRow& row : f.rows) {
    const double v = std::fabs(column_value(row, col));
    if (v > r) r = v;
  }
  return r;
}

}  // namespace

std::vector<Panel> curve_panels(const CurveFile& f, const std::optional<ColumnPair>& xy, const Frame* frame) {
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
  // A reaction at a support, which does not move, against the displacement
  // of another joint: of the same direction where the file has one, the one
  // that moves most.
  for (int c = 1; c <= f.ncols; ++c) {
    if (paired[static_cast<std::size_t>(c)] || !reaction(label(c), frame)) continue;
    int best = 0;
    for (int d = 1; d <= f.ncols; ++d) {
      const CurveLabel& disp = label(d);
      if (!disp.known || disp.kind != 'D' || disp.dir == 'R') continue;
      const bool same = disp.dir == label(c).dir, best_same = best != 0 && label(best).dir == label(c).dir;
      if (best == 0 || (same && !best_same) || (same == best_same && reach(f, d) > reach(f, best))) best = d;
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

}  // namespace nlf::plot
