// The thread count of the program and of a run: the one rule of the engine.
#include <gtest/gtest.h>

#include <cstdlib>

#include "io/stop.h"
#include "run/threads.h"

namespace nlf {
namespace {

TEST(Threads, CountFromTheEnvironmentOrTheText) {
  ::setenv("NLFRAME_THREADS", "3", 1);
  EXPECT_EQ(resolve_threads(0), 3);
  ::setenv("NLFRAME_THREADS", "", 1);
  EXPECT_EQ(resolve_threads(0), machine_threads());
  for (const char* bad : {"0", "-2", "two", "2.5", " 2", "2 ", "257", "99999999999999999999"}) {
    EXPECT_EQ(parse_thread_count(bad), 0) << bad;
    ::setenv("NLFRAME_THREADS", bad, 1);
    try {
      resolve_threads(0);
      ADD_FAILURE() << bad << " accepted";
    } catch (const Stop& s) {
      EXPECT_EQ(s.status, 1) << bad;
      EXPECT_NE(s.message.find(std::string("NLFRAME_THREADS=") + bad + ":"), std::string::npos) << s.message;
    }
  }
  ::unsetenv("NLFRAME_THREADS");
  EXPECT_GE(resolve_threads(0), 1);
  EXPECT_EQ(parse_thread_count("256"), 256);
}

// A count given is taken as it is, whatever NLFRAME_THREADS says; one out of
// range stops with the engine's line.
TEST(Threads, CountGivenOverridesTheEnvironment) {
  ::setenv("NLFRAME_THREADS", "two", 1);
  EXPECT_EQ(resolve_threads(2), 2);
  EXPECT_EQ(resolve_threads(kMaxThreads), kMaxThreads);
  for (int bad : {-1, kMaxThreads + 1}) {
    try {
      resolve_threads(bad);
      ADD_FAILURE() << bad << " accepted";
    } catch (const Stop& s) {
      EXPECT_EQ(s.status, 1);
      EXPECT_EQ(s.message, "nlframe: " + std::to_string(bad) +
                               " threads: the number of threads must be a whole number from 1 to 256");
    }
  }
  ::unsetenv("NLFRAME_THREADS");
}

}  // namespace
}  // namespace nlf
