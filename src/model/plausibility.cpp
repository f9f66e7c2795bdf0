#include "model/plausibility.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nlf {

namespace {

// Units a stress or a modulus is often given in, with the factor that takes
// a value in them to t/cm2.
struct StressUnit {
  const char* name;
  double to_t_cm2;
};
constexpr StressUnit kStressUnits[] = {
    {"MPa (N/mm2)", 1.0 / 98.0665}, {"kN/cm2", 1.0 / 9.80665}, {"kgf/cm2", 1e-3},
    {"GPa", 1000.0 / 98.0665},      {"ksi", 0.0703070},         {"kN/m2 (kPa)", 1.0 / 98066.5},
    {"N/m2 (Pa)", 1.0 / 98066500.0}, {"t/m2", 1e-4},
};

constexpr double kSteelE = 2100;  // t/cm2

std::string g(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.6G", v);
  return b;
}

// The unit in which `value` falls into [lo, hi] t/cm2, or null.
const StressUnit* unit_into(double value, double lo, double hi) {
  for (const StressUnit& u : kStressUnits) {
    const double v = value * u.to_t_cm2;
    if (v >= lo && v <= hi) return &u;
  }
  return nullptr;
}

std::string likely(const StressUnit* u, double value) {
  return ": given in " + std::string(u->name) + "? In t/cm2 it is " + g(value * u->to_t_cm2);
}

double distance(const Model& md, int a, int b) { return std::hypot(md.XJ(b) - md.XJ(a), md.YJ(b) - md.YJ(a)); }

// The depth of section s: the spread of its fibres' positions.
double section_depth(const Model& md, int s) {
  double lo = 0, hi = 0;
  bool any = false;
  for (int t = 1; t <= md.sz.MUMT; ++t) {
    if (md.AREA(s, t) <= 0) continue;
    const double z = md.ZF(s, t);
    lo = any ? std::min(lo, z) : z;
    hi = any ? std::max(hi, z) : z;
    any = true;
  }
  return hi - lo;
}

// The lengths of the frame: storeys and spans far beyond buildings' and
// bridges', or members very long for their sections' depths (in mm); a
// frame only a few cm across with members shorter than their depths (in
// m). One finding at most, the most telling.
std::string length_finding(const Model& md) {
  double storey = 0, span = 0, ratio = 0, worst_length = 0, worst_depth = 0, extent = 0;
  int storey_m = 0, span_m = 0, ratio_m = 0, stubby = 0;
  for (int m = 1; m <= md.NM; ++m) {
    const int a = md.IJ(m, 1), b = md.IJ(m, 2);
    if (a < 1 || b < 1) continue;
    const double dx = std::fabs(md.XJ(b) - md.XJ(a)), dy = std::fabs(md.YJ(b) - md.YJ(a));
    const double L = distance(md, a, b);
    if (dx <= 0.05 * dy && dy > storey) storey = dy, storey_m = m;
    if (dy <= 0.05 * dx && dx > span) span = dx, span_m = m;
    const double d = section_depth(md, md.ISEC(m));
    if (d > 0 && L / d > ratio) ratio = L / d, ratio_m = m, worst_length = L, worst_depth = d;
    if (d > 0 && L < d) ++stubby;
  }
  for (int j = 1; j <= md.NJ; ++j)
    for (int k = 1; k < j; ++k) extent = std::max(extent, distance(md, j, k));
  if (storey > 2500)
    return "member " + std::to_string(storey_m) + " makes a storey " + g(storey) +
           " cm high, far beyond buildings' storeys: lengths in mm? In cm it is " + g(storey / 10);
  if (span > 30000)
    return "member " + std::to_string(span_m) + " spans " + g(span) +
           " cm, far beyond buildings' and bridges' spans: lengths in mm? In cm it is " + g(span / 10);
  if (ratio > 200)
    return "member " + std::to_string(ratio_m) + " is " + g(worst_length) + " cm long, " + g(ratio) +
           " times the depth of its section (" + g(worst_depth) + " cm): lengths in mm? In cm it is " +
           g(worst_length / 10);
  if (md.NM > 0 && extent > 0 && extent < 50 && stubby == md.NM)
    return "the frame is " + g(extent) + " cm across, its members shorter than their sections are deep: "
           "lengths in m? In cm it is " + g(extent * 100) + " across";
  return {};
}

}  // namespace

std::vector<std::string> material_findings(double E, double E2, double E3) {
  std::vector<std::string> out;
  const StressUnit* unit = nullptr;
  // Only a value that another unit explains: a model may stiffen or soften
  // the material on purpose.
  if (E > 0 && (E < kSteelE / 5 || E > kSteelE * 5)) {
    unit = unit_into(E, 1500, 2500);
    if (unit != nullptr)
      out.push_back("P card: E = " + g(E) + " is far from steel's " + g(kSteelE) + " t/cm2" + likely(unit, E));
  }
  // Hardening and bounding slopes: some 1 % of E, never near E itself.
  const auto slope = [&](const char* name, double v) {
    if (!(v > kSteelE / 10) || v >= E) return;  // a slope not below E is refused or already odd
    const StressUnit* u = unit != nullptr && v * unit->to_t_cm2 <= kSteelE / 10 ? unit : unit_into(v, 2, 210);
    if (u == nullptr) return;
    out.push_back("P card: " + std::string(name) + " = " + g(v) +
                  " is far above the slopes of steel past yield (some 21 t/cm2, 1 % of E)" + likely(u, v));
  };
  slope("E2", E2);
  slope("E3", E3);
  return out;
}

std::string yield_finding(double yield, int section) {
  if (!(yield > 0) || (yield >= 0.5 && yield <= 15)) return {};
  // A yield stress far above any steel's and in no other unit is a frame
  // kept elastic on purpose.
  const StressUnit* u = unit_into(yield, 1.5, 8);
  if (u == nullptr) return {};
  return "section " + std::to_string(section) + ": yield stress " + g(yield) +
         " is far from steel's (2.4 to 7 t/cm2)" + likely(u, yield);
}

std::vector<std::string> plausibility_findings(const Model& md) {
  std::vector<std::string> out = material_findings(md.E, md.E2, md.E3);
  for (int s = 1; s <= md.sz.MUMS; ++s) {
    bool used = false;
    for (int m = 1; m <= md.NM && !used; ++m) used = md.ISEC(m) == s;
    if (!used) continue;
    const std::string y = yield_finding(md.SY(s), s);
    if (!y.empty()) out.push_back(y);
  }
  const std::string len = length_finding(md);
  if (!len.empty()) out.push_back(len);
  return out;
}

}  // namespace nlf
