#include "run/command_line.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "io/units.h"
#include "io/version.h"
#include "run/run.h"

namespace nlf {

namespace fs = std::filesystem;

std::string usage_text() {
  return "Usage: nlframe [-o DIR] [--capacity auto|MIB] [DECK]\n"
         "Nonlinear static analysis of a plane frame. Runs the deck DECK and writes\n"
         "the result files (R.rst, Jfor.rst, Jdis.rst, Mfor.rst, Mdis.rst, Mstr.rst,\n"
         "fort.61, ...) into the current folder. Without DECK the deck name is read\n"
         "from standard input (at most 16 characters).\n"
         "\n"
         "Options:\n"
         "  -o, --output DIR   write the result files into DIR (created if needed)\n"
         "      --capacity auto\n"
         "                     size the stores from the deck (up to 999 joints), the\n"
         "                     fibre state in memory up to 1024 MiB, in scratch files\n"
         "                     beyond\n"
         "      --capacity MIB the same with MIB mebibytes for the fibre state\n"
         "  -h, --help         show this help and exit\n"
         "      --version      show the version and exit\n"
         "\n"
         "Exit status: 0 the run reached the F card, 1 an error in the deck or the\n"
         "run, 2 a file that cannot be read or a bad command line.\n";
}

Capacity parse_capacity(const std::string& value) {
  if (value == "auto") return Capacity::following();
  std::size_t used = 0;
  long long mib = 0;
  try {
    mib = std::stoll(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != value.size() || value.empty() || !(value[0] >= '0' && value[0] <= '9') || mib < 1 ||
      mib > (1LL << 20))
    throw UsageError("option '--capacity' needs 'auto' or a size in MiB from 1 to 1048576, not '" + value + "'");
  return Capacity::following(mib << 20);
}

CommandLine parse_command_line(const std::vector<std::string>& args) {
  CommandLine c;
  bool options_end = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_end || a.empty() || a[0] != '-') {
      if (c.deck) throw UsageError("more than one deck given ('" + *c.deck + "' and '" + a + "')");
      if (a.empty()) throw UsageError("the deck name is empty");
      c.deck = a;
    } else if (a == "--") {
      options_end = true;
    } else if (a == "-h" || a == "--help") {
      c.help = true;
    } else if (a == "--version") {
      c.version = true;
    } else if (a == "--capacity" || a.rfind("--capacity=", 0) == 0) {
      std::string value;
      if (a == "--capacity") {
        if (i + 1 >= args.size()) throw UsageError("option '--capacity' needs 'auto' or a size in MiB");
        value = args[++i];
      } else {
        value = a.substr(11);
      }
      c.capacity = parse_capacity(value);
    } else if (a == "-o" || a == "--output" || a.rfind("--output=", 0) == 0 || (a.rfind("-o", 0) == 0)) {
      std::string value;
      if (a == "-o" || a == "--output") {
        if (i + 1 >= args.size()) throw UsageError("option '" + a + "' needs a folder");
        value = args[++i];
      } else {
        value = a.substr(a[1] == '-' ? 9 : 2);
      }
      if (value.empty()) throw UsageError("option '-o' needs a folder");
      c.out_dir = value;
    } else {
      throw UsageError("unknown option '" + a + "'");
    }
  }
  if (c.out_dir && !c.deck && !c.help && !c.version)
    throw UsageError("option '-o' needs the deck named on the command line");
  return c;
}

int program_main(int argc, char** argv) {
  if (argc <= 1) return run_program();
  const std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine c;
  try {
    c = parse_command_line(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "nlframe: %s\nTry 'nlframe --help' for more information.\n", e.what());
    return 2;
  }
  if (c.help) {
    std::fputs(usage_text().c_str(), stdout);
    return 0;
  }
  if (c.version) {
    std::printf("nlframe %s\n", kVersion);
    return 0;
  }
  fs::path folder;
  if (c.out_dir) {
    // The run's files go into the folder; the deck is still found from here.
    folder = *c.out_dir;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
      standard_streams().error("nlframe: " + *c.out_dir + ": cannot use as the output folder: " + ec.message());
      return 2;
    }
  }
  return run_program(c.deck ? &*c.deck : nullptr, folder, c.capacity);
}

}  // namespace nlf
