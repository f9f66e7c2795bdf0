// The member tables of a run that are read block by block: the node
// displacements (Mdis.rst) and the fibre stress distribution (Mstr.rst).
// The readers take fields by column and refuse lines that do not fit, so
// that a truncated or foreign file gives an error instead of a wrong result.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "results/text.h"

namespace nlf::results {

constexpr int kNodes = 6;      // node points per member, end I to end J
constexpr int kStations = 10;  // fibre sections per member
constexpr int kFibres = 20;    // fibres per section

struct NodeShift {
  double dx = 0, dy = 0;  // total displacement, cm
};

struct MemberShift {
  int ja = 0, jb = 0;  // user joint numbers as printed
  std::array<NodeShift, kNodes> node{};
};

struct DisplacementStep {
  int step = 0;
  long line = 0;  // line of the heading, for messages
  std::vector<MemberShift> members;  // in member order
  bool complete = true;              // false: the block stops inside a member
};

// All blocks of Mdis.rst, in file order.
std::vector<DisplacementStep> read_member_displacements(const std::filesystem::path& p);
std::vector<DisplacementStep> parse_displacement_lines(const std::string& name,
                                                       const std::vector<std::string>& lines);

// ---- fibre stress distribution

struct StationState {
  int upper = 0;  // fibres at or above the upper bound ("+")
  int lower = 0;  // fibres at or below the lower bound ("-")
  int plastic() const { return upper + lower; }
};

struct MemberStations {
  int ja = 0, jb = 0;
  int count = 0;  // stations read (kStations when complete)
  std::array<StationState, kStations> station{};
  std::array<std::string, kStations> text;  // the section lines as printed
};

struct StressStep {
  int step = 0;
  long line = 0;
  std::vector<MemberStations> members;
};

std::vector<StressStep> read_member_stresses(const std::filesystem::path& p);

// The total strains of fibres 1 and 20 (per cent) that a section line of the
// stress table ends its two halves with; NaN where the field is not a number
// (asterisks: too wide for it) or the line is cut short.
std::array<double, 2> outer_strains(const std::string& section_line);
std::vector<StressStep> parse_stress_lines(const std::string& name,
                                           const std::vector<std::string>& lines);

// The block of a step, or nullptr. When a step appears twice the later
// block counts.
const DisplacementStep* find_step(const std::vector<DisplacementStep>& v, int step);
const StressStep* find_step(const std::vector<StressStep>& v, int step);

}  // namespace nlf::results
