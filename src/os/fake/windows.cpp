// The fake desktop's windows: top-level windows in z-order, dialog items
// and the messages sent to them, timers, message boxes, the open-file
// dialog and the system menu.
#include "os/fake/fakeos.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os/fake/fakeshared.h"

FakeWindow* findwin(OsWin w) {
  if (gfake.winhint < gfake.windows.size() && gfake.windows[gfake.winhint].id == w)
    return gfake.windows[gfake.winhint].alive ? &gfake.windows[gfake.winhint] : nullptr;
  for (size_t i = 0; i < gfake.windows.size(); i++)
    if (gfake.windows[i].id == w && gfake.windows[i].alive) {
      gfake.winhint = i;
      return &gfake.windows[i];
    }
  return nullptr;
}

// A window call: the test's hook, then the scripted vanishing of a window.
void windowcall(const char* call) {
  if (gfake.oncall) gfake.oncall(call);
  if (gfake.vanishwin && gfake.vanishafter > 0 && (gfake.vanishon.empty() || gfake.vanishon == call) &&
      --gfake.vanishafter == 0) {
    OsWin w = gfake.vanishwin;
    gfake.vanishwin = 0;
    fakeclosewindow(w);
  }
}

OsWin fakeaddwindow(const char* cls, const char* title, int l, int t, int r, int b) {
  if (gfake.nextid == 0) gfake.nextid = 0x100;
  FakeWindow w{gfake.nextid++, cls, title, {l, t, r, b}, 0, true};
  gfake.windows.insert(gfake.windows.begin(), w);
  gfake.foreground = w.id;
  return w.id;
}

void fakeclosewindow(OsWin w) {
  FakeWindow* x = findwin(w);
  if (x) x->alive = false;
  if (gfake.foreground == w) gfake.foreground = 0;
}

FakeWindow* fakewindow(OsWin w) { return findwin(w); }

OsWin fakefinddialog(int templ) {
  for (auto& x : gfake.windows)
    if (x.alive && x.templ == templ) return x.id;
  return 0;
}

// ---- windows ----------------------------------------------------------------

int ossetwindowtext(OsWin w, const char* text) {
  windowcall("ossetwindowtext");
  FakeWindow* x = findwin(w);
  if (!x) return 0;
  x->title = text;
  return 1;
}

int osgetwindowtext(OsWin w, char* buf, int n) {
  windowcall("osgetwindowtext");
  if (n <= 0) return 0;
  gfake.lastgettextsize = n;
  FakeWindow* x = findwin(w);
  if (!x) {
    buf[0] = 0;
    return 0;
  }
  int len = (int)x->title.size();
  if (len > n - 1) len = n - 1;
  memcpy(buf, x->title.data(), (size_t)len);
  buf[len] = 0;
  return len;
}

OsWin osfindwindow(const char* cls, const char* title) {
  windowcall("osfindwindow");
  for (auto& x : gfake.windows)
    if (x.alive && (!cls || x.cls == cls) && (!title || x.title == title)) return x.id;
  return 0;
}

int ossetforegroundwindow(OsWin w) {
  windowcall("ossetforegroundwindow");
  if (!findwin(w)) return 0;
  gfake.foreground = w;
  if (gfake.onforeground) gfake.onforeground(w);
  return 1;
}

OsWin osgetforegroundwindow() {
  windowcall("osgetforegroundwindow");
  return gfake.foreground;
}

OsWin osgetwindow(OsWin w, uint32_t cmd) {
  windowcall("osgetwindow");
  if (cmd != OS_GW_HWNDNEXT) return 0;
  if (!findwin(w)) return 0;
  for (size_t i = gfake.winhint + 1; i < gfake.windows.size(); i++) {
    gfake.winhint = i;
    gfake.getwindowcalls++;
    if (gfake.windows[i].alive) return gfake.windows[i].id;
  }
  return 0;
}

int osgetwindowrect(OsWin w, int32_t r[4]) {
  windowcall("osgetwindowrect");
  FakeWindow* x = findwin(w);
  if (!x) return 0;
  for (int i = 0; i < 4; i++) r[i] = x->rect[i];
  return 1;
}

int osdestroywindow(OsWin w) {
  windowcall("osdestroywindow");
  FakeWindow* x = findwin(w);
  if (!x) return 0;
  OsWin owner = x->owner;
  // Owned windows go first, as the system destroys them with their owner.
  for (size_t i = 0; i < gfake.windows.size(); i++)
    if (gfake.windows[i].alive && gfake.windows[i].owner == w && gfake.windows[i].id != w)
      osdestroywindow(gfake.windows[i].id);
  x = findwin(w);
  if (!x) return 1;
  if (gfake.ondestroy) gfake.ondestroy(w);
  x = findwin(w);
  if (!x) return 1;
  x->alive = false;
  for (size_t i = gfake.items.size(); i-- > 0;)
    if (gfake.items[i].dlg == w) gfake.items.erase(gfake.items.begin() + (long)i);
  if (gfake.capture == w) gfake.capture = 0;
  if (gfake.foreground == w) gfake.foreground = owner;
  return 1;
}

void osshowwindow(OsWin, int) {}

void osupdatewindow(OsWin) {}

// ---- dialog items and messages to windows -----------------------------------

FakeDesktop::Item* finditem(OsWin dlg, int id, bool make) {
  for (auto& it : gfake.items)
    if (it.dlg == dlg && it.id == id) return &it;
  if (!make) return nullptr;
  gfake.items.push_back(FakeDesktop::Item{dlg, id, std::string(), 0});
  return &gfake.items.back();
}

// A dialog item's handle from osgetdlgitem: the dialog and the id.
FakeDesktop::Item* itemof(OsWin ctl, bool make) {
  return finditem(ctl / 0x10000, (int)(ctl % 0x10000), make);
}

std::string fakeitemtext(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->text : std::string();
}

int ossetdlgitemtext(OsWin dlg, int id, const char* text) {
  finditem(dlg, id, true)->text = text;
  if (gfake.editchange) gfake.editchange(dlg, id);
  return 1;
}

int osgetdlgitemtext(OsWin dlg, int id, char* buf, int n) {
  if (n <= 0) return 0;
  std::string t = fakeitemtext(dlg, id);
  int len = (int)t.size();
  if (len > n - 1) len = n - 1;
  memcpy(buf, t.data(), (size_t)len);
  buf[len] = 0;
  return len;
}

int ossetdlgitemint(OsWin dlg, int id, int value, int issigned) {
  char b[16];
  if (issigned) snprintf(b, sizeof b, "%d", value);
  else snprintf(b, sizeof b, "%u", (unsigned)value);
  return ossetdlgitemtext(dlg, id, b);
}

int osgetdlgitemint(OsWin dlg, int id, int* ok, int issigned) {
  std::string t = fakeitemtext(dlg, id);
  char* end = nullptr;
  long v = strtol(t.c_str(), &end, 10);
  bool good = !t.empty() && end && *end == 0 && (issigned || v >= 0);
  if (ok) *ok = good;
  return good ? (int)v : 0;
}

int oscheckdlgbutton(OsWin dlg, int id, int check) {
  finditem(dlg, id, true)->check = check;
  return 1;
}

int osisdlgbuttonchecked(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->check : 0;
}

OsWin osgetdlgitem(OsWin dlg, int id) { return dlg * 0x10000 + (OsWin)(id & 0xFFFF); }

intptr_t ossendmessage(OsWin w, uint32_t msg, uintptr_t wp, intptr_t lp) {
  switch (msg) {
    case OS_PBM_SETRANGE:
      gfake.pbrangelo = (uint32_t)lp & 0xFFFF;
      gfake.pbrangehi = ((uint32_t)lp >> 16) & 0xFFFF;
      break;
    case OS_PBM_SETPOS: gfake.pbpos = (uint32_t)wp; break;
    case OS_PBM_SETBARCOLOR: gfake.pbcolor = (uint32_t)lp; break;
    case OS_CB_RESETCONTENT:
    case OS_LB_RESETCONTENT: {
      FakeDesktop::Item* it = itemof(w, true);
      it->list.clear();
      it->sel = -1;
      return 0;
    }
    case OS_CB_SETCURSEL:
    case OS_LB_SETCURSEL: {
      FakeDesktop::Item* it = itemof(w, true);
      if (wp < it->list.size()) {
        it->sel = (int)wp;
        return (intptr_t)wp;
      }
      it->sel = -1;
      return -1;
    }
    case OS_CB_GETCURSEL:
    case OS_LB_GETCURSEL: {
      FakeDesktop::Item* it = itemof(w, false);
      return it ? it->sel : -1;
    }
    case OS_WM_COMMAND:
      if (gfake.oncommand) gfake.oncommand(w, (int)(wp & 0xFFFF), (int)((wp >> 16) & 0xFFFF), lp);
      break;
    default: break;
  }
  return 0;
}

int osnovisualstyle(OsWin ctl) {
  gfake.unstyled.push_back(ctl);
  return 1;
}

void ospostcommand(OsWin w, int id) { gfake.posted.push_back({w, id}); }

// ---- timers -----------------------------------------------------------------

const FakeTimer* fakefindtimer(OsWin win, int id) {
  for (auto& t : gfake.timers)
    if (t.win == win && t.id == id) return &t;
  return nullptr;
}

int ossettimer(OsWin w, int id, uint32_t ms) {
  for (auto& t : gfake.timers)
    if (t.win == w && t.id == id) {
      t.ms = ms;
      return id;
    }
  gfake.timers.push_back(FakeTimer{w, id, ms});
  return id;
}

int oskilltimer(OsWin w, int id) {
  for (size_t i = 0; i < gfake.timers.size(); i++)
    if (gfake.timers[i].win == w && gfake.timers[i].id == id) {
      gfake.timers.erase(gfake.timers.begin() + (long)i);
      return 1;
    }
  return 0;
}

// ---- message boxes ----------------------------------------------------------

int osmessagebox(OsWin owner, const char* text, const char* caption, uint32_t type) {
  if (gfake.oncall) gfake.oncall("osmessagebox");
  int answer = OS_IDOK;
  if (!gfake.onanswer && !gfake.answers.empty()) {
    answer = gfake.answers.front();
    gfake.answers.erase(gfake.answers.begin());
  }
  gfake.boxes.push_back(FakeMessageBox{owner, text ? text : "", caption ? caption : "", type, answer,
                                       gfake.timers.size(), gfake.clipboardopen});
  size_t at = gfake.boxes.size() - 1;  // a callback may show boxes of its own
  if (gfake.onbox) gfake.onbox(FakeMessageBox(gfake.boxes[at]));
  if (gfake.onanswer) answer = gfake.boxes[at].answer = gfake.onanswer(FakeMessageBox(gfake.boxes[at]));
  return answer;
}

// ---- the open-file dialog ---------------------------------------------------

int osgetopenfilename(OsWin owner, const char* filter, const char* initialdir, const char* title,
                      uint32_t flags, char* path, uint32_t n) {
  std::string f;
  for (const char* p = filter; p && *p; p += strlen(p) + 1) f.append(p, strlen(p) + 1);
  gfake.opencalls.push_back(FakeOpenCall{owner, f, initialdir ? initialdir : "", title ? title : "", flags,
                                         std::string(path, strnlen(path, n))});
  gfake.dlgerror = 0;
  if (gfake.openanswers.empty()) return 0;
  FakeOpenAnswer a = gfake.openanswers.front();
  gfake.openanswers.erase(gfake.openanswers.begin());
  if (!a.chosen) {
    gfake.dlgerror = a.error;
    return 0;
  }
  if (a.path.size() + 1 > n) {
    gfake.dlgerror = OS_FNERR_BUFFERTOOSMALL;
    return 0;
  }
  memcpy(path, a.path.c_str(), a.path.size() + 1);
  return 1;
}

uint32_t oscommdlgextendederror() { return gfake.dlgerror; }

// ---- the system menu --------------------------------------------------------

// A system menu is its window's id with the top bit set.
#define SYSMENUBIT ((OsHandle)1 << (sizeof(OsHandle) * 8 - 1))

OsHandle osgetsystemmenu(OsWin w) {
  if (gfake.sysmenufails || !findwin(w)) return 0;
  return (OsHandle)w | SYSMENUBIT;
}

int osappendmenu(OsHandle menu, uint32_t flags, uint32_t id, const char* text) {
  if (!(menu & SYSMENUBIT)) return 0;
  gfake.sysmenu.push_back(FakeMenuEntry{(OsWin)(menu & ~SYSMENUBIT), flags, id, text ? text : ""});
  return 1;
}

int oscheckmenuitem(OsHandle menu, uint32_t id, int checked) {
  if (!(menu & SYSMENUBIT)) return 0;
  for (FakeMenuEntry& e : gfake.sysmenu)
    if (e.win == (OsWin)(menu & ~SYSMENUBIT) && e.id == id) {
      e.flags = checked ? e.flags | OS_MF_CHECKED : e.flags & ~OS_MF_CHECKED;
      return 1;
    }
  return 0;
}

int osmodifymenu(OsHandle menu, uint32_t id, uint32_t flags, const char* text) {
  if (!(menu & SYSMENUBIT)) return 0;
  for (FakeMenuEntry& e : gfake.sysmenu)
    if (e.win == (OsWin)(menu & ~SYSMENUBIT) && e.id == id) {
      e.flags = flags;
      e.text = text ? text : "";
      return 1;
    }
  return 0;
}
