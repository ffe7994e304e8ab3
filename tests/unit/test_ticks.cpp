// The main window's timers through their one owner: the box that pauses
// them, and the housekeeping timer that runs whatever the run state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kesto.h"
#include "app/mainwin.h"
#include "app/startup.h"
#include "app/ticks.h"
#include "os/fake/fakeos.h"
#include "res/resource.h"
#include "support.h"

namespace {

int gswept;
void sweep() { gswept++; }
void sweeptoo() { gswept += 10; }

class Ticks : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    kestoreset();
    gswept = 0;
    dir = maketempdir();
    gfake.cwd = dir;
    writefile(dir + "/golf.txt", "** Stroke Begin **\r\n");
    ASSERT_TRUE(setpaths(dir.c_str()));
    ASSERT_NE(oscreatemaindialog(&kestohandlers), 0u);
  }
  void TearDown() override {
    removehousekeeper(sweep);
    removehousekeeper(sweeptoo);
    removetree(dir);
  }
  size_t running() const { return gfake.timers.size(); }
};

// A box stops both timers while it is up; they start again only if they
// ran, and with the interval row in force then.  With the keys kept, only
// timer 1 pauses.
TEST_F(Ticks, ABoxPausesTheTimersThatRanAndOnlyThose) {
  gkesto.mw.run = Running;
  starttimers();
  ASSERT_NE(fakefindtimer(gkesto.mw.main, TICK_WORK), nullptr);
  ASSERT_NE(fakefindtimer(gkesto.mw.main, TICK_KEYS), nullptr);
  gkesto.set.interval = 3;
  tickbox("text", "caption", OS_MB_ICONERROR);
  ASSERT_EQ(gfake.boxes.size(), 1u);
  EXPECT_EQ(gfake.boxes[0].timers, 0u);
  EXPECT_EQ(gkesto.mw.timerson, 1);
  ASSERT_NE(fakefindtimer(gkesto.mw.main, TICK_WORK), nullptr);
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, TICK_WORK)->ms, 297u);
  EXPECT_NE(fakefindtimer(gkesto.mw.main, TICK_KEYS), nullptr);

  tickbox("keys", "caption", OS_MB_ICONERROR, TICKBOX_KEEPKEYS);
  EXPECT_EQ(gfake.boxes.back().timers, 1u);
  EXPECT_NE(fakefindtimer(gkesto.mw.main, TICK_WORK), nullptr);

  // Stopped before the box: still stopped after it.
  stoptimers();
  tickbox("again", "caption", OS_MB_ICONERROR);
  EXPECT_EQ(running(), 0u);
  EXPECT_EQ(gkesto.mw.timerson, 0);
  tickbox("keys again", "caption", OS_MB_ICONERROR, TICKBOX_KEEPKEYS);
  EXPECT_EQ(running(), 0u);
}

// Housekeeping runs before スタート, after 停止 and while the work timers
// are paused; the timer goes when the last housekeeper does, and never
// touches timers 1 and 2.
TEST_F(Ticks, HousekeepingRunsWhateverTheRunState) {
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING), nullptr);
  ASSERT_EQ(addhousekeeper(sweep), 1);
  ASSERT_EQ(addhousekeeper(sweep), 1);  // once only
  ASSERT_NE(fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING), nullptr);
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING)->ms, (uint32_t)HOUSEKEEPING_MS);
  mainwintimer(TICK_HOUSEKEEPING);
  EXPECT_EQ(gswept, 1);
  EXPECT_EQ(gkesto.mw.run, NeverStarted);

  gkesto.mw.run = Running;
  starttimers();
  stoptimers();
  EXPECT_NE(fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING), nullptr);
  ASSERT_EQ(addhousekeeper(sweeptoo), 1);
  mainwintimer(TICK_HOUSEKEEPING);
  EXPECT_EQ(gswept, 12);
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, TICK_WORK), nullptr);

  removehousekeeper(sweep);
  EXPECT_NE(fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING), nullptr);
  mainwintimer(TICK_HOUSEKEEPING);
  EXPECT_EQ(gswept, 22);
  removehousekeeper(sweeptoo);
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING), nullptr);

  // The table is bounded: a fifth housekeeper is refused, the first four run.
  void (*fns[])() = {sweep, sweeptoo, +[] { gswept += 100; }, +[] { gswept += 1000; }};
  for (auto fn : fns) ASSERT_EQ(addhousekeeper(fn), 1);
  EXPECT_EQ(addhousekeeper(+[] { gswept = -1; }), 0);
  gswept = 0;
  housekeepingtick();
  EXPECT_EQ(gswept, 1111);
  for (auto fn : fns) removehousekeeper(fn);
  EXPECT_EQ(fakefindtimer(gkesto.mw.main, TICK_HOUSEKEEPING), nullptr);
}

}  // namespace
