// Whole runs of multi-storey frames, reported per iteration and per
// member-iteration:
//  - the 10-storey frame of 110 members, 20 load steps of 30 iterations,
//    with the fibre state in memory and in scratch files, on one and on two
//    threads;
//  - the 12-storey frame of 204 members (its fibre state goes to scratch
//    files);
//  - the 10-storey frame of 70 members pushed over by 200 arc-length steps
//    (a few iterations each), with output every step and without output, on
//    one and on two threads.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "run/run.h"
#include "run/threads.h"

namespace {

std::string card(char ch, int i1, int i2, int i3, std::initializer_list<double> x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%c%3d%3d%3d", ch, i1, i2, i3);
  std::string s = buf;
  for (double v : x) {
    std::snprintf(buf, sizeof buf, "%10.3f", v);
    s += buf;
  }
  return s + "\n";
}

struct Run {
  int bays = 5, storeys = 10;
  int steps = 20, minit = 12;
  double arclen = 0;  // arc-length increment; 0 for load control
  int nprint = 1;     // output interval in steps
};

// A frame of `bays` bays and `storeys` storeys (bays of 600 cm, storeys of
// 350 cm) under gravity and a growing lateral load.
std::string frame(const Run& r) {
  char head[64];
  std::snprintf(head, sizeof head, "   0  0%3d     BENCHMARK FRAME\n", r.nprint);
  std::string d = head;
  d += card('P', 0, 0, 0, {2100, 21, 21});
  d += card('I', 1, 0, 0, {30, 15, 0.71, 1.07, 1.5, 2.4});
  const int bays = r.bays, storeys = r.storeys;
  const auto joint = [&](int floor, int col) { return floor * (bays + 1) + col + 1; };
  for (int f = 0; f <= storeys; ++f)
    for (int c = 0; c <= bays; ++c) d += card('J', joint(f, c), 0, 0, {600.0 * c, 350.0 * f});
  for (int f = 1; f <= storeys; ++f) {
    for (int c = 0; c <= bays; ++c) d += card('M', joint(f - 1, c), joint(f, c), 1, {0.2, 0.4, 0.6, 0.8});
    for (int c = 0; c < bays; ++c) d += card('M', joint(f, c), joint(f, c + 1), 1, {0.2, 0.4, 0.6, 0.8, 0, 0, 0.002});
  }
  d += card('L', 30, r.minit, 0, {});
  for (int c = 0; c <= bays; ++c) d += card('B', joint(0, c), 111, 0, {});
  for (int f = 1; f <= storeys; ++f) d += card('B', joint(f, 0), 0, 0, {0.3, 0});
  if (r.arclen > 0) {  // tolerance 1.0E-08: steps converge in a few iterations
    char e[64];
    std::snprintf(e, sizeof e, "E%3d%3d%3d   1.0E-08%10.3f\n", 0, r.steps, 5, r.arclen);
    d += e;
  } else {  // tolerance 0: every step runs to the iteration limit
    d += card('E', 0, r.steps, 5, {1e-10});
  }
  return d + "F\n";
}

void run_frame(benchmark::State& state, const Run& r, bool scratch, const char* threads) {
  const auto dir = std::filesystem::temp_directory_path() / ("nlframe-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  std::ofstream(dir / "deck.dat") << frame(r);
  const int members = r.storeys * (2 * r.bays + 1);
  nlf::DriverOptions opt;
  opt.force_scratch = scratch;
  opt.threads = nlf::parse_thread_count(threads);
  long iterations = 0;
  for (auto _ : state) {
    nlf::RunSummary s;
    if (nlf::run_with_input("deck.dat\n", opt, &s) != 0) state.SkipWithError("run failed");
    iterations += s.iterations;
  }
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
  state.counters["members"] = members;
  state.counters["iterations"] = static_cast<double>(iterations) / state.iterations();
  state.counters["per_iteration"] =
      benchmark::Counter(static_cast<double>(iterations), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["per_member_iteration"] = benchmark::Counter(
      static_cast<double>(iterations) * members, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const Run kFrame110{};
const Run kFrame204{8, 12};
const Run kPush70{3, 10, 200, 1, 1.0, 1};
const Run kPush70Quiet{3, 10, 200, 1, 1.0, 999};

void BM_Frame110Memory(benchmark::State& s) { run_frame(s, kFrame110, false, "1"); }
void BM_Frame110Memory2Threads(benchmark::State& s) { run_frame(s, kFrame110, false, "2"); }
void BM_Frame110Scratch(benchmark::State& s) { run_frame(s, kFrame110, true, "1"); }
void BM_Frame204Scratch(benchmark::State& s) { run_frame(s, kFrame204, false, "1"); }
void BM_Push70Output(benchmark::State& s) { run_frame(s, kPush70, false, "1"); }
void BM_Push70Quiet(benchmark::State& s) { run_frame(s, kPush70Quiet, false, "1"); }
void BM_Push70Output2Threads(benchmark::State& s) { run_frame(s, kPush70, false, "2"); }
void BM_Push70Quiet2Threads(benchmark::State& s) { run_frame(s, kPush70Quiet, false, "2"); }

BENCHMARK(BM_Frame110Memory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Frame110Memory2Threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Frame110Scratch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Frame204Scratch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Push70Output)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Push70Quiet)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Push70Output2Threads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Push70Quiet2Threads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
