// The figures of a run that its report page shows: steps and iterations
// from the listing, the peak of every load group, the largest load from the
// joint forces, and the largest displacements and member forces of one
// step, with the applied loads of that step for the frame picture.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plot/frame_charts.h"
#include "results/base_shear.h"
#include "results/listing.h"
#include "results/peaks.h"

namespace nlf::plot {

// A value and where it is: "12.35", "joint 7, step 40".
struct Extreme {
  std::string what;   // "force Y (t)"
  std::string value;  // plain decimals
  std::string where;
};

struct RunSummary {
  std::optional<results::ListingSummary> listing;
  std::vector<results::GroupPeak> peaks;     // every group's peak, from the listing and joint tables
  std::map<int, int> total_groups;           // the deck's groups that spread a total load: group -> steps
  int output_steps = 0;
  int last_step = 0;                         // the last output step
  std::vector<Extreme> largest_load;         // force and moment, over every output step
  std::optional<results::BaseShear> base_shear;  // of a frame on supports pushed sideways
  int table_step = 0;                        // the step of the tables below
  std::vector<Extreme> displacements;        // U, V, T of table_step
  std::vector<Extreme> member_forces;        // N, Q, M of table_step
  std::vector<std::string> notes;            // files that could not be read
};

// Reads R.rst, Jfor.rst, Jdis.rst and Mfor.rst of the run folder; a file
// that cannot be read leaves its part out and adds a note. The tables are
// of the step that `step` chooses once the rest is read (the peaks known),
// where the files hold it, else of the last output step.
using StepChoice = std::function<std::optional<int>(const RunSummary&)>;
RunSummary summarize_run(const std::filesystem::path& dir, const Frame& frame, const StepChoice& step = {});

// The applied joint loads (EX. LOAD) of an output step, for the arrows of
// the frame picture, one for each loaded direction; empty when Jfor.rst
// does not hold the step.
std::vector<LoadArrow> applied_loads(const std::filesystem::path& dir, const Frame& frame, int step);

// The step to draw the frame at its peak: that of the peak of the last group
// that has one; 0 when there is none.
int peak_step(const std::vector<results::GroupPeak>& peaks);

// "load factor 3.102", "force X 3.271 t", "moment 12.5 t-cm"; "factor 1 of
// the group's total load" for a group that spreads its total over its steps.
std::string peak_value_text(const results::GroupPeak& p);
// "36.88 mm", "1.25 rad/100", "-" for a load factor.
std::string peak_displacement_text(const results::GroupPeak& p);
// How far the peak can be trusted: "peak passed", or "largest value, still
// rising: no peak passed"; then "; from a step that did not converge" when
// its step stopped at the iteration limit. A group that spreads its total
// load: "the group's total load applied in 5 steps", or "3 of its 5 steps
// applied".
std::string peak_remark_text(const results::GroupPeak& p);

}  // namespace nlf::plot
