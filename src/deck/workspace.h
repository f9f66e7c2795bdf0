// The workspace rules of a run's start, kept once for the program and the
// deck check: whether the model fits the integer and real workspaces,
// whether the restart units clash with the program's own, where the fibre
// state goes (KLAST), and whether the band storage holds the final band
// width. Each rule only decides; its caller reports what it decides in its
// own way (the run on the listing, the console and standard error, the
// check as a finding).
#pragma once

#include <string>
#include <vector>

#include "deck/control.h"
#include "store/layout.h"
#include "store/model.h"

namespace nlf {

// A workspace the model needs `need` places of, which holds `have`.
struct WorkspaceNeed {
  const char* store;  // "integer" or "real"
  long long need;
  int have;
  bool fits() const { return need <= have; }
  // "the model needs N places of the integer workspace, which holds M"
  std::string text() const;
};
WorkspaceNeed integer_workspace(const Layout& L, const Capacity& cap = {});
WorkspaceNeed real_workspace(const Layout& L, const Capacity& cap = {});

// The capacity of a run that asks for stores that follow the model: the
// workspaces as its layout needs them, the member-state store for every
// member within the fibre budget (at least one member). Fixed capacities
// are returned as they are.
Capacity capacity_for(const Capacity& asked, const Sizes& sz);

// A restart unit of the control card that the program uses itself.
struct UnitClash {
  bool input;  // the restart input unit (IRESIN), else the output (IRESOUT)
  int unit;
  // "restart input unit N is a unit the program uses itself"
  std::string text() const;
};
// The clashes, input first; nhist as for restart_unit_in_use.
std::vector<UnitClash> restart_unit_clashes(const RunControl& ctl, int nhist);

// Where the fibre state goes: in the member-state store when KLAST =
// 1600 MUMM is below its size and no scratch files are asked for, else in
// scratch files one member at a time. `fits` is false when the store cannot
// hold even the members it is to hold.
struct MemberStatePlan {
  long long KLAST = 0;
  bool in_memory = true;
  int members_held = 1;  // NMS
  bool fits = true;
};
MemberStatePlan member_state_plan(const Sizes& sz, bool force_scratch = false, long long nsymax = NSYMAX);

// The band width that assembly needs with the final equation numbers
// (model/numbering.h), and whether the band storage sized by the counting
// pass holds the NEQ rows of that width.
struct BandStorage {
  int width = 0;
  bool fits = true;
};
BandStorage band_storage(const Model& md);

}  // namespace nlf
