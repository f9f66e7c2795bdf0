#include "io/format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>

#include "io/io_test_util.h"

// Counts heap allocations so that the steady-state promise of
// Format::apply can be checked.
static long g_allocations = 0;
void* operator new(std::size_t n) {
  ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace nlf {
namespace {

TEST(Format, ScaleFactorStartsAtZeroInEveryApplication) {
  Format f("(F8.2,2P,F8.2)");
  EXPECT_EQ(f.lines({1.5, 1.5})[0], "    1.50  150.00");
  EXPECT_EQ(f.lines({1.5, 1.5})[0], "    1.50  150.00");
  // Reversion does not reset the scale factor.
  EXPECT_EQ(Format("(1P,E10.2,(F8.2))").lines({1.0, 1.0, 2.0}),
            (std::vector<std::string>{"  1.00E+00   10.00", "   20.00"}));
}

TEST(Format, ReversionRestartsAtTheLastTopLevelGroupWithItsCount) {
  Format f("(1X,I2,2(I3,'|'),1X)");
  EXPECT_EQ(f.lines({1, 2, 3, 4, 5, 6}),
            (std::vector<std::string>{"  1  2|  3|", "  4|  5|", "  6|"}));
  // Without a group reversion starts at the beginning.
  EXPECT_EQ(Format("('a',I2)").lines({1, 2}), (std::vector<std::string>{"a 1", "a 2"}));
}

TEST(Format, RecordsEndWhereTheItemsRunOut) {
  EXPECT_EQ(Format("(I3,5X)").lines({7}), (std::vector<std::string>{"  7"}));
  EXPECT_EQ(Format("(3X,'x',I2)").lines({}), (std::vector<std::string>{"   x"}));
  EXPECT_EQ(Format("(I2,:,'never')").lines({1}), (std::vector<std::string>{" 1"}));
  EXPECT_EQ(Format("(I2,2/,I2)").lines({1, 2}), (std::vector<std::string>{" 1", "", " 2"}));
  EXPECT_EQ(Format("(20A1)").lines({"a", "b"}), (std::vector<std::string>{"ab"}));
}

TEST(Format, TextsAndLiterals) {
  Format f("(A,'|',A5,'|',A2,\"|\",'it''s',\"say \"\"hi\"\"\")");
  EXPECT_EQ(f.lines({"free", "abc", "wxyz"})[0], "free|  abc|wx|it'ssay \"hi\"");
  EXPECT_EQ(Format("(1PE12.3,I4.3)").lines({0.5, 7})[0], "   5.000E-01 007");
}

class CountingSink : public RecordSink {
 public:
  long records = 0, bytes = 0;
  void record(std::string_view t) override {
    ++records;
    bytes += static_cast<long>(t.size());
  }
};

TEST(Format, ApplyDoesNotAllocateOnceWarm) {
  Format f("(1X,I5,1X,3(2X,3P,E12.3,2X,3P,E12.3,F10.3),/,G20.6,A8)");
  CountingSink sink;
  f.apply({1, 0.05, -0.02, 0.0123, 1.5e-3, 2.5e-4, 0.123, 0.0, -0.0, 1.0, 1e30, "label"}, sink);
  long before = g_allocations;
  for (int k = 0; k < 100; ++k)
    f.apply({k, 0.05, -0.02, 0.0123, 1.5e-3, 2.5e-4, 0.123, 0.0, -0.0, 1.0, 1e-30, "label"},
            sink);
  EXPECT_EQ(g_allocations, before);
  EXPECT_EQ(sink.records, 202);
}

TEST(FreeFormat, OneBlankThenItemsSeparatedByBlanks) {
  EXPECT_EQ(free_format({"ERROR DATA IN Q DATA"}), " ERROR DATA IN Q DATA");
  EXPECT_EQ(free_format({"LAST /NMAX =", 600123, 600000}), " LAST /NMAX = 600123 600000");
  EXPECT_EQ(free_format({0.5, -1e20, 12.0, std::numeric_limits<double>::quiet_NaN()}),
            " 0.5 -1e+20 12 NaN");
}

TEST(MessageNumber, SixDigitsAndAnExponentOnlyWhenFarFromOne) {
  std::string got;
  for (double v : {2100.0, -10.21, 1.0 / 3.0, 21.0e6, 1.0e-5, 0.0}) got += message_number(v) + " ";
  EXPECT_EQ(got, "2100 -10.21 0.333333 2.1E+07 1E-05 0 ");
}

}  // namespace
}  // namespace nlf
