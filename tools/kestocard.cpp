// kestocard: writes the scorecard page of play logs from the command line,
// the same page, under the same name, that "HTM作成" writes for a log.
//   kestocard [--courses golfcourse.txt] [--short yes|no] [--links] LOG...
// Pages go to the current folder; their names go to standard output, what
// the user would be told or asked (and the tool's answers) to standard error.
#include <cstdio>
#include <cstring>

#include "kesto.h"
#include "config/course.h"
#include "config/textfile.h"
#include "os/console/console.h"
#include "report/htmflow.h"
#include "report/mkhtm.h"
#include "report/playlog.h"

#define COURSEFILESIZE 65536  // golfcourse.txt is read this far, as at start-up

static const char kusage[] =
    "usage: kestocard [--courses golfcourse.txt] [--short yes|no] [--links] LOG...\n"
    "Writes the scorecard page of each play log (golf.txt or a saved copy) into the\n"
    "current folder, named log<year><month><day>_<hour><minute>.html after the log's\n"
    "last-write time: the same page that KESTO's \"HTM作成\" writes for that log.\n"
    "  --courses FILE  take names, pars and links of the courses from FILE, a\n"
    "                  golfcourse.txt, instead of the built-in table\n"
    "  --short yes|no  answer to \"show this game of fewer than 18 holes?\"\n"
    "                  (asked when the first game was a full one; default yes)\n"
    "  --links         also write linkcc.html, the links to the courses' pages\n"
    "  --help          show this text\n"
    "The name of each page written goes to standard output; notices, questions\n"
    "and answers go to standard error.  The exit status is 0 when every page was\n"
    "written, 1 when a log could not be read or a page could not be written (the\n"
    "other logs are still done), 2 for wrong arguments.\n";

static int gshortanswer = OS_IDYES;
static const char* gcurrentlog = "";

// Prints "kestocard: LOG: " and a Shift-JIS text on standard error.
static void complain(const char* log, const char* text) {
  conputs(2, "kestocard: ");
  if (log) {
    conputarg(2, log);
    conputs(2, ": ");
  }
  conputs(2, text);
  conputs(2, "\n");
}

// "HTM作成"'s notices and questions: printed, and the questions answered
// with --short.
static int cardask(const char* text, const char* caption, uint32_t type) {
  char line[256];
  snprintf(line, sizeof line, "%s: %s", caption, text);
  int answer = OS_IDOK;
  if ((type & 0xF) == OS_MB_YESNO) {
    answer = gshortanswer;
    size_t n = strlen(line);
    snprintf(line + n, sizeof line - n, " -> %s", answer == OS_IDYES ? "yes" : "no");
  }
  complain(gcurrentlog, line);
  return answer;
}

// The names of the pages written so far, to tell when a log's page replaces
// that of an earlier log of the same minute.
#define MAXPAGES 1024
static char gwritten[MAXPAGES][sizeof gkesto.page.name];
static int32_t gwrittencount;

// One log: 0 when its page was written (or it holds no finished game), 1 on failure.
static int onelog(const char* path) {
  gcurrentlog = path;
  OsHandle f = oscreatefile(path, OS_GENERIC_READ, OS_FILE_SHARE_READ | OS_FILE_SHARE_WRITE, OS_OPEN_EXISTING);
  if (f == OS_BADFILE || f == 0) {
    complain(path, "cannot open the log; nothing written for it");
    return 1;
  }
  uint32_t size = osgetfilesize(f);
  // The page depends on this log alone, as in a KESTO just started.
  memset(&gkesto.game, 0, sizeof gkesto.game);
  char text[160];
  int r = size == OS_INVALID_FILE_SIZE ? PLAYLOG_UNREADABLE : readplaylog(f, size);
  osclosehandle(f);
  if (r == PLAYLOG_TOOBIG) {
    snprintf(text, sizeof text,
             "the log is too large (%lu bytes; KESTO reads logs below 0x400000 = 4194304 bytes); nothing written "
             "for it",
             (unsigned long)size);
    complain(path, text);
    return 1;
  }
  if (r != PLAYLOG_OK) {
    complain(path, "cannot read the log; nothing written for it");
    return 1;
  }
  int32_t tables = htmcreate(cardask);
  if (tables == 0) {
    complain(path, "no game with an end marker; no page written");
    return 0;
  }
  if (tables < 0 || gkesto.page.failed) {
    snprintf(text, sizeof text, "cannot create the page %s", gkesto.page.name);
    complain(path, text);
    return 1;
  }
  for (int32_t i = 0; i < gwrittencount; i++)
    if (strcmp(gwritten[i], gkesto.page.name) == 0) {
      snprintf(text, sizeof text, "%s replaces the page of an earlier log last written in the same minute",
               gkesto.page.name);
      complain(path, text);
      break;
    }
  if (gwrittencount < MAXPAGES) strcpy(gwritten[gwrittencount++], gkesto.page.name);
  conputs(1, gkesto.page.name);
  conputs(1, "\n");
  return 0;
}

static int usage(const char* why) {
  if (why) complain(nullptr, why);
  conputs(2, kusage);
  return 2;
}

int conmain(int argc, char** argv) {
  const char* courses = nullptr;
  bool links = false;
  // Options may come anywhere; the logs are gathered at the front of argv.
  int nlogs = 0;
  bool optionsdone = false;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (optionsdone || a[0] != '-' || !a[1]) {
      argv[nlogs++] = argv[i];
    } else if (strcmp(a, "--") == 0) {
      optionsdone = true;
    } else if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
      conputs(1, kusage);
      return 0;
    } else if (strcmp(a, "--courses") == 0) {
      if (++i >= argc) return usage("--courses needs a file");
      courses = argv[i];
    } else if (strcmp(a, "--short") == 0) {
      if (++i >= argc) return usage("--short needs yes or no");
      if (strcmp(argv[i], "yes") == 0)
        gshortanswer = OS_IDYES;
      else if (strcmp(argv[i], "no") == 0)
        gshortanswer = OS_IDNO;
      else
        return usage("--short takes yes or no");
    } else if (strcmp(a, "--links") == 0) {
      links = true;
    } else {
      char b[96];
      snprintf(b, sizeof b, "unknown option %.60s", a);
      return usage(b);
    }
  }
  if (nlogs == 0 && !links) return usage("no log given");

  initcourses();
  if (courses) {
    static char text[COURSEFILESIZE + 1];
    uint32_t len = 0;
    if (!readtextfile(courses, text, COURSEFILESIZE, &len)) {
      complain(courses, "cannot read the course file");
      return 2;
    }
    if (parsecourses(text, (int32_t)len) == 0) complain(courses, "no \"COURSENO:\" line; the built-in courses stay");
  }

  int status = 0;
  for (int i = 0; i < nlogs; i++) status |= onelog(argv[i]);
  if (links) {
    if (mklink(&gkesto) == 1) {
      conputs(1, "linkcc.html\n");
    } else {
      complain(nullptr, "cannot create linkcc.html");
      status = 1;
    }
  }
  return status;
}
