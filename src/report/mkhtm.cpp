// The scorecard page writer (mkhtm) and the course link list writer (mklink).
// Pages are Shift-JIS, written piece by piece into a temporary that replaces
// the page once it is whole, and declare no character set.  Holds no non-ASCII literal (pagetext.cpp
// has the page's Japanese texts): the fuzz build compiles it with clang.
#include "report/mkhtm.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "kesto.h"
#include "config/textfile.h"
#include "gamelog/gamelog.h"
#include "os/os.h"
#include "report/pagetext.h"

// An escaped text takes at most six bytes ("&quot;") for each byte.
#define ESCAPED(size) (6 * ((size) - 1) + 1)
#define PIECESIZE 8192  // the longest piece: a caption of three escaped fields

static const char kdoctype[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<html>\r\n<head>\r\n";
static const char kcredit1[] = "<br><center><font size=\"-2\">Created by <a href=\"";
static const char kcredit2[] = "</a></font></center>\r\n";
static const char kend[] = "</body>\n</html>\r\n";

// The cells of a par or player row.
static const char kcellblank[] = "\t<td><font color=/00000> </font></td>\r\n";
static const char kcellpar[] = "\t<td><font color=/00000> %d </font></td>\r\n";  // also a score of 0
static const char kcellnopar[] = "\t<td><font color=/00000> - </font></td>\r\n";
static const char kcellplain[] = "\t<td><font color=/000000> %d </font></td>\r\n";
static const char kcellunder[] = "\t<td><font color=/CC0000> %d </font></td>\r\n";
static const char kcellover[] = "\t<td><font color=/0000FF> +%d </font></td>\r\n";

int32_t htmlescape(char* dst, int32_t n, const char* src, int32_t srcmax) {
  if (n <= 0) return 0;
  int32_t len = 0;
  const unsigned char* p = (const unsigned char*)src;
  for (int32_t i = 0; p && i < srcmax && p[i]; i++) {
    const char* e = nullptr;
    switch (p[i]) {
      case '&': e = "&amp;"; break;
      case '<': e = "&lt;"; break;
      case '>': e = "&gt;"; break;
      case '"': e = "&quot;"; break;
    }
    if (e) {
      int32_t el = (int32_t)strlen(e);
      if (len + el > n - 1) break;
      memcpy(dst + len, e, (size_t)el);
      len += el;
    } else if (sjischar(src + i, srcmax - i) == 2) {
      if (len + 2 > n - 1) break;
      dst[len++] = (char)p[i];
      dst[len++] = (char)p[i + 1];
      i++;
    } else if (sjiscutlead(src + i, srcmax - i)) {
      break;  // the first half of a character cut off at the end of its field
    } else {
      if (len + 1 > n - 1) break;
      dst[len++] = (char)p[i];
    }
  }
  dst[len] = 0;
  return len;
}

// Escapes a field of a record, looking no further than the field's size.
#define ESCAPEFIELD(dst, field) htmlescape((dst), sizeof(dst), (field), (int32_t)sizeof(field))

// Page writes that fail are counted, the first one's reason kept.
static void pagefailed(Kesto* k) {
  if (!k->page.failed++) k->page.error = k->page.rep.error ? k->page.rep.error : OS_ERROR_WRITE_FAULT;
}

// Writes n bytes to the open page (its temporary).
static void put(Kesto* k, const char* s, size_t n) {
  if (!k->page.out) return;
  if (!replacewrite(&k->page.rep, s, (uint32_t)n)) pagefailed(k);
}

static void puts0(Kesto* k, const char* s) { put(k, s, strlen(s)); }

// Formats one piece and writes it at once.
static void putf(Kesto* k, const char* fmt, ...) {
  if (!k->page.out) return;
  static char piece[PIECESIZE];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(piece, sizeof piece, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  if (n > (int)sizeof piece - 1) n = (int)sizeof piece - 1;  // cannot happen: the fields are bounded
  put(k, piece, (size_t)n);
}

// Starts a page: it is written into a temporary beside it (name + ".tmp"),
// which takes the page's place only when the page is whole, so an earlier
// page stays as it was until then, whatever happens meanwhile.  0 when the
// temporary cannot be made.
static int openpage(Kesto* k, const char* name) {
  k->page.failed = 0;
  k->page.error = 0;
  k->page.out = 0;
  if (!beginreplace(&k->page.rep, name)) {
    pagefailed(k);
    return 0;
  }
  k->page.out = k->page.rep.f;
  return 1;
}

// The credit line and the document end; then the page replaces the earlier
// one, or, not written whole, is dropped and the earlier one stays.
static void closepage(Kesto* k) {
  if (!k->page.out) return;
  puts0(k, kcredit1);
  puts0(k, KESTO_HOMEPAGE "\">" KESTO_TITLE);
  puts0(k, kcredit2);
  puts0(k, kend);
  k->page.out = 0;
  if (!endreplace(&k->page.rep, 1) && !k->page.failed) pagefailed(k);
}

void abandonpage(Kesto* k) {
  if (!k->page.out) return;
  k->page.out = 0;
  endreplace(&k->page.rep, 0);
}

// The row of player p (1 to 4): a name cell, 18 score cells and the total.
static void playerrow(Kesto* k, int32_t p) {
  const GameRecord& g = k->game;
  char name[ESCAPED(sizeof g.name[0])];
  ESCAPEFIELD(name, g.name[p - 1]);
  puts0(k, "<tr>\r\n");
  putf(k, "<td>%s</td>\r\n", name);
  int32_t total = 0;
  for (int32_t h = 0; h < 18; h++) {
    int32_t s = g.stroke[p - 1][h];
    int32_t par = g.par[h];
    if (s == 0) {
      puts0(k, kcellblank);
      continue;
    }
    int32_t d = par == 0 ? s : s - par;
    total += d;
    if (par == 0)
      putf(k, kcellplain, d);
    else if (d < 0)
      putf(k, kcellunder, d);
    else if (d == 0)
      putf(k, kcellpar, d);
    else
      putf(k, kcellover, d);
  }
  // The total shows its plus sign only when hole 1 has a par.
  if (total < 0)
    putf(k, kcellunder, total);
  else if (total > 0 && g.par[0] != 0)
    putf(k, kcellover, total);
  else
    putf(k, kcellplain, total);
  puts0(k, "</tr>\r\n");
}

// The caption, the header row of hole numbers and the par row.
static void tablehead(Kesto* k) {
  const GameRecord& g = k->game;
  char link[ESCAPED(sizeof g.link)], course[ESCAPED(sizeof g.course)], start[ESCAPED(sizeof g.start)];
  ESCAPEFIELD(link, g.link);
  ESCAPEFIELD(course, g.course);
  ESCAPEFIELD(start, g.start);

  puts0(k, "<br><table align=center border=1>\r\n");
  putf(k, "<caption><a href=\"%s\">%s</a> : start %s</caption>\r\n<tbody>\r\n", link, course, start);
  puts0(k, "<tr>\r\n");
  puts0(k, kholecell);
  for (int32_t h = 1; h <= 18; h++) putf(k, "\t<td> %d </td>\r\n", h);
  puts0(k, "\t<td> total </td>\r\n");
  puts0(k, "</tr>\r\n");
  puts0(k, "<tr>\r\n");
  putf(k, "<td>%s</td>\r\n", "PAR");
  int32_t sum = 0;
  for (int32_t h = 0; h < 18; h++) {
    sum += g.par[h];
    if (g.par[h] == 0)
      puts0(k, kcellnopar);
    else
      putf(k, kcellpar, g.par[h]);
  }
  putf(k, kcellplain, sum);
  puts0(k, "</tr>\r\n");
}

// The stage summary of a point-battle game: two lines of three stages.
static void stagesummary(Kesto* k) {
  const GameRecord& g = k->game;
  char st[6][ESCAPED(sizeof g.stage[0])];
  for (int i = 0; i < 6; i++) ESCAPEFIELD(st[i], g.stage[i]);
  putf(k, kstages1, kmarkers[0], st[0],
       kmarkers[1], st[1], kmarkers[2], st[2]);
  putf(k, kstages2, kmarkers[3], st[3],
       kmarkers[4], st[4], kmarkers[5], st[5]);
}

int32_t mkhtm(Kesto* k, int32_t step, int32_t player) {
  switch (step) {
    case 1:
      abandonpage(k);  // a page left open by an unfinished run
      if (!openpage(k, k->page.name)) return -1;
      puts0(k, kdoctype);
      putf(k, "<title>%s</title>\r\n", k->page.title);
      puts0(k, "</head>\r\n");
      break;
    case 2:
      tablehead(k);
      break;
    case 3:
      playerrow(k, 1);
      break;
    case 4:
      if (k->game.players >= 2 && player >= 1 && player < k->game.players && player <= 3) playerrow(k, player + 1);
      break;
    case 5:
      puts0(k, "</table>\r\n");
      break;
    case 6:
      puts0(k, "</table>\r\n");
      stagesummary(k);
      break;
    case 0:
      closepage(k);
      break;
  }
  return 0;
}

int32_t mklink(Kesto* k) {
  abandonpage(k);
  if (!openpage(k, "linkcc.html")) return -1;
  puts0(k, kdoctype);
  putf(k, "<title>%s</title>\r\n", klinktitle);
  putf(k, "%s<body>", "</head>\r\n");
  char link[ESCAPED(sizeof k->game.link)], name[ESCAPED(sizeof k->courses[0].name)];
  for (int32_t i = 0; i < COURSES; i++) {
    const CourseRecord& c = k->courses[i];
    const char* web = c.web ? c.web : "";
    for (int32_t j = 0; j < 3 && *web; j++) web++;  // the address follows "// "
    htmlescape(link, sizeof link, web, (int32_t)sizeof k->game.link - 1);  // as long as a scorecard link
    ESCAPEFIELD(name, c.name);
    putf(k, "<a href=\"%s\">%s</a><br>\r\n", link, name);
  }
  closepage(k);
  return k->page.failed ? -1 : 1;
}
