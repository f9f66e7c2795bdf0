// The step tables of a run that are read row by row: joint forces
// (Jfor.rst), joint displacements (Jdis.rst), member forces (Mfor.rst) and
// member node displacements (Mdis.rst). Each file is a banner and a title,
// then per output step a heading " STEP n", perhaps a column line, and one
// row per joint, member or member node. The reader keeps every field as the
// text the file prints, so that a result is passed on without rounding.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/text.h"

namespace nlf::results {

// One field of a row: its column name (with the unit as the file prints
// it) and its columns, 0-based.
struct TableField {
  std::string name;
  std::size_t from = 0, width = 0;
};

struct TableLayout {
  std::string file;                // "Jfor.rst"
  std::vector<TableField> fields;  // in the order of the row
  std::size_t length = 0;          // columns of a complete row
  // Characters every row holds at fixed columns, for telling rows from
  // foreign lines: ( and - of the member ends, for example.
  std::vector<std::pair<std::size_t, char>> marks;
  std::string column_line;  // start of the line of column names under the heading, if any
  // Field 0 counts items within a block (the member number), printed as
  // asterisks past 999; -1 when the rows carry no such count.
  int counted = -1;
  int rows_per_item = 1;  // rows of one counted item (6 nodes of a member)
  int sub_counted = -1;   // field counting the rows of an item (the node), or -1

  // The place of the field called `name` in a row; a ResultError when the
  // table has none.
  std::size_t column(const std::string& name) const;
};

struct TableBlock {
  int step = 0;
  long line = 0;  // line of the heading, for messages
  // The fields of every row as printed, blanks around them removed; a
  // counted field holds the count even where the file has asterisks.
  std::vector<std::vector<std::string>> rows;
};

const TableLayout& joint_forces_layout();
const TableLayout& joint_displacements_layout();
const TableLayout& member_forces_layout();
const TableLayout& member_displacements_layout();

// Every block of a table file, in file order. Throws ResultError for a line
// that is no row of the table, a row cut off (the run stopped while writing
// it), or an item count out of order.
std::vector<TableBlock> parse_table(const TableLayout& layout, const std::vector<std::string>& lines);
std::vector<TableBlock> read_table(const TableLayout& layout, const std::string& folder_and_file);

}  // namespace nlf::results
