// Time of the per-member work of one equilibrium iteration: the trial law
// and station sums of 200 fibres, five segments, the chain, the inversion of
// the inner system and the condensation.
#include <benchmark/benchmark.h>

#include <array>

#include "member/member_pass.h"
#include "store/bind.h"

namespace {

using namespace nlf;

struct BenchMember {
  Stores st;
  Model md;
  std::array<std::array<double, NFM>, 8> fib{};
  MemberFibres f;

  BenchMember() {
    Sizes sz;
    sz.MUMM = 1;
    sz.MUMJ = 2;
    sz.MUMS = 1;
    sz.MBAND = 6;
    bind_model(md, st, sz);
    md.NJ = 2;
    md.NM = 1;
    md.E = 2100;
    md.E2 = 21;
    md.E3 = 21;
    md.SYM(1) = 2.4;
    md.EYM(1) = 2.4 / 2100;
    md.ISEC(1) = 1;
    md.IJ(1, 1) = 1;
    md.IJ(1, 2) = 2;
    for (int i = 1; i <= NFIB; ++i) {
      md.AREA(1, i) = 2.0;
      md.ZF(1, i) = -10.5 + i;
    }
    for (int k = 1; k <= NPT; ++k) {
      md.XM(1, k) = 100.0 * (k - 1);
      md.YM(1, k) = 3.0 * (k - 1) * (6 - k);  // slightly bowed
    }
    f = {fib[0].data(), fib[1].data(), fib[2].data(), fib[3].data(),
         fib[4].data(), fib[5].data(), fib[6].data(), fib[7].data()};
    for (int k = 1; k <= NSTA; ++k)
      for (int i = 1; i <= NFIB; ++i) {
        const int at = MemberFibres::at(i, k);
        f.SIGU[at] = 2.4;
        f.SIGL[at] = -2.4;
        f.EPSU[at] = md.EYM(1);
        f.EPSL[at] = -md.EYM(1);
        // A bending gradient: the outer fibres yield, the inner stay elastic.
        f.DEPS[at] = 0.0002 * md.ZF(1, i) * (k % 2 ? 1 : -1);
      }
  }
};

void BM_MemberBuild(benchmark::State& state) {
  BenchMember b;
  MemberResult r;
  for (auto _ : state) {
    benchmark::DoNotOptimize(build_member(b.md, 1, b.f, 0, r));
    benchmark::DoNotOptimize(r.cond.KM.a.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemberBuild);

void BM_StationSums(benchmark::State& state) {
  BenchMember b;
  std::array<StationValues, NSTA> st;
  for (auto _ : state) {
    station_sums(b.md, 1, b.f, 0, st);
    benchmark::DoNotOptimize(st.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StationSums);

void BM_Condense(benchmark::State& state) {
  BenchMember b;
  std::array<StationValues, NSTA> st;
  station_sums(b.md, 1, b.f, 0, st);
  MemberResult r;
  for (auto _ : state) {
    benchmark::DoNotOptimize(condense_member(b.md, 1, st, r));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Condense);

}  // namespace

namespace {

void BM_MatInvert(benchmark::State& state) {
  nlf::Mat12 a;
  for (int i = 1; i <= 12; ++i)
    for (int j = 1; j <= 12; ++j) a(i, j) = (i == j ? 20.0 : 0.0) + 1.0 / (i + 2 * j);
  for (auto _ : state) {
    nlf::Mat12 b = a;
    benchmark::DoNotOptimize(nlf::MATINVERT(12, b.data(), 12));
    benchmark::DoNotOptimize(b.a.data());
  }
}
BENCHMARK(BM_MatInvert);

}  // namespace
