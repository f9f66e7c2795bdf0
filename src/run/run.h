// The program: the deck named on the command line or read from standard
// input, the thread count of NLFRAME_THREADS (the rule of run/threads.h),
// then the run (run/engine.h) in the current folder or the one asked for.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "run/driver.h"

namespace nlf {

// Runs the whole program with the given standard-input text in the current
// folder, with opt.threads threads, and returns its exit status. When
// `summary` is given it receives the counts of the run.
int run_with_input(std::string_view stdin_text, const DriverOptions& opt = {},
                   RunSummary* summary = nullptr);

// The same with the deck named by `deck` (any length, found from the current
// folder) and the run's files in `folder` (empty: the current folder).
int run_named(const std::string& deck, const std::filesystem::path& folder = {}, const DriverOptions& opt = {},
              RunSummary* summary = nullptr);

// The program: runs `deck` with its files in `folder`, or without a deck
// the one named on standard input; returns the exit status.
int run_program(const std::string* deck = nullptr, const std::filesystem::path& folder = {},
                const Capacity& capacity = {}, const ResultOptions& results = {});

}  // namespace nlf
