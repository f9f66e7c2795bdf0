// The engine as a library: one deck run in a given folder with a given
// number of threads. The program is a thin shell over it; other front ends
// (the Python package) call it in-process, several runs at once in several
// threads if they like: a run keeps nothing outside its own objects, opens
// every file relative to its own folder and sends every message to its own
// output.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "io/units.h"
#include "run/driver.h"
#include "output/result_sink.h"
#include "run/report.h"

namespace nlf {

struct RunRequest {
  // The deck: a file name relative to the folder, or an absolute path. It
  // is named as given in the messages.
  std::string deck;
  std::string deck_name;         // how the messages name the deck, if not as `deck`
  std::filesystem::path folder;  // the run's files go here; empty: the current folder
  // Threads of the member loops, 1 to kMaxThreads, or 0 for NLFRAME_THREADS
  // or else every core (run/threads.h: the rule, applied by run_deck).
  int threads = 1;
  bool force_scratch = false;    // the fibre state in scratch files whatever the size
  // After every load step: its number and the load factor of its group.
  // Must not throw.
  std::function<void(int step, double load_factor)> progress;
  // Set from another thread to stop the run before its next iteration.
  const std::atomic<bool>* cancel = nullptr;
  // What set `cancel`, named in the stop's line; none: "cancelled".
  std::function<std::string()> cancel_cause;
  // The stores' capacities: today's fixed sizes, or Capacity::following()
  // to size them from the deck.
  Capacity capacity;
  // Where the tables go (text files, an HDF5 file, both) and which.
  ResultOptions results;
  // Tests only: faults forced on the steps of adaptive groups.
  const StepProbe* probe = nullptr;
};

struct RunResult {
  // 0 the run reached the F card; 1 it stopped on an error it found; 2 a
  // file could not be read; kCancelled (3) it was cancelled.
  int status = 0;
  // The line that says why the run stopped (without the program's name),
  // or the summary line of a run that reached its end.
  std::string message;
  RunSummary summary;  // also for a run that stopped
  bool started = false;  // the first load step began (a stop before it is the deck's)
  // The run stopped (status 1) on a fault of the program itself, not of the
  // deck: an exception that none of the run's own stops expects.
  bool internal_error = false;
  double seconds = 0;
  std::vector<std::string> messages;  // every line of standard error, as written
};

// Runs the deck. The console lines and the lines of standard error go to
// `out` as the run writes them; the result keeps the latter too. Throws
// nothing: a fault of the program ends the run with status 1 and an
// "internal error" line.
RunResult run_deck(const RunRequest& req, RunOutput& out);

// An output that keeps nothing of the console (the step lines) and only
// collects the lines of standard error (in RunResult::messages).
class QuietOutput : public RunOutput {
 public:
  void console(std::string_view) override {}
  void error(std::string_view) override {}
};

}  // namespace nlf
