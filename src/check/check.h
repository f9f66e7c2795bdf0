// nlframe-check: reads a deck with the program's own readers (control card,
// counting pass, structure input, load history) without running the
// analysis, reports every error and warning it meets, and sums up the model
// of a deck without errors.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/deck_error.h"
#include "store/sizes.h"

namespace nlf {

// One section as the summary shows it.
struct SectionFacts {
  int number = 0;
  double area = 0;     // cm2
  double inertia = 0;  // second moment about the fibre centroid, cm4
  double plastic = 0;  // plastic modulus, cm3
  double yield = 0;    // t/cm2
  double mp = 0;       // full plastic moment, t-cm
  int members = 0;     // members that use it
  // Residual stresses (an S card): the pattern X1..X4 and the sums over the
  // fibres of A*sig0 (t) and A*sig0*z about the centroid (t-cm).
  bool residual = false;
  std::array<double, 4> residual_X{};
  double residual_force = 0, residual_moment = 0;
};

// The model of the deck, as far as the check read it.
struct DeckFacts {
  std::string title;
  bool restart = false;  // the sizes and the model start from a restart file
  int joints = 0, members = 0, springs = 0, watches = 0;
  int equations = 0, band = 0;
  double E = 0, E2 = 0, E3 = 0;
  double strain_limit = 0;  // 0: none
  std::vector<SectionFacts> sections;
  int groups = 0;
  long steps = 0;
  int arc_groups = 0;  // groups under arc-length control
  int loaded_members = 0;  // members that a U card of some pattern loads
  int buckling = 0;        // V cards (buckling analyses)
  bool in_memory = true;
  long long klast = 0;  // member-state store the model would need
  // The stores the model needs (as --capacity auto sizes them, every
  // member's fibre state in memory), whether the fixed stores hold it, and
  // the member-state store the deck was checked with.
  long long need_integer = 0, need_real = 0, need_joints = 0;
  bool fixed_holds = true;
  bool follows = false;  // checked with stores that follow the model
  long long nsymax = NSYMAX;
};

struct CheckResult {
  // 0: no errors; else the status the program would stop with on the first
  // error (1 a deck error, 2 a file it cannot read).
  int status = 0;
  int errors = 0, warnings = 0;
  std::vector<DeckFinding> findings;  // in deck-line order
  DeckFacts facts;
};

// Checks the deck at `path`. Writes no file: the listing, the console and
// the response-curve headers go to the null device; scratch files are
// temporary. A restart deck reads its restart file from the current folder,
// as the program does. `capacity` is that of the run to come: the fixed
// stores (a model beyond them is an error, as in the run), or stores that
// follow the model (up to 999 joints). Either way the facts say what the
// model needs and whether the fixed stores hold it.
CheckResult check_deck(const std::string& path, const Capacity& capacity = {});

// "auto" or a fibre budget in MiB, as the program's --capacity reads it.
// Throws std::invalid_argument with the program's message.
Capacity check_capacity_option(const std::string& value);

// The summary of a deck without errors, a few lines.
std::vector<std::string> summary_lines(const std::string& path, const CheckResult& r);

// The program: nlframe-check [--help] [--capacity auto|MIB] DECK. Returns the exit status.
int check_main(int argc, char** argv);

}  // namespace nlf
