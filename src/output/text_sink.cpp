#include "output/text_sink.h"

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <utility>

#include "io/format.h"
#include "io/units.h"
#include "output/step_results.h"

namespace nlf {

namespace {

constexpr int UNIT_MSTR = 17;
constexpr int UNIT_MDIS = 18;
constexpr int UNIT_MFOR = 19;
constexpr int UNIT_JDIS = 20;
constexpr int UNIT_JFOR = 21;
constexpr int FIRST_CURVE_UNIT = 60;

// A fixed list of N items, filled in place line by line.
template <std::size_t N>
std::array<Item, N> item_list() {
  return [] <std::size_t... I>(std::index_sequence<I...>) {
    return std::array<Item, N>{(static_cast<void>(I), Item(0))...};
  }(std::make_index_sequence<N>{});
}

std::size_t row(int r, int width) { return static_cast<std::size_t>(r) * static_cast<std::size_t>(width); }

// --- joint forces (unit 21)

void joint_forces(const StepTables& t, TextOut& out) {
  static const Format heading(
      "(1X,'STEP',I4,2X,'/---------- AC. LOAD ------------/',2X,"
      "'/------------ EX, LOAD ------------/',2X,"
      "'/------------ IN. LOAD ------------/')");
  static const Format columns("(1X,'JOINT',1X,3(8X,'X(TON)',6X,'Y(TON)',3X,'M(TON*CM)'),/)");
  static const Format line("(1X,I5,1X,3(2X,3F12.3))");

  out.write(heading, {t.step});
  out.write(columns, std::span<const Item>());
  auto items = item_list<10>();
  for (int j = 0; j < t.NJ; ++j) {
    items[0] = Item(t.joint[static_cast<std::size_t>(j)]);
    const double* v = &t.joint_forces[row(j, StepTables::kJointColumns)];
    for (int c = 0; c < 9; ++c) items[1 + c] = Item(v[c]);
    out.write(line, items);
  }
}

// --- response curves (units 61..60+NW)

void response_curves(const StepTables& t, Units& units) {
  static const Format line("(1X,I5,1X,1P,7E14.4)");
  auto items = item_list<1 + StepTables::kCurveColumns>();
  for (int i = 0; i < t.NW; ++i) {
    items[0] = Item(t.step);
    const int count = t.curve_count[static_cast<std::size_t>(i)];
    const double* v = &t.curves[row(i, StepTables::kCurveColumns)];
    for (int k = 0; k < count; ++k) items[1 + k] = Item(v[k]);
    units.text(FIRST_CURVE_UNIT + 1 + i).write(line, std::span<const Item>(items.data(), 1 + count));
  }
}

// --- joint displacements (unit 20)

void joint_displacements(const StepTables& t, TextOut& out) {
  static const Format heading(
      "(1X,'STEP',I4,2X,'/-------- DISPLACEMENT ----------/',2X,"
      "'/----- SUBTOTAL  DISPLACEMENT -----/',2X,"
      "'/------ TOTAL DISPLACEMENT ------/')");
  static const Format columns("(1X,'JOINT',1X,3(9X,'U(MM)',7X,'V(MM)',4X,'T(1/100)'),/)");
  // 0P: the rotation is printed as it stands, not scaled by the 3P of the
  // displacement fields before it.
  static const Format line("(1X,I5,1X,3(2X,3P,E12.3,2X,3P,E12.3,0P,F10.3))");

  out.write(heading, {t.step});
  out.write(columns, std::span<const Item>());
  auto items = item_list<10>();
  for (int j = 0; j < t.NJ; ++j) {
    items[0] = Item(t.joint[static_cast<std::size_t>(j)]);
    const double* v = &t.joint_disp[row(j, StepTables::kJointColumns)];
    for (int c = 0; c < 9; ++c) items[1 + c] = Item(v[c]);
    out.write(line, items);
  }
}

// --- member forces (unit 19)

void member_forces(const StepTables& t, TextOut& out) {
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

  out.write(heading, {t.step});
  out.write(columns, std::span<const Item>());
  auto items = item_list<13>();
  for (int m = 0; m < t.NM; ++m) {
    items[0] = Item(m + 1);
    items[1] = Item(t.ends[row(m, 2)]);
    items[2] = Item(t.ends[row(m, 2) + 1]);
    const double* v = &t.member_forces[row(m, StepTables::kMemberColumns)];
    for (int c = 0; c < StepTables::kMemberColumns; ++c) items[3 + c] = Item(v[c]);
    out.write(line, items);
  }
}

// --- member displacements (unit 18)

void member_displacements(const StepTables& t, TextOut& out) {
  static const Format heading(
      "(1X,'STEP',I4,12X,2X,'/-------- DISPLACEMENT ----------/',2X,"
      "'/----- SUBTOTAL  DISPLACEMENT -----/',2X,"
      "'/------ TOTAL DISPLACEMENT ------/')");
  // 0P as in the joint displacement line.
  static const Format line(
      "(1X,I3,'(',I3,'-',I3,')',I3,2X,3(2X,1P,E12.3,2X,1P,E12.3,0P,F10.3))");

  out.write(heading, {t.step});
  auto items = item_list<13>();
  for (int m = 0; m < t.NM; ++m) {
    items[0] = Item(m + 1);
    items[1] = Item(t.ends[row(m, 2)]);
    items[2] = Item(t.ends[row(m, 2) + 1]);
    for (int k = 0; k < NPT; ++k) {
      items[3] = Item(k + 1);
      const double* v = &t.nodes[row(m * NPT + k, StepTables::kNodeColumns)];
      for (int c = 0; c < 9; ++c) items[4 + c] = Item(v[c]);
      out.write(line, items);
    }
  }
}

// --- stress distribution (unit 17)

void member_stresses(const StepTables& t, TextOut& out) {
  static const Format heading("(/,1X,'STEP',I4)");
  static const Format member_line("(1X,'STEP=',I3,'  STRESS OF MEMBER (',I3,') ',I3,'-',I3)");
  static const Format section_line("(1X,I3,2X,20A1,' (',F6.3,')',20I4,' (',F6.3,')')");

  out.write(heading, {t.step});
  // The symbol items point into `symbols` once and for all, and the stress
  // items stay integers: line by line only their contents change.
  std::array<char, NFIB> symbols{};
  auto items = item_list<3 + 2 * NFIB>();
  for (int fib = 1; fib <= NFIB; ++fib) items[fib] = Item(std::string_view(&symbols[fib - 1], 1));
  for (int m = 1; m <= t.NM; ++m) {
    out.write(member_line, {t.step, m, t.ends[row(m - 1, 2)], t.ends[row(m - 1, 2) + 1]});
    for (int k = 1; k <= NSTA; ++k) {
      items[0] = Item(k);
      const auto a = static_cast<std::size_t>(StepTables::fibre(m, k, 1));
      for (int fib = 0; fib < NFIB; ++fib) {
        const std::int8_t s = t.state[a + fib];
        symbols[fib] = s > 0 ? '+' : s < 0 ? '-' : '.';
        items[NFIB + 2 + fib].i = stress_value(t.stress[a + fib]);
      }
      items[NFIB + 1] = Item(t.strain[a] * 100.0);
      items[2 * NFIB + 2] = Item(t.strain[a + NFIB - 1] * 100.0);
      out.write(section_line, items);
    }
  }
}

}  // namespace

void TextSink::write(const StepTables& t, unsigned parts) {
  if (parts & kJointParts) joint_forces(t, units_.text(UNIT_JFOR));
  if (parts & kCurveParts) response_curves(t, units_);
  if (parts & kJointParts) joint_displacements(t, units_.text(UNIT_JDIS));
  if (parts & kMemberParts) member_forces(t, units_.text(UNIT_MFOR));
  if (parts & kNodeParts) member_displacements(t, units_.text(UNIT_MDIS));
  if (parts & kFibreParts) member_stresses(t, units_.text(UNIT_MSTR));
}

}  // namespace nlf
