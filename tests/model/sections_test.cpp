#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "io/units.h"
#include "model/sections.h"
#include "support/test_support.h"

namespace nlf {
namespace {

// Two sections' tables and a listing file.
struct Tables {
  std::vector<double> a = std::vector<double>(40, 0.0), z = std::vector<double>(40, 0.0);
  RMat AREA{a.data(), 2, 20}, ZF{z.data(), 2, 20};
  test::TempDir dir;
  TextOut out;
  Tables() { out.open((dir / "R.rst").string()); }
  std::vector<std::string> lines() {
    out.close();
    return test::read_lines(dir / "R.rst");
  }
  double sum(int s, int zpow) const {
    double t = 0;
    for (int i = 1; i <= 20; ++i) t += AREA(s, i) * std::pow(ZF(s, i), zpow);
    return t;
  }
};

TEST(Sections, RectangleWithShiftListsBlockB) {
  Tables t;
  build_section_ORC('O', 2, 20.0, 10.0, 2.0, t.AREA, t.ZF, t.out);
  for (int i = 1; i <= 20; ++i) EXPECT_DOUBLE_EQ(t.ZF(2, i), 11.5 - (i - 1));
  const auto l = t.lines();
  ASSERT_EQ(l.size(), 23u);
  EXPECT_EQ(l[0], "0     UNIT-AREA       Z-COORDINATE");
  EXPECT_EQ(l[20], "     0.10000E+02   -0.75000E+01");
  EXPECT_EQ(l[21], "0     AREA           S              I");
  EXPECT_EQ(l[22], "     0.20000E+03    0.40000E+03    0.74500E+04");  // 6650 + 200 * 2^2
}

TEST(Sections, RoundSolidHalfAndTube) {
  Tables t;
  build_section_ORC('R', 1, 20.0, 0.0, 0.0, t.AREA, t.ZF, t.out);
  build_section_ORC('R', 2, 20.0, -1.0, 0.0, t.AREA, t.ZF, t.out);
  EXPECT_NEAR(t.sum(1, 0), 100.0 * std::numbers::pi, 1e-10);
  EXPECT_EQ(t.AREA(1, 1), t.AREA(1, 20));
  EXPECT_EQ(t.AREA(1, 10), t.AREA(1, 11));
  EXPECT_DOUBLE_EQ(t.ZF(1, 1), 9.5);  // strip mid-heights
  for (int i = 1; i <= 20; ++i) EXPECT_DOUBLE_EQ(t.AREA(2, i), 0.5 * t.AREA(1, i));
  build_section_ORC('R', 1, 20.0, 1.0, 0.0, t.AREA, t.ZF, t.out);
  for (int i = 1; i <= 20; ++i) EXPECT_DOUBLE_EQ(t.AREA(1, i), 19.0 * 3.14159265359 / 20.0);
  EXPECT_NEAR(t.ZF(1, 1), -t.ZF(1, 20), 1e-12);
}

TEST(Sections, TeeListsBlockA) {
  Tables t;
  build_section_THI('T', 1, 30.0, 20.0, 1.0, 2.0, 0.0, -10.0, t.AREA, t.ZF, t.out);
  const std::string pad(80, ' ');
  const auto l = t.lines();
  ASSERT_EQ(l.size(), 25u);
  EXPECT_EQ(l[0] + "|" + l[1], "    Z0 =-0.10000D+02|");
  EXPECT_EQ(l[2], " " + pad + "     A(CM**2)        Z(CM)");
  EXPECT_EQ(l[3], " " + pad + "   0.5714E+01   0.1986E+02");   // flange top at Z0 + D
  EXPECT_EQ(l[22], " " + pad + "   0.2154E+01  -0.8923E+01");  // stem tip at Z0
  EXPECT_EQ(l[23], " " + pad + "   AAA(CM**2)   AAZ(CM**3)   AZZ(CM**4)");
  EXPECT_EQ(l[24], " " + pad + "   0.6800E+02   0.8720E+03   0.1672E+05");
}

TEST(Sections, StrongAndWeakAxis) {
  const double D = 30, B = 15, tw = 0.7, tf = 1.0, r = 1.2;
  const double fillets = 0.8568 * r * r;  // the four fillet trapezoids
  Tables t;
  build_section_THI('I', 1, D, B, tw, tf, r, 0.0, t.AREA, t.ZF, t.out);
  EXPECT_NEAR(t.sum(1, 0), 2 * B * tf + tw * (D - 2 * tf) + fillets, 1e-12);
  EXPECT_NEAR(t.sum(1, 1), 0.0, 1e-10);
  EXPECT_DOUBLE_EQ(t.ZF(1, 1), D / 2 - tf / 6);  // top flange strip centre
  build_section_THI('H', 2, 0.0, B, tw, tf, r, 3.0, t.AREA, t.ZF, t.out);
  EXPECT_NEAR(t.sum(2, 0), 2 * tf * (B - tw) + B * tw + fillets, 1e-12);
  EXPECT_NEAR(t.ZF(2, 1) + t.ZF(2, 20), 6.0, 1e-12);  // mirrored, then shifted by 3
  const std::vector<double> a = t.a, z = t.z;
  build_section_THI('H', 2, 99.0, B, tw, tf, r, 3.0, t.AREA, t.ZF, t.out);
  EXPECT_EQ(a, t.a);  // X1 plays no part
  EXPECT_EQ(z, t.z);
  // No web and no fillet: strips of no width get no area and a finite centre.
  build_section_THI('I', 1, D, B, 0.0, tf, 0.0, 0.0, t.AREA, t.ZF, t.out);
  EXPECT_EQ(t.AREA(1, 10), 0.0);
  EXPECT_TRUE(std::isfinite(t.ZF(1, 10)));
}

TEST(Sections, CopyShiftsTheHeldTable) {
  Tables t;
  build_section_ORC('C', 1, 5.0, 5.0, 4.0, t.AREA, t.ZF, t.out);  // never defined
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(t.ZF(1, i), 4.0);
  EXPECT_EQ(t.sum(1, 0), 0.0);
  build_section_ORC('O', 2, 20.0, 10.0, 0.0, t.AREA, t.ZF, t.out);
  build_section_ORC('C', 2, 0.0, 0.0, -1.0, t.AREA, t.ZF, t.out);
  EXPECT_DOUBLE_EQ(t.ZF(2, 1), 8.5);
  EXPECT_EQ(t.lines()[1], "     0.00000E+00    0.40000E+01");
}

}  // namespace
}  // namespace nlf
