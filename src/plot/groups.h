// The load groups as the report page tells them: how each was applied and
// why it ended, and the figures of a lateral push at its peak (base shear,
// drift, largest fibre strain).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plot/common.h"
#include "results/base_shear.h"
#include "results/listing.h"

namespace nlf::plot {

// "load control", "load control: the group's total load in 5 steps", "arc
// length", "prescribed displacements". `total_steps`: 0, or the steps the
// deck's note says the group spreads its total load over.
std::string group_control_text(const results::ListedGroup& g, int total_steps);
// "1-5 (5 of 5)", "6-80 (75 of 400)", "none".
std::string group_steps_text(const results::ListedGroup& g);
// Why the group ended, in words: "its 5 steps done", "the end of the push:
// ...", "the strain limit: ...", "the run stopped in step 12: ...". `last`:
// the run's last group; `finished`: the load history was read to its F card.
std::string group_end_text(const results::ListedGroup& g, bool last, bool finished, const Frame& frame);

// One line of the page's table of load groups.
struct GroupRow {
  int group = 0;  // from 1
  std::string control, steps, end;
};
std::vector<GroupRow> group_rows(const results::ListingSummary& listing, const std::map<int, int>& total_groups,
                                 const Frame& frame);

// The state of a lateral push at the step of its peak.
struct AtPeak {
  int group = 0, step = 0;
  std::optional<double> base_shear;  // t
  std::vector<int> supports;         // the joints whose reactions make it
  int sway_joint = 0;                // the joint that sways most
  std::optional<double> sway;        // mm, its displacement X
  double height = 0;                 // cm, the frame's height
  std::optional<double> strain;      // per cent, the largest outer-fibre strain (in size)
  std::string strain_where;          // "member 5 (3-7, HEB260), station 1, fibre 1"
};

// The figures at `step` (the peak of group `group`) from the base shear of
// the push and the stress table; nullopt without a base shear (no lateral
// push on supports).
std::optional<AtPeak> at_peak(const Frame& frame, const std::optional<results::BaseShear>& shear,
                              const std::vector<StressStep>& stress, int group, int step);

// "member 5 (3-7, HEB260)": the section by its name where the deck names it.
std::string member_words(const Frame& frame, int member);

}  // namespace nlf::plot
