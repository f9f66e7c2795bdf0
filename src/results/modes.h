// The buckling modes of a run (modes.rst, written at every V card): per
// analysis its critical factors and every mode's shape at the joints and
// at the inner points of the members.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "results/text.h"

namespace nlf::results {

struct ModeShape {
  int mode = 0;
  double factor = 0;
  std::vector<int> joint_numbers;                 // in J-card order
  std::vector<std::array<double, 3>> joints;      // X, Y, R of each joint
  std::vector<std::array<double, 12>> inner;      // per member: X, Y, R of points 2..5
};

struct BucklingAnalysis {
  int analysis = 0;
  int step = 0;           // steps done before the V card
  std::string stiffness;  // "ELASTIC" or "TANGENT"
  std::vector<ModeShape> modes;
};

// Every analysis of the file, in file order. Throws ResultError for a line
// that is not of the file's layout or a block whose counts do not add up.
std::vector<BucklingAnalysis> read_modes(const std::filesystem::path& p);
std::vector<BucklingAnalysis> parse_modes(const std::string& name, const std::vector<std::string>& lines);

}  // namespace nlf::results
