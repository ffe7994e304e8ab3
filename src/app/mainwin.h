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
void mainwinclose();                     // WM_CLOSE: the close box, as 終了
int mainwinqueryend();                   // WM_QUERYENDSESSION: 1, the session may end
void mainwinendsession(int ending);      // WM_ENDSESSION: wParam, the session ends

void startwatch();      // スタート
void pausewatch();      // 停止
void openplaylog();     // ログ表示
// 終了, Enter, Esc, the close box: a burst's frames in memory are written
// out first, on timer 1, then the program ends.
void endsequence();
