// The results of one output step, built once from the model and the fibre
// state, whatever the number of sinks that write them (result_sink.h). The
// values are those the result files print, computed as they print them;
// the fibre tables keep every fibre of every station.
#pragma once

#include <cstdint>
#include <vector>

#include "store/sizes.h"

namespace nlf {

struct Model;
class FibreStore;

// What a step's tables hold, as bits: a sink asks for the parts it writes.
enum StepPart : unsigned {
  kJointParts = 1u << 0,   // joint forces and displacements
  kCurveParts = 1u << 1,   // one line per response curve
  kMemberParts = 1u << 2,  // member end forces and end strains
  kNodeParts = 1u << 3,    // node-point displacements (detail steps)
  kFibreParts = 1u << 4,   // stress and strain of every fibre
  kAllParts = 0x1fu,
};

struct StepTables {
  static constexpr int kJointColumns = 9;   // three groups of X, Y, M (or U, V, T)
  static constexpr int kMemberColumns = 10; // NI, strain I, NJ, strain J, QI, QJ, MI, E1-E2 I, MJ, E1-E2 J
  static constexpr int kNodeColumns = 9;    // iteration, step and total U, V, T of a node point
  static constexpr int kCurveColumns = 7;

  // Allocated once, for the largest model of the sizes.
  explicit StepTables(const Sizes& sz);

  int step = 0;
  int detail = 0;       // 1: a detail step (node-point displacements)
  unsigned parts = 0;   // what was built for this step
  int NJ = 0, NM = 0, NW = 0;

  std::vector<int> joint;          // user number of every joint (NJ)
  std::vector<int> ends;           // user numbers of the end joints (NM x 2)
  // Joint loads (NJ x 9): AC (applied load column, unbalanced), EX (total
  // applied), IN (internal) loads; t and t-cm.
  std::vector<double> joint_forces;
  // Joint displacements (NJ x 9): iteration, step and total U, V (mm) and
  // rotation (1/100 rad).
  std::vector<double> joint_disp;
  std::vector<double> curve_codes; // the watch codes J.KD of every curve (NW x 7)
  std::vector<int> curve_count;    // values on every curve's line (NW)
  std::vector<double> curves;      // NW x 7
  std::vector<double> member_forces;  // NM x 10, forces t and t-cm, strains %
  std::vector<double> nodes;       // NM x NPT x 9, as the joint displacements
  // The fibres (NM x NSTA x NFIB, station-major within a member): stress
  // (t/cm2), strain, and the state: +1 at the upper bound of the elastic
  // range, -1 at the lower one, 0 inside.
  std::vector<double> stress;
  std::vector<double> strain;
  std::vector<std::int8_t> state;

  // Builds `want` (StepPart bits; node points only on a detail step).
  void build(const Model& md, FibreStore& fs, int step, int detail, unsigned want);

  static int fibre(int m, int k, int f) { return ((m - 1) * NSTA + (k - 1)) * NFIB + (f - 1); }
};

}  // namespace nlf
