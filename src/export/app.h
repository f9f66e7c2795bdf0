// The command line of nlframe-export and the whole program run, kept apart
// from main() so that tests can drive it.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace nlf::exporter {

// A bad command line; the program prints the message and a hint and exits
// with status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  bool help = false;
  std::filesystem::path deck;
  std::optional<std::filesystem::path> run_dir;  // -d: default the deck's folder
  std::optional<std::filesystem::path> out_dir;  // -o: default the run folder
};

// Parses the arguments after the program name. Throws UsageError.
Options parse_options(const std::vector<std::string>& args);

std::string usage_text();

// Exit status: 0 every table written; 1 a file missing, cut off or not of
// this run (nothing is written then); 2 a bad command line, or result files
// of another deck (nothing written).
enum Status : int { kOk = 0, kFailed = 1, kUsage = 2, kForeign = 2 };

// Reads the run and writes its tables; progress to `out`, errors to `err`.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace nlf::exporter
