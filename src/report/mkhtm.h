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
// failed step 1.  The page is written into a temporary beside it that
// replaces it at step 0 (config/textfile.h): until then, and for good when
// anything failed, an earlier page of that name stays as it was.  Failed
// writes are counted in k->page.failed (with the first one's reason in
// k->page.error).
int32_t mkhtm(Kesto* k, int32_t step, int32_t player);
// Writes linkcc.html, one link per course of the course table, the same
// way; 1, or -1 when it could not be written whole (the earlier linkcc.html
// then stays as it was; k->page.error holds the reason).
int32_t mklink(Kesto* k);
// Drops a page still being written (the program ends in the middle of it):
// its temporary is removed, the earlier page stays.
void abandonpage(Kesto* k);
// Copies src (up to its NUL, at most srcmax bytes) into dst (n bytes) with "&", "<", ">" and '"' written as
// entities, so a text from a log or golfcourse.txt stays text in a page.
// The text is walked character by character by the Shift-JIS rule of
// sjis.h: a lead byte before such a mark stands alone and the mark is
// escaped.  A lead byte whose second byte was cut off at the end of the text
// is left out.  Cut before an entity or a double-byte character that does not
// fit whole; always terminated (nothing is written when n <= 0).  Returns the
// length written.
int32_t htmlescape(char* dst, int32_t n, const char* src, int32_t srcmax);
