// Ctrl-C and a polite kill on the command line: the first SIGINT or SIGTERM
// cancels the run, which ends where the cancel of a front end ends it (the
// files complete to the last step done, the summary written); a second one
// ends the program at once.
#pragma once

#include <atomic>
#include <string>

namespace nlf {

// While it lives, SIGINT and SIGTERM set the flag it hands out (the run's
// cancel flag) instead of killing the program; the handlers that were there
// before come back when it goes.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  const std::atomic<bool>* flag() const;
  // The signal that set the flag, 0 while none came.
  static int signal_number();
  // "SIGINT" or "SIGTERM" (the signal that set the flag).
  static std::string signal_name();
};

}  // namespace nlf
