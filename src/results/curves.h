// The response-curve files of a run (fort.61, fort.62, ...): the label
// line and one line of watched values per output step.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/text.h"

namespace nlf::results {

// What a history label such as " 12D.X(MM)" says.
struct CurveLabel {
  bool known = false;   // the label has the form JJJ{F|D}.{X|Y|R}(UNIT)
  std::string text;     // the label without surrounding blanks
  int joint = 0;
  char kind = ' ';      // 'F' force or moment, 'D' displacement or rotation
  char dir = ' ';       // 'X', 'Y' or 'R'
  std::string unit;     // as printed: MM, TON, TON-CM, 1/100
  // "joint 12, displacement X" and the like; the raw text when not known.
  std::string describe() const;
  // "displacement X", "force Y", "rotation", "moment"; the raw text when not
  // known.
  std::string quantity() const;
  // The quantity and unit for an axis title: "Displacement (mm)".
  std::string axis_title() const;
};
CurveLabel decode_label(std::string_view raw);

struct CurveRow {
  int step = 0;
  std::vector<double> values;  // NaN where the file holds no number
  std::vector<std::string> fields;  // the values as printed, blanks removed
};

struct CurveFile {
  std::string name;                // e.g. "fort.61"
  std::vector<CurveLabel> labels;  // one per watched column (ncols)
  int ncols = 0;
  std::vector<CurveRow> rows;
  std::vector<std::string> warnings;
  int skipped = 0;  // lines left out: cut off, foreign or of another width
};

// Reads one response-curve file: the header line "   STEP" with seven
// 14-column labels, then lines (1X,I5,1X,1P,7E14.4). Lines that are cut off
// or hold another number of values than the file's usual count are skipped
// with a warning; a file without the header line is an error.
CurveFile read_curve_file(const std::filesystem::path& p);
CurveFile parse_curve_lines(const std::string& name, const std::vector<std::string>& lines);

}  // namespace nlf::results
