// The main window's timers: the one place that sets or kills them.
#include "app/ticks.h"

#include "kesto.h"

static void (*ghousekeepers[HOUSEKEEPERS])();

const IntervalRow& periodrow() {
  int32_t i = gkesto.set.interval;
  if (i < 0 || i >= INTERVALROWS) i = 0;
  return kintervals[i];
}

void starttimers() {
  MainWindowState& mw = gkesto.mw;
  mw.pace = periodrow();
  mw.period = (uint32_t)mw.pace.period;
  if (mw.run != Running && mw.run != Ending) return;
  ossettimer(mw.main, TICK_WORK, mw.period);
  mw.timerson = 1;
  if (mw.run == Running) ossettimer(mw.main, TICK_KEYS, 30);
}

void stoptimers() {
  oskilltimer(gkesto.mw.main, TICK_WORK);
  oskilltimer(gkesto.mw.main, TICK_KEYS);
  gkesto.mw.timerson = 0;
}

int tickbox(const char* text, const char* caption, uint32_t type, int how) {
  MainWindowState& mw = gkesto.mw;
  int ran = mw.timerson;
  if (how == TICKBOX_KEEPKEYS) {
    oskilltimer(mw.main, TICK_WORK);
    int answer = osmessagebox(mw.main, text, caption, type);
    if (ran) ossettimer(mw.main, TICK_WORK, mw.period);
    return answer;
  }
  stoptimers();
  int answer = osmessagebox(mw.main, text, caption, type);
  if (ran) starttimers();
  return answer;
}

static int housekeepers() {
  int n = 0;
  for (auto fn : ghousekeepers) n += fn != nullptr;
  return n;
}

int addhousekeeper(void (*fn)()) {
  for (auto& slot : ghousekeepers)
    if (slot == fn) return 1;
  for (auto& slot : ghousekeepers) {
    if (!slot) {
      slot = fn;
      if (housekeepers() == 1 && gkesto.mw.main) ossettimer(gkesto.mw.main, TICK_HOUSEKEEPING, HOUSEKEEPING_MS);
      return 1;
    }
  }
  return 0;
}

void removehousekeeper(void (*fn)()) {
  for (auto& slot : ghousekeepers)
    if (slot == fn) slot = nullptr;
  if (housekeepers() == 0 && gkesto.mw.main) oskilltimer(gkesto.mw.main, TICK_HOUSEKEEPING);
}

void housekeepingstart() {
  if (housekeepers() > 0 && gkesto.mw.main) ossettimer(gkesto.mw.main, TICK_HOUSEKEEPING, HOUSEKEEPING_MS);
}

void housekeepingtick() {
  for (auto fn : ghousekeepers)
    if (fn) fn();
}
