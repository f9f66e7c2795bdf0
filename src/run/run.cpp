#include "run/run.h"

#include <signal.h>

#include <atomic>
#include <iostream>
#include <string>

#include "io/card.h"
#include "io/stop.h"
#include "run/engine.h"
#include "run/run_record.h"
#include "run/signals.h"
#include "run/threads.h"

namespace nlf {

namespace {

// The exit status of a run ended by a signal, as a shell gives it.
constexpr int kSignalStatus = 128;
// The status of a bad command line or environment.
constexpr int kUsageStatus = 2;

int run_request(RunRequest& req, const DriverOptions& opt, RunSummary* summary) {
  req.threads = opt.threads;
  req.force_scratch = opt.force_scratch;
  req.capacity = opt.capacity;
  // The first SIGINT or SIGTERM cancels the run where a front end's cancel
  // ends it; the second ends the program at once.
  InterruptGuard interrupts;
  req.cancel = interrupts.flag();
  req.cancel_cause = [] { return "interrupted by " + InterruptGuard::signal_name(); };
  req.results = opt.result_files;
  const RunResult r = run_deck(req, standard_streams());
  if (summary) *summary = r.summary;
  // A run that wrote its files leaves the record of itself, as a run of the
  // Python package does.
  if (r.status == 0 || r.started) {
    const std::string deck = req.deck_name.empty() ? req.deck : req.deck_name;
    const std::string why = write_run_record(r, deck, req.folder);
    if (!why.empty()) standard_streams().error("nlframe: warning: " + why);
  }
  if (r.status == kCancelled && InterruptGuard::signal_number() != 0)
    return kSignalStatus + InterruptGuard::signal_number();
  return r.status;
}

}  // namespace

int run_with_input(std::string_view stdin_text, const DriverOptions& opt, RunSummary* summary) {
  RunRequest req;
  try {
    req.deck = read_name_item(stdin_text, std::string(16, ' '));
  } catch (const FileError& e) {
    standard_streams().error(std::string("nlframe: ") + e.what());
    return 2;
  }
  while (!req.deck.empty() && req.deck.back() == ' ') req.deck.pop_back();
  return run_request(req, opt, summary);
}

int run_named(const std::string& deck, const std::filesystem::path& folder, const DriverOptions& opt,
              RunSummary* summary) {
  RunRequest req;
  req.deck = deck;
  req.folder = folder;
  // The deck is found from the current folder whatever the run's folder;
  // the messages name it as given.
  if (!folder.empty()) {
    std::error_code ec;
    const std::filesystem::path abs = std::filesystem::absolute(deck, ec);
    if (!ec) {
      req.deck = abs.string();
      req.deck_name = deck;
    }
  }
  return run_request(req, opt, summary);
}

int run_program(const std::string* deck, const std::filesystem::path& folder, const Capacity& capacity,
                const ResultOptions& results) {
  DriverOptions opt;
  opt.capacity = capacity;
  opt.result_files = results;
  try {
    // Asked before the deck name is read: a bad NLFRAME_THREADS stops the
    // program before it waits for standard input.
    opt.threads = resolve_threads(0);
  } catch (const Stop& s) {
    // A bad environment is refused like a bad command line.
    standard_streams().error(s.message);
    return kUsageStatus;
  }
  if (deck) return run_named(*deck, folder, opt);
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
  return run_with_input(input, opt);
}

}  // namespace nlf
