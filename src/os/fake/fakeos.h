// The scripted fake desktop behind the system seam, for native unit tests.
//
// It models top-level windows (title, class, rectangle, z-order), dialog items
// with texts and check states, timers, the clipboard, key states, a clock,
// disk figures, message boxes and open-file dialogs with scripted answers, and
// the modeless dialogs whose handlers exist (the settings dialog).  Files and
// folders are real ones on the host: backslashes in paths become slashes.
// Holds no Japanese literal.
//
// The calls live in files by subject, as the Windows side's do: files.cpp
// (files and disk), windows.cpp (windows, dialog items, timers, message
// boxes, the open-file dialog), area.cpp (the capture area's controls, mouse,
// menu and painting), clipboard.cpp (clipboard, bitmaps, screen grabs),
// fakemain.cpp (the main window and the modeless dialogs' handlers) and
// fakeos.cpp (the rest: start-up, processes, clock, memory, the reset).
#pragma once

#include <string>
#include <vector>

#include "os/os.h"

struct FakeWindow {
  OsWin id;
  std::string cls;
  std::string title;
  int rect[4];  // left, top, right, bottom
  OsWin owner;
  bool alive;
  int templ = 0;  // dialog template of a modeless dialog, 0 for other windows
  int border = 0;        // sizing border: the client area lies this far inside
  std::string module = std::string();  // base name of the module that made the window
  int procdenied = 0;    // its process cannot be opened
  int32_t exstyle = 0;
};

// One up-down control as the program created it.
struct FakeUpDown {
  OsWin parent;
  int id;
  OsWin buddy;
  uint32_t style;
  int upper, lower, pos;
};

// One drawing call between osbeginpaint and osendpaint.
struct FakeDraw {
  OsWin win;
  char kind;  // 'r' rectangle, 'l' line, 't' text
  int32_t r[4];  // rectangle, line ends (x1, y1, x2, y2) or text position (x, y)
  uint32_t fill, colour;  // fill (OS_NOFILL for none) and outline, line or text colour
  std::string text;
  int32_t clip[4];
};

struct FakeMenu {
  OsWin owner;
  int32_t x, y;
  std::vector<int> ids;
  std::vector<std::string> texts;
};

// One call of the open-file dialog as the program made it.
struct FakeOpenCall {
  OsWin owner;
  std::string filter;  // the pairs with their NULs, without the closing empty label
  std::string initialdir;
  std::string title;
  uint32_t flags;
  std::string proposed;  // the path buffer as the dialog got it
};

// What the user does in the open-file dialog: chooses path, cancels (chosen
// 0, error 0), or the dialog fails (chosen 0, error set).
struct FakeOpenAnswer {
  int chosen;
  std::string path;
  uint32_t error;
};

struct FakeMessageBox {
  OsWin owner;
  std::string text;
  std::string caption;
  uint32_t type;
  int answer;
  size_t timers;  // timers running while the box was up
  int clipboardopen = 0;  // the program had the clipboard open while the box was up
};

// One program the program started (oscreateprocess) or a file it had the
// system open (osshellopen: program empty, cmdline the file, no placement).
struct FakeProcess {
  std::string program;
  std::string cmdline;
  int inherit;
  uint32_t flags;
  bool placed;
  OsPlacement place;
};

struct FakeTimer {
  OsWin win;
  int id;
  uint32_t ms;
};

// A bitmap the fake clipboard can hold: the screen's picture (fakepixel) of
// width x height pixels, as PrintScreen leaves it.
struct FakeImage {
  OsHandle handle;
  int width, height;
  uint16_t planes;
  int rowsfail;  // GetDIBits with a buffer fails
};

struct FakeBlock {
  OsHandle handle;
  std::vector<uint8_t> bytes;
  int locks;
};

// One entry appended to a window's system menu (osappendmenu).
struct FakeMenuEntry {
  OsWin win;
  uint32_t flags;
  uint32_t id;
  std::string text;
};

// One socket the program made, or a client's connection to one of its
// listening sockets (made by fakeconnect, the program's once accepted).
struct FakeSocket {
  OsSocket id;
  bool open = true;           // the program has not closed it
  bool listening = false;
  uint32_t addr = 0;          // bound to addr:port (0: not bound)
  uint16_t port = 0;
  OsWin win = 0;              // oswsaasyncselect: the window and the events asked for
  uint32_t events = 0;
  bool accepted = false;      // a client's connection the program accepted
  OsSocket listener = 0;      // the listening socket it came to
  std::string in;             // bytes the client sent that the program has not read
  std::string out;            // bytes the program sent that the client has not read
  long sent = 0;              // bytes the program ever sent on it
  bool clientclosed = false;  // the client closed its side
  bool shut = false;          // the program shut its sending side (osshutdown)
  long room = -1;             // bytes the client still takes before sends block; -1: no limit
  bool blocked = false;       // a send found no room: FD_WRITE comes once there is
};

// The whole desktop.  Every field has its start value here: fakereset()
// puts them all back.  Grouped by subject; the scripted failures of every
// subject are together under "faults".
struct FakeDesktop {
  // ---- files and disk ----------------------------------------------------------
  // Files and folders are real ones on the host (host paths: backslashes
  // become slashes).
  std::string cwd;          // current directory as the program sees it (Windows form); empty: the real one
  std::string windowsdir = "C:\\WINDOWS";  // osgetwindowsdirectory
  // disk figures returned by osgetdiskfreespace: 10 GiB free in 4 KiB clusters
  uint32_t spc = 8, bps = 512, freeclusters = 2621440, totalclusters = 26214400;
  std::string lastdiskroot;  // the root last asked about
  std::vector<std::pair<OsHandle, std::string>> openfiles;  // open file handles and their host paths
  std::vector<std::vector<OsFindData>> finds;  // open searches: the matches not yet told, by handle - 1

  // ---- clipboard ---------------------------------------------------------------
  int clipboardopen = 0;
  int clipboardempties = 0;
  int clipboardhasimage = 0;
  // clipboard images and the one the clipboard holds (0: none)
  std::vector<FakeImage> images;
  OsHandle clipimage = 0;
  long rowsfetched = 0;      // osgetbitmaprows calls that fetched rows
  // osgetclipboardsequencenumber: grows at every change of the clipboard;
  // clipseqzero: the system keeps none (always 0)
  uint32_t clipseq = 1;
  int clipseqzero = 0;

  // ---- screen and grabs --------------------------------------------------------
  int screenw = 1280, screenh = 1024;
  // screen grabs: how many, and the last rectangle asked for
  long grabs = 0;
  long grabsok = 0;          // grabs that copied the screen's rows: frames
  int32_t lastgrab[4] = {0, 0, 0, 0};

  // ---- windows -----------------------------------------------------------------
  std::vector<FakeWindow> windows;  // z-order: index 0 is the top
  OsWin foreground = 0;
  OsWin nextid = 0x100;
  size_t winhint = 0;        // index of the window last looked at
  long getwindowcalls = 0;   // windows stepped over by osgetwindow
  int lastgettextsize = 0;   // buffer size of the last osgetwindowtext
  // dialog items
  struct Item {
    OsWin dlg;
    int id;
    std::string text;
    int check;
    std::vector<std::string> list = {};  // entries of a list or combo box
    int sel = -1;                   // its selection
  };
  std::vector<Item> items;
  std::vector<OsWin> unstyled;      // controls whose visual styles were turned off
  // the progress bar: last range, colour and position sent
  uint32_t pbrangelo = 0, pbrangehi = 0, pbcolor = 0, pbpos = 0;
  std::vector<std::pair<OsWin, int>> posted;  // WM_COMMAND posted, not yet delivered
  std::vector<FakeMenuEntry> sysmenu;  // entries appended to system menus
  // The program's handlers, handed over with the main window.
  const OsHandlers* handlers = nullptr;
  // Called after a dialog item's text is set, as the edit control's EN_CHANGE.
  void (*editchange)(OsWin dlg, int id) = nullptr;
  // Called back, as the system would send the message to the window:
  void (*oncommand)(OsWin w, int id, int code, intptr_t lp) = nullptr;  // WM_COMMAND by SendMessage
  void (*onmoved)(OsWin w, int sized) = nullptr;                        // WM_MOVE (0), WM_SIZE (1)
  void (*onforeground)(OsWin w) = nullptr;                              // the window takes the focus
  void (*ondestroy)(OsWin w) = nullptr;                                 // WM_DESTROY

  // ---- the capture area's windows: controls, mouse, painting, menus ------------
  std::vector<FakeUpDown> updowns;
  OsWin capture = 0;                  // the window that has the mouse
  int32_t cursor[2] = {0, 0};         // the cursor in screen pixels
  OsWin painting = 0;                 // the window between osbeginpaint and osendpaint
  std::vector<FakeDraw> draws;        // every drawing call
  long paints = 0;                    // osbeginpaint calls
  std::vector<std::pair<OsWin, std::vector<int32_t>>> invalidated;  // window and rectangle (empty: all)
  std::vector<FakeMenu> menus;        // every popup menu shown
  int menuanswer = 0;                 // the entry chosen in the next menu, 0 for none
  uint32_t layeredkey = 0, layeredflags = 0;  // SetLayeredWindowAttributes' last call
  OsWin layeredwin = 0;
  std::vector<std::pair<OsWin, int32_t>> cuts;  // oscuttoband calls

  // ---- timers ------------------------------------------------------------------
  std::vector<FakeTimer> timers;         // running timers

  // ---- message boxes and the open-file dialog ----------------------------------
  std::vector<FakeMessageBox> boxes;     // every message box shown
  std::vector<int> answers;              // scripted answers, taken in order; IDOK when none
  // Called when a message box is shown, after it is logged in boxes.
  void (*onbox)(const FakeMessageBox& box) = nullptr;
  // When set, the user's answer to each message box (after onbox); the
  // scripted answers are not taken then.
  int (*onanswer)(const FakeMessageBox& box) = nullptr;
  std::vector<FakeOpenCall> opencalls;      // every open-file dialog shown
  std::vector<FakeOpenAnswer> openanswers;  // scripted, taken in order; a cancel when none
  uint32_t dlgerror = 0;                    // oscommdlgextendederror

  // ---- clock and keys ----------------------------------------------------------
  int64_t perffreq = 10000000, perfcount = 0;
  OsTime localtime = OsTime{2026, 12, 2, 8, 12, 34, 56, 0};
  uint16_t keystate[256] = {};

  // ---- memory ------------------------------------------------------------------
  uint32_t availphys = 1073741824u;  // physical memory: 1 GiB
  std::vector<FakeBlock> blocks;  // live movable blocks
  OsHandle lastblock = 0x10000;   // handle of the last block allocated
  long allocs = 0;                // blocks ever allocated
  uint64_t peakbytes = 0;         // largest total of live block bytes
  long lockcalls = 0;             // osgloballock calls so far

  // ---- start-up, the message loop and processes -------------------------------
  int quitposted = 0;
  int quitcode = -1;
  uint32_t lasterror = 0;
  std::vector<std::string> programs;  // programs that start (Windows paths as the program names them)
  std::vector<FakeProcess> started;   // every process started
  std::vector<FakeProcess> opened;    // every file handed to osshellopen, opened or not
  // Windows' shutdown block reason of the main window (ShutdownBlockReasonCreate),
  // empty when none; blockcalls counts the creates.
  std::string blockreason;
  int blockcalls = 0;

  // ---- sockets and the clipboard's text ------------------------------------------
  std::vector<FakeSocket> sockets;   // every socket, the program's and the clients'
  OsSocket nextsocket = 0x5000;
  int wsastarted = 0;                // Winsock started (the first ossocket)
  int wsaerror = 0;                  // oswsagetlasterror
  std::string cliptext;              // the text ossetclipboardtext put on the clipboard
  long cliptexts = 0;                // its calls that succeeded

  // ---- faults ------------------------------------------------------------------
  // Flags fail every call while set.  Counts of "the next n calls fail": 0
  // none, a negative count every call until the test sets it back to 0.
  // Failing calls set the last error.
  //
  // Files and disk.  diskroom: bytes that oswritefile and oscopyfile may
  // still put on the disk (all files together); -1 for no limit.  A write
  // that does not fit writes the bytes that do, reports them in *put and
  // fails with OS_ERROR_DISK_FULL, as Windows does on a full disk; the room
  // is not given back when files shrink or go.  oscopyfile that runs out
  // removes its partial copy.
  int64_t diskroom = -1;
  long writefails = 0;    // oswritefile writes nothing and fails (OS_ERROR_WRITE_FAULT)
  long flushfails = 0;    // osflushfilebuffers fails (OS_ERROR_WRITE_FAULT)
  long movefails = 0;     // osmovefileex fails (OS_ERROR_ACCESS_DENIED), nothing moved
  long deletefails = 0;   // osdeletefile fails (OS_ERROR_ACCESS_DENIED)
  // A write that puts half its bytes (rounded down: none of one byte) and
  // still reports success, the last error left at 0, as Wine does on a disk
  // that fills; the disk room is kept.
  long shortwrites = 0;
  // osclosehandle of a file fails with the last error left at 0 (the file
  // is closed all the same).
  long closefails = 0;
  // osreadfile brings half the bytes asked (at least one) and succeeds.
  long shortreads = 0;
  int readfails = 0;      // osreadfile fails (after reading what it could)
  int copyfails = 0;      // oscopyfile fails
  int mkdirfails = 0;     // oscreatedirectory fails
  int diskfails = 0;      // osgetdiskfreespace fails
  // Paths (host form) no program may write: an open with write access,
  // osmovefileex from or onto one, osdeletefile and oscopyfile onto one fail
  // with OS_ERROR_ACCESS_DENIED.  An entry ending in '/' denies everything
  // under that folder.
  std::vector<std::string> denied;
  // files whose opens with write access fail, as when another program holds
  // them open without write sharing (host paths)
  std::vector<std::string> writelocked;
  std::vector<std::string> locked;  // files no open gets into (host paths)
  //
  // Clipboard and screen.  Another program holds the clipboard:
  // osopenclipboard fails (a count, as above; -1 until released by setting
  // it to 0).
  long clipboardheld = 0;
  long grabfails = 0;        // the next n grabs make no bitmap (planes 0); negative: every grab
  long blitfails = 0;        // the next n grabs copy nothing from the screen (BitBlt fails)
  //
  // Windows.  A window gone between two calls: vanishwin is destroyed (as
  // by fakeclosewindow) just before the vanishafter-th further window call
  // (1: the next), counting only calls named vanishon when that is set
  // ("osgetwindowrect").  Window calls are those that take or return a
  // window: osgetwindowrect, osgetwindowtext, ossetwindowtext, osfindwindow,
  // osgetforegroundwindow, ossetforegroundwindow, osgetwindow, osmovewindow,
  // osgetclientrect, osgetwindowmodulename, osdestroywindow.
  OsWin vanishwin = 0;
  long vanishafter = 0;
  std::string vanishon;
  std::vector<int> dialogsfail;  // templates whose creation fails (all without handlers)
  int rectfails = 0;             // osrectangle fails
  int layeredfails = 0;          // SetLayeredWindowAttributes fails
  int sysmenufails = 0;          // osgetsystemmenu finds none
  //
  // Memory.  allocfailat refuses that allocation (numbered from 1) and every
  // later one; allocrefuse refuses only the allocation with this number;
  // lockfailat refuses only the osgloballock call with this number.
  long allocfailat = 0;
  long allocrefuse = 0;
  long lockfailat = 0;
  //
  // Sockets.  bindinuse: osbind fails with OS_WSAEADDRINUSE, as when
  // another program has the port; socketfails, acceptfails and sendfails
  // fail those calls (sends with OS_WSAECONNRESET).
  int bindinuse = 0;
  long socketfails = 0;
  long acceptfails = 0;
  long sendfails = 0;
  //
  // Start-up and processes.
  int mutexexists = 0;       // oscreatemutex reports ERROR_ALREADY_EXISTS
  int mutexfails = 0;        // oscreatemutex returns 0
  int registerfails = 0;
  int createmainfails = 0;
  int loadlibraryfails = 0;
  int procaddressfails = 0;
  int shellopenfails = 0;    // osshellopen finds no program for the file
  //
  // Called with the call's name before each window call, osopenclipboard and
  // osmessagebox, to script anything at that moment.
  void (*oncall)(const char* call) = nullptr;
};

extern FakeDesktop gfake;

// Puts the fake desktop back to its start: no windows, no boxes, no timers,
// a 1280 x 1024 screen, 10 GiB free on every drive.
void fakereset();
OsWin fakeaddwindow(const char* cls, const char* title, int l, int t, int r, int b);
// Destroys a window: it keeps its place in the list but is found no more.
void fakeclosewindow(OsWin w);
const FakeTimer* fakefindtimer(OsWin win, int id);
std::string fakeitemtext(OsWin dlg, int id);
// The live modeless dialog made from a template, 0 when there is none.
OsWin fakefinddialog(int templ);
// The picture of the fake screen at (x, y), 0xRRGGBB: every pixel differs
// from its neighbours, so a picture cut from the wrong place shows.
uint32_t fakepixel(int x, int y);
// Makes a clipboard image of the screen's picture and puts it in the
// clipboard; returns its handle.
OsHandle fakeclipimage(int w, int h);
// Delivers the posted WM_COMMANDs, as the message loop would once the
// handler that runs now has returned; returns how many were delivered.  A
// command posted to a window that is gone by now is lost.
int fakepump();
// The entries and selection of a list or combo box.
std::vector<std::string> fakelist(OsWin dlg, int id);
int fakelistsel(OsWin dlg, int id);
// The user picks entry sel in a list or combo box (no notification sent).
void fakesetlistsel(OsWin dlg, int id, int sel);
FakeWindow* fakewindow(OsWin w);

// A client connects to the program's socket listening on port: the
// connection waits for osaccept and the program hears FD_ACCEPT.  The
// client's end, or 0 when nothing listens there.
OsSocket fakeconnect(uint16_t port);
// The client sends bytes (FD_READ follows), closes its side (FD_CLOSE), or
// takes only room more bytes before the program's sends block (-1: all;
// FD_WRITE follows when a blocked send may go on).
void fakeclientsend(OsSocket c, const std::string& bytes);
void fakeclientclose(OsSocket c);
void fakeclientroom(OsSocket c, long room);
// What the program sent on the connection since the last read; taken.
std::string fakeclientread(OsSocket c);
FakeSocket* fakesocket(OsSocket s);
// Sockets the program holds open (listening or accepted).
int fakeopensockets();

// What the program still holds, for checks at the end of a test: one line
// each for open file handles (with their paths), live memory blocks (with
// their lock counts) and an open clipboard; empty when nothing is held.
std::string fakeleftovers();
// Number of live memory blocks that are locked.
int fakelockedblocks();
// Message boxes shown while the program had the clipboard open.
int fakeboxeswithclipboard();
