// The exact tangent (X6 = 1 on the group card) against the usual one (X6 =
// 0) on three frames, whole runs on one thread:
//  - the portal pushed sideways past its peak by arc length (tolerance
//    1.0E-08), 40 steps;
//  - the 10-storey frame of 70 members pushed by 200 arc-length steps;
//  - the same frame in rectangular sections under heavy gravity, pushed
//    past its peak to 80 % of it;
//  - an elastic L-shaped frame with pinned ends and a point load on its beam
//    near the corner, through its limit point and snap-back (X3 = 1): with
//    an adaptive arc length (X4 = 8 with the usual tangent, which then
//    crawls; X4 = 4 with the exact one) and with a fixed arc length.
// Counters: steps, iterations a step, the group's first limit point (the
// first step whose load factor exceeds both neighbours') and its largest
// load factor; the time of a whole run is the benchmark's own.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run/run.h"
#include "support/card.h"

namespace {

using nlf::test::card;

std::string portal(double x6) {
  std::string d = "   0  0  1     PORTAL\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                  card('I', 1, 0, 0, {20, 10, 0.56, 0.85, 1.2, 2.4});
  const double xy[4][2] = {{0, 0}, {0, 300}, {600, 300}, {600, 0}};
  for (int j = 1; j <= 4; ++j) d += card('J', j, 0, 0, {xy[j - 1][0], xy[j - 1][1]});
  for (int m = 1; m <= 3; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('W', 0, 0, 0, {2.21, 2.11}) + card('L', 30, 1);
  d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {0, -8}) + card('B', 3, 0, 0, {0, -8}) +
       card('E', 0, 5, 5, {1e-8, 0, 0, 0, 0, x6});
  d += card('B', 1, 111) + card('B', 4, 111) + card('B', 2, 0, 0, {1, 0}) +
       card('E', 0, 40, 5, {1e-8, 1, 1, 0, 0, x6});
  return d + "F\n";
}

// The push-over of bench/whole_run.cpp: 3 bays, 10 storeys, 70 members.
std::string push70(double x6) {
  const int bays = 3, storeys = 10;
  std::string d = "   0  0999     BENCHMARK FRAME\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                  card('I', 1, 0, 0, {30, 15, 0.71, 1.07, 1.5, 2.4});
  const auto joint = [&](int f, int c) { return f * (bays + 1) + c + 1; };
  for (int f = 0; f <= storeys; ++f)
    for (int c = 0; c <= bays; ++c) d += card('J', joint(f, c), 0, 0, {600.0 * c, 350.0 * f});
  for (int f = 1; f <= storeys; ++f) {
    for (int c = 0; c <= bays; ++c) d += card('M', joint(f - 1, c), joint(f, c), 1, {0.2, 0.4, 0.6, 0.8});
    for (int c = 0; c < bays; ++c)
      d += card('M', joint(f, c), joint(f, c + 1), 1, {0.2, 0.4, 0.6, 0.8, 0, 0, 0.002});
  }
  d += card('L', 30, 1);
  for (int c = 0; c <= bays; ++c) d += card('B', joint(0, c), 111, 0, {});
  for (int f = 1; f <= storeys; ++f) d += card('B', joint(f, 0), 0, 0, {0.3, 0});
  d += card('E', 0, 200, 5, {1e-8, 1, 0, 0, 0, x6});
  return d + "F\n";
}

// The same 10 storeys of 3 bays in a 30 x 30 cm rectangle under heavy
// gravity (5 steps of 25 t at every joint), then pushed sideways by arc
// length past the peak of the base shear (X3 = 1, X4 = 4) to 80 % of it.
std::string heavy(double x6) {
  const int bays = 3, storeys = 10;
  std::string d = "   0  0999     HEAVY FRAME\n" + card('P', 0, 0, 0, {2100, 21, 21}) +
                  card('O', 1, 0, 0, {30, 30, 0, 0, 0, 2.4});
  const auto joint = [&](int f, int c) { return f * (bays + 1) + c + 1; };
  for (int f = 0; f <= storeys; ++f)
    for (int c = 0; c <= bays; ++c) d += card('J', joint(f, c), 0, 0, {600.0 * c, 350.0 * f});
  for (int f = 1; f <= storeys; ++f) {
    for (int c = 0; c <= bays; ++c) d += card('M', joint(f - 1, c), joint(f, c), 1, {0.2, 0.4, 0.6, 0.8});
    for (int c = 0; c < bays; ++c) d += card('M', joint(f, c), joint(f, c + 1), 1, {0.2, 0.4, 0.6, 0.8});
  }
  d += card('L', 30, 1);
  std::string supports;
  for (int c = 0; c <= bays; ++c) supports += card('B', joint(0, c), 111);
  d += supports;
  for (int f = 1; f <= storeys; ++f)
    for (int c = 0; c <= bays; ++c) d += card('B', joint(f, c), 0, 0, {0, -25});
  d += card('E', 0, 5, 5, {1e-8, 0, 0, 0, 0, x6}) + supports;
  for (int f = 1; f <= storeys; ++f) d += card('B', joint(f, 0), 0, 0, {0.1 * f, 0});
  d += card('E', 0, 120, 5, {1e-8, 2, 1, 4, 0.8, x6});
  return d + "F\n";
}

// Column (0,0)-(0,120) and beam (0,120)-(120,120) of a 2 x 3 cm rectangle
// (E = 720, kept elastic), pinned at both ends, 1 t down at 24 cm from the
// corner.
std::string lframe(double x6, double x4, double arclen, int steps) {
  std::string d = "   0  0999     L-SHAPED FRAME\n" + card('P', 0, 0, 0, {720, 7.2, 7.2}) +
                  card('O', 1, 0, 0, {2, 3, 0, 0, 0, 1e6});
  const double xy[4][2] = {{0, 0}, {0, 120}, {24, 120}, {120, 120}};
  for (int j = 1; j <= 4; ++j) d += card('J', j, 0, 0, {xy[j - 1][0], xy[j - 1][1]});
  for (int m = 1; m <= 3; ++m) d += card('M', m, m + 1, 1, {0.2, 0.4, 0.6, 0.8});
  d += card('L', 30, 1) + card('B', 1, 110) + card('B', 4, 110) + card('B', 3, 0, 0, {0, -1}) +
       card('E', 0, steps, 1, {1e-8, arclen, 1, x4, 0, x6});
  return d + "F\n";
}

// The load factor of the last group after each of its steps, from the
// DRAMDI column of the listing (every solve's increment is printed once).
std::vector<double> load_factors(const std::filesystem::path& listing) {
  std::ifstream in(listing);
  std::vector<double> lf;
  std::string line;
  double sum = 0, step = 0;
  bool in_step = false;
  while (std::getline(in, line)) {
    if (line.rfind(" STEP ", 0) == 0) {
      if (in_step) lf.push_back(sum += step);
      in_step = true;
      step = 0;
      continue;
    }
    std::istringstream fields(line);
    int it;
    double a, b, r, dlam;
    if (in_step && line.size() > 80 && line[0] == ' ' && (fields >> it >> a >> b >> r >> dlam)) step += dlam;
  }
  if (in_step) lf.push_back(sum + step);
  return lf;
}

void run_deck(benchmark::State& state, const std::string& deck, int group_start) {
  const auto dir = std::filesystem::temp_directory_path() / ("nlframe-exact-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  std::ofstream(dir / "deck.dat") << deck;
  ::setenv("NLFRAME_THREADS", "1", 1);
  nlf::RunSummary s;
  for (auto _ : state) {
    s = nlf::RunSummary{};
    if (nlf::run_with_input("deck.dat\n", nlf::DriverOptions{}, &s) != 0) state.SkipWithError("run failed");
  }
  ::unsetenv("NLFRAME_THREADS");
  std::vector<double> lf = load_factors(dir / "R.rst");
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);

  // The group's load factors: those of the pushing group, counted from its
  // first step (the steps before belong to the gravity group).
  std::vector<double> g;
  for (std::size_t k = static_cast<std::size_t>(group_start); k < lf.size(); ++k)
    g.push_back(lf[k] - (group_start > 0 ? lf[group_start - 1] : 0.0));
  double limit = 0, largest = 0;
  for (std::size_t k = 0; k < g.size(); ++k) {
    largest = std::max(largest, g[k]);
    if (limit == 0 && k > 0 && k + 1 < g.size() && g[k] >= g[k - 1] && g[k] > g[k + 1]) limit = g[k];
  }
  state.counters["steps"] = s.steps;
  state.counters["it_per_step"] = static_cast<double>(s.iterations) / s.steps;
  state.counters["not_conv"] = s.not_converged;
  state.counters["limit_point"] = limit;
  state.counters["largest"] = largest;
}

void BM_Portal(benchmark::State& s) { run_deck(s, portal(s.range(0)), 5); }
void BM_Push70(benchmark::State& s) { run_deck(s, push70(s.range(0)), 0); }
void BM_HeavyPush(benchmark::State& s) { run_deck(s, heavy(s.range(0)), 5); }
// X6 = 0 with X4 = 8, X6 = 1 with X4 = 4.
void BM_LFrameAdaptive(benchmark::State& s) {
  run_deck(s, lframe(s.range(0), s.range(0) ? 4 : 8, 0.5, 300), 0);
}
void BM_LFrameFixed(benchmark::State& s) { run_deck(s, lframe(s.range(0), 0, 0.2, 400), 0); }

BENCHMARK(BM_Portal)->ArgName("X6")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Push70)->ArgName("X6")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeavyPush)->ArgName("X6")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LFrameAdaptive)->ArgName("X6")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LFrameFixed)->ArgName("X6")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
