#include "output/background_sink.h"

#include <algorithm>
#include <utility>

#include "output/h5_file.h"

namespace nlf {

namespace {

template <class T>
void copy_into(const std::vector<T>& from, std::vector<T>& to, std::size_t n) {
  std::copy(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(n), to.begin());
}

}  // namespace

BackgroundSink::BackgroundSink(ResultSink& inner, const Sizes& sizes)
    : inner_(inner), copy_(sizes), thread_([this] { work(); }) {}

BackgroundSink::~BackgroundSink() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BackgroundSink::wait_idle(std::unique_lock<std::mutex>& lock) {
  cv_.wait(lock, [this] { return !busy_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void BackgroundSink::write(const StepTables& t, unsigned parts) {
  std::unique_lock<std::mutex> lock(mutex_);
  wait_idle(lock);
  // Only what is written is copied; the vectors keep their size.
  copy_.step = t.step;
  copy_.detail = t.detail;
  copy_.parts = t.parts;
  copy_.NJ = t.NJ, copy_.NM = t.NM, copy_.NW = t.NW;
  const auto nj = static_cast<std::size_t>(t.NJ), nm = static_cast<std::size_t>(t.NM);
  const auto nw = static_cast<std::size_t>(t.NW);
  copy_into(t.joint, copy_.joint, nj);
  copy_into(t.ends, copy_.ends, 2 * nm);
  copy_into(t.curve_codes, copy_.curve_codes, nw * StepTables::kCurveColumns);
  copy_into(t.curve_count, copy_.curve_count, nw);
  if (parts & kJointParts) {
    copy_into(t.joint_forces, copy_.joint_forces, nj * StepTables::kJointColumns);
    copy_into(t.joint_disp, copy_.joint_disp, nj * StepTables::kJointColumns);
  }
  if (parts & kCurveParts) copy_into(t.curves, copy_.curves, nw * StepTables::kCurveColumns);
  if (parts & kMemberParts) copy_into(t.member_forces, copy_.member_forces, nm * StepTables::kMemberColumns);
  if (parts & kNodeParts) copy_into(t.nodes, copy_.nodes, nm * NPT * StepTables::kNodeColumns);
  if (parts & kFibreParts) {
    copy_into(t.stress, copy_.stress, nm * NFM);
    copy_into(t.strain, copy_.strain, nm * NFM);
    copy_into(t.state, copy_.state, nm * NFM);
  }
  parts_ = parts;
  busy_ = true;
  lock.unlock();
  cv_.notify_all();
}

void BackgroundSink::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return !busy_; });
  stop_ = true;
  lock.unlock();
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void BackgroundSink::work() {
  h5_quiet_errors();
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    cv_.wait(lock, [this] { return busy_ || stop_; });
    if (!busy_) return;
    lock.unlock();
    std::exception_ptr failure;
    try {
      inner_.write(copy_, parts_);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure ? failure : failure_;
    busy_ = false;
    cv_.notify_all();
  }
}

}  // namespace nlf
