// The figures of a run that its report page shows: steps and iterations
// from the listing, the largest load from the joint forces, and the largest
// displacements and member forces of the last step.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "results/listing.h"

namespace nlf::plot {

// A printed value and where it is: "12.345", "joint 7, step 40".
struct Extreme {
  std::string what;   // "force Y (t)"
  std::string value;  // as printed
  std::string where;
};

struct RunSummary {
  std::optional<results::ListingSummary> listing;
  int output_steps = 0;
  int last_step = 0;
  std::vector<Extreme> largest_load;          // force and moment, over every output step
  std::vector<Extreme> last_displacements;    // U, V, T of the last output step
  std::vector<Extreme> last_member_forces;    // N, Q, M of the last output step
  std::vector<std::string> notes;             // files that could not be read
};

// Reads R.rst, Jfor.rst, Jdis.rst and Mfor.rst of the run folder; a file
// that cannot be read leaves its part out and adds a note.
RunSummary summarize_run(const std::filesystem::path& dir);

}  // namespace nlf::plot
