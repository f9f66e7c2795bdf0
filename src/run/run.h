// The program: the deck name from standard input, the thread count from the
// environment, then the run (run/engine.h) in the current folder.
#pragma once

#include <string_view>

#include "run/driver.h"

namespace nlf {

// Runs the whole program with the given standard-input text in the current
// folder, with opt.threads threads, and returns its exit status. When
// `summary` is given it receives the counts of the run.
int run_with_input(std::string_view stdin_text, const DriverOptions& opt = {},
                   RunSummary* summary = nullptr);

// The program: reads standard input, runs, returns the exit status.
int run_program();

}  // namespace nlf
