// The main window: its initialisation, commands and end sequence.  The
// window procedure of the system layer calls these for its messages.
#pragma once

#include <cstdint>

#include "os/os.h"

void mainwincreate(OsWin w);             // WM_CREATE
void mainwininitdialog();                // WM_INITDIALOG
void mainwincommand(int id, int code);   // WM_COMMAND: low and high word of wParam
void mainwintimer(int id);               // WM_TIMER
void mainwindestroy();                   // WM_DESTROY
// WM_SYSCOMMAND with the id masked (wParam & 0xFFF0): 1 when it was the
// program's own system menu command and was handled, 0 for the system's.
int mainwinsyscommand(int id);

void startwatch();      // スタート
void pausewatch();      // 停止
void openplaylog();     // ログ表示
void endsequence();     // 終了, Enter, Esc, closing the window
void starttimers();
void stoptimers();
// Free MiB on the drive of a folder ("C:\" from its first three characters);
// 0 when the system cannot tell, clamped to INT32_MAX.
int32_t freediskmb(const char* folder);
