// A card in the general layout, for building decks in tests and benchmarks:
// the letter, three integers of width 3 and up to seven reals of width 10,
// each with the most significant digits that fit its ten columns.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace nlf::test {

inline std::string card(char ch, int i1 = 0, int i2 = 0, int i3 = 0, std::vector<double> x = {}) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%c%3d%3d%3d", ch, i1, i2, i3);
  std::string s = buf;
  for (double v : x) {
    std::string f;
    for (int digits = 9; digits >= 1; --digits) {
      std::snprintf(buf, sizeof buf, "%.*G", digits, v);
      f = buf;
      if (f.find('.') == std::string::npos && f.find('E') == std::string::npos) f += ".";
      if (f.size() <= 10) break;
    }
    s += std::string(10 - f.size(), ' ') + f;
  }
  return s + "\n";
}

}  // namespace nlf::test
