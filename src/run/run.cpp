#include "run/run.h"

#include <signal.h>

#include <atomic>
#include <iostream>
#include <string>

#include "io/card.h"
#include "io/stop.h"
#include "run/engine.h"
#include "run/threads.h"

namespace nlf {

namespace {

// Set by SIGINT or SIGTERM while a program's run writes an HDF5 file: the
// run stops at its next iteration like a cancelled one, and closes the file
// whole. A second signal ends the process at once.
std::atomic<bool> g_signalled{false};

extern "C" void on_signal(int) { g_signalled.store(true); }

void stop_on_signals() {
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

int run_request(RunRequest& req, const DriverOptions& opt, RunSummary* summary) {
  if (opt.result_files.h5() && req.cancel == nullptr) req.cancel = &g_signalled;
  req.threads = opt.threads;
  req.force_scratch = opt.force_scratch;
  req.capacity = opt.capacity;
  req.results = opt.result_files;
  const RunResult r = run_deck(req, standard_streams());
  if (summary) *summary = r.summary;
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
  if (results.h5()) stop_on_signals();
  try {
    // Asked before the deck name is read: a bad NLFRAME_THREADS stops the
    // program before it waits for standard input.
    opt.threads = resolve_threads(0);
  } catch (const Stop& s) {
    standard_streams().error(s.message);
    return s.status;
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
