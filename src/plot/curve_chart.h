// The response-curve chart: a complete SVG document. Elements that tests
// and style sheets look for carry a class ("curve", "legend", ...).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plot/common.h"

namespace nlf::plot {

// Column 0 is the step number, 1..ncols the watched values.
using ColumnPair = std::pair<int, int>;

// One chart of a response-curve file: every watched column against the
// step, or with `xy` = (I, J) column J against column I. Throws PlotError
// when `xy` names a column the file does not have.
std::string curve_chart(const CurveFile& f, const std::optional<ColumnPair>& xy, const std::string& run_title);

}  // namespace nlf::plot
