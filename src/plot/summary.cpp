#include "plot/summary.h"

#include <cmath>

#include "results/tables.h"

namespace nlf::plot {

using results::TableBlock;

namespace {

// The field of largest magnitude among the columns `cols` of the rows of
// the blocks; the key column names the row ("joint 3").
struct Largest {
  double size = -1;
  std::string value, where;
};

void consider(Largest& l, const std::string& printed, const std::string& where) {
  const auto v = results::read_real(printed);
  if (!v || !std::isfinite(*v) || std::fabs(*v) <= l.size) return;
  l = {std::fabs(*v), printed, where};
}

Extreme extreme(const std::string& what, const Largest& l) {
  return {what, l.size < 0 ? "-" : l.value, l.where};
}

// Columns by name in a layout.
std::size_t field(const results::TableLayout& t, const std::string& name) {
  for (std::size_t i = 0; i < t.fields.size(); ++i)
    if (t.fields[i].name == name) return i;
  throw results::ResultError(t.file + ": no column " + name);
}

void loads(RunSummary& s, const std::vector<TableBlock>& blocks) {
  const auto& t = results::joint_forces_layout();
  Largest force, moment;
  for (const TableBlock& b : blocks)
    for (const auto& row : b.rows) {
      const std::string at = "joint " + row[0] + ", step " + std::to_string(b.step);
      consider(force, row[field(t, "applied_X(TON)")], at + " (X)");
      consider(force, row[field(t, "applied_Y(TON)")], at + " (Y)");
      consider(moment, row[field(t, "applied_M(TON*CM)")], at);
    }
  s.largest_load.push_back(extreme("force (t)", force));
  if (moment.size > 0) s.largest_load.push_back(extreme("moment (t\u00b7cm)", moment));
}

void displacements(RunSummary& s, const TableBlock& b) {
  const auto& t = results::joint_displacements_layout();
  for (const auto& [name, what] : {std::pair{"total_U(MM)", "displacement X (mm)"},
                                   std::pair{"total_V(MM)", "displacement Y (mm)"},
                                   std::pair{"total_T(1/100)", "rotation (rad/100)"}}) {
    Largest l;
    for (const auto& row : b.rows) consider(l, row[field(t, name)], "joint " + row[0]);
    s.last_displacements.push_back(extreme(what, l));
  }
}

void member_forces(RunSummary& s, const TableBlock& b) {
  const auto& t = results::member_forces_layout();
  struct Kind {
    const char* what;
    const char* at_i;
    const char* at_j;
  };
  for (const Kind& k : {Kind{"axial force (t)", "NI(TON)", "NJ(TON)"}, Kind{"shear force (t)", "QI(TON)", "QJ(TON)"},
                        Kind{"moment (t\u00b7cm)", "MI(T*CM)", "MJ(T*CM)"}}) {
    Largest l;
    for (const auto& row : b.rows) {
      const std::string m = "member " + row[0] + " (" + row[1] + "-" + row[2] + "), end ";
      consider(l, row[field(t, k.at_i)], m + "I");
      consider(l, row[field(t, k.at_j)], m + "J");
    }
    s.last_member_forces.push_back(extreme(k.what, l));
  }
}

}  // namespace

RunSummary summarize_run(const std::filesystem::path& dir) {
  RunSummary s;
  auto attempt = [&](auto&& f) {
    try {
      f();
    } catch (const results::ResultError& e) {
      s.notes.push_back(e.what());
    }
  };
  attempt([&] { s.listing = results::read_listing(dir / "R.rst"); });
  attempt([&] {
    const auto forces = results::read_table(results::joint_forces_layout(), (dir / "Jfor.rst").string());
    s.output_steps = static_cast<int>(forces.size());
    if (!forces.empty()) s.last_step = forces.back().step;
    loads(s, forces);
  });
  attempt([&] {
    const auto disp = results::read_table(results::joint_displacements_layout(), (dir / "Jdis.rst").string());
    if (!disp.empty()) displacements(s, disp.back());
  });
  attempt([&] {
    const auto mfor = results::read_table(results::member_forces_layout(), (dir / "Mfor.rst").string());
    if (!mfor.empty()) member_forces(s, mfor.back());
  });
  return s;
}

}  // namespace nlf::plot
