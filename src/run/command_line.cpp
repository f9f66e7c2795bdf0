#include "run/command_line.h"

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <string_view>
#include <utility>
#include <system_error>

#include "io/units.h"
#include "io/version.h"
#include "run/run.h"

namespace nlf {

namespace fs = std::filesystem;

std::string usage_text() {
  return "Usage: nlframe [-o DIR] [--capacity auto|MIB] [--results text|h5|h5-only] [DECK]\n"
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
         "      --results h5   also write every table at full precision into\n"
         "                     results.h5 (HDF5)\n"
         "      --results h5-only\n"
         "                     the tables only in results.h5: the listing and the\n"
         "                     response curves stay text\n"
         "      --tables LIST  the tables written, a comma list of joints, curves,\n"
         "                     members, nodes, fibres (default all)\n"
         "      --every N      the tables only at steps whose number is a multiple of N\n"
         "      --fibres-every N\n"
         "                     the fibre tables (Mstr.rst) only at multiples of N\n"
         "      --compress N   deflate level of the tables of results.h5, 0 (none,\n"
         "                     the default: fastest, largest) to 9\n"
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

ResultStore parse_result_store(const std::string& value) {
  if (value == "text") return ResultStore::text;
  if (value == "h5") return ResultStore::text_and_h5;
  if (value == "h5-only") return ResultStore::h5_only;
  throw UsageError("option '--results' needs 'text', 'h5' or 'h5-only', not '" + value + "'");
}

unsigned parse_tables(const std::string& value) {
  static const std::pair<const char*, unsigned> names[] = {
      {"joints", kJointParts}, {"curves", kCurveParts}, {"members", kMemberParts},
      {"nodes", kNodeParts},   {"fibres", kFibreParts}, {"all", kAllParts}, {"none", 0}};
  unsigned parts = 0;
  std::size_t at = 0;
  while (at <= value.size()) {
    const std::size_t end = std::min(value.find(',', at), value.size());
    const std::string name = value.substr(at, end - at);
    bool known = false;
    for (const auto& [n, bits] : names)
      if (name == n) known = true, parts |= bits;
    if (!known)
      throw UsageError("option '--tables' needs a comma list of joints, curves, members, nodes, fibres, all or "
                       "none; '" + name + "' is none of them");
    at = end + 1;
  }
  return parts;
}

namespace {

int parse_every(const std::string& option, const std::string& value) {
  std::size_t used = 0;
  long n = 0;
  try {
    n = std::stol(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != value.size() || value.empty() || !(value[0] >= '0' && value[0] <= '9') || n < 1 || n > 1000000)
    throw UsageError("option '" + option + "' needs a whole number of steps from 1 to 1000000, not '" + value + "'");
  return static_cast<int>(n);
}

// The options of the result files that take a value: "--name VALUE" or
// "--name=VALUE"; the option's name, or null.
const char* value_option(const std::string& a) {
  for (const char* o : {"--results", "--tables", "--every", "--fibres-every", "--compress"}) {
    const std::string_view n(o);
    if (a == n || (a.size() > n.size() && a.compare(0, n.size(), n) == 0 && a[n.size()] == '=')) return o;
  }
  return nullptr;
}

int parse_compress(const std::string& value) {
  if (value.size() != 1 || value[0] < '0' || value[0] > '9')
    throw UsageError("option '--compress' needs a deflate level from 0 (none) to 9, not '" + value + "'");
  return value[0] - '0';
}

}  // namespace

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
    } else if (const char* opt = value_option(a); opt != nullptr) {
      std::string value;
      if (a == opt) {
        if (i + 1 >= args.size()) throw UsageError("option '" + a + "' needs a value");
        value = args[++i];
      } else {
        value = a.substr(std::string_view(opt).size() + 1);
      }
      if (a.rfind("--results", 0) == 0) c.results.store = parse_result_store(value);
      else if (a.rfind("--tables", 0) == 0) c.results.choice.parts = parse_tables(value);
      else if (a.rfind("--every", 0) == 0) c.results.choice.every = parse_every("--every", value);
      else if (a.rfind("--compress", 0) == 0) c.results.choice.deflate = parse_compress(value);
      else c.results.choice.fibre_every = parse_every("--fibres-every", value);
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
  return run_program(c.deck ? &*c.deck : nullptr, folder, c.capacity, c.results);
}

}  // namespace nlf
