#include "plot/mode_charts.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "plot/frame_charts.h"

namespace nlf::plot {

std::string factor_text(double f) {
  char b[32];
  std::snprintf(b, sizeof b, "%.4g", f);
  return b;
}

std::vector<ModePicture> mode_pictures(const Frame& frame, const BucklingAnalysis& b, int most) {
  std::vector<ModePicture> out;
  std::string stiffness = b.stiffness;
  for (char& ch : stiffness) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const ModeShape& m : b.modes) {
    if (static_cast<int>(out.size()) >= most) break;
    if (m.joints.size() != frame.joints.size() || m.inner.size() != frame.members.size())
      throw PlotError("modes.rst: mode " + std::to_string(m.mode) + " is not of the deck's frame (" +
                      std::to_string(m.joints.size()) + " joints, " + std::to_string(m.inner.size()) +
                      " members; the deck has " + std::to_string(frame.joints.size()) + " and " +
                      std::to_string(frame.members.size()) + ")");
    std::map<int, std::size_t> at;
    for (std::size_t j = 0; j < m.joint_numbers.size(); ++j) at[m.joint_numbers[j]] = j;
    DisplacementStep d;
    for (const Member& mem : frame.members) {
      MemberShift s;
      const int ja = frame.joints[static_cast<std::size_t>(mem.a)].number;
      const int jb = frame.joints[static_cast<std::size_t>(mem.b)].number;
      if (!at.count(ja) || !at.count(jb))
        throw PlotError("modes.rst: mode " + std::to_string(m.mode) + " has no joint " +
                        std::to_string(at.count(ja) ? jb : ja));
      s.ja = ja;
      s.jb = jb;
      const auto& inner = m.inner[d.members.size()];
      s.node[0] = {m.joints[at[ja]][0], m.joints[at[ja]][1]};
      for (int k = 0; k < 4; ++k) s.node[k + 1] = {inner[3 * k], inner[3 * k + 1]};
      s.node[5] = {m.joints[at[jb]][0], m.joints[at[jb]][1]};
      d.members.push_back(s);
    }
    const double scale = default_scale(frame, d);
    char sub[160];
    std::snprintf(sub, sizeof sub, "buckling mode %d, critical factor %s (%s stiffness), shape \u00d7 %g", m.mode,
                  factor_text(m.factor).c_str(), stiffness.c_str(), scale);
    const std::string name = "mode-" + std::to_string(m.mode) + ".svg";
    out.push_back({name,
                   "Buckling mode " + std::to_string(m.mode) + ": critical load factor " + factor_text(m.factor) +
                       " (" + stiffness + " stiffness, after step " + std::to_string(b.step) + ")",
                   frame_chart(frame, &d, scale, "", {}, sub)});
  }
  return out;
}

}  // namespace nlf::plot
