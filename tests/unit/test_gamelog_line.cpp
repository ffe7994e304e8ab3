// The line reader, the Shift-JIS field copy and the bounded number readers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gamelog/gamelog.h"

namespace {

// Reads all lines of a text; each entry is "line|consumed".
std::string lines(const char* text) {
  std::string out;
  const char* p = text;
  char dst[LINESIZE];
  for (int guard = 0; guard < 100; guard++) {
    memset(dst, 'Z', sizeof dst);
    int32_t n = getlogline(dst, p);
    out += std::string(dst) + "|" + std::to_string(n) + ";";
    if (n == 0) break;
    p += n;
  }
  return out;
}

}  // namespace

TEST(GamelogLine, LineEnds) {
  // CR, LF, CR LF and LF LF are each one line end; a lone CR before CR is not doubled.
  EXPECT_EQ(lines("a\rb\nc\r\nd\n\ne\r\rf"), "a|2;b|2;c|3;d|3;e|2;|1;f|1;|0;");
  // At the zero byte itself: an empty, terminated line and nothing consumed.
  EXPECT_EQ(lines("ab\0cd"), "ab|2;|0;");
  EXPECT_EQ(lines(""), "|0;");
}

TEST(GamelogLine, PiecesOf128) {
  std::string t(300, 'x');
  EXPECT_EQ(lines(t.c_str()), std::string(128, 'x') + "|128;" + std::string(128, 'x') + "|128;" +
                                  std::string(44, 'x') + "|44;|0;");
  // 128 bytes and a line end: the line end comes as a line of its own.
  t = std::string(128, 'y') + "\r\nz";
  EXPECT_EQ(lines(t.c_str()), std::string(128, 'y') + "|128;|2;z|1;|0;");
  // 127 bytes and LF, 126 and CR LF: 128 consumed; 127 and CR LF: 129.
  char dst[LINESIZE];
  t = std::string(127, 'a') + "\n";
  EXPECT_EQ(getlogline(dst, t.c_str()), 128);
  t = std::string(126, 'a') + "\r\n";
  EXPECT_EQ(getlogline(dst, t.c_str()), 128);
  t = std::string(127, 'a') + "\r\n";
  EXPECT_EQ(getlogline(dst, t.c_str()), 129);
  EXPECT_EQ(strlen(dst), 127u);
}

TEST(GamelogLine, BoundedReaderStopsAtAvail) {
  char dst[LINESIZE];
  EXPECT_EQ(getloglinen(dst, "abcdef", 3), 3);
  EXPECT_STREQ(dst, "abc");
  // The LF after the CR lies beyond the bound and is not looked at.
  EXPECT_EQ(getloglinen(dst, "ab\r\n", 3), 3);
  EXPECT_STREQ(dst, "ab");
  strcpy(dst, "old");
  EXPECT_EQ(getloglinen(dst, "abc", 0), 0);
  EXPECT_STREQ(dst, "");
}

TEST(GamelogLine, SjisCopyNeverSplitsACharacter) {
  char f[64];
  EXPECT_EQ(sjiscopy(f, sizeof f, "Taro"), 4);
  EXPECT_STREQ(f, "Taro");
  // "亜" is 88 9F: its second byte is also a lead byte, so only a walk from the
  // start knows where the characters begin.
  std::string t = "AB";
  for (int i = 0; i < 40; i++) t += "亜";
  EXPECT_EQ(sjiscopy(f, sizeof f, t.c_str()), 62);
  EXPECT_EQ(memcmp(f, t.data(), 62), 0);
  EXPECT_EQ(f[62], 0);
  t = "A";
  for (int i = 0; i < 40; i++) t += "亜";
  EXPECT_EQ(sjiscopy(f, sizeof f, t.c_str()), 63);
  char small[6];
  EXPECT_EQ(sjiscopy(small, sizeof small, "A亜亜亜"), 5);
  EXPECT_STREQ(small, "A亜亜");
  // A lead byte whose second byte is missing is not copied.
  EXPECT_EQ(sjiscopy(f, sizeof f, "ab\x88"), 2);
  // A lead byte before a byte that is no trail byte stands alone: the field
  // holds it, and the byte after it is a character of its own.
  char three[3];
  EXPECT_EQ(sjiscopy(three, sizeof three, "a\x81<"), 2);
  EXPECT_STREQ(three, "a\x81");
  EXPECT_EQ(sjiscopy(three, sizeof three, "\x81\x7f\x81\x40"), 2);
  EXPECT_EQ(sjiscopy(three, sizeof three, "\x81\x40\x81\x40"), 2);
  EXPECT_EQ(sjiscut("\x81\x3c\x81\x40", 4, 3), 2);
  EXPECT_EQ(sjiscut("\x81\x40\x81\x3c", 4, 3), 3);
  // Runs for a converter end after each lone lead byte.
  EXPECT_EQ(sjisrun("a\x81\x40" "b\x81<c", 7, 0), 5);
  EXPECT_EQ(sjisrun("a\x81\x40" "b\x81<c", 7, 5), 7);
  // Length-bounded source; a field of one byte holds only the NUL.
  EXPECT_EQ(sjiscopyn(f, sizeof f, "abcdef", 3), 3);
  EXPECT_STREQ(f, "abc");
  EXPECT_EQ(sjiscopyn(f, sizeof f, "ab亜", 3), 2);
  EXPECT_EQ(sjiscopy(f, 1, "abc"), 0);
  EXPECT_STREQ(f, "");
}

TEST(GamelogLine, NumbersAreBoundedByTheLine) {
  const char* h = "*Hole  7";
  EXPECT_EQ(linedec(h, 8, 6), 7);
  EXPECT_EQ(linedec("*Hole -3", 8, 6), -3);
  EXPECT_EQ(linedec("*Hole x", 7, 6), 0);
  EXPECT_EQ(linedec("*Hole ", 6, 6), 0);
  // The bytes past len are never looked at, even when digits follow.
  EXPECT_EQ(linedec("*Player1 0712", 11, 9), 7);
  EXPECT_EQ(linedec("*Player1  712", 11, 9), 7);
  EXPECT_EQ(linedec("99999999999999", 14, 0), INT32_MAX);
  EXPECT_EQ(linehex("4A 0B", 5, 0), 0x4Au);
  EXPECT_EQ(linehex("4A 0B", 5, 3), 0x0Bu);
  EXPECT_EQ(linehex("4A  B", 5, 3), 0x0Bu);  // blanks skipped like %x
  EXPECT_EQ(linehex("0x1f", 4, 0), 0x1Fu);
  EXPECT_EQ(linehex("4A 0B", 4, 3), 0u);     // second digit beyond len
  EXPECT_EQ(linehex("zz", 2, 0), 0u);
  EXPECT_EQ(linehex("4A", 2, 45), 0u);
  EXPECT_EQ(linehex("-1", 2, 0) & 0xFF, 0xFFu);
}
