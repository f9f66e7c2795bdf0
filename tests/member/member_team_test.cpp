#include "member/member_team.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "io/stop.h"

namespace nlf {
namespace {

TEST(MemberTeam, EveryMemberOnceInEveryRoundWhateverTheThreadCount) {
  for (int threads : {1, 2, 3}) {
    MemberTeam team(threads, 9);
    std::vector<int> seen(10, 0);
    for (int round = 0; round < 50; ++round)
      team.run(9, [](void* ctx, int m) { ++(*static_cast<std::vector<int>*>(ctx))[m]; }, &seen);
    for (int m = 1; m <= 9; ++m) EXPECT_EQ(seen[m], 50) << threads << " threads, member " << m;
    EXPECT_EQ(seen[0], 0);
  }
  EXPECT_EQ(MemberTeam(4, 1).threads(), 1);  // no thread for a member too few
}

// Members of uneven cost make the threads take from each other's ranges, and
// a smaller model after a larger one shares the members out anew.
TEST(MemberTeam, EveryMemberOnceWhenThreadsTakeFromEachOther) {
  for (int threads : {2, 3}) {
    MemberTeam team(threads, 30);
    for (int nm : {30, 7, 30}) {
      std::vector<std::atomic<int>> seen(31);
      for (int round = 0; round < 20; ++round)
        team.run(nm, [](void* ctx, int m) {
          if (m % 5 == 1) std::this_thread::sleep_for(std::chrono::microseconds(50));
          (*static_cast<std::vector<std::atomic<int>>*>(ctx))[m].fetch_add(1);
        }, &seen);
      for (int m = 0; m <= 30; ++m)
        EXPECT_EQ(seen[m].load(), m >= 1 && m <= nm ? 20 : 0) << threads << " threads, " << nm << " members, member " << m;
    }
  }
}

TEST(MemberTeam, OrderedCallsInMemberOrderEachAfterItsMember) {
  struct Log {
    std::vector<std::atomic<int>> built = std::vector<std::atomic<int>>(41);
    std::vector<int> order;
    bool late = false;  // an ordered call before its member was built

    static void build(void* ctx, int m) { static_cast<Log*>(ctx)->built[m].fetch_add(1); }
    static void ordered(void* ctx, int m) {
      Log& l = *static_cast<Log*>(ctx);
      if (m == 0) {  // first of a round
        l.late = l.late || l.order.size() % 40 != 0;
        return;
      }
      l.late = l.late || l.built[m].load() != static_cast<int>(l.order.size()) / 40 + 1;
      l.order.push_back(m);
    }
  };
  for (int threads : {1, 2, 3}) {
    MemberTeam team(threads, 40);
    Log log;
    for (int round = 0; round < 20; ++round) team.run_ordered(40, log);
    EXPECT_FALSE(log.late) << threads << " threads";
    ASSERT_EQ(log.order.size(), 800u);
    for (std::size_t i = 0; i < log.order.size(); ++i)
      ASSERT_EQ(log.order[i], static_cast<int>(i % 40) + 1) << threads << " threads";
  }
}

}  // namespace
}  // namespace nlf
