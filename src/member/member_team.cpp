#include "member/member_team.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "io/stop.h"

namespace nlf {

namespace {

constexpr int kChunk = 2;          // fewest members taken at a time
constexpr long kMaxThreads = 256;  // more are refused as a likely mistake
// Rounds follow each other within a fraction of a millisecond (one solve
// apart): a waiting thread watches for the next one for a short while
// before it sleeps, since waking a sleeping thread costs about as much as a
// round. The watch is short so that a machine busy with other work loses
// little to it.
constexpr auto kWatch = std::chrono::microseconds(300);

// Waits until `v` no longer holds `old`: watching first, then sleeping.
template <class T>
T await_change(const std::atomic<T>& v, T old) {
  const auto until = std::chrono::steady_clock::now() + kWatch;
  for (int i = 1;; ++i) {
    const T now = v.load(std::memory_order_acquire);
    if (now != old) return now;
    // Give the core away at once if anything else wants it (on a machine
    // with more threads than free cores, the thread being waited for).
    std::this_thread::yield();
    if (i % 8 == 0 && std::chrono::steady_clock::now() > until) break;
  }
  v.wait(old);
  return v.load(std::memory_order_acquire);
}

}  // namespace

int threads_from_environment() {
  const char* v = std::getenv("NLFRAME_THREADS");
  if (v == nullptr || *v == '\0') {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxThreads));
  }
  bool digits = true;
  for (const char* p = v; *p; ++p) digits = digits && *p >= '0' && *p <= '9';
  errno = 0;
  const long n = digits ? std::strtol(v, nullptr, 10) : 0;
  if (!digits || errno != 0 || n < 1 || n > kMaxThreads) {
    std::fprintf(stderr,
                 "nlframe: NLFRAME_THREADS=%s: the number of threads must be a whole number from 1 "
                 "to %ld\n",
                 v, kMaxThreads);
    throw Stop{1};
  }
  return static_cast<int>(n);
}

MemberTeam::MemberTeam(int threads, int capacity, std::size_t workspace)
    : km_(static_cast<std::size_t>(capacity > 0 ? capacity : 0) * 36),
      fm_(static_cast<std::size_t>(capacity > 0 ? capacity : 0) * 6),
      singular_(static_cast<std::size_t>(capacity > 0 ? capacity : 0)),
      work_(workspace),
      done_(new std::atomic<std::uint32_t>[static_cast<std::size_t>(capacity > 0 ? capacity : 0) + 1]) {
  for (int m = 0; m <= std::max(capacity, 0); ++m) done_[m].store(0, std::memory_order_relaxed);
  // More threads than chunks of members would only wait.
  const int useful = (capacity + kChunk - 1) / kChunk;
  const int n = std::min(threads, useful);
  for (int i = 1; i < n; ++i) {
    try {
      workers_.emplace_back([this] { worker_loop(); });
    } catch (const std::system_error&) {
      break;  // the machine gives no more threads: work with those started
    }
  }
}

MemberTeam::~MemberTeam() {
  stop_.store(true);
  round_.fetch_add(1);
  round_.notify_all();
  for (std::thread& t : workers_) t.join();
}

bool MemberTeam::take_chunk() {
  const int first = next_.fetch_add(chunk_, std::memory_order_relaxed) + 1;
  if (first > nm_) return false;
  const int last = std::min(first + chunk_ - 1, nm_);
  for (int m = first; m <= last; ++m) {
    body_(ctx_, m);
    done_[m].store(stamp_, std::memory_order_release);
  }
  return true;
}

void MemberTeam::worker_loop() {
  std::uint32_t seen = 0;
  for (;;) {
    seen = await_change(round_, seen);
    if (stop_.load()) return;
    take_members();
    if (busy_.fetch_sub(1) == 1) busy_.notify_one();
  }
}

void MemberTeam::start_round(int nm, Body body, void* ctx) {
  body_ = body;
  ctx_ = ctx;
  nm_ = nm;
  // About sixteen chunks a thread: few enough that neighbouring members (whose
  // entries in the member tables share cache lines) mostly stay on one
  // thread, enough to even out the threads' shares.
  chunk_ = std::max(kChunk, nm / (16 * threads()));
  next_.store(0, std::memory_order_relaxed);
  busy_.store(static_cast<int>(workers_.size()));
  stamp_ = round_.load(std::memory_order_relaxed) + 1;
  round_.fetch_add(1);  // publishes the job to the workers
  round_.notify_all();
}

void MemberTeam::await_workers() {
  for (int b = busy_.load(); b != 0;) b = await_change(busy_, b);
}

void MemberTeam::run(int nm, Body body, void* ctx) {
  if (workers_.empty() || nm <= kChunk) {
    for (int m = 1; m <= nm; ++m) body(ctx, m);
    return;
  }
  start_round(nm, body, ctx);
  take_members();
  await_workers();
}

void MemberTeam::run_ordered(int nm, Body body, Body ordered, void* ctx) {
  if (workers_.empty() || nm <= kChunk) {
    ordered(ctx, 0);
    for (int m = 1; m <= nm; ++m) {
      body(ctx, m);
      ordered(ctx, m);
    }
    return;
  }
  start_round(nm, body, ctx);
  ordered(ctx, 0);
  for (int m = 1; m <= nm;) {
    if (done_[m].load(std::memory_order_acquire) == stamp_) {
      ordered(ctx, m++);
    } else if (!take_chunk()) {
      // Only members other threads are still working on are left.
      std::this_thread::yield();
    }
  }
  await_workers();
}

}  // namespace nlf
