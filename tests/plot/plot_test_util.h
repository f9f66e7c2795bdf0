// Shared by the plot tests: a small XML well-formedness checker and writers
// of result files in the layouts the analysis program uses.
#pragma once

#include <array>
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "io/format.h"

namespace nlf::plot::test {

// Empty when `doc` is well-formed: one root element, tags balanced and
// properly nested, every attribute quoted and given once, no bare & and no
// stray < or > in text. Otherwise a description of the first problem.
inline std::string xml_problem(std::string doc) {
  if (doc.rfind("<?xml", 0) == 0) doc.erase(0, doc.find("?>") + 2);
  static const std::regex tag(R"(<(/?)([A-Za-z][\w:-]*)((?:\s+[\w:-]+="[^"<>]*")*)\s*(/?)>)");
  static const std::regex attr(R"(([\w:-]+)=)");
  static const std::regex entity(R"(&(amp|lt|gt|quot|apos|#\d+);)");
  if (std::regex_replace(doc, entity, "").find('&') != std::string::npos) return "bare &";
  std::vector<std::string> open;
  int roots = 0;
  std::size_t pos = 0;
  auto text_problem = [&](const std::string& t) -> std::string {
    if (t.find_first_of("<>") != std::string::npos) return "malformed markup near '" + t.substr(0, 40) + "'";
    if (open.empty() && t.find_first_not_of(" \t\r\n") != std::string::npos) return "text outside the root";
    return "";
  };
  for (std::sregex_iterator it(doc.begin(), doc.end(), tag), end; it != end; ++it) {
    const std::smatch& m = *it;
    if (auto p = text_problem(doc.substr(pos, static_cast<std::size_t>(m.position()) - pos)); !p.empty()) return p;
    pos = static_cast<std::size_t>(m.position() + m.length());
    const std::string name = m[2];
    if (m[1].length() > 0) {
      if (m[3].length() > 0 || m[4].length() > 0 || open.empty() || open.back() != name)
        return "end tag </" + name + "> does not match";
      open.pop_back();
      continue;
    }
    if (open.empty() && ++roots > 1) return "second root element";
    std::set<std::string> seen;
    const std::string attrs = m[3];
    for (std::sregex_iterator a(attrs.begin(), attrs.end(), attr); a != end; ++a)
      if (!seen.insert(a->str(1)).second) return "attribute " + a->str(1) + " given twice in <" + name + ">";
    if (m[4].length() == 0) open.push_back(name);
  }
  if (auto p = text_problem(doc.substr(pos)); !p.empty()) return p;
  if (!open.empty()) return "<" + open.back() + "> never closed";
  return roots == 1 ? "" : "no root element";
}

// Elements carrying exactly this class.
inline int count_class(const std::string& doc, const std::string& cls) {
  const std::string key = "class=\"" + cls + "\"";
  int n = 0;
  for (std::size_t p = doc.find(key); p != std::string::npos; p = doc.find(key, p + 1)) ++n;
  return n;
}

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

}  // namespace nlf::plot::test
