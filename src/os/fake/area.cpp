// The fake desktop's side of the capture area dialog and the area frame:
// their controls, moving and sizing, the mouse, the see-through window,
// the popup menu and painting.
#include "os/fake/fakeos.h"

#include <cstring>

#include "os/fake/fakeshared.h"

// ---- controls ---------------------------------------------------------------

intptr_t osaddstring(OsWin ctl, uint32_t msg, const char* text) {
  if (msg != OS_CB_ADDSTRING && msg != OS_LB_ADDSTRING) return -1;
  FakeDesktop::Item* it = itemof(ctl, true);
  it->list.push_back(text);
  return (intptr_t)it->list.size() - 1;
}

std::vector<std::string> fakelist(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->list : std::vector<std::string>();
}

int fakelistsel(OsWin dlg, int id) {
  FakeDesktop::Item* it = finditem(dlg, id, false);
  return it ? it->sel : -1;
}

void fakesetlistsel(OsWin dlg, int id, int sel) { finditem(dlg, id, true)->sel = sel; }

OsWin oscreateupdowncontrol(uint32_t style, OsWin parent, int id, OsWin buddy, int upper, int lower, int pos) {
  gfake.updowns.push_back(FakeUpDown{parent, id, buddy, style, upper, lower, pos});
  // The control keeps its position within its range and shows it in its buddy.
  int lo = lower < upper ? lower : upper, hi = lower < upper ? upper : lower;
  int shown = pos < lo ? lo : pos > hi ? hi : pos;
  if (style & OS_UDS_SETBUDDYINT) ossetdlgitemint(buddy / 0x10000, (int)(buddy % 0x10000), shown, 1);
  return parent * 0x10000 + (OsWin)(id & 0xFFFF);
}

// ---- windows and the mouse --------------------------------------------------

int osmovewindow(OsWin w, int32_t x, int32_t y, int32_t cx, int32_t cy, int) {
  windowcall("osmovewindow");
  FakeWindow* win = findwin(w);
  if (!win) return 0;
  bool moved = win->rect[0] != x || win->rect[1] != y;
  bool sized = win->rect[2] - win->rect[0] != cx || win->rect[3] - win->rect[1] != cy;
  win->rect[0] = x;
  win->rect[1] = y;
  win->rect[2] = x + cx;
  win->rect[3] = y + cy;
  if (moved && gfake.onmoved) gfake.onmoved(w, 0);
  if (sized && gfake.onmoved) gfake.onmoved(w, 1);
  return 1;
}

int osgetclientrect(OsWin w, int32_t r[4]) {
  windowcall("osgetclientrect");
  FakeWindow* win = findwin(w);
  if (!win) return 0;
  r[0] = r[1] = 0;
  r[2] = win->rect[2] - win->rect[0] - 2 * win->border;
  r[3] = win->rect[3] - win->rect[1] - 2 * win->border;
  return 1;
}

int osinvalidaterect(OsWin w, const int32_t* r, int) {
  if (!findwin(w)) return 0;
  gfake.invalidated.push_back({w, r ? std::vector<int32_t>(r, r + 4) : std::vector<int32_t>()});
  return 1;
}

OsWin ossetcapture(OsWin w) {
  OsWin before = gfake.capture;
  gfake.capture = w;
  return before;
}

int osreleasecapture() {
  gfake.capture = 0;
  return 1;
}

int osgetcursorpos(int32_t p[2]) {
  p[0] = gfake.cursor[0];
  p[1] = gfake.cursor[1];
  return 1;
}

int32_t osgetwindowlong(OsWin w, int index) {
  FakeWindow* win = findwin(w);
  return win && index == OS_GWL_EXSTYLE ? win->exstyle : 0;
}

int32_t ossetwindowlong(OsWin w, int index, int32_t value) {
  FakeWindow* win = findwin(w);
  if (!win || index != OS_GWL_EXSTYLE) return 0;
  int32_t before = win->exstyle;
  win->exstyle = value;
  return before;
}

int ossetlayeredwindowattributes(void* fn, OsWin w, uint32_t key, uint8_t, uint32_t flags) {
  if (!fn || gfake.layeredfails || !findwin(w)) return 0;
  gfake.layeredwin = w;
  gfake.layeredkey = key;
  gfake.layeredflags = flags;
  return 1;
}

int oscuttoband(OsWin w, int32_t band) {
  if (!findwin(w)) return 0;
  gfake.cuts.push_back({w, band});
  return 1;
}

int ostrackpopupmenu(OsWin owner, int32_t x, int32_t y, int n, const int* ids, const char* const* texts) {
  FakeMenu m{owner, x, y, {}, {}};
  for (int i = 0; i < n; i++) {
    m.ids.push_back(ids[i]);
    m.texts.push_back(texts[i]);
  }
  gfake.menus.push_back(m);
  // The chosen entry comes to the owner as a posted WM_COMMAND.
  if (gfake.menuanswer) gfake.posted.push_back({owner, gfake.menuanswer});
  gfake.menuanswer = 0;
  return 1;
}

int osgetwindowmodulename(OsWin w, char* buf, int n) {
  windowcall("osgetwindowmodulename");
  if (n <= 0) return 0;
  buf[0] = 0;
  FakeWindow* win = findwin(w);
  if (!win || win->procdenied) return 0;
  int len = (int)win->module.size();
  if (len > n - 1) len = n - 1;
  memcpy(buf, win->module.data(), (size_t)len);
  buf[len] = 0;
  return len;
}

// ---- painting ---------------------------------------------------------------

OsHandle osbeginpaint(OsWin w) {
  if (!findwin(w)) return 0;
  gfake.paints++;
  gfake.painting = w;
  return 0xDC000000u + (OsHandle)w;
}

void osendpaint(OsWin, OsHandle) { gfake.painting = 0; }

static FakeDraw& newdraw(char kind) {
  gfake.draws.push_back(FakeDraw{gfake.painting, kind, {0, 0, 0, 0}, 0, 0, std::string(), {0, 0, 0, 0}});
  return gfake.draws.back();
}

int osrectangle(OsHandle, const int32_t r[4], uint32_t fill, uint32_t outline) {
  FakeDraw& d = newdraw('r');
  memcpy(d.r, r, sizeof d.r);
  d.fill = fill;
  d.colour = outline;
  return gfake.rectfails ? 0 : 1;
}

int osdrawline(OsHandle, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  FakeDraw& d = newdraw('l');
  d.r[0] = x1;
  d.r[1] = y1;
  d.r[2] = x2;
  d.r[3] = y2;
  d.colour = colour;
  return 1;
}

int ostextout(OsHandle, int32_t x, int32_t y, const char* text, uint32_t colour, const int32_t clip[4]) {
  FakeDraw& d = newdraw('t');
  d.r[0] = x;
  d.r[1] = y;
  d.colour = colour;
  d.text = text;
  memcpy(d.clip, clip, sizeof d.clip);
  return 1;
}
