#include "results/text.h"

#include <charconv>
#include <fstream>
#include <limits>

namespace nlf::results {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view cols(std::string_view line, std::size_t from, std::size_t width) {
  if (from >= line.size()) return {};
  return line.substr(from, width);
}

std::string where(const std::string& name, std::size_t index) {
  return name + ", line " + std::to_string(index + 1);
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

std::vector<std::string> read_text_lines(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::error_code ec;
    const char* why = std::filesystem::exists(p, ec) ? "cannot be read" : "no such file";
    throw ResultError(p.string() + ": " + why);
  }
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  if (in.bad()) throw ResultError(p.string() + ": read error");
  return lines;
}

std::optional<double> read_real(std::string_view field) {
  field = trim(field);
  if (field.empty() || field.size() > 40) return std::nullopt;
  if (field == "NaN" || field == "-NaN") return std::numeric_limits<double>::quiet_NaN();
  if (field == "Infinity" || field == "Inf") return std::numeric_limits<double>::infinity();
  if (field == "-Infinity" || field == "-Inf") return -std::numeric_limits<double>::infinity();

  // Normalise to the form from_chars reads: E as the exponent letter, the
  // letter put back where a three-digit exponent dropped it.
  std::string s;
  s.reserve(field.size() + 1);
  bool exponent = false;
  for (std::size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c == 'D' || c == 'd' || c == 'e') c = 'E';
    if (c == 'E') {
      if (exponent) return std::nullopt;
      exponent = true;
    } else if ((c == '+' || c == '-') && i > 0 && field[i - 1] != 'E' && field[i - 1] != 'e' &&
               field[i - 1] != 'D' && field[i - 1] != 'd') {
      if (exponent) return std::nullopt;
      s += 'E';
      exponent = true;
    } else if (!(c == '.' || c == '+' || c == '-' || (c >= '0' && c <= '9'))) {
      return std::nullopt;  // asterisks and anything foreign
    }
    s += c;
  }
  const char* b = s.data();
  if (*b == '+') ++b;  // from_chars takes no leading plus
  double v = 0;
  const auto r = std::from_chars(b, s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<int> read_int(std::string_view field) {
  field = trim(field);
  if (field.empty()) return std::nullopt;
  if (field.front() == '+') field.remove_prefix(1);
  int v = 0;
  const auto r = std::from_chars(field.data(), field.data() + field.size(), v);
  if (r.ec != std::errc() || r.ptr != field.data() + field.size()) return std::nullopt;
  return v;
}

}  // namespace nlf::results
