#include "model/section_figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "io/format.h"

namespace nlf {

namespace {

// Columns of the real field Xk.
DimensionFault fault(int k, const std::string& what) {
  return {what, 11 + 10 * (k - 1), 10 + 10 * k};
}

// The first of the named fields that is not positive.
struct Field {
  int k;
  const char* name;
};
DimensionFault first_not_positive(const Card& c, std::initializer_list<Field> fields) {
  for (const Field& f : fields)
    if (!(c.X(f.k) > 0.0))
      return fault(f.k, std::string(f.name) + " " + message_number(c.X(f.k)) + " is not positive");
  return {};
}

}  // namespace

bool section_held(const Model& md, int s) {
  if (md.SY(s) != 0.0) return true;
  for (int i = 1; i <= NFIB; ++i)
    if (md.AREA(s, i) != 0.0 || md.ZF(s, i) != 0.0) return true;
  return false;
}

SectionFigures section_figures(const Model& md, int s) {
  SectionFigures f;
  std::array<std::pair<double, double>, NFIB> fib{};  // (z, area)
  double az = 0;
  for (int i = 1; i <= NFIB; ++i) {
    fib[i - 1] = {md.ZF(s, i), md.AREA(s, i)};
    f.area += md.AREA(s, i);
    az += md.AREA(s, i) * md.ZF(s, i);
  }
  if (f.area == 0.0) return f;
  f.centroid = az / f.area;
  for (const auto& [z, a] : fib) f.inertia += a * (z - f.centroid) * (z - f.centroid);
  // The equal-area axis: where half the area lies on either side. The sum
  // of A |z - z_p| is smallest there, and does not change while z_p moves
  // between two fibres with half the area above.
  std::sort(fib.begin(), fib.end());
  double below = 0, zp = fib.back().first;
  for (const auto& [z, a] : fib) {
    below += a;
    if (below >= 0.5 * f.area) {
      zp = z;
      break;
    }
  }
  for (const auto& [z, a] : fib) f.plastic += a * std::fabs(z - zp);
  f.mp = md.SY(s) * f.plastic;
  return f;
}

DimensionFault impossible_dimensions(const Card& c) {
  switch (c.ch) {
    case 'T': {
      DimensionFault d = first_not_positive(
          c, {{2, "flange width"}, {3, "stem thickness"}, {4, "flange thickness"}});
      if (d.what.empty() && !(c.X(1) > c.X(4)))
        d = fault(1, "depth " + message_number(c.X(1)) + " is not above the flange thickness " + message_number(c.X(4)));
      return d;
    }
    case 'I': {
      DimensionFault d = first_not_positive(
          c, {{2, "flange width"}, {3, "web thickness"}, {4, "flange thickness"}});
      if (d.what.empty() && c.X(5) < 0.0) d = fault(5, "fillet radius " + message_number(c.X(5)) + " is negative");
      if (d.what.empty() && !(0.5 * c.X(1) - 0.9 * c.X(5) - c.X(4) > 0.0))
        d = fault(1, "half the depth " + message_number(c.X(1)) +
                         " is not more than the flange and fillet (tf + 0.9 r)");
      return d;
    }
    case 'H': {
      DimensionFault d = first_not_positive(
          c, {{2, "flange width"}, {3, "web thickness"}, {4, "flange thickness"}});
      if (d.what.empty() && c.X(5) < 0.0) d = fault(5, "fillet radius " + message_number(c.X(5)) + " is negative");
      if (d.what.empty() && !((c.X(2) - c.X(3)) / 2.0 - 0.9 * c.X(5) > 0.0))
        d = fault(2, "half the flange width " + message_number(c.X(2)) +
                         " is not more than half the web and the fillet (tw/2 + 0.9 r)");
      return d;
    }
    case 'O':
      return first_not_positive(c, {{1, "depth"}, {2, "width"}});
    case 'R': {
      DimensionFault d = first_not_positive(c, {{1, "diameter"}});
      if (d.what.empty() && c.X(3) > 0.0 && c.X(3) >= 0.5 * c.X(1))
        d = fault(3, "wall thickness " + message_number(c.X(3)) + " is not below the radius " +
                         message_number(0.5 * c.X(1)));
      return d;
    }
    default:
      return {};
  }
}

}  // namespace nlf
