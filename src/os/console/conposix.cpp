// The console side of a command-line tool on Linux and other POSIX systems.
#include "os/console/console.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

static void writeall(int stream, const char* s, size_t n) {
  while (n > 0) {
    ssize_t w = write(stream, s, n);
    if (w <= 0) return;
    s += w;
    n -= (size_t)w;
  }
}

void conputarg(int stream, const char* arg) { writeall(stream, arg, strlen(arg)); }

void conpututf8(int stream, const char* utf8) { writeall(stream, utf8, strlen(utf8)); }

void conputs(int stream, const char* sjis) {
  static iconv_t cd = (iconv_t)-1;
  static bool tried = false;
  if (!tried) {
    tried = true;
    const char* to = nl_langinfo(CODESET);
    // The C locale names plain ASCII, which cannot carry the Japanese texts.
    if (!to || !*to || strcmp(to, "ANSI_X3.4-1968") == 0 || strcmp(to, "ASCII") == 0) to = "UTF-8";
    cd = iconv_open(to, "CP932");
  }
  size_t left = strlen(sjis);
  if (cd == (iconv_t)-1) {
    writeall(stream, sjis, left);
    return;
  }
  char* in = (char*)sjis;
  char buf[1024];
  while (left > 0) {
    char* out = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &in, &left, &out, &room);
    writeall(stream, buf, (size_t)(out - buf));
    if (r == (size_t)-1 && errno != E2BIG) {
      // A byte that starts no Shift-JIS character, or one cut at the end.
      writeall(stream, "?", 1);
      in++;
      left--;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

int main(int argc, char** argv) {
  setlocale(LC_CTYPE, "");
  return conmain(argc, argv);
}
