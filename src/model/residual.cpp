#include "model/residual.h"

#include <algorithm>
#include <cmath>

#include "io/format.h"

namespace nlf {

namespace {

// z of the centroid of the fibres of section s.
double centroid(const Model& md, int s) {
  double a = 0, az = 0;
  for (int i = 1; i <= NFIB; ++i) {
    a += md.AREA(s, i);
    az += md.AREA(s, i) * md.ZF(s, i);
  }
  return a != 0.0 ? az / a : 0.0;
}

// The pattern across a flange at distance y from the web's centre line:
// X2 at the web face, X1 at the tip, X2 over the web.
double flange_stress(const SectionShape& sh, const std::array<double, 4>& X, double y) {
  const double out = 0.5 * (sh.B - sh.tw);
  const double t = std::clamp((y - 0.5 * sh.tw) / out, 0.0, 1.0);
  return X[1] + (X[0] - X[1]) * t;
}

// The pattern along the web of an I section at distance y from mid-depth:
// X4 at mid-depth, X3 at the web's ends (D/2 - tf) and beyond.
double web_stress(const SectionShape& sh, const std::array<double, 4>& X, double y) {
  const double t = std::min(y / (0.5 * sh.D - sh.tf), 1.0);
  return X[3] + (X[2] - X[3]) * t;
}

void fill_I(const SectionShape& sh, const Model& md, int s, SectionResidual& r) {
  const std::array<double, 4>& X = r.X;
  // One bundle of sub-fibres, the same for all six flange strips.
  constexpr int n = kSubFibres;
  const double half = 0.5 * sh.B, over_web = 0.5 * sh.tw, w = (half - over_web) / n;
  std::array<double, n> share{}, sig{};
  for (int k = 0; k < n; ++k) {
    share[k] = w / half;
    sig[k] = X[1] + (X[0] - X[1]) * (k + 0.5) / n;  // the slice's centre value
  }
  // The innermost slice takes the part over the web, at X2.
  sig[0] = (over_web * X[1] + w * sig[0]) / (over_web + w);
  share[0] = (over_web + w) / half;
  double mean = 0;
  for (int k = 0; k < n; ++k) mean += share[k] * sig[k];

  const double zc = centroid(md, s);
  r.bundles = 0;
  for (int i = 1; i <= NFIB; ++i) {
    const int strip = i <= 10 ? i : 21 - i;
    if (strip <= 3) {
      const int b = r.bundles++;
      r.bundle[i - 1] = b;
      r.share[b] = share;
      r.sub_sig0[b] = sig;
      r.sig0[i - 1] = mean;
    } else {
      r.sig0[i - 1] = web_stress(sh, X, std::fabs(md.ZF(s, i) - zc));
    }
  }
}

void fill_H(const SectionShape& sh, const Model& md, int s, SectionResidual& r) {
  const std::array<double, 4>& X = r.X;
  const double zc = centroid(md, s);
  const double flanges = 2.0 * sh.tf;  // width of the two flanges side by side
  // Strips 8 and 9: height and mid-height of their flange parts, as the
  // builder cuts them (from tw/2 + 0.9 r down to tw/2).
  const double top8 = 0.5 * sh.tw + 0.9 * sh.r;
  const double height[2] = {0.662 * sh.r, 0.238 * sh.r};
  const double mid[2] = {top8 - 0.5 * height[0], top8 - height[0] - 0.5 * height[1]};
  for (int i = 1; i <= NFIB; ++i) {
    const int strip = i <= 10 ? i : 21 - i;
    double sig;
    if (strip <= 7) {
      sig = flange_stress(sh, X, std::fabs(md.ZF(s, i) - zc));
    } else if (strip <= 9) {
      const double a = md.AREA(s, i), af = flanges * height[strip - 8];
      const double f = flange_stress(sh, X, mid[strip - 8]);
      sig = a != 0.0 ? (af * f + (a - af) * X[2]) / a : f;
    } else {
      const double over_web = std::min(flanges, sh.B);
      sig = sh.B != 0.0 ? (over_web * X[1] + (sh.B - over_web) * 0.5 * (X[2] + X[3])) / sh.B : X[1];
    }
    r.sig0[i - 1] = sig;
  }
}

}  // namespace

SectionResidual residual_table(const SectionShape& shape, const std::array<double, 4>& X, const Model& md,
                               int s) {
  SectionResidual r;
  r.present = true;
  r.X = X;
  if (shape.letter == 'I')
    fill_I(shape, md, s, r);
  else
    fill_H(shape, md, s, r);
  return r;
}

ResidualSums residual_sums(const Model& md, int s, const SectionResidual& r) {
  const double zc = centroid(md, s);
  ResidualSums t;
  for (int i = 1; i <= NFIB; ++i) {
    const double f = md.AREA(s, i) * r.sig0[i - 1];
    t.force += f;
    t.moment += f * (md.ZF(s, i) - zc);
  }
  return t;
}

ResidualFault residual_fault(const SectionShape& shape, const Model& md, int s, const SectionResidual& r) {
  const double fy = md.SY(s);
  const std::string sec = std::to_string(s);
  for (int i = 1; i <= NFIB; ++i) {
    const int strip = i <= 10 ? i : 21 - i;
    const int b = r.bundle[i - 1];
    double sig = r.sig0[i - 1];
    int sub = -1;
    if (b >= 0)
      for (int k = 0; k < kSubFibres; ++k)
        if (sub < 0 || std::fabs(r.sub_sig0[b][k]) > std::fabs(sig)) {
          sig = r.sub_sig0[b][k];
          sub = k;
        }
    if (std::fabs(sig) < fy) continue;
    ResidualFault f;
    const std::string where = "FIBRE " + std::to_string(i) +
                              (sub >= 0 ? " (SUB-FIBRE " + std::to_string(sub + 1) + ")" : std::string());
    f.what = "RESIDUAL STRESS " + message_number(sig) + " OF " + where + " NOT BELOW THE YIELD STRESS " +
             message_number(fy);
    f.detail = "starts fibre " + std::to_string(i) + " of section " + sec +
               (sub >= 0 ? " (its sub-fibre " + std::to_string(sub + 1) + " of " + std::to_string(kSubFibres) +
                               ", counted from the web to the flange tip)"
                         : std::string()) +
               " at " + message_number(sig) + " t/cm2, at or beyond the yield stress " + message_number(fy) +
               " of the section";
    if (shape.letter == 'I') {
      f.first_field = b >= 0 ? 1 : 3;
      f.last_field = b >= 0 ? 2 : 4;
    } else {
      f.first_field = strip == 10 ? 2 : 1;
      f.last_field = strip <= 7 ? 2 : strip <= 9 ? 3 : 4;
    }
    return f;
  }

  const ResidualSums t = residual_sums(md, s, r);
  const double zc = centroid(md, s);
  double area = 0, first_moment = 0;
  for (int i = 1; i <= NFIB; ++i) {
    area += md.AREA(s, i);
    first_moment += md.AREA(s, i) * std::fabs(md.ZF(s, i) - zc);
  }
  const double n_limit = 0.01 * area * fy, m_limit = 0.01 * first_moment * fy;
  ResidualFault f;
  if (std::fabs(t.force) > n_limit) {
    f.what = "RESIDUAL STRESSES NOT IN EQUILIBRIUM: NET AXIAL FORCE " + message_number(t.force) + " T ABOVE " +
             message_number(n_limit) + " T (1 % OF A*FY)";
    f.detail = "gives section " + sec + " residual stresses that are not self-equilibrated: their net axial force " +
               message_number(t.force) + " t is more than 1 % of A*fy (" + message_number(n_limit) + " t)";
  } else if (std::fabs(t.moment) > m_limit) {
    f.what = "RESIDUAL STRESSES NOT IN EQUILIBRIUM: NET MOMENT " + message_number(t.moment) + " T-CM ABOVE " +
             message_number(m_limit) + " T-CM (1 % OF MP)";
    f.detail = "gives section " + sec + " residual stresses that are not self-equilibrated: their net moment " +
               message_number(t.moment) + " t-cm is more than 1 % of Mp (" + message_number(m_limit) + " t-cm)";
  }
  return f;
}

}  // namespace nlf
