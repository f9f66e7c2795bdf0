// What the listing (R.rst) of a run tells about its load steps: how many
// iterations each took and whether it met the tolerance of its load group.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "results/text.h"

namespace nlf::results {

struct StepIterations {
  int step = 0;
  int iterations = 0;  // solutions made in the step
  double ratio = 0;    // the last ratio of squared displacement norms
  double tolerance = 0;
  bool converged = true;
};

struct ListingSummary {
  std::vector<StepIterations> steps;
  long iterations() const;
  // The steps that stopped at the iteration limit without meeting the
  // tolerance.
  std::vector<int> not_converged() const;
};

// Reads the step headings, the iteration lines and the echoed A and E cards
// (the tolerance of each load group). Throws ResultError for a missing file.
ListingSummary read_listing(const std::filesystem::path& p);
ListingSummary parse_listing(const std::string& name, const std::vector<std::string>& lines);

// "5, 7-9, 54-200": step numbers as ranges of consecutive steps.
std::string step_ranges(const std::vector<int>& steps);

}  // namespace nlf::results
