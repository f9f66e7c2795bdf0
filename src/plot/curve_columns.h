// What the columns of a response-curve chart are: their words, axis titles
// and units, and which column each curve is drawn against (a force against
// a displacement), one panel for each pair of units.
#pragma once

#include <string>
#include <vector>

#include "plot/curve_chart.h"

namespace nlf::plot {

// The value of column `col` of a row (0: the step).
double column_value(const CurveRow& r, int col);

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

ColumnText step_column();
// A reaction of `frame` (a force at a direction its supports hold) goes as
// "reaction X".
ChartData chart_data(const CurveFile& f, const Frame* frame = nullptr);

// "joint 2: force X against displacement X": the joint is named once while
// it stays the same; several curves are joined by "; ".
std::string plots_title(const ChartData& d, const std::vector<ColumnPair>& plots);

}  // namespace nlf::plot
