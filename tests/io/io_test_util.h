// Reading the tab-separated vector files of tests/data.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "io/stop.h"
#include "support/test_support.h"

namespace nlf::test {

// Rows of a vector file without its header row, each split on tabs.
inline std::vector<std::vector<std::string>> read_tsv(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  auto lines = read_lines(std::string(NLFRAME_TEST_DATA) + "/" + name);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> cells;
    std::istringstream in(lines[i]);
    for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

// The text between the outer '|' of a cell.
inline std::string bars(const std::string& cell) {
  EXPECT_TRUE(cell.size() >= 2 && cell.front() == '|' && cell.back() == '|') << cell;
  return cell.size() < 2 ? cell : cell.substr(1, cell.size() - 2);
}

// The escapes \n, \t and \r of a cell turned into their bytes.
inline std::string unescape(const std::string& cell) {
  std::string s;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    char c = i + 1 < cell.size() && cell[i] == '\\' ? cell[i + 1] : '\0';
    if (c == 'n' || c == 't' || c == 'r') {
      s.push_back(c == 'n' ? '\n' : c == 't' ? '\t' : '\r');
      ++i;
    } else {
      s.push_back(cell[i]);
    }
  }
  return s;
}

// A value as the vectors write it: a decimal, NaN, +Inf, -Inf or -0.0.
inline double vector_real(const std::string& text) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);  // takes NaN, +Inf and -Inf too
  EXPECT_EQ(*end, '\0') << text;
  return v;
}

// The message of the FileError that f throws.
inline std::string error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const FileError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace nlf::test
