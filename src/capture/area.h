// The capture area: the area dialog (margins, area choice, speed, count,
// capture key, zoom view, save and restore), the window list with the target
// window and lock-on, and the see-through area frame with its marker bar.
// The system layer hands the two windows' messages to the handlers below.
#pragma once

#include <cstdint>

#include "kesto.h"
#include "os/os.h"
#include "res/resource.h"

// The area dialog's timer.
#define IDA_TIMER 200

// ---- rules of the area (no system calls) -------------------------------------

// Margins (top, left, bottom, right) that widen target into frame.
void marginsfromrects(const int32_t target[4], const int32_t frame[4], int32_t m[4]);
// The frame rectangle after margin field i (0 top, 1 left, 2 bottom, 3 right)
// changed from old to v: that edge moves by the difference, the opposite
// edge stays.
void moveedge(const int32_t frame[4], int i, int32_t old, int32_t v, int32_t out[4]);
// The close box of the frame: x from right - 19 to right - 3 and y from
// top + 3 to top + 21 of the window rectangle, bounds included.
int closeboxhit(const int32_t win[4], int32_t x, int32_t y);
// The marker bar's left and right in a client W pixels wide.
void markerspan(int32_t W, int32_t width, int32_t pos, int32_t* left, int32_t* right);
// The bar's fill and outline for the frame's focus flag and slide mode.
void markercolours(int focus, SlideMode slide, uint32_t* fill, uint32_t* outline);
// The bar's position while sliding with the cursor at screen x.
int32_t slideposition(int32_t x, int32_t winleft, int32_t clientw, int32_t width);
// The speed list's entry for the custom interval (tenths of a second).
void customlabel(int32_t tenths, char* out, int n);
// A window the list leaves out unless "all" is checked.
int winlisthidden(const char* title);
// The list entry "<title> module #slot", cut at WINTEXTSIZE - 1 bytes without
// splitting a double-byte character; an empty title is "タイトル名無し".
void winlistentry(const char* title, const char* module, int slot, char* out);
// The capture page count as the dialogs take it from a field: 0 ... 99999.
int32_t clampcount(int32_t v);
// The number a field's text holds: blanks around, a sign, decimal digits,
// held to the range of a signed 32-bit number (so a count typed as 2^31 or
// more is never taken as negative); 0 when the text is not a number.
int32_t fieldint(const char* text);

// ---- operations --------------------------------------------------------------

// Working capture settings := saved ones, the window area zeroed, the area
// margins loaded.
void restorecapture();
// Area margins := the margin set the working area choice names.
void loadmargins();
// The margin set in force (default, custom or window area).
int32_t* marginset();
// fieldint of the text of field id of dlg.
int32_t dlgfieldint(OsWin dlg, int id);
// A burst is being prepared, taken or written out.
int burstrunning();
// A speed picked in list (the area dialog's combo box when combo is set, else
// the frame's list box): refused during a burst with a message of caption
// (the current row selected again); else its row becomes current and the
// other window's list (0 for none) selects the same entry.
void pickspeed(OsWin owner, OsWin list, int combo, OsWin other, const char* caption);
// The speed list entries (custom interval first) into a combo or list box.
void fillspeeds(OsWin list, uint32_t addmsg, uint32_t selmsg);

// ---- the area dialog -----------------------------------------------------------
void areadlginit(OsWin dlg);                          // WM_INITDIALOG
void areadlgcommand(OsWin dlg, int id, int code, intptr_t lp);  // WM_COMMAND
void areadlgtimer(OsWin dlg, int id);                 // WM_TIMER
void areadlgfocus(OsWin dlg);                         // the dialog takes the keyboard focus
void areadlgactivate(OsWin dlg);                      // WM_ACTIVATE, either way
void areadlgpaint(OsWin dlg);                         // WM_PAINT
void areadlgclose(OsWin dlg);                         // WM_CLOSE
void areadlgdestroyed(OsWin dlg);                     // WM_DESTROY
// The zoom view's part of the dialog, client pixels.
extern const int32_t kzoomregion[4];
// Refreshes the zoom strips around the frame rectangle.
void refreshzoom();

// ---- the window list and lock-on ----------------------------------------------
// Fills the window list; returns the number of slots filled.
int32_t enumwindows(OsWin dlg);
// Enumerates and fills list 1028; when preselect is set, selects and takes
// the game window's or the chosen window's entry.
void fillwinlist(OsWin dlg, int preselect);
// Takes the selected entry; chosen: the user took it.
void takeentry(OsWin dlg, int chosen);
void showframe(OsWin dlg);   // "枠表示"
void clearchoice(OsWin dlg); // "枠選択クリア"
void lockonstep(OsWin dlg);  // every timer tick after the counter went up
// The frame took the focus: lock-on arms when idle with a known target.
void armlockon();

// ---- the area frame -------------------------------------------------------------
// Creates and shows the frame owned by the area dialog; 0 when it could not.
int framecreate(OsWin dlg);
// Closes the area frame when it is open: the one place that destroys it.  1
// when there was one.
int closeframe();
void frameinit(OsWin f);                               // WM_INITDIALOG
void framecommand(OsWin f, int id, int code);          // WM_COMMAND
void framefocus(OsWin f);                              // WM_SETFOCUS
void framelbuttondown(OsWin f);
void framemousemove(OsWin f);                          // client or non-client
void framelbuttonup(OsWin f);
void framerbuttondown(OsWin f);
void framerbuttonup(OsWin f);
void framemoved(OsWin f, int sized);                   // WM_MOVE (0), WM_SIZE (1)
void framepaint(OsWin f);                              // WM_PAINT
void framedestroyed(OsWin f);                          // WM_DESTROY
