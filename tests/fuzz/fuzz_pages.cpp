// Arbitrary texts in every field of a game record and in the course names
// and addresses of the link list, written by the scorecard and link list
// writers.  The oracle reads each page as a browser decodes Shift-JIS and
// compares it with the page written from harmless stand-in texts: the marks
// '<', '>' and '"' must come in the same order and number (the texts added
// none), and every '&' must open an entity.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzzdir.h"
#include "kesto.h"
#include "report/mkhtm.h"
#include "sjis.h"

namespace {

std::string slurp(const char* name) {
  std::string s;
  FILE* f = fopen(name, "rb");
  if (!f) __builtin_trap();
  char b[65536];
  size_t n;
  while ((n = fread(b, 1, sizeof b, f)) > 0) s.append(b, n);
  fclose(f);
  return s;
}

// A browser's Shift-JIS decoder, as far as the marks of HTML go: a lead byte
// and a valid trail byte give one character (never a mark: a mark is no trail
// byte); a lead byte before any other byte is an error, and an ASCII byte
// after it is read again on its own.
std::vector<uint32_t> decode(const std::string& s) {
  std::vector<uint32_t> out;
  const unsigned char* p = (const unsigned char*)s.data();
  size_t n = s.size();
  for (size_t i = 0; i < n;) {
    unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      i++;
    } else if (b == 0x80) {
      out.push_back(0x80);
      i++;
    } else if (b >= 0xA1 && b <= 0xDF) {
      out.push_back(0xFF61u + (b - 0xA1u));
      i++;
    } else if (sjislead(b)) {
      if (i + 1 < n && sjistrail(p[i + 1])) {
        out.push_back(0x100000u | (uint32_t)b << 8 | p[i + 1]);  // a character, whichever it is
        i += 2;
      } else {
        out.push_back(0xFFFD);
        i += (i + 1 < n && p[i + 1] >= 0x80) ? 2 : 1;  // a non-ASCII byte goes with the error
      }
    } else {
      out.push_back(0xFFFD);
      i++;
    }
  }
  return out;
}

std::string marks(const std::vector<uint32_t>& t) {
  std::string m;
  for (uint32_t c : t)
    if (c == '<' || c == '>' || c == '"') m += (char)c;
  return m;
}

bool startswith(const std::vector<uint32_t>& t, size_t at, const char* s) {
  for (size_t j = 0; s[j]; j++)
    if (at + j >= t.size() || t[at + j] != (unsigned char)s[j]) return false;
  return true;
}

void check(const std::string& page, const std::string& stand) {
  std::vector<uint32_t> t = decode(page);
  if (marks(t) != marks(decode(stand))) __builtin_trap();
  for (size_t i = 0; i < t.size(); i++)
    if (t[i] == '&' && !startswith(t, i, "&amp;") && !startswith(t, i, "&lt;") && !startswith(t, i, "&gt;") &&
        !startswith(t, i, "&quot;"))
      __builtin_trap();
}

// The texts of one run: the fields of the record, then course names and addresses.
struct Texts {
  std::vector<std::string> t;
  const char* at(size_t i) const { return i < t.size() ? t[i].c_str() : ""; }
};

#define LINKED 8  // courses whose name and address come from the input

char gweb[LINKED][600];

void fill(const Texts& x) {
  GameRecord& g = gkesto.game;
  size_t i = 0;
  for (int p = 0; p < 4; p++) snprintf(g.name[p], sizeof g.name[p], "%s", x.at(i++));
  snprintf(g.course, sizeof g.course, "%s", x.at(i++));
  snprintf(g.start, sizeof g.start, "%s", x.at(i++));
  snprintf(g.link, sizeof g.link, "%s", x.at(i++));
  for (int s = 0; s < 6; s++) snprintf(g.stage[s], sizeof g.stage[s], "%s", x.at(i++));
  for (int c = 0; c < LINKED; c++) {
    snprintf(gkesto.courses[c].name, sizeof gkesto.courses[c].name, "%s", x.at(i++));
    snprintf(gweb[c], sizeof gweb[c], "// %s", x.at(i++));
    gkesto.courses[c].web = gweb[c];
  }
}

// Both pages of the texts: a point-battle scorecard of four players and the link list.
void write(const Texts& x, std::string* card, std::string* links) {
  fill(x);
  GameRecord& g = gkesto.game;
  g.players = 4;
  g.pointbattle = 1;
  for (int h = 0; h < 18; h++) {
    g.par[h] = 4;
    for (int p = 0; p < 4; p++) g.stroke[p][h] = (int8_t)(3 + (h + p) % 3);
  }
  strcpy(gkesto.page.name, "page.html");
  strcpy(gkesto.page.title, "page");
  if (mkhtm(&gkesto, 1, 0) != 0) __builtin_trap();
  mkhtm(&gkesto, 2, 0);
  mkhtm(&gkesto, 3, 0);
  for (int k = 1; k < 4; k++) mkhtm(&gkesto, 4, k);
  mkhtm(&gkesto, 6, 0);
  mkhtm(&gkesto, 0, 0);
  *card = slurp("page.html");
  if (mklink(&gkesto) != 1) __builtin_trap();
  *links = slurp("linkcc.html");
}

}  // namespace

std::string gcard0, glinks0;  // the pages of the stand-in texts

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (chdir(fuzzdir("kesto-fuzz-pages").c_str()) != 0) abort();
  initcourses();
  Texts stand;
  for (size_t i = 0; i < 13 + 2 * LINKED; i++) stand.t.push_back("x");
  write(stand, &gcard0, &glinks0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The texts are the pieces of the input between zero bytes.
  Texts x;
  std::string cur;
  for (size_t i = 0; i < size; i++) {
    if (data[i] == 0) {
      x.t.push_back(cur);
      cur.clear();
    } else {
      cur += (char)data[i];
    }
  }
  x.t.push_back(cur);
  std::string card, links;
  write(x, &card, &links);
  check(card, gcard0);
  check(links, glinks0);
  return 0;
}
