// The command line of nlframe-plot: its options and its usage text.
#include <charconv>
#include <cmath>
#include <system_error>

#include "plot/app.h"
#include "results/arguments.h"

namespace nlf::plot {

namespace {

int parse_int(const std::string& opt, const std::string& v, int lo, int hi, const char* what) {
  int n = 0;
  const auto r = std::from_chars(v.data(), v.data() + v.size(), n);
  if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || n < lo || n > hi)
    throw UsageError("option '" + opt + "' needs " + what + ", not '" + v + "'");
  return n;
}

}  // namespace

std::string usage_text() {
  return std::string("Usage: ") + kProgram + " [options] DECK\n" +
         "Draws SVG pictures of a finished nlframe run: one response-curve chart per\n"
         "history file (curve-61.svg, ...), the frame with its deformed shape\n"
         "(frame.svg) and the plastic zones of the members (plastic.svg); after a\n"
         "run with a V card the first three buckling modes (mode-1.svg, ...).\n"
         "\n"
         "Options:\n"
         "  -d, --dir DIR      run folder holding Mdis.rst, Mstr.rst and fort.61, ...\n"
         "                     (default: the deck's folder)\n"
         "  -o, --output DIR   folder for the pictures (default: the run folder)\n"
         "      --step N       step to draw (default: the step in Mdis.rst nearest to the\n"
         "                     peak, else the last; it holds member displacements on\n"
         "                     detail steps only)\n"
         "      --scale F      magnification of the displacements (default: the largest\n"
         "                     displacement shows as about a tenth of the frame size)\n"
         "      --xy I,J       response curves as column J against column I alone;\n"
         "                     columns count from 1 in the order of the W card, 0 is\n"
         "                     the step number (default: a watched force against a\n"
         "                     watched displacement of its joint, the other columns\n"
         "                     against the step, one panel for each unit)\n"
         "      --html         also write index.html beside the pictures: the run's\n"
         "                     summary, the pictures (with the base shear of a frame\n"
         "                     pushed sideways) and the largest results of the step\n"
         "                     drawn\n"
         "  -h, --help         show this help and exit\n"
         "      --version      show the version and exit\n"
         "\n"
         "Exit status: 0 all pictures written, 1 a result file missing, unreadable or\n"
         "not matching the deck (the other pictures are still written), 2 bad command\n"
         "line, a deck that cannot be read (missing, a folder, a result file) or result\n"
         "files of another deck (nothing written).\n";
}

Options parse_options(const std::vector<std::string>& args) {
  using results::OptionKind;
  Options o;
  bool deck_seen = false;
  const auto kind = [](const std::string& n) {
    if (n == "-h" || n == "--help" || n == "--html") return OptionKind::kFlag;
    if (n == "-d" || n == "--dir" || n == "-o" || n == "--output" || n == "--step" || n == "--scale" || n == "--xy")
      return OptionKind::kValue;
    return OptionKind::kUnknown;
  };
  const auto take = [&](const std::string& name, const std::string& value) {
    if (name == "-h" || name == "--help" || name == "--html") {
      (name == "--html" ? o.html : o.help) = true;
      return;
    }
    if (name == "-d" || name == "--dir") {
      if (value.empty()) throw UsageError("option '" + name + "' needs a folder");
      o.run_dir = value;
    } else if (name == "-o" || name == "--output") {
      if (value.empty()) throw UsageError("option '" + name + "' needs a folder");
      o.out_dir = value;
    } else if (name == "--step") {
      o.step = parse_int(name, value, 1, 999999, "a step number of 1 or more");
    } else if (name == "--scale") {
      double f = 0;
      const auto r = std::from_chars(value.data(), value.data() + value.size(), f);
      if (value.empty() || r.ec != std::errc() || r.ptr != value.data() + value.size() || !std::isfinite(f) || f <= 0)
        throw UsageError("option '--scale' needs a positive number, not '" + value + "'");
      o.scale = f;
    } else {  // --xy
      const auto comma = value.find(',');
      if (comma == std::string::npos) throw UsageError("option '--xy' needs two columns I,J, not '" + value + "'");
      const char* what = "two columns I,J from 0 (the step) to 7";
      o.xy = ColumnPair{parse_int(name, value.substr(0, comma), 0, 7, what),
                        parse_int(name, value.substr(comma + 1), 0, 7, what)};
    }
  };
  results::scan_arguments<UsageError>(args, kind, take, o.deck, deck_seen);
  if (!deck_seen && !o.help) throw UsageError("no deck given");
  return o;
}

}  // namespace nlf::plot
