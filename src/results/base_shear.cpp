#include "results/base_shear.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace nlf::results {

namespace {

// A field as a number; asterisks (too wide) and blanks read as NaN.
double value(const std::vector<std::string>& row, std::size_t c) {
  const auto v = read_real(row[c]);
  return v ? *v : std::nan("");
}

}  // namespace

std::optional<BaseShear> base_shear(const Frame& frame, const std::vector<TableBlock>& joint_forces,
                                    const std::vector<TableBlock>& joint_displacements) {
  BaseShear b;
  for (const Joint& j : frame.joints)
    if ((j.held & kFixX) && !(j.pushed & kFixX)) b.supports.push_back(j.number);
  if (b.supports.empty() || !frame.lateral) return std::nullopt;

  const std::size_t fx = joint_forces_layout().column("internal_X(TON)");
  const std::size_t ux = joint_displacements_layout().column("total_U(MM)");
  std::map<int, const TableBlock*> disp;
  for (const TableBlock& d : joint_displacements) disp[d.step] = &d;

  // The joint that sways most, over every output step.
  double largest = 0;
  for (const TableBlock& d : joint_displacements)
    for (const auto& row : d.rows) {
      const double u = std::fabs(value(row, ux));
      const auto n = read_int(row[0]);
      if (n && u > largest && std::find(b.supports.begin(), b.supports.end(), *n) == b.supports.end()) {
        largest = u;
        b.joint = *n;
      }
    }
  if (b.joint == 0) return std::nullopt;

  for (const TableBlock& f : joint_forces) {
    const auto d = disp.find(f.step);
    if (d == disp.end()) continue;
    BaseShearPoint p{f.step, 0, std::nan("")};
    for (int s : b.supports) {
      const auto row = std::find_if(f.rows.begin(), f.rows.end(), [&](const auto& r) { return read_int(r[0]) == s; });
      if (row == f.rows.end())
        throw ResultError("Jfor.rst, step " + std::to_string(f.step) + ": no row of joint " + std::to_string(s) +
                          ", a support of the deck");
      // The reactions act against the load they balance.
      p.shear -= value(*row, fx);
    }
    for (const auto& row : d->second->rows)
      if (read_int(row[0]) == b.joint) p.drift = value(row, ux);
    b.points.push_back(p);
  }
  if (b.points.empty()) return std::nullopt;
  for (std::size_t i = 1; i < b.points.size(); ++i)
    if (std::fabs(b.points[i].shear) > std::fabs(b.points[b.peak].shear)) b.peak = i;
  return b;
}

}  // namespace nlf::results
