#include "results/modes.h"

#include <sstream>

namespace nlf::results {

namespace {

std::vector<double> numbers_after(std::string_view line, std::size_t from, const std::string& where) {
  std::vector<double> v;
  std::istringstream in{std::string(line.substr(std::min(from, line.size())))};
  for (std::string f; in >> f;) {
    const auto x = read_real(f);
    if (!x) throw ResultError(where + ": \"" + f + "\" is not a number");
    v.push_back(*x);
  }
  return v;
}

}  // namespace

std::vector<BucklingAnalysis> parse_modes(const std::string& name, const std::vector<std::string>& lines) {
  std::vector<BucklingAnalysis> out;
  std::size_t joints = 0, members = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    const std::string where = name + ", line " + std::to_string(i + 1);
    if (trim(l).empty()) continue;
    const char key = l.size() > 1 ? l[1] : ' ';
    if (l.rfind(" BUCKLING", 0) == 0) {
      std::istringstream in(l);
      std::string w[12];
      for (std::string& s : w) in >> s;
      BucklingAnalysis b;
      const auto a = read_int(w[1]), s = read_int(w[4]), nj = read_int(w[9]), nm = read_int(w[11]);
      if (!a || !s || !nj || !nm) throw ResultError(where + ": not the head of a buckling analysis");
      b.analysis = *a;
      b.step = *s;
      b.stiffness = w[5];
      joints = static_cast<std::size_t>(*nj);
      members = static_cast<std::size_t>(*nm);
      out.push_back(b);
    } else if (out.empty()) {
      throw ResultError(where + ": a line before the first analysis");
    } else if (l.rfind(" MODE", 0) == 0) {
      std::istringstream in(l);
      std::string w[4];
      for (std::string& s : w) in >> s;
      const auto k = read_int(w[1]);
      const auto factor = read_real(w[3]);
      if (!k || !factor) throw ResultError(where + ": not the head of a mode");
      ModeShape m;
      m.mode = *k;
      m.factor = *factor;
      out.back().modes.push_back(m);
    } else if (key == 'N' || key == 'K') {
      continue;  // the pattern's forces and the modes' moments
    } else if ((key == 'J' || key == 'M') && !out.back().modes.empty()) {
      ModeShape& m = out.back().modes.back();
      const auto v = numbers_after(l, 2, where);
      if (key == 'J' && v.size() == 4) {
        m.joint_numbers.push_back(static_cast<int>(v[0]));
        m.joints.push_back({v[1], v[2], v[3]});
      } else if (key == 'M' && v.size() == 13) {
        std::array<double, 12> p{};
        for (int k = 0; k < 12; ++k) p[k] = v[k + 1];
        m.inner.push_back(p);
      } else {
        throw ResultError(where + ": a " + (key == 'J' ? "joint" : "member") + " line of the wrong length");
      }
    } else {
      throw ResultError(where + ": not a line of a mode file");
    }
  }
  for (const BucklingAnalysis& b : out)
    for (const ModeShape& m : b.modes)
      if (m.joints.size() != joints || m.inner.size() != members)
        throw ResultError(name + ": mode " + std::to_string(m.mode) + " of analysis " + std::to_string(b.analysis) +
                          " is cut short");
  return out;
}

std::vector<BucklingAnalysis> read_modes(const std::filesystem::path& p) {
  return parse_modes(p.filename().string(), read_text_lines(p));
}

}  // namespace nlf::results
