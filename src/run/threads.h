// The number of threads of a run's member loops, and the one rule that
// decides it.
#pragma once

#include <string>

namespace nlf {

constexpr int kMaxThreads = 256;  // more are refused as a likely mistake

// The count a text gives: a whole number from 1 to kMaxThreads, nothing
// else around it. Returns 0 for any other text.
int parse_thread_count(const std::string& text);

// The number of cores of the machine (at most kMaxThreads, at least 1).
int machine_threads();

// A run's thread count, as the engine decides it for every front end: a
// count from 1 to kMaxThreads is taken as given; 0 asks for the count
// NLFRAME_THREADS gives, or when it is unset or empty the number of cores.
// Any other count, or any other value of NLFRAME_THREADS, throws a Stop
// (status 1) with the line that says why.
int resolve_threads(int requested);

}  // namespace nlf
