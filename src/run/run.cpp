#include "run/run.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "io/stop.h"
#include "io/banner.h"
#include "deck/control.h"
#include "store/bind.h"

namespace nlf {

namespace {

constexpr char kComment = '$';

// Result files: unit, file name, title.
struct ResultFile {
  int unit;
  const char* name;
  const char* title;
};
constexpr ResultFile kResultFiles[] = {
    {17, "Mstr.rst", "********** MEMBER STRESS DISTRIBUTION ***********"},
    {18, "Mdis.rst", "************* MEMBER DISPLACEMENTS **************"},
    {19, "Mfor.rst", "**************** MEMBER FORCES ******************"},
    {20, "Jdis.rst", "************* JOINT DISPLACEMENTS ***************"},
    {21, "Jfor.rst", "**************** JOINT FORCES *******************"},
};

std::string deck_name(std::string_view stdin_text) {
  std::string name = read_name_item(stdin_text, std::string(16, ' '));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

// The sizes line, the two layouts and their capacity checks.
void print_sizes_and_layout(Units& units, const Sizes& sz) {
  static const Format sizes_line("(1X,8I5)");
  static const Format real_last("(1X,'LAST /NMAX =',I7,'/1X',I7)");
  TextOut& listing = units.listing();
  listing.message({" MUMM,MUMJ,MUMP,MUMT,MUMR,MUMS,MBAND,MUMW"});
  listing.write(sizes_line, {sz.MUMM, sz.MUMJ, sz.MUMP, sz.MUMT, sz.MUMR, sz.MUMS, sz.MBAND, sz.MUMW});

  const Layout L = compute_layout(sz);
  listing.message({"INTEGER LAST/IMAX =", L.ilast, "/", IMAX});
  if (L.ilast > IMAX) {
    std::fprintf(stderr, "nlframe: the model needs %lld places of the integer workspace, which holds %d\n",
                 L.ilast, IMAX);
    throw Stop{1};
  }
  units.console().write(real_last, {L.rlast, NMAX});
  if (L.rlast > NMAX) {
    std::fprintf(stderr, "nlframe: the model needs %lld places of the real workspace, which holds %d\n",
                 L.rlast, NMAX);
    throw Stop{1};
  }
}

void check_restart_units(Units& units, const RunControl& ctl, int nhist) {
  for (const auto& [unit, what] : {std::pair{ctl.IRESIN, "INPUT"}, std::pair{ctl.IRESOUT, "OUTPUT"}}) {
    const bool asked = (what[0] == 'I') ? unit != 0 : unit >= 1;
    if (!asked || !restart_unit_in_use(unit, nhist)) continue;
    const std::string text =
        std::string("ERROR ... RESTART ") + what + " UNIT " + std::to_string(unit) + " IS USED BY THE PROGRAM";
    units.listing().message({text});
    units.console().message({text});
    std::fprintf(stderr, "nlframe: restart %s unit %d is a unit the program uses itself\n",
                 what[0] == 'I' ? "input" : "output", unit);
    throw Stop{1};
  }
}

// `path`: the deck named on the command line; without it the name is read
// from the standard-input text.
int run_sequence(std::string_view stdin_text, const std::string* path, const DriverOptions& opt, Units& units,
                 RunSummary& s) {
  const auto t0 = std::chrono::steady_clock::now();
  const std::string name = path ? *path : deck_name(stdin_text);
  // Opened and its first byte read before any output file is touched; an
  // empty deck stops here at its first card.
  units.deck().open(name);
  if (units.deck().empty()) {
    std::string line;
    units.deck().next_or_fail(line, "the control card");
  }

  units.open_text(16, "R.rst");
  write_banner(units.listing());
  static const Format title("(/,/,10X,A)");
  for (const ResultFile& f : kResultFiles) {
    units.open_text(f.unit, f.name);
    write_banner(units.text(f.unit));
    units.text(f.unit).write(title, {f.title});
  }
  units.open_scratch(1);
  units.open_scratch(2);

  auto stores = std::make_unique<Stores>();
  RunControl ctl = read_control_card(units);

  check_restart_units(units, ctl, -1);
  Sizes sz;
  if (ctl.IRESIN != 0) {
    sz = read_restart_sizes(units, ctl);
    sz.NRHS = scan_load_columns(units, kComment, ctl.control_line);
  } else {
    sz = counting_pass(units, kComment);
  }
  print_sizes_and_layout(units, sz);
  check_restart_units(units, ctl, sz.MUMW);

  Model md;
  bind_model(md, *stores, sz);
  const auto summary_line = [&] {
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::fprintf(stderr, "nlframe: %s, %.2f s\n", summary_text(s).c_str(), secs);
  };
  try {
    run_driver(md, *stores, units, ctl, opt, s);
  } catch (const FileError&) {
    // A history without an F card ran all its groups: their summary comes
    // before the end-of-file stop.
    if (s.history_ended) summary_line();
    throw;
  }
  summary_line();
  return 0;
}

// Closes the files in the order of the shutdown: deck, listing, result files,
// then an end-of-file mark on scratch units 1 and 2.
void shutdown(Units& units) {
  units.deck().close();
  for (int u = 16; u <= 21; ++u)
    if (units.is_open(u)) units.text(u).close();
  for (int u = 1; u <= 2; ++u)
    if (units.is_open(u)) units.records(u).end_file();
  units.close_all();
}

int run_guarded(std::string_view stdin_text, const std::string* path, const DriverOptions& opt,
                RunSummary* summary) {
  Units units;
  RunSummary s;
  int status = 0;
  try {
    status = run_sequence(stdin_text, path, opt, units, s);
  } catch (const Stop& s) {
    status = s.status;
  } catch (const FileError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "nlframe: %s\n", e.what());
    status = 2;
  }
  try {
    shutdown(units);
  } catch (const FileError& e) {
    std::fprintf(stderr, "nlframe: %s\n", e.what());
    if (status == 0) status = 2;
  }
  if (summary) *summary = s;
  return status;
}

}  // namespace

int run_with_input(std::string_view stdin_text, const DriverOptions& opt, RunSummary* summary) {
  return run_guarded(stdin_text, nullptr, opt, summary);
}

int run_deck(const std::string& path, const DriverOptions& opt, RunSummary* summary) {
  return run_guarded({}, &path, opt, summary);
}

int run_program() {
  // Read standard input a line at a time until the deck name is complete,
  // so that a name typed at a terminal needs no end-of-file.
  std::string input, line;
  while (std::getline(std::cin, line)) {
    input += line;
    input += '\n';
    try {
      read_name_item(input, "");
      break;
    } catch (const FileError&) {
      // Blank so far, or a quoted name that goes on: read another line.
    }
  }
  return run_with_input(input);
}

}  // namespace nlf
