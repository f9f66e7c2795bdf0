// The run sequence: from reading the deck name to closing the files.
#pragma once

#include <string>
#include <string_view>

#include "run/driver.h"

namespace nlf {

// Runs the whole program with the given standard-input text in the current
// folder and returns its exit status.
// When `summary` is given it receives the counts of the run.
int run_with_input(std::string_view stdin_text, const DriverOptions& opt = {},
                   RunSummary* summary = nullptr);

// The same with the deck named by `path` (any length, any folder).
int run_deck(const std::string& path, const DriverOptions& opt = {}, RunSummary* summary = nullptr);

// The program: reads standard input, runs, returns the exit status.
int run_program();

}  // namespace nlf
