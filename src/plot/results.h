// Readers for the text files of a finished run: the response curves
// (fort.61, fort.62, ...), the member node displacements (Mdis.rst) and the
// fibre stress distribution (Mstr.rst). The files are fixed-column listings;
// the readers take fields by column and refuse lines that do not fit, so
// that a truncated or foreign file gives an error instead of a wrong picture.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nlf::plot {

// Anything the plot program cannot read or draw; the message names the file
// and, where it helps, the line.
class PlotError : public std::runtime_error {
 public:
  explicit PlotError(const std::string& msg) : std::runtime_error(msg) {}
};

// The lines of a text file without line ends. Throws PlotError when the file
// is missing or unreadable.
std::vector<std::string> read_text_lines(const std::filesystem::path& p);

// A printed real: blanks around it are ignored; the exponent may be written
// with E or D or, for three-digit exponents, as a bare sign ("1.2345+100").
// NaN and Infinity read as such. A field of asterisks (value too wide for
// its field), a blank field or anything else gives nullopt.
std::optional<double> read_real(std::string_view field);
// A printed integer; nullopt for blanks, asterisks or anything else.
std::optional<int> read_int(std::string_view field);

// ---- response curves

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
  // The quantity and unit for an axis title: "Displacement (mm)".
  std::string axis_title() const;
};
CurveLabel decode_label(std::string_view raw);

struct CurveRow {
  int step = 0;
  std::vector<double> values;  // NaN where the file holds no number
};

struct CurveFile {
  std::string name;                // e.g. "fort.61"
  std::vector<CurveLabel> labels;  // one per watched column (ncols)
  int ncols = 0;
  std::vector<CurveRow> rows;
  std::vector<std::string> warnings;
};

// Reads one response-curve file: the header line "   STEP" with seven
// 14-column labels, then lines (1X,I5,1X,1P,7E14.4). Lines that are cut off
// or hold another number of values than the file's usual count are skipped
// with a warning; a file without the header line is an error.
CurveFile read_curve_file(const std::filesystem::path& p);
CurveFile parse_curve_lines(const std::string& name, const std::vector<std::string>& lines);

// ---- member node displacements

constexpr int kNodes = 6;      // node points per member, end I to end J
constexpr int kStations = 10;  // fibre sections per member
constexpr int kFibres = 20;    // fibres per section

struct NodeShift {
  double dx = 0, dy = 0;  // total displacement, cm
};

struct MemberShift {
  int ja = 0, jb = 0;  // user joint numbers as printed
  std::array<NodeShift, kNodes> node{};
};

struct DisplacementStep {
  int step = 0;
  long line = 0;  // line of the heading, for messages
  std::vector<MemberShift> members;  // in member order
  bool complete = true;              // false: the block stops inside a member
};

// All blocks of Mdis.rst, in file order.
std::vector<DisplacementStep> read_member_displacements(const std::filesystem::path& p);
std::vector<DisplacementStep> parse_displacement_lines(const std::string& name,
                                                       const std::vector<std::string>& lines);

// ---- fibre stress distribution

struct StationState {
  int upper = 0;  // fibres at or above the upper bound ("+")
  int lower = 0;  // fibres at or below the lower bound ("-")
  int plastic() const { return upper + lower; }
};

struct MemberStations {
  int ja = 0, jb = 0;
  int count = 0;  // stations read (kStations when complete)
  std::array<StationState, kStations> station{};
};

struct StressStep {
  int step = 0;
  long line = 0;
  std::vector<MemberStations> members;
};

std::vector<StressStep> read_member_stresses(const std::filesystem::path& p);
std::vector<StressStep> parse_stress_lines(const std::string& name,
                                           const std::vector<std::string>& lines);

// The block of a step, or nullptr. When a step appears twice the later
// block counts.
const DisplacementStep* find_step(const std::vector<DisplacementStep>& v, int step);
const StressStep* find_step(const std::vector<StressStep>& v, int step);

}  // namespace nlf::plot
