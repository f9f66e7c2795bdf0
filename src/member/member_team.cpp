#include "member/member_team.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>

namespace nlf {

namespace {

constexpr int kFewest = 2;         // fewest members worth a thread

// The calling thread's share of the members against one worker's: a little
// less, since it also prepares the band matrix and adds every member to it.
constexpr double kMainWeight = 0.9;

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

MemberTeam::MemberTeam(int threads, int capacity)
    : done_(new std::atomic<std::uint32_t>[static_cast<std::size_t>(capacity > 0 ? capacity : 0) + 1]),
      claimed_(new std::atomic<std::uint32_t>[static_cast<std::size_t>(capacity > 0 ? capacity : 0) + 1]) {
  for (int m = 0; m <= std::max(capacity, 0); ++m) {
    done_[m].store(0, std::memory_order_relaxed);
    claimed_[m].store(0, std::memory_order_relaxed);
  }
  // More threads than a couple of members each would only wait.
  const int useful = (capacity + kFewest - 1) / kFewest;
  const int n = std::max(1, std::min(threads, useful));
  ranges_.reset(new Range[static_cast<std::size_t>(n)]);
  for (int i = 1; i < n; ++i) {
    try {
      workers_.emplace_back([this, i] { worker_loop(i); });
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

// The workers own the first ranges, in member order, and the calling thread
// the last. The calling thread adds the members in member order as the
// workers finish them, building its own members in between, and its own are
// done (or taken by workers from its far end) when it comes to them: the
// adding and the pivot rows behind it keep pace with the building instead
// of following it. (Owning the first range, it added the workers' members
// only after its own, with nobody left building.)
void MemberTeam::share_out(int nm) {
  shared_nm_ = nm;
  const int n = threads();
  const int mine = static_cast<int>(nm * kMainWeight / (kMainWeight + n - 1) + 0.5);
  int m = 0;
  for (int t = 1; t < n; ++t) {
    const int size = (nm - mine) / (n - 1) + (t <= (nm - mine) % (n - 1) ? 1 : 0);
    ranges_[t].first = m + 1;
    ranges_[t].last = m + size;
    m += size;
  }
  ranges_[0].first = m + 1;
  ranges_[0].last = nm;
}

int MemberTeam::take_own(int t) {
  Range& r = ranges_[t];
  if (r.front > r.last || !claim(r.front)) {
    r.front = r.last + 1;  // the rest was taken from the back
    return 0;
  }
  return r.front++;
}

int MemberTeam::take_other(int t) {
  const int n = threads();
  for (int k = 1; k < n; ++k) {
    Range& r = ranges_[(t + k) % n];
    const int m = r.back.load(std::memory_order_relaxed);
    if (m >= r.first && claim(m)) {
      r.back.store(m - 1, std::memory_order_relaxed);
      return m;
    }
  }
  return 0;
}

void MemberTeam::build(int m) {
  body_(ctx_, m);
  done_[m].store(stamp_, std::memory_order_release);
}

void MemberTeam::take_members(int t) {
  for (int m; (m = take_own(t)) != 0;) build(m);
  for (int m; (m = take_other(t)) != 0;) build(m);
}

void MemberTeam::worker_loop(int t) {
  std::uint32_t seen = 0;
  for (;;) {
    seen = await_change(round_, seen);
    if (stop_.load()) return;
    take_members(t);
    if (busy_.fetch_sub(1) == 1) busy_.notify_one();
  }
}

void MemberTeam::start_round(int nm, Body body, void* ctx) {
  body_ = body;
  ctx_ = ctx;
  if (nm != shared_nm_) share_out(nm);
  for (int t = 0; t < threads(); ++t) {
    ranges_[t].front = ranges_[t].first;
    ranges_[t].back.store(ranges_[t].last, std::memory_order_relaxed);
  }
  busy_.store(static_cast<int>(workers_.size()));
  stamp_ = round_.load(std::memory_order_relaxed) + 1;
  round_.fetch_add(1);  // publishes the job to the workers
  round_.notify_all();
}

void MemberTeam::await_workers() {
  for (int b = busy_.load(); b != 0;) b = await_change(busy_, b);
}

bool MemberTeam::shares(int nm) const { return !workers_.empty() && nm > kFewest; }

void MemberTeam::run(int nm, Body body, void* ctx) {
  if (!shares(nm)) {
    for (int m = 1; m <= nm; ++m) body(ctx, m);
    return;
  }
  start_round(nm, body, ctx);
  take_members(0);
  await_workers();
}

void MemberTeam::share_ordered(int nm, Body body, Body ordered, void* ctx) {
  start_round(nm, body, ctx);
  ordered(ctx, 0);
  for (int m = 1; m <= nm;) {
    if (done_[m].load(std::memory_order_acquire) == stamp_) {
      ordered(ctx, m++);
    } else if (const int own = take_own(0); own != 0) {
      build(own);
    } else if (const int other = take_other(0); other != 0) {
      build(other);
    } else {
      // Only members other threads are still working on are left.
      std::this_thread::yield();
    }
  }
  await_workers();
}

}  // namespace nlf
