// golfcourse.txt: the course table's reader and writer.  The reader takes
// outside text, so this file holds no Japanese literal (the built-in table
// lives in coursetable.cpp).
#include <cstdio>
#include <cstring>

#include "kesto.h"
#include "config/textfile.h"
#include "config/course.h"
#include "config/settings.h"
#include "gamelog/gamelog.h"
#include "os/os.h"

#define COURSEREADSIZE 65536  // golfcourse.txt is read only this far

void initcourses() { memcpy(gkesto.courses, kbuiltincourses, sizeof gkesto.courses); }

// A quoted value: the bytes after the first double quote up to the second one
// or the end of the line, cut to the field without splitting a double-byte
// character.  No double quote gives an empty field.
static void readquoted(char* dst, int32_t size, const char* value) {
  const char* open = strchr(value, '"');
  if (!open) {
    dst[0] = 0;
    return;
  }
  open++;
  const char* close = strchr(open, '"');
  int32_t len = close ? (int32_t)(close - open) : (int32_t)strlen(open);
  sjiscopyn(dst, size, open, len);
}

// The byte length of the keyword's first part (up to the first ",").
static int32_t firstpartlen(const char* keyword) { return (int32_t)strcspn(keyword, ","); }

// Pars of a PAR line: each digit 1 to 9 just before a "," (and the line's
// last byte) is the par of the next hole; anything else leaves that hole as
// it is.  At most 18 holes.
static void readpars(int8_t* par, const char* value) {
  int32_t hole = 0;
  int32_t i = 0;
  for (; value[i] && hole < 18; i++) {
    if (value[i] != ',') continue;
    char c = i > 0 ? value[i - 1] : 0;
    if (c >= '1' && c <= '9') par[hole] = (int8_t)(c - '0');
    hole++;
  }
  if (hole < 18 && !value[i] && i > 0) {
    char c = value[i - 1];
    if (c >= '1' && c <= '9') par[hole] = (int8_t)(c - '0');
  }
}

int32_t parsecourses(const char* text, int32_t len) {
  int32_t count = 0;
  int32_t pos = 0;
  char line[LINESIZE];
  while (count < COURSES && text && pos < len) {
    int32_t n = getloglinen(line, text + pos, len - pos);
    if (n <= 0) break;
    pos += n;
    if (n <= 2 || strncmp(line, "COURSENO:", 9) != 0) continue;
    count++;
    int32_t number = readdec(line + 9, nullptr);
    if (number < 1 || number > COURSES) continue;
    CourseRecord& c = gkesto.courses[number - 1];
    // The next three lines belong to the record, whatever they hold.
    for (int look = 0; look < 3 && pos < len; look++) {
      n = getloglinen(line, text + pos, len - pos);
      if (n <= 0) break;
      pos += n;
      if (n <= 2) continue;
      if (strncmp(line, "NAME:", 5) == 0) {
        readquoted(c.name, sizeof c.name, line + 5);
      } else if (strncmp(line, "PAR:", 4) == 0) {
        readpars(c.par, line + 4);
      } else if (strncmp(line, "KEYWORD:", 8) == 0) {
        readquoted(c.keyword, sizeof c.keyword, line + 8);
        c.keylen = firstpartlen(c.keyword);
      }
    }
  }
  return count;
}

int32_t readcourses() {
  static char text[COURSEREADSIZE + 1];
  uint32_t len = 0, error = 0;
  int r = readtextfile(gkesto.set.coursefile, text, COURSEREADSIZE, &len, &error);
  // A file that is there but was not read whole is the user's all the same:
  // it is kept at exit.  One longer than the reader takes gives its first
  // part to the table.
  gkesto.set.courseunread = r == TEXT_UNREAD;
  gkesto.set.courseerror = error;
  if (r == TEXT_UNREAD || r == TEXT_CUT) gkesto.set.coursekeep = 1;
  if (r != TEXT_READ && r != TEXT_CUT) return 0;
  return parsecourses(text, (int32_t)len);
}

// Writes one piece of text; 0 when it went out whole, else 1 (a failed
// write; after the first one nothing more is written).
static int32_t put(Replacement* f, const char* text, int32_t n) {
  return replacewrite(f, text, (uint32_t)n) ? 0 : 1;
}

static int32_t putf(Replacement* f, const char* fmt, const char* value, int32_t size) {
  char buf[160];
  int32_t l = (int32_t)strnlen(value, (size_t)size - 1);
  int n = snprintf(buf, sizeof buf, fmt, (int)l, value);
  if (n < 0 || n >= (int)sizeof buf) return 1;
  return put(f, buf, n);
}

int32_t writecourses(Replacement* f) {
  int32_t failed = put(f, "# KESTO COURSE PAR\r\n", 20);
  char buf[64];
  for (int32_t k = 0; k < COURSES; k++) {
    const CourseRecord& c = gkesto.courses[k];
    int n = snprintf(buf, sizeof buf, "COURSENO: %d,%d\r\n", (int)(k + 1), (int)c.number);
    failed += put(f, buf, n);
    failed += putf(f, "NAME: \"%.*s\"\r\n", c.name, sizeof c.name);
    // "PAR: " and 18 single characters '0' + par, separated by ",".
    memcpy(buf, "PAR: ", 5);
    n = 5;
    for (int h = 0; h < 18; h++) {
      if (h > 0) buf[n++] = ',';
      buf[n++] = (char)('0' + c.par[h]);
    }
    buf[n++] = '\r';
    buf[n++] = '\n';
    failed += put(f, buf, n);
    failed += putf(f, "KEYWORD: \"%.*s\"\r\n\r\n", c.keyword, sizeof c.keyword);
  }
  return failed;
}
