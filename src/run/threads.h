// The number of threads of a run's member loops.
#pragma once

#include <string>

namespace nlf {

constexpr int kMaxThreads = 256;  // more are refused as a likely mistake

// The count a text gives: a whole number from 1 to kMaxThreads, nothing
// else around it. Returns 0 for any other text.
int parse_thread_count(const std::string& text);

// The number of cores of the machine (at most kMaxThreads, at least 1).
int machine_threads();

// The program's count, from NLFRAME_THREADS: the count it gives, or when it
// is unset or empty the number of cores. Any other value stops the program
// (status 1) with a line on standard error.
int threads_from_environment();

}  // namespace nlf
