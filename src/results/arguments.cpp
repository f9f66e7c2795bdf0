#include "results/arguments.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace nlf::results {

namespace fs = std::filesystem;

namespace {

// The decks (*.dat) of a folder, as hints; at most three.
std::string decks_in(const fs::path& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".dat" && it->is_regular_file(ec)) found.push_back(it->path().string());
  std::sort(found.begin(), found.end());
  if (found.empty()) return "";
  std::string s = " (" + found[0];
  for (std::size_t i = 1; i < found.size() && i < 3; ++i) s += ", " + found[i];
  return s + (found.size() > 3 ? ", ...)" : ")");
}

bool result_file_name(const std::string& name) {
  for (const char* r : {"R.rst", "Jfor.rst", "Jdis.rst", "Mfor.rst", "Mdis.rst", "Mstr.rst"})
    if (name == r) return true;
  if (name.rfind("fort.", 0) == 0) return true;
  for (const char* ext : {".csv", ".svg", ".html"})
    if (name.size() > std::string(ext).size() && name.ends_with(ext)) return true;
  return false;
}

}  // namespace

std::optional<std::string> deck_problem(const fs::path& deck) {
  std::error_code ec;
  const fs::file_status st = fs::status(deck, ec);
  if (!fs::exists(st)) return deck.string() + ": no such deck";
  if (fs::is_directory(st))
    return deck.string() + " is a folder: name the deck of the run" + decks_in(deck);
  std::ifstream in(deck, std::ios::binary);
  std::string first;
  if (!in || (!std::getline(in, first) && in.bad())) return deck.string() + ": cannot be read";
  // Every result file of a run begins with the banner's row of asterisks.
  const bool banner = first.find("*****") != std::string::npos && first.find_first_not_of(" *\r") == std::string::npos;
  if (banner || result_file_name(deck.filename().string())) {
    fs::path dir = deck.parent_path();
    if (dir.empty()) dir = ".";
    return deck.string() + " is a result file of a run, not its deck: name the deck" + decks_in(dir);
  }
  return std::nullopt;
}

}  // namespace nlf::results
