#include "storage/fibre_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "io/units.h"
#include "support/test_support.h"

namespace nlf {
namespace {

constexpr int NM = 3;
double SYMS[] = {2.4, 3.0, 3.6, 2.8, 3.2};
double EYMS[] = {0.0011, 0.0014, 0.0017, 0.0013, 0.0015};

// A store in either mode on its own store array, with any fort.N file kept
// in a temporary folder.
struct Harness {
  test::TempDir dir;
  test::InDir in{dir.path()};
  Units units;
  std::vector<double> fstore;
  FibreStore store;

  Harness(bool memory, int capacity) : fstore(8 * NFM * (memory ? capacity : 1), 0.0) {
    store.setup(fstore.data(), memory ? capacity : 1, memory, units);
  }
  // Array k (0..7) of the store, entry j.
  double at(int k, long j) const { return fstore[k * fstore.size() / 8 + j]; }
};

RVec sym_view() { return RVec(SYMS, 5); }
RVec eym_view() { return RVec(EYMS, 5); }

// A deterministic change of the increment, different for every member,
// fibre, step and iteration.
double change(int m, int i, int step, int iter) {
  return 1e-4 * ((m * 7 + i * 3 + step * 5 + iter) % 11 - 5);
}

// A simple stand-in for the fibre law in commit mode: every value moves.
void commit_fibre(const MemberFibres& v, int i) {
  const double d = v.DEPS[i];
  v.SIG[i] = std::clamp(v.SIG[i] + 2100 * d, v.SIGL[i], v.SIGU[i]);
  (d > 0 ? v.SIGU : v.SIGL)[i] += 21 * d;
  (d > 0 ? v.EPSU : v.EPSL)[i] += d;
  v.EPS[i] += d;
}

void push_state(std::vector<double>& seen, const MemberFibres& v, int i) {
  seen.insert(seen.end(), {v.SIGU[i], v.SIGL[i], v.EPSU[i], v.EPSL[i], v.SIG[i], v.EPS[i]});
}

// The committed state of members 1..nm as the results user sees it.
std::vector<double> results(FibreStore& s, int nm) {
  std::vector<double> out;
  s.results_begin();
  for (int m = 1; m <= nm; ++m) {
    const MemberFibres v = s.results_member(m);
    for (int i = 0; i < NFM; ++i) push_state(out, v, i);
  }
  s.results_end();
  return out;
}

// The users of one analysis: initial state, then per step the step start,
// `iters` member passes each followed by an increment update, the commit and
// the result read. Every value a user sees is appended to `seen`; `after`
// runs after every user.
void analyse(FibreStore& s, int nm, int steps, int iters, std::vector<double>& seen,
             const std::function<void()>& after = [] {}) {
  s.initialise(nm, sym_view(), eym_view());
  after();
  for (int step = 1; step <= steps; ++step) {
    s.clear_increments(nm);
    after();
    for (int iter = 1; iter <= iters; ++iter) {
      s.pass_begin();
      for (int m = 1; m <= nm; ++m) {
        const MemberFibres v = s.pass_member(m);
        for (int i = 0; i < NFM; ++i) {
          push_state(seen, v, i);
          seen.push_back(v.DEPS[i]);
          v.SIGT[i] = v.SIG[i] + 2100 * v.DEPS[i];
        }
      }
      s.pass_end();
      after();
      s.update_begin();
      for (int m = 1; m <= nm; ++m) {
        const MemberFibres v = s.update_member(m);
        for (int i = 0; i < NFM; ++i) v.DEPS[i] += change(m, i, step, iter);
        s.update_put(m);
      }
      s.update_end();
      after();
    }
    s.commit_begin();
    for (int m = 1; m <= nm; ++m) {
      const MemberFibres v = s.commit_member(m);
      for (int i = 0; i < NFM; ++i) commit_fibre(v, i);
      s.commit_put(m);
    }
    s.commit_end();
    after();
    const std::vector<double> res = results(s, nm);
    seen.insert(seen.end(), res.begin(), res.end());
    after();
  }
}

// Both modes through the same analysis see the same values. In scratch mode
// every user leaves both current files with NM x 200 records, the pairs swap
// after writing, and the current files hold the records in fibre order:
// record j is entry j of each memory array (array k at (k-1)*NM*200).
TEST(FibreStoreModes, SameAnalysisSameValuesAndFiles) {
  Harness mem(true, NM), scr(false, NM);
  std::vector<double> seen_mem, seen_scr;
  std::vector<int> units;
  analyse(mem.store, NM, 3, 3, seen_mem);
  analyse(scr.store, NM, 3, 3, seen_scr, [&] {
    units.push_back(10 * scr.store.state_unit() + scr.store.increment_unit() % 10);
    EXPECT_EQ(scr.store.state_records(), NM * NFM);
    if (units.size() > 1) {
      EXPECT_EQ(scr.store.increment_records(), NM * NFM);
    }
  });
  ASSERT_EQ(units.size(), 28u);
  // initial, then step 1: start, 3 x (pass, update), commit, results.
  const std::vector<int> step1 = {102, 102, 102, 103, 103, 102, 102, 103, 112, 112};
  EXPECT_EQ(std::vector<int>(units.begin(), units.begin() + 10), step1);
  EXPECT_EQ(units.back(), 112);  // three commits: an odd number of swaps
  ASSERT_EQ(seen_mem.size(), seen_scr.size());
  EXPECT_TRUE(seen_mem == seen_scr);
  EXPECT_NE(results(mem.store, NM), std::vector<double>(NM * NFM * 6, 0.0));

  RecordFile& st = scr.units.records(scr.store.state_unit());
  RecordFile& inc = scr.units.records(scr.store.increment_unit());
  for (long j = 0; j < NM * NFM; ++j) {
    double r[6], d;
    st.read_reals(r, 6);
    inc.read_reals(&d, 1);
    for (int k = 0; k < 6; ++k) ASSERT_EQ(r[k], mem.at(k, j)) << "record " << j << " value " << k;
    ASSERT_EQ(d, mem.at(6, j)) << "record " << j;
  }
  EXPECT_TRUE(st.at_end() && inc.at_end());
  st.rewind();
  inc.rewind();
}

// A member the caller skips, or changes without putting back, ends up as
// memory mode keeps it, and the files keep their NM x 200 records.
TEST(FibreStoreModes, SkippedAndUnputMembersMatchMemory) {
  Harness mem(true, NM), scr(false, NM);
  for (Harness* h : {&mem, &scr}) {
    FibreStore& s = h->store;
    s.initialise(NM, sym_view(), eym_view());
    s.clear_increments(NM);
    s.update_begin();
    for (int m = 1; m <= NM; ++m) {
      const MemberFibres v = s.update_member(m);
      std::fill_n(v.DEPS, NFM, 0.002 * m);
      s.update_put(m);
    }
    s.update_end();
    s.update_begin();  // member 1 and 3 only; 3 is not put back
    s.update_member(1).DEPS[5] = -1.0;
    s.update_put(1);
    s.update_member(3).DEPS[7] = -3.0;
    s.update_end();
    s.commit_begin();  // member 2 only
    commit_fibre(s.commit_member(2), 9);
    s.commit_put(2);
    s.commit_end();
  }
  EXPECT_EQ(scr.store.state_records(), NM * NFM);
  EXPECT_EQ(scr.store.increment_records(), NM * NFM);
  EXPECT_TRUE(results(mem.store, NM) == results(scr.store, NM));
  for (Harness* h : {&mem, &scr}) {
    FibreStore& s = h->store;
    s.pass_begin();
    std::vector<double> deps;
    for (int m = 1; m <= NM; ++m) deps.push_back(s.pass_member(m).DEPS[m == 1 ? 5 : m == 2 ? 9 : 7]);
    s.pass_end();
    EXPECT_EQ(deps, (std::vector<double>{-1.0, 0.004, -3.0}));
  }
}

// The restart form is the same in both modes: save in one, load in the
// other. Slots beyond the members present are zeros, also in scratch mode
// where the state file holds no records for them.
TEST(FibreStoreRestart, SaveInOneModeLoadInTheOther) {
  const int slots = NM + 2;
  for (bool from_memory : {true, false}) {
    SCOPED_TRACE(from_memory ? "memory to scratch" : "scratch to memory");
    Harness src(from_memory, slots), dst(!from_memory, slots);
    std::vector<double> seen;
    analyse(src.store, NM, 2, 2, seen);
    const std::vector<double> expect = results(src.store, NM);

    RecordFile out;
    out.open((src.dir / "restart").string(), true);
    src.store.save(out, slots, NM);
    out.end_file();
    out.rewind();

    dst.store.load(out, slots);
    EXPECT_TRUE(out.at_end());
    EXPECT_TRUE(results(dst.store, NM) == expect);
    std::vector<double> all = results(dst.store, slots);
    EXPECT_TRUE(std::all_of(all.begin() + NM * NFM * 6, all.end(), [](double x) { return x == 0; }));
    if (!from_memory) continue;
    // Scratch mode after a load: the state file holds every slot, rewound;
    // the first commit keeps the members present.
    EXPECT_EQ(dst.store.state_records(), slots * NFM);
    dst.store.clear_increments(NM);
    dst.store.commit_begin();
    dst.store.commit_end();
    EXPECT_EQ(dst.store.state_records(), NM * NFM);
    EXPECT_TRUE(results(dst.store, NM) == expect);
  }
}

}  // namespace
}  // namespace nlf
