#include "output/step_results.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <string_view>
#include <utility>

#include "io/format.h"
#include "io/units.h"
#include "store/model.h"
#include "storage/fibre_store.h"

namespace nlf {

namespace {

constexpr int UNIT_MSTR = 17;
constexpr int UNIT_MDIS = 18;
constexpr int UNIT_MFOR = 19;
constexpr int UNIT_JDIS = 20;
constexpr int UNIT_JFOR = 21;
constexpr int FIRST_CURVE_UNIT = 60;
constexpr int NCODES = 7;

// Displacements print in millimetres, rotations in hundredths of a radian.
constexpr double TO_MM = 10.0;
constexpr double TO_CENTIRAD = 100.0;

// A fixed list of N items, filled in place line by line.
template <std::size_t N>
std::array<Item, N> item_list() {
  return [] <std::size_t... I>(std::index_sequence<I...>) {
    return std::array<Item, N>{(static_cast<void>(I), Item(0))...};
  }(std::make_index_sequence<N>{});
}

// --- joint forces (unit 21)

void joint_forces(const Model& md, TextOut& out, int step) {
  static const Format heading(
      "(1X,'STEP',I4,2X,'/---------- AC. LOAD ------------/',2X,"
      "'/------------ EX, LOAD ------------/',2X,"
      "'/------------ IN. LOAD ------------/')");
  static const Format columns("(1X,'JOINT',1X,3(8X,'X(TON)',6X,'Y(TON)',3X,'M(TON*CM)'),/)");
  static const Format line("(1X,I5,1X,3(2X,3F12.3))");

  out.write(heading, {step});
  out.write(columns, std::span<const Item>());

  const bool two_columns = md.sz.NRHS != 1;
  auto items = item_list<10>();
  for (int j = 1; j <= md.NJ; ++j) {
    items[0] = Item(static_cast<int>(md.JNO(j)));
    for (int d = 1; d <= 3; ++d) {
      // The load columns are indexed by equation: a linked freedom shows the
      // entry of the equation it shares.
      const int eq = md.eq(j, d);
      double ac = md.RHS(eq, 1);
      if (two_columns) ac += md.RHS(eq, 2);
      items[d] = Item(ac);
      items[3 + d] = Item(md.PLOAD(md.pat(j, d)));
      items[6 + d] = Item(md.R(joint_serial(j, d)));
    }
    out.write(line, items);
  }
}

// --- response curves (units 61..60+NW)

void response_curves(const Model& md, Units& units, int step) {
  static const Format line("(1X,I5,1X,1P,7E14.4)");

  auto items = item_list<1 + NCODES>();
  for (int i = 1; i <= md.NW; ++i) {
    items[0] = Item(step);
    int count = 0;
    for (int k = 1; k <= NCODES; ++k) {
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
      items[k] = Item(v);
    }
    units.text(FIRST_CURVE_UNIT + i).write(line, std::span<const Item>(items.data(), 1 + count));
  }
}

// --- joint displacements (unit 20)

void joint_displacements(const Model& md, TextOut& out, int step) {
  static const Format heading(
      "(1X,'STEP',I4,2X,'/-------- DISPLACEMENT ----------/',2X,"
      "'/----- SUBTOTAL  DISPLACEMENT -----/',2X,"
      "'/------ TOTAL DISPLACEMENT ------/')");
  static const Format columns("(1X,'JOINT',1X,3(9X,'U(MM)',7X,'V(MM)',4X,'T(1/100)'),/)");
  // 0P: the rotation is printed as it stands, not scaled by the 3P of the
  // displacement fields before it.
  static const Format line("(1X,I5,1X,3(2X,3P,E12.3,2X,3P,E12.3,0P,F10.3))");

  out.write(heading, {step});
  out.write(columns, std::span<const Item>());

  const std::array<const RVec*, 3> vectors{&md.DITER, &md.DSTEP, &md.DISP};
  auto items = item_list<10>();
  for (int j = 1; j <= md.NJ; ++j) {
    items[0] = Item(static_cast<int>(md.JNO(j)));
    const int ex = md.eq(j, 1), ey = md.eq(j, 2), et = md.eq(j, 3);
    for (int t = 0; t < 3; ++t) {
      const RVec& v = *vectors[t];
      items[1 + 3 * t] = Item(v(ex) * TO_MM);
      items[2 + 3 * t] = Item(v(ey) * TO_MM);
      items[3 + 3 * t] = Item(v(et) * TO_CENTIRAD);
    }
    out.write(line, items);
  }
}

// --- member forces (unit 19)

void member_forces(const Model& md, FibreStore& fs, TextOut& out, int step) {
  static const Format heading(
      "(1X,'STEP',I4,2X,'/------------- AXIAL --------------/',2X,"
      "'/------- SHEARING -------/',2X,"
      "'/--------------- BENDING --------------/')");
  static const Format columns(
      "(1X,4X,'I  J     NI(TON)    STRAIN   ','NJ(TON)    STRAIN',8X,'QI(TON)',6X,"
      "'QJ(TON)',4X,'MI(T*CM)     E1-E2  MJ(T*CM)     E1-E2',/)");
  static const Format line(
      "(1X,I3,1X,I3,'-',I3,1X,2(F10.3,'(',F8.4,')'),1X,2F13.3,1X,"
      "2(F10.1,'(',F8.4,')'))");

  out.write(heading, {step});
  out.write(columns, std::span<const Item>());

  // End strains from the two middle fibres (axial) and the two outer fibres
  // (difference) of the end sections, in per cent.
  constexpr int mid = NFIB / 2;
  auto items = item_list<13>();
  fs.results_begin();
  for (int m = 1; m <= md.NM; ++m) {
    const MemberFibres f = fs.results_member(m);
    auto eps = [&](int fib, int sec) { return f.EPS[MemberFibres::at(fib, sec)]; };
    const double axial_i = (eps(mid, 1) + eps(mid + 1, 1)) * 50.0;
    const double axial_j = (eps(mid, NSTA) + eps(mid + 1, NSTA)) * 50.0;
    const double diff_i = (eps(1, 1) - eps(NFIB, 1)) * 100.0;
    const double diff_j = (eps(1, NSTA) - eps(NFIB, NSTA)) * 100.0;

    items[0] = Item(m);
    items[1] = Item(static_cast<int>(md.JNO(md.IJ(m, 1))));
    items[2] = Item(static_cast<int>(md.JNO(md.IJ(m, 2))));
    items[3] = Item(md.MEMF(m, 1));   // NI
    items[4] = Item(axial_i);
    items[5] = Item(md.MEMF(m, 4));   // NJ
    items[6] = Item(axial_j);
    items[7] = Item(md.MEMF(m, 2));   // QI
    items[8] = Item(md.MEMF(m, 5));   // QJ
    items[9] = Item(md.MEMF(m, 3));   // MI
    items[10] = Item(diff_i);
    items[11] = Item(md.MEMF(m, 6));  // MJ
    items[12] = Item(diff_j);
    out.write(line, items);
  }
  fs.results_end();
}

// --- member displacements (unit 18)

void member_displacements(const Model& md, TextOut& out, int step) {
  static const Format heading(
      "(1X,'STEP',I4,12X,2X,'/-------- DISPLACEMENT ----------/',2X,"
      "'/----- SUBTOTAL  DISPLACEMENT -----/',2X,"
      "'/------ TOTAL DISPLACEMENT ------/')");
  // 0P as in the joint displacement line.
  static const Format line(
      "(1X,I3,'(',I3,'-',I3,')',I3,2X,3(2X,1P,E12.3,2X,1P,E12.3,0P,F10.3))");

  out.write(heading, {step});

  const std::array<const RMat*, 3> tables{&md.DPT, &md.DPSTEP, &md.DPRUN};
  auto items = item_list<13>();
  for (int m = 1; m <= md.NM; ++m) {
    items[0] = Item(m);
    items[1] = Item(static_cast<int>(md.JNO(md.IJ(m, 1))));
    items[2] = Item(static_cast<int>(md.JNO(md.IJ(m, 2))));
    for (int k = 1; k <= NPT; ++k) {
      items[3] = Item(k);
      for (int t = 0; t < 3; ++t) {
        const RMat& d = *tables[t];
        items[4 + 3 * t] = Item(d(3 * k - 2, m) * TO_MM);
        items[5 + 3 * t] = Item(d(3 * k - 1, m) * TO_MM);
        items[6 + 3 * t] = Item(d(3 * k, m) * TO_CENTIRAD);
      }
      out.write(line, items);
    }
  }
}

// --- stress distribution (unit 17)

void member_stresses(const Model& md, FibreStore& fs, TextOut& out, int step) {
  static const Format heading("(/,1X,'STEP',I4)");
  static const Format member_line("(1X,'STEP=',I3,'  STRESS OF MEMBER (',I3,') ',I3,'-',I3)");
  static const Format section_line("(1X,I3,2X,20A1,' (',F6.3,')',20I4,' (',F6.3,')')");

  out.write(heading, {step});

  // The symbol items point into `symbols` once and for all, and the stress
  // items stay integers: line by line only their contents change.
  std::array<char, NFIB> symbols{};
  auto items = item_list<3 + 2 * NFIB>();
  for (int fib = 1; fib <= NFIB; ++fib) items[fib] = Item(std::string_view(&symbols[fib - 1], 1));
  fs.results_begin();
  for (int m = 1; m <= md.NM; ++m) {
    const MemberFibres f = fs.results_member(m);
    out.write(member_line, {step, m, static_cast<int>(md.JNO(md.IJ(m, 1))),
                            static_cast<int>(md.JNO(md.IJ(m, 2)))});
    for (int k = 1; k <= NSTA; ++k) {
      items[0] = Item(k);
      for (int fib = 1; fib <= NFIB; ++fib) {
        const int a = MemberFibres::at(fib, k);
        symbols[fib - 1] = stress_symbol(f.SIG[a], f.SIGU[a], f.SIGL[a]);
        items[NFIB + 1 + fib].i = stress_value(f.SIG[a]);
      }
      items[NFIB + 1] = Item(f.EPS[MemberFibres::at(1, k)] * 100.0);
      items[2 * NFIB + 2] = Item(f.EPS[MemberFibres::at(NFIB, k)] * 100.0);
      out.write(section_line, items);
    }
  }
  fs.results_end();
}

}  // namespace

CurveCode decode_curve_code(double c) {
  CurveCode r;
  // A code far outside any joint number names no joint: it counts, with a
  // zero value, and keeps the integer conversions below defined.
  if (!(std::fabs(c) < 1.0e6)) {
    r.J = -1;
    return r;
  }
  r.J = static_cast<int>(c + 0.5);
  r.K = static_cast<int>(10.0 * c + 0.5) - 10 * r.J;
  r.D = static_cast<int>(100.0 * c + 0.5) - 10 * r.K - 100 * r.J;
  return r;
}

char stress_symbol(double s, double upper, double lower) {
  if (s >= upper) return '+';
  if (s > lower) return '.';
  return '-';
}

int stress_value(double s) {
  const double y = s * 100.0;
  // Anything beyond the I4 field prints as asterisks anyway; keep the
  // conversion defined for huge values and NaN.
  constexpr double limit = 1.0e9;
  if (!(std::fabs(y) <= limit)) {
    if (std::isnan(y)) return std::numeric_limits<int>::min();
    return y > 0 ? static_cast<int>(limit) : -static_cast<int>(limit);
  }
  // Rounded halves away from zero: the truncated value (y minus it is
  // exact), moved one away from zero when the part cut off is a half or
  // more. This is the stress table's inner loop; a call of round costs more
  // than the rest of the fibre.
  const auto t = static_cast<int>(y);
  const double cut = y - static_cast<double>(t);
  return t + (cut >= 0.5 ? 1 : 0) - (cut <= -0.5 ? 1 : 0);
}

void step_results(const Model& md, FibreStore& fs, Units& units, int step, int detail) {
  joint_forces(md, units.text(UNIT_JFOR), step);
  response_curves(md, units, step);
  joint_displacements(md, units.text(UNIT_JDIS), step);
  member_forces(md, fs, units.text(UNIT_MFOR), step);
  if (detail == 1) member_displacements(md, units.text(UNIT_MDIS), step);
  member_stresses(md, fs, units.text(UNIT_MSTR), step);
}

}  // namespace nlf
