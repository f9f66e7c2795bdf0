// Save and restore of the restart file: every table, counter and fibre value
// comes back bit for bit in either storage mode, the file holds exactly one
// state, and a short or foreign file is refused.
#include "model/restart_read.h"

#include <cmath>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "io/units.h"
#include "store/bind.h"
#include "storage/restart_file.h"
#include "support/test_support.h"

namespace nlf {
namespace {

namespace fs = std::filesystem;

Sizes sizes(int mumm = 3, int mumj = 4, int mumr = 2, int mums = 2) {
  Sizes sz;
  sz.MUMM = mumm;
  sz.MUMJ = mumj;
  sz.MUMR = mumr;
  sz.MUMS = mums;
  sz.MBAND = 9;
  sz.MUMW = 1;
  return sz;
}

// A model on its own stores with its own fibre store (and scratch units).
struct Rig {
  std::unique_ptr<Stores> st = std::make_unique<Stores>();
  Units units;
  Model md;
  FibreStore fibres;

  Rig(const Sizes& sz, bool memory) {
    bind_model(md, *st, sz);
    fibres.setup(st->FSTORE.data(), memory ? sz.MUMM : 1, memory, units);
  }
};

// Every saved table gets values that differ from entry to entry and from
// seed to seed (index tables stay within the sizes); the other tables stay
// zero. Members 1..NM get a fibre state of their own.
void fill(Rig& r, int seed) {
  Model& md = r.md;
  const Sizes& sz = md.sz;
  int c = 0;
  auto real = [&] { return seed + (++c) / 7.0; };
  auto reals = [&](double* p, int n) { std::generate_n(p, n, real); };
  auto ints = [&](std::int32_t* p, int n, int hi) {
    std::generate_n(p, n, [&] { return (seed + ++c) % (hi + 1); });
  };
  for (RVec v : {md.SYM, md.EYM, md.MC6, md.MC7, md.XJ, md.YJ, md.PLOAD, md.DISP, md.SY})
    reals(v.data(), v.size());
  for (RMat a : {md.XM, md.YM, md.DPSTEP, md.DPRUN, md.AREA, md.ZF, md.SPF, md.KF})
    reals(a.data(), a.size());
  ints(md.IJ.data(), md.IJ.size(), sz.MUMJ);
  ints(md.ISEC.data(), md.ISEC.size(), sz.MUMS);
  ints(md.IEQ.data(), md.IEQ.size(), sz.NEQX());
  ints(md.KJ.data(), md.KJ.size(), sz.MUMJ);
  ints(md.JMAP.data() + 1, MAXJOINTNO, sz.MUMJ);
  ints(md.MGEO.data(), md.MGEO.size(), 1 << 30);
  ints(md.JNO.data(), md.JNO.size(), 1 << 30);
  md.NK = sz.MUMR;
  md.NJ = sz.MUMJ - 1;
  md.NM = sz.MUMM - 1;
  // The members, joints and springs of the model use its joints, sections
  // and equations.
  for (int m = 1; m <= md.NM; ++m)
    md.IJ(m, 1) = 1 + m % md.NJ, md.IJ(m, 2) = 1 + (m + seed) % md.NJ, md.ISEC(m) = 1 + m % sz.MUMS;
  for (int k = 1; k <= md.NK; ++k) md.KJ(k) = 1 + (k + seed) % md.NJ;
  md.NEQ = 3 * md.NJ - 1;
  for (int i = 1; i <= 3 * md.NJ; ++i) md.IEQ(i) = 1 + (i + seed) % md.NEQ;
  md.MBAND = 6 + seed % 3;
  md.MAXIT = 20 + seed;
  md.MINIT = 2 + seed;
  md.E = 2000 + real(), md.E2 = real(), md.E3 = real();

  FibreStore& fb = r.fibres;
  fb.initialise(md.NM, md.SYM, md.EYM);
  fb.clear_increments(md.NM);
  fb.commit_begin();
  for (int m = 1; m <= md.NM; ++m) {
    const MemberFibres v = fb.commit_member(m);
    for (double* a : {v.SIGU, v.SIGL, v.EPSU, v.EPSL, v.SIG, v.EPS}) reals(a, NFM);
    fb.commit_put(m);
  }
  fb.commit_end();
}

// Counters and every table of the two models agree bit for bit.
bool same_model(const Rig& a, const Rig& b) {
  auto counters = [](const Model& m) {
    return std::tuple(m.NK, m.NJ, m.NM, m.MBAND, m.MAXIT, m.MINIT, m.NEQ,
                      std::bit_cast<std::int64_t>(m.E), std::bit_cast<std::int64_t>(m.E2),
                      std::bit_cast<std::int64_t>(m.E3), m.JMAP);
  };
  return counters(a.md) == counters(b.md) && a.st->IWORK == b.st->IWORK &&
         std::memcmp(a.st->WORK.data(), b.st->WORK.data(), sizeof(double) * NMAX) == 0;
}

// The fibre state of member slots 1..slots (zeros past the members held).
std::vector<double> fibre_state(FibreStore& fb, int held, int slots) {
  std::vector<double> s;
  fb.results_begin();
  for (int m = 1; m <= held; ++m) {
    const MemberFibres v = fb.results_member(m);
    for (int i = 0; i < NFM; ++i)
      for (const double* a : {v.SIGU, v.SIGL, v.EPSU, v.EPSL, v.SIG, v.EPS}) s.push_back(a[i]);
  }
  fb.results_end();
  s.resize(static_cast<std::size_t>(slots) * NFM * 6, 0.0);
  return s;
}

void save(Rig& r, const fs::path& p, int step = 7, int detail = 1) {
  RecordFile out;
  out.open(p.string(), true);
  save_state(out, r.md, r.fibres, step, detail);
}

// The caller's part of a restart: record 1, then the restore.
int restore(Rig& r, RecordFile& in) {
  std::int32_t s[8];
  in.read_ints(s, 8);
  return load_state(in, r.md, r.fibres);
}

int restore(Rig& r, const fs::path& p) {
  RecordFile in;
  in.open(p.string(), false);
  return restore(r, in);
}

// The message of the FileError that restoring `p` into `r` gives, or "".
std::string refusal(Rig& r, const fs::path& p) {
  try {
    restore(r, p);
  } catch (const FileError& e) {
    return e.what();
  }
  return "";
}

void append_record(const fs::path& p) {
  std::ofstream f(p, std::ios::binary | std::ios::app);
  const unsigned char rec[] = {8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 8, 0, 0, 0};
  f.write(reinterpret_cast<const char*>(rec), sizeof rec);
}

struct Modes {
  bool save_memory, load_memory;
};

class RestartRoundTrip : public testing::TestWithParam<Modes> {};

// Save then restore into a model filled with other values: every table and
// counter, MC7 and the run's point increments, and the fibre state of every
// member slot come back bit for bit, whatever the two storage modes; the
// step number and the sizes record come back as saved.
TEST_P(RestartRoundTrip, RestoresEveryValue) {
  test::TempDir dir;
  const fs::path file = dir / "fort.31";
  const Sizes sz = sizes();
  Rig a(sz, GetParam().save_memory), b(sz, GetParam().load_memory);
  fill(a, 1);
  fill(b, 2);
  ASSERT_FALSE(same_model(a, b));
  save(a, file, 41);

  RecordFile in;
  in.open(file.string(), false);
  std::int32_t s[8];
  in.read_ints(s, 8);
  EXPECT_EQ(std::vector<std::int32_t>(s, s + 8),
            (std::vector<std::int32_t>{3, 4, 5, 20, 2, 2, 9, 1}));
  EXPECT_EQ(load_state(in, b.md, b.fibres), 41);

  EXPECT_TRUE(same_model(b, a));
  EXPECT_TRUE(fibre_state(b.fibres, sz.MUMM, sz.MUMM) ==
              fibre_state(a.fibres, a.md.NM, sz.MUMM));
  if (!GetParam().load_memory) {
    EXPECT_EQ(b.fibres.state_records(), long{sz.MUMM} * NFM);
  }

  // Saving the restored model gives the same file again.
  const fs::path again = dir / "fort.32";
  save(b, again, 41);
  EXPECT_EQ(test::read_file(again), test::read_file(file));
}

INSTANTIATE_TEST_SUITE_P(StorageModes, RestartRoundTrip,
                         testing::Values(Modes{true, true}, Modes{false, false},
                                         Modes{false, true}, Modes{true, false}),
                         [](const testing::TestParamInfo<Modes>& i) {
                           return std::string(i.param.save_memory ? "Memory" : "Scratch") + "To" +
                                  (i.param.load_memory ? "Memory" : "Scratch");
                         });

// With the same unit for restore and save, the file ends up holding exactly
// the new state: the save starts from the front of the file and cuts off
// whatever followed.
TEST(RestartSameUnit, FileHoldsExactlyTheNewState) {
  test::TempDir dir;
  const fs::path file = dir / "fort.31", fresh = dir / "fort.32";
  const Sizes sz = sizes();
  Rig a(sz, true), b(sz, false), c(sz, true);
  fill(a, 1);
  save(a, file, 5);

  {
    RecordFile unit;
    unit.open(file.string(), false);
    EXPECT_EQ(restore(b, unit), 5);
    fill(b, 3);
    save_state(unit, b.md, b.fibres, 9, 0);
  }
  save(b, fresh, 9, 0);
  EXPECT_EQ(test::read_file(file), test::read_file(fresh));
  EXPECT_EQ(restore(c, file), 9);
  EXPECT_TRUE(same_model(c, b));

  // A unit left in the middle of a longer file.
  append_record(file);
  append_record(file);
  {
    RecordFile unit;
    unit.open(file.string(), false);
    std::int32_t s[8];
    unit.read_ints(s, 8);
    save_state(unit, a.md, a.fibres, 5, 1);
  }
  save(a, fresh, 5, 1);
  EXPECT_EQ(test::read_file(file), test::read_file(fresh));
}

// A file cut anywhere, or with a record too many, is refused with a
// FileError naming the file and the record.
TEST(RestartRefused, ShortOrLongFile) {
  test::TempDir dir;
  const fs::path file = dir / "fort.31";
  const Sizes sz = sizes();
  Rig a(sz, true);
  fill(a, 1);
  save(a, file);
  const std::string whole = test::read_file(file);
  const std::uintmax_t size = whole.size();
  const std::uintmax_t last = 8 + 8 * 19;  // one trailing member record

  for (std::uintmax_t cut : {std::uintmax_t{60}, size / 2, size - sz.MUMM * last,
                             size - last, size - 1}) {
    SCOPED_TRACE(cut);
    test::write_file(file, whole.substr(0, cut));
    Rig b(sz, true);
    const std::string msg = refusal(b, file);
    EXPECT_NE(msg.find(file.string()), std::string::npos) << msg;
    EXPECT_NE(msg.find("record"), std::string::npos) << msg;
  }

  test::write_file(file, whole);
  append_record(file);
  Rig b(sz, false);
  EXPECT_NE(refusal(b, file).find("more records than this model expects"), std::string::npos);
}

// The values that cards set are held to the cards' rules; a file cut
// where an announced group begins, or holding one it does not announce, is
// refused.
TEST(RestartRefused, ValuesTheCardsWouldRefuseAndGroupsCutOff) {
  test::TempDir dir;
  const fs::path file = dir / "fort.31";
  const Sizes sz = sizes();
  const std::vector<std::pair<void (*)(Model&), const char*>> damage = {
      {[](Model& md) { md.MAXIT = -5; }, "MAXIT = -5, outside 0 to 999"},
      {[](Model& md) { md.MINIT = 0x7fffffff; }, "MINIT = 2147483647, outside 0 to 999"},
      {[](Model& md) { md.E = std::nan(""); }, "not below E = NAN"},
      {[](Model& md) { md.E = 0, md.E3 = -1; }, "E = 0, which is not a positive number"},
      {[](Model& md) { md.E3 = 2 * md.E; }, "which is not below E"}};
  for (const auto& [hurt, text] : damage) {
    SCOPED_TRACE(text);
    Rig a(sz, true), b(sz, true);
    fill(a, 1);
    hurt(a.md);
    save(a, file);
    const std::string msg = refusal(b, file);
    EXPECT_NE(msg.find("record 2: the saved run gives"), std::string::npos) << msg;
    EXPECT_NE(msg.find(text), std::string::npos) << msg;
  }
  Rig a(sz, true);
  fill(a, 1);
  save(a, file, 0x7fffffff);
  Rig b(sz, true);
  EXPECT_NE(refusal(b, file).find("the last step 2147483647, outside 0 to 9999999"), std::string::npos);

  // Member loads announced in record 7, then the file cut where they begin.
  a.md.MLOADS->total[0].gy = -0.5;
  a.md.MLOADS->any = true;
  save(a, file);
  const std::string whole = test::read_file(file);
  const std::size_t group = 8 + 16 + a.md.NM * (8 + 32);  // the mark's record and a record a member
  test::write_file(file, whole.substr(0, whole.size() - group));
  Rig c(sz, true);
  EXPECT_NE(refusal(c, file).find("ends without the member loads that its record 7 announces"), std::string::npos);
  test::write_file(file, whole);
  Rig d(sz, true);
  EXPECT_EQ(refusal(d, file), "");
  EXPECT_EQ(d.md.MLOADS->total[0].gy, -0.5);
}

// A file written with other sizes never passes as this model's.
TEST(RestartRefused, FileOfAnotherModel) {
  test::TempDir dir;
  const fs::path file = dir / "fort.31";
  const std::vector<std::pair<Sizes, Sizes>> cases = {
      {sizes(3), sizes(2)}, {sizes(2), sizes(3)}, {sizes(3, 4), sizes(3, 5)},
      {sizes(3, 4, 2), sizes(3, 4, 1)}, {sizes(3, 4, 2, 2), sizes(3, 4, 2, 3)},
      {sizes(3, 4, 2, 3), sizes(3, 4, 2, 2)}};
  for (const auto& [saved, read] : cases) {
    SCOPED_TRACE(std::to_string(saved.MUMM) + " " + std::to_string(read.MUMM));
    for (bool memory : {true, false}) {
      Rig a(saved, memory), b(read, memory);
      fill(a, 1);
      save(a, file);
      EXPECT_THROW(restore(b, file), FileError);
    }
  }
}

// Counts and indices that do not fit the sizes are refused before anything
// uses them to address a table.
TEST(RestartRefused, ValuesOutsideTheSizes) {
  test::TempDir dir;
  const fs::path file = dir / "fort.31";
  const Sizes sz = sizes();
  const std::vector<void (*)(Model&)> damage = {
      [](Model& md) { md.NM = md.sz.MUMM + 1; },
      [](Model& md) { md.NJ = -1; },
      [](Model& md) { md.NEQ = md.sz.NEQX() + 1; },
      [](Model& md) { md.MBAND = md.sz.MBAND + 1; },
      [](Model& md) { md.IJ(2, 2) = md.sz.MUMJ + 1; },
      [](Model& md) { md.ISEC(3) = md.sz.MUMS + 1; },
      [](Model& md) { md.IEQ(5) = -2; },
      [](Model& md) { md.JMAP[999] = md.sz.MUMJ + 1; },
      [](Model& md) { md.KJ(1) = 0x7fffffff; }};
  for (std::size_t n = 0; n < damage.size(); ++n) {
    SCOPED_TRACE(n);
    Rig a(sz, true), b(sz, true);
    fill(a, 1);
    damage[n](a.md);
    save(a, file);
    const std::string msg = refusal(b, file);
    EXPECT_NE(msg.find("does not fit the sizes of this model"), std::string::npos) << msg;
  }
  Rig a(sz, true), b(sz, true);
  fill(a, 1);
  save(a, file, -1);
  EXPECT_NE(refusal(b, file).find("record 2:"), std::string::npos);

  // Within the sizes, but a member or spring of the model without a joint
  // or section of it: the member pass would address the tables with them.
  const std::vector<std::pair<void (*)(Model&), const char*>> unused = {
      {[](Model& md) { md.ISEC(md.NM) = 0; },
       "member 2 joins joints 3 and 1 with section 0, but the model has joints 1 to 3 and sections 1 to 2"},
      {[](Model& md) { md.IJ(1, 2) = md.NJ + 1; }, "member 1 joins joints 2 and 4"},
      {[](Model& md) { md.KJ(md.NK) = 0; }, "joint spring 2 is at joint 0, but the model has joints 1 to 3"},
      {[](Model& md) { md.IEQ(3 * md.NJ) = 0; }, "joint 3 has the equation number 0 for a freedom"}};
  for (const auto& [hurt, text] : unused) {
    Rig c(sz, true), d(sz, true);
    fill(c, 1);
    hurt(c.md);
    save(c, file);
    EXPECT_NE(refusal(d, file).find(text), std::string::npos) << refusal(d, file);
  }
}

}  // namespace
}  // namespace nlf
