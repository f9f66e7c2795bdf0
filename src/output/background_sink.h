// A sink that writes on a thread of its own: the step loop hands it a copy
// of the step's tables and goes on while the copy is compressed and
// written. It holds one step at a time: a step handed over while the last
// one is still being written waits for it. A failure of the writer is
// thrown at the next step handed over, or at finish().
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "output/result_sink.h"

namespace nlf {

class BackgroundSink : public ResultSink {
 public:
  // `sizes` as the step's tables (allocated once, here).
  BackgroundSink(ResultSink& inner, const Sizes& sizes);
  ~BackgroundSink() override;
  BackgroundSink(const BackgroundSink&) = delete;
  BackgroundSink& operator=(const BackgroundSink&) = delete;

  unsigned wants(int step) const override { return inner_.wants(step); }
  void write(const StepTables& t, unsigned parts) override;
  // Waits for the step in hand to be written and ends the thread; throws
  // the writer's failure, if any.
  void finish();

 private:
  void work();
  void wait_idle(std::unique_lock<std::mutex>& lock);

  ResultSink& inner_;
  StepTables copy_;
  unsigned parts_ = 0;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool busy_ = false, stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace nlf
