#include "plot/summary.h"

#include <cmath>

#include "plot/svg.h"
#include "results/h5_member_tables.h"
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
  l = {std::fabs(*v), plain_number(*v), where};
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
    s.displacements.push_back(extreme(what, l));
  }
}

// "member 3 (3-5, HEB240), end ": the section by its name where the deck
// names it.
std::string member_where(const std::vector<std::string>& row, const Frame& frame) {
  std::string sec;
  if (const auto m = results::read_int(row[0]); m && *m >= 1 && static_cast<std::size_t>(*m) <= frame.members.size()) {
    const auto n = frame.section_names.find(frame.members[static_cast<std::size_t>(*m - 1)].section);
    if (n != frame.section_names.end()) sec = ", " + n->second;
  }
  return "member " + row[0] + " (" + row[1] + "-" + row[2] + sec + "), end ";
}

void member_forces(RunSummary& s, const TableBlock& b, const Frame& frame) {
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
      const std::string m = member_where(row, frame);
      consider(l, row[field(t, k.at_i)], m + "I");
      consider(l, row[field(t, k.at_j)], m + "J");
    }
    s.member_forces.push_back(extreme(k.what, l));
  }
}

// The block of `step`, else the last one.
const TableBlock* pick(const std::vector<TableBlock>& blocks, std::optional<int> step) {
  if (blocks.empty()) return nullptr;
  if (step)
    for (const TableBlock& b : blocks)
      if (b.step == *step) return &b;
  return &blocks.back();
}

}  // namespace

RunSummary summarize_run(const std::filesystem::path& dir, const Frame& frame, const StepChoice& choose) {
  RunSummary s;
  auto attempt = [&](auto&& f) {
    try {
      f();
    } catch (const results::ResultError& e) {
      s.notes.push_back(e.what());
    }
  };
  std::vector<TableBlock> forces, disp, mfor;
  bool have_forces = false, have_disp = false, have_mfor = false;
  attempt([&] { s.listing = results::read_listing(dir / "R.rst"); });
  attempt([&] {
    forces = results::read_table_of_run(results::joint_forces_layout(), dir);
    have_forces = true;
    s.output_steps = static_cast<int>(forces.size());
    if (!forces.empty()) s.last_step = forces.back().step;
    loads(s, forces);
  });
  attempt([&] {
    disp = results::read_table_of_run(results::joint_displacements_layout(), dir);
    have_disp = true;
  });
  attempt([&] {
    mfor = results::read_table_of_run(results::member_forces_layout(), dir);
    have_mfor = true;
  });
  if (s.listing) attempt([&] { s.peaks = results::group_peaks(*s.listing, forces, disp); });
  s.total_groups = frame.total_groups;
  for (results::GroupPeak& p : s.peaks) {
    const auto t = frame.total_groups.find(p.group);
    const auto g = static_cast<std::size_t>(p.group - 1);
    if (p.kind == results::GroupPeak::Kind::kLoadFactor && t != frame.total_groups.end() &&
        g < s.listing->groups.size() && !s.listing->groups[g].arc_length)
      p.total_steps = t->second;
  }
  if (have_forces && have_disp) attempt([&] { s.base_shear = results::base_shear(frame, forces, disp); });
  const std::optional<int> step = choose ? choose(s) : std::nullopt;
  if (const TableBlock* b = have_disp ? pick(disp, step) : nullptr) {
    displacements(s, *b);
    s.table_step = b->step;
  }
  if (const TableBlock* b = have_mfor ? pick(mfor, step) : nullptr) {
    member_forces(s, *b, frame);
    s.table_step = b->step;
  }
  return s;
}

std::vector<LoadArrow> applied_loads(const std::filesystem::path& dir, const Frame& frame, int step) {
  std::vector<LoadArrow> arrows;
  try {
    const auto& t = results::joint_forces_layout();
    const auto forces = results::read_table_of_run(t, dir);
    const TableBlock* b = nullptr;
    for (const TableBlock& k : forces)
      if (k.step == step) b = &k;
    if (!b) return arrows;
    for (const auto& row : b->rows) {
      const auto joint = results::read_int(row[0]);
      const auto fx = results::read_real(row[field(t, "applied_X(TON)")]);
      const auto fy = results::read_real(row[field(t, "applied_Y(TON)")]);
      if (!joint || !fx || !fy || (*fx == 0 && *fy == 0)) continue;
      // One arrow for each direction, as the loads are given.
      for (std::size_t j = 0; j < frame.joints.size(); ++j) {
        if (frame.joints[j].number != *joint) continue;
        if (*fx != 0) arrows.push_back({j, *fx, 0});
        if (*fy != 0) arrows.push_back({j, 0, *fy});
      }
    }
  } catch (const results::ResultError&) {
    // The summary reports the file; the picture goes without arrows.
  }
  return arrows;
}

int peak_step(const std::vector<results::GroupPeak>& peaks) {
  if (peaks.empty()) return 0;
  const int last_group = peaks.back().group;
  for (const results::GroupPeak& p : peaks)
    if (p.group == last_group) return p.step;
  return 0;
}

std::string peak_value_text(const results::GroupPeak& p) {
  if (p.kind == results::GroupPeak::Kind::kLoadFactor && p.total_steps > 0)
    return "factor " + plain_number(p.value / p.total_steps) + " of the group's total load";
  if (p.kind == results::GroupPeak::Kind::kLoadFactor) return "load factor " + plain_number(p.value);
  if (p.direction == 3) return "moment " + plain_number(p.value) + " t\u00b7cm";
  return std::string("force ") + (p.direction == 1 ? "X " : "Y ") + plain_number(p.value) + " t";
}

std::string peak_displacement_text(const results::GroupPeak& p) {
  if (p.kind == results::GroupPeak::Kind::kLoadFactor) return "-";
  const char* what = p.direction == 3 ? "rotation " : (p.direction == 1 ? "displacement X " : "displacement Y ");
  return what + plain_number(p.displacement) + (p.direction == 3 ? " rad/100" : " mm") + " at joint " +
         std::to_string(p.joint);
}

std::string peak_remark_text(const results::GroupPeak& p) {
  const int done = static_cast<int>(std::lround(p.value));
  std::string s = p.passed ? "peak passed" : "largest value, still rising: no peak passed";
  if (p.total_steps > 0)
    s = done >= p.total_steps ? "the group's total load applied in " + std::to_string(p.total_steps) + " steps"
                              : std::to_string(done) + " of its " + std::to_string(p.total_steps) + " steps applied";
  if (!p.converged) s += "; from a step that did not converge";
  return s;
}

}  // namespace nlf::plot
