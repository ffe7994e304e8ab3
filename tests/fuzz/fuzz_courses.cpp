// Arbitrary bytes as golfcourse.txt, read as readcourses would: at most 65536
// bytes, in a buffer of exactly that text and its NUL; the table read is then
// searched with the course match.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kesto.h"

#define COURSEBOUND 65536

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t n = size > COURSEBOUND ? COURSEBOUND : size;
  char* text = (char*)malloc(n + 1);
  memcpy(text, data, n);
  text[n] = 0;
  initcourses();
  int32_t count = parsecourses(text, (int32_t)n);
  if (count < 0 || count > COURSES) __builtin_trap();
  for (int32_t k = 0; k <= COURSES; k++) {
    const CourseRecord& c = gkesto.courses[k];
    if (!memchr(c.name, 0, sizeof c.name) || !memchr(c.keyword, 0, sizeof c.keyword)) __builtin_trap();
  }
  // Keywords read from the file are matched against a name taken from it too.
  int32_t k = findcourse(text);
  if (k < -1 || k >= COURSES) __builtin_trap();
  free(text);
  return 0;
}
