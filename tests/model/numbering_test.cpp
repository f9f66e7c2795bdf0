#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/units.h"
#include "model/numbering.h"
#include "store/bind.h"
#include "support/test_support.h"

namespace nlf {
namespace {

// A model with `nj` joints numbered 10, 20, 30, ... and no links yet.
struct Joints {
  Stores st;
  Model md;
  explicit Joints(int nj) {
    Sizes sz;
    sz.MUMJ = 6;
    bind_model(md, st, sz);
    for (int j = 1; j <= nj; ++j) {
      md.NJ = j;
      number_joint(md, j);
      md.JNO(j) = 10 * j;
    }
  }
  std::vector<int> ieq() const { return {md.IEQ.data(), md.IEQ.data() + 3 * md.NJ}; }
};

TEST(Numbering, LinksTieAndCloseTheGap) {
  struct Case {
    std::vector<int> links;  // master, slave, code, ...
    std::vector<int> ieq;
    int neq;
  };
  const std::vector<Case> cases = {
      {{1, 2, 100}, {1, 2, 3, 1, 4, 5, 6, 7, 8}, 8},
      {{1, 2, 110}, {1, 2, 3, 1, 2, 4, 5, 6, 7}, 7},
      {{1, 2, 200}, {1, 2, 3, 2, 4, 5, 6, 7, 8}, 8},  // X to the master's Y
      {{1, 2, 20}, {1, 2, 3, 4, 1, 5, 6, 7, 8}, 8},   // Y to the master's X
      {{1, 2, 201}, {1, 2, 3, 2, 4, 3, 5, 6, 7}, 7},
      {{1, 2, 1}, {1, 2, 3, 4, 5, 3, 6, 7, 8}, 8},
      {{1, 2, 111}, {1, 2, 3, 1, 2, 3, 4, 5, 6}, 6},
      {{1, 2, 100, 1, 3, 100}, {1, 2, 3, 1, 4, 5, 1, 6, 7}, 7},
      // Slave slots out of order: the later gap closing moves the earlier tie.
      {{1, 3, 1, 1, 2, 100}, {1, 2, 3, 1, 4, 5, 6, 7, 8}, 7},
  };
  for (const Case& c : cases) {
    Joints t(3);
    for (std::size_t k = 0; k < c.links.size(); k += 3)
      EXPECT_TRUE(link_dofs(t.md, c.links[k], c.links[k + 1], c.links[k + 2]));
    EXPECT_EQ(t.ieq(), c.ieq) << c.links.size();
    EXPECT_EQ(t.md.NEQ, c.neq);
  }
}

TEST(Numbering, BadCodesChangeNothing) {
  for (int code : {300, 30, 2, 12, -1, -100, 1000}) {
    Joints t(3);
    EXPECT_FALSE(link_dofs(t.md, 1, 2, code)) << code;
    EXPECT_EQ(t.ieq(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(t.md.NEQ, 9);
  }
}

TEST(Numbering, BandTakesTheNumbersAsTheyStand) {
  Joints t(3), u(3), v(3);
  widen_band(t.md, 1, 3);
  widen_band(t.md, 1, 2);  // never lowers the band
  EXPECT_EQ(t.md.MBAND, 9);
  ASSERT_TRUE(link_dofs(u.md, 1, 2, 100));
  widen_band(u.md, 2, 3);
  EXPECT_EQ(u.md.MBAND, 8);
  widen_band(v.md, 2, 3);  // a link after the member does not revisit it
  ASSERT_TRUE(link_dofs(v.md, 1, 3, 100));
  EXPECT_EQ(v.md.MBAND, 6);
}

std::vector<std::string> listing_of(const Model& md) {
  test::TempDir dir;
  TextOut out;
  out.open((dir / "R.rst").string());
  print_matrix_index(md, out);
  out.close();
  return test::read_lines(dir / "R.rst");
}

TEST(Numbering, MatrixIndexListing) {
  Joints t(5);
  ASSERT_TRUE(link_dofs(t.md, 1, 2, 100));
  widen_band(t.md, 1, 2);
  const std::string block = "    NO.   (I)   X   Y   T    ";
  const std::string title = " *** MATRIX INDEX ***           MATRIX SIZE =         ";
  EXPECT_EQ(listing_of(t.md),
            (std::vector<std::string>{
                " ", "", title + "14     BAND WIDTH =          5", "0" + block + block + block + block, "",
                "    (  1)   10    1    2    3    (  2)   20    1    4    5"
                "    (  3)   30    6    7    8    (  4)   40    9   10   11",
                "    (  5)   50   12   13   14"}));
  Joints none(0);
  const auto lines = listing_of(none.md);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], title + " 0     BAND WIDTH =          0");
}

}  // namespace
}  // namespace nlf
