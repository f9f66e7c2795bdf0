#include "output/step_tables.h"

#include <cstddef>

#include "output/step_results.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

namespace {

// Displacements print in millimetres, rotations in hundredths of a radian.
constexpr double TO_MM = 10.0;
constexpr double TO_CENTIRAD = 100.0;

std::size_t at(int row, int width, int col) {
  return static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(col);
}

}  // namespace

StepTables::StepTables(const Sizes& sz) {
  const auto nj = static_cast<std::size_t>(sz.MUMJ), nm = static_cast<std::size_t>(sz.MUMM);
  const auto nw = static_cast<std::size_t>(sz.MUMW);
  joint.resize(nj);
  ends.resize(2 * nm);
  joint_forces.resize(nj * kJointColumns);
  joint_disp.resize(nj * kJointColumns);
  curve_codes.resize(nw * kCurveColumns);
  curve_count.resize(nw);
  curves.resize(nw * kCurveColumns);
  member_forces.resize(nm * kMemberColumns);
  nodes.resize(nm * NPT * kNodeColumns);
  stress.resize(nm * NFM);
  strain.resize(nm * NFM);
  state.resize(nm * NFM);
}

void StepTables::build(const Model& md, FibreStore& fs, int step_no, int detail_step, unsigned want) {
  step = step_no;
  detail = detail_step;
  parts = want & (detail == 1 ? kAllParts : ~static_cast<unsigned>(kNodeParts));
  NJ = md.NJ;
  NM = md.NM;
  NW = md.NW;

  for (int j = 1; j <= NJ; ++j) joint[j - 1] = static_cast<int>(md.JNO(j));
  for (int m = 1; m <= NM; ++m) {
    ends[at(m - 1, 2, 0)] = static_cast<int>(md.JNO(md.IJ(m, 1)));
    ends[at(m - 1, 2, 1)] = static_cast<int>(md.JNO(md.IJ(m, 2)));
  }

  if (parts & kJointParts) {
    const bool two_columns = md.sz.NRHS != 1;
    const RVec* vectors[3] = {&md.DITER, &md.DSTEP, &md.DISP};
    for (int j = 1; j <= NJ; ++j) {
      for (int d = 1; d <= 3; ++d) {
        // The load columns are indexed by equation: a linked freedom shows
        // the entry of the equation it shares.
        const int eq = md.eq(j, d);
        double ac = md.RHS(eq, 1);
        if (two_columns) ac += md.RHS(eq, 2);
        joint_forces[at(j - 1, kJointColumns, d - 1)] = ac;
        joint_forces[at(j - 1, kJointColumns, 2 + d)] = md.PLOAD(md.pat(j, d));
        joint_forces[at(j - 1, kJointColumns, 5 + d)] = md.R(joint_serial(j, d));
      }
      const int ex = md.eq(j, 1), ey = md.eq(j, 2), et = md.eq(j, 3);
      for (int t = 0; t < 3; ++t) {
        const RVec& v = *vectors[t];
        joint_disp[at(j - 1, kJointColumns, 3 * t)] = v(ex) * TO_MM;
        joint_disp[at(j - 1, kJointColumns, 3 * t + 1)] = v(ey) * TO_MM;
        joint_disp[at(j - 1, kJointColumns, 3 * t + 2)] = v(et) * TO_CENTIRAD;
      }
    }
  }

  if (parts & kCurveParts) {
    for (int i = 1; i <= NW; ++i) {
      int count = 0;
      for (int k = 1; k <= kCurveColumns; ++k) {
        curve_codes[at(i - 1, kCurveColumns, k - 1)] = md.W(i, k);
        const CurveCode c = decode_curve_code(md.W(i, k));
        if (c.J == 0) break;
        count = k;
        double v = 0.0;
        const int n = md.jmap(c.J);
        // An unknown joint, kind or direction leaves the value at zero.
        if (n >= 1 && n <= md.NJ && c.D >= 1 && c.D <= 3) {
          if (c.K == 1) {
            v = md.R(joint_serial(n, c.D));
          } else if (c.K == 2) {
            v = md.DISP(md.eq(n, c.D)) * (c.D == 3 ? TO_CENTIRAD : TO_MM);
          }
        }
        curves[at(i - 1, kCurveColumns, k - 1)] = v;
      }
      curve_count[i - 1] = count;
    }
  }

  if (parts & kNodeParts) {
    const RMat* tables[3] = {&md.DPT, &md.DPSTEP, &md.DPRUN};
    for (int m = 1; m <= NM; ++m)
      for (int k = 1; k <= NPT; ++k)
        for (int t = 0; t < 3; ++t) {
          const RMat& d = *tables[t];
          const std::size_t row = at((m - 1) * NPT + (k - 1), kNodeColumns, 3 * t);
          nodes[row] = d(3 * k - 2, m) * TO_MM;
          nodes[row + 1] = d(3 * k - 1, m) * TO_MM;
          nodes[row + 2] = d(3 * k, m) * TO_CENTIRAD;
        }
  }

  if (!(parts & (kMemberParts | kFibreParts))) return;
  // One pass over the fibre state (a scratch file is read once) for the
  // member forces and the fibre tables. End strains come from the two
  // middle fibres (axial) and the two outer fibres (difference) of the end
  // sections, in per cent.
  constexpr int mid = NFIB / 2;
  fs.results_begin();
  for (int m = 1; m <= NM; ++m) {
    const MemberFibres f = fs.results_member(m);
    if (parts & kMemberParts) {
      auto eps = [&](int fib, int sec) { return f.EPS[MemberFibres::at(fib, sec)]; };
      double* row = &member_forces[at(m - 1, kMemberColumns, 0)];
      row[0] = md.MEMF(m, 1);                                 // NI
      row[1] = (eps(mid, 1) + eps(mid + 1, 1)) * 50.0;
      row[2] = md.MEMF(m, 4);                                 // NJ
      row[3] = (eps(mid, NSTA) + eps(mid + 1, NSTA)) * 50.0;
      row[4] = md.MEMF(m, 2);                                 // QI
      row[5] = md.MEMF(m, 5);                                 // QJ
      row[6] = md.MEMF(m, 3);                                 // MI
      row[7] = (eps(1, 1) - eps(NFIB, 1)) * 100.0;
      row[8] = md.MEMF(m, 6);                                 // MJ
      row[9] = (eps(1, NSTA) - eps(NFIB, NSTA)) * 100.0;
    }
    if (parts & kFibreParts) {
      const std::size_t base = static_cast<std::size_t>(fibre(m, 1, 1));
      for (int a = 0; a < NFM; ++a) {
        const double s = f.SIG[a];
        stress[base + a] = s;
        strain[base + a] = f.EPS[a];
        const char c = stress_symbol(s, f.SIGU[a], f.SIGL[a]);
        state[base + a] = static_cast<std::int8_t>(c == '+' ? 1 : c == '-' ? -1 : 0);
      }
    }
  }
  fs.results_end();
}

}  // namespace nlf
