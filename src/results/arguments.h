// The command line of the companion programs: one deck, options in the
// forms "--name=V", "--name V", "-xV" and "-x V", and "--" before a deck
// whose name begins with a minus sign.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "io/version.h"

namespace nlf::results {

// What an option name is to the program that scans for it.
enum class OptionKind { kUnknown, kFlag, kValue };

// Walks `args` (those after the program name): the deck goes to `deck`,
// every option to `take(name, value)` (an empty value for a flag). Throws
// `error` (constructed from a message) for an unknown option, a flag given
// a value, a value missing, or a second deck. `deck_seen` tells whether a
// deck was named.
template <class Error>
void scan_arguments(const std::vector<std::string>& args, const std::function<OptionKind(const std::string&)>& kind,
                    const std::function<void(const std::string&, const std::string&)>& take,
                    std::filesystem::path& deck, bool& deck_seen) {
  bool options_end = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_end || a.empty() || a[0] != '-' || a == "-") {
      if (deck_seen) throw Error("more than one deck given ('" + deck.string() + "' and '" + a + "')");
      deck = a;
      deck_seen = true;
      continue;
    }
    if (a == "--") {
      options_end = true;
      continue;
    }
    std::string name = a, value;
    bool has_value = false;
    if (a.rfind("--", 0) == 0) {
      if (const auto eq = a.find('='); eq != std::string::npos) {
        name = a.substr(0, eq);
        value = a.substr(eq + 1);
        has_value = true;
      }
    } else if (a.size() > 2) {
      name = a.substr(0, 2);
      value = a.substr(2);
      has_value = true;
    }
    const OptionKind k = kind(name);
    if (k == OptionKind::kUnknown) throw Error("unknown option '" + a + "'");
    if (k == OptionKind::kFlag) {
      if (has_value) throw Error("option '" + name + "' takes no value");
    } else if (!has_value) {
      if (i + 1 >= args.size()) throw Error("option '" + name + "' needs a value");
      value = args[++i];
    }
    take(name, value);
  }
}

// What keeps a companion program from reading `deck` as the deck of a run:
// a missing file, a folder (the run folder named instead of its deck), a
// result file of a run named instead of the deck, a file it cannot read.
// The message names the deck to give where it can; nullopt when the deck
// can be read.
std::optional<std::string> deck_problem(const std::filesystem::path& deck);

// The deck that the run record (.nlframe-run.json) of `folder` names, when
// `folder` is a run folder with a record (of the program or of the Python
// package); nullopt otherwise.
std::optional<std::filesystem::path> recorded_deck(const std::filesystem::path& folder);

// A run found by its folder: a folder named instead of the deck stands for
// the run recorded there (its deck, the results in that folder); a deck
// named without -d whose output folder (-o) holds the record of a run of
// that very deck has its results there.
template <class Options>
void find_run(Options& o) {
  if (const auto deck = recorded_deck(o.deck)) {
    if (!o.run_dir) o.run_dir = o.deck;
    o.deck = *deck;
    return;
  }
  if (o.run_dir || !o.out_dir) return;
  if (const auto deck = recorded_deck(*o.out_dir)) {
    std::error_code ec;
    if (std::filesystem::equivalent(*deck, o.deck, ec)) o.run_dir = *o.out_dir;
  }
}

// The start of a companion program: --version answered (status 0), its
// options parsed (a usage error is reported with a pointer to --help,
// status 2), --help answered (status 0), a deck that cannot be the run's
// deck refused (status 2), else `body(options)` runs and gives the status.
template <class Options, class Error, class Parse, class Body>
int run_command(const char* program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                Parse parse, const std::string& usage, Body body) {
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--version") {
      out << program << ' ' << kVersion << '\n';
      return 0;
    }
  }
  Options o;
  try {
    o = parse(args);
  } catch (const Error& e) {
    err << program << ": " << e.what() << "\nTry '" << program << " --help' for more information.\n";
    return 2;
  }
  if (o.help) {
    out << usage;
    return 0;
  }
  find_run(o);
  if (const auto problem = deck_problem(o.deck)) {
    err << program << ": error: " << *problem << '\n';
    return 2;
  }
  return body(o);
}

}  // namespace nlf::results
