#include "export/run_tables.h"

#include <algorithm>

#include "results/run_check.h"

namespace nlf::exporter {

using results::ResultError;
using results::TableBlock;

namespace {

template <class Blocks>
std::vector<int> steps_of(const Blocks& v) {
  std::vector<int> s;
  for (const auto& b : v) s.push_back(b.step);
  return s;
}

std::string step_text(const std::vector<int>& v, std::size_t i) {
  return i < v.size() ? "step " + std::to_string(v[i]) : "no more steps";
}

}  // namespace

void check_rows(const std::string& file, const std::vector<TableBlock>& blocks, std::size_t rows, const char* what) {
  for (const TableBlock& b : blocks)
    if (b.rows.size() != rows)
      throw ResultError(file + ", step " + std::to_string(b.step) + " (line " + std::to_string(b.line) + "): " +
                        std::to_string(b.rows.size()) + " " + what + " where the run has " + std::to_string(rows) +
                        (&b == &blocks.back() ? "; the file is incomplete" : "; the file does not belong to this run"));
}

void check_stresses(const std::vector<results::StressStep>& steps, std::size_t members) {
  // (1X,I3,2X,20A1,' (',F6.3,')',20I4,' (',F6.3,')'): 124 columns.
  constexpr std::size_t kLength = 124;
  for (const results::StressStep& s : steps) {
    const std::string at = "Mstr.rst, step " + std::to_string(s.step) + " (line " + std::to_string(s.line) + "): ";
    const bool last = &s == &steps.back();
    if (s.members.size() != members)
      throw ResultError(at + std::to_string(s.members.size()) + " members where the run has " +
                        std::to_string(members) +
                        (last ? "; the file is incomplete" : "; the file does not belong to this run"));
    for (std::size_t m = 0; m < s.members.size(); ++m) {
      const results::MemberStations& ms = s.members[m];
      bool cut = ms.count != results::kStations;
      for (int k = 0; k < ms.count; ++k)
        cut = cut || ms.text[static_cast<std::size_t>(k)].find_last_not_of(' ') + 1 != kLength;
      if (cut) throw ResultError(at + "the section lines of member " + std::to_string(m + 1) + " are cut off; the file is incomplete");
    }
  }
}

void check_steps(const std::string& file, const std::vector<int>& steps, const std::string& reference,
                 const std::vector<int>& ref, bool subset) {
  std::size_t r = 0;
  for (std::size_t i = 0; i < steps.size(); ++i, ++r) {
    if (subset)
      while (r < ref.size() && ref[r] != steps[i]) ++r;
    if (r >= ref.size() || ref[r] != steps[i])
      throw ResultError(file + " holds step " + std::to_string(steps[i]) + " where " + reference + " has " +
                        step_text(ref, r) + "; the files do not belong to the same run");
  }
  if (!subset && r < ref.size())
    throw ResultError(file + " ends " + (steps.empty() ? "before the first step" : "after step " + std::to_string(steps.back())) +
                      ", " + reference + " goes on to step " + std::to_string(ref.back()) + "; " + file +
                      " is incomplete");
}

RunTables read_run(const std::filesystem::path& deck, const std::filesystem::path& dir) {
  RunTables t;
  t.frame = results::read_frame(deck);
  results::check_run_of_deck(deck, dir);
  auto path = [&](const char* name) { return (dir / name).string(); };
  t.joint_forces = results::read_table(results::joint_forces_layout(), path("Jfor.rst"));
  t.joint_displacements = results::read_table(results::joint_displacements_layout(), path("Jdis.rst"));
  t.member_forces = results::read_table(results::member_forces_layout(), path("Mfor.rst"));
  t.member_displacements = results::read_table(results::member_displacements_layout(), path("Mdis.rst"));
  t.stresses = results::read_member_stresses(dir / "Mstr.rst");
  for (int u : results::curve_units(t.frame, dir)) {
    results::CurveFile f = results::read_curve_file(dir / ("fort." + std::to_string(u)));
    if (f.skipped > 0)
      throw ResultError((dir / f.name).string() + ": " + std::to_string(f.skipped) +
                        " line(s) cut off or foreign, the first at " + f.warnings.front());
    t.curves.emplace_back(u, std::move(f));
  }

  // A continued run's deck holds no structure: the first block tells.
  std::size_t joints = t.frame.joints.size(), members = t.frame.members.size();
  if (joints == 0 && !t.joint_forces.empty()) joints = t.joint_forces.front().rows.size();
  if (members == 0 && !t.member_forces.empty()) members = t.member_forces.front().rows.size();
  check_rows("Jfor.rst", t.joint_forces, joints, "joints");
  check_rows("Jdis.rst", t.joint_displacements, joints, "joints");
  check_rows("Mfor.rst", t.member_forces, members, "members");
  check_rows("Mdis.rst", t.member_displacements, members * results::kNodes, "member node lines");
  check_stresses(t.stresses, members);

  // The member tables name the deck's member ends.
  if (!t.frame.members.empty())
    for (const TableBlock& b : t.member_forces)
      for (std::size_t m = 0; m < members; ++m) {
        const results::Member& d = t.frame.members[m];
        const std::string a = std::to_string(t.frame.joints[static_cast<std::size_t>(d.a)].number);
        const std::string e = std::to_string(t.frame.joints[static_cast<std::size_t>(d.b)].number);
        const std::vector<std::string>& row = b.rows[m];
        if ((row[1] != a && row[1] != "***") || (row[2] != e && row[2] != "***"))
          throw ResultError("Mfor.rst, step " + std::to_string(b.step) + ": member " + row[0] + " joins joints " +
                            row[1] + "-" + row[2] + ", in the deck it joins " + a + "-" + e +
                            "; the results do not belong to this deck");
      }

  // A run may have been asked for some tables only (--tables), the fibre
  // tables at fewer steps (--fibres-every): a file without a step holds a
  // table not written, and the stress table may hold a part of the steps.
  // The others hold the steps of the first table written.
  std::vector<std::pair<std::string, std::vector<int>>> files = {
      {"Jfor.rst", steps_of(t.joint_forces)}, {"Jdis.rst", steps_of(t.joint_displacements)},
      {"Mfor.rst", steps_of(t.member_forces)}};
  for (const auto& [u, f] : t.curves) files.emplace_back(f.name, steps_of(f.rows));
  const auto ref = std::find_if(files.begin(), files.end(), [](const auto& f) { return !f.second.empty(); });
  const std::string reference = ref != files.end() ? ref->first : "Jfor.rst";
  const std::vector<int> steps = ref != files.end() ? ref->second : std::vector<int>{};
  for (const auto& [name, own] : files)
    if (!own.empty()) check_steps(name, own, reference, steps);
  // The two joint files are one table: written together or not at all.
  check_steps("Jdis.rst", files[1].second, "Jfor.rst", files[0].second);
  check_steps("Jfor.rst", files[0].second, "Jdis.rst", files[1].second);
  if (const auto own = steps_of(t.stresses); !own.empty()) check_steps("Mstr.rst", own, reference, steps, true);
  check_steps("Mdis.rst", steps_of(t.member_displacements), reference, steps, true);

  // The joint tables list the same joints in the same order.
  for (std::size_t b = 0; b < t.joint_forces.size(); ++b)
    for (std::size_t j = 0; j < joints; ++j)
      if (t.joint_forces[b].rows[j][0] != t.joint_displacements[b].rows[j][0])
        throw ResultError("Jdis.rst, step " + std::to_string(t.joint_forces[b].step) + ": joint " +
                          t.joint_displacements[b].rows[j][0] + " where Jfor.rst has joint " +
                          t.joint_forces[b].rows[j][0] + "; the files do not belong to the same run");
  return t;
}

}  // namespace nlf::exporter
