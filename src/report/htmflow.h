// "HTM作成": the scorecard page of the loaded play log, game by game.
#pragma once

#include <cstdint>

#include "os/os.h"

// Tells or asks the user; the arguments and answers of osmessagebox (without
// its owner window).  The play-log dialog shows a message box; the
// command-line tool writes to standard error and answers for the user.
typedef int (*HtmAsk)(const char* text, const char* caption, uint32_t type);

// Parses the next game of the play-log buffer into gkesto.game, with the
// course table in force.
int32_t parsegame(int32_t cont);
// The page name "log%d%02d%02d_%02d%02d.html" and title of a log last
// written at t (local time) into gkesto.page.
void pagename(const OsTime& t);
// Writes the scorecard page of the log in the play-log buffer (length
// gkesto.game.loglen, last written at gkesto.mw.playlogtime):
// the first game, and when it is a full game (holes 1 to 18) every later
// game of 18 holes and the short games the user wants, at most 11 of them
// asked about.  Games that end before their first hole are passed over.
// Returns the number of tables written, 0 when the log holds no finished
// game with a hole (no page is written then; the user is told what was
// found), or -1 when the page could not be created.
int32_t htmcreate(HtmAsk ask);
