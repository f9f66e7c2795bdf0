#include "run/signals.h"

#include <csignal>

namespace nlf {

namespace {

// What the handler may touch: a lock-free atomic and a sig_atomic_t.
std::atomic<bool> g_cancel{false};
volatile std::sig_atomic_t g_signal = 0;
struct sigaction g_old_int, g_old_term;

static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_interrupt(int sig) {
  if (g_signal != 0) {
    // The second signal: the default action, at once.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  g_signal = sig;
  g_cancel.store(true);
}

}  // namespace

InterruptGuard::InterruptGuard() {
  g_signal = 0;
  g_cancel.store(false);
  struct sigaction sa {};
  sa.sa_handler = on_interrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, &g_old_int);
  sigaction(SIGTERM, &sa, &g_old_term);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_old_int, nullptr);
  sigaction(SIGTERM, &g_old_term, nullptr);
}

const std::atomic<bool>* InterruptGuard::flag() const { return &g_cancel; }

int InterruptGuard::signal_number() { return g_signal; }

std::string InterruptGuard::signal_name() {
  return g_signal == SIGINT ? "SIGINT" : g_signal == SIGTERM ? "SIGTERM" : "a signal";
}

}  // namespace nlf
