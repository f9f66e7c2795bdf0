// Whole runs of multi-storey frames: about 110 members with the fibre state
// in memory and about 200 with it in scratch files, a few hundred
// iterations each. Reports the time per iteration and per member-iteration.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "run/run.h"

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

// A frame of `bays` bays and `storeys` storeys (bays of 600 cm, storeys of
// 350 cm) under gravity and a growing lateral load.
std::string frame(int bays, int storeys, int steps, int minit) {
  std::string d = "   0  0  1     BENCHMARK FRAME\n";
  d += card('P', 0, 0, 0, {2100, 21, 21});
  d += card('I', 1, 0, 0, {30, 15, 0.71, 1.07, 1.5, 2.4});
  const auto joint = [&](int floor, int col) { return floor * (bays + 1) + col + 1; };
  for (int f = 0; f <= storeys; ++f)
    for (int c = 0; c <= bays; ++c) d += card('J', joint(f, c), 0, 0, {600.0 * c, 350.0 * f});
  for (int f = 1; f <= storeys; ++f) {
    for (int c = 0; c <= bays; ++c) d += card('M', joint(f - 1, c), joint(f, c), 1, {0.2, 0.4, 0.6, 0.8});
    for (int c = 0; c < bays; ++c) d += card('M', joint(f, c), joint(f, c + 1), 1, {0.2, 0.4, 0.6, 0.8, 0, 0, 0.002});
  }
  d += card('L', 30, minit, 0, {});
  for (int c = 0; c <= bays; ++c) d += card('B', joint(0, c), 111, 0, {});
  for (int f = 1; f <= storeys; ++f) d += card('B', joint(f, 0), 0, 0, {0.3, 0});
  d += card('E', 0, steps, 5, {1e-10});
  return d + "F\n";
}

void run_frame(benchmark::State& state, int bays, int storeys, bool scratch) {
  const auto dir = std::filesystem::temp_directory_path() / ("nlframe-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  std::ofstream(dir / "deck.dat") << frame(bays, storeys, 20, 12);
  const int members = storeys * (2 * bays + 1);
  nlf::DriverOptions opt;
  opt.force_scratch = scratch;
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

void BM_Frame110Memory(benchmark::State& s) { run_frame(s, 5, 10, false); }
void BM_Frame110Scratch(benchmark::State& s) { run_frame(s, 5, 10, true); }
void BM_Frame204Scratch(benchmark::State& s) { run_frame(s, 8, 12, false); }

BENCHMARK(BM_Frame110Memory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame110Scratch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame204Scratch)->Unit(benchmark::kMillisecond);

}  // namespace
