// Threads that share the per-member work of an iteration. The team is made
// once before the load steps; each use hands it a member function and waits
// until every member is done. Each thread owns a fixed range of members that
// stays the same from one use to the next, so that a member's fibre state
// stays in the cache of the core that works on it; a thread done with its
// own range takes members from the far end of another's. Which thread does a
// member thus varies, but each member's work is the same whichever thread
// does it: whatever is summed over members is summed afterwards, on the
// calling thread, in member order. The team is a plain pool: it knows
// members only by their numbers, and whatever a loop keeps per member
// belongs to the loop. A team of several threads is for a fibre state in
// memory; the driver makes a team of one thread over scratch files, which
// hand out the members in order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace nlf {

class MemberTeam {
 public:
  // A team of `threads` threads (the calling thread among them) for models
  // of up to `capacity` members. With one thread nothing is started.
  MemberTeam(int threads, int capacity);
  ~MemberTeam();
  MemberTeam(const MemberTeam&) = delete;
  MemberTeam& operator=(const MemberTeam&) = delete;

  int threads() const { return 1 + static_cast<int>(workers_.size()); }

  // Calls body(ctx, m) once for every member m = 1..nm, on all threads, and
  // returns when every call has returned. When the team does not share the
  // members out (shares below) the calling thread alone calls it, for
  // m = 1..nm in order.
  using Body = void (*)(void* ctx, int m);
  void run(int nm, Body body, void* ctx);

  // Like run with body P::build, and the calling thread also calls
  // P::ordered(ctx, m) for m = 1..nm in member order, each as soon as
  // P::build(ctx, m) has returned on whichever thread took m; ctx = &pass.
  // While the next member is not done yet, the calling thread takes members
  // itself. Before all that it calls P::ordered(ctx, 0) once, while the
  // other threads start on the members. When the members are not shared
  // out: P::ordered(ctx, 0), then P::build and P::ordered for each member,
  // called directly.
  template <class P>
  void run_ordered(int nm, P& pass) {
    if (shares(nm)) return share_ordered(nm, P::build, P::ordered, &pass);
    P::ordered(&pass, 0);
    for (int m = 1; m <= nm; ++m) {
      P::build(&pass, m);
      P::ordered(&pass, m);
    }
  }

  // Whether run and run_ordered share nm members out (a team of several
  // threads, and more members than a couple); when not, the calling thread
  // does every member in order, and on run_ordered each P::ordered(ctx, m)
  // follows P::build(ctx, m) at once.
  bool shares(int nm) const;

 private:
  // The members owned by one thread: first..last, claimed from the front by
  // the owner and from the back by other threads.
  struct alignas(64) Range {
    int first = 1, last = 0;
    int front = 1;              // the owner's next member
    std::atomic<int> back{0};  // the next member for the other threads
  };

  void share_ordered(int nm, Body body, Body ordered, void* ctx);
  void worker_loop(int t);
  void start_round(int nm, Body body, void* ctx);
  void share_out(int nm);
  bool claim(int m) { return claimed_[m].exchange(stamp_, std::memory_order_acq_rel) != stamp_; }
  int take_own(int t);
  int take_other(int t);
  void build(int m);
  void take_members(int t);
  void await_workers();

  std::vector<std::thread> workers_;
  // done_[m] holds the round in which member m was last done, claimed_[m]
  // the round in which a thread last took it.
  std::unique_ptr<std::atomic<std::uint32_t>[]> done_, claimed_;
  // ranges_[0] is the calling thread's, ranges_[t] worker t's.
  std::unique_ptr<Range[]> ranges_;
  int shared_nm_ = -1;  // the member count the ranges were made for

  // The job of the current round.
  Body body_ = nullptr;
  void* ctx_ = nullptr;
  std::atomic<std::uint32_t> round_{0};  // bumped to start a round
  std::uint32_t stamp_ = 0;              // the current round (read by workers
                                         // after they see round_ change)
  std::atomic<int> busy_{0};         // workers still in the round
  std::atomic<bool> stop_{false};
};

}  // namespace nlf
