// The HDF5 sink written through the background writer: every value of the
// tables handed over comes back bit for bit, each table at the steps its
// choice names, and a file that cannot be made is a FileError.
#include "output/background_sink.h"
#include "output/h5_sink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "io/stop.h"
#include "results/h5_read.h"
#include "support/test_support.h"

namespace nlf {
namespace {

// Two joints, three members, one curve of two values; every value distinct
// and most of them far past any text field.
StepTables tables(const Sizes& sz, int step) {
  StepTables t(sz);
  t.step = step, t.detail = step % 2, t.NJ = 2, t.NM = 3, t.NW = 1;
  t.joint = {5, 7};
  t.ends = {5, 7, 7, 5, 5, 5};
  t.curve_codes = {7.21, 5.12, 0, 0, 0, 0, 0};
  t.curve_count = {2};
  auto fill = [&](std::vector<double>& v, double base) {
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = base * step + std::ldexp(1.0 + i, -40) + 1.0e7 * i;
  };
  fill(t.joint_forces, 1.5), fill(t.joint_disp, -2.5), fill(t.curves, 3.5), fill(t.member_forces, 4.5);
  fill(t.nodes, 5.5), fill(t.stress, 6.5), fill(t.strain, 7.5e-9);
  for (std::size_t i = 0; i < t.state.size(); ++i) t.state[i] = static_cast<std::int8_t>(static_cast<int>(i % 3) - 1);
  return t;
}

bool same_bits(const std::vector<double>& a, const double* b, std::size_t n) {
  return std::memcmp(a.data(), b, n * sizeof(double)) == 0;
}

TEST(H5Sink, TablesComeBackBitForBitAtTheStepsChosen) {
  test::TempDir tmp;
  const Sizes sz{3, 2, 5, 20, 0, 1, 9, 1, 1};
  const std::string path = (tmp / "results.h5").string();
  ResultChoice choice;
  choice.fibre_every = 2;
  {
    H5Sink h5(path, H5RunInfo{"nlframe", "9.9", "deck.dat", "   0  0  1     DECK\nF\n"}, choice);
    BackgroundSink writer(h5, sz);
    for (int step = 1; step <= 4; ++step) {
      const StepTables t = tables(sz, step);
      writer.write(t, writer.wants(step) & (t.detail ? kAllParts : ~static_cast<unsigned>(kNodeParts)));
    }
    writer.finish();
    h5.finish(H5Summary{3, "cancelled", 4, 9, 0, 1, 0.5, {}});
  }
  const results::H5Reader f(path);
  EXPECT_EQ(f.text("deck"), "   0  0  1     DECK\nF\n");
  EXPECT_EQ(f.text_attr("summary", "message"), "cancelled");
  EXPECT_EQ(f.ints("joints/step"), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(f.ints("fibres/step"), (std::vector<int>{2, 4}));
  EXPECT_EQ(f.ints("nodes/step"), (std::vector<int>{1, 3}));
  EXPECT_EQ(f.ints("members/ends"), (std::vector<int>{5, 7, 7, 5, 5, 5}));
  EXPECT_EQ(f.texts_attr("curves/61", "columns"), (std::vector<std::string>{"7D.X(MM)", "5F.Y(TON)"}));
  std::vector<double> row;
  std::vector<std::int8_t> state;
  for (int k = 0; k < 4; ++k) {
    const StepTables t = tables(sz, k + 1);
    f.row("joints/forces", k, row);
    EXPECT_TRUE(same_bits(row, t.joint_forces.data(), 18));
    f.row("members/forces", k, row);
    EXPECT_TRUE(same_bits(row, t.member_forces.data(), 30));
    f.row("curves/61", k, row);
    EXPECT_TRUE(same_bits(row, t.curves.data(), 2));
    if (k % 2 == 1) {
      f.row("fibres/stress", k / 2, row);
      EXPECT_TRUE(same_bits(row, t.stress.data(), 3 * NFM));
      f.row("fibres/strain", k / 2, row);
      EXPECT_TRUE(same_bits(row, t.strain.data(), 3 * NFM));
      f.row("fibres/state", k / 2, state);
      EXPECT_EQ(0, std::memcmp(state.data(), t.state.data(), 3 * NFM));
    }
  }
}

// A writer's failure is not lost: it is thrown at the next step handed
// over, and at finish() when no step follows.
TEST(H5Sink, AFailureOfTheWriterThreadReachesTheStepLoop) {
  struct Failing : ResultSink {
    int written = 0;
    unsigned wants(int) const override { return kAllParts; }
    void write(const StepTables&, unsigned) override {
      if (++written == 2) throw FileError("results.h5: cannot write a step");
    }
  } failing;
  const Sizes sz{3, 2, 5, 20, 0, 1, 9, 1, 1};
  const StepTables t = tables(sz, 1);
  BackgroundSink a(failing, sz);
  a.write(t, kAllParts);
  a.write(t, kAllParts);  // fails on the writer's thread
  EXPECT_THROW(a.write(t, kAllParts), FileError);
  EXPECT_NO_THROW(a.finish());
  BackgroundSink b(failing, sz);
  b.write(t, kAllParts);
  EXPECT_NO_THROW(b.finish());
  failing.written = 1;
  BackgroundSink c(failing, sz);
  c.write(t, kAllParts);
  EXPECT_THROW(c.finish(), FileError);
}

TEST(H5Sink, AFileThatCannotBeMadeIsAFileError) {
  test::TempDir tmp;
  EXPECT_THROW(H5Sink((tmp / "no-folder" / "results.h5").string(), H5RunInfo{}), FileError);
}

}  // namespace
}  // namespace nlf
