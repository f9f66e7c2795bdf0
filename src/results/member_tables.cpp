#include "results/member_tables.h"

#include <cmath>

namespace nlf::results {

// ---- member node displacements

std::vector<DisplacementStep> parse_displacement_lines(const std::string& name,
                                                       const std::vector<std::string>& lines) {
  // (1X,I3,'(',I3,'-',I3,')',I3,2X,3(2X,1P,E12.3,2X,1P,E12.3,0P,F10.3)):
  // groups of 38 columns from column 19, the TOTAL group the third.
  constexpr std::size_t total_x = 96, total_y = 110, field = 12;

  std::vector<DisplacementStep> steps;
  int node = 0;  // nodes of the current member read so far
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (starts_with(line, " STEP")) {
      const auto step = read_int(cols(line, 5, 4));
      if (!step) throw ResultError(where(name, i) + ": step number unreadable");
      if (!steps.empty() && node != 0) {
        steps.back().members.pop_back();
        steps.back().complete = false;
      }
      steps.push_back({*step, static_cast<long>(i + 1), {}, true});
      node = 0;
      continue;
    }
    if (steps.empty() || trim(line).empty()) continue;  // banner and title
    if (line.size() < 16 || line[4] != '(' || line[8] != '-' || line[12] != ')')
      throw ResultError(where(name, i) + ": not a line of the member displacement table");
    DisplacementStep& s = steps.back();
    const auto k = read_int(cols(line, 13, 3));
    if (!k || *k != node + 1)
      throw ResultError(where(name, i) + ": node " + std::to_string(node + 1) + " expected");
    if (node == 0) {
      const auto m = read_int(cols(line, 1, 3));
      // Member numbers past 999 print as asterisks; the order still tells.
      if (m && *m != static_cast<int>(s.members.size()) + 1)
        throw ResultError(where(name, i) + ": member " + std::to_string(s.members.size() + 1) + " expected");
      MemberShift ms;
      ms.ja = read_int(cols(line, 5, 3)).value_or(0);
      ms.jb = read_int(cols(line, 9, 3)).value_or(0);
      s.members.push_back(ms);
    }
    if (line.size() < total_y + field) {
      // The file ends inside a line: the run stopped while writing.
      s.members.pop_back();
      s.complete = false;
      node = 0;
      continue;
    }
    const auto dx = read_real(cols(line, total_x, field));
    const auto dy = read_real(cols(line, total_y, field));
    if (!dx || !dy || !std::isfinite(*dx) || !std::isfinite(*dy))
      throw ResultError(where(name, i) + ": total displacement of member " + std::to_string(s.members.size()) +
                      " node " + std::to_string(*k) + " is not a finite number");
    // Printed in millimetres.
    s.members.back().node[static_cast<std::size_t>(node)] = {*dx / 10.0, *dy / 10.0};
    node = (node + 1) % kNodes;
  }
  if (!steps.empty() && node != 0) {
    steps.back().members.pop_back();
    steps.back().complete = false;
  }
  return steps;
}

std::vector<DisplacementStep> read_member_displacements(const std::filesystem::path& p) {
  return parse_displacement_lines(p.filename().string(), read_text_lines(p));
}

// ---- fibre stress distribution

std::vector<StressStep> parse_stress_lines(const std::string& name, const std::vector<std::string>& lines) {
  // Member line (1X,'STEP=',I3,'  STRESS OF MEMBER (',I3,') ',I3,'-',I3);
  // section line (1X,I3,2X,20A1,' (',F6.3,')',20I4,' (',F6.3,')').
  static constexpr std::string_view member_tag = "  STRESS OF MEMBER (";
  std::vector<StressStep> steps;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (starts_with(line, " STEP=")) {
      if (steps.empty()) throw ResultError(where(name, i) + ": member line before the first step heading");
      if (line.size() < 41 || line.substr(9, member_tag.size()) != member_tag)
        throw ResultError(where(name, i) + ": not a member line of the stress table");
      StressStep& s = steps.back();
      const auto m = read_int(cols(line, 29, 3));
      if (m && *m != static_cast<int>(s.members.size()) + 1)
        throw ResultError(where(name, i) + ": member " + std::to_string(s.members.size() + 1) + " expected");
      if (!s.members.empty() && s.members.back().count != kStations)
        throw ResultError(where(name, i) + ": the member before has " + std::to_string(s.members.back().count) +
                        " section lines, not " + std::to_string(kStations));
      MemberStations ms;
      ms.ja = read_int(cols(line, 34, 3)).value_or(0);
      ms.jb = read_int(cols(line, 38, 3)).value_or(0);
      s.members.push_back(ms);
      continue;
    }
    if (starts_with(line, " STEP")) {
      const auto step = read_int(cols(line, 5, 4));
      if (!step) throw ResultError(where(name, i) + ": step number unreadable");
      steps.push_back({*step, static_cast<long>(i + 1), {}});
      continue;
    }
    if (steps.empty() || trim(line).empty()) continue;
    StressStep& s = steps.back();
    if (s.members.empty()) throw ResultError(where(name, i) + ": section line before the first member line");
    MemberStations& ms = s.members.back();
    const auto k = read_int(cols(line, 1, 3));
    if (!k || *k != ms.count + 1 || ms.count == kStations)
      throw ResultError(where(name, i) + ": not section line " + std::to_string(ms.count + 1) + " of member " +
                      std::to_string(s.members.size()));
    if (line.size() < 6 + kFibres) {
      // Cut off inside the fibre symbols: the file ends here.
      continue;
    }
    StationState st;
    for (std::size_t f = 0; f < kFibres; ++f) {
      const char c = line[6 + f];
      if (c == '+')
        ++st.upper;
      else if (c == '-')
        ++st.lower;
      else if (c != '.')
        throw ResultError(where(name, i) + ": fibre symbol '" + std::string(1, c) + "' is not +, - or .");
    }
    ms.text[static_cast<std::size_t>(ms.count)] = line;
    ms.station[static_cast<std::size_t>(ms.count++)] = st;
  }
  return steps;
}

std::array<double, 2> outer_strains(const std::string& line) {
  // (1X,I3,2X,20A1,' (',F6.3,')',20I4,' (',F6.3,')')
  const auto at = [&](std::size_t from) {
    const auto v = line.size() >= from + 7 && line[from + 6] == ')' ? read_real(cols(line, from, 6)) : std::nullopt;
    return v ? *v : std::nan("");
  };
  return {at(28), at(117)};
}

std::vector<StressStep> read_member_stresses(const std::filesystem::path& p) {
  return parse_stress_lines(p.filename().string(), read_text_lines(p));
}

const DisplacementStep* find_step(const std::vector<DisplacementStep>& v, int step) {
  for (auto it = v.rbegin(); it != v.rend(); ++it)
    if (it->step == step) return &*it;
  return nullptr;
}

const StressStep* find_step(const std::vector<StressStep>& v, int step) {
  for (auto it = v.rbegin(); it != v.rend(); ++it)
    if (it->step == step) return &*it;
  return nullptr;
}

}  // namespace nlf::results
