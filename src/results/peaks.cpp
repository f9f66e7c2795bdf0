#include "results/peaks.h"

#include <cmath>

namespace nlf::results {

namespace {

const TableBlock* block_of(const std::vector<TableBlock>& blocks, int step) {
  for (const TableBlock& b : blocks)
    if (b.step == step) return &b;
  return nullptr;
}

double field_of(const TableBlock& b, int joint, std::size_t col) {
  for (const auto& row : b.rows)
    if (read_int(row[0]) == joint) {
      const auto v = read_real(row[col]);
      return v ? *v : std::nan("");
    }
  return std::nan("");
}

}  // namespace

std::vector<GroupPeak> group_peaks(const ListingSummary& listing, const std::vector<TableBlock>& joint_forces,
                                   const std::vector<TableBlock>& joint_displacements) {
  const char* force_cols[3] = {"internal_X(TON)", "internal_Y(TON)", "internal_M(TON*CM)"};
  const char* disp_cols[3] = {"total_U(MM)", "total_V(MM)", "total_T(1/100)"};
  std::vector<GroupPeak> peaks;
  int number = 0;
  for (const ListedGroup& g : listing.groups) {
    ++number;
    if (g.steps == 0) continue;
    const int last = g.first_step + g.steps - 1;
    bool pushed = false;
    for (int d = 1; d <= 3; ++d) {
      std::vector<int> joints;
      for (const PrescribedFreedom& f : g.prescribed)
        if (f.dir == d) joints.push_back(f.joint);
      if (joints.empty()) continue;
      pushed = true;
      const std::size_t fc = joint_forces_layout().column(force_cols[d - 1]);
      const std::size_t dc = joint_displacements_layout().column(disp_cols[d - 1]);
      GroupPeak p{GroupPeak::Kind::kForce, number, 0, 0, d, joints.front(), 0};
      for (const TableBlock& b : joint_forces) {
        if (b.step < g.first_step || b.step > last) continue;
        double force = 0;
        for (int j : joints) force += field_of(b, j, fc);
        if (std::isnan(force)) continue;
        if (p.step != 0 && std::fabs(force) <= std::fabs(p.value)) {
          if (std::fabs(force) < std::fabs(p.value)) p.passed = true;
          continue;
        }
        p.value = force;
        p.step = b.step;
        p.passed = false;
      }
      if (p.step == 0) continue;
      if (const TableBlock* b = block_of(joint_displacements, p.step)) p.displacement = field_of(*b, p.joint, dc);
      if (const StepIterations* s = listing.step(p.step)) p.converged = s->converged;
      peaks.push_back(p);
    }
    if (pushed) continue;
    GroupPeak p{GroupPeak::Kind::kLoadFactor, number, 0, 0, 0, 0, 0};
    double factor = 0;
    for (const StepIterations& s : listing.steps) {
      if (s.step < g.first_step || s.step > last || !s.done) continue;
      factor += g.arc_length ? s.dlambda : 1.0;
      if (p.step == 0 || factor > p.value) {
        p.value = factor;
        p.step = s.step;
        p.converged = s.converged;
        p.passed = false;
      } else if (factor < p.value) {
        p.passed = true;
      }
    }
    if (p.step != 0) peaks.push_back(p);
  }
  return peaks;
}

}  // namespace nlf::results
