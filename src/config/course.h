// The course table and golfcourse.txt.
#pragma once

#include <cstdint>

#include "os/os.h"

struct CourseRecord {
  int32_t number;     // course number; written to golfcourse.txt, never read back
  char name[102];     // Shift-JIS, at most 101 bytes of text
  int8_t par[18];     // par of holes 1 to 18
  int8_t spare[4];    // always 0
  int32_t keylen;     // byte length of the keyword's first part
  char keyword[16];   // one part, or two parts separated by ","
  const char* web;    // "// " followed by the web page address
};

#define COURSES 103
// The table as built into the program: COURSES rows and the end row.
extern const CourseRecord kbuiltincourses[COURSES + 1];

// Fills gkesto.courses from the built-in table.
void initcourses();
// Reads golfcourse.txt into gkesto.courses; returns the number of "COURSENO:"
// lines met (0 when the file cannot be opened or read).  A file that is there
// but was not read whole sets courseunread (with courseerror) and coursekeep
// in the Settings record.
int32_t readcourses();
// Parses a golfcourse.txt text (len bytes, followed by a NUL) into gkesto.courses.
int32_t parsecourses(const char* text, int32_t len);
// Writes the whole table into a file being replaced (config/textfile.h);
// returns the number of pieces not written (all after the first failure).
struct Replacement;
int32_t writecourses(Replacement* f);
