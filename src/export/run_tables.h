// Every result file of a finished run, read and checked against each other
// before anything is written: the same output steps in every file, complete
// blocks, the deck's joints and members.
#pragma once

#include <filesystem>
#include <utility>
#include <vector>

#include "results/curves.h"
#include "results/deck.h"
#include "results/member_tables.h"
#include "results/tables.h"

namespace nlf::exporter {

struct RunTables {
  results::Frame frame;
  std::vector<results::TableBlock> joint_forces, joint_displacements, member_forces, member_displacements;
  std::vector<results::StressStep> stresses;
  std::vector<std::pair<int, results::CurveFile>> curves;  // unit and file
};

// Reads the deck and the result files of the run in `dir`. Throws
// results::ResultError naming the file for a file that is missing, cut off,
// foreign, or holds other steps than the others; results::ForeignRunError
// when the listing is that of another deck.
RunTables read_run(const std::filesystem::path& deck, const std::filesystem::path& dir);

// The checks read_run makes, one file at a time. `joints` and `members` are
// the run's counts.
void check_rows(const std::string& file, const std::vector<results::TableBlock>& blocks, std::size_t rows,
                const char* what);
void check_stresses(const std::vector<results::StressStep>& steps, std::size_t members);
// `steps` of `file` must be those of the reference file, or (subset) a part
// of them in the same order.
void check_steps(const std::string& file, const std::vector<int>& steps, const std::string& reference,
                 const std::vector<int>& reference_steps, bool subset = false);

}  // namespace nlf::exporter
