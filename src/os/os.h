// The system seam: everything KESTO needs of the operating system.
//
// The calls are shaped like the Win32 calls they stand for, so the logic that
// uses them reads like the Windows program it is.  kesto.exe links the Win32
// implementation (src/os/win32), the native unit tests link a scripted fake
// desktop (src/os/fake).  All texts are Shift-JIS (CP932) bytes; the Win32
// implementation converts them to and from UTF-16 with code page 932.
// Paths use backslashes; files are real files in both builds.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uintptr_t OsWin;     // a window; 0 is none
typedef uintptr_t OsHandle;  // a file, mutex, module or bitmap; 0 is none
typedef uintptr_t OsSocket;  // a socket; OS_INVALID_SOCKET is none

// ---- files ---------------------------------------------------------------
#define OS_BADFILE ((OsHandle)~(uintptr_t)0)  // INVALID_HANDLE_VALUE
#define OS_INVALID_FILE_SIZE 0xFFFFFFFFu

#define OS_GENERIC_READ 0x80000000u
#define OS_GENERIC_WRITE 0x40000000u
#define OS_FILE_SHARE_READ 0x1u
#define OS_FILE_SHARE_WRITE 0x2u
#define OS_FILE_SHARE_DELETE 0x4u
#define OS_CREATE_NEW 1u
#define OS_CREATE_ALWAYS 2u
#define OS_OPEN_EXISTING 3u
#define OS_OPEN_ALWAYS 4u
#define OS_TRUNCATE_EXISTING 5u

#define OS_ERROR_ALREADY_EXISTS 183u
#define OS_ERROR_FILE_NOT_FOUND 2u
#define OS_ERROR_PATH_NOT_FOUND 3u
#define OS_ERROR_ACCESS_DENIED 5u
#define OS_ERROR_NOT_ENOUGH_MEMORY 8u
#define OS_ERROR_WRITE_FAULT 29u
#define OS_ERROR_READ_FAULT 30u
#define OS_ERROR_SHARING_VIOLATION 32u
#define OS_ERROR_HANDLE_EOF 38u
#define OS_ERROR_HANDLE_DISK_FULL 39u
#define OS_ERROR_DISK_FULL 112u
#define OS_ERROR_BAD_FORMAT 11u  // a file that is not of the kind expected

// Local or system time, laid out like SYSTEMTIME.
struct OsTime {
  uint16_t year, month, dayofweek, day, hour, minute, second, ms;
};

OsHandle oscreatefile(const char* path, uint32_t access, uint32_t share, uint32_t disposition);
int osreadfile(OsHandle f, void* buf, uint32_t n, uint32_t* got);          // 1 or 0
int oswritefile(OsHandle f, const void* buf, uint32_t n, uint32_t* put);   // 1 or 0
int osclosehandle(OsHandle h);
uint32_t osgetfilesize(OsHandle f);                  // OS_INVALID_FILE_SIZE on failure
// Moves the file pointer to offset bytes from the start; 1 or 0.
int ossetfilepointer(OsHandle f, uint32_t offset);
// Copies a file like CopyFileA; with failifexists 0 an existing to is replaced.  1 or 0.
int oscopyfile(const char* from, const char* to, int failifexists);
// FlushFileBuffers: what was written to f is on the disk.  1 or 0.
int osflushfilebuffers(OsHandle f);
#define OS_MOVEFILE_REPLACE_EXISTING 0x1u
#define OS_MOVEFILE_WRITE_THROUGH 0x8u
// MoveFileEx: renames from to to; with OS_MOVEFILE_REPLACE_EXISTING an
// existing to is replaced in one step, with OS_MOVEFILE_WRITE_THROUGH the
// call returns once the move is on the disk.  1 or 0.
int osmovefileex(const char* from, const char* to, uint32_t flags);
// DeleteFile.  1 or 0.
int osdeletefile(const char* path);
uint32_t osgetcompressedfilesize(const char* path);  // OS_INVALID_FILE_SIZE on failure
int osgetfiletimelocal(OsHandle f, OsTime* t);       // last write, local time; 1 or 0
int osgetdiskfreespace(const char* root, uint32_t* sectorspercluster, uint32_t* bytespersector,
                       uint32_t* freeclusters, uint32_t* totalclusters);  // 1 or 0
// Like GetCurrentDirectoryA: the length without the NUL when it fits in n bytes,
// else the size needed (NUL included); 0 on failure.
uint32_t osgetcurrentdirectory(uint32_t n, char* buf);
// Like GetWindowsDirectoryA: the length without the NUL when it fits in n
// bytes, else the size needed; 0 on failure.
uint32_t osgetwindowsdirectory(uint32_t n, char* buf);
void osgetlocaltime(OsTime* t);
uint32_t osgetlasterror();

// ---- folders ---------------------------------------------------------------
// Like FindFirstFile and FindClose: 1 when a search for the path finds a file
// or folder of that name, else 0.
int osfindfile(const char* path);
// Like CreateDirectory with default security and an inheritable handle; 1 or 0.
int oscreatedirectory(const char* path);

// ---- messages ------------------------------------------------------------
#define OS_MB_OK 0x0u
#define OS_MB_OKCANCEL 0x1u
#define OS_MB_RETRYCANCEL 0x5u
#define OS_MB_YESNO 0x4u
#define OS_MB_ICONERROR 0x10u
#define OS_MB_ICONQUESTION 0x20u
#define OS_MB_ICONWARNING 0x30u
#define OS_MB_ICONINFORMATION 0x40u
#define OS_MB_SYSTEMMODAL 0x1000u
#define OS_IDOK 1
#define OS_IDCANCEL 2
#define OS_IDRETRY 4
#define OS_IDYES 6
#define OS_IDNO 7

int osmessagebox(OsWin owner, const char* text, const char* caption, uint32_t type);

// ---- the open-file dialog --------------------------------------------------
#define OS_OFN_NOVALIDATE 0x100u
#define OS_OFN_PATHMUSTEXIST 0x800u
#define OS_FNERR_INVALIDFILENAME 0x3002u
#define OS_FNERR_BUFFERTOOSMALL 0x3003u
// Like GetOpenFileName.  filter holds pairs of label and pattern, each ended by
// a NUL, and ends with an empty label; the first pair is selected.  path (n
// bytes) proposes a name and receives the choice.  1 when a file was chosen;
// 0 when the user cancelled or the dialog failed, and then
// oscommdlgextendederror tells which (0 for a cancel).  A chosen path that has
// no Shift-JIS form or does not fit in n bytes fails with
// OS_FNERR_INVALIDFILENAME or OS_FNERR_BUFFERTOOSMALL; path is then unchanged.
int osgetopenfilename(OsWin owner, const char* filter, const char* initialdir, const char* title,
                      uint32_t flags, char* path, uint32_t n);
uint32_t oscommdlgextendederror();

// ---- other programs ----------------------------------------------------------
#define OS_CREATE_NEW_CONSOLE 0x10u
#define OS_NORMAL_PRIORITY_CLASS 0x20u
// Where a new program is asked to put its first window (STARTUPINFO with
// STARTF_USEPOSITION and STARTF_USESIZE), in pixels.
struct OsPlacement {
  int32_t x, y, w, h;
};
// Like CreateProcess of program with the command line cmdline (the whole
// line as the new process sees it), handles inherited when inherit is set,
// the creation flags, and the window placement when place is given.  The
// handles of the new process are closed at once.  1 or 0.
int oscreateprocess(const char* program, const char* cmdline, int inherit, uint32_t flags,
                    const OsPlacement* place);
// Opens a file with the program the system has for its kind (ShellExecuteEx
// with the verb "open"), the system showing no message of its own.  1 or 0.
int osshellopen(OsWin owner, const char* path);

// ---- windows and dialog items -------------------------------------------
int ossetwindowtext(OsWin w, const char* text);
int osgetwindowtext(OsWin w, char* buf, int n);  // length copied; at most n-1 bytes
int ossetdlgitemtext(OsWin dlg, int id, const char* text);
int osgetdlgitemtext(OsWin dlg, int id, char* buf, int n);
int ossetdlgitemint(OsWin dlg, int id, int value, int issigned);
int osgetdlgitemint(OsWin dlg, int id, int* ok, int issigned);
int oscheckdlgbutton(OsWin dlg, int id, int check);
int osisdlgbuttonchecked(OsWin dlg, int id);
OsWin osgetdlgitem(OsWin dlg, int id);
// Sends WM_COMMAND with the given id (notification 0) to a window.
void ossendcommand(OsWin w, int id);
void osshowwindow(OsWin w, int cmd);
void osupdatewindow(OsWin w);
OsWin osfindwindow(const char* cls, const char* title);
int ossetforegroundwindow(OsWin w);
OsWin osgetforegroundwindow();
#define OS_GW_HWNDNEXT 2
// Like GetWindow: with OS_GW_HWNDNEXT the window below w in Z order, 0 at the end.
OsWin osgetwindow(OsWin w, uint32_t cmd);

// ---- timers, clipboard, screen, clock -------------------------------------
int ossettimer(OsWin w, int id, uint32_t ms);
int oskilltimer(OsWin w, int id);
int osopenclipboard(OsWin w);
int osemptyclipboard();
int oscloseclipboard();
// The clipboard's CF_BITMAP image while the clipboard is open; 0 when none.
OsHandle osgetclipboardbitmap();
// GetClipboardSequenceNumber: a number that changes whenever the clipboard's
// contents change (0 when the system cannot tell).
uint32_t osgetclipboardsequencenumber();
#define OS_SM_CXSCREEN 0
#define OS_SM_CYSCREEN 1
int osgetsystemmetrics(int index);
int osqueryperformancefrequency(int64_t* f);
int osqueryperformancecounter(int64_t* c);

// ---- bitmaps and the screen -----------------------------------------------
// Laid out like BITMAPINFOHEADER (40 bytes).
struct OsBitmapHeader {
  uint32_t size;
  int32_t width, height;
  uint16_t planes, bitcount;
  uint32_t compression, sizeimage;
  int32_t xppm, yppm;
  uint32_t clrused, clrimportant;
};
// GetDIBits without a buffer: the bitmap's header as the system reports it
// (h->size is set to 40 and the rest cleared first).  1 or 0.
int osgetbitmapheader(OsHandle bmp, OsBitmapHeader* h);
// GetDIBits with a buffer: all |h->height| rows of the bitmap as a bottom-up
// 24-bit DIB, rows padded to four bytes, into buf of size bytes.  h comes from
// osgetbitmapheader and gets bit count 24, compression 0 and the image size;
// nothing is read when the rows would not fit in size bytes.  1 or 0.
int osgetbitmaprows(OsHandle bmp, OsBitmapHeader* h, void* buf, uint32_t size);
// One screen grab: BitBlt (SRCCOPY) of the rectangle r (left, top, right,
// bottom; the picture is |right - left| x |bottom - top| pixels, copied from
// (left, top)) from the desktop into a compatible bitmap, then GetDIBits of
// its rows as a bottom-up 24-bit DIB into buf (at most size bytes).  h gets
// the system's header of the bitmap (planes, resolution, colour counts);
// width, height, bit count, compression and image size are the caller's.
// Returns 1 when the rows were fetched, 0 when no row was (h->planes then
// tells whether the bitmap was made).
int osgrabscreen(const int32_t r[4], OsBitmapHeader* h, void* buf, uint32_t size);
// GetWindowRect: left, top, right, bottom in screen pixels.  1 or 0.
int osgetwindowrect(OsWin w, int32_t r[4]);

// ---- keys -----------------------------------------------------------------
#define OS_VK_LCONTROL 0xA2
#define OS_VK_F1 0x70
#define OS_VK_F2 0x71
#define OS_VK_F3 0x72
// GetAsyncKeyState: the key's state for the whole system, the high bit set
// while it is down, so keys pressed while another program has the keyboard
// focus count too.
uint16_t osgetasynckeystate(int vk);

// ---- memory ----------------------------------------------------------------
// GlobalMemoryStatus: available physical memory in bytes, as a 32-bit
// process sees it (at most 4 GiB - 1).
uint32_t osavailphys();
// Movable global memory blocks (GlobalAlloc GMEM_MOVABLE, GlobalLock,
// GlobalUnlock, GlobalFree).
OsHandle osglobalalloc(uint32_t size);        // 0 on failure
void* osgloballock(OsHandle m);               // nullptr on failure
int osglobalunlock(OsHandle m);
OsHandle osglobalfree(OsHandle m);            // 0 when freed

// ---- messages to windows ---------------------------------------------------
#define OS_PBM_SETRANGE 0x401u
#define OS_PBM_SETPOS 0x402u
#define OS_PBM_SETBARCOLOR 0x409u
intptr_t ossendmessage(OsWin w, uint32_t msg, uintptr_t wp, intptr_t lp);
// Turns the visual styles off for one control (SetWindowTheme with empty
// names), so that it is drawn the classic way and colours sent to it (the
// progress bar's PBM_SETBARCOLOR) show on a themed Windows too.  1 or 0.
int osnovisualstyle(OsWin ctl);
// Posts WM_COMMAND with the given id (notification 0, a click) to a window.
void ospostcommand(OsWin w, int id);

// ---- start-up and the message loop ---------------------------------------
OsHandle oscreatemutex(const char* name, int owned);  // 0 on failure
OsHandle osloadlibrary(const char* name);             // 0 on failure
void* osgetprocaddress(OsHandle module, const char* name);
int osfreelibrary(OsHandle module);
// ShutdownBlockReasonCreate and ShutdownBlockReasonDestroy, looked up at run
// time (older systems lack them): the reason Windows shows while it waits for
// the window before the session ends.  1 or 0.
int osshutdownblockreasoncreate(OsWin w, const char* reason);
int osshutdownblockreasondestroy(OsWin w);
// The handlers the messages of the program's windows go to.  The system layer
// knows none of them by name: the program hands it one table of them when it
// makes its main window, and calls nothing else of the program.  A handler
// left null is not called.
struct OsMainHandlers {
  void (*create)(OsWin w);             // WM_CREATE
  void (*initdialog)();                // WM_INITDIALOG
  void (*command)(int id, int code);   // WM_COMMAND: low and high word of wParam
  void (*timer)(int id);               // WM_TIMER
  void (*close)();                     // WM_CLOSE: the close box
  int (*queryend)();                   // WM_QUERYENDSESSION: 1, the session may end
  void (*endsession)(int ending);      // WM_ENDSESSION: wParam, the session ends
  void (*destroy)();                   // WM_DESTROY
  // WM_SYSCOMMAND with the id masked (wParam & 0xFFF0): 1 when it was the
  // program's own command and was handled, 0 for the system's.
  int (*syscommand)(int id);
  // A socket event that oswsaasyncselect asked for: the socket, one of the
  // OS_FD_ events and its error (0 when none).
  void (*socket)(OsSocket s, uint32_t event, int error);
};
// A modeless dialog made from a numbered template.  The settings and play-log
// dialogs get the dialog keyboard handling (Esc arrives as close); the capture
// area dialog and its frame do not, and the frame's mouse and moves come too.
struct OsDialogHandlers {
  int templ;                                          // the dialog template
  void (*init)(OsWin d);                              // WM_INITDIALOG
  void (*command)(OsWin d, int id, int code, intptr_t lp);  // WM_COMMAND
  void (*close)(OsWin d);                             // WM_CLOSE (and Esc)
  void (*timer)(OsWin d, int id);                     // WM_TIMER
  void (*focus)(OsWin d);                             // it takes the focus
  void (*activate)(OsWin d);                          // WM_ACTIVATE
  void (*paint)(OsWin d);                             // WM_PAINT
  void (*destroyed)(OsWin d);                         // WM_DESTROY
  void (*lbuttondown)(OsWin d);
  void (*mousemove)(OsWin d);                         // client and frame area
  void (*lbuttonup)(OsWin d);                         // client and frame area
  void (*rbuttondown)(OsWin d);
  void (*rbuttonup)(OsWin d);                         // client and frame area
  void (*moved)(OsWin d, int sized);                  // WM_MOVE (0), WM_SIZE (1)
};
#define OS_DIALOGS 5
struct OsHandlers {
  OsMainHandlers main;
  OsDialogHandlers dialogs[OS_DIALOGS];  // templ 0 ends the list early
};

// Registers the main window class "KESTO" whose window procedure hands the
// messages to the main window's handlers.  1 or 0.
int osregistermainclass();
// Creates the main window from the dialog template "KESTO"; 0 on failure.
// The handlers serve the main window and every dialog made after it.
OsWin oscreatemaindialog(const OsHandlers* handlers);
// Creates a modeless dialog from a numbered template, owned by owner; 0 on
// failure and for a template without handlers.  The system layer hands the
// dialog's messages to its handlers and, for the settings and play-log
// dialogs, gives it the dialog keyboard handling (Tab, Enter, Esc) in the
// message loop.
OsWin oscreatedialog(int templ, OsWin owner);
int osdestroywindow(OsWin w);
void ospostquitmessage(int code);
// Runs the message loop (dialog keyboard handling for dlg only) until WM_QUIT;
// returns its wParam.
int osmessageloop(OsWin dlg);
void osinitcommoncontrols();

// ---- the capture area dialog and frame ---------------------------------------
#define OS_WM_COMMAND 0x111u
// Notification codes (high word of WM_COMMAND's wParam).
#define OS_BN_CLICKED 0
#define OS_CBN_SELCHANGE 1
#define OS_LBN_SELCHANGE 1
#define OS_LBN_SETFOCUS 4
#define OS_LBN_KILLFOCUS 5
#define OS_EN_SETFOCUS 0x100
#define OS_EN_KILLFOCUS 0x200
#define OS_EN_CHANGE 0x300
// Combo box and list box messages (SendMessage to the control).
#define OS_CB_ADDSTRING 0x143u
#define OS_CB_GETCURSEL 0x147u
#define OS_CB_RESETCONTENT 0x14Bu
#define OS_CB_SETCURSEL 0x14Eu
#define OS_LB_ADDSTRING 0x180u
#define OS_LB_RESETCONTENT 0x184u
#define OS_LB_SETCURSEL 0x186u
#define OS_LB_GETCURSEL 0x188u
// The add-string messages with a Shift-JIS text; returns the new entry's
// position or a negative error.
intptr_t osaddstring(OsWin ctl, uint32_t msg, const char* text);

#define OS_WS_CHILD 0x40000000u
#define OS_WS_VISIBLE 0x10000000u
#define OS_WS_BORDER 0x00800000u
#define OS_UDS_SETBUDDYINT 0x2u
#define OS_UDS_ALIGNRIGHT 0x4u
#define OS_UDS_ALIGNLEFT 0x8u
// CreateUpDownControl at (0, 0, 0, 0) in parent, with buddy, range lower ...
// upper and the initial position; 0 on failure.
OsWin oscreateupdowncontrol(uint32_t style, OsWin parent, int id, OsWin buddy, int upper, int lower,
                            int pos);

// MoveWindow: x, y, width, height in screen pixels for a top-level window.
int osmovewindow(OsWin w, int32_t x, int32_t y, int32_t cx, int32_t cy, int repaint);
// GetClientRect: 0, 0, width, height.
int osgetclientrect(OsWin w, int32_t r[4]);
// InvalidateRect of r (client pixels), or of the whole client area when r is null.
int osinvalidaterect(OsWin w, const int32_t* r, int erase);
OsWin ossetcapture(OsWin w);  // the window that had the mouse before
int osreleasecapture();
int osgetcursorpos(int32_t p[2]);  // screen pixels

#define OS_GWL_EXSTYLE (-20)
#define OS_WS_EX_LAYERED 0x00080000
#define OS_LWA_COLORKEY 0x1u
int32_t osgetwindowlong(OsWin w, int index);
int32_t ossetwindowlong(OsWin w, int index, int32_t value);
// Calls the SetLayeredWindowAttributes found at start-up (fn); 0 when fn is
// null or the call fails.
int ossetlayeredwindowattributes(void* fn, OsWin w, uint32_t key, uint8_t alpha, uint32_t flags);
// Where a window cannot be see-through: limits it (SetWindowRgn) to its
// sizing border and the top band of its client area, band pixels high.
int oscuttoband(OsWin w, int32_t band);

// A popup menu of n entries at (x, y), tracked with the right button
// (TrackPopupMenu); the chosen entry's id comes to owner as WM_COMMAND.
int ostrackpopupmenu(OsWin owner, int32_t x, int32_t y, int n, const int* ids, const char* const* texts);

// The base name of the module that made window w, in its process
// (GetWindowThreadProcessId, OpenProcess, GetModuleBaseName with the
// window's instance); the length, 0 (and an empty text) when the process
// cannot be opened.
int osgetwindowmodulename(OsWin w, char* buf, int n);

// ---- painting ------------------------------------------------------------------
// Colours are COLORREF values: red in the low byte.
#define OS_RGB(r, g, b) ((uint32_t)(r) | (uint32_t)(g) << 8 | (uint32_t)(b) << 16)
#define OS_NOFILL 0xFFFFFFFFu  // a rectangle outlined only
OsHandle osbeginpaint(OsWin w);  // BeginPaint; the device context, 0 on failure
void osendpaint(OsWin w, OsHandle dc);
// Rectangle (left, top, right, bottom) with a solid brush of fill (or none)
// and a solid pen of width 0 of colour outline.  1 or 0.
int osrectangle(OsHandle dc, const int32_t r[4], uint32_t fill, uint32_t outline);
// A line from (x1, y1) to (x2, y2), the end point not drawn, in colour.
int osdrawline(OsHandle dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
// ExtTextOut of a Shift-JIS text at (x, y) in colour on a transparent
// background, clipped to clip.
int ostextout(OsHandle dc, int32_t x, int32_t y, const char* text, uint32_t colour, const int32_t clip[4]);

// ---- the system menu ----------------------------------------------------------
#define OS_WM_SYSCOMMAND 0x112u
#define OS_MF_STRING 0x0u
#define OS_MF_SEPARATOR 0x800u
// Like GetSystemMenu(w, FALSE): the window's system menu (the Alt+Space
// menu), 0 when it has none.
OsHandle osgetsystemmenu(OsWin w);
// Like AppendMenu: an entry with id and a Shift-JIS text, or a separator
// (OS_MF_SEPARATOR, id and text unused).  A system menu's ids are below
// 0xF000 with the low four bits 0, as WM_SYSCOMMAND masks them.  1 or 0.
int osappendmenu(OsHandle menu, uint32_t flags, uint32_t id, const char* text);
#define OS_MF_CHECKED 0x8u
// Like CheckMenuItem by command: the entry id checked (1) or not (0).  1 or 0.
int oscheckmenuitem(OsHandle menu, uint32_t id, int checked);

// Like ModifyMenu by command: the entry id gets a new Shift-JIS text and
// flags (OS_MF_CHECKED or not).  1 or 0.
int osmodifymenu(OsHandle menu, uint32_t id, uint32_t flags, const char* text);

// ---- the clipboard's text ---------------------------------------------------------
// Opens the clipboard for w, empties it, puts a Shift-JIS text on it as
// Unicode text and closes it again.  1 or 0 (the clipboard held by another
// program, or memory refused).
int ossetclipboardtext(OsWin w, const char* text);

// ---- sockets ----------------------------------------------------------------------
// TCP over IPv4, shaped like Winsock's calls: non-blocking once
// oswsaasyncselect has been called, the events then coming to the main
// window's socket handler as window messages (WSAAsyncSelect).  The system
// layer starts Winsock (WSAStartup) once, at the first ossocket.
#define OS_INVALID_SOCKET ((OsSocket)~(uintptr_t)0)
#define OS_SOCKET_ERROR (-1)
#define OS_INADDR_LOOPBACK 0x7F000001u  // 127.0.0.1
#define OS_FD_READ 0x01u
#define OS_FD_WRITE 0x02u
#define OS_FD_ACCEPT 0x08u
#define OS_FD_CLOSE 0x20u
#define OS_WSAEWOULDBLOCK 10035
#define OS_WSAEADDRINUSE 10048
#define OS_WSAECONNABORTED 10053
#define OS_WSAECONNRESET 10054
#define OS_WSAEACCES 10013
#define OS_SD_SEND 1
// socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); OS_INVALID_SOCKET on failure
// (Winsock not started among them).
OsSocket ossocket();
// bind to addr:port (host byte order); 0 or OS_SOCKET_ERROR.
int osbind(OsSocket s, uint32_t addr, uint16_t port);
int oslisten(OsSocket s, int backlog);             // 0 or OS_SOCKET_ERROR
OsSocket osaccept(OsSocket s);                      // OS_INVALID_SOCKET when none or on failure
// recv and send: the bytes moved, 0 from recv when the peer closed,
// OS_SOCKET_ERROR on failure (OS_WSAEWOULDBLOCK when nothing can move now).
int osrecv(OsSocket s, char* buf, int n);
int ossend(OsSocket s, const char* buf, int n);
int osshutdown(OsSocket s, int how);                // 0 or OS_SOCKET_ERROR
int osclosesocket(OsSocket s);                      // 0 or OS_SOCKET_ERROR
// WSAAsyncSelect with the system layer's own message to w: the events
// (OS_FD_ bits) come to the main window's socket handler.  The socket is
// non-blocking from then on.  0 or OS_SOCKET_ERROR.
int oswsaasyncselect(OsSocket s, OsWin w, uint32_t events);
int oswsagetlasterror();

// ---- searching a folder --------------------------------------------------------
#define OS_FILE_ATTRIBUTE_DIRECTORY 0x10u
// What FindFirstFile and FindNextFile tell of one file or folder.
struct OsFindData {
  uint32_t attributes;  // OS_FILE_ATTRIBUTE_DIRECTORY for a folder
  char name[260];       // the name without its folder, Shift-JIS
};
// Like FindFirstFile: the first file or folder whose name matches the last
// part of pattern (wildcards * and ?, case ignored).  The search handle, or
// OS_BADFILE when nothing matches.  Names that have no Shift-JIS form or do
// not fit are passed over.
OsHandle osfindfirstfile(const char* pattern, OsFindData* fd);
// Like FindNextFile: the next match; 0 when there is none.
int osfindnextfile(OsHandle h, OsFindData* fd);
int osfindclose(OsHandle h);
