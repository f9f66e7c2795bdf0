#include "plot/results.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

namespace nlf::plot {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Columns [from, from + width) of a line; shorter lines give what is there.
std::string_view cols(std::string_view line, std::size_t from, std::size_t width) {
  if (from >= line.size()) return {};
  return line.substr(from, width);
}

std::string where(const std::string& name, std::size_t index) {
  return name + ", line " + std::to_string(index + 1);
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

}  // namespace

std::vector<std::string> read_text_lines(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::error_code ec;
    const char* why = std::filesystem::exists(p, ec) ? "cannot be read" : "no such file";
    throw PlotError(p.string() + ": " + why);
  }
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  if (in.bad()) throw PlotError(p.string() + ": read error");
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

// ---- response curves

CurveLabel decode_label(std::string_view raw) {
  CurveLabel l;
  l.text = std::string(trim(raw));
  std::string_view t = l.text;
  // JJJ is up to three digits, then F or D, '.', X/Y/R, '(' unit ')'.
  std::size_t n = 0;
  while (n < t.size() && n < 3 && t[n] >= '0' && t[n] <= '9') ++n;
  if (n == 0 || t.size() < n + 6) return l;
  const char kind = t[n], dot = t[n + 1], dir = t[n + 2], open = t[n + 3];
  if ((kind != 'F' && kind != 'D') || dot != '.' || (dir != 'X' && dir != 'Y' && dir != 'R') ||
      open != '(' || t.back() != ')')
    return l;
  l.known = true;
  l.joint = *read_int(t.substr(0, n));
  l.kind = kind;
  l.dir = dir;
  l.unit = std::string(t.substr(n + 4, t.size() - n - 5));
  return l;
}

std::string CurveLabel::describe() const {
  if (!known) return text;
  std::string what;
  if (kind == 'F')
    what = dir == 'R' ? "moment" : std::string("force ") + dir;
  else
    what = dir == 'R' ? "rotation" : std::string("displacement ") + dir;
  return "joint " + std::to_string(joint) + ", " + what;
}

std::string CurveLabel::axis_title() const {
  if (!known) return text;
  if (kind == 'F') return dir == 'R' ? "Moment (t\u00b7cm)" : "Force (t)";
  return dir == 'R' ? "Rotation (rad/100)" : "Displacement (mm)";
}

CurveFile parse_curve_lines(const std::string& name, const std::vector<std::string>& lines) {
  CurveFile f;
  f.name = name;
  std::size_t h = 0;
  while (h < lines.size() && !starts_with(lines[h], "   STEP")) ++h;
  if (h == lines.size())
    throw PlotError(name + ": no header line (\"   STEP\" and the labels); not a response-curve file");

  // Two blanks, " STEP", one blank, then the seven labels.
  std::string header = lines[h].size() > 8 ? lines[h].substr(8) : std::string();
  header.resize(7 * 14, ' ');

  // Data lines: I5 step in columns 2-6, then n values of 14 columns from
  // column 8. Cut-off lines are recognised by their length.
  struct Raw {
    std::size_t index;
    int n;
  };
  std::vector<Raw> raw;
  std::array<int, 8> seen{};
  for (std::size_t i = h + 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t len = trim(std::string_view(line)).empty() ? 0 : line.find_last_not_of(" \t") + 1;
    if (len == 0) continue;
    int n = -1;
    if (len <= 7)
      n = 0;
    else if ((len - 7) % 14 == 0 && (len - 7) / 14 <= 7)
      n = static_cast<int>((len - 7) / 14);
    if (n < 0) {
      f.warnings.push_back(where(name, i) + ": incomplete or foreign line skipped");
      continue;
    }
    raw.push_back({i, n});
    ++seen[static_cast<std::size_t>(n)];
  }
  // The watched count is the same on every line of a run; the usual count
  // wins and other lines are reported.
  int ncols = -1;
  for (int n = 0; n <= 7; ++n) {
    const int c = seen[static_cast<std::size_t>(n)];
    if (c > 0 && (ncols < 0 || c >= seen[static_cast<std::size_t>(ncols)])) ncols = n;
  }
  if (ncols < 0) {
    // No step written yet: the labels alone tell what is watched.
    ncols = 0;
    for (int k = 0; k < 7; ++k)
      if (!trim(std::string_view(header).substr(14 * static_cast<std::size_t>(k), 14)).empty()) ncols = k + 1;
  }
  f.ncols = ncols;
  for (int k = 0; k < ncols; ++k) f.labels.push_back(decode_label(std::string_view(header).substr(14 * k, 14)));

  int unreadable = 0;
  for (const Raw& r : raw) {
    const std::string& line = lines[r.index];
    if (r.n != ncols) {
      f.warnings.push_back(where(name, r.index) + ": " + std::to_string(r.n) + " values where the file has " +
                           std::to_string(ncols) + "; line skipped");
      continue;
    }
    const auto step = read_int(cols(line, 1, 5));
    if (!step) {
      f.warnings.push_back(where(name, r.index) + ": step number unreadable; line skipped");
      continue;
    }
    CurveRow row;
    row.step = *step;
    for (int k = 0; k < ncols; ++k) {
      const auto v = read_real(cols(line, 7 + 14 * static_cast<std::size_t>(k), 14));
      if (!v || !std::isfinite(*v)) ++unreadable;
      row.values.push_back(v && std::isfinite(*v) ? *v : std::numeric_limits<double>::quiet_NaN());
    }
    f.rows.push_back(std::move(row));
  }
  if (unreadable > 0)
    f.warnings.push_back(name + ": " + std::to_string(unreadable) +
                         " value(s) are not finite numbers and are left out of the curves");
  return f;
}

CurveFile read_curve_file(const std::filesystem::path& p) {
  return parse_curve_lines(p.filename().string(), read_text_lines(p));
}

// ---- member node displacements

std::vector<DisplacementStep> parse_displacement_lines(const std::string& name,
                                                       const std::vector<std::string>& lines) {
  // (1X,I3,'(',I3,'-',I3,')',I3,2X,3(2X,1P,E12.3,2X,1P,E12.3,0P,F10.3)):
  // groups of 38 columns from column 19, the TOTAL group the third.
  constexpr std::size_t total_x = 96, total_y = 110, field = 12;

  std::vector<DisplacementStep> steps;
  int node = 0;  // nodes of the current member read so far
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (starts_with(line, " STEP")) {
      const auto step = read_int(cols(line, 5, 4));
      if (!step) throw PlotError(where(name, i) + ": step number unreadable");
      if (!steps.empty() && node != 0) {
        steps.back().members.pop_back();
        steps.back().complete = false;
      }
      steps.push_back({*step, static_cast<long>(i + 1), {}, true});
      node = 0;
      continue;
    }
    if (steps.empty() || trim(line).empty()) continue;  // banner and title
    if (line.size() < 16 || line[4] != '(' || line[8] != '-' || line[12] != ')')
      throw PlotError(where(name, i) + ": not a line of the member displacement table");
    DisplacementStep& s = steps.back();
    const auto k = read_int(cols(line, 13, 3));
    if (!k || *k != node + 1)
      throw PlotError(where(name, i) + ": node " + std::to_string(node + 1) + " expected");
    if (node == 0) {
      const auto m = read_int(cols(line, 1, 3));
      // Member numbers past 999 print as asterisks; the order still tells.
      if (m && *m != static_cast<int>(s.members.size()) + 1)
        throw PlotError(where(name, i) + ": member " + std::to_string(s.members.size() + 1) + " expected");
      MemberShift ms;
      ms.ja = read_int(cols(line, 5, 3)).value_or(0);
      ms.jb = read_int(cols(line, 9, 3)).value_or(0);
      s.members.push_back(ms);
    }
    if (line.size() < total_y + field) {
      // The file ends inside a line: the run stopped while writing.
      s.members.pop_back();
      s.complete = false;
      node = 0;
      continue;
    }
    const auto dx = read_real(cols(line, total_x, field));
    const auto dy = read_real(cols(line, total_y, field));
    if (!dx || !dy || !std::isfinite(*dx) || !std::isfinite(*dy))
      throw PlotError(where(name, i) + ": total displacement of member " + std::to_string(s.members.size()) +
                      " node " + std::to_string(*k) + " is not a finite number");
    // Printed in millimetres.
    s.members.back().node[static_cast<std::size_t>(node)] = {*dx / 10.0, *dy / 10.0};
    node = (node + 1) % kNodes;
  }
  if (!steps.empty() && node != 0) {
    steps.back().members.pop_back();
    steps.back().complete = false;
  }
  return steps;
}

std::vector<DisplacementStep> read_member_displacements(const std::filesystem::path& p) {
  return parse_displacement_lines(p.filename().string(), read_text_lines(p));
}

// ---- fibre stress distribution

std::vector<StressStep> parse_stress_lines(const std::string& name, const std::vector<std::string>& lines) {
  // Member line (1X,'STEP=',I3,'  STRESS OF MEMBER (',I3,') ',I3,'-',I3);
  // section line (1X,I3,2X,20A1,' (',F6.3,')',20I4,' (',F6.3,')').
  static constexpr std::string_view member_tag = "  STRESS OF MEMBER (";
  std::vector<StressStep> steps;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (starts_with(line, " STEP=")) {
      if (steps.empty()) throw PlotError(where(name, i) + ": member line before the first step heading");
      if (line.size() < 41 || line.substr(9, member_tag.size()) != member_tag)
        throw PlotError(where(name, i) + ": not a member line of the stress table");
      StressStep& s = steps.back();
      const auto m = read_int(cols(line, 29, 3));
      if (m && *m != static_cast<int>(s.members.size()) + 1)
        throw PlotError(where(name, i) + ": member " + std::to_string(s.members.size() + 1) + " expected");
      if (!s.members.empty() && s.members.back().count != kStations)
        throw PlotError(where(name, i) + ": the member before has " + std::to_string(s.members.back().count) +
                        " section lines, not " + std::to_string(kStations));
      MemberStations ms;
      ms.ja = read_int(cols(line, 34, 3)).value_or(0);
      ms.jb = read_int(cols(line, 38, 3)).value_or(0);
      s.members.push_back(ms);
      continue;
    }
    if (starts_with(line, " STEP")) {
      const auto step = read_int(cols(line, 5, 4));
      if (!step) throw PlotError(where(name, i) + ": step number unreadable");
      steps.push_back({*step, static_cast<long>(i + 1), {}});
      continue;
    }
    if (steps.empty() || trim(line).empty()) continue;
    StressStep& s = steps.back();
    if (s.members.empty()) throw PlotError(where(name, i) + ": section line before the first member line");
    MemberStations& ms = s.members.back();
    const auto k = read_int(cols(line, 1, 3));
    if (!k || *k != ms.count + 1 || ms.count == kStations)
      throw PlotError(where(name, i) + ": not section line " + std::to_string(ms.count + 1) + " of member " +
                      std::to_string(s.members.size()));
    if (line.size() < 6 + kFibres) {
      // Cut off inside the fibre symbols: the file ends here.
      continue;
    }
    StationState st;
    for (std::size_t f = 0; f < kFibres; ++f) {
      const char c = line[6 + f];
      if (c == '+')
        ++st.upper;
      else if (c == '-')
        ++st.lower;
      else if (c != '.')
        throw PlotError(where(name, i) + ": fibre symbol '" + std::string(1, c) + "' is not +, - or .");
    }
    ms.station[static_cast<std::size_t>(ms.count++)] = st;
  }
  return steps;
}

std::vector<StressStep> read_member_stresses(const std::filesystem::path& p) {
  return parse_stress_lines(p.filename().string(), read_text_lines(p));
}

const DisplacementStep* find_step(const std::vector<DisplacementStep>& v, int step) {
  for (auto it = v.rbegin(); it != v.rend(); ++it)
    if (it->step == step) return &*it;
  return nullptr;
}

const StressStep* find_step(const std::vector<StressStep>& v, int step) {
  for (auto it = v.rbegin(); it != v.rend(); ++it)
    if (it->step == step) return &*it;
  return nullptr;
}

}  // namespace nlf::plot
