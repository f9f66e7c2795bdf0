// The command line of nlframe: a deck named as an argument, the folder for
// the results, --help and --version. Without arguments the program reads the
// deck name from standard input.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "output/result_sink.h"
#include "store/sizes.h"

namespace nlf {

// A bad command line: the program prints the message and exits with status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CommandLine {
  bool help = false;
  bool version = false;
  std::optional<std::string> deck;     // else read from standard input
  std::optional<std::string> out_dir;  // -o: else the current folder
  Capacity capacity;                   // --capacity: else the fixed stores
  ResultOptions results;               // --results, --tables, --every, --fibres-every, --compress
};

// `text`, `h5` or `h5-only`. Throws UsageError.
ResultStore parse_result_store(const std::string& value);
// A comma list of joints, curves, members, nodes, fibres; `all` or `none`.
// Throws UsageError.
unsigned parse_tables(const std::string& value);

// `auto` or a fibre budget in MiB. Throws UsageError.
Capacity parse_capacity(const std::string& value);

// Parses the arguments after the program name. Throws UsageError.
CommandLine parse_command_line(const std::vector<std::string>& args);

std::string usage_text();

// The program: returns the exit status.
int program_main(int argc, char** argv);

}  // namespace nlf
