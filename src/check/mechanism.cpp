#include "check/mechanism.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nlf {

namespace {

constexpr const char* kDirection[] = {"", "X", "Y", "rotation"};

// True when direction d of joint j is prescribed by the group or has a spring.
bool held(const Model& md, int j, int d) {
  if (md.LTYPE(md.pat(j, d)) != 0) return true;
  for (int k = 1; k <= md.NK; ++k)
    if (md.KJ(k) == j && md.KF(k, d) > 0) return true;
  return false;
}

}  // namespace

std::vector<std::string> mechanism_findings(const Model& md) {
  std::vector<std::string> out;
  if (md.NJ == 0) return out;
  // Joints that no member reaches: every direction must be held.
  std::vector<bool> reached(static_cast<std::size_t>(md.NJ) + 1, false);
  double longest = 0, shortest = 0;
  int short_member = 0;
  for (int m = 1; m <= md.NM; ++m) {
    const int a = md.IJ(m, 1), b = md.IJ(m, 2);
    if (a < 1 || b < 1) continue;
    reached[static_cast<std::size_t>(a)] = reached[static_cast<std::size_t>(b)] = true;
    const double L = std::hypot(md.XJ(b) - md.XJ(a), md.YJ(b) - md.YJ(a));
    longest = std::max(longest, L);
    if (short_member == 0 || L < shortest) shortest = L, short_member = m;
  }
  for (int j = 1; j <= md.NJ; ++j) {
    if (reached[static_cast<std::size_t>(j)]) continue;
    for (int d = 1; d <= 3; ++d)
      if (!held(md, j, d)) {
        out.push_back("the model is a mechanism: joint " + std::to_string(md.JNO(j)) +
                      " belongs to no member and nothing holds it in " + kDirection[d] +
                      " (its stiffness matrix is singular: the run stops at its first step)");
        break;
      }
  }
  if (short_member != 0 && shortest < 1e-3 * longest) {
    char b[64];
    std::snprintf(b, sizeof b, "%.4G cm long beside members of %.4G cm", shortest, longest);
    out.push_back("member " + std::to_string(short_member) + " is " + b +
                  ", too short to be told from a point: its stiffness matrix may be singular");
  }
  if (md.NM == 0) return out;
  // The frame as a whole: held in X, in Y and against turning.
  int in_x = 0, in_y = 0, in_rotation = 0, points = 0;
  for (int j = 1; j <= md.NJ; ++j) {
    const bool x = held(md, j, 1), y = held(md, j, 2), r = held(md, j, 3);
    in_x += x, in_y += y, in_rotation += r;
    points += x || y;
  }
  for (int d = 1; d <= 2; ++d)
    if ((d == 1 ? in_x : in_y) == 0)
      out.push_back(std::string("the model is a mechanism: no support or spring holds the frame in ") +
                    kDirection[d] + " in the first load group (its stiffness matrix is singular: the run stops "
                    "at its first steps)");
  if (in_x > 0 && in_y > 0 && in_rotation == 0 && points == 1)
    out.push_back("the model is a mechanism: the frame is held at one joint only, free to turn about it (its "
                  "stiffness matrix is singular: the run stops at its first steps)");
  return out;
}

}  // namespace nlf
