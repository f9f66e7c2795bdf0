#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>
#include <iostream>
#include <string>

#include "check/check.h"
#include "io/format.h"
#include "io/version.h"
#include "results/arguments.h"

namespace nlf {

namespace {

std::string plural(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::vector<std::string> summary_lines(const std::string& path, const CheckResult& r) {
  const DeckFacts& f = r.facts;
  std::vector<std::string> out;
  out.push_back(path + ": no errors" +
                (r.warnings > 0 ? ", " + plural(r.warnings, "warning", "warnings") : std::string()) +
                (f.restart ? " (continues a restart file)" : ""));
  if (!f.title.empty()) out.push_back("  title: " + f.title);
  out.push_back("  " + plural(f.joints, "joint", "joints") + ", " + plural(f.members, "member", "members") +
                ", " + plural(f.springs, "joint spring", "joint springs") + ", " +
                plural(f.watches, "watch card", "watch cards"));
  out.push_back("  " + plural(f.equations, "equation", "equations") + ", band width " +
                std::to_string(f.band));
  out.push_back("  material: E " + message_number(f.E) + ", E2 " + message_number(f.E2) + ", E3 " + message_number(f.E3) + " t/cm2" +
                (f.strain_limit > 0 ? ", strain limit " + message_number(f.strain_limit) : std::string()));
  for (const SectionFacts& s : f.sections) {
    out.push_back("  section " + std::to_string(s.number) + ": area " + message_number(s.area) + " cm2, I " +
                  message_number(s.inertia) + " cm4, Zp " + message_number(s.plastic) + " cm3, yield " + message_number(s.yield) +
                  " t/cm2, Mp " + message_number(s.mp) + " t-cm, " + plural(s.members, "member", "members"));
    if (s.residual)
      out.push_back("    residual stresses " + message_number(s.residual_X[0]) + " " + message_number(s.residual_X[1]) +
                    " " + message_number(s.residual_X[2]) + " " + message_number(s.residual_X[3]) +
                    " t/cm2: sum A*s0 " + message_number(s.residual_force) + " t, sum A*s0*z " +
                    message_number(s.residual_moment) + " t-cm");
  }
  std::string load = "  load history: " + plural(f.groups, "group", "groups") + ", " +
                     plural(f.steps, "step", "steps");
  if (f.arc_groups > 0) load += " (" + std::to_string(f.arc_groups) + " under arc-length control)";
  if (f.loaded_members > 0) load += ", member loads on " + plural(f.loaded_members, "member", "members");
  if (f.buckling > 0) load += ", " + plural(f.buckling, "buckling analysis", "buckling analyses");
  out.push_back(load);
  const std::string store = std::to_string(f.nsymax);
  out.push_back(f.in_memory ? "  fibre state in memory (KLAST " + std::to_string(f.klast) + " of " + store + ")"
                            : "  fibre state in scratch files, one member at a time (KLAST " +
                                  std::to_string(f.klast) + ", the store holds " + store + ")");
  const Capacity fixed;
  out.push_back("  stores: the model needs " + std::to_string(f.need_integer) + " places of the integer workspace, " +
                std::to_string(f.need_real) + " of the real, " + plural(f.need_joints, "joint", "joints") +
                (f.fixed_holds ? ": the fixed stores hold it (" : ": beyond the fixed stores (") +
                std::to_string(fixed.imax) + ", " + std::to_string(fixed.nmax) + ", " +
                std::to_string(fixed.joints) + " joints)" +
                (f.fixed_holds || f.follows ? "" : "; --capacity auto sizes the stores from the deck"));
  return out;
}

int check_main(int argc, char** argv) {
  const char* usage =
      "usage: nlframe-check [--help] [--version] [--capacity auto|MIB] DECK\n"
      "Reads the deck as nlframe does, without running the analysis, and reports\n"
      "every error (status 1; 2 for a file it cannot read) and warning it finds,\n"
      "one line each. A deck without errors is summed up on standard output, with\n"
      "the stores the model needs and whether the fixed stores hold it.\n"
      "  --capacity auto|MIB  check for a run with the same option: stores that\n"
      "                       follow the model, up to 999 joints\n";
  const std::vector<std::string> args(argv + 1, argv + argc);
  bool help = false, version = false, deck_seen = false;
  Capacity capacity;
  std::filesystem::path deck;
  using results::OptionKind;
  try {
    results::scan_arguments<std::runtime_error>(
        args,
        [](const std::string& n) {
          if (n == "--capacity") return OptionKind::kValue;
          return n == "-h" || n == "--help" || n == "--version" ? OptionKind::kFlag : OptionKind::kUnknown;
        },
        [&](const std::string& n, const std::string& value) {
          if (n == "--capacity") {
            try {
              capacity = check_capacity_option(value);
            } catch (const std::invalid_argument& e) {
              throw std::runtime_error(e.what());
            }
            return;
          }
          (n == "--version" ? version : help) = true;
        },
        deck, deck_seen);
    if (!deck_seen && !help && !version) throw std::runtime_error("no deck given");
  } catch (const std::runtime_error& e) {
    std::cerr << "nlframe-check: " << e.what() << "\nTry 'nlframe-check --help' for more information.\n";
    return 2;
  }
  if (help || version) {
    std::cout << (help ? usage : std::string("nlframe-check ") + kVersion + "\n");
    return 0;
  }
  const std::string path = deck.string();
  const CheckResult r = check_deck(path, capacity);
  for (const DeckFinding& f : r.findings) std::cerr << f.text << '\n';
  if (r.status != 0) {
    std::cerr << "nlframe-check: " << path << ": " << plural(r.errors, "error", "errors");
    if (r.warnings > 0) std::cerr << ", " << plural(r.warnings, "warning", "warnings");
    std::cerr << '\n';
    return r.status;
  }
  for (const std::string& line : summary_lines(path, r)) std::cout << line << '\n';
  return 0;
}

}  // namespace nlf
