#include "results/tables.h"

namespace nlf::results {

namespace {

// The three groups DISPLACEMENT, SUBTOTAL, TOTAL of a displacement row from
// column `base`: (2X,E12.3,2X,E12.3,F10.3) each.
void displacement_groups(TableLayout& t, std::size_t base, const char* u, const char* v) {
  for (const char* group : {"displacement", "subtotal", "total"}) {
    const std::string g = group;
    t.fields.push_back({g + "_" + u, base + 2, 12});
    t.fields.push_back({g + "_" + v, base + 16, 12});
    t.fields.push_back({g + "_T(1/100)", base + 28, 10});
    base += 38;
  }
}

TableLayout make_joint_forces() {
  // (1X,I5,1X,3(2X,3F12.3)): unbalanced (AC. LOAD), applied (EX, LOAD) and
  // internal (IN. LOAD) loads.
  TableLayout t;
  t.file = "Jfor.rst";
  t.fields.push_back({"joint", 1, 5});
  std::size_t base = 7;
  for (const char* group : {"unbalanced", "applied", "internal"}) {
    const std::string g = group;
    t.fields.push_back({g + "_X(TON)", base + 2, 12});
    t.fields.push_back({g + "_Y(TON)", base + 14, 12});
    t.fields.push_back({g + "_M(TON*CM)", base + 26, 12});
    base += 38;
  }
  t.length = base;
  t.column_line = " JOINT";
  return t;
}

TableLayout make_joint_displacements() {
  // 1X,I5,1X, then the three groups.
  TableLayout t;
  t.file = "Jdis.rst";
  t.fields.push_back({"joint", 1, 5});
  displacement_groups(t, 7, "U(MM)", "V(MM)");
  t.length = 7 + 3 * 38;
  t.column_line = " JOINT";
  return t;
}

TableLayout make_member_forces() {
  // (1X,I3,1X,I3,'-',I3,1X,2(F10.3,'(',F8.4,')'),1X,2F13.3,1X,
  //  2(F10.1,'(',F8.4,')')); the strains are in per cent.
  TableLayout t;
  t.file = "Mfor.rst";
  t.fields = {{"member", 1, 3},          {"joint_I", 5, 3},        {"joint_J", 9, 3},
              {"NI(TON)", 13, 10},       {"STRAIN_I(%)", 24, 8},   {"NJ(TON)", 33, 10},
              {"STRAIN_J(%)", 44, 8},    {"QI(TON)", 54, 13},      {"QJ(TON)", 67, 13},
              {"MI(T*CM)", 81, 10},      {"E1-E2_I(%)", 92, 8},    {"MJ(T*CM)", 101, 10},
              {"E1-E2_J(%)", 112, 8}};
  t.length = 121;
  t.marks = {{8, '-'}, {23, '('}, {32, ')'}, {43, '('}, {52, ')'}, {91, '('}, {100, ')'}, {111, '('}, {120, ')'}};
  t.column_line = "     I  J";
  t.counted = 0;
  return t;
}

TableLayout make_member_displacements() {
  // (1X,I3,'(',I3,'-',I3,')',I3,2X, then the three groups); six rows, one
  // per node point, for every member.
  TableLayout t;
  t.file = "Mdis.rst";
  t.fields = {{"member", 1, 3}, {"joint_I", 5, 3}, {"joint_J", 9, 3}, {"node", 13, 3}};
  displacement_groups(t, 18, "U(MM)", "V(MM)");
  t.length = 18 + 3 * 38;
  t.marks = {{4, '('}, {8, '-'}, {12, ')'}};
  t.counted = 0;
  t.rows_per_item = 6;
  t.sub_counted = 3;
  return t;
}

}  // namespace

const TableLayout& joint_forces_layout() {
  static const TableLayout t = make_joint_forces();
  return t;
}
const TableLayout& joint_displacements_layout() {
  static const TableLayout t = make_joint_displacements();
  return t;
}
const TableLayout& member_forces_layout() {
  static const TableLayout t = make_member_forces();
  return t;
}
const TableLayout& member_displacements_layout() {
  static const TableLayout t = make_member_displacements();
  return t;
}

std::vector<TableBlock> parse_table(const TableLayout& t, const std::vector<std::string>& lines) {
  std::vector<TableBlock> blocks;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (starts_with(line, " STEP")) {
      const auto step = read_int(cols(line, 5, 4));
      if (!step) throw ResultError(where(t.file, i) + ": step number unreadable");
      blocks.push_back({*step, static_cast<long>(i + 1), {}});
      continue;
    }
    if (blocks.empty() || trim(line).empty()) continue;  // banner and title
    if (!t.column_line.empty() && starts_with(line, t.column_line) && blocks.back().rows.empty()) continue;
    TableBlock& b = blocks.back();
    const std::size_t len = line.find_last_not_of(' ') + 1;
    bool marked = true;
    for (const auto& [col, ch] : t.marks)
      if (col < len && line[col] != ch) marked = false;
    if (!marked) throw ResultError(where(t.file, i) + ": not a row of the table");
    if (len < t.length)
      throw ResultError(where(t.file, i) + ": the row is cut off after column " + std::to_string(len) +
                        " of " + std::to_string(t.length) + "; the file is incomplete");
    if (len > t.length) throw ResultError(where(t.file, i) + ": not a row of the table (too long)");
    std::vector<std::string> row;
    row.reserve(t.fields.size());
    for (const TableField& f : t.fields) row.emplace_back(trim(cols(line, f.from, f.width)));
    const int n = static_cast<int>(b.rows.size());
    if (t.counted >= 0) {
      const int item = n / t.rows_per_item + 1;
      std::string& field = row[static_cast<std::size_t>(t.counted)];
      const auto printed = read_int(field);
      if (printed ? *printed != item : field.find_first_not_of('*') != std::string::npos)
        throw ResultError(where(t.file, i) + ": member " + std::to_string(item) + " expected");
      field = std::to_string(item);
    }
    if (t.sub_counted >= 0) {
      const auto k = read_int(row[static_cast<std::size_t>(t.sub_counted)]);
      if (!k || *k != n % t.rows_per_item + 1)
        throw ResultError(where(t.file, i) + ": node " + std::to_string(n % t.rows_per_item + 1) + " expected");
    }
    b.rows.push_back(std::move(row));
  }
  return blocks;
}

std::vector<TableBlock> read_table(const TableLayout& layout, const std::string& path) {
  return parse_table(layout, read_text_lines(path));
}

std::size_t TableLayout::column(const std::string& name) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].name == name) return i;
  throw ResultError(file + ": no column " + name);
}

}  // namespace nlf::results
