// Threads that share the per-member work of an iteration. The team is made
// once before the load steps; each use hands it a member function and waits
// until every member is done. Members are taken in small chunks from a
// shared counter, so the split varies from run to run, but each member's work
// is the same whichever thread does it: whatever is summed over members is
// summed afterwards, on the calling thread, in member order.
#pragma once

#include <atomic>
#include <cstdint>
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
  MemberTeam(int threads, int capacity);
  ~MemberTeam();
  MemberTeam(const MemberTeam&) = delete;
  MemberTeam& operator=(const MemberTeam&) = delete;

  int threads() const { return 1 + static_cast<int>(workers_.size()); }

  // Calls body(ctx, m) once for every member m = 1..nm, on all threads, and
  // returns when every call has returned.
  using Body = void (*)(void* ctx, int m);
  void run(int nm, Body body, void* ctx);

  // Per-member results of the pass, kept until they are added in member
  // order: the condensed matrix and forces and the singular flag.
  double* KM(int m) { return &km_[static_cast<std::size_t>(m - 1) * 36]; }
  double* FM(int m) { return &fm_[static_cast<std::size_t>(m - 1) * 6]; }
  unsigned char& singular(int m) { return singular_[static_cast<std::size_t>(m - 1)]; }

 private:
  void worker_loop();
  void take_members();

  std::vector<std::thread> workers_;
  std::vector<double> km_, fm_;
  std::vector<unsigned char> singular_;

  // The job of the current round.
  Body body_ = nullptr;
  void* ctx_ = nullptr;
  int nm_ = 0;
  int chunk_ = 2;                    // members taken at a time
  std::atomic<int> next_{0};         // next chunk to take
  std::atomic<std::uint32_t> round_{0};  // bumped to start a round
  std::atomic<int> busy_{0};         // workers still in the round
  std::atomic<bool> stop_{false};
};

}  // namespace nlf
