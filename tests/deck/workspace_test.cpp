// The start-up rules that the program and the deck check share.
#include "deck/workspace.h"

#include <gtest/gtest.h>

namespace nlf {
namespace {

TEST(Workspace, FibreStateGoesToScratchFilesFrom125Members) {
  Sizes sz;
  sz.MUMM = 124;
  const MemberStatePlan in = member_state_plan(sz);
  EXPECT_TRUE(in.in_memory && in.fits);
  EXPECT_EQ(in.KLAST, 198400);
  EXPECT_EQ(in.members_held, 124);
  sz.MUMM = 125;
  const MemberStatePlan out = member_state_plan(sz);
  EXPECT_FALSE(out.in_memory);
  EXPECT_EQ(out.members_held, 1);
  sz.MUMM = 3;
  EXPECT_FALSE(member_state_plan(sz, true).in_memory);
  sz.MUMM = 0;
  EXPECT_EQ(member_state_plan(sz).members_held, 1);
}

TEST(Workspace, RestartUnitClashesInputFirstAndCapacityAtTheLimit) {
  RunControl ctl;
  ctl.IRESIN = 16, ctl.IRESOUT = 61;
  auto c = restart_unit_clashes(ctl, 1);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_TRUE(c[0].input);
  EXPECT_EQ(c[0].text(), "restart input unit 16 is a unit the program uses itself");
  EXPECT_EQ(c[1].unit, 61);
  EXPECT_TRUE(restart_unit_clashes(ctl, 0).size() == 1);  // no history file: 61 is free
  ctl.IRESIN = 0, ctl.IRESOUT = 0;
  EXPECT_TRUE(restart_unit_clashes(ctl, -1).empty());

  Layout L{};
  L.ilast = IMAX, L.rlast = NMAX + 1;
  EXPECT_TRUE(integer_workspace(L).fits());
  EXPECT_FALSE(real_workspace(L).fits());
  EXPECT_EQ(real_workspace(L).text(), "the model needs 600001 places of the real workspace, which holds 600000");
}

}  // namespace
}  // namespace nlf
