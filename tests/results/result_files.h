// Writers of result files in the layouts the analysis program uses, for the
// tests of the readers and of the companion programs.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "io/format.h"

namespace nlf::results::test {

inline std::string lines_of(const Format& f, const std::vector<Item>& items) {
  std::string s;
  for (const std::string& l : f.lines(std::span<const Item>(items.data(), items.size()))) s += l + "\n";
  return s;
}

inline std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> v;
  std::size_t a = 0;
  for (std::size_t b = s.find('\n'); b != std::string::npos; a = b + 1, b = s.find('\n', a)) v.push_back(s.substr(a, b - a));
  return v;
}

inline std::string banner() {
  std::string s;
  for (int i = 0; i < 15; ++i) s += std::string(10, ' ') + std::string(51, '*') + "\n";
  return s;
}

// A response-curve file: banner, label line, one line per (step, values).
inline std::string curve_file(std::vector<std::string> labels, const std::vector<std::pair<int, std::vector<double>>>& rows) {
  std::string s = banner() + "   STEP ";
  labels.resize(7);
  for (std::string& l : labels) s += l.append(14 - l.size(), ' ');
  s += "\n";
  for (const auto& [step, values] : rows) {
    std::vector<Item> items{Item(step)};
    for (double v : values) items.emplace_back(v);
    s += lines_of(Format("(1X,I5,1X,1P,7E14.4)"), items);
  }
  return s;
}

struct MemberDisp {
  int ja, jb;
  std::array<std::pair<double, double>, 6> cm;  // total node displacements, cm
};

// Banner, title and one block per step; only the TOTAL group is of interest.
inline std::string mdis_file(const std::vector<std::pair<int, std::vector<MemberDisp>>>& blocks) {
  std::string s = banner() + "\n\n          ************* MEMBER DISPLACEMENTS **************\n";
  const Format heading("(1X,'STEP',I4,12X,2X,'/-------- DISPLACEMENT ----------/',2X,"
                       "'/----- SUBTOTAL  DISPLACEMENT -----/',2X,'/------ TOTAL DISPLACEMENT ------/')");
  const Format line("(1X,I3,'(',I3,'-',I3,')',I3,2X,3(2X,1P,E12.3,2X,1P,E12.3,0P,F10.3))");
  for (const auto& [step, members] : blocks) {
    s += lines_of(heading, {Item(step)});
    for (std::size_t m = 0; m < members.size(); ++m)
      for (int k = 1; k <= 6; ++k) {
        const auto [dx, dy] = members[m].cm[static_cast<std::size_t>(k - 1)];
        s += lines_of(line, {Item(static_cast<int>(m + 1)), Item(members[m].ja), Item(members[m].jb), Item(k), Item(0.0),
                             Item(0.0), Item(0.0), Item(1.0), Item(1.0), Item(0.5), Item(dx * 10), Item(dy * 10), Item(1.23)});
      }
  }
  return s;
}

struct MemberStress {
  int ja, jb;
  std::array<std::string, 10> symbols;  // 20 characters each
};

inline std::string mstr_block(int step, const std::vector<MemberStress>& members) {
  std::string s = "\n" + lines_of(Format("(1X,'STEP',I4)"), {Item(step)});
  for (std::size_t m = 0; m < members.size(); ++m) {
    s += lines_of(Format("(1X,'STEP=',I3,'  STRESS OF MEMBER (',I3,') ',I3,'-',I3)"),
                  {Item(step), Item(static_cast<int>(m + 1)), Item(members[m].ja), Item(members[m].jb)});
    for (int k = 1; k <= 10; ++k) {
      char head[8];
      std::snprintf(head, sizeof head, " %3d  ", k);
      s += head + members[m].symbols[static_cast<std::size_t>(k - 1)] + " ( 0.012)" + std::string(80, ' ') + " (-0.012)\n";
    }
  }
  return s;
}

// Ten stations of twenty fibres, all inside their bounds.
inline std::array<std::string, 10> elastic() {
  std::array<std::string, 10> a;
  a.fill(std::string(20, '.'));
  return a;
}

}  // namespace nlf::results::test
