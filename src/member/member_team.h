// Threads that share the per-member work of an iteration. The team is made
// once before the load steps; each use hands it a member function and waits
// until every member is done. Members are taken in small chunks from a
// shared counter, so the split varies from run to run, but each member's work
// is the same whichever thread does it: whatever is summed over members is
// summed afterwards, on the calling thread, in member order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace nlf {

// The thread count from NLFRAME_THREADS: a positive integer, or when the
// variable is unset or empty the number of cores of the machine. Any other
// value stops the run (status 1) with a message on standard error.
int threads_from_environment();

class MemberTeam {
 public:
  // A team of `threads` threads (the calling thread among them) for models
  // of up to `capacity` members. With one thread nothing is started.
  // `workspace` integers are set aside for the calling thread's ordered work.
  MemberTeam(int threads, int capacity, std::size_t workspace = 0);
  ~MemberTeam();
  MemberTeam(const MemberTeam&) = delete;
  MemberTeam& operator=(const MemberTeam&) = delete;

  int threads() const { return 1 + static_cast<int>(workers_.size()); }

  // Calls body(ctx, m) once for every member m = 1..nm, on all threads, and
  // returns when every call has returned.
  using Body = void (*)(void* ctx, int m);
  void run(int nm, Body body, void* ctx);

  // Like run, and the calling thread also calls ordered(ctx, m) for
  // m = 1..nm in member order, each as soon as body(ctx, m) has returned on
  // whichever thread took m. While the next member is not done yet, the
  // calling thread takes members itself. Before all that it calls
  // ordered(ctx, 0) once, while the other threads start on the members.
  void run_ordered(int nm, Body body, Body ordered, void* ctx);

  // The integers set aside at construction, or nullptr when fewer than n.
  int* workspace(std::size_t n) { return n <= work_.size() ? work_.data() : nullptr; }

  // Per-member results of the pass, kept until they are added in member
  // order: the condensed matrix and forces and the singular flag.
  double* KM(int m) { return &km_[static_cast<std::size_t>(m - 1) * 36]; }
  double* FM(int m) { return &fm_[static_cast<std::size_t>(m - 1) * 6]; }
  unsigned char& singular(int m) { return singular_[static_cast<std::size_t>(m - 1)]; }

 private:
  void worker_loop();
  void start_round(int nm, Body body, void* ctx);
  bool take_chunk();
  void take_members() {
    while (take_chunk()) {
    }
  }
  void await_workers();

  std::vector<std::thread> workers_;
  std::vector<double> km_, fm_;
  std::vector<unsigned char> singular_;
  std::vector<int> work_;
  // done_[m] holds the round in which member m was last done.
  std::unique_ptr<std::atomic<std::uint32_t>[]> done_;

  // The job of the current round.
  Body body_ = nullptr;
  void* ctx_ = nullptr;
  int nm_ = 0;
  int chunk_ = 2;                    // members taken at a time
  std::atomic<int> next_{0};         // next chunk to take
  std::atomic<std::uint32_t> round_{0};  // bumped to start a round
  std::uint32_t stamp_ = 0;              // the current round (read by workers
                                         // after they see round_ change)
  std::atomic<int> busy_{0};         // workers still in the round
  std::atomic<bool> stop_{false};
};

}  // namespace nlf
