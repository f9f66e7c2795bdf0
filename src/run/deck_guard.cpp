#include "run/deck_guard.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "io/card.h"

namespace nlf {

namespace fs = std::filesystem;

namespace {

// A field of columns [first, first + width) as a whole number, or 0.
int field(const std::string& line, std::size_t first, std::size_t width) {
  if (line.size() <= first) return 0;
  const std::string f = line.substr(first, width);
  int v = 0;
  bool digits = false;
  for (char c : f) {
    if (c == ' ') continue;
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
    digits = true;
    if (v > 99999) return 0;
  }
  return digits ? v : 0;
}

}  // namespace

std::vector<std::string> files_written(const std::string& deck_text) {
  std::vector<std::string> names = {"R.rst", "Mstr.rst", "Mdis.rst", "Mfor.rst", "Jdis.rst", "Jfor.rst",
                                    ".nlframe-run.json", ".nlframe-run.json.part"};
  std::istringstream in(deck_text);
  std::string line;
  bool control = false;
  int watch = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == kComment) continue;
    if (!control) {
      control = true;
      // The restart output unit: columns 5-7 of the control card.
      const int out = field(line, 4, 3);
      if (out > 0) names.push_back("fort." + std::to_string(out));
      continue;
    }
    if (line[0] == 'W' || line[0] == 'w') ++watch;
  }
  for (int k = 1; k <= watch; ++k) names.push_back("fort." + std::to_string(60 + k));
  return names;
}

std::string deck_among_outputs(const fs::path& deck, const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_regular_file(deck, ec)) return {};  // the deck's own open says what is wrong
  std::ifstream f(deck, std::ios::binary);
  std::ostringstream text;
  text << f.rdbuf();
  for (const std::string& name : files_written(text.str())) {
    const fs::path out = folder.empty() ? fs::path(name) : folder / name;
    if (fs::equivalent(deck, out, ec) && !ec) return name;
  }
  return {};
}

}  // namespace nlf
