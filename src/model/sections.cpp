#include "model/sections.h"

#include <cassert>
#include <cmath>

#include "io/format.h"
#include "io/units.h"
#include "store/model.h"

namespace nlf {

namespace {

// Upper half of a symmetric section as ten trapezoidal strips, top down:
// levels z[0] (top) .. z[10] (= 0) and the widths at the top and bottom of
// every strip.
struct Strips {
  double z[11] = {};
  double bt[11] = {};  // 1-based by strip
  double bb[11] = {};
};

// Fibre k takes the strip's area and centroid, fibre 21-k the mirror image.
void fill_from_strips(const Strips& st, int s, double shift, RMat AREA, RMat ZF) {
  for (int k = 1; k <= 10; ++k) {
    const double zt = st.z[k - 1], zb = st.z[k], bt = st.bt[k], bb = st.bb[k];
    const double area = (zt - zb) * 0.5 * (bt + bb);
    // A strip of no width has no area; its centroid is taken at mid-height
    // instead of the undefined 0/0.
    const double zc = (bt + bb != 0.0) ? (zt + zb + (zt * bt + zb * bb) / (bt + bb)) / 3.0
                                       : 0.5 * (zt + zb);
    AREA(s, k) = area;
    ZF(s, k) = zc;
    AREA(s, 21 - k) = area;
    ZF(s, 21 - k) = -zc;
  }
  for (int i = 1; i <= NFIB; ++i) ZF(s, i) += shift;
}

Strips strips_I(double D, double B, double tw, double tf, double r) {
  Strips st;
  const double hw = (0.5 * D - 0.9 * r - tf) * 0.2;
  const double step[10] = {tf / 3.0, tf / 3.0, tf / 3.0, 0.238 * r, 0.662 * r, hw, hw, hw, hw, 0};
  st.z[0] = 0.5 * D;
  for (int k = 1; k <= 9; ++k) st.z[k] = st.z[k - 1] - step[k - 1];
  st.z[10] = 0.0;
  for (int k = 1; k <= 3; ++k) st.bt[k] = st.bb[k] = B;
  st.bt[4] = tw + 1.8 * r;
  st.bb[4] = tw + 0.476 * r;
  st.bt[5] = tw + 0.476 * r;
  st.bb[5] = tw;
  for (int k = 6; k <= 10; ++k) st.bt[k] = st.bb[k] = tw;
  return st;
}

Strips strips_H(double B, double tw, double tf, double r) {
  Strips st;
  const double h = ((B - tw) / 2.0 - 0.9 * r) / 7.0;
  for (int k = 0; k <= 6; ++k) st.z[k] = 0.5 * B - k * h;
  st.z[7] = st.z[6] - h;
  st.z[8] = st.z[7] - 0.662 * r;
  st.z[9] = st.z[8] - 0.238 * r;
  st.z[10] = 0.0;
  for (int k = 1; k <= 7; ++k) st.bt[k] = st.bb[k] = 2.0 * tf;
  st.bt[8] = 2.0 * tf;
  st.bb[8] = 2.0 * (tf + 0.238 * r);
  st.bt[9] = 2.0 * (tf + 0.238 * r);
  st.bb[9] = 2.0 * (tf + 0.9 * r);
  st.bt[10] = st.bb[10] = B;
  return st;
}

// T section: seven flange fibres, thirteen stem fibres, no mirroring.
void fill_T(int s, double D, double B, double tw, double tf, double Z0, RMat AREA, RMat ZF) {
  const double af = B * tf / 7.0, df = tf / 7.0;
  ZF(s, 1) = D + Z0 - tf / 14.0;
  AREA(s, 1) = af;
  for (int i = 2; i <= 7; ++i) {
    AREA(s, i) = af;
    ZF(s, i) = ZF(s, i - 1) - df;
  }
  const double as = tw * (D - tf) / 13.0, ds = (D - tf) / 13.0;
  AREA(s, 8) = as;
  ZF(s, 8) = Z0 + (D - tf) * 25.0 / 26.0;
  for (int i = 9; i <= NFIB; ++i) {
    AREA(s, i) = as;
    ZF(s, i) = ZF(s, i - 1) - ds;
  }
}

// Mid-height of strip i of 20 over the depth D.
double mid_height(int i, double D) { return (21 - 2 * i) * D / 40.0; }

void fill_O(int s, double D, double B, RMat AREA, RMat ZF) {
  for (int i = 1; i <= NFIB; ++i) {
    AREA(s, i) = (D / 20.0) * B;
    ZF(s, i) = mid_height(i, D);
  }
}

void fill_R(int s, double D, double t, RMat AREA, RMat ZF) {
  if (t > 0.0) {
    // Tube: each fibre two symmetric arcs of the mid-wall circle.
    for (int i = 1; i <= NFIB; ++i) {
      const double theta = 1.49225651045525 - (i - 1) * 0.1570796326795;
      AREA(s, i) = t * 3.14159265359 * (D - t) / 20.0;
      ZF(s, i) = ((D - t) / 2.0) * std::sin(theta);
    }
    return;
  }
  // Solid (t = 0) or half of it (t < 0): strips of equal height, areas from
  // the cumulative cap area F(z), measured from the top.
  const double R = D / 2.0;
  const double f = (t == 0.0) ? 1.0 : 0.5;
  auto F = [R](double z) {
    if (R == 0.0) return 0.0;  // no circle: no area (avoids 0/0)
    return R * R * std::acos(z / R) - z * std::sqrt(R * R - z * z);
  };
  for (int k = 1; k <= 10; ++k) AREA(s, k) = f * F(R - k * (R / 10.0));
  for (int k = 10; k >= 2; --k) AREA(s, k) = AREA(s, k) - AREA(s, k - 1);
  for (int k = 1; k <= 10; ++k) AREA(s, 21 - k) = AREA(s, k);
  for (int i = 1; i <= NFIB; ++i) ZF(s, i) = mid_height(i, D);
}

struct Sums {
  double a = 0, az = 0, azz = 0;
};

Sums sums(int s, RMat AREA, RMat ZF) {
  Sums r;
  for (int i = 1; i <= NFIB; ++i) {
    const double a = AREA(s, i), z = ZF(s, i);
    r.a += a;
    r.az += a * z;
    r.azz += a * z * z;
  }
  return r;
}

void list_block_A(int s, RMat AREA, RMat ZF, TextOut& out) {
  static const Format head("(1X,85X,'A(CM**2)',8X,'Z(CM)')");
  static const Format fibre("(1X,80X,2E13.4)");
  static const Format sum_head("(1X,83X,'AAA(CM**2)   AAZ(CM**3)   AZZ(CM**4)')");
  static const Format sum_line("(1X,80X,3E13.4)");
  out.write(head, {});
  for (int i = 1; i <= NFIB; ++i) out.write(fibre, {AREA(s, i), ZF(s, i)});
  const Sums t = sums(s, AREA, ZF);
  out.write(sum_head, {});
  out.write(sum_line, {t.a, t.az, t.azz});
}

void list_block_B(int s, RMat AREA, RMat ZF, TextOut& out) {
  static const Format head("('0     UNIT-AREA       Z-COORDINATE')");
  static const Format fibre("(1X,2E15.5)");
  static const Format sum_head("('0     AREA           S              I')");
  static const Format sum_line("(1X,3E15.5)");
  out.write(head, {});
  for (int i = 1; i <= NFIB; ++i) out.write(fibre, {AREA(s, i), ZF(s, i)});
  const Sums t = sums(s, AREA, ZF);
  out.write(sum_head, {});
  out.write(sum_line, {t.a, t.az, t.azz});
}

}  // namespace

void build_section_THI(char letter, int s, double x1, double x2, double x3, double x4, double x5,
                       double x7, RMat AREA, RMat ZF, TextOut& out) {
  assert(s >= 1 && s <= AREA.ld && AREA.cols >= NFIB);
  switch (letter) {
    case 'T': {
      static const Format z0_line("(' ',3X,'Z0 =',D12.5/)");
      out.write(z0_line, {x7});
      fill_T(s, x1, x2, x3, x4, x7, AREA, ZF);
      break;
    }
    case 'I':
      fill_from_strips(strips_I(x1, x2, x3, x4, x5), s, x7, AREA, ZF);
      break;
    case 'H':
      fill_from_strips(strips_H(x2, x3, x4, x5), s, x7, AREA, ZF);
      break;
    default:
      assert(false && "not a T, H or I section");
      return;
  }
  list_block_A(s, AREA, ZF, out);
}

void build_section_ORC(char letter, int s, double x1, double x2, double x7, RMat AREA, RMat ZF,
                       TextOut& out) {
  assert(s >= 1 && s <= AREA.ld && AREA.cols >= NFIB);
  switch (letter) {
    case 'O':
      fill_O(s, x1, x2, AREA, ZF);
      break;
    case 'R':
      fill_R(s, x1, x2, AREA, ZF);
      break;
    case 'C':
      break;  // the table already held
    default:
      assert(false && "not an O, R or C section");
      return;
  }
  for (int i = 1; i <= NFIB; ++i) ZF(s, i) += x7;
  list_block_B(s, AREA, ZF, out);
}

}  // namespace nlf
