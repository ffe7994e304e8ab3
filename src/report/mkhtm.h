// The scorecard page writer and the course link list writer.
#pragma once

#include <cstdint>

struct Kesto;

// The program's home page, linked from the credit line of every page.
#define KESTO_HOMEPAGE "https://kesto.example/"

// Writes one step of the scorecard page gkesto.page.name:
//   1  opens the page and writes the document head (-1 when the file can be
//      neither opened nor created)
//   2  starts a game's table: caption, header row, par row
//   3  the row of player 1
//   4  the row of player k + 1 (k from 1 to the number of players - 1)
//   5  ends a stroke-play table
//   6  ends a point-battle table and writes the stage summary
//   0  writes the credit line and the document end, and closes the page
// Steps 2 to 0 write nothing while no page is open.  Returns 0 but for a
// failed step 1.  Failed writes are counted in k->page.failed (with the
// first one's reason in k->page.error); step 0 removes a page not written
// whole.
int32_t mkhtm(Kesto* k, int32_t step, int32_t player);
// Writes linkcc.html, one link per course of the course table; 1, or -1 when
// the file can be neither opened nor created or was not written whole (it is
// then removed; k->page.error holds the reason).
int32_t mklink(Kesto* k);
// Copies src (up to its NUL, at most srcmax bytes) into dst (n bytes) with "&", "<", ">" and '"' written as
// entities, so a text from a log or golfcourse.txt stays text in a page.
// Shift-JIS trail bytes never take those values, so the bytes are looked at
// one by one.  Cut before an entity or a double-byte character that does not
// fit whole; always terminated (nothing is written when n <= 0).  Returns the
// length written.
int32_t htmlescape(char* dst, int32_t n, const char* src, int32_t srcmax);
