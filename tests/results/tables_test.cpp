#include "results/tables.h"

#include <gtest/gtest.h>

#include "results/result_files.h"

namespace nlf::results {
namespace {

using test::lines_of;
using test::split;

// A member force block of `n` members as the program prints it.
std::vector<std::string> member_forces(int step, int n) {
  std::string s = test::banner() +
                  lines_of(Format("(1X,'STEP',I4,2X,'/------------- AXIAL --------------/')"), {Item(step)}) +
                  "     I  J     NI(TON)    STRAIN   NJ(TON)    STRAIN\n\n";
  const Format row("(1X,I3,1X,I3,'-',I3,1X,2(F10.3,'(',F8.4,')'),1X,2F13.3,1X,2(F10.1,'(',F8.4,')'))");
  for (int m = 1; m <= n; ++m)
    s += lines_of(row, {Item(m), Item(m), Item(m + 1), Item(-1.5), Item(0.0012), Item(2.0), Item(-1e-5), Item(0.25),
                        Item(-0.25), Item(123.45), Item(0.05), Item(-1e9), Item(0.0)});
  return split(s);
}

TEST(Tables, MemberRowsAsPrintedAndCountedPast999) {
  const auto blocks = parse_table(member_forces_layout(), member_forces(7, 1001));
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].step, 7);
  ASSERT_EQ(blocks[0].rows.size(), 1001u);
  const auto& r = blocks[0].rows[0];
  EXPECT_EQ(r, (std::vector<std::string>{"1", "1", "2", "-1.500", "0.0012", "2.000", "-0.0000", "0.250", "-0.250",
                                         "123.5", "0.0500", "**********", "0.0000"}));
  EXPECT_EQ(blocks[0].rows[999][0], "1000");  // printed as ***
  EXPECT_EQ(blocks[0].rows[999][1], "***");   // a joint number is left as printed

  auto swapped = member_forces(7, 3);
  std::swap(swapped[swapped.size() - 1], swapped[swapped.size() - 2]);
  EXPECT_THROW(parse_table(member_forces_layout(), swapped), ResultError);
  auto cut = member_forces(7, 3);
  cut.back().resize(100);
  try {
    parse_table(member_forces_layout(), cut);
    FAIL();
  } catch (const ResultError& e) {
    EXPECT_NE(std::string(e.what()).find("Mfor.rst, line 21: the row is cut off"), std::string::npos) << e.what();
  }
  auto foreign = member_forces(7, 3);
  foreign.push_back(" JOINT          U(MM)       V(MM)    T(1/100)         U(MM)       V(MM)    T(1/100)");
  EXPECT_THROW(parse_table(member_forces_layout(), foreign), ResultError);
}

}  // namespace
}  // namespace nlf::results
