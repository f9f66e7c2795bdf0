#include "results/curves.h"

#include <array>
#include <cmath>
#include <limits>

namespace nlf::results {

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

std::string CurveLabel::quantity() const {
  if (!known) return text;
  if (kind == 'F') return dir == 'R' ? "moment" : std::string("force ") + dir;
  return dir == 'R' ? "rotation" : std::string("displacement ") + dir;
}

std::string CurveLabel::describe() const {
  if (!known) return text;
  return "joint " + std::to_string(joint) + ", " + quantity();
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
  std::string header;
  if (h < lines.size()) {
    // Two blanks, " STEP", one blank, then the seven labels.
    header = lines[h].size() > 8 ? lines[h].substr(8) : std::string();
  } else {
    // A continued run writes no header: then every line must be a line of
    // values, and the columns go unnamed.
    bool values = false;
    for (const std::string& l : lines) {
      const std::size_t len = trim(l).empty() ? 0 : l.find_last_not_of(" \t") + 1;
      if (len == 0) continue;
      if (len < 7 || (len - 7) % 14 != 0 || !read_int(cols(l, 1, 5)))
        throw ResultError(name + ": no header line (\"   STEP\" and the labels); not a response-curve file");
      values = true;
    }
    if (!values)
      throw ResultError(name + ": no header line (\"   STEP\" and the labels); not a response-curve file");
    f.warnings.push_back(name + ": no header line (a continued run writes none); the columns are unnamed");
  }
  header.resize(7 * 14, ' ');

  // Data lines: I5 step in columns 2-6, then n values of 14 columns from
  // column 8. Cut-off lines are recognised by their length.
  struct Raw {
    std::size_t index;
    int n;
  };
  std::vector<Raw> raw;
  std::array<int, 8> seen{};
  for (std::size_t i = h < lines.size() ? h + 1 : 0; i < lines.size(); ++i) {
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
      ++f.skipped;
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
      ++f.skipped;
      continue;
    }
    const auto step = read_int(cols(line, 1, 5));
    if (!step) {
      f.warnings.push_back(where(name, r.index) + ": step number unreadable; line skipped");
      ++f.skipped;
      continue;
    }
    CurveRow row;
    row.step = *step;
    for (int k = 0; k < ncols; ++k) {
      const std::string_view field = cols(line, 7 + 14 * static_cast<std::size_t>(k), 14);
      row.fields.emplace_back(trim(field));
      const auto v = read_real(field);
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

}  // namespace nlf::results
