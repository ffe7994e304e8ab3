// What the fake desktop's files share among themselves; tests use fakeos.h.
#pragma once

#include <cstdint>

#include "os/fake/fakeos.h"

// Takes one call from a fault count: 1 when this call fails.
int takefault(long& count);
// Sets the last error and returns 0, the failing call's answer.
int failwith(uint32_t error);
// The live window w, null when there is none (or it is gone).
FakeWindow* findwin(OsWin w);
// A window call: the test's hook, then the scripted vanishing of a window.
void windowcall(const char* call);
// The item id of dialog dlg; made (empty) when make is set and there is none.
FakeDesktop::Item* finditem(OsWin dlg, int id, bool make);
// A dialog item's handle from osgetdlgitem: the dialog and the id.
FakeDesktop::Item* itemof(OsWin ctl, bool make);
