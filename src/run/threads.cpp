#include "run/threads.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "io/stop.h"

namespace nlf {

int parse_thread_count(const std::string& text) {
  if (text.empty()) return 0;
  for (char c : text)
    if (c < '0' || c > '9') return 0;
  errno = 0;
  const long n = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || n < 1 || n > kMaxThreads) return 0;
  return static_cast<int>(n);
}

int machine_threads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxThreads));
}

int resolve_threads(int requested) {
  const std::string rule = "the number of threads must be a whole number from 1 to " + std::to_string(kMaxThreads);
  if (requested != 0) {
    if (requested < 1 || requested > kMaxThreads)
      throw Stop{1, "nlframe: " + std::to_string(requested) + " threads: " + rule};
    return requested;
  }
  const char* v = std::getenv("NLFRAME_THREADS");
  if (v == nullptr || *v == '\0') return machine_threads();
  const int n = parse_thread_count(v);
  if (n == 0) throw Stop{1, std::string("nlframe: NLFRAME_THREADS=") + v + ": " + rule};
  return n;
}

}  // namespace nlf
