// Time of the per-member work of one equilibrium iteration: the trial law
// and station sums of 200 fibres, five segments, the chain, the inversion of
// the inner system and the condensation; and of the whole member pass of a
// chain of 110 members on a team of one and of two threads (assembly,
// springs, penalties and the whole reduction of the band matrix included);
// and the member build and station sums of an HEB 300 read from a deck,
// with and without residual stresses.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "member/member_pass.h"
#include "model/structure.h"
#include "io/units.h"
#include "run/engine.h"
#include "solver/band.h"
#include "store/bind.h"
#include "storage/fibre_store.h"

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
    benchmark::DoNotOptimize(build_member(b.md, 1, b.f, Stiffness::Tangent, r));
    benchmark::DoNotOptimize(r.cond.KM.a.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemberBuild);

void BM_StationSums(benchmark::State& state) {
  BenchMember b;
  std::array<StationValues, NSTA> st;
  for (auto _ : state) {
    station_sums(b.md, 1, b.f, Stiffness::Tangent, st);
    benchmark::DoNotOptimize(st.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StationSums);

void BM_Condense(benchmark::State& state) {
  BenchMember b;
  std::array<StationValues, NSTA> st;
  station_sums(b.md, 1, b.f, Stiffness::Tangent, st);
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
    benchmark::DoNotOptimize(nlf::invert_matrix(12, b.data(), 12));
    benchmark::DoNotOptimize(b.a.data());
  }
}
BENCHMARK(BM_MatInvert);

}  // namespace

namespace {

using namespace nlf;

// A bowed chain of 110 members over joints 1..111, a spring at every tenth
// joint, the first joint held; the fibres take a bending increment that
// yields the outer ones.
struct BenchChain {
  static constexpr int NM = 110, NJ = NM + 1;
  std::unique_ptr<Stores> st = std::make_unique<Stores>();
  Model md;
  Units units;
  FibreStore fs;

  BenchChain() {
    Sizes sz;
    sz.MUMM = NM, sz.MUMJ = NJ, sz.MUMS = 1, sz.MUMR = NJ / 10, sz.MBAND = 6;
    bind_model(md, *st, sz);
    md.NJ = NJ, md.NM = NM, md.NEQ = 3 * NJ, md.MBAND = 6;
    md.E = 2100, md.E2 = 21, md.E3 = 21;
    for (int i = 1; i <= 3 * NJ; ++i) md.IEQ(i) = i;
    for (int i = 1; i <= NFIB; ++i) md.AREA(1, i) = 2.0, md.ZF(1, i) = -10.5 + i;
    for (int m = 1; m <= NM; ++m) {
      md.IJ(m, 1) = m, md.IJ(m, 2) = m + 1;
      md.ISEC(m) = 1;
      md.SYM(m) = 2.4, md.EYM(m) = 2.4 / 2100;
      for (int k = 1; k <= NPT; ++k) {
        const double s = (m - 1) + 0.2 * (k - 1);
        md.XM(m, k) = 300.0 * s;
        md.YM(m, k) = 3.0 * (k - 1) * (6 - k);
      }
    }
    md.NK = NJ / 10;
    for (int k = 1; k <= md.NK; ++k) {
      md.KJ(k) = 10 * k;
      for (int d = 1; d <= 3; ++d) md.KF(k, d) = 100.0 * d;
    }
    for (int d = 1; d <= 3; ++d) md.LTYPE((d - 1) * NJ + 1) = 1;
    fs.setup(st->FSTORE.data(), NM, true, units);
    fs.initialise(NM, md.SYM, md.EYM);
    fs.clear_increments(NM);
    fs.update_begin();
    for (int m = 1; m <= NM; ++m) {
      const MemberFibres f = fs.update_member(m);
      for (int k = 1; k <= NSTA; ++k)
        for (int i = 1; i <= NFIB; ++i)
          f.DEPS[MemberFibres::at(i, k)] = 0.0002 * md.ZF(1, i) * (k % 2 ? 1 : -1);
      fs.update_put(m);
    }
    fs.update_end();
  }
};

void BM_MemberPassChain(benchmark::State& state) {
  BenchChain c;
  MemberTeam team(static_cast<int>(state.range(0)), BenchChain::NM);
  MemberPassBuffers buffers(c.md);
  bool singular = false;
  for (auto _ : state) {
    const int taken = member_pass(c.md, c.fs, Stiffness::Tangent, singular, team, buffers);
    band_reduce(c.md.A(), c.md.NEQ, c.md.MBAND, taken + 1, c.md.NEQ - 1);  // the solve's share
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemberPassChain)->Arg(1)->Arg(2)->UseRealTime();

}  // namespace

namespace {

using namespace nlf;

// One member of a real HEB 300 (fy 2.4) as the structure input builds it
// from a deck, with the classic residual stresses (0.3 fy of compression at
// the flange tips, balanced on the 20 fibres: the S card the Python builder
// writes) or without them, so that both cases share their fibre areas,
// positions and bending increment; with them, the six flange strips are
// bundles of sub-fibres, each through the law with its own state.
struct BenchDeckMember {
  Stores st;
  Model md;
  FibreStore fs;
  MemberFibres f;

  explicit BenchDeckMember(bool residual) {
    namespace fsys = std::filesystem;
    const fsys::path dir = fsys::temp_directory_path() /
                           ("nlframe-bench-" + std::to_string(::getpid()) + (residual ? "-rs" : "-no"));
    fsys::create_directories(dir);
    {
      std::ofstream deck(dir / "member.dat");
      deck << "   0  0  1     ONE HEB 300 MEMBER\n"
              "P  0  0  0     2100.       21.       21.\n"
              "I  1  0  0       30.       30.       1.1       1.9       2.7       2.4\n"
           << (residual ? "S  1  0  0      -.72.419890074.419890074.419890074\n" : "")
           << "J  1  0  0        0.        0.\n"
              "J  2  0  0        0.      300.\n"
              "M  1  2  1        .2        .4        .6        .8      .001\n"
              "L 30  1  0\n";
    }
    QuietOutput quiet;
    Units units(quiet, dir);
    bind_model(md, st, Sizes{.MUMM = 1, .MUMJ = 2, .MUMR = 1, .MUMS = 1, .MBAND = 6, .MUMW = 1});
    units.deck().open((dir / "member.dat").string());
    units.open_text(16, "R.rst");
    fs.setup(st.FSTORE.data(), 1, true, units);
    std::string control;
    units.deck().next_or_fail(control, "the control card");
    read_structure(md, fs, units, '$', 1);
    fs.initialise_residual(md);
    if ((md.residual(1) != nullptr) != residual) throw std::runtime_error("the S card was not read");
    // The bending increment of the synthetic member above, scaled to the
    // depth: about 2 yield strains at the flanges, alternating by station.
    fs.clear_increments(1);
    fs.update_begin();
    const MemberFibres u = fs.update_member(1);
    for (int k = 1; k <= NSTA; ++k)
      for (int i = 1; i <= NFIB; ++i)
        u.DEPS[MemberFibres::at(i, k)] = 0.00015 * md.ZF(1, i) * (k % 2 ? 1 : -1);
    fs.update_put(1);
    fs.update_end();
    fs.pass_begin();
    f = fs.pass_member(1);
    std::error_code ec;
    fsys::remove_all(dir, ec);
  }
};

// Arg 0: the section without residual stresses, 1: with them.
void BM_MemberBuildDeck(benchmark::State& state) {
  BenchDeckMember b(state.range(0) != 0);
  MemberResult r;
  for (auto _ : state) {
    benchmark::DoNotOptimize(build_member(b.md, 1, b.f, Stiffness::Tangent, r));
    benchmark::DoNotOptimize(r.cond.KM.a.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemberBuildDeck)->Arg(0)->Arg(1);

void BM_StationSumsDeck(benchmark::State& state) {
  BenchDeckMember b(state.range(0) != 0);
  std::array<StationValues, NSTA> sv;
  for (auto _ : state) {
    station_sums(b.md, 1, b.f, Stiffness::Tangent, sv);
    benchmark::DoNotOptimize(sv.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StationSumsDeck)->Arg(0)->Arg(1);

}  // namespace
