// Shared by the plot tests: a small XML well-formedness checker.
#pragma once

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "results/result_files.h"

namespace nlf::plot::test {

using namespace nlf::results::test;

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

}  // namespace nlf::plot::test
