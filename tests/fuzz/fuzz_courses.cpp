// Arbitrary bytes as golfcourse.txt, read as readcourses would: at most 65536
// bytes, in a buffer of exactly that text and its NUL; the table read is then
// searched with the course match, which must agree with a plain reading of
// the keyword rule: the first row whose first keyword (up to a comma) occurs
// in the name, and whose second keyword, when there is one, occurs too.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <string>

#include "kesto.h"

#define COURSEBOUND 65536

static int32_t reference(const std::string& name) {
  for (int32_t k = 0; k < COURSES; k++) {
    const CourseRecord& c = gkesto.courses[k];
    std::string kw(c.keyword, strnlen(c.keyword, sizeof c.keyword));
    size_t comma = kw.find(',');
    std::string first = kw.substr(0, comma);
    if (first.empty() || name.find(first) == std::string::npos) continue;
    if (comma == std::string::npos) return k;
    std::string second = kw.substr(comma + 1);
    if (second.size() <= name.size() && name.find(second) != std::string::npos) return k;
  }
  return -1;
}

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
  int32_t k = findcourse(text, gkesto.courses);
  if (k < -1 || k >= COURSES || k != reference(text)) __builtin_trap();
  // Each row's own name, as a log would give it.
  for (int32_t r = 0; r < COURSES; r++)
    if (findcourse(gkesto.courses[r].name, gkesto.courses) != reference(gkesto.courses[r].name)) __builtin_trap();
  free(text);
  return 0;
}
