#include "results/arguments.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

std::optional<fs::path> recorded_deck(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return std::nullopt;
  std::ifstream in(folder / ".nlframe-run.json", std::ios::binary);
  if (!in) return std::nullopt;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // "deck_path": "...", a JSON string with its escapes.
  const std::string key = "\"deck_path\":";
  std::size_t at = text.find(key);
  if (at == std::string::npos) return std::nullopt;
  at = text.find('"', at + key.size());
  if (at == std::string::npos) return std::nullopt;
  std::string path;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') return path.empty() ? std::nullopt : std::optional<fs::path>(path);
    if (c == '\\' && i + 1 < text.size()) {
      c = text[++i];
      if (c == 'u') {
        // The package writes every other character as \uXXXX: to UTF-8.
        if (i + 4 >= text.size()) return std::nullopt;
        const unsigned long u = std::strtoul(text.substr(i + 1, 4).c_str(), nullptr, 16);
        i += 4;
        if (u >= 0xD800 && u < 0xE000) return std::nullopt;  // a pair: no such folder name here
        if (u < 0x80) {
          path += static_cast<char>(u);
        } else if (u < 0x800) {
          path += static_cast<char>(0xC0 | (u >> 6));
          path += static_cast<char>(0x80 | (u & 0x3F));
        } else {
          path += static_cast<char>(0xE0 | (u >> 12));
          path += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
          path += static_cast<char>(0x80 | (u & 0x3F));
        }
        continue;
      }
      if (c == 'n') c = '\n';
      else if (c == 't') c = '\t';
      else if (c == 'r') c = '\r';
    }
    path += c;
  }
  return std::nullopt;
}

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
