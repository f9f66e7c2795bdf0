// The tables of the companion programs (member_tables.h, tables.h) read
// from a run's HDF5 results file instead of the text result files.
#pragma once

#include <vector>

#include "results/h5_read.h"
#include "results/member_tables.h"
#include "results/tables.h"

namespace nlf::results {

// The node displacements of every detail step; empty when the file has none.
std::vector<DisplacementStep> h5_member_displacements(const H5Reader& f);
// The fibre states of every station of every fibre step (the printed lines
// are left empty); empty when the file has none.
std::vector<StressStep> h5_member_stresses(const H5Reader& f);

// A step table (tables.h) of the run in `dir`: from its text file, or
// from results.h5 when the run kept the tables there alone (every number
// then at full precision).
std::vector<TableBlock> read_table_of_run(const TableLayout& layout, const std::filesystem::path& dir);

}  // namespace nlf::results
