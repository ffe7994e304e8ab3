// What the Windows entry point hands the system seam.
#pragma once

#include <windows.h>

#include "os/os.h"

void oswin32setinstance(HINSTANCE h);
HINSTANCE oswin32instance();

// The message WSAAsyncSelect posts to the main window.
#define OSWIN32_WM_SOCKET (WM_APP + 0x20)

#define WBUF 1024  // wide characters of a converted path or text

// A Shift-JIS text as UTF-16 in a buffer of n wide characters, read by the
// Shift-JIS rule of sjis.h (cut when longer, never inside a character); 1
// when the whole text fits, else 0.
int towide(const char* s, wchar_t* w, int n);
// A UTF-16 text (wlen characters, or up to its NUL when negative) as
// Shift-JIS in a buffer of n bytes, cut without splitting a double-byte
// character; the length, or -1 when a character has no Shift-JIS form.
int tosjis(const wchar_t* w, int wlen, char* s, int n);

// The dialog procedures of the capture area dialog and the area frame.
// The handlers the program gave for a dialog template; null when none.
const OsDialogHandlers* oswin32handlers(int templ);
INT_PTR CALLBACK oswin32areaproc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK oswin32frameproc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
