// The frame as the deck of a run describes it: joints, members with their six node
// points, and the joints whose displacements the load history prescribes.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "results/text.h"

namespace nlf::results {

// Directions a B card prescribes at a joint.
enum Fixity : unsigned { kFixX = 1, kFixY = 2, kFixR = 4 };

struct Joint {
  int number = 0;  // user number (I1 of the J card)
  double x = 0, y = 0;
  unsigned fixity = 0;  // kFix* bits from the B cards of the load history
  unsigned held = 0;    // of those, the directions some B card holds at zero: a support
  unsigned pushed = 0;  // and those some B card moves by a nonzero displacement
  bool loaded = false;   // some B card puts a force or moment on it
  bool watched = false;  // a W card names it
};

struct Member {
  int a = 0, b = 0;  // joint indices into Frame::joints, end I and end J
  std::array<double, 6> x{}, y{};  // node points, end I to end J
  int section = 0;  // section number (I3 of the M card, without its sign)
  // Its member load (U cards) in the last pattern of the load history that
  // gives member loads: global X and Y, along and across the member (t/cm).
  double qx = 0, qy = 0, along = 0, across = 0;
  bool loaded() const { return qx != 0 || qy != 0 || along != 0 || across != 0; }
};

struct Frame {
  std::string title;  // from the control card, without trailing blanks
  int restart_in = 0;   // restart-input unit of the control card
  int restart_out = 0;  // restart-output unit
  std::vector<Joint> joints;  // in J-card order
  std::vector<Member> members;  // in M-card order
  int watch_cards = 0;  // W cards: one response-curve file each
  // A B card of the load history pushes a joint sideways: a force or a
  // nonzero displacement in X.
  bool lateral = false;
  // Names of sections, from a comment card "$ section 3: HEB240" just
  // before the section card of that number.
  std::map<int, std::string> section_names;
  // What the model carries, from comment cards "$ imperfections: ..." and
  // "$ residual stresses: ...", each continued on the cards "$   ..." right
  // after it; one text per heading, the cards joined by blanks.
  std::map<std::string, std::string> model_notes;
  // The groups whose B and U cards each hold 1/steps of the group's total
  // load, from the note "$ load groups: group 2 adds its total load in 5
  // steps ...": group (from 1, in the order of the A and E cards) -> steps.
  std::map<int, int> total_groups;
  std::vector<std::string> warnings;
};

// Reads the deck. Throws ResultError for a missing deck, a malformed number on
// a J, M or B card, or a member naming a joint that no earlier J card defines.
Frame read_frame(const std::filesystem::path& deck);
Frame parse_frame(const std::string& name, const std::vector<std::string>& lines);

// The units of the run's response-curve files, 61 upwards: one per W card
// or, for a continued run (which takes its W cards from the restart file),
// the fort.61, fort.62, ... that are in `run_dir`, leaving out the restart
// units.
constexpr int kFirstCurveUnit = 61;
std::vector<int> curve_units(const Frame& frame, const std::filesystem::path& run_dir);

// Node point t (0..1 along the member) of a member from end A to end B with
// bow ratio `bow`: the chord point moved sideways by sin(pi t) * bow * L.
std::array<double, 2> node_point(double xa, double ya, double xb, double yb, double t, double bow);

}  // namespace nlf::results
