#include "export/write.h"

#include <cstdio>

#include <string>

#include "results/text.h"

namespace nlf::exporter {

namespace {

std::vector<std::string> names(const results::TableLayout& l, std::size_t from) {
  std::vector<std::string> v;
  for (std::size_t i = from; i < l.fields.size(); ++i) v.push_back(l.fields[i].name);
  return v;
}

Written done(const CsvWriter& w) { return {w.rows(), w.overflows(), w.overflow_places()}; }

// Fields that number things (joints, nodes) rather than hold results: a
// joint number past 999 prints as asterisks and becomes an empty field,
// without the warning about results too wide for their fields.
void key(CsvWriter& w, const std::string& s) { w.field(overflowed(s) ? "" : s); }

}  // namespace

Written write_joints(const RunTables& t, std::ostream& out) {
  std::vector<std::string> header = {"step", "joint"};
  for (const auto& n : names(results::joint_displacements_layout(), 1)) header.push_back(n);
  for (const auto& n : names(results::joint_forces_layout(), 1)) header.push_back(n);
  CsvWriter w(out, header);
  for (std::size_t b = 0; b < t.joint_forces.size(); ++b) {
    const auto& forces = t.joint_forces[b].rows;
    const auto& disp = t.joint_displacements[b].rows;
    for (std::size_t j = 0; j < forces.size(); ++j) {
      w.begin();
      w.field(std::to_string(t.joint_forces[b].step));
      key(w, forces[j][0]);
      for (std::size_t k = 1; k < disp[j].size(); ++k) w.number(disp[j][k]);
      for (std::size_t k = 1; k < forces[j].size(); ++k) w.number(forces[j][k]);
      w.end();
    }
  }
  return done(w);
}

namespace {

// Member tables: member, its end joints (and node) as keys, then results.
Written write_member_table(const results::TableLayout& l, const std::vector<results::TableBlock>& blocks,
                           std::size_t keys, std::ostream& out) {
  std::vector<std::string> header = {"step"};
  for (const auto& n : names(l, 0)) header.push_back(n);
  CsvWriter w(out, header);
  for (const results::TableBlock& b : blocks)
    for (const auto& row : b.rows) {
      w.begin();
      w.field(std::to_string(b.step));
      for (std::size_t k = 0; k < row.size(); ++k) {
        if (k < keys)
          key(w, row[k]);
        else
          w.number(row[k]);
      }
      w.end();
    }
  return done(w);
}

}  // namespace

Written write_member_forces(const RunTables& t, std::ostream& out) {
  return write_member_table(results::member_forces_layout(), t.member_forces, 3, out);
}

Written write_member_nodes(const RunTables& t, std::ostream& out) {
  return write_member_table(results::member_displacements_layout(), t.member_displacements, 4, out);
}

Written write_stations(const RunTables& t, std::ostream& out) {
  // (1X,I3,2X,20A1,' (',F6.3,')',20I4,' (',F6.3,')'): the fibre stresses are
  // printed in hundredths of t/cm2, the strains in per cent.
  std::vector<std::string> header = {"step", "member", "joint_I", "joint_J", "station", "state", "at_upper",
                                     "at_lower", "STRAIN_1(%)", "STRAIN_20(%)"};
  for (int f = 1; f <= results::kFibres; ++f) header.push_back("STRESS_" + std::to_string(f) + "(T/CM2/100)");
  CsvWriter w(out, header);
  for (const results::StressStep& s : t.stresses)
    for (std::size_t m = 0; m < s.members.size(); ++m) {
      const results::MemberStations& ms = s.members[m];
      for (int k = 0; k < ms.count; ++k) {
        const std::string_view line = ms.text[static_cast<std::size_t>(k)];
        w.begin();
        w.field(std::to_string(s.step));
        w.field(std::to_string(m + 1));
        key(w, ms.ja ? std::to_string(ms.ja) : "");
        key(w, ms.jb ? std::to_string(ms.jb) : "");
        w.field(std::to_string(k + 1));
        w.field(line.substr(6, results::kFibres));
        w.field(std::to_string(ms.station[static_cast<std::size_t>(k)].upper));
        w.field(std::to_string(ms.station[static_cast<std::size_t>(k)].lower));
        w.number(results::trim(results::cols(line, 28, 6)));
        w.number(results::trim(results::cols(line, 117, 6)));
        for (std::size_t f = 0; f < results::kFibres; ++f) w.number(results::trim(results::cols(line, 35 + 4 * f, 4)));
        w.end();
      }
    }
  return done(w);
}

Written write_curve(const results::CurveFile& f, std::ostream& out) {
  std::vector<std::string> header = {"step"};
  for (int k = 0; k < f.ncols; ++k) {
    const std::string& l = f.labels[static_cast<std::size_t>(k)].text;
    header.push_back(l.empty() ? "column_" + std::to_string(k + 1) : l);
  }
  CsvWriter w(out, header);
  for (const results::CurveRow& r : f.rows) {
    w.begin();
    w.field(std::to_string(r.step));
    for (const std::string& v : r.fields) w.number(v);
    w.end();
  }
  return done(w);
}

Written write_modes(const std::vector<results::BucklingAnalysis>& analyses, std::ostream& out) {
  CsvWriter w(out, {"analysis", "after_step", "stiffness", "mode", "critical_factor", "joint", "X", "Y", "R"});
  char text[32];
  auto number = [&](double v) {
    std::snprintf(text, sizeof text, "%.10G", v);
    w.number(text);
  };
  for (const results::BucklingAnalysis& a : analyses)
    for (const results::ModeShape& m : a.modes)
      for (std::size_t j = 0; j < m.joints.size(); ++j) {
        w.begin();
        w.field(std::to_string(a.analysis));
        w.field(std::to_string(a.step));
        w.field(a.stiffness == "TANGENT" ? "tangent" : "elastic");
        w.field(std::to_string(m.mode));
        number(m.factor);
        w.field(std::to_string(j < m.joint_numbers.size() ? m.joint_numbers[j] : static_cast<int>(j) + 1));
        for (double v : m.joints[j]) number(v);
        w.end();
      }
  return done(w);
}

}  // namespace nlf::exporter
