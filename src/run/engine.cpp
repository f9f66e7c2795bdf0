// The run sequence of one deck: the files opened in the run's folder, the
// control card, the sizes and the layout, the driver, and the shutdown that
// closes every file whatever way the run ended.
#include "run/engine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "io/stop.h"
#include "io/banner.h"
#include "deck/control.h"
#include "deck/workspace.h"
#include "io/card.h"
#include "run/deck_guard.h"
#include "run/driver.h"
#include "run/result_files.h"
#include "run/threads.h"
#include "store/bind.h"

namespace nlf {

namespace {

// How the summary line of a stopped run begins.
constexpr std::string_view kBeforeStop = "before the stop: ";
// How the summary line begins when a result file could not be written (the
// line after it names the files).
constexpr std::string_view kIncomplete = "incomplete results: ";

constexpr std::string_view kCannotWrite = ": cannot write";

// The line that names the files which could not be written, from the lines
// "nlframe: FILE: cannot write...", or empty when there are none.
std::string incomplete_text(const std::vector<std::string>& lines) {
  std::string names;
  for (const std::string& l : lines) {
    const std::size_t at = l.find(kCannotWrite);
    if (l.rfind("nlframe: ", 0) != 0 || at == std::string::npos) continue;
    const std::string name = l.substr(9, at - 9);
    if (("," + names + ",").find(", " + name + ",") != std::string::npos || names == name) continue;
    names += (names.empty() ? "" : ", ") + name;
  }
  if (names.empty()) return {};
  return "nlframe: the results are incomplete: " + names + " could not be written whole";
}

// A folder holds one run at a time: the run locks its listing for as long
// as it goes on (an advisory lock, which the system drops however the run
// ends), and a second run, from this process or another, is refused before
// it touches a file.
class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  void take(const std::string& listing, const std::filesystem::path& folder) {
    fd_ = ::open(listing.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;  // the listing's own open says why
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const std::string where = folder.empty() ? std::string(".") : folder.string();
      throw Stop{2, "nlframe: " + where + ": another run is going on in this folder"};
    }
  }

 private:
  int fd_ = -1;
};

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

// The sizes line, the two layouts and their capacity checks.
void print_sizes_and_layout(Units& units, const Sizes& sz, const Capacity& cap) {
  static const Format sizes_line("(1X,8I5)");
  static const Format real_last("(1X,'LAST /NMAX =',I7,'/1X',I7)");
  TextOut& listing = units.listing();
  listing.message({" MUMM,MUMJ,MUMP,MUMT,MUMR,MUMS,MBAND,MUMW"});
  listing.write(sizes_line, {sz.MUMM, sz.MUMJ, sz.MUMP, sz.MUMT, sz.MUMR, sz.MUMS, sz.MBAND, sz.MUMW});

  const Layout L = compute_layout(sz);
  const WorkspaceNeed integer = integer_workspace(L, cap), real = real_workspace(L, cap);
  listing.message({"INTEGER LAST/IMAX =", integer.need, "/", integer.have});
  if (!integer.fits()) {
    units.error_line("nlframe: %s", integer.text().c_str());
    throw Stop{1};
  }
  units.console().write(real_last, {real.need, real.have});
  if (!real.fits()) {
    units.error_line("nlframe: %s", real.text().c_str());
    throw Stop{1};
  }
}

void check_restart_units(Units& units, const RunControl& ctl, int nhist) {
  for (const UnitClash& c : restart_unit_clashes(ctl, nhist)) {
    const std::string text = std::string("ERROR ... RESTART ") + (c.input ? "INPUT" : "OUTPUT") + " UNIT " +
                             std::to_string(c.unit) + " IS USED BY THE PROGRAM";
    units.listing().message({text});
    units.console().message({text});
    units.error_line("nlframe: %s", c.text().c_str());
    throw Stop{1};
  }
}

// Hands every line on and keeps those of standard error.
class Recorder : public RunOutput {
 public:
  explicit Recorder(RunOutput& next, std::vector<std::string>& lines) : next_(next), lines_(lines) {}
  void console(std::string_view line) override { next_.console(line); }
  void flush_console() override { next_.flush_console(); }
  void error(std::string_view line) override {
    lines_.emplace_back(line);
    next_.error(line);
  }

 private:
  RunOutput& next_;
  std::vector<std::string>& lines_;
};

void run_sequence(const RunRequest& req, const DriverOptions& opt, Units& units, RunSummary& s, FolderLock& lock,
                  std::optional<RunResults>& results) {
  const auto t0 = std::chrono::steady_clock::now();
  // A deck that the run would overwrite is refused before any file is
  // touched.
  const std::string clash = deck_among_outputs(units.in_folder(req.deck), req.folder);
  if (!clash.empty()) {
    const std::string shown = req.deck_name.empty() ? req.deck : req.deck_name;
    throw Stop{2, "nlframe: " + shown + ": the deck is the file " + clash +
                      " that its run writes, which would destroy it; rename the deck or run it with -o DIR"};
  }
  units.open_deck(req.deck, req.deck_name);
  // The deck is open and its first byte read before any output file is
  // touched; an empty deck stops here at its first card.
  if (units.deck().empty()) {
    std::string line;
    units.deck().next_or_fail(line, "the control card");
  }

  lock.take(units.in_folder("R.rst"), req.folder);
  // The modes of an earlier run in the folder are not this run's: a run
  // writes the file only at a V card. The record of the folder's last run
  // goes too: its files are overwritten now.
  std::error_code gone;
  std::filesystem::remove(units.in_folder("modes.rst"), gone);
  std::filesystem::remove(units.in_folder(".nlframe-run.json"), gone);
  units.open_text(16, "R.rst");
  write_banner(units.listing());
  // What an earlier run left in a store this run does not write would be
  // read as this run's: it goes. So does its results.h5 when this run
  // makes its own, so that a stop before the file is made leaves none.
  std::filesystem::remove(units.in_folder(kResultsH5), gone);
  for (const ResultFile& f : kResultFiles)
    if (!req.results.text_tables()) std::filesystem::remove(units.in_folder(f.name), gone);
  static const Format title("(/,/,10X,A)");
  for (const ResultFile& f : kResultFiles) {
    if (!req.results.text_tables()) break;
    units.open_text(f.unit, f.name);
    write_banner(units.text(f.unit));
    units.text(f.unit).write(title, {f.title});
  }
  units.open_scratch(1);
  units.open_scratch(2);

  RunControl ctl = read_control_card(units);

  check_restart_units(units, ctl, -1);
  Sizes sz;
  if (ctl.IRESIN != 0) {
    sz = read_restart_sizes(units, ctl, req.capacity.joints);
    sz.NRHS = scan_load_columns(units, kComment, ctl.control_line);
  } else {
    sz = counting_pass(units, kComment, req.capacity.joints);
  }
  // The stores: fixed, or as the model needs them.
  const Capacity cap = capacity_for(req.capacity, sz);
  print_sizes_and_layout(units, sz, cap);
  check_restart_units(units, ctl, sz.MUMW);

  auto stores = std::make_unique<Stores>(cap);
  Model md;
  bind_model(md, *stores, sz);
  const auto summary_line = [&](std::string_view lead) {
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    char time[32];
    std::snprintf(time, sizeof time, ", %.2f s", secs);
    // Built whole: with every peak named the line outgrows a message buffer.
    units.output().error("nlframe: " + std::string(lead) + summary_text(s) + time);
  };
  // The step's tables and their sinks, before the step loop.
  results.emplace(req.results, units, sz, req.deck, req.deck_name);
  DriverOptions with_sinks = opt;
  with_sinks.results = &results->output();
  try {
    run_driver(md, *stores, units, ctl, with_sinks, s);
  } catch (const FileError& e) {
    // A history without an F card ran all its groups: their summary comes
    // before the end-of-file stop. A result file that could not be written
    // (a full disk) stops the run: the steps done are summed up.
    if (s.history_ended)
      summary_line("");
    else if (s.steps > 0 && std::string_view(e.what()).find(kCannotWrite) != std::string_view::npos)
      summary_line(kIncomplete);
    throw;
  } catch (const Stop&) {
    // What the converged steps reached is kept: after the stop's own line,
    // their figures and the peaks of every group begun.
    if (s.steps > 0) summary_line(kBeforeStop);
    throw;
  }
  // The files are handed to the system before the summary, so that it can
  // say whether they hold every step.
  const std::vector<std::string> unwritten = units.flush_files();
  if (unwritten.empty()) {
    summary_line("");
    return;
  }
  for (const std::string& e : unwritten) units.output().error("nlframe: " + e);
  summary_line(kIncomplete);
  throw Stop{2};  // the shutdown names the files
}

// Closes the files in the order of the shutdown: deck, listing, result files,
// then an end-of-file mark on scratch units 1 and 2. Every file is closed
// whatever fails; returns the message of every failure.
std::vector<std::string> shutdown(Units& units) {
  std::vector<std::string> errors;
  const auto attempt = [&](auto&& step) {
    try {
      step();
    } catch (const FileError& e) {
      errors.emplace_back(e.what());
    }
  };
  attempt([&] { units.deck().close(); });
  for (int u = 16; u <= 21; ++u)
    if (units.is_open(u)) attempt([&] { units.text(u).close(); });
  for (int u = 1; u <= 2; ++u)
    if (units.is_open(u)) attempt([&] { units.records(u).end_file(); });
  units.close_all(&errors);
  return errors;
}

// The line that says why the run ended: the last one that is not a warning.
std::string reason(const std::vector<std::string>& lines) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    std::string_view l = *it;
    if (l.substr(0, 9) == "nlframe: ") l.remove_prefix(9);
    while (!l.empty() && l.front() == ' ') l.remove_prefix(1);
    if (l.substr(0, 8) != "warning:" && l.substr(0, kBeforeStop.size()) != kBeforeStop &&
        l.substr(0, kIncomplete.size()) != kIncomplete)
      return std::string(l);
  }
  return {};
}

std::string internal_error_text(const char* what) {
  return std::string("nlframe: internal error: ") + (what != nullptr && *what != '\0' ? what : "no detail");
}

constexpr const char* kUnknown = "an exception of unknown type";

RunResult run_once(const RunRequest& req, RunOutput& out) {
  const auto t0 = std::chrono::steady_clock::now();
  RunResult r;
  Recorder rec(out, r.messages);
  RunHooks hooks;
  hooks.cancel = req.cancel;
  hooks.cancel_cause = req.cancel_cause;
  hooks.progress = req.progress;
  DriverOptions opt;
  opt.force_scratch = req.force_scratch;
  opt.hooks = &hooks;
  opt.probe = req.probe;

  // A fault of the program: its line, and status 1 unless the run already
  // ended otherwise.
  const auto internal = [&](const char* what) {
    rec.error(internal_error_text(what));
    if (r.status == 0) {
      r.status = 1;
      r.internal_error = true;
    }
  };

  FolderLock lock;  // released after the files are closed
  Units units(rec, req.folder);
  std::optional<RunResults> results;
  try {
    opt.threads = resolve_threads(req.threads);
    run_sequence(req, opt, units, r.summary, lock, results);
  } catch (const Stop& s) {
    if (!s.message.empty()) rec.error(s.message);
    r.status = s.status;
  } catch (const FileError& e) {
    units.console().flush();
    rec.error(std::string("nlframe: ") + e.what());
    r.status = 2;
  } catch (const std::bad_alloc&) {
    rec.error("nlframe: out of memory");
    r.status = 1;
  } catch (const std::exception& e) {
    internal(e.what());  // none of the run's own stops
  } catch (...) {
    internal(kUnknown);
  }
  try {
    // The HDF5 file's summary says how the run ended, whatever way.
    if (results) {
      const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      results->finish(r.summary, r.status, r.status == 0 ? summary_text(r.summary) : reason(r.messages), secs);
    }
  } catch (const FileError& e) {
    rec.error(std::string("nlframe: ") + e.what());
    if (r.status == 0) r.status = 2;
  } catch (const std::exception& e) {
    internal(e.what());
  }
  results.reset();
  try {
    // Every file that could not be written is named, once.
    for (const std::string& e : shutdown(units)) {
      const std::string line = "nlframe: " + e;
      if (std::find(r.messages.begin(), r.messages.end(), line) != r.messages.end()) continue;
      rec.error(line);
      if (r.status == 0) r.status = 2;
    }
    const std::string incomplete = incomplete_text(r.messages);
    if (!incomplete.empty()) rec.error(incomplete);
  } catch (const std::exception& e) {
    internal(e.what());
  } catch (...) {
    internal(kUnknown);
  }
  r.started = hooks.started;
  r.message = r.status == 0 ? summary_text(r.summary) : reason(r.messages);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

// The result of a run that failed outside its own handlers: thrown while
// the run was being set up or reported on (memory running out, say).
RunResult setup_fault(RunOutput& out, const char* what) {
  RunResult r;
  r.status = 1;
  r.internal_error = true;
  try {
    std::string line = internal_error_text(what);
    r.message = line.substr(9);
    out.error(line);
    r.messages.push_back(std::move(line));
  } catch (...) {
    // Nothing more can be told.
  }
  return r;
}

}  // namespace

RunResult run_deck(const RunRequest& req, RunOutput& out) {
  try {
    return run_once(req, out);
  } catch (const std::exception& e) {
    return setup_fault(out, e.what());
  } catch (...) {
    return setup_fault(out, kUnknown);
  }
}

}  // namespace nlf
