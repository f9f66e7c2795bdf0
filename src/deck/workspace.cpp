#include "deck/workspace.h"

#include <algorithm>

#include "model/numbering.h"

namespace nlf {

std::string WorkspaceNeed::text() const {
  return "the model needs " + std::to_string(need) + " places of the " + store +
         " workspace, which holds " + std::to_string(have);
}

WorkspaceNeed integer_workspace(const Layout& L, const Capacity& cap) { return {"integer", L.ilast, cap.imax}; }
WorkspaceNeed real_workspace(const Layout& L, const Capacity& cap) { return {"real", L.rlast, cap.nmax}; }

Capacity capacity_for(const Capacity& asked, const Sizes& sz) {
  Capacity c = asked;
  if (!c.follows) return c;
  const Layout L = compute_layout(sz);
  c.imax = static_cast<int>(std::max(L.ilast, 1LL));
  c.nmax = static_cast<int>(std::max(L.rlast, 1LL));
  // Every member in memory (KLAST = 8 NFM MUMM below the store), within the
  // budget; at least one member, which scratch files then stream through.
  const long long all = 8LL * NFM * std::max(sz.MUMM, 1) + 1;
  const long long one = 8LL * NFM + 1;
  const long long budget = c.fibre_budget / static_cast<long long>(sizeof(double));
  c.nsymax = static_cast<int>(std::max(std::min(all, budget), one));
  return c;
}

std::string UnitClash::text() const {
  return std::string("restart ") + (input ? "input" : "output") + " unit " + std::to_string(unit) +
         " is a unit the program uses itself";
}

std::vector<UnitClash> restart_unit_clashes(const RunControl& ctl, int nhist) {
  std::vector<UnitClash> out;
  if (ctl.IRESIN != 0 && restart_unit_in_use(ctl.IRESIN, nhist)) out.push_back({true, ctl.IRESIN});
  if (ctl.IRESOUT >= 1 && restart_unit_in_use(ctl.IRESOUT, nhist)) out.push_back({false, ctl.IRESOUT});
  return out;
}

MemberStatePlan member_state_plan(const Sizes& sz, bool force_scratch, long long nsymax) {
  MemberStatePlan p;
  p.KLAST = 1600LL * sz.MUMM;
  p.in_memory = p.KLAST < nsymax && !force_scratch;
  p.members_held = p.in_memory ? std::max(sz.MUMM, 1) : 1;
  const long long NFS = 20LL * 10 * p.members_held;
  p.fits = nsymax >= 8 * NFS + 1;
  return p;
}

BandStorage band_storage(const Model& md) {
  BandStorage b;
  b.width = final_band_width(md);
  b.fits = static_cast<long long>(md.NEQ) * b.width <=
           static_cast<long long>(md.sz.NEQX()) * md.sz.MBAND;
  return b;
}

}  // namespace nlf
