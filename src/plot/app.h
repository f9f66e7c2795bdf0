// The command line of nlframe-plot and the whole program run, kept apart
// from main() so that tests can drive it.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "plot/curve_chart.h"
#include "plot/frame_charts.h"

namespace nlf::plot {

// The program's name in its messages.
inline constexpr const char* kProgram = "nlframe-plot";

// A bad command line; the program prints the message and a hint and exits
// with status 2.
class UsageError : public PlotError {
 public:
  using PlotError::PlotError;
};

struct Options {
  bool help = false;
  std::filesystem::path deck;
  std::optional<std::filesystem::path> run_dir;  // -d: default the deck's folder
  std::optional<std::filesystem::path> out_dir;  // -o: default the run folder
  std::optional<int> step;
  std::optional<double> scale;
  std::optional<ColumnPair> xy;
  bool html = false;  // --html: also the report page index.html
};

// Parses the arguments after the program name. Throws UsageError.
Options parse_options(const std::vector<std::string>& args);

std::string usage_text();

// Exit status of the program.
// kForeign: the result files belong to another deck (nothing is written).
enum Status : int { kOk = 0, kFailed = 1, kUsage = 2, kForeign = 2 };

// Reads the deck and the run's files and writes the pictures. Progress goes
// to `out`, warnings and errors to `err`. Everything that can be drawn is
// written even when another picture fails; the status is then kFailed.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace nlf::plot
