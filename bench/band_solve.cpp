// Time of one band solve per equation, for frame-sized systems.
//   band_solve --benchmark_counters_tabular=true
// Arguments: NEQ, MBAND, NRHS (2 under arc-length control).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "solver/band.h"

namespace {

using namespace nlf;

void BM_BandSolve(benchmark::State& state) {
  const int neq = static_cast<int>(state.range(0));
  const int mband = static_cast<int>(state.range(1));
  const int nrhs = static_cast<int>(state.range(2));
  const int nj = neq / 3;

  // A diagonally dominant band, as an assembled stiffness with supports is;
  // every pivot stays positive, so the listing is never written.
  std::mt19937 gen(12345);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> a0(std::size_t(neq) * mband, 0.0), b0(std::size_t(neq) * nrhs);
  for (int i = 0; i < neq; ++i) {
    a0[i] = 2.0 * mband + 1.0;
    for (int j = 2; j <= mband && i + j <= neq; ++j) a0[i + std::size_t(j - 1) * neq] = u(gen);
  }
  for (double& v : b0) v = u(gen);
  std::vector<double> a(a0.size()), b(b0.size()), x(b0.size());
  std::vector<int> ieq(3 * nj), ltype(3 * nj, 0);
  for (int s = 0; s < 3 * nj; ++s) ieq[s] = s + 1;

  const RMat A(a.data(), neq, mband), B(b.data(), neq, nrhs), X(x.data(), neq, nrhs);
  const IVec IEQ(ieq.data(), 3 * nj), LTYPE(ltype.data(), 3 * nj);
  TextOut listing;
  double detlog = 0.0;

  for (auto _ : state) {
    state.PauseTiming();
    std::copy(a0.begin(), a0.end(), a.begin());
    std::copy(b0.begin(), b0.end(), b.begin());
    state.ResumeTiming();
    band_solve(neq, mband, nrhs, B, A, X, LTYPE, nj, detlog, IEQ, nj, listing);
    benchmark::DoNotOptimize(x.data());
    benchmark::ClobberMemory();
  }
  if (!std::isfinite(detlog)) state.SkipWithError("pivot test failed");
  state.counters["per_equation"] = benchmark::Counter(
      static_cast<double>(neq),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_BandSolve)
    ->Args({300, 30, 1})
    ->Args({500, 30, 1})
    ->Args({750, 30, 1})
    ->Args({1000, 30, 1})
    ->Args({1000, 30, 2})
    ->Args({1000, 60, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
