// The response-curve chart: a complete SVG document. Elements that tests
// and style sheets look for carry a class ("curve", "legend", ...).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plot/common.h"
#include "results/base_shear.h"

namespace nlf::plot {

// Column 0 is the step number, 1..ncols the watched values.
using ColumnPair = std::pair<int, int>;

// A panel of a chart: curves (x column, y column) whose x values share a
// unit and whose y values share a unit.
struct Panel {
  std::vector<ColumnPair> plots;
};

// The panels of a response-curve chart. By default a force is drawn against
// a displacement of the same joint (of the same direction where there is
// one); a reaction (a force at a direction that a support of `frame`
// holds) against the displacement of the file that moves most, of the same
// direction where there is one; every other column against the step, one
// panel for each pair of units. With `xy` = (I, J): column J against column
// I alone. Throws PlotError when `xy` names a column the file does not have.
std::vector<Panel> curve_panels(const CurveFile& f, const std::optional<ColumnPair>& xy,
                                const Frame* frame = nullptr);

// What a panel shows, from the watch codes of its columns: "joint 2: force X
// against displacement X"; several curves are joined by "; ".
std::string panel_title(const CurveFile& f, const Panel& p, const Frame* frame = nullptr);
// The titles of all panels of the chart, joined by "; ".
std::string chart_title(const CurveFile& f, const std::optional<ColumnPair>& xy, const Frame* frame = nullptr);

// One chart of a response-curve file: its panels one below the other. On
// every curve drawn against another column than the step, the rows of the
// steps in `peak_steps` are marked as peaks.
std::string curve_chart(const CurveFile& f, const std::optional<ColumnPair>& xy, const std::string& run_title,
                        const std::vector<int>& peak_steps = {}, const Frame* frame = nullptr);

// The base shear of a push-over against the displacement X of the joint
// that sways most, one point per output step, the largest base shear
// marked as the peak.
std::string base_shear_chart(const results::BaseShear& b, const std::string& run_title);
// "base shear against joint 7: displacement X"
std::string base_shear_title(const results::BaseShear& b);

}  // namespace nlf::plot
