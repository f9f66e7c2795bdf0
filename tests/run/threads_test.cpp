// The thread count of the program and of a run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "io/stop.h"
#include "run/threads.h"

namespace nlf {
namespace {

TEST(Threads, CountFromTheEnvironmentOrTheText) {
  ::setenv("NLFRAME_THREADS", "3", 1);
  EXPECT_EQ(threads_from_environment(), 3);
  ::setenv("NLFRAME_THREADS", "", 1);
  EXPECT_EQ(threads_from_environment(), machine_threads());
  for (const char* bad : {"0", "-2", "two", "2.5", " 2", "2 ", "257", "99999999999999999999"}) {
    EXPECT_EQ(parse_thread_count(bad), 0) << bad;
    ::setenv("NLFRAME_THREADS", bad, 1);
    try {
      threads_from_environment();
      ADD_FAILURE() << bad << " accepted";
    } catch (const Stop& s) {
      EXPECT_EQ(s.status, 1) << bad;
      EXPECT_NE(s.message.find(bad), std::string::npos) << s.message;
    }
  }
  ::unsetenv("NLFRAME_THREADS");
  EXPECT_GE(threads_from_environment(), 1);
  EXPECT_EQ(parse_thread_count("256"), 256);
}

}  // namespace
}  // namespace nlf
