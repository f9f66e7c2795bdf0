#include "plot/groups.h"

#include <algorithm>
#include <cmath>

#include "plot/svg.h"

namespace nlf::plot {

using results::GroupEnd;
using results::ListedGroup;

std::string member_words(const Frame& frame, int member) {
  if (member < 1 || static_cast<std::size_t>(member) > frame.members.size()) return "member " + std::to_string(member);
  const Member& m = frame.members[static_cast<std::size_t>(member - 1)];
  std::string s = "member " + std::to_string(member) + " (" +
                  std::to_string(frame.joints[static_cast<std::size_t>(m.a)].number) + "-" +
                  std::to_string(frame.joints[static_cast<std::size_t>(m.b)].number);
  if (const auto n = frame.section_names.find(m.section); n != frame.section_names.end()) s += ", " + n->second;
  return s + ")";
}

std::string group_control_text(const ListedGroup& g, int total_steps) {
  if (!g.prescribed.empty()) return "prescribed displacements";
  if (g.arc_length) return "arc length";
  std::string s = g.card == 'A' ? "load control (A card)" : "load control";
  if (total_steps > 0) s += ": the group's total load in " + std::to_string(total_steps) + " steps";
  return s;
}

std::string group_steps_text(const ListedGroup& g) {
  const std::string of = " of " + std::to_string(g.planned) + ")";
  if (g.steps == 0) return "none (0" + of;
  const int last = g.first_step + g.steps - 1;
  return (g.steps == 1 ? std::to_string(last) : std::to_string(g.first_step) + "-" + std::to_string(last)) + " (" +
         std::to_string(g.steps) + of;
}

namespace {

// A fibre strain as the run prints it, with its per cent: "0.0201 (2.01 %)".
std::string strain_words(double e) { return plain_number(e) + " (" + plain_number(100 * e) + " %)"; }

}  // namespace

std::string group_end_text(const ListedGroup& g, bool last, bool finished, const Frame& frame) {
  const GroupEnd& e = g.end;
  const std::string at = "at step " + std::to_string(e.step);
  switch (e.kind) {
    case GroupEnd::Kind::kSteps:
      return "its " + std::to_string(g.steps) + (g.steps == 1 ? " step" : " steps") + " done" +
             (last && finished ? "; the F card ends the load history" : "");
    case GroupEnd::Kind::kDrop:
      return "the end of the push: " + at + " the load factor, " + plain_number(e.value) + ", fell below " +
             plain_number(e.limit) + " of its largest, " + plain_number(e.peak) + " at step " +
             std::to_string(e.peak_step) + " (X5 of its E card)";
    case GroupEnd::Kind::kStrainLimit:
      return "the strain limit: " + at + " the fibre strain " + strain_words(e.value) + " at " +
             member_words(frame, e.member) + ", station " + std::to_string(e.station) + " passed the limit " +
             strain_words(e.limit) + " of the P card";
    case GroupEnd::Kind::kFloor:
      return "the arc length at its floor: step " + std::to_string(e.step + 1) + " " +
             (e.cause.empty() ? "failed" : e.cause) + " even with the arc length cut to " + plain_number(e.value) +
             "; the group ends at its last step done" + (e.step > 0 ? ", " + std::to_string(e.step) : "");
    case GroupEnd::Kind::kStopped:
      break;
  }
  if (e.step > 0 && !e.cause.empty()) return "the run stopped in step " + std::to_string(e.step) + ": " + e.cause;
  if (e.step > 0) return "the run stopped in step " + std::to_string(e.step) + " (or is still running)";
  return std::string("the run stopped") + (g.steps > 0 ? " after step " + std::to_string(g.first_step + g.steps - 1) : "") +
         (e.cause.empty() ? " (or is still running): the listing ends there" : ": " + e.cause);
}

std::vector<GroupRow> group_rows(const results::ListingSummary& listing, const std::map<int, int>& total_groups,
                                 const Frame& frame) {
  std::vector<GroupRow> rows;
  for (std::size_t k = 0; k < listing.groups.size(); ++k) {
    const ListedGroup& g = listing.groups[k];
    const int number = static_cast<int>(k + 1);
    const auto t = total_groups.find(number);
    rows.push_back({number, group_control_text(g, t == total_groups.end() ? 0 : t->second), group_steps_text(g),
                    group_end_text(g, k + 1 == listing.groups.size(), listing.finished, frame)});
  }
  return rows;
}

std::optional<AtPeak> at_peak(const Frame& frame, const std::optional<results::BaseShear>& shear,
                              const std::vector<StressStep>& stress, int group, int step) {
  if (!shear || step == 0) return std::nullopt;
  AtPeak a;
  a.group = group;
  a.step = step;
  a.supports = shear->supports;
  a.sway_joint = shear->joint;
  for (const results::BaseShearPoint& p : shear->points)
    if (p.step == step) {
      a.base_shear = p.shear;
      if (std::isfinite(p.drift)) a.sway = p.drift;
    }
  double lo = 0, hi = 0;
  for (std::size_t j = 0; j < frame.joints.size(); ++j) {
    lo = j == 0 ? frame.joints[j].y : std::min(lo, frame.joints[j].y);
    hi = j == 0 ? frame.joints[j].y : std::max(hi, frame.joints[j].y);
  }
  a.height = hi - lo;
  if (const StressStep* s = find_step(stress, step)) {
    for (std::size_t m = 0; m < s->members.size(); ++m)
      for (int k = 0; k < s->members[m].count; ++k) {
        const auto e = results::outer_strains(s->members[m].text[static_cast<std::size_t>(k)]);
        for (std::size_t f = 0; f < 2; ++f) {
          if (!std::isfinite(e[f]) || (a.strain && std::fabs(e[f]) <= std::fabs(*a.strain))) continue;
          a.strain = e[f];
          a.strain_where = member_words(frame, static_cast<int>(m + 1)) + ", station " + std::to_string(k + 1) +
                           ", fibre " + (f == 0 ? "1" : "20");
        }
      }
  }
  return a;
}

}  // namespace nlf::plot
